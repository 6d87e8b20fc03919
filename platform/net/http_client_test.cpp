#include "platform/net/http_client.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <set>

#include "platform/net/local_test_server.h"
#include "tests/support/test_support.h"

namespace platform::net {
namespace {

using foundation::Status;
using testing::awaitDelivery;
using testing::Gate;
using testing::LocalTestServer;
using testing::RefusingPort;

DataResponse fetch(std::string url, RequestOptions options = {}, Parameters parameters = {}) {
  auto delivery = awaitDelivery<DataResponse>([&](auto completion) {
    get(std::move(url), std::move(parameters), options, std::move(completion));
  });
  std::lock_guard lock(delivery->mutex);
  if (!delivery->response) {
    ADD_FAILURE() << "no completion";
    return {};
  }
  return *delivery->response;
}

std::string gzipped(const std::string& text) {
  z_stream stream{};
  // 15 window bits + 16: a gzip wrapper rather than a zlib one.
  deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&stream, text.size()), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  stream.avail_in = static_cast<uInt>(text.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

std::string fileURL(const std::filesystem::path& path) {
  std::string url = "file://";
  for (const char c : path.string()) {
    if (c == ' ') {
      url += "%20";
    } else {
      url += c;
    }
  }
  return url;
}

class HttpClientTest : public ::testing::Test {
 protected:
  // Handlers record what they saw under this lock: the server's threads and
  // the test's meet only through it.
  std::mutex seenMutex_;
  std::string seenTarget_;
  httplib::Params seenParams_;
  std::set<std::string> seenHeaderNames_;
  std::string seenAcceptEncoding_;
  Gate gate_;
  LocalTestServer server_;

  void TearDown() override { gate_.open(); }
};

TEST(EncodeURLTest, AppendsEscapedParametersInOrder) {
  struct Row {
    std::string url;
    Parameters parameters;
    std::string expected;
  };
  const Row rows[] = {
      {"https://a.test/api/v3/ticker/24hr", {}, "https://a.test/api/v3/ticker/24hr"},
      {"https://a.test/p", {{"symbol", "BTCUSDT"}}, "https://a.test/p?symbol=BTCUSDT"},
      {"https://a.test/p", {{"a", "1"}, {"b", "2"}}, "https://a.test/p?a=1&b=2"},
      {"https://a.test/p",
       {{"q", "a b&c=d+e/f?g#h"}},
       "https://a.test/p?q=a%20b%26c%3Dd%2Be/f?g%23h"},
      {"https://a.test/p",
       {{"q", "caf\xC3\xA9:@[]!$'()*,;%"}},
       "https://a.test/p?q=caf%C3%A9%3A%40%5B%5D%21%24%27%28%29%2A%2C%3B%25"},
      {"https://a.test/p", {{"k e", ""}}, "https://a.test/p?k%20e="},
      {"https://a.test/p?x=1", {{"y", "2"}}, "https://a.test/p?x=1&y=2"},
      {"https://a.test/p?", {{"y", "2"}}, "https://a.test/p?y=2"},
      {"https://a.test/p#top", {{"y", "2"}}, "https://a.test/p?y=2#top"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(encodeURL(row.url, row.parameters), row.expected) << row.url;
  }
}

TEST_F(HttpClientTest, QueryParametersArriveEscapedAndDecodeBack) {
  server_.server().Get("/api/v3/ticker/24hr",
                       [this](const httplib::Request& request, httplib::Response& response) {
                         std::lock_guard lock(seenMutex_);
                         seenTarget_ = request.target;
                         seenParams_ = request.params;
                         response.set_content("{}", "application/json");
                       });
  server_.start();

  const std::string value = "BTC USDT&x=\xC3\xA9";
  const DataResponse response = fetch(server_.url("/api/v3/ticker/24hr"), {}, {{"symbol", value}});

  EXPECT_OK(response.status);
  std::lock_guard lock(seenMutex_);
  EXPECT_EQ(seenTarget_, "/api/v3/ticker/24hr?symbol=BTC%20USDT%26x%3D%C3%A9");
  ASSERT_EQ(seenParams_.count("symbol"), 1u);
  EXPECT_EQ(seenParams_.find("symbol")->second, value);
}

TEST_F(HttpClientTest, SendsNoHeadersOfItsOwn) {
  server_.server().Get("/", [this](const httplib::Request& request, httplib::Response& response) {
    std::lock_guard lock(seenMutex_);
    for (const auto& [name, value] : request.headers) {
      // The server's own notes about the connection, not sent headers.
      if (name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" ||
          name == "LOCAL_PORT") {
        continue;
      }
      seenHeaderNames_.insert(name);
    }
    seenAcceptEncoding_ = request.get_header_value("Accept-Encoding");
    response.set_content("ok", "text/plain");
  });
  server_.start();

  EXPECT_OK(fetch(server_.url("/")).status);

  std::lock_guard lock(seenMutex_);
  EXPECT_EQ(seenHeaderNames_, (std::set<std::string>{"Accept", "Accept-Encoding", "Host"}));
  EXPECT_NE(seenAcceptEncoding_.find("gzip"), std::string::npos) << seenAcceptEncoding_;
}

TEST_F(HttpClientTest, CompletesExactlyOnceOnABackgroundThread) {
  server_.server().Get("/", [](const httplib::Request&, httplib::Response& response) {
    response.set_content("ok", "text/plain");
  });
  server_.start();

  auto delivery = awaitDelivery<DataResponse>(
      [&](auto completion) { get(server_.url("/"), {}, {}, std::move(completion)); });
  // A second request whose completion arrives later, so a stray second call
  // of the first completion would have had time to land.
  fetch(server_.url("/"));

  std::lock_guard lock(delivery->mutex);
  EXPECT_EQ(delivery->calls, 1);
  EXPECT_NE(delivery->thread, std::this_thread::get_id());
  EXPECT_FALSE(delivery->onMainThread);
}

TEST_F(HttpClientTest, HandsBackStatusCodeMimeTypeAndBodyWithoutJudgingTheStatus) {
  server_.server().Get("/missing", [](const httplib::Request&, httplib::Response& response) {
    response.status = 404;
    response.set_content("{\"msg\":\"nope\"}", "Application/JSON; charset=utf-8");
  });
  server_.start();

  const DataResponse response = fetch(server_.url("/missing"));

  EXPECT_OK(response.status);
  EXPECT_EQ(response.statusCode, 404);
  EXPECT_EQ(response.mimeType, "application/json");
  EXPECT_EQ(response.body, "{\"msg\":\"nope\"}");
  EXPECT_EQ(response.url, server_.url("/missing"));
}

TEST_F(HttpClientTest, DecodesAGzipCompressedBody) {
  const std::string text(20000, 'x');
  server_.server().Get("/", [&](const httplib::Request&, httplib::Response& response) {
    response.set_header("Content-Encoding", "gzip");
    response.set_content(gzipped(text), "application/octet-stream");
  });
  server_.start();

  const DataResponse response = fetch(server_.url("/"));

  EXPECT_OK(response.status);
  EXPECT_EQ(response.body, text);
}

TEST_F(HttpClientTest, FollowsRedirects) {
  server_.server().Get("/old", [](const httplib::Request&, httplib::Response& response) {
    response.set_redirect("/new");
  });
  server_.server().Get("/new", [](const httplib::Request&, httplib::Response& response) {
    response.set_content("moved here", "text/plain");
  });
  server_.start();

  const DataResponse response = fetch(server_.url("/old"));

  EXPECT_OK(response.status);
  EXPECT_EQ(response.statusCode, 200);
  EXPECT_EQ(response.body, "moved here");
  EXPECT_EQ(response.url, server_.url("/new"));
}

TEST_F(HttpClientTest, ARedirectLoopFails) {
  server_.server().Get("/loop", [](const httplib::Request&, httplib::Response& response) {
    response.set_redirect("/loop");
  });
  server_.start();

  const DataResponse response = fetch(server_.url("/loop"));

  EXPECT_EQ(response.status, Status::Network("too many HTTP redirects"));
}

TEST_F(HttpClientTest, ARefusedConnectionCouldNotConnect) {
  RefusingPort port;
  ASSERT_NE(port.port(), 0);

  const DataResponse response = fetch("http://127.0.0.1:" + std::to_string(port.port()) + "/");

  EXPECT_EQ(response.status, Status::Network("Could not connect to the server."));
  EXPECT_EQ(response.statusCode, 0);
  EXPECT_TRUE(response.body.empty());
}

TEST_F(HttpClientTest, AStalledServerTimesOut) {
  server_.server().Get("/slow", [this](const httplib::Request&, httplib::Response& response) {
    gate_.waitOpen();
    response.set_content("late", "text/plain");
  });
  server_.start();
  RequestOptions options;
  options.totalTimeout = std::chrono::milliseconds(300);

  const DataResponse response = fetch(server_.url("/slow"), options);
  gate_.open();

  EXPECT_EQ(response.status, Status::TimedOut("The request timed out."));
}

TEST_F(HttpClientTest, ABodyOverTheCapIsTooLarge) {
  server_.server().Get("/sized", [](const httplib::Request&, httplib::Response& response) {
    response.set_content(std::string(100000, 'a'), "application/octet-stream");
  });
  // Without a length up front the cap is met while the body streams in.
  server_.server().Get("/chunked", [](const httplib::Request&, httplib::Response& response) {
    response.set_chunked_content_provider("application/octet-stream",
                                          [](size_t offset, httplib::DataSink& sink) {
                                            if (offset >= 100000) {
                                              sink.done();
                                            } else {
                                              const std::string chunk(1000, 'b');
                                              sink.write(chunk.data(), chunk.size());
                                            }
                                            return true;
                                          });
  });
  server_.start();
  RequestOptions options;
  options.maxBodyBytes = 10000;
  const Status tooLarge = Status::TooLarge("The resource exceeds the maximum size.");

  EXPECT_EQ(fetch(server_.url("/sized"), options).status, tooLarge);
  const DataResponse chunked = fetch(server_.url("/chunked"), options);
  EXPECT_EQ(chunked.status, tooLarge);
  EXPECT_TRUE(chunked.body.empty());
}

TEST_F(HttpClientTest, ABodyExactlyAtTheCapIsDelivered) {
  server_.server().Get("/", [](const httplib::Request&, httplib::Response& response) {
    response.set_content(std::string(10000, 'a'), "application/octet-stream");
  });
  server_.start();
  RequestOptions options;
  options.maxBodyBytes = 10000;

  const DataResponse response = fetch(server_.url("/"), options);

  EXPECT_OK(response.status);
  EXPECT_EQ(response.body.size(), 10000u);
}

TEST_F(HttpClientTest, HttpOnlyRefusesRedirectsToFiles) {
  quorvel::testing::TempDir dir;
  quorvel::testing::writeFileBytes(dir.path() / "secret", "local");
  const std::string target = fileURL(dir.path() / "secret");
  server_.server().Get("/to-file", [&](const httplib::Request&, httplib::Response& response) {
    response.set_redirect(target);
  });
  server_.start();
  RequestOptions httpOnly;
  httpOnly.httpOnly = true;
  const Status unsupported = Status::Unsupported("unsupported URL");

  EXPECT_EQ(fetch(server_.url("/to-file"), httpOnly).status, unsupported);
  // A server may never lead the client to a local file, whatever the options.
  EXPECT_EQ(fetch(server_.url("/to-file")).status, unsupported);
}

TEST(HttpClientFileTest, ReadsAFileAsStatus200) {
  quorvel::testing::TempDir dir;
  std::filesystem::create_directories(dir.path() / "api v3");
  quorvel::testing::writeFileBytes(dir.path() / "api v3" / "24hr", "[1,2,3]");

  const DataResponse response = fetch(fileURL(dir.path() / "api v3" / "24hr"));

  EXPECT_OK(response.status);
  EXPECT_EQ(response.statusCode, 200);
  EXPECT_EQ(response.body, "[1,2,3]");
}

TEST(HttpClientFileTest, MissingFolderOversizedOrRefusedFilesFail) {
  quorvel::testing::TempDir dir;
  quorvel::testing::writeFileBytes(dir.path() / "big", std::string(5000, 'z'));
  RequestOptions capped;
  capped.maxBodyBytes = 1000;
  RequestOptions httpOnly;
  httpOnly.httpOnly = true;

  const DataResponse missing = fetch(fileURL(dir.path() / "absent.json"));
  EXPECT_EQ(missing.status,
            Status::NotFound("The file couldn’t be opened because it doesn’t exist."));
  EXPECT_EQ(missing.statusCode, 0);
  EXPECT_EQ(fetch(fileURL(dir.path())).status,
            Status::IOError("The file couldn’t be opened because it is a folder."));
  EXPECT_EQ(fetch(fileURL(dir.path() / "big"), capped).status.code(), Status::Code::kTooLarge);
  EXPECT_EQ(fetch(fileURL(dir.path() / "big"), httpOnly).status,
            Status::Unsupported("unsupported URL"));
}

TEST(HttpClientAddressTest, RefusesAddressesThatAreNotAbsolute) {
  for (const char* url :
       {"", "api/v3/ticker/24hr", "127.0.0.1/x", "gopher://127.0.0.1/", "http://[::1/"}) {
    const DataResponse response = fetch(url);
    EXPECT_FALSE(response.status.ok()) << url;
    EXPECT_TRUE(response.status.code() == Status::Code::kUnsupported ||
                response.status.code() == Status::Code::kInvalidArgument)
        << url << ": " << response.status.localizedDescription();
  }
}

TEST(HttpClientSyncTest, GetSyncRunsOnTheCallingThread) {
  quorvel::testing::TempDir dir;
  quorvel::testing::writeFileBytes(dir.path() / "body", "hello");

  const DataResponse response = getSync(fileURL(dir.path() / "body"), {}, {});

  EXPECT_OK(response.status);
  EXPECT_EQ(response.body, "hello");
}

}  // namespace
}  // namespace platform::net
