// End-to-end tests of QuorvelNotificationsExtension: the built executable
// run as a process on payload files, with images served from 127.0.0.1 by
// servers that answer, refuse, stall or trickle.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <nlohmann/json.hpp>

#include "tests/support/process.h"
#include "tests/support/raw_server.h"

namespace quorvel {
namespace {

using json = nlohmann::ordered_json;
using testing::RawReply;
using testing::RawServer;
using testing::runProcess;

const std::string kPng = std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) + "pixels";

int permissions(const std::filesystem::path& path) {
  struct stat info {};
  ::lstat(path.c_str(), &info);
  return info.st_mode & 07777;
}

RawReply image(const std::string& body, const std::string& type = "image/png") {
  return {testing::responseHead("200 OK", {"Content-Type: " + type,
                                           "Content-Length: " + std::to_string(body.size())}) +
          body};
}

TEST(NotificationsEndToEndTest, PayloadsOptionsAndImageServers) {
  testing::ScopedHome home;
  RawServer png(image(kPng)), huge(image(kPng + std::string(10u << 20, '\0'))),
      page(image("<html/>", "text/html")), stalled(RawReply{"", {}, false, true}),
      trickling(RawReply{image(kPng).bytes, std::chrono::seconds(1)});
  const std::string ordinary = testing::fixture("payloads/ordinary.json");
  // A payload file: the ordinary one with `member` of aps (or, with no dot,
  // of the payload) set to `value`.
  auto payload = [&](const std::string& member, const json& value) {
    json changed = json::parse(ordinary);
    json& parent = member.starts_with("aps.") ? changed["aps"] : changed;
    const std::string name = member.substr(member.find('.') + 1);
    parent[name] = value;
    const auto file = home.path() / (std::to_string(std::hash<std::string>{}(changed.dump())));
    testing::writeFileBytes(file, changed.dump());
    return file.string() + " ";
  };
  auto from = [&](const RawServer& server) {
    return payload("fcm_options", {{"image", server.baseURL() + "/i.png"}});
  };
  const std::string output = (home.path() / "out.json").string();
  const std::string notJson = testing::fixturePath("payloads/not_json.txt").string();
  const struct {
    std::string args;
    int exit;
    std::string deliveredBy;  // or a part of standard error when the exit is not 0
    size_t attachments = 0;
  } rows[] = {
      {"--payload " + testing::fixturePath("payloads/ordinary.json").string(), 0, "helper"},
      {"--payload - --output " + output, 0, "helper"},
      {"--payload " + from(png), 0, "helper", 1},
      {"--payload " + from(huge), 0, "helper"},
      {"--payload " + from(page), 0, "helper"},
      {"--payload " + testing::fixturePath("payloads/file_image.json").string(), 0, "helper"},
      {"--time-limit 1 --payload " + from(stalled), 0, "expiry"},
      {"--time-limit 1 --payload " + from(trickling), 0, "expiry"},
      {"--payload " + payload("aps.alert", 42), 2,
       "unusable payload: aps.alert must be a string or an object, not number"},
      {"--payload " + notJson, 2,
       "QuorvelNotificationsExtension: payload " + notJson + " is not JSON: parse error"},
      {"--payload " + output + ".missing", 2, "out.json.missing"},
      {"--time-limit soon", 2, "--time-limit"},
      {"--time-limit 0", 2, "--time-limit must be between 0.001 and 86400 seconds"},
      {"--unknown", 2, "--unknown"},
      {"--output " + output + "/no", 2, "out.json/no"},
  };
  const auto folder = home.path() / "Containers/com.tavrin.quorvel.notifications/tmp";
  for (const auto& row : rows) {
    SCOPED_TRACE(row.args);
    testing::ProcessOptions options;
    options.input = testing::fixturePath("payloads/ordinary.json");
    const auto result =
        runProcess("QuorvelNotificationsExtension", testing::words(row.args), options);
    ASSERT_EQ(result.exitCode, row.exit) << result.err;
    EXPECT_NE(result.err.find(row.exit ? row.deliveredBy : ""), std::string::npos) << result.err;
    if (row.exit != 0) continue;
    const json out =
        json::parse(row.args.ends_with(output) ? testing::readFileBytes(output) : result.out);
    EXPECT_EQ(out.begin().key() + " " + out.begin().value().get<std::string>(),
              "deliveredBy " + row.deliveredBy);
    const std::string content = out["content"].dump();
    if (!row.args.ends_with("file_image.json")) {  // the others are the ordinary payload's
      EXPECT_EQ(content.substr(0, content.find("\"attachments\"")),
                R"({"title":"BTC is up","subtitle":"Portfolio","body":"Bitcoin rose 5.2% in the )"
                R"(last 24 hours.","badge":3,"sound":"default","categoryIdentifier":"price-alert",)"
                R"("threadIdentifier":"BTCUSDT",)");
    }
    if (&row == rows) {
      EXPECT_EQ(out["content"]["userInfo"].dump(), nlohmann::json::parse(ordinary).dump());
    }
    ASSERT_EQ(out["content"]["attachments"].size(), row.attachments) << result.out;
    if (row.attachments == 0) {
      EXPECT_TRUE(!std::filesystem::exists(folder) || std::filesystem::is_empty(folder));
      continue;
    }
    const json attachment = out["content"]["attachments"][0];
    EXPECT_EQ(attachment["identifier"].dump() + attachment["type"].dump(),
              R"("image""public.png")");
    const std::filesystem::path file = attachment["url"].get<std::string>().substr(7);
    EXPECT_EQ(file.parent_path(), folder);
    EXPECT_EQ(permissions(file), 0600);
    EXPECT_EQ(permissions(folder), 0700);
    EXPECT_EQ(testing::readFileBytes(file), kPng);
    std::filesystem::remove(file);
  }
}

}  // namespace
}  // namespace quorvel
