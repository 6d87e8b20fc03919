#include "platform/objectstore/realm.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
#include <utility>

#include "platform/foundation/file_access.h"

namespace platform::objectstore {

using foundation::Result;
using foundation::Status;

namespace {

std::string quoted(const std::string& identifier) {
  std::string out = "\"";
  for (char c : identifier) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

const char* columnType(PropertyType type) {
  switch (type) {
    case PropertyType::kString:
      return "TEXT";
    case PropertyType::kDouble:
      return "REAL";
    case PropertyType::kInteger:
      return "INTEGER";
  }
  return "TEXT";
}

Status sqliteError(sqlite3* db, int code, const std::string& what) {
  std::string detail = db ? sqlite3_errmsg(db) : sqlite3_errstr(code);
  const char* file = db ? sqlite3_db_filename(db, "main") : nullptr;
  std::string where = file && *file ? std::string(" (") + file + ")" : "";
  switch (code & 0xff) {
    case SQLITE_NOTADB:
      return Status::Corruption("The store file is not a database" + where + ": " + detail);
    case SQLITE_CORRUPT:
      return Status::Corruption("The store file is damaged" + where + ": " + detail);
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return Status::Busy("The store is locked by another process" + where + ": " + detail);
    default:
      return Status::IOError("Cannot " + what + where + ": " + detail);
  }
}

class Statement {
 public:
  Statement(sqlite3* db, const std::string& sql) {
    rc_ = sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &stmt_, nullptr);
  }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  ~Statement() { sqlite3_finalize(stmt_); }

  int prepareCode() const { return rc_; }
  sqlite3_stmt* get() const { return stmt_; }

  int bind(int index, const Value& value) {
    if (auto* s = std::get_if<std::string>(&value)) {
      return sqlite3_bind_text64(stmt_, index, s->data(), s->size(), SQLITE_TRANSIENT, SQLITE_UTF8);
    }
    if (auto* d = std::get_if<double>(&value)) return sqlite3_bind_double(stmt_, index, *d);
    if (auto* i = std::get_if<std::int64_t>(&value)) return sqlite3_bind_int64(stmt_, index, *i);
    return sqlite3_bind_null(stmt_, index);
  }

  Value column(int index) const {
    switch (sqlite3_column_type(stmt_, index)) {
      case SQLITE_INTEGER:
        return Value(static_cast<std::int64_t>(sqlite3_column_int64(stmt_, index)));
      case SQLITE_FLOAT:
        return Value(sqlite3_column_double(stmt_, index));
      case SQLITE_TEXT: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, index));
        int bytes = sqlite3_column_bytes(stmt_, index);
        return Value(std::string(text ? text : "", static_cast<size_t>(bytes)));
      }
      default:
        return Value();
    }
  }

 private:
  sqlite3_stmt* stmt_ = nullptr;
  int rc_;
};

Status exec(sqlite3* db, const std::string& sql, const std::string& what) {
  char* message = nullptr;
  int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message);
  sqlite3_free(message);
  if (rc != SQLITE_OK) return sqliteError(db, rc, what);
  return Status();
}

// The one row a pragma answers, or why it could not be read.
class Pragma {
 public:
  Pragma(sqlite3* db, const std::string& statement) : st_(db, "PRAGMA " + statement) {
    int rc = st_.prepareCode() == SQLITE_OK ? sqlite3_step(st_.get()) : st_.prepareCode();
    if (rc != SQLITE_ROW) status_ = sqliteError(db, rc, "read the store");
  }
  Result<std::int64_t> integer() const {
    if (!status_.ok()) return status_;
    return sqlite3_column_int64(st_.get(), 0);
  }
  const Status& status() const { return status_; }

 private:
  Statement st_;
  Status status_;
};

struct Column {
  std::string name;
  std::string type;
};

Result<std::vector<std::string>> userTables(sqlite3* db) {
  Statement st(db,
               "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite\\_%' "
               "ESCAPE '\\' ORDER BY name");
  if (st.prepareCode() != SQLITE_OK) {
    return sqliteError(db, st.prepareCode(), "read the store");
  }
  std::vector<std::string> names;
  int rc;
  while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
    names.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 0)));
  }
  if (rc != SQLITE_DONE) return sqliteError(db, rc, "read the store");
  return names;
}

