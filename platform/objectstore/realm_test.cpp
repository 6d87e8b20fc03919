#include "platform/objectstore/realm.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <thread>

#include "tests/support/test_support.h"

namespace platform::objectstore {
namespace {

using foundation::Status;
using quorvel::testing::TempDir;
using quorvel::testing::writeFileBytes;

// A record shaped like a holding: text key, text and optional-number fields.
class Holding : public Object {
 public:
  std::optional<std::string> symbol;
  std::optional<std::string> base;
  RealmProperty<std::optional<double>> amount;
  static std::string primaryKey() { return "base"; }
  static const ObjectSchema& schema() {
    static const ObjectSchema s =
        makeSchema<Holding>("Holding", primaryKey(), property("symbol", &Holding::symbol),
                            property("base", &Holding::base), property("amount", &Holding::amount));
    return s;
  }
};

class Counter : public Object {
 public:
  std::optional<std::string> name;
  std::int64_t order = 0;
  static std::string primaryKey() { return "name"; }
  static const ObjectSchema& schema() {
    static const ObjectSchema s =
        makeSchema<Counter>("Counter", primaryKey(), property("name", &Counter::name),
                            property("order", &Counter::order));
    return s;
  }
};

Holding holding(const char* symbol, const char* base, std::optional<double> amount) {
  Holding h;
  h.symbol = symbol;
  h.base = base;
  h.amount.value = amount;
  return h;
}

class RealmTest : public ::testing::Test {
 protected:
  Realm::Configuration config(std::uint64_t version = 300) {
    Realm::Configuration c;
    c.fileURL = dir_.path() / "store.realm";
    c.schemaVersion = version;
    c.objectTypes = std::vector<const ObjectSchema*>{&Holding::schema(), &Counter::schema()};
    c.migrationBlock = [this](Migration&, std::uint64_t old) { migrations_.push_back(old); };
    return c;
  }

  void sql(const std::string& statement) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((dir_.path() / "store.realm").c_str(), &db), SQLITE_OK);
    char* error = nullptr;
    int rc = sqlite3_exec(db, statement.c_str(), nullptr, nullptr, &error);
    EXPECT_EQ(rc, SQLITE_OK) << (error ? error : "");
    sqlite3_free(error);
    sqlite3_close(db);
  }

  std::vector<std::string> columns(const std::string& table) {
    std::vector<std::string> names;
    sqlite3* db = nullptr;
    sqlite3_open((dir_.path() / "store.realm").c_str(), &db);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, ("PRAGMA table_info(" + table + ")").c_str(), -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW)
      names.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 1)));
    sqlite3_finalize(st);
    sqlite3_close(db);
    return names;
  }

  TempDir dir_;
  std::vector<std::uint64_t> migrations_;
};

TEST_F(RealmTest, NewFileGetsTheSchemaAndVersionWithoutAMigration) {
  auto realm = Realm::open(config());
  ASSERT_OK(realm.status);
  EXPECT_EQ(realm.value->schemaVersion(), 300u);
  EXPECT_TRUE(migrations_.empty());
  auto holdings = realm.value->objects<Holding>();
  ASSERT_OK(holdings.status);
  EXPECT_EQ(holdings.value->count(), 0u);
  EXPECT_EQ(columns("Holding"), (std::vector<std::string>{"symbol", "base", "amount"}));
}

