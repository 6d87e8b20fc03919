// End-to-end tests of QuorvelNotificationsExtension: the built executable
// run as a process on payload files, with images served from 127.0.0.1 by
// servers that answer, refuse, stall or trickle.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

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

RawReply image(const std::string& body) {
  const auto length = "Content-Length: " + std::to_string(body.size());
  return {testing::responseHead("200 OK", {"Content-Type: image/png", length}) + body};
}

TEST(NotificationsEndToEndTest, PayloadsOptionsAndImageServers) {
  testing::ScopedHome home;
  RawServer png(image(kPng)), huge(image(kPng + std::string(10u << 20, '\0'))),
      stalled(RawReply{"", {}, false, true}),
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
  const std::string plain = "BTC is up|Portfolio|Bitcoin rose 5.2% in the last 24 hours.|3|default";
  const std::string p = "QuorvelNotificationsExtension: ", left = p + "payload member left out: ";
  const struct {
    std::string args;
    int exit;
    std::string deliveredBy;  // or a part of standard error when the exit is not 0
    size_t attachments = 0;
    std::string content = "";  // title|subtitle|body|badge|sound; "" for the ordinary payload's
    std::string note = "";     // how standard error starts when the exit is 0
  } rows[] = {
      {"--payload - --output " + output, 0, "helper"},
      {"--payload " + from(png), 0, "helper", 1},
      {"--payload " + payload("fcm_options", {{"image", "HTTP://" + png.baseURL().substr(7)}}), 0,
       "helper", 1},
      {"--payload " + from(huge), 0, "helper", 0, "",
       p + "image " + huge.baseURL() + "/i.png left out: The resource exceeds the maximum"},
      {"--payload " + testing::fixturePath("payloads/file_image.json").string(), 0, "helper", 0,
       "BTC is up||Bitcoin rose 5.2%.|null|null",
       p + "image file:///etc/passwd left out: image address must be http or https\n"},
      {"--time-limit 1 --payload " + from(stalled), 0, "expiry"},
      {"--time-limit 1 --payload " + from(trickling), 0, "expiry"},
      // Without "mutable-content": 1 and an alert, the system shows the payload as it came.
      {"--payload " + payload("aps.mutable-content", 0), 0, "system"},
      {"--payload " + payload("aps", {{"mutable-content", 1}, {"badge", 1}}), 0, "system", 0,
       "|||1|null"},
      {"--payload " + payload("aps.alert", 42), 0, "system", 0, "|||3|default",
       left + "aps.alert must be a string or an object, not number\n"},
      {"--payload " + payload("aps.badge", "5"), 0, "helper", 0,
       "BTC is up|Portfolio|Bitcoin rose 5.2% in the last 24 hours.|null|default",
       left + "aps.badge must be a whole number, not string\n"},
      {"--payload " + payload("aps.sound", 7), 0, "helper", 0,
       "BTC is up|Portfolio|Bitcoin rose 5.2% in the last 24 hours.|3|null", left + "aps.sound"},
      // A key the string table lacks is its own format.
      {"--payload " + payload("aps.alert", {{"title-loc-key", "%@ is up"},
                                            {"title-loc-args", {"BTC"}},
                                            {"subtitle-loc-key", "Portfolio"},
                                            {"loc-key", "%2$@ rose %1$@ in %@"},
                                            {"loc-args", {"5.2%", "Bitcoin", "x"}},
                                            {"body", "not shown"}}),
       0, "helper", 0, "BTC is up|Portfolio|Bitcoin rose 5.2% in 5.2%|3|default"},
      {"--payload " + output + ".missing", 2, "out.json.missing"},
  };
  const auto folder = home.path() / "Containers/com.tavrin.quorvel.notifications/tmp";
  const auto kept = home.path() / "System/Notifications/Attachments";
  for (const auto& row : rows) {
    SCOPED_TRACE(row.args);
    testing::ProcessOptions options;
    options.input = testing::fixturePath("payloads/ordinary.json");
    const auto result =
        runProcess("QuorvelNotificationsExtension", testing::words(row.args), options);
    ASSERT_EQ(result.exitCode, row.exit) << result.err;
    if (row.exit != 0) {
      EXPECT_NE(result.err.find(row.deliveredBy), std::string::npos) << result.err;
      continue;
    }
    EXPECT_TRUE(result.err.starts_with(row.note)) << result.err;
    EXPECT_EQ(row.note.empty(), result.err.empty()) << result.err;
    const json out =
        json::parse(row.args.ends_with(output) ? testing::readFileBytes(output) : result.out);
    EXPECT_EQ(out.begin().key() + " " + out.begin().value().get<std::string>(),
              "deliveredBy " + row.deliveredBy);
    std::string summary;
    for (const char* field : {"title", "subtitle", "body", "badge", "sound"}) {
      const json& value = out["content"][field];
      summary += (value.is_string() ? value.get<std::string>() : value.dump()) + "|";
    }
    EXPECT_EQ(summary, (row.content.empty() ? plain : row.content) + "|");
    if (&row == rows) {
      EXPECT_EQ(out["content"]["userInfo"].dump(), nlohmann::json::parse(ordinary).dump());
    }
    // Nothing is left in the extension's temporary folder after a run.
    EXPECT_TRUE(!std::filesystem::exists(folder) || std::filesystem::is_empty(folder));
    ASSERT_EQ(out["content"]["attachments"].size(), row.attachments) << result.out;
    if (row.attachments == 0) continue;
    const json attachment = out["content"]["attachments"][0];
    EXPECT_EQ(attachment["identifier"].dump() + attachment["type"].dump(),
              R"("image""public.png")");
    const std::filesystem::path file = attachment["url"].get<std::string>().substr(7);
    EXPECT_EQ(file.parent_path().parent_path(), kept);
    EXPECT_EQ(std::filesystem::symlink_status(file).permissions(), std::filesystem::perms(0600));
    EXPECT_EQ(std::filesystem::symlink_status(kept).permissions(), std::filesystem::perms(0700));
    EXPECT_EQ(testing::readFileBytes(file), kPng);
  }
}

// At a terminal, with no payload named, the program explains itself instead
// of waiting for a payload to be typed.
TEST(NotificationsEndToEndTest, AtATerminalPrintsUsage) {
  const int terminal = ::posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(terminal, 0);
  ASSERT_EQ(::grantpt(terminal) | ::unlockpt(terminal), 0);
  testing::ProcessOptions options;
  options.input = ::ptsname(terminal);
  const auto result = runProcess("QuorvelNotificationsExtension", {}, options);
  ::close(terminal);
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_EQ(result.out, "");
  EXPECT_TRUE(result.err.starts_with("Runs the notification service extension")) << result.err;
  EXPECT_NE(result.err.find("Usage: QuorvelNotificationsExtension [OPTIONS]"), std::string::npos);
}

}  // namespace
}  // namespace quorvel
