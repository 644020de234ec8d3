// The keyed record store over SQLite. See keyed_file.h for the operations and
// docs/store.md for the on-disk shape.

#include "store/keyed_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <algorithm>
#include <climits>
#include <cstring>
#include <cstdlib>
#include <map>
#include <mutex>

#include "store/file_lock.h"
#include "store/sqlite_db.h"
#include "store/sqlite_keys.h"

namespace qb::store {

const char* errorText(Err e) {
  switch (e) {
    case Err::Ok: return "No error";
    case Err::FileNotFound: return "File not found";
    case Err::PathNotFound: return "Path not found";
    case Err::AccessDenied: return "Access denied";
    case Err::InvalidName: return "Invalid file name";
    case Err::DamagedKeys: return "Key index does not match the records";
    case Err::LayoutDiffers: return "Record layout on disk differs from the declaration";
    case Err::AlreadyOpen: return "File already open";
    case Err::NoRecord: return "Record not available";
    case Err::RecordHeld: return "Record held by another user";
    case Err::DuplicateKey: return "Creates duplicate key";
    case Err::EndOfFile: return "No more records";
    case Err::NotOpen: return "File not open";
    case Err::FileLocked: return "File locked by another user";
    case Err::NoTransaction: return "No transaction active";
    case Err::TooManyFiles: return "Too many files in one transaction";
    case Err::IoError: return "Database input/output error";
    case Err::BadFormat: return "Not a store file, or the file is damaged";
    case Err::FileExists: return "File already exists";
    case Err::TransactionActive: return "File already in a transaction";
  }
  return "Unknown error";
}

namespace {

constexpr const char* kFormat = "quillbox-store 1";
constexpr int kBusyMillis = 10000;    // wait for another writer's commit
constexpr int kMaxAttached = 10;      // SQLite's default limit of attached databases
constexpr int kVerifyRows = 2000;     // records whose keys are checked on open

std::string keyCol(int k) { return "k" + std::to_string(k); }
std::string indexName(int k) { return "records_k" + std::to_string(k); }

// Write generations shared by every handle of one file in this process, so
// that rows read ahead by one handle are dropped after a write by another.
using Generation = std::shared_ptr<std::atomic<uint64_t>>;
Generation generationFor(const std::string& canon) {
  static std::mutex m;
  static std::map<std::string, std::weak_ptr<std::atomic<uint64_t>>> all;
  std::lock_guard<std::mutex> g(m);
  auto& w = all[canon];
  Generation sp = w.lock();
  if (!sp) {
    sp = std::make_shared<std::atomic<uint64_t>>(1);
    w = sp;
  }
  return sp;
}

std::string canonicalPath(const std::string& path) {
  char buf[PATH_MAX];
  if (realpath(path.c_str(), buf)) return buf;
  return path;
}

std::string directoryOf(const std::string& path) {
  auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Checks a file name and its directory; `exists` tells whether the file is
// there.
Err checkPath(const std::string& path, bool& exists) {
  exists = false;
  if (path.empty() || path.back() == '/' || path.size() >= PATH_MAX) return Err::InvalidName;
  std::size_t comp = 0;
  for (unsigned char c : path) {
    if (c < 0x20 || c == '*' || c == '?') return Err::InvalidName;
    comp = c == '/' ? 0 : comp + 1;
    if (comp > NAME_MAX) return Err::InvalidName;
  }
  struct stat st {};
  if (stat(directoryOf(path).c_str(), &st) != 0)
    return errno == EACCES ? Err::AccessDenied : Err::PathNotFound;
  if (!S_ISDIR(st.st_mode)) return Err::PathNotFound;
  if (stat(path.c_str(), &st) != 0) {
    if (errno == ENOENT) return Err::Ok;
    return errno == EACCES ? Err::AccessDenied : errno == ENOTDIR ? Err::PathNotFound : Err::IoError;
  }
  if (S_ISDIR(st.st_mode)) return Err::AccessDenied;
  exists = true;
  return Err::Ok;
}

Err fromSqlite(int rc) {
  switch (rc & 0xFF) {
    case SQLITE_OK:
    case SQLITE_DONE:
    case SQLITE_ROW: return Err::Ok;
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return Err::FileLocked;
    case SQLITE_CONSTRAINT:
      return rc == SQLITE_CONSTRAINT_UNIQUE || rc == SQLITE_CONSTRAINT_PRIMARYKEY ? Err::DuplicateKey
                                                                                 : Err::IoError;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
    case SQLITE_CANTOPEN: return Err::AccessDenied;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB: return Err::BadFormat;
    default: return Err::IoError;
  }
}

// Statement ids in a StatementCache.
enum Op : int {
  OpInsert = 1,
  OpAppend,
  OpDelete,
  OpByPos,
  OpKeysByPos,
  OpCount,
  OpDup,
  OpGet,
  OpFirst,
  OpLast,
  OpAfterEq,
  OpAfterGt,
  OpBeforeEq,
  OpBeforeLt,
  OpUpdate = 64,  // + key mask << 8
};
int sid(int op, int key = -1) { return op < OpUpdate ? op * 256 + key + 1 : op; }

struct Row {
  int64_t pos = 0;
  uint64_t gen = 0;  // write generation of the file when the row was read
  std::string image;
  std::string memo;
};

std::string schemaSql(const Layout& l) {
  std::string s =
      "CREATE TABLE meta(name TEXT PRIMARY KEY, value TEXT) WITHOUT ROWID;"
      "CREATE TABLE records(pos INTEGER PRIMARY KEY AUTOINCREMENT, image BLOB NOT NULL, memo BLOB";
  for (std::size_t k = 0; k < l.keys.size(); ++k) s += ", " + keyCol(static_cast<int>(k)) + " BLOB";
  s += ");";
  return s;
}

// Records out of a key (NULL) are not in its index at all, so appending costs
// no index work.
std::string indexSql(const std::string& schema, const Layout& l, int k) {
  return std::string("CREATE ") + (l.keys[k].unique ? "UNIQUE " : "") + "INDEX " + schema + "." + indexName(k) +
         " ON records(" + keyCol(k) + ") WHERE " + keyCol(k) + " IS NOT NULL";
}

}  // namespace

// ---------------------------------------------------------------------------

struct Transaction::Impl {
  bool active = false;
  sqlite3* db = nullptr;  // the first file's connection, the others attached to it
  KeyedFile* owner = nullptr;
  std::vector<KeyedFile*> files;
  std::vector<std::string> attached;  // schema names to detach at the end
  void end();
  Err rollback();
};

struct KeyedFile::Impl {
  explicit Impl(const Layout& l) : layout(l) {
    for (std::size_t k = 0; k < l.keys.size(); ++k) enc.emplace_back(l, static_cast<int>(k));
    keyVals.resize(l.keys.size());
  }

  const Layout& layout;
  std::vector<KeyEncoder> enc;
  sqlite3* db = nullptr;
  std::unique_ptr<sql::StatementCache> own;     // the file's own connection, schema main
  std::unique_ptr<sql::StatementCache> txCache;  // while in another file's transaction
  sql::StatementCache* cur = nullptr;           // where reads and writes go now
  Transaction::Impl* tx = nullptr;
  FileLock lock;
  Access mode = Access::ReadWriteShared;
  bool durable = true;
  bool streaming = false;
  bool damaged = false;
  std::string canon;
  Generation gen;
  std::string detail;
  Err lastErr = Err::Ok;

