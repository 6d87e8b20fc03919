#include "platform/objectstore/realm.h"

#include <gtest/gtest.h>

#include "tests/support/test_support.h"

namespace platform::objectstore {
namespace {

using foundation::Status;
using Code = Status::Code;
using Tx = Realm::WriteTransaction&;
using quorvel::testing::sql;

// One column of each type; a column name that needs quoting twice over.
struct Holding : Object {
  std::optional<std::string> symbol, base;
  RealmProperty<std::optional<double>> amount;
  std::int64_t count = 0;
  Holding() = default;
  Holding(const char* s, const char* b, std::optional<double> a, int c)
      : symbol(s), base(b), amount{a}, count(c) {}
  static const ObjectSchema& schema() {
    static const ObjectSchema s = makeSchema<Holding>(
        "Holding", "base", property("symbol", &Holding::symbol), property("base", &Holding::base),
        property("amount", &Holding::amount), property("or\"der", &Holding::count));
    return s;
  }
};
struct Note : Object {  // without a primary key
  std::optional<std::string> text;
  static const ObjectSchema& schema() {
    static const ObjectSchema s = makeSchema<Note>("Note", "", property("text", &Note::text));
    return s;
  }
};

std::string render(const Results<Holding>& holdings) {
  std::string out;
  for (const Holding& h : holdings)
    out += h.symbol.value_or("-") + "|" + h.base.value_or("-") + "|" +
           (h.amount.value ? std::to_string(*h.amount.value) : "-") + "|" +
           std::to_string(h.count) + "\n";
  return out;
}

class RealmTest : public ::testing::Test {
 protected:
  Realm::Configuration config(std::uint64_t version = 300,
                              std::vector<const ObjectSchema*> types = {&Holding::schema(),
                                                                        &Note::schema()}) {
    auto migrate = [this](Migration& m, std::uint64_t old) {
      log_ += "migrated " + std::to_string(m.oldSchemaVersion()) + "=" + std::to_string(old) + "\n";
    };
    return {file_, version, migrate, types, std::chrono::milliseconds(50)};
  }
  quorvel::testing::TempDir dir_;
  std::filesystem::path file_ = dir_.path() / "store.realm";
  std::string log_;
};

const std::string kDeclared =
    R"(CREATE TABLE Holding (symbol TEXT, base TEXT UNIQUE, amount REAL, "or""der" INTEGER))";
const std::string kNote = "Note|CREATE TABLE \"Note\" (\"text\" TEXT)\n";
const std::string kCreated =
    R"(Holding|CREATE TABLE "Holding" ("symbol" TEXT, "base" TEXT UNIQUE, "amount" REAL, "or""der" INTEGER)
)" + kNote;

const char* kDump =
    "SELECT name, sql FROM sqlite_master WHERE type = 'table' ORDER BY name;"
    "SELECT * FROM Holding; PRAGMA user_version; PRAGMA journal_mode";

// A file as the host may leave it, in rollback-journal mode: the file's
// tables, rows, version and journal mode (WAL only for a file made here)
// after opening, or the error with the file's bytes untouched.
TEST_F(RealmTest, OpeningBringsTheFileToTheDeclaredSchemaOrLeavesItUntouched) {
  const std::pair<std::string, std::string> cases[] = {
      {"", kCreated + "300\n"},
      {"CREATE TABLE Holding (symbol TEXT, base TEXT UNIQUE, retired TEXT); CREATE TABLE Old (x);"
       "INSERT INTO Holding VALUES ('b', 'B', 'x'), ('a', 'A', 'y'); PRAGMA user_version = 299",
       "migrated 299=299\n" + kCreated + "b|B|-|-\na|A|-|-\n300\n"},
      {R"(CREATE TABLE Holding (symbol TEXT, base TEXT UNIQUE, amount TEXT, "or""der" INTEGER);
          INSERT INTO Holding VALUES ('s', 'S', '1.5', 2); PRAGMA user_version = 7)",
       "migrated 7=7\n" + kCreated + "s|S|1.5|2\n300\n"},
      {R"(CREATE TABLE Holding (base TEXT UNIQUE, symbol TEXT, amount REAL, "or""der" INTEGER);
          INSERT INTO Holding VALUES ('S', 's', 1, 2); PRAGMA user_version = 1)",
       "migrated 1=1\n" + kCreated + "s|S|1.0|2\n300\n"},
      {kDeclared, "migrated 0=0\nHolding|" + kDeclared + "\n" + kNote + "300\n"},
      {kDeclared + "; PRAGMA user_version = 300", "Holding|" + kDeclared + "\n" + kNote + "300\n"},
      {"CREATE TABLE Holding (symbol TEXT, base TEXT UNIQUE); PRAGMA user_version = 300",
       "version mismatch: Migration is required: property 'Holding.amount' is missing from the "
       "store file, whose schema version was not raised."},
      {"CREATE TABLE Holding (symbol TEXT, base TEXT); INSERT INTO Holding VALUES ('a', 'A');"
       "CREATE VIEW Holding__reshape AS SELECT 1; PRAGMA user_version = 10",
       "migrated 10=10\nI/O error: Cannot migrate the store (" + file_.string() +
           "): use DROP VIEW to delete view Holding__reshape"},
      {"CREATE TABLE Holding (symbol TEXT, base TEXT); INSERT INTO Holding VALUES ('a', 'A'), "
       "('b', 'A'); PRAGMA user_version = 9",
       "migrated 9=9\ncorruption: Cannot migrate the store: two 'Holding' objects have the "
       "primary key base 'A'."},
  };
  for (const auto& [setup, expected] : cases) {
    SCOPED_TRACE(setup);
    std::filesystem::remove(file_);
    log_.clear();
    if (!setup.empty()) sql(file_, setup);
    const std::string before = quorvel::testing::readFileBytes(file_);
    auto realm = Realm::open(config());
    if (!realm.ok()) {
      EXPECT_EQ(log_ + foundation::codeName(realm.status.code()) + ": " +
                    realm.status.localizedDescription(),
                expected);
      EXPECT_EQ(quorvel::testing::readFileBytes(file_), before);
      continue;
    }
    const std::string mode = setup.empty() ? "wal\n" : "delete\n";
    EXPECT_EQ(log_ + sql(file_, kDump), expected + mode);
    ASSERT_OK(Realm::open(config()).status);
    EXPECT_EQ(log_ + sql(file_, kDump), expected + mode);  // now current: no second migration
  }
  EXPECT_EQ(Realm::open({dir_.path() / "no" / "file", 0, {}, {}, {}}).status.code(),
            Code::kIOError);
  const std::filesystem::path far = dir_.path() / std::string(255, 'n');  // at the limit, then past
  std::filesystem::create_directory(far);
  EXPECT_OK(Realm::open({far / std::string(503 - far.native().size(), 'n'), 0, {}, {}, {}}).status);
  EXPECT_EQ(Realm::open({far / std::string(504 - far.native().size(), 'n'), 0, {}, {}, {}})
                .status.localizedDescription()
                .rfind("The store path is 505 bytes long; SQLite accepts at most 504 (", 0),
            0u);
  std::filesystem::remove(file_);
  std::filesystem::create_symlink(dir_.path() / "elsewhere", file_);
  EXPECT_EQ(Realm::open(config()).status.code(), Code::kNotFound);
  EXPECT_FALSE(std::filesystem::exists(dir_.path() / "elsewhere"));
  sql(dir_.path() / "elsewhere", kDeclared);  // the link a user made to a store
  EXPECT_OK(Realm::open(config()).status);
}

