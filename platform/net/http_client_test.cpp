#include "platform/net/http_client.h"

#include <gtest/gtest.h>

#include <list>

#include "platform/net/json_response.h"
#include "tests/support/loopback_server.h"
#include "tests/support/raw_server.h"
#include "tests/support/test_support.h"

namespace platform::net {
namespace {

using foundation::Status;
using std::chrono_literals::operator""ms;

const Status kOk;
const Status kUnsupported = Status::Unsupported("unsupported URL");
const Status kTooLarge = Status::TooLarge("The resource exceeds the maximum size.");

// Letters that pack to more than one read and more than one round of a decoder.
std::string noise(size_t size) {
  std::string text(size, 'a');
  std::uint32_t x = 1;
  for (char& c : text) c = static_cast<char>('a' + ((x = x * 1103515245 + 12345) >> 16) % 26);
  return text;
}

TEST(EncodeURLTest, AppendsEscapedParametersInOrder) {
  const std::tuple<std::string, Parameters, std::string> rows[] = {
      {"/p", {{"a", "1"}, {"b", "2"}}, "/p?a=1&b=2"},
      {"/p", {{"q", "/?a b&c=d+e/f?g#h"}}, "/p?q=/?a%20b%26c%3Dd%2Be/f?g%23h"},
      {"/p?x=1", {{"k e", "\xC3\xA9:@~_.-"}}, "/p?x=1&k%20e=%C3%A9%3A%40~_.-"},
      {"/p?x=1&", {{"y", ""}}, "/p?x=1&y="},
      {"/p?x", {{"y", "2"}}, "/p?x&y=2"},
      {"/p?#top", {{"y", "2"}}, "/p?y=2#top"},
  };
  for (const auto& [url, parameters, expected] : rows)
    EXPECT_EQ(encodeURL(url, parameters), expected) << url;
}

TEST(ResolveURLTest, ReadsALocationAgainstTheAddress) {
  const std::pair<std::string, std::string> rows[] = {{"//h:2/q", "http://h:2/q"},
                                                      {"?y", "http://u@h:1/a/b?y"},
                                                      {"c", "http://u@h:1/a/c"},
                                                      {"z:opaque", "z:opaque"}};
  for (const auto& [location, expected] : rows)
    EXPECT_EQ(resolveURL("http://u@h:1/a/b?x#f", location), expected) << location;
}

TEST(HttpClientTest, AnswersEachAddressAsItWasServed) {
  quorvel::testing::TempDir dir;
  std::filesystem::create_directories(dir.path() / "api v3");
  quorvel::testing::writeFileBytes(dir.path() / "api v3" / "24hr", "[1,2,3]");
  quorvel::testing::writeFileBytes(dir.path() / "body", std::string(1001, 'z'));
  const auto file = [&](const std::string& name) {
    return "file://" + dir.path().string() + "/" + name;
  };
  quorvel::testing::Gate gate;
  quorvel::testing::LoopbackServer server, closed;
  server.server().Get(
      R"(/(\w+)/?(\d*))", [&](const httplib::Request& request, httplib::Response& response) {
        const std::string name = request.matches[1];
        const int n = request.matches[2].length() > 0 ? std::stoi(request.matches[2]) : 0;
        if (name == "slow") gate.waitOpen();
        if (name == "hops" && n > 0) return response.set_redirect(std::to_string(n - 1));
        if (name == "gzip" || name == "br") {  // packed whatever the request offers
          const auto append = [&](const char* data, size_t size) {
            return response.body.append(data, size), true;
          };
          const std::string text = n > 0 ? noise(n) : request.target;
          if (name == "br") {
            httplib::detail::brotli_compressor().compress(text.data(), text.size(), true, append);
          } else {
            httplib::detail::gzip_compressor().compress(text.data(), text.size(), true, append);
          }
          return response.set_header("Content-Encoding", name);
        }
        if (name == "tofile") return response.set_redirect(file("body"));
        if (name == "missing") response.status = 404;
        const std::string echo = request.target + request.get_header_value("Authorization");
        response.set_content(name == "bytes" ? std::string(n, 'a') : echo,
                             name == "missing" ? "Application/JSON ; charset=utf-8" : "text/plain");
      });
  const std::string base = server.start(), refused = closed.start() + "/";
  closed.stop();
  httplib::SSLServer tls(quorvel::testing::fixturePath("tls/self-signed.crt").c_str(),
                         quorvel::testing::fixturePath("tls/self-signed.key").c_str());
  const std::string untrusted =
      "https://127.0.0.1:" + std::to_string(tls.bind_to_any_port("127.0.0.1"));
  std::jthread serving([&] { tls.listen_after_bind(); });
  const std::shared_ptr<void> halt(nullptr, [&](void*) { tls.stop(); });  // before the join
  while (!tls.is_running()) std::this_thread::yield();
  const Status noFile = Status::NotFound("The file couldn’t be opened because it doesn’t exist.");
  // Drips its head a byte every 100 ms: no read waits long, yet it never ends in time.
  quorvel::testing::RawServer dripping({"HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok", 100ms});
  const Status timedOut = Status::TimedOut("The request timed out.");
  // Replies as they go on the wire, byte for byte.
  std::list<quorvel::testing::RawServer> raw;
  const auto wire = [&](std::string bytes) {
    return raw.emplace_back(quorvel::testing::RawReply{std::move(bytes)}).baseURL() + "/";
  };
  const Status lost = Status::Network("The network connection was lost.");
  const std::string chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
  const Status folder = Status::IOError("The file couldn’t be opened because it is a folder.");
  const std::string certificateError =
      "The certificate for this server is invalid. You might be connecting to a server that is "
      "pretending to be “127.0.0.1” which could put your confidential information at risk.";
  struct Row {
    std::string url;  // a path on the server, or a whole address
    RequestOptions options;
    Status status;
    long statusCode;
    std::string body;
    std::string mimeType = "";
    std::string finalURL = "";  // where the transfer ended, when not at `url`
  };
  const Row rows[] = {
      {"/missing", {}, kOk, 404, "/missing", "application/json"},
      {"/hops/10", {}, kOk, 200, "/hops/0", "text/plain", "/hops/0"},
      {"/gzip/", {}, kOk, 200, "/gzip/", "text/plain"},
      {"/br/", {}, kOk, 200, "/br/", "text/plain"},
      {"/gzip/400000", {}, kOk, 200, noise(400000), "text/plain"},
      {"/br/400000", {}, kOk, 200, noise(400000), "text/plain"},
      {"http://ab:%3A@" + base.substr(7) + "/w", {}, kOk, 200, "/wBasic YWI6Og==", "text/plain"},
      {"http://abcd:@" + base.substr(7) + "/w", {}, kOk, 200, "/wBasic YWJjZDo=", "text/plain"},
      {wire(chunked + "5;x=y\r\nhello\r\n1\r\n!\r\n0\r\n\r\n"), {}, kOk, 200, "hello!"},
      {wire(chunked + "5\r\nhello\r\n"), {}, lost, 200, ""},
      {wire(chunked + "zz\r\n"), {}, lost, 200, ""},
      {wire(chunked + "2\r\nhello\r\n0\r\n\r\n"), {}, lost, 200, ""},
      {wire("HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\n\r\nup to the end"),
       {},
       kOk,
       200,
       "up to the end"},
      {wire("HTTP/1.1 204 No Content\r\nContent-Length: 5\r\n\r\nextra"), {}, kOk, 204, ""},
      {wire("HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\ncut short"), {}, kOk, 200, "cut short"},
      {wire("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\ncut short"), {}, lost, 200, ""},
      {wire("HTTP/1.1 200 OK\r\nContent-"), {}, lost, 0, ""},
      {wire("SSH-2.0-OpenSSH_9.2\r\n\r\n"), {}, lost, 0, ""},
      {"/a b", {}, kUnsupported, 0, ""},
      {"/tofile", {}, kUnsupported, 302, "", "", file("body")},
      {"/slow", {.totalTimeout = 0ms}, timedOut, 0, ""},
      {"/missing", {.connectTimeout = 0ms}, timedOut, 0, ""},  // not even a quick answer
      {dripping.baseURL() + "/", {.totalTimeout = 300ms}, timedOut, 0, ""},
      {"/bytes/10000", {.maxBodyBytes = 10000}, kOk, 200, std::string(10000, 'a'), "text/plain"},
      {"/bytes/10001", {.maxBodyBytes = 10000}, kTooLarge, 200, "", "text/plain"},
      {refused, {}, Status::Network("Could not connect to the server."), 0, ""},
      {untrusted, {}, Status::Network(certificateError), 0, ""},
      {file("api%20v3/24hr"), {}, kOk, 200, "[1,2,3]"},
      {file("body"), {.maxBodyBytes = 1000}, kTooLarge, 0, ""},
      {file("body"), {.httpOnly = true}, kUnsupported, 0, ""},
      {file("no"), {}, noFile, 0, ""},
      {file(""), {}, folder, 0, ""},
      {"api/v3/ticker/24hr", {}, kUnsupported, 0, ""},
      {"gopher://127.0.0.1/", {}, kUnsupported, 0, ""},
  };
  for (const Row& row : rows) {
    const auto at = [&](const std::string& url) { return url.starts_with("/") ? base + url : url; };
    const auto response = quorvel::testing::awaitCompletion<DataResponse>(
        [&](auto completion) { get(at(row.url), {}, row.options, completion); });
    ASSERT_TRUE(response) << row.url;
    EXPECT_EQ(response->status, row.status) << row.url;
    EXPECT_EQ(response->statusCode, row.statusCode) << row.url;
    EXPECT_EQ(response->body, row.body) << row.url;
    EXPECT_EQ(response->mimeType, row.mimeType) << row.url;
    EXPECT_EQ(response->url, at(row.finalURL.empty() ? row.url : row.finalURL)) << row.url;
  }
  gate.open();
}

TEST(JSONResponseTest, SerializesTheBodyWhateverTheStatus) {
  const Status notJSON = Status::Parse(
      "JSON could not be serialized because of error: The data couldn’t be read because it isn’t "
      "in the correct format.");
  const Status empty =
      Status::Parse("Response could not be serialized, input data was nil or zero length.");
  const Status lost = Status::Network("The network connection was lost.");
  const std::tuple<Status, long, std::string, Status, std::string> rows[] = {
      // transport, status code, body -> status, JSON
      {kOk, 200, R"( [{"a":"1"}, 2, null] )", kOk, R"([{"a":"1"},2,null])"},
      {kOk, 204, "", kOk, "null"},
      {kOk, 205, "", kOk, "null"},
      {kOk, 200, "", empty, ""},
      {kOk, 200, " ", notJSON, ""},
      {lost, 200, "{}", lost, ""},
  };
  for (const auto& [transport, statusCode, body, status, json] : rows) {
    const JSONResponse response = serializeJSON({transport, statusCode, "", body, ""});
    EXPECT_EQ(response.status, status) << statusCode << " " << body;
    EXPECT_EQ(response.statusCode, statusCode) << body;
    EXPECT_EQ(response.json ? simdjson::to_string(response.json->root()) : "", json) << body;
  }
}

}  // namespace
}  // namespace platform::net
