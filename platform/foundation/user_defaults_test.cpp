#include "platform/foundation/user_defaults.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/foundation/container.h"
#include "tests/support/test_support.h"

namespace platform::foundation {
namespace {

using quorvel::testing::readFileBytes;
using quorvel::testing::ScopedHome;
using quorvel::testing::TempDir;
using quorvel::testing::writeFileBytes;

UserDefaults::Data bytes(const std::string& s) { return UserDefaults::Data(s.begin(), s.end()); }

TEST(UserDefaultsTest, StoresDataAndStringsAsDistinctKinds) {
  TempDir dir;
  UserDefaults suite(dir.path() / "Library/Preferences/s.plist");
  ASSERT_OK(suite.set("blob", bytes("{\"a\":1}")));
  ASSERT_OK(suite.set("text", "light"));

  EXPECT_EQ(suite.data("blob"), bytes("{\"a\":1}"));
  EXPECT_EQ(suite.string("text"), "light");
  EXPECT_EQ(suite.string("blob"), std::nullopt);
  EXPECT_EQ(suite.data("text"), std::nullopt);
  EXPECT_EQ(suite.data("missing"), std::nullopt);
  EXPECT_EQ(suite.keys(), (std::vector<std::string>{"blob", "text"}));
}

TEST(UserDefaultsTest, ReplacesAndRemovesOneKeyKeepingTheOthers) {
  TempDir dir;
  UserDefaults suite(dir.path() / "s.plist");
  ASSERT_OK(suite.set("a", "1"));
  ASSERT_OK(suite.set("b", "2"));
  ASSERT_OK(suite.set("a", "3"));
  ASSERT_OK(suite.removeObject("b"));
  ASSERT_OK(suite.removeObject("never-there"));
  EXPECT_EQ(suite.string("a"), "3");
  EXPECT_EQ(suite.string("b"), std::nullopt);
}

TEST(UserDefaultsTest, WritesABinaryPropertyListWithOwnerOnlyPermissions) {
  TempDir dir;
  UserDefaults suite(dir.path() / "s.plist");
  ASSERT_OK(suite.set("k", bytes("v")));
  std::string file = readFileBytes(suite.file());
  EXPECT_EQ(file.substr(0, 8), "bplist00");
  struct stat st {};
  ASSERT_EQ(::stat(suite.file().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(UserDefaultsTest, EmptyDataAndNonAsciiKeysSurvive) {
  TempDir dir;
  UserDefaults suite(dir.path() / "s.plist");
  ASSERT_OK(suite.set("clé ₿", UserDefaults::Data{}));
  EXPECT_EQ(suite.data("clé ₿"), UserDefaults::Data{});
}

TEST(UserDefaultsTest, CorruptFileReadsEmptyAndIsKeptAsideByTheNextWrite) {
  TempDir dir;
  UserDefaults suite(dir.path() / "s.plist");
  writeFileBytes(suite.file(), "this is not a property list");
  EXPECT_EQ(suite.string("k"), std::nullopt);
  EXPECT_TRUE(suite.keys().empty());

  ASSERT_OK(suite.set("k", "v"));
  EXPECT_EQ(suite.string("k"), "v");
  int asideCount = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    if (entry.path().filename().string().rfind("s.plist.corrupt-", 0) == 0) {
      ++asideCount;
      EXPECT_EQ(readFileBytes(entry.path()), "this is not a property list");
    }
  }
  EXPECT_EQ(asideCount, 1);
}

TEST(UserDefaultsTest, TopLevelThatIsNotADictionaryCountsAsCorrupt) {
  TempDir dir;
  UserDefaults good(dir.path() / "good.plist");
  ASSERT_OK(good.set("k", "v"));
  // An XML plist whose root is an array.
  UserDefaults suite(dir.path() / "s.plist");
  writeFileBytes(
      suite.file(),
      "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><string>x</string></array></plist>");
  EXPECT_EQ(suite.string("k"), std::nullopt);
}

// A binary property list of one dictionary {key: value}; both are encoded
// objects (marker byte, then contents), so a test can write what this
// platform's own writer never would.
std::string onePairBinaryPlist(const std::string& key, const std::string& value) {
  std::string out = "bplist00";
  std::vector<size_t> offsets;
  for (const std::string& object : {std::string("\xD1\x01\x02"), key, value}) {
    offsets.push_back(out.size());
    out += object;
  }
  const size_t table = out.size();
  for (size_t offset : offsets) out += static_cast<char>(offset);
  out += std::string(6, '\0') + "\x01\x01";  // one-byte offsets and references
  for (uint64_t field : {uint64_t{3}, uint64_t{0}, uint64_t{table}}) {
    for (int shift = 56; shift >= 0; shift -= 8) out += static_cast<char>(field >> shift);
  }
  return out;
}
const std::string kAsciiK("\x51k", 2);
const std::string kUtf16WithNul("\x63\x00\x61\x00\x00\x00\x62", 7);  // UTF-16 "a", U+0000, "b"

// The number of files set aside beside `file`, each checked to hold `bytes`.
int setAsideCopies(const std::filesystem::path& file, const std::string& bytes) {
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(file.parent_path())) {
    if (entry.path().filename().string().rfind(file.filename().string() + ".corrupt-", 0) == 0) {
      ++count;
      EXPECT_EQ(readFileBytes(entry.path()), bytes);
    }
  }
  return count;
}

TEST(UserDefaultsTest, StringHoldingANulByteReadsWholeAndIsSetAsideByTheNextWrite) {
  TempDir dir;
  UserDefaults suite(dir.path() / "s.plist");
  const std::string file = onePairBinaryPlist(kAsciiK, kUtf16WithNul);
  writeFileBytes(suite.file(), file);
  EXPECT_EQ(suite.string("k"), std::string("a\0b", 3));
  EXPECT_EQ(suite.keys(), std::vector<std::string>{"k"});

  // The binary writer would store "a": the file goes aside whole instead.
  ASSERT_OK(suite.set("other", "v"));
  EXPECT_EQ(suite.keys(), std::vector<std::string>{"other"});
  EXPECT_EQ(setAsideCopies(suite.file(), file), 1);
}

TEST(UserDefaultsTest, KeyHoldingANulByteMakesTheFileUnreadableNotFatal) {
  TempDir dir;
  UserDefaults suite(dir.path() / "s.plist");
  const std::string file = onePairBinaryPlist(kUtf16WithNul, std::string("\x51x", 2));
  writeFileBytes(suite.file(), file);
  EXPECT_TRUE(suite.keys().empty());
  // The library would match the key by its part before the NUL.
  EXPECT_EQ(suite.string("a"), std::nullopt);

  ASSERT_OK(suite.set("k", "v"));
  EXPECT_EQ(suite.keys(), std::vector<std::string>{"k"});
  EXPECT_EQ(setAsideCopies(suite.file(), file), 1);
}

TEST(UserDefaultsTest, FileWithTextThatIsNotUtf8IsSetAsideByTheNextWrite) {
  TempDir dir;
  UserDefaults suite(dir.path() / "s.plist");
  // An "ASCII" key with bytes past 0x7F: read without complaint, but written
  // back as a file nothing can read, which once lost the whole suite.
  const std::string file =
      onePairBinaryPlist(std::string("\x54\x85\x96nt", 5), std::string("\x51x", 2));
  writeFileBytes(suite.file(), file);
  EXPECT_EQ(suite.string("\x85\x96nt"), "x");

  ASSERT_OK(suite.set("k", "v"));
  EXPECT_EQ(suite.string("k"), "v");
  EXPECT_EQ(suite.keys(), std::vector<std::string>{"k"});
  EXPECT_EQ(setAsideCopies(suite.file(), file), 1);
}

TEST(UserDefaultsTest, TextThatIsNotUtf8IsRefusedAndTheSuiteKept) {
  TempDir dir;
  UserDefaults suite(dir.path() / "s.plist");
  ASSERT_OK(suite.set("a", "kept"));
  const std::string before = readFileBytes(suite.file());
  for (const platform::foundation::Status& status :
       {suite.set("k", "\xFF"), suite.set("\xC3", "v"), suite.set("\xC3", bytes("v"))}) {
    EXPECT_EQ(status.code(), Status::Code::kInvalidArgument) << status.localizedDescription();
    EXPECT_NE(status.localizedDescription().find("UTF-8"), std::string::npos);
  }
  EXPECT_EQ(readFileBytes(suite.file()), before);
  EXPECT_EQ(suite.string("a"), "kept");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);  // and .lock
}

TEST(UserDefaultsTest, NulBytesInKeysAndStringsAreRefusedNotCutShort) {
  TempDir dir;
  UserDefaults suite(dir.path() / "s.plist");
  ASSERT_OK(suite.set("a", "kept"));
  const std::string nulKey("a\0b", 3);
  for (const platform::foundation::Status& status :
       {suite.set(nulKey, "x"), suite.set(nulKey, bytes("x")), suite.removeObject(nulKey),
        suite.set("a", std::string_view("x\0y", 3))}) {
    EXPECT_EQ(status.code(), Status::Code::kInvalidArgument) << status.localizedDescription();
    EXPECT_NE(status.localizedDescription().find("NUL"), std::string::npos);
  }
  EXPECT_EQ(suite.string("a"), "kept");
  EXPECT_EQ(suite.string(nulKey), std::nullopt);
  EXPECT_EQ(suite.data(nulKey), std::nullopt);
  EXPECT_EQ(suite.keys(), std::vector<std::string>{"a"});
}

TEST(UserDefaultsTest, UnwritableFolderFailsWithoutLosingTheFile) {
  if (::geteuid() == 0) GTEST_SKIP() << "root ignores folder permissions";
  TempDir dir;
  UserDefaults suite(dir.path() / "s.plist");
  ASSERT_OK(suite.set("k", "before"));
  std::filesystem::permissions(
      dir.path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  Status s = suite.set("k", "after");
  std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_all);
  EXPECT_FALSE(s.ok());
  EXPECT_EQ(suite.string("k"), "before");
}

TEST(UserDefaultsTest, FolderThatIsAFileFailsClearly) {
  TempDir dir;
  writeFileBytes(dir.path() / "blocker", "x");
  UserDefaults suite(dir.path() / "blocker" / "s.plist");
  Status s = suite.set("k", "v");
  EXPECT_EQ(s.code(), Status::Code::kIOError) << s.localizedDescription();
  EXPECT_EQ(suite.string("k"), std::nullopt);
}

TEST(UserDefaultsTest, WaitsForALockHeldByAnotherProcessThenGivesUp) {
  TempDir dir;
  UserDefaults suite(dir.path() / "s.plist", std::chrono::milliseconds(200));
  ASSERT_OK(suite.set("k", "kept"));
  std::filesystem::path lockPath = suite.file();
  lockPath += ".lock";
  // One pipe each way: a single pipe would let the child read back its own
  // "locked" byte and leave the parent waiting forever.
  int locked[2];
  int release[2];
  ASSERT_EQ(::pipe(locked), 0);
  ASSERT_EQ(::pipe(release), 0);
  pid_t child = ::fork();
  if (child == 0) {
    ::close(locked[0]);
    ::close(release[1]);
    int fd = ::open(lockPath.c_str(), O_RDWR);
    ::flock(fd, LOCK_EX);
    char c = 'x';
    (void)!::write(locked[1], &c, 1);
    char wait;
    (void)!::read(release[0], &wait, 1);  // held until the parent writes back
    ::_exit(0);
  }
  ::close(locked[1]);
  ::close(release[0]);
  char c;
  ASSERT_EQ(::read(locked[0], &c, 1), 1);
  Status s = suite.set("k", "lost");
  EXPECT_EQ(s.code(), Status::Code::kBusy) << s.localizedDescription();
  EXPECT_EQ(suite.string("k"), "kept");
  (void)!::write(release[1], &c, 1);
  int status = 0;
  ::waitpid(child, &status, 0);
  ::close(locked[0]);
  ::close(release[1]);
  EXPECT_OK(suite.set("k", "after"));
  EXPECT_EQ(suite.string("k"), "after");
}

TEST(UserDefaultsTest, WritersInManyProcessesNeverLoseEachOthersKeys) {
  TempDir dir;
  const auto file = dir.path() / "s.plist";
  constexpr int kProcesses = 6;
  constexpr int kKeysEach = 25;
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    pid_t pid = ::fork();
    if (pid == 0) {
      UserDefaults suite(file);
      for (int i = 0; i < kKeysEach; ++i) {
        std::string value = "p" + std::to_string(p) + "-" + std::to_string(i);
        if (!suite.set("key-" + value, value).ok()) ::_exit(1);
        if (!suite.set("shared", bytes(std::string(1000 + p * 10, 'a' + p))).ok()) ::_exit(1);
        // A read in the middle of the others' writes sees a whole value.
        auto shared = suite.data("shared");
        if (!shared || shared->size() < 1000 || (*shared)[0] != (*shared)[shared->size() - 1])
          ::_exit(2);
      }
      ::_exit(0);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
  }
  UserDefaults suite(file);
  EXPECT_EQ(suite.keys().size(), static_cast<size_t>(kProcesses * kKeysEach + 1));
  for (int p = 0; p < kProcesses; ++p) {
    for (int i = 0; i < kKeysEach; ++i) {
      std::string value = "p" + std::to_string(p) + "-" + std::to_string(i);
      EXPECT_EQ(suite.string("key-" + value), value);
    }
  }
}

TEST(UserDefaultsTest, SuiteLivesInTheAppGroupContainer) {
  ScopedHome home;
  auto suite = UserDefaults::suite("group.example");
  ASSERT_TRUE(suite.has_value());
  EXPECT_EQ(suite->file(),
            home.path() / "AppGroups/group.example/Library/Preferences/group.example.plist");
  EXPECT_EQ(UserDefaults::standardFor("com.example.ext").file(),
            home.path() / "Containers/com.example.ext/Library/Preferences/com.example.ext.plist");
  EXPECT_FALSE(UserDefaults::suite("../escape").has_value());
}

TEST(ContainerTest, NoContainerWhenItCannotBeCreated) {
  TempDir dir;
  writeFileBytes(dir.path() / "home", "a file, not a folder");
  quorvel::testing::ScopedEnv env("QUORVEL_HOME", (dir.path() / "home").string());
  EXPECT_FALSE(containerURLForSecurityApplicationGroupIdentifier("group.example").has_value());
  EXPECT_FALSE(UserDefaults::suite("group.example").has_value());
}

}  // namespace
}  // namespace platform::foundation
