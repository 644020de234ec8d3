// Import benchmark: a large generated forum capture ("OzCIS" layout, several
// forums and sections, reply chains, bodies of 3 to 60 lines) imported into
// a fresh archive through the import run, against a baseline measured in the
// same run: plain SQLite writing the same headers (with the seven header
// indexes) and texts in transactions of 400, with the archive's sync
// settings.
//
//   import_bench [messages] [directory]
//
// Prints the conversion and storing times (wall clock and processor),
// messages per second, the ratio to the baseline, and the peak memory of
// the run. With QB_PEAKS=1 the peak memory is printed at every change of
// the run's phase.
#include <sqlite3.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "import/import_run.h"
#include "archive/archive_home.h"
#include "archive/config.h"
#include "archive/messages.h"
#include "archive/session.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

long peakKb() {
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  return ru.ru_maxrss;
}

// Processor time (user and system) of the process so far.
double cpuSeconds() {
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  return ru.ru_utime.tv_sec + ru.ru_stime.tv_sec + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

struct Rng {
  uint64_t s = 0x1234567;
  uint32_t below(uint32_t n) {
    s = s * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<uint32_t>((s >> 33) % n);
  }
};

const char* kForums[] = {"STARGAZE", "HOMEBREW", "GARDENING", "PHOTOFORUM", "OLDCARS"};
const char* kSections[] = {"General", "Telescopes", "Recipes", "Equipment", "Events", "Help", "Trading", "Off topic"};
const char* kNames[] = {"Harold Pennyworth 71234,567", "Greta Lindqvist 72345,1012", "Jonas Kettering 75020,331",
                        "Marta Oyelaran 76110,45",     "Ilse Brandt 70001,22",        "Tobias Wren 73321,900",
                        "Ann Lee 74444,101",           "Bob Ray 70707,77"};
const char* kWords[] = {"the",  "telescope", "mount",  "yeast",   "garden", "light",  "film", "lens",
                        "good", "question",  "answer", "weather", "night",  "winter", "beer", "engine"};
const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

struct Generated {
  std::vector<uint32_t> bodySizes;  // for the baseline
};

// Writes one capture file per forum; returns the bodies for the baseline.
Generated generate(const std::string& dir, int count) {
  Rng rng;
  Generated g;
  std::vector<std::ofstream> out;
  for (const char* f : kForums) out.emplace_back(dir + "/" + f + ".MSG", std::ios::binary);
  for (auto& o : out) o << "Captured session\r\n\r\n";
  for (int i = 0; i < count; ++i) {
    std::size_t fi = static_cast<std::size_t>(i) % 5;
    uint32_t number = 100000 + static_cast<uint32_t>(i);
    int sec = static_cast<int>(rng.below(8));
    std::string head = "#: " + std::to_string(number) + " S" + std::to_string(sec + 1) + "/" + kSections[sec] +
                       " (CIS:" + kForums[fi] + ")\r\n";
    char date[32];
    std::snprintf(date, sizeof date, "    %02u-%s-%02u  %02u:%02u\r\n", 1 + rng.below(28), kMonths[rng.below(12)],
                  90 + rng.below(9), rng.below(24), rng.below(60));
    std::string subject = std::string("Topic ") + kWords[rng.below(16)] + " " + std::to_string(rng.below(300));
    std::string sb = "Sb: ";
    if (i >= 5 && rng.below(3) != 0) sb += "#" + std::to_string(number - 5 * (1 + rng.below(4))) + "-";
    std::string body;
    int lines = 3 + static_cast<int>(rng.below(58));
    for (int l = 0; l < lines; ++l) {
      std::string line;
      int words = 4 + static_cast<int>(rng.below(10));
      for (int w = 0; w < words; ++w) line += std::string(w ? " " : "") + kWords[rng.below(16)];
      body += line + "\r\n";
    }
    out[fi] << head << date << sb << subject << "\r\n"
            << "Fm: " << kNames[rng.below(8)] << "\r\n"
            << "To: " << (rng.below(2) ? "All" : kNames[rng.below(8)]) << "\r\n\r\n"
            << body << "\r\n";
    g.bodySizes.push_back(static_cast<uint32_t>(body.size()));
  }
  return g;
}

void exec(sqlite3* db, const char* sql) {
  char* err = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &err) != SQLITE_OK) {
    std::fprintf(stderr, "baseline: %s\n", err ? err : "?");
    sqlite3_free(err);
    std::exit(1);
  }
}