  // Cursor: the current order (key index, -1 file order) and the bounds the
  // next read starts after (lo) and the previous read starts before (hi).
  int order = -1;
  bool hasLo = false, hasHi = false;
  std::string loK, hiK;
  int64_t loP = 0, hiP = 0;
  // After a read from the page the cursor is that row; its bounds are taken
  // from it only when the page is about to change (settle()).
  Row* atRow = nullptr;
  bool boundIsRow = false;  // the bounds are a record read (not a value set)
  uint64_t boundGen = 0;    // and the file's write generation when it was read

  // Rows read ahead in one direction.
  std::vector<Row> page;
  std::size_t pageLen = 0, pageAt = 0;
  int pageDir = 0;
  uint64_t pageGen = 0;
  int fetchSize = 0;

  int holdSeconds = -1;  // >= 0: the next read holds its record
  int64_t heldPos = 0;
  bool fileLocked = false;
  bool fromRead = false;  // the buffer holds the record at position_

  std::vector<std::string> keyVals;
  std::string scratch;

  // ---- helpers ----
  Err fail(Err e, const std::string& why) {
    detail = why;
    return e;
  }
  Err sqlFail(int rc, sqlite3* on) {
    detail = sqlite3_errmsg(on ? on : db);
    return fromSqlite(rc);
  }
  const std::string& schema() const { return cur->schema(); }
  void touch() { ++*gen; }
  // Puts the cursor at a record read: its key value is encoded from its
  // image, which is what the key column holds.
  void boundsAt(Row& r) {
    if (r.image.size() != layout.size) r.image.resize(layout.size, '\0');
    if (order >= 0) enc[order].encode(reinterpret_cast<const uint8_t*>(r.image.data()), loK);
    else loK.clear();
    hiK = loK;
    loP = hiP = r.pos;
    hasLo = hasHi = true;
    boundIsRow = true;
    boundGen = r.gen;
  }
  void settle() {
    if (!atRow) return;
    boundsAt(*atRow);
    atRow = nullptr;
  }
  void dropPage() {
    settle();
    pageDir = 0;
    pageLen = pageAt = 0;
  }
  // Read-ahead sizes: small after positioning (a single read is common), a
  // browse page next, then growing for long runs. Memos are read few at a time.
  int firstFetch() const { return layout.memo ? 1 : 4; }
  int nextFetch(int last) const { return layout.memo ? std::min(last * 4, 16) : std::min(std::max(last * 4, 60), 512); }

