#include "platform/foundation/user_defaults.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <set>

#include "platform/foundation/container.h"
#include "tests/support/test_support.h"

namespace platform::foundation {
namespace fs = std::filesystem;
using namespace std::string_literals;
using quorvel::testing::readFileBytes;
using Keys = std::vector<std::string>;

static UserDefaults::Data bytes(std::string_view s) { return {s.begin(), s.end()}; }

// The files beside the suite but its lock: every one a set-aside copy.
static std::multiset<std::string> besides(const UserDefaults& suite) {
  std::multiset<std::string> found;
  for (const auto& entry : fs::directory_iterator(suite.file().parent_path())) {
    const std::string name = entry.path().filename();
    if (name == "s.plist" || name == "s.plist.lock") continue;
    EXPECT_EQ(name.rfind("s.plist.corrupt-20", 0), 0u) << name;
    found.insert(readFileBytes(entry.path()));
  }
  return found;
}

// A binary property list of one dictionary {key: value}, both encoded
// objects (marker byte, then contents): what this platform never writes.
static std::string onePair(const std::string& key, const std::string& value) {
  std::string out = "bplist00\xD1\x01\x02" + key + value + char{8} + char{11};
  out += static_cast<char>(11 + key.size()) + std::string(6, '\0') + "\1\1";
  for (uint64_t field : {uint64_t{3}, uint64_t{0}, uint64_t{out.size() - 3 - 8}})
    for (int shift = 56; shift >= 0; shift -= 8) out += static_cast<char>(field >> shift);
  return out;
}

// A file that cannot be read is an empty suite and goes aside whole at the
// next write. One that cannot be written back as it is reads as it is and
// is kept, byte for byte: its keys are another process's.
TEST(UserDefaultsTest, FilesThatCannotBeReadAreSetAsideAndOthersKeysKept) {
  const std::string x = "\x51x", nul("\x63\0a\0\0\0b", 7);  // UTF-16 a, NUL, b
  const std::tuple<std::string, std::string, std::optional<std::string>, bool> rows[] = {
      {"", "k", {}, false},
      {"<?xml version=\"1.0\"?><plist><array><string>x</string></array></plist>", "k", {}, false},
      {onePair("\x51k", nul), "k", "a\0b"s, true},
      {onePair(nul, x), "a", {}, false},                         // the library would match "a"
      {onePair("\x54\x85\x96nt", x), "\x85\x96nt", "x", true}};  // not UTF-8
  for (const auto& [file, key, read, kept] : rows) {
    quorvel::testing::TempDir dir;
    UserDefaults suite(dir.path() / "s.plist");
    quorvel::testing::writeFileBytes(suite.file(), file);
    EXPECT_EQ(suite.string(key), read) << file;
    EXPECT_EQ(suite.keys(), read ? Keys{key} : Keys{}) << file;
    EXPECT_EQ(suite.set("other", "v").ok(), !kept) << file;
    EXPECT_EQ(suite.keys(), kept ? Keys{key} : Keys{"other"}) << file;
    EXPECT_EQ(besides(suite), kept ? std::multiset<std::string>{} : std::multiset{file}) << file;
    EXPECT_TRUE(!kept || readFileBytes(suite.file()) == file);
  }
}

TEST(UserDefaultsTest, KeepsKindsApartAndRefusesWhatTheFileCannotHold) {
  quorvel::testing::TempDir dir;
  UserDefaults suite(dir.path() / "Library/s.plist");
  for (const Status& status :
       {suite.set("blob", "x"), suite.set("text", "x"), suite.set("gone", "x"),
        suite.set("blob", bytes("{}")), suite.set("clé ₿", UserDefaults::Data{}),
        suite.removeObject("gone"), suite.removeObject("never-there")}) {
    ASSERT_OK(status);
  }
  const std::string before = readFileBytes(suite.file()), path = suite.file().string();
  const std::string nul = "preference key \"a\\0...\" holds a NUL byte";
  const std::pair<Status, std::string> refused[] = {
      {suite.set("a\0b"s, "x"), nul},
      {suite.set("a\0b"s, bytes("x")), nul},
      {suite.removeObject("a\0b"s), nul},
      {suite.set("a", "x\0y"s),
       "the string for preference key \"a\" holds a NUL byte; store it as data"},
      {suite.set("k", "\xFF"),
       "cannot store the value in " + path + ": keys and strings must be UTF-8 text"},
      {suite.set("\xC3", bytes("v")),
       "cannot store the value in " + path + ": keys and strings must be UTF-8 text"}};
  for (const auto& [status, message] : refused) EXPECT_EQ(status, Status::InvalidArgument(message));
  EXPECT_EQ(readFileBytes(suite.file()), before);
  EXPECT_EQ(before.substr(0, 8), "bplist00");
  EXPECT_EQ(fs::status(suite.file()).permissions(), fs::perms(0600));
  EXPECT_EQ(fs::status(suite.file().parent_path()).permissions(), fs::perms(0700));
  EXPECT_EQ(suite.keys(), (Keys{"blob", "clé ₿", "text"}));
  EXPECT_EQ(std::tuple(suite.data("blob"), suite.data("clé ₿"), suite.string("text")),
            std::tuple(bytes("{}"), UserDefaults::Data{}, "x"));
  EXPECT_FALSE(suite.string("blob") || suite.data("text") || suite.data("a\0b"s));
  EXPECT_TRUE(besides(suite).empty());
  EXPECT_EQ(UserDefaults(path + "/s.plist").set("k", "v"),
            Status::IOError("cannot create folder " + path + ": Not a directory"));
}

TEST(UserDefaultsTest, WritersInManyProcessesNeverLoseEachOthersKeys) {
  quorvel::testing::TempDir dir;
  UserDefaults suite(dir.path() / "s.plist");
  Keys written{"shared"};
  for (int p = 0; p < 5; ++p) {
    for (int key = p * 100; key < p * 100 + 20; ++key) written.push_back(std::to_string(key));
    if (::fork() != 0) continue;
    for (int key = p * 100; key < p * 100 + 20; ++key) {
      if (!suite.set(std::to_string(key), "v").ok()) ::_exit(1);
      if (!suite.set("shared", bytes(std::string(1000 + p, 'a' + p))).ok()) ::_exit(1);
      auto shared = suite.data("shared");  // amid the others' writes, yet whole
      if (!shared || shared->size() < 1000 || shared->front() != shared->back()) ::_exit(2);
    }
    ::_exit(0);
  }
  for (int status = 0; ::wait(&status) > 0;) EXPECT_EQ(status, 0);
  std::sort(written.begin(), written.end());
  EXPECT_EQ(suite.keys(), written);
}

TEST(UserDefaultsTest, SuitesLiveInTheirContainersUnderTheHome) {
  quorvel::testing::ScopedHome home;
  for (const std::string& unusable : {""s, "."s, ".."s, "../escape"s, "a/b"s, "a\0b"s})
    EXPECT_FALSE(UserDefaults::suite(unusable)) << unusable;
  // Relative values: QUORVEL_HOME from the working folder, the others
  // ignored; no HOME: the password database's, never /tmp.
  const std::string account = ::getpwuid(::geteuid())->pw_dir;
  for (const auto& [qHome, xdg, home, expected] :
       {std::tuple{"/q", "/x", "/h", "/q"s},
        {"", "/x", "/h", "/x/quorvel"},
        {"", "", "/h", "/h/.local/share/quorvel"},
        {"q", "/x", "/h", (fs::current_path() / "q").string()},
        {"", "x", "h", account + "/.local/share/quorvel"},
        {"", "", "", account + "/.local/share/quorvel"}}) {
    quorvel::testing::ScopedEnv q("QUORVEL_HOME", qHome), x("XDG_DATA_HOME", xdg), h("HOME", home);
    EXPECT_EQ(*quorvelHome().value, expected);
  }
  quorvel::testing::ScopedEnv file("QUORVEL_HOME", "/proc/version");  // not a folder
  EXPECT_FALSE(UserDefaults::suite("group"));
}

}  // namespace platform::foundation