TEST_F(RealmTest, WritesKeepKeysUniqueAndRecordsInInsertionOrder) {
  Realm realm = std::move(*Realm::open(config()).value);
  auto write = [&](const std::function<Status(Tx)>& body) {
    std::string code = foundation::codeName(realm.write(body).code());
    return code + " " + render(*realm.objects<Holding>().value);
  };
  EXPECT_EQ(write([](Tx tx) {
              for (Holding h : {Holding("a", "A", .5, 1), Holding("b", "B", {}, -2),
                                Holding("c", "C", 0, 3), Holding("a2", "A", 2, 4)})
                if (Status s = tx.add(h); !s.ok()) return s;
              return tx.add(Note());
            }),
            "ok a2|A|2.000000|4\nb|B|-|-2\nc|C|0.000000|3\n");  // the update keeps its place
  const std::string kept = " a2|A|2.000000|4\nc|C|0.000000|3\n";
  EXPECT_EQ(write([](Tx tx) { return tx.remove<Holding>("B"); }), "ok" + kept);
  EXPECT_EQ(write([](Tx tx) { return tx.add(Holding("d", "D", 1, 1)), Status::Unsupported(""); }),
            "unsupported" + kept);
  EXPECT_EQ(write([](Tx tx) { return tx.remove<Note>("x"); }), "invalid argument" + kept);
  EXPECT_EQ(write([](Tx tx) { return tx.add(Note()); }), "ok" + kept);
  EXPECT_EQ(sql(file_, "SELECT count(*) FROM Note"), "2\n");  // no key: each add is a record
  // Values stored under other types read as the declared type, or absent.
  sql(file_,
      "DROP TABLE Holding; CREATE TABLE Holding (symbol, base UNIQUE, amount, \"or\"\"der\");"
      "INSERT INTO Holding VALUES ('s', 'S', 3, 2.9), (5, 'T', 'x', NULL), (NULL, 'U', NULL, '7')");
  EXPECT_EQ(write([](Tx) { return Status(); }), "ok s|S|3.000000|2\n-|T|-|0\n-|U|-|0\n");
  EXPECT_EQ(write([](Tx tx) { return tx.deleteAll<Holding>(); }), "ok ");
  // A type the store does not manage.
  realm = std::move(*Realm::open(config(300, {&Holding::schema()})).value);
  EXPECT_EQ(realm.objects<Note>().status.code(), Code::kInvalidArgument);
  EXPECT_EQ(write([](Tx tx) { return tx.add(Note()); }), "invalid argument ");
}

TEST_F(RealmTest, AWriterHoldingTheLockStopsMigrationsButNotReaders) {
  Realm host = std::move(*Realm::open(config()).value);
  Realm reader = std::move(*Realm::open(config()).value);
  ASSERT_OK(host.write([&](Tx tx) {
    EXPECT_EQ(
        Realm::open(config(301)).status.localizedDescription(),
        "The store is locked by another process (" + file_.string() + "): database is locked");
    return tx.add(Note());
  }));
  EXPECT_EQ(reader.objects<Note>().value->count(), 1u);
  EXPECT_OK(Realm::open(config(301)).status);
}

}  // namespace
}  // namespace platform::objectstore
