// What runs of the real extension cannot show: widgets that answer never, twice
// or with no entry, the deadline told, the host's backoff, touches naming no file.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/ui/color.h"
#include "platform/widgetkit/bundle_entry.h"
#include "platform/widgetkit/date_format.h"
#include "platform/widgetkit/file_watch.h"
#include "platform/widgetkit/resident_host.h"
#include "tests/support/raw_server.h"
#include "tests/support/test_support.h"

namespace platform::widgetkit {
namespace {

using namespace std::chrono;

struct Entry {
  system_clock::time_point date;
  int value = 0;
};

class Provider : public TimelineProvider<Entry> {
 public:
  explicit Provider(std::string kind) : kind_(std::move(kind)) {}
  Entry placeholder(const TimelineProviderContext&) const override { return {{}, 1}; }
  void getSnapshot(const TimelineProviderContext&, std::function<void(Entry)> done) const override {
    done({{}, 2});
    done({{}, 5});  // a second answer is the widget's bug: the first stands
  }
  void getTimeline(const TimelineProviderContext&,
                   std::function<void(Timeline<Entry>)> done) const override {
    if (kind_ == "Empty") done({});  // and "Mute" never answers
  }

 private:
  std::string kind_;
};

struct Bundle : WidgetBundle {
  std::string bundleIdentifier() const override { return "example.bundle"; }
  std::vector<WidgetConfiguration> body() const override {
    std::vector<WidgetConfiguration> widgets;
    for (const char* kind : {"Twice", "Mute", "Empty"}) {
      widgets.push_back(staticConfiguration<Entry>(
          kind, std::make_shared<const Provider>(kind),
          [](const Entry&) { return ui::View(ui::Color::clear()); },
          [](const Entry& entry) { return "{\"value\":" + std::to_string(entry.value) + "}"; },
          "Name", "About", {WidgetFamily::systemMedium, WidgetFamily::systemSmall}));
    }
    return widgets;
  }
  void willAnswerWithin(milliseconds deadline) const override { told = deadline; }
  mutable milliseconds told{0};
};

TEST(BundleEntryTest, AnswersArriveInTimeOnceOrNotAtAll) {
  quorvel::testing::TempDir dir;
  const std::string out = (dir.path() / "out.json").string();
  const struct {
    std::string request, kind, deadline;
    int exit;
    std::string response;  // the start of what is written to `out`
  } rows[] = {
      {"snapshot", "Twice", "2.5", kExitAnswered,
       R"({"request":"snapshot","kind":"Twice","family":"systemMedium","policy":null,)"
       R"("entries":[{"date":"1970-01-01T00:00:00.000Z","value":2,"view":{)"},
      {"timeline", "Empty", "30", kExitAnswered, R"({"request":"timeline","kind":"Empty")"},
      {"timeline", "Mute", "0.2", kExitNoAnswer, ""},
  };
  for (const auto& row : rows) {
    std::filesystem::remove(out);
    const char* argv[] = {"x",          row.request.c_str(),  "--kind", row.kind.c_str(),
                          "--deadline", row.deadline.c_str(), "--json", out.c_str()};
    Bundle bundle;
    EXPECT_EQ(runWidgetBundle(bundle, 8, argv), row.exit) << row.kind;
    EXPECT_EQ(bundle.told, duration_cast<milliseconds>(duration<double>(std::stod(row.deadline))));
    EXPECT_EQ(quorvel::testing::readFileBytes(out).substr(0, row.response.size()), row.response);
  }
  const char* draw[] = {"x", "timeline", "--kind", "Empty", "--png", out.c_str()};
  Bundle bundle;
  EXPECT_EQ(runWidgetBundle(bundle, 6, draw), kExitOutputFailed);  // no entry to draw
  EXPECT_EQ(bundle.told, 30s);
  const char* bare[] = {"x"};
  EXPECT_EQ(runWidgetBundle(bundle, 1, bare), kExitUsage);  // a request is required
  EXPECT_EQ(iso8601String(sys_days{1969y / 12 / 31} + 23h + 59min + 59s + 999ms + 999us),
            "1969-12-31T23:59:59.999Z");
}

// The host on 127.0.0.1:`port` asked `line` ("GET /"): the connection to
// read its answer from, or -1.
int ask(int port, const std::string& line) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in at{AF_INET, htons(port), {htonl(INADDR_LOOPBACK)}, {}};
  const std::string request = line + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                              "\r\nContent-Length: 0\r\n\r\n";
  if (::connect(fd, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0 &&
      ::write(fd, request.data(), request.size()) > 0)
    return fd;
  ::close(fd);
  return -1;
}

// Each failed request doubles the wait before the next, up to 16 intervals,
// as the page's events tell (an interval of an hour, never waited out).
TEST(ResidentHostTest, FailuresPutTheNextReloadOffUpToSixteenIntervals) {
  Bundle bundle;
  ResidentHostOptions options;
  options.port = std::stoi(quorvel::testing::RawServer({}).baseURL().substr(17));  // a free one
  options.interval = options.deadline = 1h;
  std::thread host([&] { runResidentHost(bundle, options); });
  int events = -1;
  quorvel::testing::waitUntil([&] { return (events = ask(options.port, "GET /events")) >= 0; });
  std::string stream;  // only "Empty" is not waited for, so only it has a next reload
  std::size_t from = 0, at = 0;
  char buffer[4096];
  for (const int doublings : {1, 2, 3, 4, 4}) {  // after each failure of "Empty", asked again
    for (ssize_t n = 1; n > 0 && ((at = stream.find(R"("nextReload":")", from)) == stream.npos ||
                                  at + 38 > stream.size());)
      if ((n = ::read(events, buffer, sizeof buffer)) > 0) stream.append(buffer, n);
    const std::string next = stream.substr(at + 14, 24);
    from = at + 38;
    EXPECT_GT(next, iso8601String(system_clock::now() + hours(1 << doublings) - 30min)) << from;
    EXPECT_LE(next, iso8601String(system_clock::now() + hours(1 << doublings))) << from;
    const int reload = ask(options.port, "POST /reload");
    EXPECT_GT(::read(reload, buffer, sizeof buffer), 0);
    ::close(reload);
  }
  EXPECT_NE(stream.find("\r\nCache-Control: no-store\r\n"), stream.npos);  // nor any answer
  const int elsewhere = ask(options.port, "POST /elsewhere");
  EXPECT_GT(::read(elsewhere, buffer, sizeof buffer), 0);
  EXPECT_EQ(std::string(buffer, 12), "HTTP/1.1 404");
  ::close(elsewhere);
  ::close(events);
  pthread_kill(host.native_handle(), SIGTERM);
  host.join();
}

// A widget silent past the deadline has failed too: every widget then has a
// next reload, none is left waiting.
TEST(ResidentHostTest, SilencePastTheDeadlineIsAFailure) {
  Bundle bundle;
  ResidentHostOptions options;
  options.port = std::stoi(quorvel::testing::RawServer({}).baseURL().substr(17));
  options.interval = 1h;
  options.deadline = 50ms;
  std::thread host([&] { runResidentHost(bundle, options); });
  int events = -1;
  quorvel::testing::waitUntil([&] { return (events = ask(options.port, "GET /events")) >= 0; });
  const timeval patience{5, 0};
  ::setsockopt(events, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
  std::string stream, last;
  char buffer[4096];
  const auto scheduled = [&] {
    const std::size_t data = stream.rfind("data: ");
    last = data == stream.npos ? "" : stream.substr(data, stream.find("\n\n", data) - data);
    int count = 0;
    for (std::size_t at = last.find(R"("nextReload":")"); at != last.npos;
         at = last.find(R"("nextReload":")", at + 1))
      ++count;
    return count;
  };
  for (ssize_t n = 1; n > 0 && scheduled() < 3;)
    if ((n = ::read(events, buffer, sizeof buffer)) > 0) stream.append(buffer, n);
  EXPECT_EQ(scheduled(), 3) << last;
  ::close(events);
  pthread_kill(host.native_handle(), SIGINT);  // a terminal's Ctrl-C
  host.join();
}

// A touch of a watched name (or its journal's) counts, even behind others
// in one read; removing the folder itself names no file, and does not.
TEST(FileWatchTest, OnlyTouchesOfAWatchedNameCount) {
  quorvel::testing::TempDir dir;
  const auto journal = dir.path() / "folder" / "data.json-journal";
  quorvel::testing::writeFileBytes(journal, "{}");
  auto watch = std::move(*FileWatch::open({dir.path() / "folder" / "data.json"}).value);
  quorvel::testing::writeFileBytes(journal.parent_path() / "other", "{}");
  std::filesystem::remove(journal);
  EXPECT_TRUE(watch->wait(0ms, 0ms));
  std::filesystem::remove_all(journal.parent_path());
  std::jthread stopper([&] { std::this_thread::sleep_for(200ms), watch->stop(); });
  EXPECT_FALSE(watch->wait(0ms, 0ms));
}

}  // namespace
}  // namespace platform::widgetkit
