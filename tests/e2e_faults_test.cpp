// End-to-end fault tests: the built executables against an exchange on
// 127.0.0.1 that misbehaves, a shared store that another process has locked,
// damaged or moved ahead, preference suites that cannot be written, and
// notification payloads and image servers that go wrong. Whatever fails, a
// request is still answered, the failure is named, and what was stored
// before stays exactly as it was (compared byte for byte).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <nlohmann/json.hpp>

#include "tests/support/loopback_server.h"
#include "tests/support/process.h"
#include "tests/support/raw_server.h"
#include "tests/support/test_support.h"

namespace quorvel {
namespace {

using nlohmann::json;
using testing::ProcessOptions;
using testing::ProcessResult;
using testing::RawServer;
using testing::runProcess;

constexpr char kAppGroup[] = "group.com.tavrin.quorvel";
constexpr char kWidgetsBundle[] = "com.tavrin.quorvel.widgets";
constexpr char kNotificationsBundle[] = "com.tavrin.quorvel.notifications";
constexpr char kFailurePrefix[] = "\"Error price change statistics: ";

json lastJSON(const std::string& out) { return json::parse(testing::lastLine(out)); }

// Every entry under `root` with its size and a hash of its bytes (folders
// as "folder"), to show that nothing was added, removed or changed.
// Never call it on the store while this process holds a lock on it: closing
// any descriptor of a file drops all of the process's POSIX locks on it.
std::map<std::string, std::string> tree(const std::filesystem::path& root) {
  std::map<std::string, std::string> entries;
  std::error_code ec;
  for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    const std::string name = std::filesystem::relative(it->path(), root).string();
    if (it->is_directory()) {
      entries[name] = "folder";
      continue;
    }
    const std::string bytes = testing::readFileBytes(it->path());
    entries[name] = std::to_string(bytes.size()) + " bytes, hash " +
                    std::to_string(std::hash<std::string>{}(bytes));
  }
  return entries;
}

// A response head for a raw server.
std::string head(const std::string& statusLine, const std::vector<std::string>& fields) {
  std::string text = "HTTP/1.1 " + statusLine + "\r\n";
  for (const std::string& field : fields) text += field + "\r\n";
  return text + "Connection: close\r\n\r\n";
}

std::string chunk(std::string_view bytes) {
  char size[32];
  std::snprintf(size, sizeof size, "%zx\r\n", bytes.size());
  return size + std::string(bytes) + "\r\n";
}

// Holds an exclusive flock on a file, as another process's writer would.
class HeldLock {
 public:
  explicit HeldLock(const std::filesystem::path& file)
      : fd_(::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
    EXPECT_GE(fd_, 0) << file;
    EXPECT_EQ(::flock(fd_, LOCK_EX | LOCK_NB), 0) << file;
  }
  HeldLock(const HeldLock&) = delete;
  HeldLock& operator=(const HeldLock&) = delete;
  ~HeldLock() {
    if (fd_ >= 0) ::close(fd_);
  }

 private:
  int fd_;
};

// A store connection of the test's own, standing in for another writer.
class StoreConnection {
 public:
  explicit StoreConnection(const std::filesystem::path& file) {
    EXPECT_EQ(sqlite3_open_v2(file.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK)
        << file;
  }
  StoreConnection(const StoreConnection&) = delete;
  StoreConnection& operator=(const StoreConnection&) = delete;
  ~StoreConnection() { sqlite3_close_v2(db_); }

  void exec(const std::string& sql) {
    char* message = nullptr;
    EXPECT_EQ(sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message), SQLITE_OK)
        << sql << ": " << (message ? message : "");
    sqlite3_free(message);
  }

