// purge_bench: the purge and the count of a generated forum database, step
// by step, against baselines measured in the same run.
//
//   purge_bench [--messages N] [--keep DIR]
//
// Builds a forum database of N messages (1,000,000 by default) in threads
// of 20 in 50 sections from 5,000 persons, each with a text, directly
// through the engine; every tenth message has delete status. Then times
//   - the baseline scan: every message header read in file order;
//   - the baseline recount: the plain recount of the database
//     (recountDatabase, which the import runs after storing);
//   - the purge, step by step (seconds, resident memory at the end of the
//     step, the process's peak so far);
//   - the count, step by step;
// and prints the purge and count times as ratios of the baselines.
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "archive/archive_home.h"
#include "archive/config.h"
#include "archive/counts.h"
#include "archive/databases.h"
#include "archive/file_table.h"
#include "archive/record_access.h"
#include "maintenance/purge_run.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace qb;
using namespace qb::store;

namespace {

double since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

long peakKb() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

long currentKb() {
  std::ifstream in("/proc/self/statm");
  long size = 0, resident = 0;
  in >> size >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

void must(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "purge_bench: %s failed\n", what);
    std::exit(1);
  }
}

template <class R>
void streamInto(Table<R>& f, uint32_t n, const std::function<void(R&, uint32_t)>& fill, bool memo = false) {
  must(f.stream() == Err::Ok, "stream");
  for (uint32_t i = 1; i <= n; ++i) {
    f.clear();
    fill(f.rec, i);
    if (memo) f.memo() = "Message " + std::to_string(i) + " of the benchmark, with a few words of text in it.";
    must(f.append() == Err::Ok, "append");
  }
  must(f.flush() == Err::Ok, "flush");
  must(f.buildKeys() == Err::Ok, "buildKeys");
}

void generate(Session& s, uint32_t n) {
  const uint32_t perThread = 20, sections = 50, persons = 5000;
  const uint32_t threads = (n + perThread - 1) / perThread;
  OP_CLOSE(s, OpOpen, {FileNo::MsgNmbr, FileNo::MsgText, FileNo::Threads, FileNo::Sections, FileNo::Person});
  streamInto<Sections>(s.Sections(), sections, [](Sections& r, uint32_t i) {
    r.SECSYSID = 1000 + i;
    r.SECTIONNUMBER = i;
    r.DESCRIPTION = "Section " + std::to_string(i);
  });
  streamInto<Threads>(s.Threads(), threads, [&](Threads& r, uint32_t i) {
    r.THREADNUMBER = 10000 + i;
    r.SECSYSID = 1000 + 1 + i % sections;
    r.setHeading("Thread " + std::to_string(i));
  });
  streamInto<Person>(s.Person(), persons, [](Person& r, uint32_t i) {
    r.PERSONID = 2000000 + i;
    r.LASTNAME = "Person" + std::to_string(i);
    r.PERSONSTRING = "PERSON" + std::to_string(i) + " P" + std::to_string(i) + "@X";
  });
  streamInto<MsgNmbr>(s.MsgNmbr(), n, [&](MsgNmbr& r, uint32_t i) {
    const uint32_t t = (i - 1) / perThread + 1;
    r.MSGNUMBER = 3000000 + i;
    r.THREADNUMBER = 10000 + t;
    r.THREADALPHA = "Thread " + std::to_string(t);
    r.SECSYSID = 1000 + 1 + t % sections;
    r.REFNUMBER = (i - 1) % perThread ? 3000000 + i - 1 : 0;
    r.FROMID = 2000000 + 1 + (i * 7) % persons;
    r.FROMALPHA = "Person" + std::to_string(1 + (i * 7) % persons);
    r.TOID = 2000000 + 1 + (i * 13) % persons;
    r.TOALPHA = "Person" + std::to_string(1 + (i * 13) % persons);
    r.DATE = 730000 + static_cast<int32_t>(i / 100);
    r.DUMMY = i % 10 == 5 ? StatusDelete : StatusNormal;
  });
  streamInto<MsgText>(
      s.MsgText(), n, [](MsgText& r, uint32_t i) { r.MSGNUMBER = 3000000 + i; }, true);
  OP_CLOSE(s, OpClose, {FileNo::MsgNmbr, FileNo::MsgText, FileNo::Threads, FileNo::Sections, FileNo::Person});
}

struct StepFigures {
  int code = 0;
  std::string caption;
  double seconds = 0;
  long residentKb = 0, peakKb = 0;
};

