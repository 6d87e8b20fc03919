// Realm: the object store, one SQLite 3 database file of records.
//
// Each record type is one table named by its class name, one column per
// stored property in declaration order; the schema version is the file's
// `PRAGMA user_version`. The file runs in WAL mode with a busy time-out, so
// a host process can write while an extension reads.
//
// Opening brings the file to the configured schema in one transaction: a
// new file gets the tables and the version without a migration; an older
// file gets the migration callback, then its tables and columns are added
// and dropped to match the declarations; a newer file does not open.
// Nothing is ever half-migrated.
//
// Thread rule: a Realm (the open handle) belongs to the thread that uses it;
// move it, never share it. Query results are read into plain records when
// the query runs, so they may be read on any thread.
#pragma once

#include <sqlite3.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/status.h"
#include "platform/objectstore/schema.h"

namespace platform::objectstore {

// Handed to the migration callback. Data moves are not offered: the store
// reshapes tables itself after the callback returns.
class Migration {
 public:
  explicit Migration(std::uint64_t oldSchemaVersion) : oldSchemaVersion_(oldSchemaVersion) {}
  std::uint64_t oldSchemaVersion() const { return oldSchemaVersion_; }

 private:
  std::uint64_t oldSchemaVersion_;
};

template <class T>
class Results;

class Realm {
 public:
  // What the owner of the file sets; nothing else is configurable.
  struct Configuration {
    // Where the file lives; opening without a location fails.
    std::optional<std::filesystem::path> fileURL;
    std::uint64_t schemaVersion = 0;
    // Called while opening a file whose stored version is below
    // schemaVersion, inside the opening transaction.
    std::function<void(Migration&, std::uint64_t oldSchemaVersion)> migrationBlock;
    // The record types of this store; none means every registered type.
    std::optional<std::vector<const ObjectSchema*>> objectTypes;
    // How long to wait for another process's write lock.
    std::chrono::milliseconds busyTimeout{2000};
  };

  // Opens (creating when missing) and brings the file to the configured
  // schema. Fails with kVersionMismatch for a file newer than the
  // configuration, kCorruption for a file that is not a database, kBusy when
  // another process holds the write lock too long, kNotFound without a
  // location.
  static foundation::Result<Realm> open(const Configuration& configuration);

  Realm(Realm&& other) noexcept;
  Realm& operator=(Realm&& other) noexcept;
  Realm(const Realm&) = delete;
  Realm& operator=(const Realm&) = delete;
  ~Realm();

  // Every stored record of type T, in insertion order.
  template <class T>
  foundation::Result<Results<T>> objects() const;

  class WriteTransaction;
  // Runs `body` in one immediate transaction; commits when it returns ok,
  // rolls back otherwise. For the host and tests: extensions never write.
  foundation::Status write(const std::function<foundation::Status(WriteTransaction&)>& body);

  // Type-erased query behind objects<T>(): fills a record made by
  // `makeRecord` for each stored record, in insertion order.
  foundation::Status queryAll(const ObjectSchema& schema,
                              const std::function<void*()>& makeRecord) const;

 private:
  Realm(sqlite3* db, std::vector<const ObjectSchema*> types);
  bool manages(const ObjectSchema& schema) const;

  sqlite3* db_ = nullptr;
  std::vector<const ObjectSchema*> types_;
};

// Results: records read by one query. Copying shares the records; reading
// is safe from any thread.
template <class T>
class Results {
 public:
  Results() : items_(std::make_shared<std::vector<T>>()) {}
  explicit Results(std::shared_ptr<const std::vector<T>> items) : items_(std::move(items)) {}

  std::size_t count() const { return items_->size(); }
  // REQUIRES: index < count().
  const T& operator[](std::size_t index) const { return (*items_)[index]; }
  auto begin() const { return items_->begin(); }
  auto end() const { return items_->end(); }

 private:
  std::shared_ptr<const std::vector<T>> items_;
};

class Realm::WriteTransaction {
 public:
  // Inserts the record, or updates the stored one with the same primary key
  // in place (keeping its position in insertion order).
  template <class T>
  foundation::Status add(const T& record) {
    return addObject(T::schema(), &record);
  }
  // Deletes the records whose primary key equals `key`.
  template <class T>
  foundation::Status remove(const Value& key) {
    return removeObject(T::schema(), key);
  }
  template <class T>
  foundation::Status deleteAll() {
    return deleteAllObjects(T::schema());
  }

  foundation::Status addObject(const ObjectSchema& schema, const void* record);
  foundation::Status removeObject(const ObjectSchema& schema, const Value& key);
  foundation::Status deleteAllObjects(const ObjectSchema& schema);

 private:
  friend class Realm;
  explicit WriteTransaction(Realm& realm) : realm_(realm) {}
  Realm& realm_;
};

template <class T>
foundation::Result<Results<T>> Realm::objects() const {
  auto items = std::make_shared<std::vector<T>>();
  foundation::Status status =
      queryAll(T::schema(), [&]() -> void* { return &items->emplace_back(); });
  if (!status.ok()) return status;
  return Results<T>(std::move(items));
}

}  // namespace platform::objectstore