 private:
  sqlite3* db_ = nullptr;
};

// A home with two holdings and a snapshot stored by a good refresh from a
// file:// recording of the exchange.
class StoredStateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto recording = home_.path() / "exchange" / "api" / "v3" / "ticker";
    std::filesystem::create_directories(recording);
    std::ofstream(recording / "24hr") << testing::fixture("tickers/ticker-24hr-full.json");
    ASSERT_EQ(runProcess("quorvel-host", {"holdings", "add", "btcusdt", "0.5"}).exitCode, 0);
    ASSERT_EQ(runProcess("quorvel-host", {"holdings", "add", "ETHUSDT", "2"}).exitCode, 0);
    {
      testing::ScopedEnv api("QUORVEL_API_BASE_URL", recordingURL());
      const ProcessResult seeded = timeline("QuorvelSmallWidget", 20);
      ASSERT_EQ(seeded.exitCode, 0) << seeded.err;
      ASSERT_TRUE(lastJSON(seeded.out)["entries"][0]["portfolio"].is_object()) << seeded.out;
    }
    storedSnapshot_ = testing::readFileBytes(snapshotSuite());
    shownSnapshot_ = runProcess("quorvel-host", {"snapshot", "show"}).out;
    ASSERT_NE(shownSnapshot_, "no snapshot\n");
    storedStore_ = testing::readFileBytes(storeFile());
    ASSERT_FALSE(storedStore_.empty());
    holdings_ = runProcess("quorvel-host", {"holdings", "list"}).out;
  }

  std::string recordingURL() const { return "file://" + (home_.path() / "exchange").string(); }
  std::filesystem::path container() const { return home_.path() / "AppGroups" / kAppGroup; }
  std::filesystem::path storeFile() const { return container() / "TavrinQuorvel.realm"; }
  std::filesystem::path snapshotSuite() const {
    return container() / "Library" / "Preferences" / (std::string(kAppGroup) + ".plist");
  }
  std::filesystem::path themeSuite() const {
    return home_.path() / "Containers" / kWidgetsBundle / "Library" / "Preferences" /
           (std::string(kWidgetsBundle) + ".plist");
  }

  ProcessResult timeline(const std::string& kind, double deadlineSeconds,
                         const ProcessOptions& options = {}) {
    return runProcess(
        "QuorvelWidgetsExtension",
        {"timeline", "--kind", kind, "--json", "-", "--deadline", std::to_string(deadlineSeconds)},
        options);
  }

  // The refresh failed, and the widget still answered: an entry without a
  // portfolio, a reload at the end, and the debug line naming `failure`.
  static void expectAnsweredWithFailure(const ProcessResult& result, const std::string& failure) {
    ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
    const json response = lastJSON(result.out);
    EXPECT_EQ(response["policy"], "atEnd");
    ASSERT_EQ(response["entries"].size(), 1u);
    EXPECT_TRUE(response["entries"][0]["portfolio"].is_null()) << response["entries"][0];
    EXPECT_NE(result.out.find(kFailurePrefix + failure), std::string::npos)
        << "expected the debug line to name: " << failure << "\nstdout:\n"
        << result.out.substr(0, result.out.rfind('\n', result.out.size() - 2));
  }

  void expectSnapshotKept() {
    EXPECT_EQ(testing::readFileBytes(snapshotSuite()), storedSnapshot_);
    EXPECT_EQ(runProcess("quorvel-host", {"snapshot", "show"}).out, shownSnapshot_);
  }

  void expectStoreKept() {
    EXPECT_EQ(testing::readFileBytes(storeFile()), storedStore_);
    EXPECT_EQ(runProcess("quorvel-host", {"holdings", "list"}).out, holdings_);
  }

  testing::ScopedHome home_;
  std::string storedSnapshot_;
  std::string shownSnapshot_;
  std::string storedStore_;
  std::string holdings_;
};

// ---------------------------------------------------------------------------
// The exchange fails while the holdings and the snapshot are fine.

