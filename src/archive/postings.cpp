#include "archive/postings.h"

#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <unordered_set>

#include "archive/file_table.h"
#include "store/file_lock.h"
#include "store/sqlite_db.h"

namespace qb::store {

namespace {

constexpr const char* kFormat = "quillbox-postings 1";
// A word's last chunk grows by appending while it is smaller than this;
// then a new chunk starts. Keeps partial runs from leaving many tiny rows.
constexpr std::size_t kChunkBytes = 2048;

enum Stmt {
  SelChunks, SelLastChunk, InsChunk, UpdChunk, DelChunk, SelMessage, InsMessage, DelMessage,
  CountMessages, SumPostings, SelAllMessages, WordCounts, DelWordChunks, SelMessagesFrom, UpdMessage
};

const char* statementText(int id) {
  switch (id) {
    case SelChunks: return "SELECT first, ids FROM words WHERE wordid=?1 ORDER BY first";
    case SelLastChunk: return "SELECT first, n, ids FROM words WHERE wordid=?1 ORDER BY first DESC LIMIT 1";
    case InsChunk: return "INSERT OR REPLACE INTO words(wordid, first, n, ids) VALUES(?1, ?2, ?3, ?4)";
    case UpdChunk: return "UPDATE words SET n=?3, ids=?4 WHERE wordid=?1 AND first=?2";
    case DelChunk: return "DELETE FROM words WHERE wordid=?1 AND first=?2";
    case SelMessage: return "SELECT words FROM messages WHERE sysid=?1";
    case InsMessage: return "INSERT OR REPLACE INTO messages(sysid, words) VALUES(?1, ?2)";
    case DelMessage: return "DELETE FROM messages WHERE sysid=?1";
    case CountMessages: return "SELECT count(*) FROM messages";
    case SumPostings: return "SELECT coalesce(sum(n), 0) FROM words";
    case SelAllMessages: return "SELECT sysid FROM messages ORDER BY sysid";
    case WordCounts: return "SELECT wordid, sum(n) FROM words GROUP BY wordid ORDER BY wordid";
    case DelWordChunks: return "DELETE FROM words WHERE wordid=?1";
    case SelMessagesFrom: return "SELECT sysid, words FROM messages WHERE sysid>?1 ORDER BY sysid LIMIT 2000";
    case UpdMessage: return "UPDATE messages SET words=?2 WHERE sysid=?1";
  }
  return "";
}

void putVarint(std::string& out, uint32_t v) {
  while (v >= 0x80) {
    out += static_cast<char>((v & 0x7F) | 0x80);
    v >>= 7;
  }
  out += static_cast<char>(v);
}

}  // namespace

struct Postings::Impl {
  sqlite3* db = nullptr;
  std::unique_ptr<sql::StatementCache> cache;
  FileLock lock;
  std::string path;
  bool inTransaction = false;

  sqlite3_stmt* stmt(int id) {
    return cache->get(id, [id] { return std::string(statementText(id)); });
  }
  Err fail() { return Err::IoError; }
};

void Postings::encode(const std::vector<uint32_t>& ids, std::string& out, uint32_t base) {
  uint32_t prev = base;
  for (uint32_t v : ids) {
    putVarint(out, v - prev);
    prev = v;
  }
}

void Postings::decode(const std::string& blob, uint32_t base, std::vector<uint32_t>& out) {
  uint32_t prev = base, v = 0;
  int shift = 0;
  for (unsigned char c : blob) {
    v |= static_cast<uint32_t>(c & 0x7F) << shift;
    if (c & 0x80) {
      shift += 7;
      if (shift > 28) shift = 28;  // a damaged varint cannot run away
      continue;
    }
    prev += v;
    out.push_back(prev);
    v = 0;
    shift = 0;
  }
}

Postings::Postings() : d_(std::make_unique<Impl>()) {}
Postings::~Postings() { close(); }

bool Postings::isOpen() const { return d_->db != nullptr; }
const std::string& Postings::path() const { return d_->path; }

Err Postings::open(Session& s, bool exclusive) {
  const std::string name = buildFileName(s, 29);
  if (name.empty()) return Err::InvalidName;
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(name).parent_path(), ec);
  Err r = open(name, exclusive);
  if (r == Err::AccessDenied) s.IndexingInProgress = 1;
  return r;
}

