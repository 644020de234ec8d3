// The keyed record store: positioning and reading in key order (keyset
// paging with read-ahead), and holds taken by reads.

#include "store/sqlite_store.h"

namespace qb::store {

using namespace sqlstore;

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
Err KeyedFile::Impl::fetch(int dir, int n, bool runDone) {
  settle();
  runDoneDir = 0;
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
    bool skipEqual = runDone || (boundIsRow && layout.keys[order].unique && boundGen == gen->load());
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
    Err e = fetch(dir, n, same && runDoneDir == dir);
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
  d.order = key;
  // The record is read now and kept as the first row read ahead, with the
  // records after it that share its key value, so that the next reads take
  // them without asking the database again.
  int limit = layout_.memo ? 1 : 60;
  int got = 0;
  if (key >= 0) {
    sqlite3_stmt* s = d.stmt(OpAtPos, key);
    if (!s) return d.sqlFail(SQLITE_ERROR, d.cur->db());
    sql::Use use(s);
    sqlite3_bind_int64(s, 3, pos);
    sqlite3_bind_int(s, 2, limit);
    got = d.readRows(s, limit);
    if (got < 0) return d.lastErr;
  }
  if (got == 0) {  // file order, or a record that is in no key order
    if (d.page.empty()) d.page.emplace_back();
    bool found = false;
    if (Err e = d.readByPos(pos, d.page[0], found); e != Err::Ok) return e;
    if (!found) return Err::NoRecord;
    got = 1;
    limit = 2;  // the records after it are not known
  }
  d.boundsAt(d.page[0]);
  d.loP = pos - 1;
  d.boundIsRow = false;
  d.pageLen = static_cast<std::size_t>(got);
  d.pageAt = 0;
  d.pageDir = +1;
  d.pageGen = d.gen->load();
  d.fetchSize = 1;
  d.runDoneDir = got < limit && key >= 0 ? +1 : 0;
  return Err::Ok;
}

int64_t KeyedFile::countBefore(int key, int64_t pos, int parts) {
  Impl& d = *d_;
  if (!d.db || key < 0 || badKey(layout_, key)) return -1;
  d.settle();
  std::string lo;
  if (parts > 0) {
    storeBuffer();
    d.enc[key].encode(image_.data(), lo, parts);
  }
  const std::string kc = keyCol(key), table = d.schema() + ".records";
  sqlite3* db = d.cur->db();
  auto query = [&](const std::string& text, auto bind, auto read) {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, text.c_str(), -1, &s, nullptr) != SQLITE_OK) {
      sqlite3_finalize(s);
      return false;
    }
    bind(s);
    const bool ok = sqlite3_step(s) == SQLITE_ROW && sqlite3_column_type(s, 0) != SQLITE_NULL;
    if (ok) read(s);
    sqlite3_finalize(s);
    return ok;
  };
  std::string at;
  if (!query("SELECT " + kc + " FROM " + table + " WHERE pos = ?1",
             [&](sqlite3_stmt* s) { sqlite3_bind_int64(s, 1, pos); },
             [&](sqlite3_stmt* s) { sql::columnBlob(s, 0, at); }))
    return -1;
  if (at.compare(0, lo.size(), lo) != 0) return -1;  // the record lies outside the range
  int64_t n = -1;
  // Equal key values are in position order.
  query("SELECT (SELECT count(*) FROM " + table + " WHERE " + kc + " < ?1 AND " + kc + " >= ?2) + (SELECT count(*) FROM " +
            table + " WHERE " + kc + " = ?1 AND pos < ?3)",
        [&](sqlite3_stmt* s) {
          sql::bindBlob(s, 1, at);
          sql::bindBlob(s, 2, lo);
          sqlite3_bind_int64(s, 3, pos);
        },
        [&](sqlite3_stmt* s) { n = sqlite3_column_int64(s, 0); });
  return n;
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

// ---- ranks ----

namespace {
// Steps a statement that yields one integer; -1 on no row or failure.
int64_t singleInt(sqlite3_stmt* s) {
  if (!s) return -1;
  sql::Use use(s);
  return sqlite3_step(s) == SQLITE_ROW ? sqlite3_column_int64(s, 0) : -1;
}
}  // namespace

int64_t KeyedFile::countInRange(int key, int parts) {
  Impl& d = *d_;
  if (!d.db || key < 0 || badKey(layout_, key)) return 0;
  storeBuffer();
  std::string lo, hi;
  d.enc[key].encode(image_.data(), lo, parts);
  const bool bounded = prefixSuccessor(lo, hi);
  sqlite3_stmt* s = d.stmt(bounded ? OpCountRange : OpCountFrom, key);
  if (!s) return 0;
  sql::bindBlob(s, 1, lo);
  if (bounded) sql::bindBlob(s, 2, hi);
  return std::max<int64_t>(singleInt(s), 0);
}

int64_t KeyedFile::positionAtRank(int key, int64_t rank, int parts) {
  Impl& d = *d_;
  if (!d.db || key < 0 || badKey(layout_, key) || rank < 0) return 0;
  storeBuffer();
  std::string lo, hi;
  d.enc[key].encode(image_.data(), lo, parts);
  const bool bounded = prefixSuccessor(lo, hi);
  sqlite3_stmt* s = d.stmt(bounded ? OpAtRankHi : OpAtRank, key);
  if (!s) return 0;
  sql::bindBlob(s, 1, lo);
  if (bounded) sql::bindBlob(s, 2, hi);
  sqlite3_bind_int64(s, 3, rank);
  return std::max<int64_t>(singleInt(s), 0);
}

}  // namespace qb::store
