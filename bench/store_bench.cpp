// Store benchmark: the keyed record store against plain SQLite doing the same
// work with hand-written SQL (same rows, same key encodings, same indexes,
// same journal and sync settings).
//
//   store_bench [records] [directory]
//
// Phases: add the MsgNmbr headers in transactions of 400 writes; read them
// back in every key order; read pages of 50 rows from 1000 random positions
// of MSG:DateKey and of MSG:FromKey; get 20000 random headers by MSG:IdKey.
// Prints per phase our time, the baseline's time and their ratio, and the
// peak memory of the process.

#include <sqlite3.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "store/keyed_file.h"
#include "archive/records.h"

using qb::text::upper1252;

using namespace qb::store;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kBatch = 400;
constexpr int kPages = 1000;
constexpr int kPageRows = 50;
constexpr int kGets = 20000;

// ---- realistic headers ------------------------------------------------------

const char* kWords[] = {"Printer", "modem", "Windows", "help", "driver", "Re:", "crash", "upgrade", "network",
                        "sound", "Card", "BIOS", "install", "error", "disk", "memory", "font", "mouse", "video",
                        "setup", "\xC9t\xE9", "caf\xE9", "r\xE9seau", "M\xFCller", "question", "beta", "patch"};
const char* kFirst[] = {"John", "Mary", "Peter", "anna", "KARL", "Sue", "Bob", "\xC9mile", "J\xF6rg", "Li", "Ann"};
const char* kLast[] = {"Smith", "jones", "Brown", "Miller", "davis", "Garcia", "Wilson", "Moore", "Taylor", "Lee"};

std::vector<MsgNmbr> makeHeaders(int n) {
  std::mt19937 rng(4711);
  auto pick = [&](int m) { return static_cast<int>(rng() % static_cast<unsigned>(m)); };
  int persons = 3000;
  std::vector<std::string> names;
  for (int p = 0; p < persons; ++p)
    names.push_back(std::string(kFirst[p % 11]) + " " + kLast[(p / 11) % 10] + std::to_string(p % 97));
  struct Thread {
    uint32_t number;
    std::string subject;
    uint32_t section;
    uint32_t last;
  };
  std::vector<Thread> threads;
  std::vector<MsgNmbr> out;
  out.reserve(static_cast<std::size_t>(n));
  int32_t day = 71000;
  for (int i = 0; i < n; ++i) {
    if (threads.empty() || pick(8) == 0) {
      std::string subject = std::string(kWords[pick(27)]) + " " + kWords[pick(27)];
      threads.push_back({static_cast<uint32_t>(300000 + threads.size()), subject, static_cast<uint32_t>(1 + pick(20)), 0});
    }
    Thread& t = threads[threads.size() - 1 - static_cast<std::size_t>(pick(std::min<int>(40, static_cast<int>(threads.size()))))];
    MsgNmbr m;
    m.MSGNUMBER = 1000000 + static_cast<uint32_t>(i) * 3 + static_cast<uint32_t>(pick(3));
    m.SECSYSID = t.section;
    m.REFNUMBER = t.last;
    m.THREADNUMBER = t.number;
    m.THREADALPHA = t.subject;
    int from = pick(persons);
    m.FROMID = 250000 + static_cast<uint32_t>(from);
    m.FROMALPHA = names[static_cast<std::size_t>(from)];
    if (pick(3) == 0) {
      m.TOID = 0;
      m.TOALPHA = "All";
    } else {
      int to = pick(persons);
      m.TOID = 250000 + static_cast<uint32_t>(to);
      m.TOALPHA = names[static_cast<std::size_t>(to)];
    }
    if (pick(50) == 0) ++day;
    m.DATE = day - pick(3);
    m.DUMMY = static_cast<uint8_t>(pick(20) == 0 ? 1 + pick(2) : 0);
    t.last = m.MSGNUMBER;
    out.push_back(m);
  }
  return out;
}

// ---- hand-written baseline --------------------------------------------------

