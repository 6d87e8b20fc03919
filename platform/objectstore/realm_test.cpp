#include "platform/objectstore/realm.h"

#include <gtest/gtest.h>

#include "tests/support/test_support.h"

namespace platform::objectstore {
namespace {

using foundation::Status;
using quorvel::testing::readFileBytes;
using quorvel::testing::TempDir;
using Code = Status::Code;

// One column of each type; a column name that needs quoting twice over.
struct Holding : Object {
  std::optional<std::string> symbol, base;
  RealmProperty<std::optional<double>> amount;
  std::int64_t count = 0;
  static const ObjectSchema& schema() {
    static const ObjectSchema s = makeSchema<Holding>(
        "Holding", "base", property("symbol", &Holding::symbol), property("base", &Holding::base),
        property("amount", &Holding::amount), property("or\"der", &Holding::count));
    return s;
  }
};
Holding holding(const char* symbol, const char* base, std::optional<double> amount, int count) {
  Holding h;
  h.symbol = symbol;
  h.base = base;
  h.amount.value = amount;
  h.count = count;
  return h;
}
// Without a primary key; Stray is not managed by the store.
struct Note : Object {
  std::optional<std::string> text;
  static const ObjectSchema& schema() {
    static const ObjectSchema s = makeSchema<Note>("Note", "", property("text", &Note::text));
    return s;
  }
};
struct Stray : Note {
  static const ObjectSchema& schema() {
    static const ObjectSchema s = makeSchema<Stray>("Stray", "", property("text", &Stray::text));
    return s;
  }
};

// Runs SQL on `file` over a connection of its own; the rows come back as
// lines of '|'-separated values.
std::string sql(const std::filesystem::path& file, const std::string& statements) {
  sqlite3* db = nullptr;
  sqlite3_open(file.c_str(), &db);
  std::string rows;
  char* error = nullptr;
  auto collect = [](void* out, int n, char** values, char**) {
    auto& text = *static_cast<std::string*>(out);
    for (int i = 0; i < n; ++i) text += std::string(i ? "|" : "") + (values[i] ? values[i] : "-");
    text += '\n';
    return 0;
  };
  sqlite3_exec(db, statements.c_str(), collect, &rows, &error);
  if (error) rows += std::string("error: ") + error;
  sqlite3_free(error);
  sqlite3_close(db);
  return rows;
}

const char* kDump =
    "SELECT name, sql FROM sqlite_master WHERE type = 'table' ORDER BY name; SELECT * FROM Holding; PRAGMA user_version";
const std::string kHoldingTable =
    R"(Holding|CREATE TABLE "Holding" ("symbol" TEXT, "base" TEXT UNIQUE, "amount" REAL, "or""der" INTEGER))";
const std::string kNewFile = kHoldingTable + "\nNote|CREATE TABLE \"Note\" (\"text\" TEXT)\n";

std::string render(const Results<Holding>& holdings) {
  std::string out;
  for (const Holding& h : holdings) {
    out += h.symbol.value_or("-") + "|" + h.base.value_or("-") + "|" +
           (h.amount.value ? std::to_string(*h.amount.value) : "-") + "|" +
           std::to_string(h.count) + "\n";
  }
  return out;
}

class RealmTest : public ::testing::Test {
 protected:
  Realm::Configuration config() {
    Realm::Configuration c;
    c.fileURL = file_;
    c.schemaVersion = 300;
    c.objectTypes = std::vector<const ObjectSchema*>{&Holding::schema(), &Note::schema()};
    c.migrationBlock = [this](Migration& m, std::uint64_t old) {
      migrations_.push_back(std::to_string(m.oldSchemaVersion()) + "=" + std::to_string(old));
    };
    c.busyTimeout = std::chrono::milliseconds(50);
    return c;
  }
  TempDir dir_;
  std::filesystem::path file_ = dir_.path() / "store.realm";
  std::vector<std::string> migrations_;
};

struct OpenCase {
  const char* name;
  std::string setup;  // SQL run on the file first, in WAL mode as the store leaves it
  Code code;
  std::string result;  // kDump of the file after opening, or the error
  std::vector<std::string> migrations;
};

TEST_F(RealmTest, OpeningBringsTheFileToTheDeclaredSchemaOrLeavesItUntouched) {
  const OpenCase cases[] = {
      {"new file", "", Code::kOk, kNewFile + "300\n", {}},
      {"older file: columns added and dropped, table dropped, order kept",
       "CREATE TABLE Holding (symbol TEXT, base TEXT UNIQUE, retired TEXT);"
       "INSERT INTO Holding VALUES ('b', 'B', 'x'), ('a', 'A', 'y'); CREATE TABLE Old (x TEXT);"
       "PRAGMA user_version = 299",
       Code::kOk,
       kNewFile + "b|B|-|-\na|A|-|-\n300\n",
       {"299=299"}},
      {"older file: a column of another type",
       "CREATE TABLE Holding (symbol TEXT, base TEXT UNIQUE, amount TEXT, \"or\"\"der\" INTEGER);"
       "INSERT INTO Holding VALUES ('s', 'S', '1.5', 2); PRAGMA user_version = 7",
       Code::kOk,
       kNewFile + "s|S|1.5|2\n300\n",
       {"7=7"}},
      {"older file: columns in another order",
       "CREATE TABLE Holding (base TEXT UNIQUE, symbol TEXT, amount REAL, \"or\"\"der\" INTEGER);"
       "INSERT INTO Holding VALUES ('S', 's', 1, 2); PRAGMA user_version = 1",
       Code::kOk,
       kNewFile + "s|S|1.0|2\n300\n",
       {"1=1"}},
      {"version 0 with tables is migrated",
       "CREATE TABLE Holding (symbol TEXT, base TEXT UNIQUE, amount REAL, \"or\"\"der\" INTEGER)",
       Code::kOk,
       R"(Holding|CREATE TABLE Holding (symbol TEXT, base TEXT UNIQUE, amount REAL, "or""der" INTEGER))"
       "\nNote|CREATE TABLE \"Note\" (\"text\" TEXT)\n300\n",
       {"0=0"}},
      {"current file gets the tables declared since",
       "CREATE TABLE Holding (symbol TEXT, base TEXT UNIQUE, amount REAL, \"or\"\"der\" INTEGER);"
       "PRAGMA user_version = 300",
       Code::kOk,
       R"(Holding|CREATE TABLE Holding (symbol TEXT, base TEXT UNIQUE, amount REAL, "or""der" INTEGER))"
       "\nNote|CREATE TABLE \"Note\" (\"text\" TEXT)\n300\n",
       {}},
      {"current file missing a property",
       "CREATE TABLE Holding (symbol TEXT, base TEXT UNIQUE); PRAGMA user_version = 300",
       Code::kVersionMismatch,
       "Migration is required: property 'Holding.amount' is missing from the store file, whose "
       "schema version was not raised.",
       {}},
      {"newer file",
       "CREATE TABLE Holding (x); PRAGMA user_version = 301",
       Code::kVersionMismatch,
       "Provided schema version 300 is less than last set version 301.",
       {}},
      {"migration failing halfway rolls back",
       "CREATE TABLE Holding (symbol TEXT, base TEXT); INSERT INTO Holding VALUES ('a', 'A');"
       "CREATE VIEW Holding__reshape AS SELECT 1; PRAGMA user_version = 10",
       Code::kIOError,
       "Cannot migrate the store (" + file_.string() +
           "): use DROP VIEW to delete view "
           "Holding__reshape",
       {"10=10"}},
  };
  for (const OpenCase& row : cases) {
    SCOPED_TRACE(row.name);
    std::filesystem::remove(file_);
    migrations_.clear();
    if (!row.setup.empty()) sql(file_, "PRAGMA journal_mode=WAL;" + row.setup);
    const std::string before = std::filesystem::exists(file_) ? readFileBytes(file_) : "";
    auto realm = Realm::open(config());
    EXPECT_EQ(realm.status.code(), row.code);
    EXPECT_EQ(migrations_, row.migrations);
    if (row.code != Code::kOk) {
      EXPECT_EQ(realm.status.localizedDescription(), row.result);
      EXPECT_EQ(readFileBytes(file_), before);
      continue;
    }
    EXPECT_EQ(realm.value->schemaVersion(), 300u);
    realm = Status::Unsupported("closed");
    EXPECT_EQ(sql(file_, kDump), row.result);
    ASSERT_OK(Realm::open(config()).status);  // now current: no second migration
    EXPECT_EQ(migrations_, row.migrations);
  }
}

TEST_F(RealmTest, FilesThatCannotBeOpenedFailClearly) {
  const std::string garbage(4096, 'g');
  quorvel::testing::writeFileBytes(file_, garbage);
  auto realm = Realm::open(config());
  EXPECT_EQ(realm.status.code(), Code::kCorruption);
  EXPECT_EQ(realm.status.localizedDescription(),
            "The store file is not a database (" + file_.string() + "): file is not a database");
  EXPECT_EQ(readFileBytes(file_), garbage);

  Realm::Configuration nowhere = config();
  nowhere.fileURL = dir_.path() / "missing" / "store.realm";
  EXPECT_EQ(Realm::open(nowhere).status.code(), Code::kIOError);
  nowhere.fileURL.reset();
  EXPECT_EQ(Realm::open(nowhere).status.code(), Code::kNotFound);
}

TEST_F(RealmTest, WritesKeepKeysUniqueAndRecordsInInsertionOrder) {
  auto realm = Realm::open(config());
  ASSERT_OK(realm.status);
  Realm& store = *realm.value;
  ASSERT_OK(store.write([](Realm::WriteTransaction& tx) {
    for (const Holding& h : {holding("a", "A", 0.5, 1), holding("b", "B", std::nullopt, -2),
                             holding("c", "C", 0, 3), holding("a2", "A", 2, 4)}) {
      if (Status s = tx.add(h); !s.ok()) return s;
    }
    return tx.add(Note());
  }));
  EXPECT_EQ(render(*store.objects<Holding>().value),
            "a2|A|2.000000|4\nb|B|-|-2\nc|C|0.000000|3\n");  // the update keeps its place
  ASSERT_OK(store.write([](Realm::WriteTransaction& tx) { return tx.remove<Holding>("B"); }));
  EXPECT_EQ(store
                .write([](Realm::WriteTransaction& tx) {
                  EXPECT_OK(tx.add(holding("d", "D", 1, 1)));
                  return Status::Unsupported("changed my mind");
                })
                .code(),
            Code::kUnsupported);
  EXPECT_EQ(render(*store.objects<Holding>().value), "a2|A|2.000000|4\nc|C|0.000000|3\n");

  // No key: every add is a new record, and nothing can be removed by key.
  ASSERT_OK(store.write([](Realm::WriteTransaction& tx) { return tx.add(Note()); }));
  EXPECT_EQ(store.objects<Note>().value->count(), 2u);
  EXPECT_EQ(store.write([](Realm::WriteTransaction& tx) { return tx.remove<Note>("x"); }).code(),
            Code::kInvalidArgument);
  EXPECT_EQ(store.write([](Realm::WriteTransaction& tx) { return tx.add(Stray()); }).code(),
            Code::kInvalidArgument);
  EXPECT_EQ(store.objects<Stray>().status.code(), Code::kInvalidArgument);
  ASSERT_OK(store.write([](Realm::WriteTransaction& tx) { return tx.deleteAll<Holding>(); }));
  EXPECT_EQ(sql(file_, "SELECT count(*) FROM Holding; SELECT count(*) FROM Note"), "0\n2\n");
}

TEST_F(RealmTest, StoredValuesOfOtherTypesReadAsTheDeclaredTypeOrAbsent) {
  sql(file_,
      "CREATE TABLE Holding (symbol, base UNIQUE, amount, \"or\"\"der\"); CREATE TABLE Note (text);"
      "INSERT INTO Holding VALUES ('s', 'S', 3, 2.9), (5, 'T', 'x', NULL), (NULL, 'U', NULL, '7');"
      "PRAGMA user_version = 300");
  auto realm = Realm::open(config());
  ASSERT_OK(realm.status);
  EXPECT_EQ(render(*realm.value->objects<Holding>().value), "s|S|3.000000|2\n-|T|-|0\n-|U|-|0\n");
  Realm other = std::move(*realm.value);
  EXPECT_EQ(other.objects<Holding>().value->count(), 3u);
}

TEST_F(RealmTest, AWriterHoldingTheLockStopsMigrationsButNotReaders) {
  ASSERT_OK(Realm::open(config()).status);
  sqlite3* writer = nullptr;
  sqlite3_open(file_.c_str(), &writer);
  ASSERT_EQ(sqlite3_exec(writer, "BEGIN IMMEDIATE; INSERT INTO Note VALUES ('w')", nullptr, nullptr,
                         nullptr),
            SQLITE_OK);
  auto reader = Realm::open(config());
  ASSERT_OK(reader.status);
  EXPECT_EQ(reader.value->objects<Note>().value->count(), 0u);  // uncommitted: invisible
  EXPECT_EQ(reader.value->write([](Realm::WriteTransaction&) { return Status(); }).code(),
            Code::kBusy);
  Realm::Configuration newer = config();
  newer.schemaVersion = 301;
  auto migrating = Realm::open(newer);
  EXPECT_EQ(migrating.status.localizedDescription(),
            "The store is locked by another process (" + file_.string() + "): database is locked");
  sqlite3_exec(writer, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(writer);
  EXPECT_EQ(reader.value->objects<Note>().value->count(), 1u);
  EXPECT_OK(Realm::open(newer).status);
}

}  // namespace
}  // namespace platform::objectstore