  std::string selectRow(int key) const {
    return std::string("SELECT pos, image") + (layout.memo ? ", memo" : "") + " FROM " + schema() + ".records ";
  }
  sqlite3_stmt* stmt(int op, int key = -1);
  int readRows(sqlite3_stmt* s, int limit);
  Err fetch(int dir, int n);
  Err unlockedStep(KeyedFile& f, int dir);
  Err heldStep(KeyedFile& f, int dir);
  enum class Bounds { FromRow, PageRow, Keep };
  void take(KeyedFile& f, Row& r, Bounds b = Bounds::FromRow);
  Err readByPos(int64_t pos, Row& r, bool& found);
  Err acquireHold(int64_t pos, int seconds);
  void releaseHold();
  Err writable() const;
  Err verifyKeys();
  Err rebuild(int only);
  static void keyFunction(sqlite3_context* ctx, int, sqlite3_value** argv);
  Err execAll(const std::string& text);
  void cutMemo(std::string& memo) const {
    if (memo.size() > kMaxMemo) memo.resize(kMaxMemo);
  }
  void applyDurability() {
    if (durable) {
      sql::exec(db, "PRAGMA main.journal_mode=DELETE; PRAGMA main.synchronous=FULL");
    } else {
      sql::exec(db, "PRAGMA main.journal_mode=MEMORY; PRAGMA main.synchronous=OFF");
    }
  }
};

sqlite3_stmt* KeyedFile::Impl::stmt(int op, int key) {
  return cur->get(sid(op, key), [&]() -> std::string {
    const std::string& s = schema();
    std::string kc = key >= 0 ? keyCol(key) : "";
    const std::size_t nk = layout.keys.size();
    switch (op) {
      case OpInsert: {
        std::string t = "INSERT INTO " + s + ".records(image, memo";
        for (std::size_t k = 0; k < nk; ++k) t += ", " + keyCol(static_cast<int>(k));
        t += ") VALUES(?1, ?2";
        for (std::size_t k = 0; k < nk; ++k) t += ", ?" + std::to_string(k + 3);
        return t + ")";
      }
      case OpAppend: return "INSERT INTO " + s + ".records(image, memo) VALUES(?1, ?2)";
      case OpDelete: return "DELETE FROM " + s + ".records WHERE pos = ?1";
      case OpByPos: return "SELECT image, memo FROM " + s + ".records WHERE pos = ?1";
      case OpKeysByPos: {
        std::string t = "SELECT image";
        for (std::size_t k = 0; k < nk; ++k) t += ", " + keyCol(static_cast<int>(k));
        return t + " FROM " + s + ".records WHERE pos = ?1";
      }
      case OpCount: return "SELECT count(*) FROM " + s + ".records";
      case OpDup: return "SELECT 1 FROM " + s + ".records WHERE " + kc + " = ?1 AND pos <> ?2 LIMIT 1";
      case OpGet: return selectRow(key) + "WHERE " + kc + " = ?1 ORDER BY pos LIMIT 1";
      case OpFirst:
        if (key < 0) return selectRow(key) + "WHERE pos > ?1 ORDER BY pos LIMIT ?2";
        return selectRow(key) + "WHERE " + kc + " >= x'' ORDER BY " + kc + ", pos LIMIT ?2";
      case OpLast:
        if (key < 0) return selectRow(key) + "WHERE pos < ?1 ORDER BY pos DESC LIMIT ?2";
        return selectRow(key) + "WHERE " + kc + " >= x'' ORDER BY " + kc + " DESC, pos DESC LIMIT ?2";
      // Rows after (?1, ?3) in (key, position) order are the rest of the
      // equal key values and then the greater ones: two index seeks (a
      // row-value comparison would scan all equal values before the bound).
      case OpAfterEq: return selectRow(key) + "WHERE " + kc + " = ?1 AND pos > ?3 ORDER BY pos LIMIT ?2";
      case OpAfterGt: return selectRow(key) + "WHERE " + kc + " > ?1 ORDER BY " + kc + ", pos LIMIT ?2";
      case OpBeforeEq:
        return selectRow(key) + "WHERE " + kc + " = ?1 AND pos < ?3 ORDER BY pos DESC LIMIT ?2";
      case OpBeforeLt:
        return selectRow(key) + "WHERE " + kc + " < ?1 AND " + kc + " >= x'' ORDER BY " + kc +
               " DESC, pos DESC LIMIT ?2";
      default: {
        // OpUpdate + (mask << 8): image, memo and the key columns in the mask
        unsigned mask = static_cast<unsigned>(op - OpUpdate) >> 8;
        std::string t = "UPDATE " + s + ".records SET image = ?1, memo = ?2";
        for (std::size_t k = 0; k < nk; ++k)
          if (mask & (1u << k)) t += ", " + keyCol(static_cast<int>(k)) + " = ?" + std::to_string(k + 4);
        return t + " WHERE pos = ?3";
      }
    }
  });
}

// Steps a row query, appending up to `limit` rows to the page.
int KeyedFile::Impl::readRows(sqlite3_stmt* s, int limit) {
  int got = 0;
  int rc = SQLITE_DONE;
  while (got < limit && (rc = sqlite3_step(s)) == SQLITE_ROW) {
    if (pageLen == page.size()) page.emplace_back();
    Row& r = page[pageLen++];
    r.pos = sqlite3_column_int64(s, 0);
    r.gen = gen->load();
    sql::columnBlob(s, 1, r.image);
    if (layout.memo) sql::columnBlob(s, 2, r.memo);
    ++got;
  }
  if (got < limit && rc != SQLITE_DONE) {
    lastErr = sqlFail(rc, cur->db());
    return -1;
  }
  return got;
}

// Reads up to n rows from the cursor in direction dir (+1 next, -1 previous)
// into the page.
Err KeyedFile::Impl::fetch(int dir, int n) {
  settle();
  pageLen = pageAt = 0;
  auto run = [&](int op, const std::string* k, int64_t pos, int limit) -> int {
    sqlite3_stmt* s = stmt(op, order);
    if (!s) {
      lastErr = sqlFail(SQLITE_ERROR, cur->db());
      return -1;
    }
    sql::Use use(s);
    if (order >= 0 && k) sql::bindBlob(s, 1, *k);
    if (order < 0) sqlite3_bind_int64(s, 1, pos);
    if (order >= 0 && (op == OpAfterEq || op == OpBeforeEq)) sqlite3_bind_int64(s, 3, pos);
    sqlite3_bind_int(s, 2, limit);
    return readRows(s, limit);
  };
  int got;
  if (order < 0) {
    if (dir > 0)
      got = run(OpFirst, nullptr, hasLo ? loP : 0, n);
    else
      got = run(OpLast, nullptr, hasHi ? hiP : INT64_MAX, n);
  } else {
    // After a record read by a unique key no other record has its value
    // (unless the file was written since).
    bool skipEqual = boundIsRow && layout.keys[order].unique && boundGen == gen->load();
    bool has = dir > 0 ? hasLo : hasHi;
    const std::string& k = dir > 0 ? loK : hiK;
    int64_t p = dir > 0 ? loP : hiP;
    if (!has) {
      got = run(dir > 0 ? OpFirst : OpLast, nullptr, 0, n);
    } else {
      got = skipEqual ? 0 : run(dir > 0 ? OpAfterEq : OpBeforeEq, &k, p, n);
      if (got >= 0 && got < n) {
        int more = run(dir > 0 ? OpAfterGt : OpBeforeLt, &k, 0, n - got);
        got = more < 0 ? more : got + more;
      }
    }
  }
  if (got < 0) {
    pageLen = 0;
    return lastErr;
  }
  return Err::Ok;
}

// Moves a record read into the buffer and puts the cursor at it (for a row
// of the page only when the page changes).
void KeyedFile::Impl::take(KeyedFile& f, Row& r, Bounds b) {
  if (r.image.size() != layout.size) r.image.resize(layout.size, '\0');
  std::memcpy(f.image_.data(), r.image.data(), layout.size);
  if (layout.memo) f.memo_ = r.memo;
  else f.memo_.clear();
  f.position_ = r.pos;
  atRow = b == Bounds::PageRow ? &r : nullptr;
  if (b == Bounds::FromRow) boundsAt(r);
  fromRead = true;
  f.loadBuffer();
}

Err KeyedFile::Impl::unlockedStep(KeyedFile& f, int dir) {
  bool same = pageDir == dir && pageGen == gen->load();
  if (!same || pageAt >= pageLen) {
    int n = same ? nextFetch(fetchSize) : firstFetch();
    Err e = fetch(dir, n);
    if (e != Err::Ok) {
      dropPage();
      return e;
    }
    pageDir = dir;
    pageGen = gen->load();
    fetchSize = n;
    if (pageLen == 0) return Err::EndOfFile;
  }
  take(f, page[pageAt++], Bounds::PageRow);
  return Err::Ok;
}

Err KeyedFile::Impl::readByPos(int64_t pos, Row& r, bool& found) {
  found = false;
  sqlite3_stmt* s = stmt(OpByPos);
  if (!s) return sqlFail(SQLITE_ERROR, cur->db());
  sql::Use use(s);
  sqlite3_bind_int64(s, 1, pos);
  int rc = sqlite3_step(s);
  if (rc == SQLITE_DONE) return Err::Ok;
  if (rc != SQLITE_ROW) return sqlFail(rc, cur->db());
  r.pos = pos;
  r.gen = gen->load();
  sql::columnBlob(s, 0, r.image);
  sql::columnBlob(s, 1, r.memo);
  found = true;
  return Err::Ok;
}

Err KeyedFile::Impl::acquireHold(int64_t pos, int seconds) {
  if (heldPos && heldPos != pos) releaseHold();
  if (!lock.isOpen()) {  // read-only media: nobody else can write either
    heldPos = pos;
    return Err::Ok;
  }
  if (!lock.lockWait(FileLock::recordByte(pos), true, seconds)) return fail(Err::RecordHeld, "record held");
  heldPos = pos;
  return Err::Ok;
}

void KeyedFile::Impl::releaseHold() {
  if (heldPos && lock.isOpen()) lock.unlock(FileLock::recordByte(heldPos));
  heldPos = 0;
}

// A read that holds the record it reads: find the record, wait for its hold,
// then read it again (it may have changed while we waited).
Err KeyedFile::Impl::heldStep(KeyedFile& f, int dir) {
  int seconds = holdSeconds;
  holdSeconds = -1;
  dropPage();
  for (;;) {
    Err e = fetch(dir, 1);
    if (e != Err::Ok) return e;
    if (pageLen == 0) return Err::EndOfFile;
    Row& r = page[0];
    e = acquireHold(r.pos, seconds);
    if (e != Err::Ok) {
      pageLen = 0;
      return e;
    }
    // the cursor stays where the record was found, even if it changed since
    boundsAt(r);
    bool found = false;
    e = readByPos(r.pos, r, found);
    pageLen = 0;
    if (e != Err::Ok) {
      releaseHold();
      return e;
    }
    if (found) {
      take(f, r, Bounds::Keep);
      return Err::Ok;
    }
    // deleted while we waited: pass over it
    releaseHold();
    boundIsRow = false;
  }
}

Err KeyedFile::Impl::writable() const {
  if (!db) return Err::NotOpen;
  if (mode == Access::ReadOnlyShared) return Err::AccessDenied;
  return Err::Ok;
}

Err KeyedFile::Impl::execAll(const std::string& text) {
  int rc = sql::exec(cur->db(), text);
  return rc == SQLITE_OK ? Err::Ok : sqlFail(rc, cur->db());
}

// Checks that every key index is there and that the key values of the most
// recently written records match their images.
Err KeyedFile::Impl::verifyKeys() {
  const std::size_t nk = layout.keys.size();
  std::map<std::string, bool> indexes;  // name -> unique
  {
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, "SELECT name, sql FROM main.sqlite_master WHERE type='index' AND tbl_name='records'", -1,
                       &s, nullptr);
    while (s && sqlite3_step(s) == SQLITE_ROW) {
      auto name = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
      auto text = reinterpret_cast<const char*>(sqlite3_column_text(s, 1));
      if (name && text) indexes[name] = std::string(text).rfind("CREATE UNIQUE", 0) == 0;
    }
    sqlite3_finalize(s);
  }
  for (std::size_t k = 0; k < nk; ++k) {
    auto it = indexes.find(indexName(static_cast<int>(k)));
    if (it == indexes.end() || it->second != layout.keys[k].unique)
      return fail(Err::DamagedKeys, "index " + indexName(static_cast<int>(k)) + " missing or wrong");
  }
  {
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, "SELECT value FROM main.meta WHERE name='keycode'", -1, &s, nullptr);
    bool ok = s && sqlite3_step(s) == SQLITE_ROW && sqlite3_column_int(s, 0) == kKeyEncodingVersion;
    sqlite3_finalize(s);
    if (!ok) return fail(Err::DamagedKeys, "keys encoded by another version");
  }
  if (nk == 0) return Err::Ok;
  std::string q = "SELECT image";
  for (std::size_t k = 0; k < nk; ++k) q += ", " + keyCol(static_cast<int>(k));
  q += " FROM main.records ORDER BY pos DESC LIMIT " + std::to_string(kVerifyRows);
  sqlite3_stmt* s = nullptr;
  int rc = sqlite3_prepare_v2(db, q.c_str(), -1, &s, nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_finalize(s);
    return sqlFail(rc, db);
  }
  Err result = Err::Ok;
  while (result == Err::Ok && (rc = sqlite3_step(s)) == SQLITE_ROW) {
    if (static_cast<uint32_t>(sqlite3_column_bytes(s, 0)) != layout.size) {
      result = fail(Err::BadFormat, "record image of wrong size");
      break;
    }
    auto image = static_cast<const uint8_t*>(sqlite3_column_blob(s, 0));
    for (std::size_t k = 0; k < nk; ++k) {
      int col = static_cast<int>(k) + 1;
      if (sqlite3_column_type(s, col) == SQLITE_NULL) continue;  // appended, or out of a unique key
      enc[k].encode(image, scratch);
      auto p = static_cast<const char*>(sqlite3_column_blob(s, col));
      if (static_cast<std::size_t>(sqlite3_column_bytes(s, col)) != scratch.size() ||
          std::memcmp(p, scratch.data(), scratch.size()) != 0) {
        result = fail(Err::DamagedKeys, "key " + layout.keys[k].name + " does not match its record");
        break;
      }
    }
  }
  if (result == Err::Ok && rc != SQLITE_DONE) result = sqlFail(rc, db);
  sqlite3_finalize(s);
  return result;
}

