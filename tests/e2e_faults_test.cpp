// End-to-end fault tests: the built executables against an exchange on
// 127.0.0.1 that misbehaves, a shared store that another process has locked,
// damaged or moved ahead, and preference suites that cannot be written.
// Whatever fails, a request is still answered, the failure is named, and
// what was stored before stays exactly as it was (compared byte for byte).
#include <fcntl.h>
#include <fmt/format.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "store/shared_realm_configuration.h"
#include "tests/support/process.h"
#include "tests/support/raw_server.h"
#include "widgets/quorvel_widgets.h"

namespace quorvel {
namespace {

using nlohmann::json;
using testing::ProcessResult;
using testing::RawServer;
using testing::responseHead;
using testing::runProcess;
namespace fs = std::filesystem;

constexpr char kFailure[] = "\"Error price change statistics: ";

// Holds an exclusive flock on a file, as another process's writer would.
struct HeldLock {
  explicit HeldLock(const fs::path& file) : fd(::open(file.c_str(), O_RDWR | O_CREAT, 0600)) {
    EXPECT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0) << file;
  }
  ~HeldLock() { ::close(fd); }
  int fd;
};

// Runs `sql` on a connection of the test's own, another writer of the store.
sqlite3* storeConnection(const fs::path& file, const std::string& sql) {
  sqlite3* db = nullptr;
  EXPECT_EQ(sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sql;
  return db;
}

// A home with two holdings and a snapshot stored by a good refresh from a
// file:// recording of the exchange.
class FaultTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::ScopedEnv api("QUORVEL_API_BASE_URL", testing::recordedExchange(home_.path()));
    ASSERT_EQ(runProcess("quorvel-host", {"holdings", "add", "btcusdt", "0.5"}).exitCode, 0);
    ASSERT_EQ(runProcess("quorvel-host", {"holdings", "add", "ETHUSDT", "2"}).exitCode, 0);
    ASSERT_EQ(runProcess("quorvel-host", {"theme", "set", "dark"}).exitCode, 0);
    ASSERT_EQ(timeline("QuorvelSmallWidget").exitCode, 0);
    stored_ = state();
    snapshot_ = json::parse(runProcess("quorvel-host", {"snapshot", "show"}).out);
  }

  fs::path container() const { return home_.path() / "AppGroups" / appGroupIdentifier; }
  fs::path storeFile() const { return container() / kStoreFileName; }
  fs::path snapshotSuite() const {
    return container() / "Library/Preferences" / (std::string(appGroupIdentifier) + ".plist");
  }
  fs::path themeSuite() const {
    const std::string bundle(kWidgetsBundleIdentifier);
    return home_.path() / "Containers" / bundle / "Library/Preferences" / (bundle + ".plist");
  }
  ProcessResult timeline(const std::string& kind, const std::string& deadline = "20",
                         const testing::ProcessOptions& options = {}) {
    return runProcess("QuorvelWidgetsExtension",
                      {"timeline", "--kind", kind, "--json", "-", "--deadline", deadline}, options);
  }
  // What the host shows, then the stored bytes: holdings, snapshot, theme.
  std::string state() {
    std::string seen;
    for (const char* what : {"holdings", "snapshot", "theme"})
      seen += runProcess("quorvel-host", {what, what[0] == 'h' ? "list" : "show"}).out;
    for (const fs::path& file : {storeFile(), snapshotSuite(), themeSuite()})
      seen += "\n" + testing::readFileBytes(file);
    return seen;
  }
  // The refresh failed and the widget still answered: an entry without a
  // portfolio, a reload at the end, and the debug line naming `failure`.
  static void expectAnsweredWithFailure(const ProcessResult& result, const std::string& failure) {
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const json response = json::parse(testing::lastLine(result.out));
    EXPECT_EQ(response["policy"], "atEnd");
    EXPECT_TRUE(response["entries"][0]["portfolio"].is_null());
    EXPECT_NE(result.out.find(kFailure + failure), std::string::npos) << result.out;
  }

  testing::ScopedHome home_;
  std::string stored_;
  json snapshot_;
};

std::string chunk(const std::string& bytes) {
  return fmt::format("{:x}\r\n{}\r\n", bytes.size(), bytes);
}
std::string reply(const std::string& status, const std::string& body, std::string field = "") {
  return responseHead(status, {field, "Content-Length: " + std::to_string(body.size())}) + body;
}

