#pragma once
// Inside the keyed record store (store/keyed_file.h): the state of an open
// file and of a transaction, and the helpers the store's sources share.
// Included only by the store's own sources (keyed_file.cpp, sqlite_*.cpp).

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "store/file_lock.h"
#include "store/keyed_file.h"
#include "store/sqlite_db.h"
#include "store/sqlite_keys.h"

namespace qb::store {

namespace sqlstore {

constexpr const char* kFormat = "quillbox-store 1";
constexpr int kBusyMillis = 10000;    // wait for another writer's commit
constexpr int kMaxAttached = 10;      // SQLite's default limit of attached databases
constexpr int kVerifyRows = 2000;     // records whose keys are checked on open

inline std::string keyCol(int k) { return std::string("k").append(std::to_string(k)); }
inline std::string indexName(int k) { return std::string("records_k").append(std::to_string(k)); }

// Write generations shared by every handle of one file in this process, so
// that rows read ahead by one handle are dropped after a write by another.
using Generation = std::shared_ptr<std::atomic<uint64_t>>;
Generation generationFor(const std::string& canon);

std::string canonicalPath(const std::string& path);  // the path itself when it cannot be resolved
std::string directoryOf(const std::string& path);    // "." for a bare name

// Checks a file name and its directory; `exists` tells whether the file is
// there.
Err checkPath(const std::string& path, bool& exists);

// The store's error kind for an SQLite result code.
Err fromSqlite(int rc);
// The same for a failure on connection `db`: a write refused for want of
// space (or by the file size limit) is DiskFull; the system's text for the
// cause is kept for lastSystemError().
Err fromSqliteOn(int rc, sqlite3* db);

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
  OpAtPos,
  OpAtRank,      // the record a number of records after a lower bound
  OpAtRankHi,    // the same below an upper bound
  OpCountFrom,   // records of a key from a lower bound
  OpCountRange,  // records of a key from a lower bound and below an upper one
  OpUpdate = 64,  // + key mask << 8
};
inline int sid(int op, int key = -1) { return op < OpUpdate ? op * 256 + key + 1 : op; }

struct Row {
  int64_t pos = 0;
  uint64_t gen = 0;  // write generation of the file when the row was read
  std::string image;
  std::string memo;
};

// The tables of a new store file (indexes come from indexSql()).
std::string schemaSql(const Layout& l);

// Records out of a key (NULL) are not in its index at all, so appending costs
// no index work.
std::string indexSql(const std::string& schema, const Layout& l, int k);

}  // namespace sqlstore

// An open transaction over several files.
struct Transaction::Impl {
  bool active = false;
  sqlite3* db = nullptr;  // the first file's connection, the others attached to it
  KeyedFile* owner = nullptr;
  std::vector<KeyedFile*> files;
  std::vector<std::string> attached;  // schema names to detach at the end
  void end();
  Err rollback();
};

// An open file: its connection, where its statements go, its cursor with the
// rows read ahead, its holds and locks.
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
  unsigned deferred = 0;  // keys whose indexes wait for completeKeys()
  std::string canon;
  sqlstore::Generation gen;
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
  sqlstore::Row* atRow = nullptr;
  bool boundIsRow = false;  // the bounds are a record read (not a value set)
  uint64_t boundGen = 0;    // and the file's write generation when it was read

  // Rows read ahead in one direction.
  std::vector<sqlstore::Row> page;
  std::size_t pageLen = 0, pageAt = 0;
  int pageDir = 0;
  uint64_t pageGen = 0;
  int fetchSize = 0;
  int runDoneDir = 0;  // the page ends with the last record of its key value (in this direction)

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
    return sqlstore::fromSqliteOn(rc, on ? on : db);
  }
  const std::string& schema() const { return cur->schema(); }
  void touch() { ++*gen; }
  // Puts the cursor at a record read: its key value is encoded from its
  // image, which is what the key column holds.
  void boundsAt(sqlstore::Row& r) {
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
    runDoneDir = 0;
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
  Err fetch(int dir, int n, bool runDone = false);
  Err unlockedStep(KeyedFile& f, int dir);
  Err heldStep(KeyedFile& f, int dir);
  enum class Bounds { FromRow, PageRow, Keep };
  void take(KeyedFile& f, sqlstore::Row& r, Bounds b = Bounds::FromRow);
  Err readByPos(int64_t pos, sqlstore::Row& r, bool& found);
  Err acquireHold(int64_t pos, int seconds);
  void releaseHold();
  Err writable() const;
  Err verifyKeys();
  Err rebuild(int only);
  // The deferral noted in the file (0: none) and whether the handle that
  // made it still has the file open.
  unsigned deferralNoted();
  bool deferrerAlive();
  static void keyFunction(sqlite3_context* ctx, int, sqlite3_value** argv);
  Err execAll(const std::string& text);
  void cutMemo(std::string& memo) const {
    if (memo.size() > kMaxMemo) memo.resize(kMaxMemo);
  }
  void applyDurability() {
    if (durable) {
      sql::exec(db, "PRAGMA main.journal_mode=DELETE; PRAGMA main.synchronous=FULL");
    } else {
      // Work files need no durability, but their undo journal stays on
      // disk: a journal in memory grows with the file during a key build.
      sql::exec(db, "PRAGMA main.journal_mode=TRUNCATE; PRAGMA main.synchronous=OFF");
    }
  }
};

}  // namespace qb::store
