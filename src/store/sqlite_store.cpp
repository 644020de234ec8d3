// Helpers shared by the store's sources: file names and paths, write
// generations, SQLite result codes, the schema of a store file and the
// statements on it.

#include "store/sqlite_store.h"

#include <sys/resource.h>
#include <sys/statvfs.h>

namespace qb::store::sqlstore {

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

namespace {
thread_local std::string lastSystemErrorText;
}

// Whether a failed write ran out of room: SQLite does not always keep the
// system's error number of a failed write, so the file size limit and the
// free space of the file's directory are looked at. The cause's text in `why`.
bool outOfRoom(sqlite3* db, int sys, std::string& why) {
  if (sys == ENOSPC || sys == EDQUOT || sys == EFBIG) {
    why = std::strerror(sys);
    return true;
  }
  struct rlimit rl {};
  if (::getrlimit(RLIMIT_FSIZE, &rl) == 0 && rl.rlim_cur != RLIM_INFINITY) {
    why = std::strerror(EFBIG);
    return true;
  }
  const char* file = db ? sqlite3_db_filename(db, "main") : nullptr;
  struct statvfs vfs {};
  if (file && *file && ::statvfs(directoryOf(file).c_str(), &vfs) == 0 &&
      static_cast<uint64_t>(vfs.f_bavail) * vfs.f_frsize < (1u << 20)) {
    why = std::strerror(ENOSPC);
    return true;
  }
  return false;
}

Err fromSqliteOn(int rc, sqlite3* db) {
  int sys = db ? sqlite3_system_errno(db) : 0;
  int primary = rc & 0xFF;
  std::string why;
  if ((primary == SQLITE_FULL && (outOfRoom(db, sys, why) || true)) ||
      (primary == SQLITE_IOERR && outOfRoom(db, sys, why))) {
    lastSystemErrorText = !why.empty() ? why : errorText(Err::DiskFull);
    return Err::DiskFull;
  }
  lastSystemErrorText = primary == SQLITE_IOERR && sys != 0 ? std::strerror(sys) : "";
  return fromSqlite(rc);
}

// The memo comes last: reading the image or the key columns of a record then
// never walks the pages of a long memo.
std::string schemaSql(const Layout& l) {
  std::string s =
      "CREATE TABLE meta(name TEXT PRIMARY KEY, value TEXT) WITHOUT ROWID;"
      "CREATE TABLE records(pos INTEGER PRIMARY KEY AUTOINCREMENT, image BLOB NOT NULL";
  for (std::size_t k = 0; k < l.keys.size(); ++k) s += ", " + keyCol(static_cast<int>(k)) + " BLOB";
  s += ", memo BLOB);";
  return s;
}

std::string indexSql(const std::string& schema, const Layout& l, int k) {
  return std::string("CREATE ") + (l.keys[k].unique ? "UNIQUE " : "") + "INDEX " + schema + "." + indexName(k) +
         " ON records(" + keyCol(k) + ") WHERE " + keyCol(k) + " IS NOT NULL";
}

}  // namespace qb::store::sqlstore

namespace qb::store {

using namespace sqlstore;

const std::string& lastSystemError() { return lastSystemErrorText; }

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
      // The record at a position and the records after it with its key value.
      case OpAtPos:
        return selectRow(key) + "WHERE " + kc + " = (SELECT " + kc + " FROM " + s + ".records WHERE pos = ?3)" +
               " AND pos >= ?3 ORDER BY pos LIMIT ?2";
      // Ranks: the index is walked between the bounds, no record is read.
      case OpAtRank:
        return "SELECT pos FROM " + s + ".records WHERE " + kc + " >= ?1 ORDER BY " + kc + ", pos LIMIT 1 OFFSET ?3";
      case OpAtRankHi:
        return "SELECT pos FROM " + s + ".records WHERE " + kc + " >= ?1 AND " + kc + " < ?2 ORDER BY " + kc +
               ", pos LIMIT 1 OFFSET ?3";
      case OpCountFrom: return "SELECT count(*) FROM " + s + ".records WHERE " + kc + " >= ?1";
      case OpCountRange:
        return "SELECT count(*) FROM " + s + ".records WHERE " + kc + " >= ?1 AND " + kc + " < ?2";
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

}  // namespace qb::store
