#pragma once
// Small helpers over the SQLite C interface used by the keyed record store:
// a cache of prepared statements per connection and schema, and a guard that
// resets a statement when a call is done with it (no statement stays active
// between calls, so no read lock is held between them).

#include <sqlite3.h>

#include <string>
#include <unordered_map>

namespace qb::store::sql {

class StatementCache {
 public:
  StatementCache(sqlite3* db, std::string schema) : db_(db), schema_(std::move(schema)) {}
  ~StatementCache() { clear(); }
  StatementCache(const StatementCache&) = delete;
  StatementCache& operator=(const StatementCache&) = delete;

  sqlite3* db() const { return db_; }
  // Quoted schema name to put before table names: "main", "t1", ...
  const std::string& schema() const { return schema_; }

  // The statement cached under `id`; on first use prepared from the text
  // that make() returns. nullptr when preparing fails.
  template <class Make>
  sqlite3_stmt* get(int id, Make make) {
    auto it = map_.find(id);
    if (it != map_.end()) return it->second;
    sqlite3_stmt* s = nullptr;
    std::string text = make();
    if (sqlite3_prepare_v3(db_, text.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &s, nullptr) != SQLITE_OK) {
      sqlite3_finalize(s);
      return nullptr;
    }
    map_.emplace(id, s);
    return s;
  }
  void clear() {
    for (auto& [id, s] : map_) sqlite3_finalize(s);
    map_.clear();
  }

 private:
  sqlite3* db_;
  std::string schema_;
  std::unordered_map<int, sqlite3_stmt*> map_;
};

// Resets the statement when the scope ends.
class Use {
 public:
  explicit Use(sqlite3_stmt* s) : s_(s) {}
  ~Use() {
    if (s_) sqlite3_reset(s_);
  }
  Use(const Use&) = delete;
  Use& operator=(const Use&) = delete;
  sqlite3_stmt* get() const { return s_; }
  explicit operator bool() const { return s_ != nullptr; }

 private:
  sqlite3_stmt* s_;
};

inline void bindBlob(sqlite3_stmt* s, int i, const void* p, std::size_t n) {
  sqlite3_bind_blob64(s, i, n ? p : "", n, SQLITE_STATIC);
}
inline void bindBlob(sqlite3_stmt* s, int i, const std::string& v) { bindBlob(s, i, v.data(), v.size()); }

inline void columnBlob(sqlite3_stmt* s, int i, std::string& out) {
  const void* p = sqlite3_column_blob(s, i);
  out.assign(p ? static_cast<const char*>(p) : "", static_cast<std::size_t>(sqlite3_column_bytes(s, i)));
}

// Runs one statement without results (or a ';'-separated script).
inline int exec(sqlite3* db, const std::string& text) {
  return sqlite3_exec(db, text.c_str(), nullptr, nullptr, nullptr);
}

}  // namespace qb::store::sql
