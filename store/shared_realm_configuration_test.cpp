#include "store/shared_realm_configuration.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "store/records.h"
#include "tests/support/test_support.h"

namespace quorvel {
namespace {

using platform::foundation::Status;
using platform::objectstore::Realm;
using quorvel::testing::CapturedStdout;
using quorvel::testing::ScopedHome;

const char* kUpgradeLine = "\"Upgrade Realm extension schema version!!!\"\n";

void runSql(const std::filesystem::path& file, const std::string& statement) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
  char* error = nullptr;
  EXPECT_EQ(sqlite3_exec(db, statement.c_str(), nullptr, nullptr, &error), SQLITE_OK)
      << (error ? error : "");
  sqlite3_free(error);
  sqlite3_close(db);
}

TEST(SharedRealmConfigurationTest, PointsAtTheStoreFileInTheAppGroupContainer) {
  ScopedHome home;
  auto config = sharedRealmConfiguration();
  ASSERT_TRUE(config.fileURL.has_value());
  EXPECT_EQ(*config.fileURL,
            home.path() / "AppGroups/group.com.tavrin.quorvel/TavrinQuorvel.realm");
  EXPECT_EQ(config.schemaVersion, 300u);
  EXPECT_FALSE(config.readOnly);
  EXPECT_FALSE(config.deleteRealmIfMigrationNeeded);
  EXPECT_FALSE(config.encryptionKey.has_value());
  EXPECT_FALSE(config.objectTypes.has_value());
  EXPECT_FALSE(std::filesystem::exists(*config.fileURL));  // building touches no file
}

TEST(SharedRealmConfigurationTest, NoContainerMeansNoLocationAndOpeningFails) {
  quorvel::testing::TempDir dir;
  quorvel::testing::writeFileBytes(dir.path() / "file", "x");
  quorvel::testing::ScopedEnv env("QUORVEL_HOME", (dir.path() / "file").string());
  auto config = sharedRealmConfiguration();
  EXPECT_FALSE(config.fileURL.has_value());
  EXPECT_EQ(Realm::open(config).status.code(), Status::Code::kNotFound);
}

TEST(SharedRealmConfigurationTest, NewStoreIsEmptyAtVersion300WithoutALogLine) {
  ScopedHome home;
  CapturedStdout out;
  auto realm = Realm::open(sharedRealmConfiguration());
  ASSERT_OK(realm.status);
  EXPECT_EQ(realm.value->schemaVersion(), 300u);
  EXPECT_EQ(realm.value->objects<PortfolioPair>().value->count(), 0u);
  EXPECT_EQ(out.finish(), "");
}

TEST(SharedRealmConfigurationTest, OlderStoreLogsOnceAndMigrates) {
  ScopedHome home;
  auto file = *sharedRealmConfiguration().fileURL;
  runSql(file,
         "CREATE TABLE PortfolioPair (symbol TEXT, baseAsset TEXT UNIQUE, amount REAL, legacyField "
         "TEXT);"
         "INSERT INTO PortfolioPair VALUES ('btcusdt', 'BTC', 0.5, 'x');"
         "PRAGMA user_version = 299;");
  CapturedStdout out;
  auto realm = Realm::open(sharedRealmConfiguration());
  ASSERT_OK(realm.status);
  auto again = Realm::open(sharedRealmConfiguration());
  ASSERT_OK(again.status);
  EXPECT_EQ(out.finish(), kUpgradeLine);
  auto holdings = realm.value->objects<PortfolioPair>();
  ASSERT_EQ(holdings.value->count(), 1u);
  EXPECT_EQ((*holdings.value)[0].symbol, "btcusdt");
  EXPECT_EQ((*holdings.value)[0].amount.value, 0.5);
  EXPECT_EQ((*holdings.value)[0].lastPrice, std::nullopt);
}

TEST(SharedRealmConfigurationTest, CurrentStoreOpensSilentlyAndNewerStoreFails) {
  ScopedHome home;
  ASSERT_OK(Realm::open(sharedRealmConfiguration()).status);
  {
    CapturedStdout out;
    ASSERT_OK(Realm::open(sharedRealmConfiguration()).status);
    EXPECT_EQ(out.finish(), "");
  }
  runSql(*sharedRealmConfiguration().fileURL, "PRAGMA user_version = 301;");
  CapturedStdout out;
  auto realm = Realm::open(sharedRealmConfiguration());
  EXPECT_EQ(realm.status.code(), Status::Code::kVersionMismatch);
  EXPECT_EQ(out.finish(), "");
}

}  // namespace
}  // namespace quorvel