class ExchangeFaultTest : public StoredStateTest {
 protected:
  // A refresh against `baseURL` answers without a portfolio, names
  // `failure`, and keeps the stored snapshot.
  void expectRefreshFails(const std::string& baseURL, const std::string& failure,
                          double deadlineSeconds = 20) {
    testing::ScopedEnv api("QUORVEL_API_BASE_URL", baseURL);
    for (const char* kind : {"QuorvelSmallWidget", "QuorvelMediumWidget"}) {
      SCOPED_TRACE(kind);
      expectAnsweredWithFailure(timeline(kind, deadlineSeconds), failure);
      expectSnapshotKept();
    }
  }

  const std::string answer_ = testing::fixture("tickers/ticker-24hr-full.json");
};

TEST_F(ExchangeFaultTest, ConnectionResetInTheMiddleOfTheBody) {
  RawServer exchange([this](RawServer::Connection& connection) {
    connection.readRequestHead();
    connection.send(head("200 OK", {"Content-Type: application/json",
                                    "Content-Length: " + std::to_string(answer_.size())}));
    connection.send(std::string_view(answer_).substr(0, answer_.size() / 2));
    connection.reset();
  });
  expectRefreshFails(exchange.start(), "The network connection was lost.");
  EXPECT_EQ(exchange.connections(), 2);
}

TEST_F(ExchangeFaultTest, ChunkedBodyThatStopsBeforeItsLastChunk) {
  RawServer exchange([this](RawServer::Connection& connection) {
    connection.readRequestHead();
    connection.send(
        head("200 OK", {"Content-Type: application/json", "Transfer-Encoding: chunked"}));
    const std::string_view body(answer_);
    for (size_t at = 0; at < body.size() / 2; at += 16384) {
      if (!connection.send(chunk(body.substr(at, 16384)))) return;
    }
    // An orderly close where the zero-length chunk should have come.
  });
  expectRefreshFails(exchange.start(), "The network connection was lost.");
  EXPECT_EQ(exchange.connections(), 2);
}

TEST_F(ExchangeFaultTest, ServerSendingOneByteASecondTimesOutWithinTheDeadline) {
  RawServer exchange([this](RawServer::Connection& connection) {
    connection.readRequestHead();
    connection.trickle(head("200 OK", {"Content-Type: application/json",
                                       "Content-Length: " + std::to_string(answer_.size())}) +
                           answer_,
                       std::chrono::milliseconds(1000));
  });
  // Exit status 0 (not 3) is the host's word that the answer came before
  // the deadline, a short one too.
  const std::string base = exchange.start();
  expectRefreshFails(base, "The request timed out.", 4);
  expectRefreshFails(base, "The request timed out.", 0.8);
}

TEST_F(ExchangeFaultTest, StreamedBodyOverTheCapIsCutOff) {
  // The extension keeps the default cap of 32 MiB; this body has no length
  // and would go on to 48 MiB.
  std::atomic<size_t> sentMost{0};
  RawServer exchange([&](RawServer::Connection& connection) {
    connection.readRequestHead();
    connection.send(
        head("200 OK", {"Content-Type: application/json", "Transfer-Encoding: chunked"}));
    const std::string piece = chunk(std::string(65536, ' '));
    size_t sent = 0;
    connection.send(chunk("["));
    while (sent < (48u << 20) && connection.send(piece)) sent += 65536;
    sentMost = std::max(sentMost.load(), sent);
  });
  expectRefreshFails(exchange.start(), "The resource exceeds the maximum size.");
  EXPECT_LT(sentMost.load(), 48u << 20) << "the client read past its cap";
}

TEST_F(ExchangeFaultTest, AnnouncedBodyOverTheCapIsRefusedUnread) {
  RawServer exchange([](RawServer::Connection& connection) {
    connection.readRequestHead();
    connection.send(head("200 OK", {"Content-Type: application/json",
                                    "Content-Length: " + std::to_string((32u << 20) + 1)}));
    connection.send("[");
    connection.holdOpen();
  });
  expectRefreshFails(exchange.start(), "The resource exceeds the maximum size.");
}