void be32(std::string& o, uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) o.push_back(static_cast<char>(v >> s));
}
void be32desc(std::string& o, uint32_t v) { be32(o, ~v); }
void str10(std::string& o, const FixedString<10>& s) {
  for (char c : s.bytes) o.push_back(static_cast<char>(upper1252(static_cast<uint8_t>(c))));
}

// The MsgNmbr keys written out by hand, byte for byte what the store stores.
void baselineKeys(const MsgNmbr& m, std::string k[7]) {
  for (int i = 0; i < 7; ++i) k[i].clear();
  be32desc(k[0], m.MSGNUMBER);
  str10(k[1], m.THREADALPHA), be32(k[1], m.THREADNUMBER), be32(k[1], m.MSGNUMBER);
  be32(k[2], m.SECSYSID), str10(k[2], m.THREADALPHA), be32(k[2], m.THREADNUMBER), be32(k[2], m.MSGNUMBER);
  str10(k[3], m.FROMALPHA), be32(k[3], m.FROMID), be32desc(k[3], m.MSGNUMBER);
  str10(k[4], m.TOALPHA), be32(k[4], m.TOID), be32desc(k[4], m.MSGNUMBER);
  be32desc(k[5], static_cast<uint32_t>(m.DATE) ^ 0x80000000u), be32desc(k[5], m.MSGNUMBER);
  k[6].push_back(static_cast<char>(m.DUMMY));
}

void check(int rc, sqlite3* db, const char* what) {
  if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
    std::fprintf(stderr, "baseline: %s: %s\n", what, sqlite3_errmsg(db));
    std::exit(1);
  }
}

sqlite3_stmt* prepare(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* s = nullptr;
  check(sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr), db, sql.c_str());
  return s;
}

struct Baseline {
  sqlite3* db = nullptr;
  explicit Baseline(const std::string& path) {
    check(sqlite3_open(path.c_str(), &db), db, "open");
    std::string ddl =
        "PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL;"
        "CREATE TABLE msg(pos INTEGER PRIMARY KEY, image BLOB NOT NULL, memo BLOB, k0 BLOB, k1 BLOB, k2 BLOB,"
        " k3 BLOB, k4 BLOB, k5 BLOB, k6 BLOB);"
        "CREATE UNIQUE INDEX msg_k0 ON msg(k0);";
    for (int k = 1; k < 7; ++k) ddl += "CREATE INDEX msg_k" + std::to_string(k) + " ON msg(k" + std::to_string(k) + ");";
    check(sqlite3_exec(db, ddl.c_str(), nullptr, nullptr, nullptr), db, "schema");
  }
  ~Baseline() { sqlite3_close(db); }

  // A work file the hand-written way: rows with their keys in one
  // transaction without syncing, indexes created afterwards.
  static void bulkLoad(const std::string& path, const std::vector<MsgNmbr>& rows) {
    sqlite3* db = nullptr;
    check(sqlite3_open(path.c_str(), &db), db, "open");
    check(sqlite3_exec(db,
                       "PRAGMA journal_mode=MEMORY; PRAGMA synchronous=OFF;"
                       "CREATE TABLE msg(pos INTEGER PRIMARY KEY, image BLOB NOT NULL, memo BLOB, k0 BLOB, k1 BLOB,"
                       " k2 BLOB, k3 BLOB, k4 BLOB, k5 BLOB, k6 BLOB); BEGIN",
                       nullptr, nullptr, nullptr),
          db, "schema");
    sqlite3_stmt* ins = prepare(db, "INSERT INTO msg(image, k0, k1, k2, k3, k4, k5, k6) VALUES(?,?,?,?,?,?,?,?)");
    std::string k[7];
    uint8_t image[60];
    for (const MsgNmbr& m : rows) {
      toImage(m, image);
      baselineKeys(m, k);
      sqlite3_bind_blob(ins, 1, image, 60, SQLITE_STATIC);
      for (int j = 0; j < 7; ++j) sqlite3_bind_blob(ins, j + 2, k[j].data(), static_cast<int>(k[j].size()), SQLITE_STATIC);
      check(sqlite3_step(ins), db, "insert");
      sqlite3_reset(ins);
    }
    sqlite3_finalize(ins);
    std::string ddl = "CREATE UNIQUE INDEX msg_k0 ON msg(k0);";
    for (int j = 1; j < 7; ++j) ddl += "CREATE INDEX msg_k" + std::to_string(j) + " ON msg(k" + std::to_string(j) + ");";
    check(sqlite3_exec(db, (ddl + "COMMIT").c_str(), nullptr, nullptr, nullptr), db, "indexes");
    sqlite3_close(db);
  }