std::vector<StepFigures> drive(Session& s, maintenance::PurgeMode mode, double& total,
                               maintenance::PurgeStats& stats) {
  maintenance::PurgeOptions o;
  o.mode = mode;
  o.completionMessage = false;
  o.sliceSize = 2000;
  maintenance::PurgeRun run(s, o);
  std::vector<StepFigures> steps;
  auto t0 = Clock::now();
  must(run.start() == maintenance::StartResult::Started, "start");
  StepFigures cur{run.stepCode(), run.caption()};
  auto stepStart = Clock::now();
  bool more = true;
  while (more) {
    more = run.step();
    if (run.stepCode() != cur.code || !more) {
      cur.seconds = since(stepStart);
      cur.residentKb = currentKb();
      cur.peakKb = peakKb();
      steps.push_back(cur);
      cur = StepFigures{run.stepCode(), run.caption()};
      stepStart = Clock::now();
    }
  }
  total = since(t0);
  stats = run.stats();
  must(!stats.failed, "the run");
  return steps;
}

void print(const char* what, const std::vector<StepFigures>& steps, double total) {
  std::printf("%s: %.2f s\n", what, total);
  std::printf("  %-5s %-48s %9s %12s %12s\n", "step", "caption while it ran", "seconds", "resident MB", "peak MB");
  for (const auto& st : steps)
    std::printf("  %-5d %-48s %9.2f %12.1f %12.1f\n", st.code, st.caption.c_str(), st.seconds, st.residentKb / 1024.0,
                st.peakKb / 1024.0);
}

}  // namespace

int main(int argc, char** argv) {
  uint32_t n = 1000000;
  std::string keep;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--messages" && i + 1 < argc) n = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 10));
    else if (a == "--keep" && i + 1 < argc) keep = argv[++i];
    else {
      std::fprintf(stderr, "usage: purge_bench [--messages N] [--keep DIR]\n");
      return 2;
    }
  }
  std::string home = keep.empty() ? (fs::temp_directory_path() / ("purge_bench." + std::to_string(getpid()))).string()
                                  : keep;
  fs::remove_all(home);
  RecordingUI ui;
  Session s(ui);
  std::string error;
  must(initHome(s, home, {}, error), "initHome");
  must(openHome(s, home) == HomeStatus::Ready, "openHome");
  Konfig(s, KonfigAction::LoadGeneral);
  Konfig(s, KonfigAction::LoadDisplay);
  SpeedVal(s, SpeedAction::Compute);
  const uint32_t forumId = createDatabase(s, KindForum, "Bench", ErrRelease);
  must(forumId != 0, "createDatabase");

  auto t0 = Clock::now();
  generate(s, n);
  std::printf("generated %u messages (10%% with delete status) in %.1f s\n", n, since(t0));

  // Baseline 1: every header read in file order.
  OP_CLOSE(s, OpOpen, {FileNo::MsgNmbr});
  t0 = Clock::now();
  uint64_t sum = 0;
  s.MsgNmbr().setFileOrder();
  while (s.MsgNmbr().next() == Err::Ok) sum += s.MsgNmbr().rec.DUMMY;
  const double scan = since(t0);
  OP_CLOSE(s, OpClose, {FileNo::MsgNmbr});
  std::printf("baseline scan of the headers: %.2f s (%llu marked)\n", scan, static_cast<unsigned long long>(sum / 2));
  // Baseline 2: the plain recount.
  t0 = Clock::now();
  must(recountDatabase(s, forumId), "recountDatabase");
  const double recount = since(t0);
  std::printf("baseline recount (recountDatabase): %.2f s, peak %.1f MB\n", recount, peakKb() / 1024.0);

  double purgeTotal = 0, countTotal = 0;
  maintenance::PurgeStats ps, cs;
  auto purgeSteps = drive(s, maintenance::PurgeMode::Purge, purgeTotal, ps);
  print("purge", purgeSteps, purgeTotal);
  std::printf("  %u messages before, %u deleted, %u after\n", ps.before, ps.deleted, ps.after);
  auto countSteps = drive(s, maintenance::PurgeMode::Count, countTotal, cs);
  print("count", countSteps, countTotal);
  std::printf("ratios: purge / scan %.1f, purge / recount %.1f, count / scan %.1f, count / recount %.1f\n",
              purgeTotal / scan, purgeTotal / recount, countTotal / scan, countTotal / recount);
  std::printf("process peak resident memory: %.1f MB\n", peakKb() / 1024.0);
  if (keep.empty()) fs::remove_all(home);
  return 0;
}