// qb_key(key, image): the key column value of a record image.
void KeyedFile::Impl::keyFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  auto* d = static_cast<Impl*>(sqlite3_user_data(ctx));
  int key = sqlite3_value_int(argv[0]);
  const void* p = sqlite3_value_blob(argv[1]);
  auto n = static_cast<std::size_t>(sqlite3_value_bytes(argv[1]));
  if (key < 0 || key >= static_cast<int>(d->enc.size())) {
    sqlite3_result_null(ctx);
    return;
  }
  const uint8_t* image = static_cast<const uint8_t*>(p);
  if (n < d->layout.size) {  // a short image is read as if padded with zeros
    d->scratch.assign(p ? static_cast<const char*>(p) : "", n);
    d->scratch.resize(d->layout.size, '\0');
    image = reinterpret_cast<const uint8_t*>(d->scratch.data());
  }
  std::string& out = d->keyVals[static_cast<std::size_t>(key)];
  d->enc[static_cast<std::size_t>(key)].encode(image, out);
  sqlite3_result_blob64(ctx, out.data(), out.size(), SQLITE_TRANSIENT);
}

// Rebuilds every key (only < 0) or one key: drops its index, computes the key
// values from the images, takes duplicates of a unique key out of it (the
// record written first keeps the key), and creates the index again.
Err KeyedFile::Impl::rebuild(int only) {
  const int nk = static_cast<int>(layout.keys.size());
  std::vector<int> keys;
  for (int k = 0; k < nk; ++k)
    if (only < 0 || only == k) keys.push_back(k);
  sqlite3* c = cur->db();
  const std::string& s = schema();
  bool own = !tx && !streaming;
  if (own) {
    int rc = sqlite3_exec(c, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) return sqlFail(rc, c);
  }
  cur->clear();  // statements must not hold the indexes being dropped
  Err e = Err::Ok;
  bool duplicates = false;
  for (int k : keys) {
    e = execAll("DROP INDEX IF EXISTS " + s + "." + indexName(k));
    if (e != Err::Ok) break;
  }
  if (e == Err::Ok && !keys.empty()) {
    // one pass over the table, the key values computed by the store's own
    // encoder, lent to SQLite as a function for the length of the statement
    std::string upd = "UPDATE " + s + ".records SET ";
    for (std::size_t i = 0; i < keys.size(); ++i)
      upd += (i ? ", " : "") + keyCol(keys[i]) + " = qb_key(" + std::to_string(keys[i]) + ", image)";
    sqlite3_create_function_v2(c, "qb_key", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_DIRECTONLY, this,
                               &Impl::keyFunction, nullptr, nullptr, nullptr);
    e = execAll(upd);
    sqlite3_create_function_v2(c, "qb_key", 2, SQLITE_UTF8, nullptr, nullptr, nullptr, nullptr, nullptr);
  }
  for (int k : keys) {
    if (e != Err::Ok) break;
    if (layout.keys[k].unique && sql::exec(c, indexSql(s, layout, k)) == SQLITE_OK) continue;
    if (layout.keys[k].unique) {
      // the later records with a value already taken stay out of the key
      std::string kc = keyCol(k);
      e = execAll("UPDATE " + s + ".records SET " + kc + " = NULL WHERE pos IN (SELECT pos FROM (SELECT pos, " +
                  "row_number() OVER (PARTITION BY " + kc + " ORDER BY pos) AS n FROM " + s + ".records WHERE " +
                  kc + " IS NOT NULL) WHERE n > 1)");
      if (e == Err::Ok && sqlite3_changes(c) > 0) duplicates = true;
    }
    if (e == Err::Ok) e = execAll(indexSql(s, layout, k));
  }
  if (e == Err::Ok)
    e = execAll("INSERT OR REPLACE INTO " + s + ".meta VALUES('keycode', '" + std::to_string(kKeyEncodingVersion) +
                "')");
  if (own) {
    int rc = sqlite3_exec(c, e == Err::Ok ? "COMMIT" : "ROLLBACK", nullptr, nullptr, nullptr);
    if (e == Err::Ok && rc != SQLITE_OK) e = sqlFail(rc, c);
  }
  touch();
  dropPage();
  if (e != Err::Ok) return e;
  return duplicates ? fail(Err::DuplicateKey, "duplicate key values left out of a unique key") : Err::Ok;
}

// ---------------------------------------------------------------------------

KeyedFile::KeyedFile(const Layout& layout) : d_(std::make_unique<Impl>(layout)), layout_(layout) {
  image_.resize(layout.size);
  clearBuffer();
}

KeyedFile::~KeyedFile() { close(); }

bool KeyedFile::isOpen() const { return d_->db != nullptr; }

const std::string& KeyedFile::lastDetail() const { return d_->detail; }

void KeyedFile::setDurable(bool durable) {
  d_->durable = durable;
  if (d_->db) d_->applyDurability();
}