Result<std::vector<Column>> tableColumns(sqlite3* db, const std::string& table) {
  Statement st(db, "PRAGMA table_info(" + quoted(table) + ")");
  if (st.prepareCode() != SQLITE_OK) {
    return sqliteError(db, st.prepareCode(), "read the store");
  }
  std::vector<Column> columns;
  int rc;
  while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
    const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 1));
    const auto* type = reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 2));
    columns.push_back({name ? name : "", type ? type : ""});
  }
  if (rc != SQLITE_DONE) return sqliteError(db, rc, "read the store");
  return columns;
}

std::string createTableSql(const ObjectSchema& schema, const std::string& tableName) {
  std::string sql = "CREATE TABLE " + quoted(tableName) + " (";
  bool first = true;
  for (const auto& p : schema.properties) {
    if (!first) sql += ", ";
    first = false;
    sql += quoted(p.name) + " " + columnType(p.type);
    if (p.name == schema.primaryKey) sql += " UNIQUE";
  }
  sql += ")";
  return sql;
}

bool matchesDeclaration(const ObjectSchema& schema, const std::vector<Column>& columns) {
  if (columns.size() != schema.properties.size()) return false;
  for (size_t i = 0; i < columns.size(); ++i) {
    if (columns[i].name != schema.properties[i].name) return false;
    if (columns[i].type != columnType(schema.properties[i].type)) return false;
  }
  return true;
}

// A primary key the old shape did not hold unique may repeat; migrating
// would then have to drop records, so it is refused, naming the value.
Status refuseDuplicateKeys(sqlite3* db, const ObjectSchema& schema,
                           const std::vector<Column>& existing) {
  if (schema.primaryKey.empty() ||
      std::none_of(existing.begin(), existing.end(),
                   [&](const Column& c) { return c.name == schema.primaryKey; })) {
    return Status();
  }
  const std::string key = quoted(schema.primaryKey);
  Statement st(db, "SELECT CAST(" + key + " AS TEXT) FROM " + quoted(schema.className) + " WHERE " +
                       key + " IS NOT NULL GROUP BY " + key + " HAVING COUNT(*) > 1 LIMIT 1");
  if (st.prepareCode() != SQLITE_OK) return sqliteError(db, st.prepareCode(), "migrate the store");
  const int rc = sqlite3_step(st.get());
  if (rc == SQLITE_DONE) return Status();
  if (rc != SQLITE_ROW) return sqliteError(db, rc, "migrate the store");
  const auto* value = reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 0));
  return Status::Corruption("Cannot migrate the store: two '" + schema.className +
                            "' objects have the primary key " + schema.primaryKey + " '" +
                            foundation::escapedForm(value ? value : "") + "'.");
}

// Rebuilds a table in the declared shape, keeping the values of columns
// that survive and the records' order.
Status reshapeTable(sqlite3* db, const ObjectSchema& schema, const std::vector<Column>& existing) {
  const std::string temp = schema.className + "__reshape";
  if (Status s = exec(db, "DROP TABLE IF EXISTS " + quoted(temp), "migrate the store"); !s.ok())
    return s;
  if (Status s = exec(db, createTableSql(schema, temp), "migrate the store"); !s.ok()) return s;
  std::string common;
  for (const auto& p : schema.properties) {
    bool kept = std::any_of(existing.begin(), existing.end(),
                            [&](const Column& c) { return c.name == p.name; });
    if (!kept) continue;
    if (!common.empty()) common += ", ";
    common += quoted(p.name);
  }
  if (!common.empty()) {
    if (Status s = refuseDuplicateKeys(db, schema, existing); !s.ok()) return s;
    std::string copy = "INSERT INTO " + quoted(temp) + " (" + common + ") SELECT " + common +
                       " FROM " + quoted(schema.className) + " ORDER BY rowid";
    if (Status s = exec(db, copy, "migrate the store"); !s.ok()) return s;
  }
  if (Status s = exec(db, "DROP TABLE " + quoted(schema.className), "migrate the store"); !s.ok())
    return s;
  return exec(db, "ALTER TABLE " + quoted(temp) + " RENAME TO " + quoted(schema.className),
              "migrate the store");
}

Status createAll(sqlite3* db, const std::vector<const ObjectSchema*>& types,
                 const std::set<std::string>& present) {
  for (const ObjectSchema* schema : types) {
    if (present.count(schema->className)) continue;
    if (Status s = exec(db, createTableSql(*schema, schema->className), "create the store");
        !s.ok())
      return s;
  }
  return Status();
}