TEST_F(FaultTest, MisbehavingExchangeLeavesTheSnapshotAlone) {
  const std::string answer = testing::fixture("tickers/ticker-24hr-full.json");
  const std::string chunked = responseHead("200 OK", {"Transfer-Encoding: chunked"});
  std::string endless = chunked + chunk("[");
  for (int i = 0; i < 768; ++i) endless += chunk(std::string(65536, ' '));  // 48 MiB
  const std::string gzip = std::string("\x1f\x8b\x08\0\0\0\0\0\0\x03", 10) + "not deflate";
  const std::string lost = "The network connection was lost.",
                    big = "The resource exceeds the maximum size.";
  struct Row {
    testing::RawReply reply;
    std::string failure;
    int connections = 1;
  };
  std::vector<Row> rows = {
      {{reply("200 OK", answer).substr(0, answer.size() / 2), {}, true}, lost},
      {{chunked + chunk(answer.substr(0, 16384))}, lost},
      {{reply("200 OK", answer), std::chrono::milliseconds(1000)}, "The request timed out."},
      {{endless}, big},
      {{responseHead("200 OK", {"Content-Length: 33554433"}) + "[", {}, false, true}, big},
      {{reply("200 OK", gzip, "Content-Encoding: gzip")}, "cannot decode raw data"},
      {{reply("302 Found", "", "Location: /api/v3/ticker/24hr")}, "too many HTTP redirects", 11},
      {{reply("502 Bad Gateway", "<html/>")}, "The exchange answered with HTTP status 502.\""},
  };
  for (const auto& [code, name] : {std::pair{429, "rate-limit"},
                                   {418, "ip-banned"},
                                   {400, "invalid-symbol"},
                                   {451, "restricted-location"}}) {
    const std::string body = testing::fixture(fmt::format("tickers/error-{}-{}.json", code, name));
    std::string message = json::parse(body)["msg"];
    for (size_t at = message.find('\''); at != std::string::npos; at = message.find('\'', at + 2))
      message.insert(at, "\\");  // as the debug line escapes it
    rows.push_back({{reply(std::to_string(code) + " Error", body)},
                    fmt::format("The exchange answered with HTTP status {}: {}\"", code, message)});
  }
  for (const Row& row : rows) {
    SCOPED_TRACE(row.failure);
    RawServer exchange(row.reply);
    testing::ScopedEnv api("QUORVEL_API_BASE_URL", exchange.baseURL());
    const bool small = (&row - rows.data()) % 2;
    const auto result = timeline(small ? "QuorvelSmallWidget" : "QuorvelMediumWidget",
                                 row.reply.pause.count() ? "0.8" : "20");
    expectAnsweredWithFailure(result, row.failure);
    EXPECT_EQ(exchange.connections(), row.connections);
    EXPECT_EQ(state(), stored_);
  }
}

// Each row breaks the store or a suite, runs `command` (the host's, else a
// timeline), expects its exit status and `failure` named, then mends it.
struct Fault {
  std::function<void()> apply;
  std::string failure;
  std::function<void()> undo;
  std::vector<std::string> command = {"holdings", "add", "SOLUSDT", "15"};
  bool asNobody = false;  // root ignores permission bits: run as nobody
};