  void add(const std::vector<MsgNmbr>& rows) {
    sqlite3_stmt* ins = prepare(db, "INSERT INTO msg(image, k0, k1, k2, k3, k4, k5, k6) VALUES(?,?,?,?,?,?,?,?)");
    std::string k[7];
    uint8_t image[60];
    for (std::size_t i = 0; i < rows.size(); ++i) {
      if (i % kBatch == 0) check(sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), db, "begin");
      toImage(rows[i], image);
      baselineKeys(rows[i], k);
      sqlite3_bind_blob(ins, 1, image, 60, SQLITE_STATIC);
      for (int j = 0; j < 7; ++j) sqlite3_bind_blob(ins, j + 2, k[j].data(), static_cast<int>(k[j].size()), SQLITE_STATIC);
      check(sqlite3_step(ins), db, "insert");
      sqlite3_reset(ins);
      if (i % kBatch == kBatch - 1 || i + 1 == rows.size())
        check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db, "commit");
    }
    sqlite3_finalize(ins);
  }

  uint64_t readAll(int key) {
    std::string kc = "k" + std::to_string(key);
    sqlite3_stmt* s = prepare(db, "SELECT pos, image FROM msg WHERE " + kc + " IS NOT NULL ORDER BY " + kc + ", pos");
    uint64_t sum = 0;
    MsgNmbr m;
    while (sqlite3_step(s) == SQLITE_ROW) {
      fromImage(m, static_cast<const uint8_t*>(sqlite3_column_blob(s, 1)));
      sum += m.MSGNUMBER;
    }
    sqlite3_finalize(s);
    return sum;
  }

  uint64_t pages(int key, const std::vector<int64_t>& starts) {
    std::string kc = "k" + std::to_string(key);
    sqlite3_stmt* at = prepare(db, "SELECT " + kc + " FROM msg WHERE pos = ?");
    sqlite3_stmt* page = prepare(db, "SELECT pos, image FROM msg WHERE (" + kc + ", pos) >= (?1, ?2) ORDER BY " + kc +
                                         ", pos LIMIT " + std::to_string(kPageRows));
    uint64_t sum = 0;
    MsgNmbr m;
    std::string kv;
    for (int64_t pos : starts) {
      sqlite3_bind_int64(at, 1, pos);
      if (sqlite3_step(at) != SQLITE_ROW) std::exit(2);
      kv.assign(static_cast<const char*>(sqlite3_column_blob(at, 0)), static_cast<std::size_t>(sqlite3_column_bytes(at, 0)));
      sqlite3_reset(at);
      sqlite3_bind_blob(page, 1, kv.data(), static_cast<int>(kv.size()), SQLITE_STATIC);
      sqlite3_bind_int64(page, 2, pos);
      while (sqlite3_step(page) == SQLITE_ROW) {
        fromImage(m, static_cast<const uint8_t*>(sqlite3_column_blob(page, 1)));
        sum += m.MSGNUMBER;
      }
      sqlite3_reset(page);
    }
    sqlite3_finalize(at);
    sqlite3_finalize(page);
    return sum;
  }

  uint64_t gets(const std::vector<uint32_t>& ids) {
    sqlite3_stmt* s = prepare(db, "SELECT pos, image FROM msg WHERE k0 = ?");
    uint64_t sum = 0;
    MsgNmbr m;
    std::string k;
    for (uint32_t id : ids) {
      k.clear();
      be32desc(k, id);
      sqlite3_bind_blob(s, 1, k.data(), static_cast<int>(k.size()), SQLITE_STATIC);
      if (sqlite3_step(s) == SQLITE_ROW) {
        fromImage(m, static_cast<const uint8_t*>(sqlite3_column_blob(s, 1)));
        sum += m.SECSYSID;
      }
      sqlite3_reset(s);
    }
    sqlite3_finalize(s);
    return sum;
  }
};