// Brings the tables to the declarations: adds missing ones, reshapes ones
// whose columns differ, drops ones no longer declared.
Status reconcile(sqlite3* db, const std::vector<const ObjectSchema*>& types,
                 const std::set<std::string>& present) {
  std::set<std::string> declared;
  for (const ObjectSchema* schema : types) {
    declared.insert(schema->className);
    if (!present.count(schema->className)) continue;
    auto columns = tableColumns(db, schema->className);
    if (!columns.ok()) return columns.status;
    if (!matchesDeclaration(*schema, *columns.value)) {
      if (Status s = reshapeTable(db, *schema, *columns.value); !s.ok()) return s;
    }
  }
  for (const std::string& table : present) {
    if (declared.count(table)) continue;
    if (Status s = exec(db, "DROP TABLE " + quoted(table), "migrate the store"); !s.ok()) return s;
  }
  return createAll(db, types, present);
}

// A file at the configured version may lack tables of types declared
// since (they are added), never a property: that needs a raised version.
Status checkCurrent(sqlite3* db, const std::vector<const ObjectSchema*>& types,
                    const std::set<std::string>& present) {
  for (const ObjectSchema* schema : types) {
    if (!present.count(schema->className)) continue;
    auto columns = tableColumns(db, schema->className);
    if (!columns.ok()) return columns.status;
    for (const auto& p : schema->properties) {
      bool found = std::any_of(columns.value->begin(), columns.value->end(),
                               [&](const Column& c) { return c.name == p.name; });
      if (!found) {
        return Status::VersionMismatch(
            "Migration is required: property '" + schema->className + "." + p.name +
            "' is missing from the store file, whose schema version was not raised.");
      }
    }
  }
  return Status();
}

// Runs `body` in one immediate transaction: commits what it did when it
// succeeds, leaves the file as it was otherwise.
Status inTransaction(sqlite3* db, const std::string& what, const std::function<Status()>& body) {
  if (Status s = exec(db, "BEGIN IMMEDIATE", "lock the store"); !s.ok()) return s;
  Status result = body();
  if (result.ok()) result = exec(db, "COMMIT", what);
  if (!result.ok()) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
  return result;
}

// Makes sure `path` names a regular file before SQLite opens it: a FIFO
// would block it, and SQLite would create the target of a dangling link.
// A missing file is created here, owner-only and never through a link;
// true in *created then. A link to an existing store is followed.
Status prepareStoreFile(const std::filesystem::path& path, bool* created) {
  *created = false;
  // SQLite must also name the file's rollback journal, the longest of its
  // companions, within its limit.
  const sqlite3_vfs* vfs = sqlite3_vfs_find(nullptr);
  const size_t longest = vfs ? static_cast<size_t>(vfs->mxPathname) - sizeof("-journal") + 1 : 0;
  if (vfs && path.native().size() > longest) {
    return Status::InvalidArgument("The store path is " + std::to_string(path.native().size()) +
                                   " bytes long; SQLite accepts at most " +
                                   std::to_string(longest) + " (" + path.string() + ")");
  }
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
    if (S_ISREG(st.st_mode)) return Status();
    return Status::Corruption("The store file is not a regular file (" + path.string() + ")");
  }
  if (errno != ENOENT) {
    return Status::IOError("Cannot open the store (" + path.string() +
                           "): " + std::strerror(errno));
  }
  if (::lstat(path.c_str(), &st) == 0) {
    return Status::NotFound("The store path is a symbolic link to a missing file (" +
                            path.string() + ")");
  }
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd != -1) {
    ::close(fd);
    *created = true;
  } else if (errno != EEXIST) {
    return Status::IOError("Cannot create the store (" + path.string() +
                           "): " + std::strerror(errno));
  }
  return Status();
}

// What opening needs to know of a file before deciding what to do with it.
struct StoredState {
  std::uint64_t version = 0;
  std::set<std::string> tables;
  bool isNew() const { return version == 0 && tables.empty(); }
};

Result<StoredState> readState(sqlite3* db) {
  auto version = Pragma(db, "user_version").integer();
  if (!version.ok()) return version.status;
  auto tables = userTables(db);
  if (!tables.ok()) return tables.status;
  return StoredState{static_cast<std::uint64_t>(*version.value),
                     std::set<std::string>(tables.value->begin(), tables.value->end())};
}