TEST_F(ExchangeFaultTest, BodyThatIsNotTheCompressionItClaims) {
  // A gzip header, then bytes that are not deflate data.
  const std::string broken = std::string("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03", 10) +
                             "this is not deflate data, just text" + answer_.substr(0, 4096);
  RawServer exchange([&](RawServer::Connection& connection) {
    connection.readRequestHead();
    connection.send(head("200 OK", {"Content-Type: application/json", "Content-Encoding: gzip",
                                    "Content-Length: " + std::to_string(broken.size())}) +
                    broken);
  });
  expectRefreshFails(exchange.start(), "cannot decode raw data");
  EXPECT_EQ(exchange.connections(), 2);
}

TEST_F(ExchangeFaultTest, RedirectLoopIsGivenUp) {
  testing::LoopbackServer exchange;
  std::atomic<int> hops{0};
  exchange.server().Get("/api/v3/ticker/24hr",
                        [&](const httplib::Request&, httplib::Response& res) {
                          ++hops;
                          res.set_redirect("/mirror/api/v3/ticker/24hr", 302);
                        });
  exchange.server().Get("/mirror/api/v3/ticker/24hr",
                        [&](const httplib::Request&, httplib::Response& res) {
                          ++hops;
                          res.set_redirect("/api/v3/ticker/24hr", 301);
                        });
  expectRefreshFails(exchange.start(), "too many HTTP redirects");
  // Each of the two requests follows at most ten redirects, then stops.
  EXPECT_EQ(hops.load(), 2 * 11);
}

TEST_F(ExchangeFaultTest, HtmlErrorPageWithStatus502) {
  testing::LoopbackServer exchange;
  exchange.server().Get("/api/v3/ticker/24hr", [](const httplib::Request&, httplib::Response& res) {
    res.status = 502;
    res.set_content(
        "<html><head><title>502 Bad Gateway</title></head><body><h1>Bad Gateway</h1></body></html>",
        "text/html");
  });
  expectRefreshFails(exchange.start(), "The exchange answered with HTTP status 502.\"");
}

struct RecordedError {
  int status;
  const char* fixture;
};

class RecordedExchangeErrorTest : public ExchangeFaultTest,
                                  public ::testing::WithParamInterface<RecordedError> {};

TEST_P(RecordedExchangeErrorTest, NamesTheExchangesOwnMessage) {
  const std::string body = testing::fixture(GetParam().fixture);
  testing::LoopbackServer exchange;
  exchange.server().Get("/api/v3/ticker/24hr",
                        [&](const httplib::Request&, httplib::Response& res) {
                          res.status = GetParam().status;
                          res.set_content(body, "application/json;charset=UTF-8");
                        });
  expectRefreshFails(exchange.start(), "The exchange answered with HTTP status " +
                                           std::to_string(GetParam().status) + ": " +
                                           json::parse(body)["msg"].get<std::string>() + "\"");
}

INSTANTIATE_TEST_SUITE_P(ErrorBodies, RecordedExchangeErrorTest,
                         ::testing::Values(RecordedError{429, "tickers/error-429-rate-limit.json"},
                                           RecordedError{418, "tickers/error-418-ip-banned.json"},
                                           RecordedError{400,
                                                         "tickers/error-400-invalid-symbol.json"}),
                         [](const ::testing::TestParamInfo<RecordedError>& info) {
                           return "Status" + std::to_string(info.param.status);
                         });

// ---------------------------------------------------------------------------
// The shared store cannot be read; the exchange is fine.

class StoreFaultTest : public StoredStateTest {
 protected:
  void SetUp() override {
    StoredStateTest::SetUp();
    if (HasFatalFailure()) return;
    api_ = std::make_unique<testing::ScopedEnv>("QUORVEL_API_BASE_URL", recordingURL());
  }