// ---- the store ----------------------------------------------------------------

struct Ours {
  Table<MsgNmbr> t;
  explicit Ours(const std::string& path) {
    if (t.create(path) != Err::Ok || t.open(path) != Err::Ok) {
      std::fprintf(stderr, "store: cannot create %s\n", path.c_str());
      std::exit(1);
    }
  }
  void add(const std::vector<MsgNmbr>& rows) {
    Transaction tx;
    for (std::size_t i = 0; i < rows.size(); ++i) {
      if (i % kBatch == 0 && tx.begin({&t}, 5) != Err::Ok) std::exit(3);
      t.rec = rows[i];
      if (t.add() != Err::Ok) std::exit(4);
      if ((i % kBatch == kBatch - 1 || i + 1 == rows.size()) && tx.commit() != Err::Ok) std::exit(5);
    }
  }
  uint64_t readAll(int key) {
    uint64_t sum = 0;
    t.set(key);
    while (t.next() == Err::Ok) sum += t.rec.MSGNUMBER;
    return sum;
  }
  uint64_t pages(int key, const std::vector<int64_t>& starts) {
    uint64_t sum = 0;
    for (int64_t pos : starts) {
      if (t.setAtPosition(key, pos) != Err::Ok) std::exit(6);
      for (int r = 0; r < kPageRows && t.next() == Err::Ok; ++r) sum += t.rec.MSGNUMBER;
    }
    return sum;
  }
  uint64_t gets(const std::vector<uint32_t>& ids) {
    uint64_t sum = 0;
    for (uint32_t id : ids) {
      t.rec.MSGNUMBER = id;
      if (t.get(MsgNmbr::IdKey) == Err::Ok) sum += t.rec.SECSYSID;
    }
    return sum;
  }
};

// A work file the store's way: streamed appends without syncing, then the
// keys built.
void workFile(const std::string& path, const std::vector<MsgNmbr>& rows) {
  Table<MsgNmbr> w;
  if (w.create(path) != Err::Ok || w.open(path) != Err::Ok) std::exit(7);
  w.setDurable(false);
  if (w.stream() != Err::Ok) std::exit(8);
  for (const MsgNmbr& m : rows) {
    w.rec = m;
    if (w.append() != Err::Ok) std::exit(9);
  }
  if (w.flush() != Err::Ok || w.buildKeys() != Err::Ok) std::exit(10);
}

// Wall-clock and CPU time of one run.
struct Time {
  double wall = 0, cpu = 0;
  Time& operator+=(const Time& o) {
    wall += o.wall;
    cpu += o.cpu;
    return *this;
  }
};

double cpuNow() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

Time timed(const std::function<void()>& f) {
  auto t0 = Clock::now();
  double c0 = cpuNow();
  f();
  return {std::chrono::duration<double>(Clock::now() - t0).count(), cpuNow() - c0};
}

// The machine is shared: read phases run several times, alternating between
// the store and the baseline, and the fastest run of each counts.
int rounds = 5;
void bestOf(const std::function<void()>& ours, const std::function<void()>& base, Time& a, Time& b) {
  for (int r = 0; r < rounds; ++r) {
    Time x = timed(ours), y = timed(base);
    if (r == 0 || x.wall < a.wall) a.wall = x.wall;
    if (r == 0 || x.cpu < a.cpu) a.cpu = x.cpu;
    if (r == 0 || y.wall < b.wall) b.wall = y.wall;
    if (r == 0 || y.cpu < b.cpu) b.cpu = y.cpu;
  }
}

long peakKb() {
  struct rusage ru {};
  getrusage(RUSAGE_SELF, &ru);
  return ru.ru_maxrss;
}