void KeyedFile::clearBuffer() {
  for (const Field& f : layout_.fields)
    std::memset(image_.data() + f.offset, f.type == FieldType::String ? ' ' : 0, f.size);
  memo_.clear();
  d_->fromRead = false;
  loadBuffer();
}

Err KeyedFile::create(const std::string& path) {
  if (isOpen()) return Err::AlreadyOpen;
  bool exists = false;
  Err e = checkPath(path, exists);
  if (e != Err::Ok) return e;
  if (exists) return Err::FileExists;
  // Build the file under a temporary name and link it into place, so that a
  // half-made file never carries the name and an existing one is never replaced.
  std::string tmp = path + ".new" + std::to_string(getpid());
  ::unlink(tmp.c_str());
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(tmp.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  if (rc == SQLITE_OK) {
    std::string text = "BEGIN;" + schemaSql(layout_);
    for (std::size_t k = 0; k < layout_.keys.size(); ++k) text += indexSql("main", layout_, static_cast<int>(k)) + ";";
    text += "INSERT INTO meta VALUES('format', '" + std::string(kFormat) + "'), ('keycode', '" +
            std::to_string(kKeyEncodingVersion) + "'), ('layout', ?);";
    rc = sql::exec(db, text.substr(0, text.rfind("INSERT")));
    if (rc == SQLITE_OK) {
      sqlite3_stmt* s = nullptr;
      rc = sqlite3_prepare_v2(db, text.substr(text.rfind("INSERT")).c_str(), -1, &s, nullptr);
      if (rc == SQLITE_OK) {
        std::string sig = layout_.signature();
        sqlite3_bind_text(s, 1, sig.c_str(), static_cast<int>(sig.size()), SQLITE_TRANSIENT);
        rc = sqlite3_step(s) == SQLITE_DONE ? SQLITE_OK : sqlite3_errcode(db);
      }
      sqlite3_finalize(s);
    }
    if (rc == SQLITE_OK) rc = sql::exec(db, "COMMIT");
  }
  if (rc != SQLITE_OK) d_->detail = sqlite3_errmsg(db);
  sqlite3_close_v2(db);
  if (rc != SQLITE_OK) {
    ::unlink(tmp.c_str());
    return fromSqlite(rc);
  }
  if (::link(tmp.c_str(), path.c_str()) != 0) {
    int err = errno;
    if (err == EPERM || err == ENOTSUP || err == EOPNOTSUPP) {  // no hard links on this file system
      if (access(path.c_str(), F_OK) == 0) {
        ::unlink(tmp.c_str());
        return Err::FileExists;
      }
      if (::rename(tmp.c_str(), path.c_str()) == 0) return Err::Ok;
      err = errno;
    }
    ::unlink(tmp.c_str());
    d_->detail = std::strerror(err);
    return err == EEXIST ? Err::FileExists : err == EACCES ? Err::AccessDenied : Err::IoError;
  }
  ::unlink(tmp.c_str());
  return Err::Ok;
}

Err KeyedFile::open(const std::string& path, Access mode) {
  if (isOpen()) return Err::AlreadyOpen;
  Impl& d = *d_;
  d.detail.clear();
  bool exists = false;
  Err e = checkPath(path, exists);
  if (e != Err::Ok) return e;
  if (!exists) return Err::FileNotFound;
  bool readOnly = mode == Access::ReadOnlyShared;
  if (access(path.c_str(), R_OK) != 0) return Err::AccessDenied;
  bool canWrite = access(path.c_str(), W_OK) == 0 && access(directoryOf(path).c_str(), W_OK) == 0;
  if (!readOnly && !canWrite) return Err::AccessDenied;

  // access modes through the lock file
  if (!d.lock.open(FileLock::pathFor(path)) && !readOnly) return Err::AccessDenied;
  if (d.lock.isOpen()) {
    bool ok = true;
    switch (mode) {
      case Access::ReadOnlyShared: ok = d.lock.tryLock(FileLock::kOpenByte, false); break;
      case Access::ReadWriteShared:
        ok = d.lock.tryLock(FileLock::kOpenByte, false) && d.lock.tryLock(FileLock::kWriteByte, false);
        break;
      case Access::ReadWriteDenyWrite:
        ok = d.lock.tryLock(FileLock::kOpenByte, false) && d.lock.tryLock(FileLock::kWriteByte, true);
        break;
      case Access::ReadWriteExclusive: ok = d.lock.tryLock(FileLock::kOpenByte, true); break;
    }
    if (!ok) {
      d.lock.close();
      return d.fail(Err::AccessDenied, "opened by another user in a conflicting mode");
    }
  }

  // A connection belongs to one handle and is used by one thread at a time.
  int rc = sqlite3_open_v2(path.c_str(), &d.db,
                           (canWrite ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY) | SQLITE_OPEN_NOMUTEX, nullptr);
  auto giveUp = [&](Err why) {
    if (d.db) {
      if (d.detail.empty()) d.detail = sqlite3_errmsg(d.db);
      d.own.reset();
      sqlite3_close_v2(d.db);
    }
    d.db = nullptr;
    d.cur = nullptr;
    d.lock.close();
    return why;
  };
  if (rc != SQLITE_OK) return giveUp(fromSqlite(rc));
  sqlite3_extended_result_codes(d.db, 1);
  sqlite3_busy_timeout(d.db, kBusyMillis);
  if (canWrite) d.applyDurability();

  // the file's format and layout
  sqlite3_stmt* s = nullptr;
  rc = sqlite3_prepare_v2(d.db, "SELECT name, value FROM main.meta", -1, &s, nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_finalize(s);
    if ((rc & 0xFF) == SQLITE_NOTADB || (rc & 0xFF) == SQLITE_CORRUPT) return giveUp(Err::BadFormat);
    if ((rc & 0xFF) == SQLITE_BUSY) return giveUp(Err::FileLocked);
    // no meta table: an empty file is a store file of unknown layout
    sqlite3_stmt* c = nullptr;
    bool empty = sqlite3_prepare_v2(d.db, "SELECT count(*) FROM main.sqlite_master", -1, &c, nullptr) == SQLITE_OK &&
                 sqlite3_step(c) == SQLITE_ROW && sqlite3_column_int(c, 0) == 0;
    sqlite3_finalize(c);
    d.detail = "no store metadata";
    return giveUp(empty ? Err::LayoutDiffers : Err::BadFormat);
  }
  std::map<std::string, std::string> meta;
  while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
    auto n = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
    auto v = reinterpret_cast<const char*>(sqlite3_column_text(s, 1));
    meta[n ? n : ""] = v ? v : "";
  }
  sqlite3_finalize(s);
  if (rc != SQLITE_DONE) return giveUp(fromSqlite(rc));
  if (meta["format"] != kFormat) return giveUp(d.fail(Err::BadFormat, "not a store file of this version"));
  if (meta["layout"] != layout_.signature()) return giveUp(d.fail(Err::LayoutDiffers, "layout differs"));

  d.mode = mode;
  d.own = std::make_unique<sql::StatementCache>(d.db, "main");
  d.cur = d.own.get();
  d.canon = canonicalPath(path);
  d.gen = generationFor(d.canon);
  d.order = -1;
  d.hasLo = d.hasHi = false;
  d.dropPage();
  path_ = path;
  position_ = 0;
  e = d.verifyKeys();
  d.damaged = e == Err::DamagedKeys;
  if (e != Err::Ok && !d.damaged) {
    path_.clear();
    return giveUp(e);
  }
  // With damaged keys the file stays open so that buildKeys() can repair it.
  return e;
}

