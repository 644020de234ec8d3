// Export benchmark: a mail database of generated mail (default 100,000
// mails of about 1 KB, some non-ASCII, a quarter sent by the owner) written
// as mbox through the export engine, against a baseline measured in the
// same run: reading the same headers and texts through the store in the
// same key order and writing them to a file unformatted.
//
//   export_bench [mails] [directory]
//
// Prints seconds, mails per second, megabytes per second and the ratio to
// the baseline.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "archive/archive_home.h"
#include "archive/config.h"
#include "archive/databases.h"
#include "archive/file_table.h"
#include "archive/messages.h"
#include "archive/record_access.h"
#include "archive/session.h"
#include "export/copy_msg.h"
#include "export/export_formats.h"
#include "text/datetime.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace qb::store;

double seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

struct Rng {
  uint64_t s = 0x9e3779b9;
  uint32_t below(uint32_t n) {
    s = s * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<uint32_t>((s >> 33) % n);
  }
};

const char* kWords[] = {"garden", "seeds", "meeting", "invoice", "Saturday", "spade", "coffee", "M\u00fcnchen",
                        "caf\u00e9", "plan", "letter", "answer", "weather", "train", "ticket", "\u20ac"};

// Fills the current mail database with `n` mails and 200 persons.
void generate(Session& s, uint32_t n) {
  OP_CLOSE(s, OpOpen, {4, 5, 13});
  Rng r;
  auto& p = s.Person();
  for (uint32_t i = 0; i < 200; ++i) {
    p.clear();
    p.rec.PERSONID = 1000 + i;
    p.rec.LASTNAME = "Person" + std::to_string(i);
    p.rec.FIRSTNAME = i % 7 ? "Ann" : "J\u00fcrgen";
    p.rec.ADDRESS = i % 5 ? "p" + std::to_string(i) + "@example.org" : std::to_string(70000 + i) + ",123";
    p.rec.PERSONSTRING = p.rec.LASTNAME.str() + " " + std::to_string(i);
    p.add();
  }
  auto& m = s.Mail();
  auto& t = s.MsgText();
  m.stream();
  t.stream();
  const int32_t first = qb::text::dayNumber(1995, 1, 1);
  for (uint32_t i = 0; i < n; ++i) {
    const uint32_t other = 1001 + r.below(199);
    const bool sent = r.below(4) == 0;
    m.clear();
    m.rec.MAILID = 300000 + i;
    m.rec.DATE = first + static_cast<int32_t>(i / 40);
    m.rec.TIME = qb::text::timeValue(r.below(24), r.below(60));
    std::string subject;
    for (int w = 0; w < 4; ++w) subject += std::string(kWords[r.below(16)]) + " ";
    m.rec.SUBJECT = subject;
    m.rec.FROMID = sent ? 1000 : other;
    m.rec.TOID = sent ? other : 1000;
    m.rec.PAIRID = other;
    m.rec.FROMALPHA = sent ? "Person0" : "Person" + std::to_string(other - 1000);
    m.rec.PAIRALPHA = "Person" + std::to_string(other - 1000);
    m.append();
    std::string text;
    while (text.size() < 1000) {
      for (int w = 0; w < 12; ++w) text += std::string(kWords[r.below(16)]) + " ";
      text += "\r\n";
    }
    t.clear();
    t.rec.MSGNUMBER = m.rec.MAILID;
    t.memo() = text;
    t.append();
  }
  m.flush();
  t.flush();
  m.buildKeys();
  t.buildKeys();
  OP_CLOSE(s, OpClose, {4, 5, 13});
}

// The baseline: the same records read in the same order, written raw.
uint64_t baseline(Session& s, const std::string& path) {
  OP_CLOSE(s, OpOpen, {4, 5, 13});
  std::ofstream out(path, std::ios::binary);
  uint64_t bytes = 0;
  auto& m = s.Mail();
  m.set(Mail::DateKey);
  while (m.previous() == Err::Ok) {
    auto& p = s.Person();
    p.clear();
    p.rec.PERSONID = m.rec.FROMID;
    p.get(Person::PersonKey);
    auto& t = s.MsgText();
    t.clear();
    t.rec.MSGNUMBER = m.rec.MAILID;
    t.get(MsgText::IdKey);
    out << m.rec.SUBJECT.str() << p.rec.ADDRESS.str() << t.memo();
    bytes += t.memo().size();
  }
  OP_CLOSE(s, OpClose, {4, 5, 13});
  return bytes;
}

}  // namespace

int main(int argc, char** argv) {
  const uint32_t n = argc > 1 ? static_cast<uint32_t>(std::atoi(argv[1])) : 100000;
  std::string dir = argc > 2 ? argv[2] : (fs::temp_directory_path() / "quillbox-export-bench").string();
  fs::remove_all(dir);
  fs::create_directories(dir);
  qb::RecordingUI ui;
  Session s(ui);
  std::string error;
  if (!initHome(s, dir + "/home", {}, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  const uint32_t id = createDatabase(s, KindMail, "Bench Owner", ErrRelease);
  if (!id) return 1;
  s.PersonID = 1000;
  auto t0 = Clock::now();
  generate(s, n);
  auto t1 = Clock::now();
  std::printf("generated %u mails in %.1f s\n", n, seconds(t0, t1));

  auto b0 = Clock::now();
  const uint64_t textBytes = baseline(s, dir + "/baseline.bin");
  auto b1 = Clock::now();

  qb::exporting::ExportRequest r;
  r.format = qb::exporting::FormatMbox;
  r.directory = dir;
  r.inbox = "bench.mbox";
  qb::exporting::CopyMsg run(s, r);
  auto e0 = Clock::now();
  if (!run.start()) return 1;
  while (run.step()) {
  }
  if (!run.finish()) {
    std::fprintf(stderr, "%s\n", run.error().c_str());
    return 1;
  }
  auto e1 = Clock::now();
  const double mb = static_cast<double>(fs::file_size(dir + "/bench.mbox")) / 1e6;
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  std::printf("baseline (read in date order, write raw): %.2f s, %.0f mails/s, %.1f MB of text\n", seconds(b0, b1),
              n / seconds(b0, b1), textBytes / 1e6);
  std::printf("export to mbox: %u mails, %.2f s, %.0f mails/s, %.1f MB written, %.1f MB/s\n", run.processed(),
              seconds(e0, e1), run.processed() / seconds(e0, e1), mb, mb / seconds(e0, e1));
  std::printf("ratio export / baseline: %.2f\n", seconds(e0, e1) / seconds(b0, b1));
  std::printf("peak memory: %ld MB\n", ru.ru_maxrss / 1024);
  fs::remove_all(dir);
  return 0;
}