TEST_F(RealmTest, RecordsComeBackInInsertionOrderWithTheirValues) {
  auto realm = Realm::open(config());
  ASSERT_OK(realm.status);
  ASSERT_OK(realm.value->write([](Realm::WriteTransaction& tx) {
    if (Status s = tx.add(holding("btcusdt", "BTC", 0.5)); !s.ok()) return s;
    if (Status s = tx.add(holding("ETHUSDT", "ETH", std::nullopt)); !s.ok()) return s;
    return tx.add(holding("XYZUSDT", "XYZ", 0.0));
  }));
  // Updating by primary key keeps the record's place.
  ASSERT_OK(realm.value->write(
      [](Realm::WriteTransaction& tx) { return tx.add(holding("btcusdt", "BTC", 2)); }));

  auto result = realm.value->objects<Holding>();
  ASSERT_OK(result.status);
  const auto& holdings = *result.value;
  ASSERT_EQ(holdings.count(), 3u);
  EXPECT_EQ(holdings[0].symbol, "btcusdt");
  EXPECT_EQ(holdings[0].amount.value, 2.0);
  EXPECT_EQ(holdings[1].amount.value, std::nullopt);
  EXPECT_EQ(holdings[2].amount.value, 0.0);
  std::vector<std::string> order;
  for (const Holding& h : holdings) order.push_back(*h.symbol);
  EXPECT_EQ(order, (std::vector<std::string>{"btcusdt", "ETHUSDT", "XYZUSDT"}));
}

TEST_F(RealmTest, ResultsCanBeReadOnAnotherThread) {
  auto realm = Realm::open(config());
  ASSERT_OK(realm.status);
  ASSERT_OK(
      realm.value->write([](Realm::WriteTransaction& tx) { return tx.add(holding("a", "A", 1)); }));
  auto result = realm.value->objects<Holding>();
  size_t seen = 0;
  std::thread([&] { seen = result.value->count(); }).join();
  EXPECT_EQ(seen, 1u);
}

TEST_F(RealmTest, FailedWriteLeavesNothingBehind) {
  auto realm = Realm::open(config());
  ASSERT_OK(realm.status);
  Status s = realm.value->write([](Realm::WriteTransaction& tx) {
    if (Status added = tx.add(holding("a", "A", 1)); !added.ok()) return added;
    return Status::InvalidArgument("changed my mind");
  });
  EXPECT_FALSE(s.ok());
  EXPECT_EQ(realm.value->objects<Holding>().value->count(), 0u);
}

TEST_F(RealmTest, OlderFileMigratesOnceAddingAndDroppingColumnsAndTables) {
  sql("CREATE TABLE Holding (symbol TEXT, base TEXT UNIQUE, retired TEXT);"
      "INSERT INTO Holding VALUES ('b', 'B', 'x'), ('a', 'A', 'y');"
      "CREATE TABLE Obsolete (x TEXT);"
      "PRAGMA user_version = 299;");
  auto realm = Realm::open(config());
  ASSERT_OK(realm.status);
  EXPECT_EQ(migrations_, (std::vector<std::uint64_t>{299}));
  EXPECT_EQ(realm.value->schemaVersion(), 300u);
  EXPECT_EQ(columns("Holding"), (std::vector<std::string>{"symbol", "base", "amount"}));
  EXPECT_TRUE(columns("Obsolete").empty());
  EXPECT_EQ(columns("Counter"), (std::vector<std::string>{"name", "order"}));
  auto holdings = realm.value->objects<Holding>();
  ASSERT_EQ(holdings.value->count(), 2u);
  EXPECT_EQ((*holdings.value)[0].symbol, "b");
  EXPECT_EQ((*holdings.value)[1].base, "A");
  EXPECT_EQ((*holdings.value)[1].amount.value, std::nullopt);

  // Opening again finds it current.
  ASSERT_OK(Realm::open(config()).status);
  EXPECT_EQ(migrations_.size(), 1u);
}

TEST_F(RealmTest, NewerFileDoesNotOpenAndNamesBothVersions) {
  ASSERT_OK(Realm::open(config()).status);
  sql("PRAGMA user_version = 301;");
  auto realm = Realm::open(config());
  EXPECT_EQ(realm.status.code(), Status::Code::kVersionMismatch);
  EXPECT_NE(realm.status.localizedDescription().find("300"), std::string::npos);
  EXPECT_NE(realm.status.localizedDescription().find("301"), std::string::npos);
  EXPECT_TRUE(migrations_.empty());
}