Err Postings::open(const std::string& path, bool exclusive) {
  close();
  if (!d_->lock.open(FileLock::pathFor(path))) return Err::PathNotFound;
  if (!d_->lock.tryLock(FileLock::kOpenByte, exclusive)) {
    d_->lock.close();
    return Err::AccessDenied;
  }
  if (sqlite3_open_v2(path.c_str(), &d_->db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
    close();
    return Err::AccessDenied;
  }
  sqlite3_busy_timeout(d_->db, 5000);
  d_->path = path;
  d_->cache = std::make_unique<sql::StatementCache>(d_->db, "main");
  int rc = sql::exec(d_->db,
                     "PRAGMA synchronous=NORMAL;"
                     "PRAGMA cache_size=-16000;"
                     "CREATE TABLE IF NOT EXISTS meta(name TEXT PRIMARY KEY, value TEXT) WITHOUT ROWID;"
                     "CREATE TABLE IF NOT EXISTS words(wordid INTEGER, first INTEGER, n INTEGER, ids BLOB,"
                     " PRIMARY KEY(wordid, first)) WITHOUT ROWID;"
                     "CREATE TABLE IF NOT EXISTS messages(sysid INTEGER PRIMARY KEY, words BLOB);");
  if (rc != SQLITE_OK) {
    close();
    return Err::BadFormat;
  }
  // A file of another shape (or of another program) is refused.
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(d_->db, "SELECT value FROM meta WHERE name='format'", -1, &st, nullptr);
  std::string format;
  if (st && sqlite3_step(st) == SQLITE_ROW) format = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
  sqlite3_finalize(st);
  if (format.empty()) {
    sql::exec(d_->db, std::string("INSERT OR REPLACE INTO meta VALUES('format', '") + kFormat + "')");
  } else if (format != kFormat) {
    close();
    return Err::LayoutDiffers;
  }
  return Err::Ok;
}

void Postings::close() {
  if (d_->inTransaction) rollback();
  d_->cache.reset();
  if (d_->db) sqlite3_close_v2(d_->db);
  d_->db = nullptr;
  d_->lock.close();
  d_->path.clear();
}

std::vector<uint32_t> Postings::messagesOf(uint32_t wordId) {
  std::vector<uint32_t> out;
  if (!d_->db) return out;
  sql::Use u(d_->stmt(SelChunks));
  if (!u) return out;
  sqlite3_bind_int64(u.get(), 1, wordId);
  std::string blob;
  bool sorted = true;
  while (sqlite3_step(u.get()) == SQLITE_ROW) {
    sql::columnBlob(u.get(), 1, blob);
    std::size_t before = out.size();
    decode(blob, 0, out);
    if (before > 0 && out.size() > before && out[before] <= out[before - 1]) sorted = false;
  }
  if (!sorted) {
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
  }
  return out;
}

bool Postings::wordsOf(uint32_t sysId, std::vector<uint32_t>& words) {
  words.clear();
  if (!d_->db) return false;
  sql::Use u(d_->stmt(SelMessage));
  if (!u) return false;
  sqlite3_bind_int64(u.get(), 1, sysId);
  if (sqlite3_step(u.get()) != SQLITE_ROW) return false;
  std::string blob;
  sql::columnBlob(u.get(), 0, blob);
  decode(blob, 0, words);
  return true;
}

bool Postings::indexed(uint32_t sysId) {
  if (!d_->db) return false;
  sql::Use u(d_->stmt(SelMessage));
  if (!u) return false;
  sqlite3_bind_int64(u.get(), 1, sysId);
  return sqlite3_step(u.get()) == SQLITE_ROW;
}

int64_t Postings::messageCount() {
  if (!d_->db) return 0;
  sql::Use u(d_->stmt(CountMessages));
  return u && sqlite3_step(u.get()) == SQLITE_ROW ? sqlite3_column_int64(u.get(), 0) : 0;
}

int64_t Postings::postingCount() {
  if (!d_->db) return 0;
  sql::Use u(d_->stmt(SumPostings));
  return u && sqlite3_step(u.get()) == SQLITE_ROW ? sqlite3_column_int64(u.get(), 0) : 0;
}

std::vector<uint32_t> Postings::indexedMessages() {
  std::vector<uint32_t> out;
  if (!d_->db) return out;
  sql::Use u(d_->stmt(SelAllMessages));
  if (!u) return out;
  while (sqlite3_step(u.get()) == SQLITE_ROW) out.push_back(static_cast<uint32_t>(sqlite3_column_int64(u.get(), 0)));
  return out;
}

Err Postings::eachWordCount(const std::function<void(uint32_t, int64_t)>& f) {
  if (!d_->db) return Err::NotOpen;
  sql::Use u(d_->stmt(WordCounts));
  if (!u) return Err::IoError;
  int rc;
  while ((rc = sqlite3_step(u.get())) == SQLITE_ROW)
    f(static_cast<uint32_t>(sqlite3_column_int64(u.get(), 0)), sqlite3_column_int64(u.get(), 1));
  return rc == SQLITE_DONE ? Err::Ok : Err::IoError;
}

Err Postings::begin() {
  if (!d_->db) return Err::NotOpen;
  if (d_->inTransaction) return Err::TransactionActive;
  if (sql::exec(d_->db, "BEGIN IMMEDIATE") != SQLITE_OK) return Err::FileLocked;
  d_->inTransaction = true;
  return Err::Ok;
}

Err Postings::commit() {
  if (!d_->inTransaction) return Err::NoTransaction;
  d_->inTransaction = false;
  if (sql::exec(d_->db, "COMMIT") != SQLITE_OK) {
    sql::exec(d_->db, "ROLLBACK");
    return Err::IoError;
  }
  return Err::Ok;
}

void Postings::rollback() {
  if (!d_->inTransaction) return;
  d_->inTransaction = false;
  sql::exec(d_->db, "ROLLBACK");
}

Err Postings::addMessage(uint32_t sysId, const std::vector<uint32_t>& wordIds) {
  if (!d_->db) return Err::NotOpen;
  std::string blob;
  encode(wordIds, blob);
  sql::Use u(d_->stmt(InsMessage));
  if (!u) return Err::IoError;
  sqlite3_bind_int64(u.get(), 1, sysId);
  sql::bindBlob(u.get(), 2, blob);
  return sqlite3_step(u.get()) == SQLITE_DONE ? Err::Ok : Err::IoError;
}

namespace {

Err writeChunk(sqlite3_stmt* st, uint32_t wordId, uint32_t first, std::size_t n, const std::string& blob) {
  sql::Use u(st);
  if (!u) return Err::IoError;
  sqlite3_bind_int64(st, 1, wordId);
  sqlite3_bind_int64(st, 2, first);
  sqlite3_bind_int64(st, 3, static_cast<int64_t>(n));
  sql::bindBlob(st, 4, blob);
  return sqlite3_step(st) == SQLITE_DONE ? Err::Ok : Err::IoError;
}

}  // namespace

Err Postings::addPostings(uint32_t wordId, const std::vector<uint32_t>& sysIds) {
  if (!d_->db) return Err::NotOpen;
  if (sysIds.empty()) return Err::Ok;
  uint32_t first = 0;
  std::size_t n = 0;
  std::string blob;
  bool found = false;
  {
    sql::Use u(d_->stmt(SelLastChunk));
    if (!u) return Err::IoError;
    sqlite3_bind_int64(u.get(), 1, wordId);
    if (sqlite3_step(u.get()) == SQLITE_ROW) {
      found = true;
      first = static_cast<uint32_t>(sqlite3_column_int64(u.get(), 0));
      n = static_cast<std::size_t>(sqlite3_column_int64(u.get(), 1));
      sql::columnBlob(u.get(), 2, blob);
    }
  }
  if (found) {
    std::vector<uint32_t> last;
    decode(blob, 0, last);
    if (!last.empty() && last.back() < sysIds.front()) {
      // Appended to the last chunk while that is small, so that partial
      // runs do not leave many tiny rows.
      if (blob.size() < kChunkBytes) {
        encode(sysIds, blob, last.back());
        return writeChunk(d_->stmt(UpdChunk), wordId, first, n + sysIds.size(), blob);
      }
    } else {
      // Messages indexed out of order: the word's list is merged.
      std::vector<uint32_t> all = messagesOf(wordId);
      all.insert(all.end(), sysIds.begin(), sysIds.end());
      std::sort(all.begin(), all.end());
      all.erase(std::unique(all.begin(), all.end()), all.end());
      return rewriteWord(wordId, all);
    }
  }
  blob.clear();
  encode(sysIds, blob);
  return writeChunk(d_->stmt(InsChunk), wordId, sysIds.front(), sysIds.size(), blob);
}

Err Postings::rewriteWord(uint32_t wordId, const std::vector<uint32_t>& ids) {
  Impl& d = *d_;
  {
    sql::Use u(d.stmt(DelWordChunks));
    if (!u) return Err::IoError;
    sqlite3_bind_int64(u.get(), 1, wordId);
    if (sqlite3_step(u.get()) != SQLITE_DONE) return Err::IoError;
  }
  constexpr std::size_t kPerChunk = 32768;
  for (std::size_t at = 0; at < ids.size(); at += kPerChunk) {
    std::vector<uint32_t> part(ids.begin() + static_cast<long>(at),
                               ids.begin() + static_cast<long>(std::min(ids.size(), at + kPerChunk)));
    std::string blob;
    Postings::encode(part, blob);
    if (Err r = writeChunk(d.stmt(InsChunk), wordId, part.front(), part.size(), blob); r != Err::Ok) return r;
  }
  return Err::Ok;
}

Err Postings::removeMessages(const std::vector<uint32_t>& sysIds, std::unordered_map<uint32_t, int32_t>& removed) {
  if (!d_->db) return Err::NotOpen;
  // The words of the messages tell which posting lists change; each list
  // is then rewritten once.
  std::unordered_map<uint32_t, std::vector<uint32_t>> byWord;
  std::vector<uint32_t> words;
  for (uint32_t id : sysIds) {
    if (!wordsOf(id, words)) continue;
    for (uint32_t w : words) byWord[w].push_back(id);
    sql::Use u(d_->stmt(DelMessage));
    if (!u) return Err::IoError;
    sqlite3_bind_int64(u.get(), 1, id);
    if (sqlite3_step(u.get()) != SQLITE_DONE) return Err::IoError;
  }
  for (auto& [w, gone] : byWord) {
    std::sort(gone.begin(), gone.end());
    std::vector<uint32_t> ids = messagesOf(w), kept;
    kept.reserve(ids.size());
    std::set_difference(ids.begin(), ids.end(), gone.begin(), gone.end(), std::back_inserter(kept));
    if (kept.size() == ids.size()) continue;
    if (Err r = rewriteWord(w, kept); r != Err::Ok) return r;
    removed[w] += static_cast<int32_t>(ids.size() - kept.size());
  }
  return Err::Ok;
}

Err Postings::removeWords(const std::vector<uint32_t>& wordIds, std::unordered_map<uint32_t, int32_t>& removed) {
  if (!d_->db) return Err::NotOpen;
  if (wordIds.empty()) return Err::Ok;
  std::unordered_set<uint32_t> gone(wordIds.begin(), wordIds.end());
  for (uint32_t w : wordIds) {
    removed[w] += static_cast<int32_t>(messagesOf(w).size());
    if (Err r = rewriteWord(w, {}); r != Err::Ok) return r;
  }
  // One pass over the messages takes the words out of their lists.
  int64_t after = -1;
  for (;;) {
    std::vector<std::pair<uint32_t, std::string>> changed;
    bool any = false;
    {
      sql::Use u(d_->stmt(SelMessagesFrom));
      if (!u) return Err::IoError;
      sqlite3_bind_int64(u.get(), 1, after);
      std::string blob;
      std::vector<uint32_t> words, kept;
      while (sqlite3_step(u.get()) == SQLITE_ROW) {
        any = true;
        auto id = static_cast<uint32_t>(sqlite3_column_int64(u.get(), 0));
        after = id;
        sql::columnBlob(u.get(), 1, blob);
        words.clear();
        decode(blob, 0, words);
        kept.clear();
        for (uint32_t w : words)
          if (!gone.count(w)) kept.push_back(w);
        if (kept.size() == words.size()) continue;
        std::string out;
        encode(kept, out);
        changed.emplace_back(id, std::move(out));
      }
    }
    for (auto& [id, blob] : changed) {
      sql::Use u(d_->stmt(UpdMessage));
      if (!u) return Err::IoError;
      sqlite3_bind_int64(u.get(), 1, id);
      sql::bindBlob(u.get(), 2, blob);
      if (sqlite3_step(u.get()) != SQLITE_DONE) return Err::IoError;
    }
    if (!any) break;
  }
  return Err::Ok;
}

std::string Postings::mark(const std::string& name) {
  std::string v;
  if (!d_->db) return v;
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(d_->db, "SELECT value FROM meta WHERE name=?1", -1, &st, nullptr);
  if (!st) return v;
  sqlite3_bind_text(st, 1, name.c_str(), -1, SQLITE_TRANSIENT);
  if (sqlite3_step(st) == SQLITE_ROW && sqlite3_column_text(st, 0))
    v = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
  sqlite3_finalize(st);
  return v;
}

Err Postings::setMark(const std::string& name, const std::string& value) {
  if (!d_->db) return Err::NotOpen;
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(d_->db, "INSERT OR REPLACE INTO meta(name, value) VALUES(?1, ?2)", -1, &st, nullptr);
  if (!st) return Err::IoError;
  sqlite3_bind_text(st, 1, name.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_text(st, 2, value.c_str(), -1, SQLITE_TRANSIENT);
  int rc = sqlite3_step(st);
  sqlite3_finalize(st);
  return rc == SQLITE_DONE ? Err::Ok : Err::IoError;
}

Err Postings::clear() {
  if (!d_->db) return Err::NotOpen;
  return sql::exec(d_->db, "DELETE FROM words; DELETE FROM messages;") == SQLITE_OK ? Err::Ok : Err::IoError;
}

}  // namespace qb::store