  // The widget answers naming `failure`, and the host's write is refused
  // naming it too.
  void expectStoreRefused(const std::string& failure, const ProcessOptions& options = {}) {
    for (const char* kind : {"QuorvelSmallWidget", "QuorvelMediumWidget"}) {
      SCOPED_TRACE(kind);
      expectAnsweredWithFailure(timeline(kind, 20, options), failure);
    }
    const ProcessResult added =
        runProcess("quorvel-host", {"holdings", "add", "SOLUSDT", "15"}, options);
    EXPECT_EQ(added.exitCode, 1) << added.err;
    EXPECT_NE(added.err.find(failure), std::string::npos) << added.err;
  }

  std::unique_ptr<testing::ScopedEnv> api_;
};

TEST_F(StoreFaultTest, ExclusiveWriterLongerThanTheBusyTimeOut) {
  const auto before = tree(container());
  {
    // Exclusive locking mode takes the file lock itself, which even WAL
    // readers must wait for.
    StoreConnection writer(storeFile());
    writer.exec(
        "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE; "
        "UPDATE PortfolioPair SET amount = amount * 10;");
    expectStoreRefused("The store is locked by another process (" + storeFile().string() +
                       "): database is locked");
    writer.exec("ROLLBACK");
  }
  EXPECT_EQ(tree(container()), before);
  expectStoreKept();
  expectSnapshotKept();
}

TEST_F(StoreFaultTest, WriterInAnExclusiveTransactionDoesNotStopWalReaders) {
  const auto before = tree(container());
  auto writer = std::make_unique<StoreConnection>(storeFile());
  writer->exec("BEGIN EXCLUSIVE; UPDATE PortfolioPair SET amount = amount * 10;");
  // Readers see the last commit; the uncommitted amounts stay invisible.
  const ProcessResult read = timeline("QuorvelMediumWidget", 20);
  ASSERT_EQ(read.exitCode, 0) << read.err;
  EXPECT_EQ(lastJSON(read.out)["entries"][0]["portfolio"], json::parse(shownSnapshot_));
  EXPECT_EQ(read.out.find(kFailurePrefix), std::string::npos) << read.out;
  // Another writer waits its busy time-out, then gives up with a clear error.
  const ProcessResult added = runProcess("quorvel-host", {"holdings", "add", "SOLUSDT", "15"});
  EXPECT_EQ(added.exitCode, 1);
  EXPECT_NE(added.err.find("error: cannot write the holdings: The store is locked by another "
                           "process"),
            std::string::npos)
      << added.err;
  writer->exec("ROLLBACK");
  writer.reset();
  EXPECT_EQ(tree(container()), before);
  expectStoreKept();
  expectSnapshotKept();
}

TEST_F(StoreFaultTest, StoreFileThatIsNotADatabase) {
  std::string garbage;
  while (garbage.size() < 8192) garbage += "this store was overwritten by something else. ";
  testing::writeFileBytes(storeFile(), garbage);
  const auto before = tree(container());
  expectStoreRefused("The store file is not a database (" + storeFile().string() +
                     "): file is not a database");
  EXPECT_EQ(tree(container()), before);
  EXPECT_EQ(testing::readFileBytes(storeFile()), garbage);
  expectSnapshotKept();
}

TEST_F(StoreFaultTest, StoreOfANewerSchemaVersion) {
  { StoreConnection(storeFile()).exec("PRAGMA user_version = 301"); }
  const auto before = tree(container());
  expectStoreRefused("Provided schema version 300 is less than last set version 301.");
  EXPECT_EQ(tree(container()), before);
  expectSnapshotKept();
}

TEST_F(StoreFaultTest, ContainerPathTakenByAFile) {
  const auto before = tree(container());
  const auto aside = home_.path() / "container-aside";
  std::filesystem::rename(container(), aside);
  testing::writeFileBytes(container(), "a file where the app group's folder belongs\n");
  const ProcessResult result = timeline("QuorvelSmallWidget", 20);
  expectAnsweredWithFailure(
      result, "The store has no file location (the app-group container is unavailable).");
  const ProcessResult added = runProcess("quorvel-host", {"holdings", "add", "SOLUSDT", "15"});
  EXPECT_EQ(added.exitCode, 1);
  EXPECT_NE(added.err.find("app-group container is unavailable"), std::string::npos) << added.err;
  EXPECT_EQ(testing::readFileBytes(container()), "a file where the app group's folder belongs\n");

  std::filesystem::remove(container());
  std::filesystem::rename(aside, container());
  EXPECT_EQ(tree(container()), before);
  expectStoreKept();
  expectSnapshotKept();
}