void KeyedFile::close() {
  Impl& d = *d_;
  if (!d.db) return;
  if (d.tx) d.tx->rollback();
  if (d.streaming) {
    sql::exec(d.db, "COMMIT");
    d.streaming = false;
  }
  d.releaseHold();
  d.holdSeconds = -1;
  d.fileLocked = false;
  d.own.reset();
  d.cur = nullptr;
  sqlite3_close_v2(d.db);
  d.db = nullptr;
  d.lock.close();
  d.gen.reset();
  d.dropPage();
  d.page.clear();
  d.damaged = false;
}

Err KeyedFile::remove(const std::string& path) {
  bool exists = false;
  Err e = checkPath(path, exists);
  if (e != Err::Ok) return e;
  if (!exists) return Err::FileNotFound;
  FileLock l;
  if (l.open(FileLock::pathFor(path)) && !l.tryLock(FileLock::kOpenByte, true)) return Err::AccessDenied;
  if (::unlink(path.c_str()) != 0) return errno == EACCES || errno == EPERM ? Err::AccessDenied : Err::IoError;
  ::unlink((path + "-journal").c_str());
  ::unlink(FileLock::pathFor(path).c_str());
  return Err::Ok;
}

int64_t KeyedFile::storedCount(const std::string& path) {
  sqlite3* db = nullptr;
  int64_t n = -1;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_busy_timeout(db, kBusyMillis);
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT count(*) FROM records", -1, &s, nullptr) == SQLITE_OK &&
        sqlite3_step(s) == SQLITE_ROW)
      n = sqlite3_column_int64(s, 0);
    sqlite3_finalize(s);
    s = nullptr;
    if (n < 0 && sqlite3_prepare_v2(db, "SELECT count(*) FROM sqlite_master", -1, &s, nullptr) == SQLITE_OK &&
        sqlite3_step(s) == SQLITE_ROW && sqlite3_column_int(s, 0) == 0)
      n = 0;  // an empty file
    sqlite3_finalize(s);
  }
  sqlite3_close_v2(db);
  return n;
}

Err KeyedFile::empty() {
  Impl& d = *d_;
  if (Err e = d.writable(); e != Err::Ok) return e;
  // Others may go on reading, but nobody else may be writing.
  bool upgraded = false;
  if (d.mode == Access::ReadWriteShared && d.lock.isOpen()) {
    if (!d.lock.tryLock(FileLock::kWriteByte, true)) return d.fail(Err::AccessDenied, "others are writing");
    upgraded = true;
  }
  Err e = d.execAll("DELETE FROM " + d.schema() + ".records");
  if (upgraded) d.lock.tryLock(FileLock::kWriteByte, false);
  d.touch();
  d.dropPage();
  return e;
}

Err KeyedFile::pack() {
  Impl& d = *d_;
  if (Err e = d.writable(); e != Err::Ok) return e;
  if (d.tx) return Err::TransactionActive;
  if (Err e = flush(); e != Err::Ok) return e;
  d.own->clear();
  Err e = d.execAll("VACUUM main");
  d.touch();
  d.dropPage();
  return e;
}

Err KeyedFile::buildKeys() {
  Impl& d = *d_;
  if (Err e = d.writable(); e != Err::Ok) return e;
  Err e = d.rebuild(-1);
  if (e == Err::Ok || e == Err::DuplicateKey) d.damaged = false;
  return e;
}

Err KeyedFile::buildKey(int key) {
  Impl& d = *d_;
  if (Err e = d.writable(); e != Err::Ok) return e;
  if (key < 0 || key >= static_cast<int>(layout_.keys.size())) return d.fail(Err::IoError, "no such key");
  Err e = d.rebuild(key);
  if (d.damaged && (e == Err::Ok || e == Err::DuplicateKey)) d.damaged = d.verifyKeys() == Err::DamagedKeys;
  return e;
}

int64_t KeyedFile::count() {
  Impl& d = *d_;
  if (!d.db) return 0;
  sqlite3_stmt* s = d.stmt(OpCount);
  if (!s) return 0;
  sql::Use use(s);
  return sqlite3_step(s) == SQLITE_ROW ? sqlite3_column_int64(s, 0) : 0;
}

// ---- positioning and reading ----

namespace {
bool badKey(const Layout& l, int key) { return key < -1 || key >= static_cast<int>(l.keys.size()); }
}  // namespace

Err KeyedFile::set(int key) {
  Impl& d = *d_;
  if (!d.db) return Err::NotOpen;
  if (badKey(layout_, key)) return d.fail(Err::IoError, "no such key");
  d.dropPage();
  d.order = key;
  d.hasLo = d.hasHi = false;
  d.boundIsRow = false;
  return Err::Ok;
}

Err KeyedFile::setFileOrder() { return set(-1); }

Err KeyedFile::setAt(int key, int parts) {
  Impl& d = *d_;
  if (!d.db) return Err::NotOpen;
  if (key < 0 || badKey(layout_, key)) return d.fail(Err::IoError, "no such key");
  storeBuffer();
  d.dropPage();
  d.order = key;
  d.enc[key].encode(image_.data(), d.loK, parts);
  d.loP = 0;
  d.hasLo = true;
  d.hasHi = prefixSuccessor(d.loK, d.hiK);
  d.hiP = 0;
  d.boundIsRow = false;
  return Err::Ok;
}

Err KeyedFile::setAtPosition(int key, int64_t pos) {
  Impl& d = *d_;
  if (!d.db) return Err::NotOpen;
  if (badKey(layout_, key)) return d.fail(Err::IoError, "no such key");
  d.dropPage();
  // The record is read now and kept as the first row read ahead, so that
  // the next read takes it without asking the database again.
  if (d.page.empty()) d.page.emplace_back();
  Row& r = d.page[0];
  bool found = false;
  if (Err e = d.readByPos(pos, r, found); e != Err::Ok) return e;
  if (!found) return Err::NoRecord;
  r.image.resize(layout_.size, '\0');
  d.order = key;
  d.boundsAt(r);
  d.loP = pos - 1;
  d.boundIsRow = false;
  d.pageLen = 1;
  d.pageAt = 0;
  d.pageDir = +1;
  d.pageGen = d.gen->load();
  d.fetchSize = 1;
  return Err::Ok;
}

Err KeyedFile::next() {
  Impl& d = *d_;
  if (!d.db) return Err::NotOpen;
  if (d.damaged && d.order >= 0) return Err::DamagedKeys;
  return d.holdSeconds >= 0 ? d.heldStep(*this, +1) : d.unlockedStep(*this, +1);
}

Err KeyedFile::previous() {
  Impl& d = *d_;
  if (!d.db) return Err::NotOpen;
  if (d.damaged && d.order >= 0) return Err::DamagedKeys;
  return d.holdSeconds >= 0 ? d.heldStep(*this, -1) : d.unlockedStep(*this, -1);
}

