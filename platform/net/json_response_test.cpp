#include "platform/net/json_response.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/net/local_test_server.h"
#include "tests/support/test_support.h"

namespace platform::net {
namespace {

using foundation::Status;
using testing::awaitDelivery;
using testing::LocalTestServer;

const Status kNotJSON = Status::Parse(
    "JSON could not be serialized because of error: The data couldn’t be read because it isn’t in "
    "the correct format.");
const Status kEmptyBody =
    Status::Parse("Response could not be serialized, input data was nil or zero length.");

JSONResponse fetchJSON(std::string url) {
  auto delivery = awaitDelivery<JSONResponse>(
      [&](auto completion) { getJSON(std::move(url), {}, {}, std::move(completion)); });
  std::lock_guard lock(delivery->mutex);
  if (!delivery->response) {
    ADD_FAILURE() << "no completion";
    return {};
  }
  EXPECT_EQ(delivery->calls, 1);
  EXPECT_FALSE(delivery->onMainThread);
  EXPECT_NE(delivery->thread, std::this_thread::get_id());
  return *delivery->response;
}

// A server whose one path answers with the given status, body and type.
class JSONResponseTest : public ::testing::Test {
 protected:
  std::string serve(int status, std::string body, std::string type = "application/json") {
    server_.server().Get("/r", [=](const httplib::Request&, httplib::Response& response) {
      response.status = status;
      response.set_content(body, type);
    });
    server_.start();
    return server_.url("/r");
  }

  LocalTestServer server_;
};

TEST_F(JSONResponseTest, AcceptsABareNumber) {
  const JSONResponse response = fetchJSON(serve(200, "42"));

  ASSERT_OK(response.status);
  ASSERT_NE(response.json, nullptr);
  EXPECT_EQ(int64_t(response.json->root()), 42);
  EXPECT_EQ(response.statusCode, 200);
}

TEST_F(JSONResponseTest, ParsesAnArray) {
  const JSONResponse response =
      fetchJSON(serve(200, R"([{"symbol":"BTCUSDT","lastPrice":"31000.0"},{"symbol":"ETHUSDT"}])"));

  ASSERT_OK(response.status);
  const simdjson::dom::array tickers = response.json->root().get_array();
  ASSERT_EQ(tickers.size(), 2u);
  EXPECT_EQ(std::string_view(tickers.at(0)["lastPrice"]), "31000.0");
}

TEST_F(JSONResponseTest, DeliversA4xxObjectWithItsStatusCodeNotAsAnError) {
  const JSONResponse response =
      fetchJSON(serve(400, quorvel::testing::fixture("tickers/error-400-invalid-symbol.json")));

  ASSERT_OK(response.status);
  EXPECT_EQ(response.statusCode, 400);
  ASSERT_NE(response.json, nullptr);
  EXPECT_TRUE(response.json->root().is_object());
}

TEST_F(JSONResponseTest, AnEmpty200BodyIsAnError) {
  const JSONResponse response = fetchJSON(serve(200, "", "text/plain"));

  EXPECT_EQ(response.status, kEmptyBody);
  EXPECT_EQ(response.json, nullptr);
  EXPECT_EQ(response.statusCode, 200);
}

TEST_F(JSONResponseTest, AnEmpty204BodyIsJSONNull) {
  server_.server().Get(
      "/r", [](const httplib::Request&, httplib::Response& response) { response.status = 204; });
  server_.start();

  const JSONResponse response = fetchJSON(server_.url("/r"));

  ASSERT_OK(response.status);
  EXPECT_EQ(response.statusCode, 204);
  ASSERT_NE(response.json, nullptr);
  EXPECT_TRUE(response.json->root().is_null());
}

TEST_F(JSONResponseTest, ABodyThatIsNotJSONIsAnError) {
  const JSONResponse response = fetchJSON(serve(200, "<html>rate limited</html>", "text/html"));

  EXPECT_EQ(response.status, kNotJSON);
  EXPECT_EQ(response.json, nullptr);
}

TEST(JSONSerializerTest, EmptyBodiesOf205AreNullAndOfOtherStatusesErrors) {
  DataResponse resetContent;
  resetContent.statusCode = 205;
  const JSONResponse reset = serializeJSON(resetContent);
  ASSERT_OK(reset.status);
  EXPECT_TRUE(reset.json->root().is_null());

  for (long status : {200L, 201L, 400L, 404L, 500L}) {
    DataResponse empty;
    empty.statusCode = status;
    EXPECT_EQ(serializeJSON(empty).status, kEmptyBody) << status;
  }
}

TEST(JSONSerializerTest, ATransportFailurePassesThrough) {
  DataResponse failed;
  failed.status = Status::TimedOut("The request timed out.");

  const JSONResponse response = serializeJSON(failed);

  EXPECT_EQ(response.status, failed.status);
  EXPECT_EQ(response.json, nullptr);
}

TEST(JSONSerializerTest, ARefusedConnectionReachesTheCompletion) {
  testing::RefusingPort port;
  const JSONResponse response =
      fetchJSON("http://127.0.0.1:" + std::to_string(port.port()) + "/api/v3/ticker/24hr");

  EXPECT_EQ(response.status, Status::Network("Could not connect to the server."));
}

TEST(JSONSerializerTest, ARecordedTickerFileParsesWhole) {
  const auto path = quorvel::testing::fixturePath("tickers/ticker-24hr-full.json");

  const JSONResponse response = fetchJSON("file://" + path.string());

  ASSERT_OK(response.status);
  EXPECT_EQ(response.statusCode, 200);
  const simdjson::dom::array tickers = response.json->root().get_array();
  EXPECT_EQ(tickers.size(), 2429u);
  bool found = false;
  for (simdjson::dom::element ticker : tickers) {
    if (std::string_view(ticker["symbol"]) == "BTCUSDT") {
      EXPECT_EQ(std::string_view(ticker["lastPrice"]), "43714.03000000");
      found = true;
    }
  }
  EXPECT_TRUE(found);
}

TEST(JSONDocumentTest, TheRootOutlivesTheResponseThatCarriedIt) {
  std::shared_ptr<const JSONDocument> document;
  {
    DataResponse response;
    response.statusCode = 200;
    response.body = R"({"symbol":"ETHUSDT","priceChange":"-12.5"})";
    document = serializeJSON(std::move(response)).json;
  }
  ASSERT_NE(document, nullptr);
  EXPECT_EQ(std::string_view(document->root()["priceChange"]), "-12.5");
}

// Every file of the JSON conformance suite: y_ accepted, n_ refused, i_
// either way but without crashing.
TEST(JSONDocumentTest, FollowsTheConformanceSuite) {
  const auto suite = quorvel::testing::fixturePath("json-test-suite/test_parsing");
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(suite)) {
    const std::string name = entry.path().filename().string();
    const auto parsed = JSONDocument::parse(quorvel::testing::readFileBytes(entry.path()));
    ++files;
    if (name.starts_with("y_")) {
      EXPECT_TRUE(parsed.ok()) << name;
    } else if (name.starts_with("n_")) {
      EXPECT_EQ(parsed.status, kNotJSON) << name;
    }
  }
  EXPECT_EQ(files, 318);
}

}  // namespace
}  // namespace platform::net
