// What the server's SQLite stores share: opening a database file in WAL
// mode with its schema, and prepared statements that finalise themselves.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>

namespace tidelark_server {

inline bool ExecSql(sqlite3* db, const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

// Opens or creates the file (":memory:": a private in-memory database) and
// applies the schema. False with *error on failure.
inline bool OpenSqlite(const std::string& path, const char* schema, sqlite3** db, std::string* error) {
  if (sqlite3_open_v2(path.c_str(), db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr) !=
      SQLITE_OK) {
    *error = *db ? sqlite3_errmsg(*db) : "cannot open " + path;
    return false;
  }
  sqlite3_busy_timeout(*db, 5000);
  if (!ExecSql(*db, "PRAGMA journal_mode=WAL;") || !ExecSql(*db, "PRAGMA synchronous=NORMAL;") ||
      !ExecSql(*db, schema)) {
    *error = sqlite3_errmsg(*db);
    return false;
  }
  return true;
}

class Stmt {
 public:
  Stmt(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &s_, nullptr); }
  ~Stmt() { sqlite3_finalize(s_); }
  Stmt(const Stmt&) = delete;
  Stmt& operator=(const Stmt&) = delete;
  bool ok() const { return s_ != nullptr; }
  Stmt& Bind(int i, std::int64_t v) {
    sqlite3_bind_int64(s_, i, v);
    return *this;
  }
  Stmt& Bind(int i, const std::string& v) {
    sqlite3_bind_text(s_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    return *this;
  }
  Stmt& BindBlob(int i, const std::string& v) {
    sqlite3_bind_blob(s_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    return *this;
  }
  bool Step() { return s_ && sqlite3_step(s_) == SQLITE_ROW; }
  bool Run() {
    if (!s_) return false;
    int rc = sqlite3_step(s_);
    return rc == SQLITE_DONE || rc == SQLITE_ROW;
  }
  // Rows the last Run changed.
  int Changes() { return s_ ? sqlite3_changes(sqlite3_db_handle(s_)) : 0; }
  std::int64_t Int(int i) { return sqlite3_column_int64(s_, i); }
  bool IsNull(int i) { return sqlite3_column_type(s_, i) == SQLITE_NULL; }
  std::string Text(int i) {
    const void* p = sqlite3_column_blob(s_, i);
    int n = sqlite3_column_bytes(s_, i);
    return p ? std::string(static_cast<const char*>(p), static_cast<std::size_t>(n)) : std::string();
  }

 private:
  sqlite3_stmt* s_ = nullptr;
};

}  // namespace tidelark_server