Status refuseNewer(const StoredState& state, std::uint64_t target) {
  if (state.version <= target) return Status();
  return Status::VersionMismatch("Provided schema version " + std::to_string(target) +
                                 " is less than last set version " + std::to_string(state.version) +
                                 ".");
}

// True when the file can be used as it is, without taking the write lock.
Result<bool> isCurrent(sqlite3* db, const std::vector<const ObjectSchema*>& types,
                       const StoredState& state, std::uint64_t target) {
  if (state.isNew() || state.version != target) return false;
  if (Status s = checkCurrent(db, types, state.tables); !s.ok()) return s;
  return std::all_of(types.begin(), types.end(),
                     [&](const ObjectSchema* t) { return state.tables.count(t->className) > 0; });
}

// Inside the opening transaction: a new file is created, an older one
// migrated, a current one completed; then the target version is recorded.
Status bringToTarget(sqlite3* db, const Realm::Configuration& configuration,
                     const std::vector<const ObjectSchema*>& types) {
  // Read again under the lock: another process may have migrated meanwhile.
  auto state = readState(db);
  if (!state.ok()) return state.status;
  const std::uint64_t target = configuration.schemaVersion;
  if (Status s = refuseNewer(*state.value, target); !s.ok()) return s;
  Status shaped;
  if (state.value->isNew()) {
    shaped = createAll(db, types, {});
  } else if (state.value->version < target) {
    if (configuration.migrationBlock) {
      Migration migration(state.value->version);
      configuration.migrationBlock(migration, state.value->version);
    }
    shaped = reconcile(db, types, state.value->tables);
  } else {
    shaped = checkCurrent(db, types, state.value->tables);
    if (shaped.ok()) shaped = createAll(db, types, state.value->tables);
  }
  if (!shaped.ok()) return shaped;
  return exec(db, "PRAGMA user_version = " + std::to_string(target), "migrate the store");
}

}  // namespace

Realm::Realm(sqlite3* db, std::vector<const ObjectSchema*> types)
    : db_(db), types_(std::move(types)) {}

Realm::Realm(Realm&& other) noexcept
    : db_(std::exchange(other.db_, nullptr)), types_(std::move(other.types_)) {}

Realm& Realm::operator=(Realm&& other) noexcept {
  if (this != &other) {
    if (db_) sqlite3_close_v2(db_);
    db_ = std::exchange(other.db_, nullptr);
    types_ = std::move(other.types_);
  }
  return *this;
}

Realm::~Realm() {
  if (db_) sqlite3_close_v2(db_);
}

Result<Realm> Realm::open(const Configuration& configuration) {
  if (!configuration.fileURL) {
    return Status::NotFound(
        "The store has no file location (the app-group container is unavailable).");
  }
  bool created = false;
  if (Status s = prepareStoreFile(*configuration.fileURL, &created); !s.ok()) return s;
  sqlite3* raw = nullptr;
  // A plain path, not a URI: SQLite takes it as it is. Without CREATE: the
  // file exists by now, and SQLite must not make another in its place.
  int rc = sqlite3_open_v2(configuration.fileURL->c_str(), &raw,
                           SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    Status s = sqliteError(raw, rc, "open the store");
    sqlite3_close_v2(raw);
    return s;
  }
  Realm realm(raw,
              configuration.objectTypes ? *configuration.objectTypes : registeredObjectTypes());
  sqlite3_busy_timeout(raw, static_cast<int>(configuration.busyTimeout.count()));

  // Only a file made here gets a write-ahead log (so that readers go on
  // while the host writes); the host's own file keeps its journal mode.
  if (created) {
    if (Status s = Pragma(raw, "journal_mode=WAL").status(); !s.ok()) return s;
  }
  // The file is the host's: until it is known to be one this program may
  // use, closing must not even checkpoint its log into it.
  sqlite3_db_config(raw, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
  // A look without the write lock first: a current file needs nothing, and
  // taking the lock would make every reader wait for the host's writes. One
  // read transaction: one shared lock and one consistent view for the look.
  if (Status s = exec(raw, "BEGIN", "read the store"); !s.ok()) return s;
  auto state = readState(raw);
  if (!state.ok()) return state.status;
  if (Status s = refuseNewer(*state.value, configuration.schemaVersion); !s.ok()) return s;
  sqlite3_db_config(raw, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 0, nullptr);
  auto current = isCurrent(raw, realm.types_, *state.value, configuration.schemaVersion);
  if (Status s = exec(raw, "COMMIT", "read the store"); !s.ok()) return s;
  if (!current.ok()) return current.status;
  if (*current.value) return realm;
  Status s = inTransaction(raw, "migrate the store",
                           [&] { return bringToTarget(raw, configuration, realm.types_); });
  if (!s.ok()) return s;
  return realm;
}

bool Realm::manages(const ObjectSchema& schema) const {
  return std::any_of(types_.begin(), types_.end(),
                     [&](const ObjectSchema* s) { return s->className == schema.className; });
}

Status Realm::queryAll(const ObjectSchema& schema, const std::function<void*()>& makeRecord) const {
  if (!manages(schema)) {
    return Status::InvalidArgument("Object type '" + schema.className +
                                   "' is not managed by this store.");
  }
  std::string sql = "SELECT ";
  for (size_t i = 0; i < schema.properties.size(); ++i) {
    if (i) sql += ", ";
    sql += quoted(schema.properties[i].name);
  }
  sql += " FROM " + quoted(schema.className) + " ORDER BY rowid";
  Statement st(db_, sql);
  if (st.prepareCode() != SQLITE_OK) return sqliteError(db_, st.prepareCode(), "read the store");
  int rc;
  while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
    void* record = makeRecord();
    for (size_t i = 0; i < schema.properties.size(); ++i) {
      schema.properties[i].set(record, st.column(static_cast<int>(i)));
    }
  }
  if (rc != SQLITE_DONE) return sqliteError(db_, rc, "read the store");
  return Status();
}