TEST_F(StoreFaultTest, ContainerThatCannotBeWritten) {
  // Root ignores permission bits, so as root the executables run as nobody.
  ProcessOptions options;
  options.identity = testing::unprivilegedIdentity();
  if (options.identity) testing::handOver(home_.path(), *options.identity);
  const auto before = tree(container());
  std::filesystem::permissions(container(), std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::remove);
  expectStoreRefused(
      "Cannot read the store (" + storeFile().string() + "): attempt to write a readonly database",
      options);
  std::filesystem::permissions(container(), std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::add);
  EXPECT_EQ(tree(container()), before);
  expectStoreKept();
  expectSnapshotKept();
}

// ---------------------------------------------------------------------------
// Preference suites: the theme the host writes and the widget reads, and the
// snapshot the widget writes.

class PreferenceSuiteFaultTest : public StoredStateTest {
 protected:
  void SetUp() override {
    StoredStateTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_EQ(runProcess("quorvel-host", {"theme", "set", "dark"}).exitCode, 0);
    storedTheme_ = testing::readFileBytes(themeSuite());
  }

  // The theme the widget draws with: the root view's background.
  json drawnBackground() {
    const ProcessResult result = runProcess(
        "QuorvelWidgetsExtension", {"placeholder", "--kind", "QuorvelMediumWidget", "--json", "-"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    const json response = lastJSON(result.out);
    for (const auto& modifier : response["entries"][0]["view"]["modifiers"]) {
      if (modifier["type"] == "background") return modifier["color"];
    }
    return nullptr;
  }

  // The dark theme is still stored, shown and drawn.
  void expectThemeKept() {
    EXPECT_EQ(testing::readFileBytes(themeSuite()), storedTheme_);
    EXPECT_EQ(runProcess("quorvel-host", {"theme", "show"}).out, "dark\n");
    EXPECT_EQ(drawnBackground(), (json{{"red", 0}, {"green", 0}, {"blue", 0}, {"opacity", 1}}));
  }

  // Files named `prefix`* next to `file`, other than `file` itself.
  static std::vector<std::filesystem::path> besides(const std::filesystem::path& file,
                                                    const std::string& suffix) {
    std::vector<std::filesystem::path> found;
    for (const auto& entry : std::filesystem::directory_iterator(file.parent_path())) {
      const std::string name = entry.path().filename().string();
      if (name.rfind(file.filename().string() + suffix, 0) == 0) found.push_back(entry.path());
    }
    return found;
  }

  std::string storedTheme_;
};

TEST_F(PreferenceSuiteFaultTest, CorruptThemeSuiteReadsAsUnsetAndIsKeptAsideByTheNextWrite) {
  const std::string garbage = "bplist00 but not really: a torn write\n";
  testing::writeFileBytes(themeSuite(), garbage);
  EXPECT_EQ(runProcess("quorvel-host", {"theme", "show"}).out, "system\n");
  EXPECT_TRUE(drawnBackground().contains("dynamic"));

  const ProcessResult set = runProcess("quorvel-host", {"theme", "set", "light"});
  ASSERT_EQ(set.exitCode, 0) << set.err;
  const auto aside = besides(themeSuite(), ".corrupt-");
  ASSERT_EQ(aside.size(), 1u);
  EXPECT_EQ(testing::readFileBytes(aside[0]), garbage);
  EXPECT_NE(set.err.find("unreadable preference file moved aside to " + aside[0].string()),
            std::string::npos)
      << set.err;
  EXPECT_EQ(runProcess("quorvel-host", {"theme", "show"}).out, "light\n");
  EXPECT_EQ(drawnBackground(), (json{{"red", 1}, {"green", 1}, {"blue", 1}, {"opacity", 1}}));
}

TEST_F(PreferenceSuiteFaultTest, ThemeSuiteLockedByAnotherProcess) {
  std::filesystem::path lockFile = themeSuite();
  lockFile += ".lock";
  HeldLock held(lockFile);
  const ProcessResult set = runProcess("quorvel-host", {"theme", "set", "light"});
  EXPECT_EQ(set.exitCode, 1);
  EXPECT_NE(set.err.find("error: cannot store the theme: preference suite " +
                         themeSuite().string() + " is locked by another process"),
            std::string::npos)
      << set.err;
  // Readers take no lock: the stored theme still reaches the widget.
  expectThemeKept();
}

TEST_F(PreferenceSuiteFaultTest, ThemeSuiteFolderThatCannotBeWritten) {
  ProcessOptions options;
  options.identity = testing::unprivilegedIdentity();
  if (options.identity) testing::handOver(home_.path(), *options.identity);
  const auto folder = themeSuite().parent_path();
  const auto before = tree(folder);
  std::filesystem::permissions(folder, std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::remove);
  const ProcessResult set = runProcess("quorvel-host", {"theme", "set", "light"}, options);
  EXPECT_EQ(set.exitCode, 1);
  EXPECT_NE(set.err.find("cannot create a file in " + folder.string()), std::string::npos)
      << set.err;
  std::filesystem::permissions(folder, std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::add);
  EXPECT_EQ(tree(folder), before);
  expectThemeKept();
}

TEST_F(PreferenceSuiteFaultTest, LockPathTakenByAFolder) {
  std::filesystem::path lockFile = themeSuite();
  lockFile += ".lock";
  std::filesystem::remove(lockFile);
  std::filesystem::create_directory(lockFile);
  const ProcessResult set = runProcess("quorvel-host", {"theme", "set", "light"});
  EXPECT_EQ(set.exitCode, 1);
  EXPECT_NE(set.err.find("cannot open lock " + lockFile.string()), std::string::npos) << set.err;
  expectThemeKept();
}

TEST_F(PreferenceSuiteFaultTest, CorruptSnapshotSuiteIsKeptAsideWhenTheNextRefreshStores) {
  const std::string garbage(512, '\x7f');
  testing::writeFileBytes(snapshotSuite(), garbage);
  const ProcessResult snapshot = runProcess(
      "QuorvelWidgetsExtension", {"snapshot", "--kind", "QuorvelSmallWidget", "--json", "-"});
  ASSERT_EQ(snapshot.exitCode, 0) << snapshot.err;
  EXPECT_TRUE(lastJSON(snapshot.out)["entries"][0]["portfolio"].is_null());

  testing::ScopedEnv api("QUORVEL_API_BASE_URL", recordingURL());
  const ProcessResult refreshed = timeline("QuorvelSmallWidget", 20);
  ASSERT_EQ(refreshed.exitCode, 0) << refreshed.err;
  const auto aside = besides(snapshotSuite(), ".corrupt-");
  ASSERT_EQ(aside.size(), 1u);
  EXPECT_EQ(testing::readFileBytes(aside[0]), garbage);
  EXPECT_NE(refreshed.err.find("unreadable preference file moved aside"), std::string::npos)
      << refreshed.err;
  EXPECT_EQ(runProcess("quorvel-host", {"snapshot", "show"}).out, shownSnapshot_);
}

TEST_F(PreferenceSuiteFaultTest, SnapshotSuiteLockedPastTheDeadline) {
  std::filesystem::path lockFile = snapshotSuite();
  lockFile += ".lock";
  HeldLock held(lockFile);
  testing::ScopedEnv api("QUORVEL_API_BASE_URL", recordingURL());
  // The lock outlasts the deadline, yet the refresh answers in time (exit
  // 0, not 3) with the balances it computed; only the snapshot is not
  // replaced.
  const ProcessResult refreshed = timeline("QuorvelMediumWidget", 4);
  ASSERT_EQ(refreshed.exitCode, 0) << refreshed.err;
  EXPECT_EQ(lastJSON(refreshed.out)["entries"][0]["portfolio"], json::parse(shownSnapshot_));
  EXPECT_NE(refreshed.err.find("preference suite " + snapshotSuite().string() +
                               " is locked by another process"),
            std::string::npos)
      << refreshed.err;
  expectSnapshotKept();
}

// ---------------------------------------------------------------------------
// Notifications.

class NotificationFaultTest : public ::testing::Test {
 protected:
  std::filesystem::path payload(const json& value) {
    const auto file = files_.path() / "payload.json";
    testing::writeFileBytes(file, value.dump());
    return file;
  }
  std::filesystem::path payloadWithImage(const std::string& url) {
    json value = json::parse(testing::fixture("payloads/ordinary.json"));
    value["fcm_options"] = {{"image", url}};
    return payload(value);
  }
  // Delivered in time by the expiry path with the text complete and no
  // attachment, and nothing left in the attachment folder.
  void expectBestAttemptDelivered(const ProcessResult& result) {
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const json output = json::parse(result.out);
    EXPECT_EQ(output["deliveredBy"], "expiry");
    EXPECT_EQ(output["content"]["title"], "BTC is up");
    EXPECT_EQ(output["content"]["body"], "Bitcoin rose 5.2% in the last 24 hours.");
    EXPECT_EQ(output["content"]["attachments"], json::array());
    const auto folder = home_.path() / "Containers" / kNotificationsBundle / "tmp";
    std::error_code ec;
    EXPECT_TRUE(!std::filesystem::exists(folder) || std::filesystem::is_empty(folder, ec));
  }

  testing::ScopedHome home_;
  testing::TempDir files_;
};

TEST_F(NotificationFaultTest, AlertOfTheWrongTypeIsRefusedByName) {
  for (const json& alert : {json(42), json::array({"BTC is up"}), json(true)}) {
    json value = json::parse(testing::fixture("payloads/ordinary.json"));
    value["aps"]["alert"] = alert;
    const ProcessResult result =
        runProcess("QuorvelNotificationsExtension", {"--payload", payload(value).string()});
    EXPECT_EQ(result.exitCode, 2) << alert;
    EXPECT_EQ(result.out, "");
    EXPECT_NE(result.err.find("unusable payload: aps.alert must be a string or an object, not " +
                              std::string(alert.type_name())),
              std::string::npos)
        << result.err;
  }
}

TEST_F(NotificationFaultTest, ImageServerThatNeverAcceptsIsBeatenByTheExpiryPath) {
  RawServer silent;  // listens; never accepts, never answers
  const std::string base = silent.start();
  expectBestAttemptDelivered(runProcess(
      "QuorvelNotificationsExtension",
      {"--payload", payloadWithImage(base + "/image.png").string(), "--time-limit", "1"}));
}

TEST_F(NotificationFaultTest, ImageServerSendingOneByteASecondIsBeatenByTheExpiryPath) {
  const std::string png =
      std::string("\x89PNG\r\n\x1a\n", 8) + std::string("\0\0\0\rIHDR", 8) + "pixels";
  RawServer slow([&](RawServer::Connection& connection) {
    connection.readRequestHead();
    connection.trickle(head("200 OK", {"Content-Type: image/png",
                                       "Content-Length: " + std::to_string(png.size())}) +
                           png,
                       std::chrono::milliseconds(1000));
  });
  const std::string base = slow.start();
  expectBestAttemptDelivered(runProcess(
      "QuorvelNotificationsExtension",
      {"--payload", payloadWithImage(base + "/image.png").string(), "--time-limit", "1"}));
  EXPECT_EQ(slow.connections(), 1);
}

}  // namespace
}  // namespace quorvel