TEST_F(FaultTest, UnusableStoreOrSuiteIsNamedAndLeftAsItWas) {
  testing::ScopedEnv api("QUORVEL_API_BASE_URL", testing::recordedExchange(home_.path()));
  const std::string file = storeFile().string();
  const fs::path aside = home_.path() / "aside", lock = themeSuite().string() + ".lock";
  const fs::path folder = themeSuite().parent_path();
  sqlite3* writer = nullptr;
  std::optional<HeldLock> held;
  auto unwritable = [&](const fs::path& dir, fs::perm_options change) {
    fs::permissions(dir, fs::perms::owner_write, change);
  };
  // Puts a file of garbage where `path` was, and back.
  auto swap = [&](const fs::path& path) {
    fs::rename(path, aside);
    testing::writeFileBytes(path, std::string(8192, 'z'));
  };
  auto unswap = [&](const fs::path& path) {
    fs::remove(path);
    fs::rename(aside, path);
  };
  const std::vector<std::string> setTheme = {"theme", "set", "light"};
  const Fault rows[] = {
      // Exclusive locking mode takes the file lock itself, which even WAL
      // readers must wait for.
      {[&] { writer = storeConnection(file, "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE;"); },
       "The store is locked by another process (" + file + "): database is locked",
       [&] { sqlite3_close_v2(writer); }},
      {[&] { swap(file); },
       "The store file is not a database (" + file + "): file is not a database",
       [&] { unswap(file); }},
      {[&] {
         fs::copy_file(file, aside);
         sqlite3_close_v2(storeConnection(file, "PRAGMA user_version = 301"));
       },
       "Provided schema version 300 is less than last set version 301.",
       [&] { fs::rename(aside, file); }},
      {[&] { swap(container()); },
       "The store has no file location (the app-group container is unavailable).",
       [&] { unswap(container()); }},
      {[&] { unwritable(container(), fs::perm_options::remove); },
       "Cannot read the store (" + file + "): attempt to write a readonly database",
       [&] { unwritable(container(), fs::perm_options::add); }, Fault{}.command, true},
      {[&] { held.emplace(lock); },
       "cannot store the theme: preference suite " + themeSuite().string() +
           " is locked by another process",
       [&] { held.reset(); }, setTheme},
      {[&] { unwritable(folder, fs::perm_options::remove); },
       "cannot create a file in " + folder.string(),
       [&] { unwritable(folder, fs::perm_options::add); }, setTheme, true},
      {[&] {
         fs::remove(lock);
         fs::create_directory(lock);
       },
       "cannot open lock " + lock.string(), [&] { fs::remove(lock); }, setTheme},
  };
  for (const Fault& row : rows) {
    SCOPED_TRACE(row.failure);
    testing::ProcessOptions options;
    if (row.asNobody) options.identity = testing::unprivilegedIdentity();
    if (options.identity) testing::handOver(home_.path(), *options.identity);
    row.apply();
    if (row.command[0] == "holdings") {
      expectAnsweredWithFailure(timeline("QuorvelMediumWidget", "20", options), row.failure);
    }
    const auto result = runProcess("quorvel-host", row.command, options);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("error: cannot "), std::string::npos) << result.err;
    EXPECT_NE(result.err.find(row.failure), std::string::npos) << result.err;
    // Opening the store blocks the request past a short deadline.
    if (&row == rows) EXPECT_EQ(timeline("QuorvelSmallWidget", "0.5").exitCode, 3);
    row.undo();
    EXPECT_EQ(state(), stored_);
  }
  // A writer inside its transaction stops other writers, not the readers:
  // they see the last commit.
  writer = storeConnection(file, "BEGIN EXCLUSIVE; UPDATE PortfolioPair SET amount = amount * 10;");
  const auto read = timeline("QuorvelMediumWidget");
  EXPECT_EQ(json::parse(testing::lastLine(read.out))["entries"][0]["portfolio"], snapshot_);
  EXPECT_NE(runProcess("quorvel-host", {"holdings", "add", "SOLUSDT", "15"}).err.find("locked"),
            std::string::npos);
  sqlite3_close_v2(writer);
  EXPECT_EQ(state(), stored_);
}

TEST_F(FaultTest, SnapshotSuiteLockedOrUnreadable) {
  testing::ScopedEnv api("QUORVEL_API_BASE_URL", testing::recordedExchange(home_.path()));
  {
    // Locked past the deadline: the refresh still answers in time with the
    // balances it computed; only the snapshot is not replaced.
    HeldLock locked(snapshotSuite().string() + ".lock");
    const auto refreshed = timeline("QuorvelMediumWidget", "4");
    EXPECT_EQ(json::parse(testing::lastLine(refreshed.out))["entries"][0]["portfolio"], snapshot_);
    EXPECT_NE(refreshed.err.find(snapshotSuite().string() + " is locked by another process"),
              std::string::npos);
  }
  EXPECT_EQ(state(), stored_);
  // Unreadable suites read as unset, and the next write keeps them aside.
  const std::string tornTheme = "bplist00 but a torn write\n", tornSnapshot(512, '\x7f');
  testing::writeFileBytes(snapshotSuite(), tornSnapshot);
  testing::writeFileBytes(themeSuite(), tornTheme);
  EXPECT_EQ(runProcess("quorvel-host", {"snapshot", "show"}).out, "no snapshot\n");
  EXPECT_EQ(runProcess("quorvel-host", {"theme", "show"}).out, "system\n");
  const std::string logs =
      runProcess("quorvel-host", {"theme", "set", "dark"}).err + timeline("QuorvelSmallWidget").err;
  for (const auto& [suite, torn] :
       {std::pair{themeSuite(), tornTheme}, {snapshotSuite(), tornSnapshot}}) {
    const fs::path kept = suite.string() + ".corrupt-";
    const size_t at = logs.find("unreadable preference file moved aside to " + kept.string());
    ASSERT_NE(at, std::string::npos) << logs;
    const std::string name = logs.substr(at + 42, logs.find_first_of(" \n", at + 42) - at - 42);
    EXPECT_EQ(testing::readFileBytes(name), torn) << name;
  }
  EXPECT_EQ(json::parse(runProcess("quorvel-host", {"snapshot", "show"}).out), snapshot_);
  EXPECT_EQ(runProcess("quorvel-host", {"theme", "show"}).out, "dark\n");
}

}  // namespace
}  // namespace quorvel