Status Realm::write(const std::function<Status(WriteTransaction&)>& body) {
  WriteTransaction transaction(*this);
  return inTransaction(db_, "write the store", [&] { return body(transaction); });
}

Status Realm::WriteTransaction::addObject(const ObjectSchema& schema, const void* record) {
  if (!realm_.manages(schema)) {
    return Status::InvalidArgument("Object type '" + schema.className +
                                   "' is not managed by this store.");
  }
  std::string columns, placeholders, updates;
  for (size_t i = 0; i < schema.properties.size(); ++i) {
    const std::string name = quoted(schema.properties[i].name);
    if (i) {
      columns += ", ";
      placeholders += ", ";
    }
    columns += name;
    placeholders += "?";
    if (schema.properties[i].name != schema.primaryKey) {
      if (!updates.empty()) updates += ", ";
      updates += name + " = excluded." + name;
    }
  }
  std::string sql = "INSERT INTO " + quoted(schema.className) + " (" + columns + ") VALUES (" +
                    placeholders + ")";
  if (!schema.primaryKey.empty()) {
    sql += " ON CONFLICT(" + quoted(schema.primaryKey) + ") DO " +
           (updates.empty() ? "NOTHING" : "UPDATE SET " + updates);
  }
  Statement st(realm_.db_, sql);
  if (st.prepareCode() != SQLITE_OK)
    return sqliteError(realm_.db_, st.prepareCode(), "write the store");
  for (size_t i = 0; i < schema.properties.size(); ++i) {
    st.bind(static_cast<int>(i + 1), schema.properties[i].get(record));
  }
  int rc = sqlite3_step(st.get());
  if (rc != SQLITE_DONE) return sqliteError(realm_.db_, rc, "write the store");
  return Status();
}

Status Realm::WriteTransaction::removeObject(const ObjectSchema& schema, const Value& key) {
  if (schema.primaryKey.empty()) {
    return Status::InvalidArgument("'" + schema.className + "' has no primary key.");
  }
  Statement st(realm_.db_, "DELETE FROM " + quoted(schema.className) + " WHERE " +
                               quoted(schema.primaryKey) + " = ?");
  if (st.prepareCode() != SQLITE_OK)
    return sqliteError(realm_.db_, st.prepareCode(), "write the store");
  st.bind(1, key);
  int rc = sqlite3_step(st.get());
  if (rc != SQLITE_DONE) return sqliteError(realm_.db_, rc, "write the store");
  return Status();
}

Status Realm::WriteTransaction::deleteAllObjects(const ObjectSchema& schema) {
  return exec(realm_.db_, "DELETE FROM " + quoted(schema.className), "write the store");
}

}  // namespace platform::objectstore