Err KeyedFile::get(int key) {
  Impl& d = *d_;
  if (!d.db) return Err::NotOpen;
  if (key < 0 || badKey(layout_, key)) return d.fail(Err::IoError, "no such key");
  if (d.damaged) return Err::DamagedKeys;
  storeBuffer();
  int seconds = d.holdSeconds;
  d.holdSeconds = -1;
  d.enc[key].encode(image_.data(), d.scratch);
  d.order = key;
  d.dropPage();
  {
    sqlite3_stmt* s = d.stmt(OpGet, key);
    if (!s) return d.sqlFail(SQLITE_ERROR, d.cur->db());
    sql::Use use(s);
    sql::bindBlob(s, 1, d.scratch);
    d.pageLen = 0;
    int got = d.readRows(s, 1);
    if (got < 0) return d.lastErr;
    if (got == 0) return Err::NoRecord;
  }
  Row& r = d.page[0];
  d.pageLen = 0;
  if (seconds < 0) {
    d.take(*this, r);
    return Err::Ok;
  }
  // held: read again once the hold is ours; the cursor stays at the key found
  if (Err e = d.acquireHold(r.pos, seconds); e != Err::Ok) return e;
  d.boundsAt(r);
  bool found = false;
  if (Err e = d.readByPos(r.pos, r, found); e != Err::Ok || !found) {
    d.releaseHold();
    return e != Err::Ok ? e : Err::NoRecord;
  }
  d.take(*this, r, Impl::Bounds::Keep);
  return Err::Ok;
}

Err KeyedFile::getPosition(int64_t pos) {
  Impl& d = *d_;
  if (!d.db) return Err::NotOpen;
  int seconds = d.holdSeconds;
  d.holdSeconds = -1;
  if (seconds >= 0)
    if (Err e = d.acquireHold(pos, seconds); e != Err::Ok) return e;
  Row r;
  bool found = false;
  Err e = d.readByPos(pos, r, found);
  if (e != Err::Ok || !found) {
    if (seconds >= 0) d.releaseHold();
    return e != Err::Ok ? e : Err::NoRecord;
  }
  d.dropPage();
  d.take(*this, r);
  return Err::Ok;
}

// ---- writing ----

Err KeyedFile::add() {
  Impl& d = *d_;
  if (Err e = d.writable(); e != Err::Ok) return e;
  if (d.damaged) return Err::DamagedKeys;
  storeBuffer();
  d.cutMemo(memo_);
  sqlite3_stmt* s = d.stmt(OpInsert);
  if (!s) return d.sqlFail(SQLITE_ERROR, d.cur->db());
  sql::Use use(s);
  sql::bindBlob(s, 1, image_.data(), image_.size());
  if (layout_.memo && !memo_.empty()) sql::bindBlob(s, 2, memo_);
  else sqlite3_bind_null(s, 2);
  for (std::size_t k = 0; k < d.enc.size(); ++k) {
    d.enc[k].encode(image_.data(), d.keyVals[k]);
    sql::bindBlob(s, static_cast<int>(k) + 3, d.keyVals[k]);
  }
  int rc = sqlite3_step(s);
  if (rc != SQLITE_DONE) return d.sqlFail(rc, d.cur->db());
  position_ = sqlite3_last_insert_rowid(d.cur->db());
  d.fromRead = true;
  d.touch();
  return Err::Ok;
}

Err KeyedFile::append() {
  Impl& d = *d_;
  if (Err e = d.writable(); e != Err::Ok) return e;
  storeBuffer();
  d.cutMemo(memo_);
  sqlite3_stmt* s = d.stmt(OpAppend);
  if (!s) return d.sqlFail(SQLITE_ERROR, d.cur->db());
  sql::Use use(s);
  sql::bindBlob(s, 1, image_.data(), image_.size());
  if (layout_.memo && !memo_.empty()) sql::bindBlob(s, 2, memo_);
  else sqlite3_bind_null(s, 2);
  int rc = sqlite3_step(s);
  if (rc != SQLITE_DONE) return d.sqlFail(rc, d.cur->db());
  position_ = sqlite3_last_insert_rowid(d.cur->db());
  d.fromRead = true;
  d.touch();
  return Err::Ok;
}

Err KeyedFile::put() {
  Impl& d = *d_;
  if (Err e = d.writable(); e != Err::Ok) return e;
  if (d.damaged) return Err::DamagedKeys;
  if (position_ <= 0) return Err::NoRecord;
  if (d.lock.isOpen() && d.lock.lockedByOther(FileLock::recordByte(position_))) return Err::RecordHeld;
  storeBuffer();
  d.cutMemo(memo_);
  // Only key values that change are written, and a record that is out of a
  // key (appended, or a duplicate left out at build time) stays out of it.
  unsigned mask = 0;
  const std::size_t nk = d.enc.size();
  if (nk > 0) {
    sqlite3_stmt* s = d.stmt(OpKeysByPos);
    if (!s) return d.sqlFail(SQLITE_ERROR, d.cur->db());
    sql::Use use(s);
    sqlite3_bind_int64(s, 1, position_);
    int rc = sqlite3_step(s);
    if (rc == SQLITE_DONE) return Err::NoRecord;
    if (rc != SQLITE_ROW) return d.sqlFail(rc, d.cur->db());
    for (std::size_t k = 0; k < nk; ++k) {
      int col = static_cast<int>(k) + 1;
      if (sqlite3_column_type(s, col) == SQLITE_NULL) continue;
      d.enc[k].encode(image_.data(), d.keyVals[k]);
      auto p = static_cast<const char*>(sqlite3_column_blob(s, col));
      if (static_cast<std::size_t>(sqlite3_column_bytes(s, col)) != d.keyVals[k].size() ||
          std::memcmp(p, d.keyVals[k].data(), d.keyVals[k].size()) != 0)
        mask |= 1u << k;
    }
  }
  sqlite3_stmt* s = d.stmt(OpUpdate + static_cast<int>(mask << 8));
  if (!s) return d.sqlFail(SQLITE_ERROR, d.cur->db());
  sql::Use use(s);
  sql::bindBlob(s, 1, image_.data(), image_.size());
  if (layout_.memo && !memo_.empty()) sql::bindBlob(s, 2, memo_);
  else sqlite3_bind_null(s, 2);
  sqlite3_bind_int64(s, 3, position_);
  for (std::size_t k = 0; k < nk; ++k)
    if (mask & (1u << k)) sql::bindBlob(s, static_cast<int>(k) + 4, d.keyVals[k]);
  int rc = sqlite3_step(s);
  if (rc != SQLITE_DONE) return d.sqlFail(rc, d.cur->db());
  if (sqlite3_changes(d.cur->db()) == 0) return Err::NoRecord;
  if (d.heldPos == position_) d.releaseHold();
  d.touch();
  return Err::Ok;
}

Err KeyedFile::del() {
  Impl& d = *d_;
  if (Err e = d.writable(); e != Err::Ok) return e;
  if (d.damaged) return Err::DamagedKeys;
  if (position_ <= 0) return Err::NoRecord;
  if (d.lock.isOpen() && d.lock.lockedByOther(FileLock::recordByte(position_))) return Err::RecordHeld;
  sqlite3_stmt* s = d.stmt(OpDelete);
  if (!s) return d.sqlFail(SQLITE_ERROR, d.cur->db());
  sql::Use use(s);
  sqlite3_bind_int64(s, 1, position_);
  int rc = sqlite3_step(s);
  if (rc != SQLITE_DONE) return d.sqlFail(rc, d.cur->db());
  if (sqlite3_changes(d.cur->db()) == 0) return Err::NoRecord;
  if (d.heldPos == position_) d.releaseHold();
  d.fromRead = false;
  d.touch();
  return Err::Ok;
}