bool differ = false;
double worstWall = 0, worstCpu = 0;
void report(const std::string& phase, Time ours, Time base, uint64_t sumOurs, uint64_t sumBase) {
  double rw = base.wall > 0 ? ours.wall / base.wall : 0;
  double rc = base.cpu > 0 ? ours.cpu / base.cpu : 0;
  worstWall = std::max(worstWall, rw);
  worstCpu = std::max(worstCpu, rc);
  std::printf("%-30s %8.3f %8.3f %6.2f   %8.3f %8.3f %6.2f%s\n", phase.c_str(), ours.wall, base.wall, rw, ours.cpu,
              base.cpu, rc, sumOurs == sumBase ? "" : "   RESULTS DIFFER");
  if (sumOurs != sumBase) differ = true;
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  int n = argc > 1 ? std::atoi(argv[1]) : 200000;
  std::string dir = argc > 2 ? argv[2] : (std::filesystem::temp_directory_path() / ("qbbench" + std::to_string(getpid()))).string();
  std::filesystem::create_directories(dir);
  std::filesystem::remove(dir + "/IDX003.TPS");
  std::filesystem::remove(dir + "/IDX003.TPS.lck");
  std::filesystem::remove(dir + "/baseline.db");

  std::printf("store benchmark: %d MsgNmbr headers in %s\n", n, dir.c_str());
  std::vector<MsgNmbr> rows = makeHeaders(n);
  std::mt19937 rng(99);
  std::vector<int64_t> starts;
  for (int i = 0; i < kPages; ++i) starts.push_back(1 + static_cast<int64_t>(rng() % static_cast<unsigned>(n)));
  std::vector<uint32_t> ids;
  for (int i = 0; i < kGets; ++i) ids.push_back(rows[rng() % static_cast<unsigned>(n)].MSGNUMBER + (i % 10 == 0 ? 1 : 0));

  Ours ours(dir + "/IDX003.TPS");
  Baseline base(dir + "/baseline.db");
  std::printf("%-30s %26s   %26s\n", "", "wall-clock seconds", "CPU seconds");
  std::printf("%-30s %8s %8s %6s   %8s %8s %6s\n", "phase", "store", "sqlite", "ratio", "store", "sqlite", "ratio");

  Time a = timed([&] { ours.add(rows); });
  Time b = timed([&] { base.add(rows); });
  report("add, transactions of 400", a, b, 0, 0);

  static const char* keyNames[] = {"IdKey", "Threadkey", "SECkey", "FromKey", "ToKey", "DateKey", "StatusKey"};
  Time sa, sb;
  for (int k = 0; k < 7; ++k) {
    uint64_t x = 0, y = 0;
    bestOf([&] { x = ours.readAll(k); }, [&] { y = base.readAll(k); }, a, b);
    sa += a;
    sb += b;
    report(std::string("read all by ") + keyNames[k], a, b, x, y);
  }
  report("read all, every key", sa, sb, 0, 0);

  for (int k : {MsgNmbr::DateKey, MsgNmbr::FromKey}) {
    uint64_t x = 0, y = 0;
    bestOf([&] { x = ours.pages(k, starts); }, [&] { y = base.pages(k, starts); }, a, b);
    report(std::string("1000 pages of 50 by ") + keyNames[k], a, b, x, y);
  }
  {
    uint64_t x = 0, y = 0;
    bestOf([&] { x = ours.gets(ids); }, [&] { y = base.gets(ids); }, a, b);
    report("20000 gets by IdKey", a, b, x, y);
  }
  a = timed([&] { workFile(dir + "/IDX010.TPS", rows); });
  b = timed([&] { Baseline::bulkLoad(dir + "/bulk.db", rows); });
  report("work file: append, build keys", a, b, 0, 0);

  std::printf("worst ratio: wall-clock %.2f, CPU %.2f (target 1.5); peak memory %ld KB\n", worstWall, worstCpu,
              peakKb());
  std::filesystem::remove_all(dir);
  return differ ? 1 : 0;
}