TEST_F(RealmTest, FileThatIsNotADatabaseFailsClearlyAndStaysUntouched) {
  const std::string garbage(4096, 'g');
  writeFileBytes(dir_.path() / "store.realm", garbage);
  auto realm = Realm::open(config());
  EXPECT_EQ(realm.status.code(), Status::Code::kCorruption);
  EXPECT_NE(realm.status.localizedDescription().find("not a database"), std::string::npos)
      << realm.status.localizedDescription();
  EXPECT_EQ(quorvel::testing::readFileBytes(dir_.path() / "store.realm"), garbage);
}

TEST_F(RealmTest, MissingLocationOrUnsupportedSettingsFail) {
  Realm::Configuration noFile = config();
  noFile.fileURL.reset();
  EXPECT_EQ(Realm::open(noFile).status.code(), Status::Code::kNotFound);
  Realm::Configuration encrypted = config();
  encrypted.encryptionKey = std::vector<std::uint8_t>(64, 1);
  EXPECT_EQ(Realm::open(encrypted).status.code(), Status::Code::kUnsupported);
}

TEST_F(RealmTest, MigrationThatCannotCompleteLeavesTheFileAsItWas) {
  // A view squatting on the name the reshape needs makes a late step fail;
  // everything before it must roll back.
  sql("CREATE TABLE Holding (symbol TEXT, base TEXT);"
      "INSERT INTO Holding VALUES ('a', 'A');"
      "CREATE VIEW Holding__reshape AS SELECT 1;"
      "PRAGMA user_version = 10;");
  auto realm = Realm::open(config());
  EXPECT_FALSE(realm.status.ok());
  EXPECT_EQ(columns("Holding"), (std::vector<std::string>{"symbol", "base"}));
  sqlite3* db = nullptr;
  sqlite3_open((dir_.path() / "store.realm").c_str(), &db);
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &st, nullptr);
  sqlite3_step(st);
  EXPECT_EQ(sqlite3_column_int(st, 0), 10);
  sqlite3_finalize(st);
  sqlite3_close(db);
}

TEST_F(RealmTest, CurrentFileMissingADeclaredColumnIsRefused) {
  sql("CREATE TABLE Holding (symbol TEXT, base TEXT UNIQUE);"
      "CREATE TABLE Counter (name TEXT UNIQUE, \"order\" INTEGER);"
      "PRAGMA user_version = 300;");
  auto realm = Realm::open(config());
  EXPECT_EQ(realm.status.code(), Status::Code::kVersionMismatch);
  EXPECT_NE(realm.status.localizedDescription().find("Holding.amount"), std::string::npos);
}

TEST_F(RealmTest, ReaderIsNotBlockedByAWriterHoldingATransaction) {
  ASSERT_OK(Realm::open(config()).status);
  sqlite3* writer = nullptr;
  sqlite3_open((dir_.path() / "store.realm").c_str(), &writer);
  ASSERT_EQ(sqlite3_exec(writer, "BEGIN IMMEDIATE; INSERT INTO Holding VALUES ('w', 'W', 1);",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  auto realm = Realm::open(config());
  ASSERT_OK(realm.status);
  EXPECT_EQ(realm.value->objects<Holding>().value->count(), 0u);  // uncommitted work is invisible
  sqlite3_exec(writer, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(writer);
  EXPECT_EQ(realm.value->objects<Holding>().value->count(), 1u);
}

TEST_F(RealmTest, MigrationWaitsForTheWriteLockThenReportsBusy) {
  sql("CREATE TABLE Holding (symbol TEXT, base TEXT UNIQUE); PRAGMA user_version = 299; PRAGMA "
      "journal_mode=WAL;");
  sqlite3* writer = nullptr;
  sqlite3_open((dir_.path() / "store.realm").c_str(), &writer);
  ASSERT_EQ(sqlite3_exec(writer, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
  Realm::Configuration c = config();
  c.busyTimeout = std::chrono::milliseconds(100);
  auto realm = Realm::open(c);
  EXPECT_EQ(realm.status.code(), Status::Code::kBusy) << realm.status.localizedDescription();
  sqlite3_exec(writer, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(writer);
  EXPECT_OK(Realm::open(c).status);
}

}  // namespace
}  // namespace platform::objectstore