bool KeyedFile::duplicate(int key) {
  Impl& d = *d_;
  if (!d.db) return false;
  storeBuffer();
  int64_t self = d.fromRead ? position_ : 0;
  for (std::size_t k = 0; k < d.enc.size(); ++k) {
    if (key >= 0 && static_cast<int>(k) != key) continue;
    if (!layout_.keys[k].unique) continue;
    d.enc[k].encode(image_.data(), d.scratch);
    sqlite3_stmt* s = d.stmt(OpDup, static_cast<int>(k));
    if (!s) return false;
    sql::Use use(s);
    sql::bindBlob(s, 1, d.scratch);
    sqlite3_bind_int64(s, 2, self);
    if (sqlite3_step(s) == SQLITE_ROW) return true;
  }
  return false;
}

// ---- holds and locks ----

void KeyedFile::hold(int seconds) { d_->holdSeconds = seconds < 0 ? 0 : seconds; }

void KeyedFile::release() {
  d_->holdSeconds = -1;
  d_->releaseHold();
}

Err KeyedFile::lock(int seconds) {
  Impl& d = *d_;
  if (!d.db) return Err::NotOpen;
  if (!d.lock.isOpen()) return Err::Ok;
  if (!d.lock.lockWait(FileLock::kFileByte, true, seconds < 0 ? 0 : seconds)) return Err::FileLocked;
  d.fileLocked = true;
  return Err::Ok;
}

void KeyedFile::unlock() {
  Impl& d = *d_;
  if (d.fileLocked && d.lock.isOpen()) d.lock.unlock(FileLock::kFileByte);
  d.fileLocked = false;
}

// ---- bulk work ----

Err KeyedFile::stream() {
  Impl& d = *d_;
  if (Err e = d.writable(); e != Err::Ok) return e;
  if (d.tx || d.streaming) return Err::Ok;
  int rc = sql::exec(d.db, "BEGIN IMMEDIATE");
  if (rc != SQLITE_OK) return d.sqlFail(rc, d.db);
  d.streaming = true;
  return Err::Ok;
}

Err KeyedFile::flush() {
  Impl& d = *d_;
  if (!d.db) return Err::NotOpen;
  if (!d.streaming) return Err::Ok;
  int rc = sql::exec(d.db, "COMMIT");
  if (rc != SQLITE_OK) return d.sqlFail(rc, d.db);
  d.streaming = false;
  return Err::Ok;
}

// ---------------------------------------------------------------------------
// Transactions: the first listed file's connection carries the transaction;
// the other files are attached to it, so that SQLite commits all of them as
// one (through its super-journal) and a crash leaves all or none.

void Transaction::Impl::end() {
  for (KeyedFile* f : files) {
    auto& d = *f->d_;
    d.txCache.reset();
    d.cur = d.own.get();
    d.tx = nullptr;
    if (d.gen) d.touch();
    d.dropPage();
  }
  for (const std::string& s : attached) sql::exec(db, "DETACH DATABASE " + s);
  attached.clear();
  files.clear();
  owner = nullptr;
  db = nullptr;
  active = false;
}

Err Transaction::Impl::rollback() {
  if (!active) return Err::NoTransaction;
  int rc = sql::exec(db, "ROLLBACK");
  end();
  return rc == SQLITE_OK ? Err::Ok : fromSqlite(rc);
}

Transaction::Transaction() : d_(std::make_unique<Impl>()) {}

Transaction::~Transaction() {
  if (d_->active) d_->rollback();
}

bool Transaction::active() const { return d_->active; }

Err Transaction::begin(const std::vector<KeyedFile*>& list, int waitSeconds) {
  Impl& t = *d_;
  if (t.active) return Err::TransactionActive;
  std::vector<KeyedFile*> files;
  for (KeyedFile* f : list) {
    if (!f || !f->isOpen()) return Err::NotOpen;
    if (f->d_->mode == Access::ReadOnlyShared) return Err::AccessDenied;
    if (f->d_->tx) return Err::TransactionActive;
    if (std::find(files.begin(), files.end(), f) == files.end()) files.push_back(f);
  }
  if (files.empty()) return Err::Ok;
  std::map<std::string, std::string> schemas;  // canonical path -> schema name
  schemas[files[0]->d_->canon] = "main";
  for (KeyedFile* f : files)
    if (!schemas.count(f->d_->canon)) schemas[f->d_->canon] = "t" + std::to_string(schemas.size());
  if (schemas.size() > static_cast<std::size_t>(kMaxAttached) + 1) return Err::TooManyFiles;
  for (KeyedFile* f : files)
    if (Err e = f->flush(); e != Err::Ok) return e;

  KeyedFile* owner = files[0];
  sqlite3* db = owner->d_->db;
  auto detachAll = [&]() {
    for (const std::string& s : t.attached) sql::exec(db, "DETACH DATABASE " + s);
    t.attached.clear();
  };
  for (KeyedFile* f : files) {
    const std::string& s = schemas[f->d_->canon];
    if (s == "main" || std::find(t.attached.begin(), t.attached.end(), s) != t.attached.end()) continue;
    sqlite3_stmt* st = nullptr;
    int rc = sqlite3_prepare_v2(db, ("ATTACH DATABASE ?1 AS " + s).c_str(), -1, &st, nullptr);
    if (rc == SQLITE_OK) {
      sqlite3_bind_text(st, 1, f->d_->canon.c_str(), -1, SQLITE_TRANSIENT);
      rc = sqlite3_step(st) == SQLITE_DONE ? SQLITE_OK : sqlite3_extended_errcode(db);
    }
    sqlite3_finalize(st);
    if (rc != SQLITE_OK) {
      detachAll();
      return fromSqlite(rc);
    }
    t.attached.push_back(s);
    sql::exec(db, f->d_->durable ? "PRAGMA " + s + ".journal_mode=DELETE; PRAGMA " + s + ".synchronous=FULL"
                                 : "PRAGMA " + s + ".journal_mode=MEMORY; PRAGMA " + s + ".synchronous=OFF");
  }
  sqlite3_busy_timeout(db, waitSeconds < 0 ? 0 : waitSeconds * 1000);
  int rc = sql::exec(db, "BEGIN IMMEDIATE");
  sqlite3_busy_timeout(db, kBusyMillis);
  if (rc != SQLITE_OK) {
    detachAll();
    return fromSqlite(rc);
  }
  t.db = db;
  t.owner = owner;
  t.files = files;
  t.active = true;
  for (KeyedFile* f : files) {
    auto& d = *f->d_;
    d.tx = &t;
    if (f != owner) {
      d.txCache = std::make_unique<sql::StatementCache>(db, schemas[d.canon]);
      d.cur = d.txCache.get();
    }
    d.touch();
    d.dropPage();
  }
  return Err::Ok;
}

Err Transaction::commit() {
  Impl& t = *d_;
  if (!t.active) return Err::NoTransaction;
  int rc = sql::exec(t.db, "COMMIT");
  if ((rc & 0xFF) == SQLITE_BUSY) return Err::FileLocked;  // still open: commit again or roll back
  if (rc != SQLITE_OK) {
    t.rollback();
    return fromSqlite(rc);
  }
  t.end();
  return Err::Ok;
}

Err Transaction::rollback() { return d_->rollback(); }

}  // namespace qb::store
