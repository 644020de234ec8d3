// The keyed record store: add, append, put, delete and the duplicate test.

#include "store/sqlite_store.h"

namespace qb::store {

using namespace sqlstore;

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

}  // namespace qb::store