// The same number of headers and texts written with plain SQLite.
double baseline(const std::string& dir, const Generated& g) {
  std::string hdr = dir + "/base_headers.db", txt = dir + "/base_texts.db";
  fs::remove(hdr);
  fs::remove(txt);
  sqlite3* db = nullptr;
  sqlite3_open(hdr.c_str(), &db);
  exec(db, ("ATTACH '" + txt + "' AS t").c_str());
  exec(db,
       "PRAGMA main.journal_mode=DELETE; PRAGMA main.synchronous=FULL;"
       "PRAGMA t.journal_mode=DELETE; PRAGMA t.synchronous=FULL;"
       "CREATE TABLE h(pos INTEGER PRIMARY KEY, image BLOB, k0 BLOB, k1 BLOB, k2 BLOB, k3 BLOB, k4 BLOB, k5 BLOB,"
       " k6 BLOB);"
       "CREATE UNIQUE INDEX h0 ON h(k0); CREATE INDEX h1 ON h(k1, pos); CREATE INDEX h2 ON h(k2, pos);"
       "CREATE INDEX h3 ON h(k3, pos); CREATE INDEX h4 ON h(k4, pos); CREATE INDEX h5 ON h(k5, pos);"
       "CREATE INDEX h6 ON h(k6, pos);"
       "CREATE TABLE t.x(pos INTEGER PRIMARY KEY, image BLOB, memo BLOB, k0 BLOB, k1 BLOB);"
       "CREATE UNIQUE INDEX t.x0 ON x(k0); CREATE INDEX t.x1 ON x(k1, pos);");
  sqlite3_stmt *ih = nullptr, *it = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO h(image,k0,k1,k2,k3,k4,k5,k6) VALUES(?,?,?,?,?,?,?,?)", -1, &ih, nullptr);
  sqlite3_prepare_v2(db, "INSERT INTO t.x(image,memo,k0,k1) VALUES(?,?,?,?)", -1, &it, nullptr);
  auto t0 = Clock::now();
  std::vector<unsigned char> image(60, ' ');
  std::string text(64000, 'x');
  for (std::size_t i = 0; i < g.bodySizes.size(); ++i) {
    if (i % 400 == 0) exec(db, "BEGIN");
    uint32_t n = 0xFFFFFFFFu - static_cast<uint32_t>(i);
    unsigned char key[24];
    for (int b = 0; b < 24; ++b) key[b] = static_cast<unsigned char>(n >> ((b % 4) * 8));
    sqlite3_bind_blob(ih, 1, image.data(), 60, SQLITE_STATIC);
    for (int k = 2; k <= 8; ++k) sqlite3_bind_blob(ih, k, key, k == 2 ? 4 : 24, SQLITE_TRANSIENT);
    sqlite3_step(ih);
    sqlite3_reset(ih);
    sqlite3_bind_blob(it, 1, image.data(), 12, SQLITE_STATIC);
    sqlite3_bind_blob(it, 2, text.data(), static_cast<int>(g.bodySizes[i]), SQLITE_STATIC);
    sqlite3_bind_blob(it, 3, key, 4, SQLITE_TRANSIENT);
    sqlite3_bind_blob(it, 4, key, 4, SQLITE_TRANSIENT);
    sqlite3_step(it);
    sqlite3_reset(it);
    if (i % 400 == 399 || i + 1 == g.bodySizes.size()) exec(db, "COMMIT");
  }
  auto t1 = Clock::now();
  sqlite3_finalize(ih);
  sqlite3_finalize(it);
  sqlite3_close(db);
  return seconds(t0, t1);
}

}  // namespace

int main(int argc, char** argv) {
  int count = argc > 1 ? std::atoi(argv[1]) : 20000;
  std::string base = argc > 2 ? argv[2] : (fs::temp_directory_path() / ("qb-import-bench-" + std::to_string(::getpid()))).string();
  fs::create_directories(base + "/in");
  Generated g = generate(base + "/in", count);
  uint64_t inputBytes = 0;
  for (auto& e : fs::directory_iterator(base + "/in")) inputBytes += e.file_size();

  qb::RecordingUI ui;
  qb::store::Session s(ui);
  std::string error;
  if (!qb::store::initHome(s, base + "/home", {}, error)) {
    std::fprintf(stderr, "import_bench: %s\n", error.c_str());
    return 1;
  }
  qb::store::Konfig(s, qb::store::KonfigAction::LoadGeneral);
  qb::store::Konfig(s, qb::store::KonfigAction::LoadDisplay);
  qb::store::SpeedVal(s, qb::store::SpeedAction::Compute);

  qb::import::ImportRequest req;
  req.typeName = "OzCIS";
  req.selectionMethod = 1;
  req.sourcePath = base + "/in";
  qb::import::ImportRun run(s, req);
  auto t0 = Clock::now(), tStore = t0;
  double c0 = cpuSeconds(), cStore = c0;
  bool storing = false;
  qb::import::RunPhase last = run.phase();
  while (run.step()) {
    if (getenv("QB_PEAKS") && run.phase() != last) {
      std::fprintf(stderr, "phase %d -> %d: peak %ld KB\n", int(last), int(run.phase()), peakKb());
      last = run.phase();
    }
    if (!storing && run.phase() >= qb::import::RunPhase::NextDatabase) {
      storing = true;
      tStore = Clock::now();
      cStore = cpuSeconds();
    }
  }
  auto t1 = Clock::now();
  double c1 = cpuSeconds();
  long runPeak = peakKb();
  const auto& st = run.stats();
  double total = seconds(t0, t1), conv = seconds(t0, tStore), store = seconds(tStore, t1);
  double base_s = baseline(base, g);

  std::printf("input: %d messages in 5 capture files, %.1f MB\n", count, inputBytes / 1e6);
  std::printf("imported %llu messages (%llu work records, %llu skipped)\n",
              static_cast<unsigned long long>(st.imported), static_cast<unsigned long long>(st.workRecords),
              static_cast<unsigned long long>(st.skipped));
  std::printf("conversion: %.2f s, processor %.2f s (%.0f messages/s)\n", conv, cStore - c0, st.workRecords / conv);
  std::printf("storing:    %.2f s, processor %.2f s (%.0f messages/s)\n", store, c1 - cStore, st.imported / store);
  std::printf("whole run:  %.2f s, processor %.2f s (%.0f messages/s)\n", total, c1 - c0, st.imported / total);
  std::printf("baseline (plain SQLite, same headers and texts): %.2f s (%.0f messages/s)\n", base_s, count / base_s);
  std::printf("ratio whole run / baseline: %.2f; storing / baseline: %.2f\n", total / base_s, store / base_s);
  std::printf("peak memory of the run: %ld KB\n", runPeak);
  if (argc <= 2) fs::remove_all(base);
  return st.imported == static_cast<uint64_t>(count) ? 0 : 1;
}
