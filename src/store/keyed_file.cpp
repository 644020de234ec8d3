// The keyed record store over SQLite: error texts, files (create, open,
// close, remove, empty, pack, key rebuild, count), holds, locks and streams.
// Reading is in sqlite_cursor.cpp, writing in sqlite_writes.cpp, transactions
// in sqlite_transaction.cpp; docs/store.md describes the on-disk shape.

#include <atomic>

#include "store/sqlite_store.h"

namespace qb::store {

namespace {
constexpr const char* kOtherVersion = "keys encoded by another version";
constexpr const char* kDeferralLeft = "key indexes deferred by a program that did not finish";
}  // namespace

using namespace sqlstore;

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
    case Err::DiskFull: return "No space left on device";
  }
  return "Unknown error";
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
  // Indexes deferred by a handle that still has the file open are missing
  // on purpose; when that handle is gone they are to be built.
  unsigned deferral = deferralNoted();
  if (deferral != 0 && !deferrerAlive()) return fail(Err::DamagedKeys, kDeferralLeft);
  for (std::size_t k = 0; k < nk; ++k) {
    auto it = indexes.find(indexName(static_cast<int>(k)));
    if (it == indexes.end() && (deferral & (1u << k))) continue;
    if (it == indexes.end() || it->second != layout.keys[k].unique)
      return fail(Err::DamagedKeys, "index " + indexName(static_cast<int>(k)) + " missing or wrong");
  }
  {
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, "SELECT value FROM main.meta WHERE name='keycode'", -1, &s, nullptr);
    bool ok = s && sqlite3_step(s) == SQLITE_ROW && sqlite3_column_int(s, 0) == kKeyEncodingVersion;
    sqlite3_finalize(s);
    if (!ok) return fail(Err::DamagedKeys, kOtherVersion);
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

unsigned KeyedFile::Impl::deferralNoted() {
  sqlite3_stmt* s = nullptr;
  unsigned mask = 0;
  std::string q = "SELECT value FROM " + (cur ? schema() : std::string("main")) + ".meta WHERE name='deferred'";
  if (sqlite3_prepare_v2(cur ? cur->db() : db, q.c_str(), -1, &s, nullptr) == SQLITE_OK &&
      sqlite3_step(s) == SQLITE_ROW)
    mask = static_cast<unsigned>(sqlite3_column_int64(s, 0));
  sqlite3_finalize(s);
  return mask;
}

bool KeyedFile::Impl::deferrerAlive() {
  if (deferred != 0) return true;
  return lock.isOpen() && lock.lockedByOther(FileLock::kDeferByte);
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
  // Every key built: a deferral left by a killed program is over.
  if (e == Err::Ok && only < 0) e = execAll("DELETE FROM " + s + ".meta WHERE name='deferred'");
  if (own) {
    int rc = sqlite3_exec(c, e == Err::Ok ? "COMMIT" : "ROLLBACK", nullptr, nullptr, nullptr);
    if (e == Err::Ok && rc != SQLITE_OK) e = sqlFail(rc, c);
  }
  if (e == Err::Ok && only < 0 && deferred != 0) {  // a deferral of this handle is over too
    deferred = 0;
    if (lock.isOpen()) lock.unlock(FileLock::kDeferByte);
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

bool KeyedFile::keysFromOtherVersion() const {
  return d_->detail == kOtherVersion || d_->detail == kDeferralLeft;
}

namespace {
std::atomic<int64_t> gMappedReads{0};
}  // namespace

void KeyedFile::setMappedReads(int64_t bytes) { gMappedReads = bytes > 0 ? bytes : 0; }

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
    // Files with texts get larger pages: a text then spans fewer overflow
    // pages, which are written and read with fewer system calls.
    std::string text = std::string(layout_.memo ? "PRAGMA page_size=16384;" : "") + "BEGIN;" + schemaSql(layout_);
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
  if (const int64_t map = gMappedReads)
    sql::exec(d.db, "PRAGMA main.mmap_size=" + std::to_string(map));
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
  d.deferred = 0;  // a deferral not completed is left to the next opener
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

// ---- deferred key indexes ----

unsigned KeyedFile::deferredKeys() const { return d_->deferred; }

Err KeyedFile::deferKeys(unsigned mask) {
  Impl& d = *d_;
  if (Err e = d.writable(); e != Err::Ok) return e;
  if (d.damaged) return Err::DamagedKeys;
  if (d.tx || d.streaming) return Err::TransactionActive;
  const std::size_t nk = layout_.keys.size();
  for (std::size_t k = 0; k < 32; ++k)
    if ((mask & (1u << k)) && (k >= nk || layout_.keys[k].unique))
      return d.fail(Err::IoError, "only existing keys that allow duplicates can be deferred");
  mask &= ~d.deferred;
  if (mask == 0) return Err::Ok;
  // The lock byte tells other openers that the deferral is alive; it is
  // taken before the deferral is noted, so that no opener sees the note
  // without it.
  if (d.lock.isOpen() && !d.lock.lockWait(FileLock::kDeferByte, false, 5)) return Err::FileLocked;
  const unsigned all = d.deferred | mask;
  d.own->clear();  // no statement may hold an index being dropped
  std::string text = "BEGIN IMMEDIATE; INSERT OR REPLACE INTO main.meta VALUES('deferred', " + std::to_string(all) + ");";
  for (std::size_t k = 0; k < nk; ++k)
    if (mask & (1u << k)) text += "DROP INDEX IF EXISTS main." + indexName(static_cast<int>(k)) + ";";
  text += "COMMIT;";
  int rc = sql::exec(d.db, text);
  if (rc != SQLITE_OK) {
    Err e = d.sqlFail(rc, d.db);
    if (!sqlite3_get_autocommit(d.db)) sql::exec(d.db, "ROLLBACK");
    if (d.deferred == 0 && d.lock.isOpen()) d.lock.unlock(FileLock::kDeferByte);
    return e;
  }
  d.deferred = all;
  d.touch();
  d.dropPage();
  return Err::Ok;
}

Err KeyedFile::completeKeys() {
  Impl& d = *d_;
  if (d.deferred == 0) return Err::Ok;
  if (Err e = d.writable(); e != Err::Ok) return e;
  if (d.tx) return Err::TransactionActive;
  const bool own = !d.streaming;
  d.own->clear();
  std::string text = own ? "BEGIN IMMEDIATE;" : "";
  for (std::size_t k = 0; k < layout_.keys.size(); ++k)
    if (d.deferred & (1u << k)) text += indexSql("main", layout_, static_cast<int>(k)) + ";";
  text += "DELETE FROM main.meta WHERE name='deferred';";
  if (own) text += "COMMIT;";
  int rc = sql::exec(d.db, text);
  if (rc != SQLITE_OK) {
    Err e = d.sqlFail(rc, d.db);
    if (own && !sqlite3_get_autocommit(d.db)) sql::exec(d.db, "ROLLBACK");
    return e;
  }
  d.deferred = 0;
  if (d.lock.isOpen()) d.lock.unlock(FileLock::kDeferByte);
  d.touch();
  d.dropPage();
  return Err::Ok;
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

}  // namespace qb::store
