// The keyed record store: transactions over several files.

#include "store/sqlite_store.h"

namespace qb::store {

using namespace sqlstore;

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
  // SQLite itself rolls back after some failures (disk full, I/O error)
  int rc = sqlite3_get_autocommit(db) ? SQLITE_OK : sql::exec(db, "ROLLBACK");
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
                                 : "PRAGMA " + s + ".journal_mode=TRUNCATE; PRAGMA " + s + ".synchronous=OFF");
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
  if (sqlite3_get_autocommit(t.db)) {  // already rolled back after a failed write
    t.end();
    return Err::IoError;
  }
  int rc = sql::exec(t.db, "COMMIT");
  if ((rc & 0xFF) == SQLITE_BUSY) return Err::FileLocked;  // still open: commit again or roll back
  if (rc != SQLITE_OK) {
    Err e = fromSqliteOn(rc, t.db);
    t.rollback();
    return e;
  }
  t.end();
  return Err::Ok;
}

Err Transaction::rollback() { return d_->rollback(); }

}  // namespace qb::store
