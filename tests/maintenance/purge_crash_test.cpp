// Kill tests of the purge: a generated forum database with messages,
// threads and a section marked for deletion, topic links and a word index is
// purged by quillbox-cli, killed with SIGKILL at moments spread over the
// whole run. After each kill every store file passes SQLite's integrity
// check and no message without delete status is lost; a count leaves the
// archive consistent (every other kill point), and a second purge ends with
// exactly the messages a purge that was not killed keeps. A purge whose
// files may not grow (RLIMIT_FSIZE, SIGXFSZ ignored) stops naming the
// cause and loses nothing.
//
// QB_PURGE_CRASH_POINTS (default 20) and QB_PURGE_CRASH_MESSAGES (default
// 300) make the run larger by hand.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <thread>

#include "archive/file_table.h"
#include "archive/archive_home.h"
#include "archive/config.h"
#include "index/index_builder.h"
#include "purge_fixture.h"
#include "support/archive_consistency.h"
#include "support/cli_run.h"

namespace qb::test {
namespace {

namespace fs = std::filesystem;
using namespace qb::store;
using Clock = std::chrono::steady_clock;

int envInt(const char* name, int def) {
  const char* v = std::getenv(name);
  return v && *v ? std::atoi(v) : def;
}

// The messages of the generated database, read from a home.
std::set<uint32_t> messagesOf(const std::string& home) {
  RecordingUI ui;
  Session s(ui);
  if (openHome(s, home) != HomeStatus::Ready) return {};
  std::set<uint32_t> out;
  OP_CLOSE(s, OpOpen, {FileNo::Forums});
  s.Forums().clear();
  s.Forums().rec.DESCRIPTION = "Gen";
  if (s.Forums().get(Forums::AlphaKey) == Err::Ok) {
    s.selectDatabase(s.Forums().rec);
    OP_CLOSE(s, OpOpen, {FileNo::MsgNmbr});
    s.MsgNmbr().setFileOrder();
    while (s.MsgNmbr().next() == Err::Ok) out.insert(s.MsgNmbr().rec.MSGNUMBER);
    OP_CLOSE(s, OpClose, {FileNo::MsgNmbr});
  }
  OP_CLOSE(s, OpClose, {FileNo::Forums});
  return out;
}

class PurgeCrash : public PurgeFixture {
 protected:
  ~PurgeCrash() override {
    std::error_code ec;
    if (!pristine.empty()) fs::remove_all(pristine, ec);
    fs::remove(archive.home() + ".err", ec);
  }

  // The generated database: messages in threads of ten in four sections,
  // every tenth message, every seventh thread and one section marked for
  // deletion, one message in three filed under a topic, all indexed.
  void generate(int n) {
    std::vector<std::string> lines;
    const char* names[] = {"Ann Ash", "Bob Birch", "Cid Cole", "Dan Dorn", "Eve Elm", "Fay Fox", "Gus Gray"};
    for (int i = 1; i <= n; ++i) {
      int thread = (i - 1) / 10, sec = thread % 4;
      std::string who = names[(i * 3 + thread) % 7];
      lines.push_back("F|Gen|" + std::to_string(sec + 1) + "|Section " + std::to_string(sec) + "|" +
                      std::to_string(i) + "|" + (i % 10 == 1 ? "0" : std::to_string(i - 1)) + "|Thread " +
                      std::to_string(thread) + "|" + who + "|" + who.substr(0, 3) + "@x||" + "|2005030" +
                      std::to_string(1 + i % 9) + "|Message " + std::to_string(i) + " about word" +
                      std::to_string(i % 50) + " and word" + std::to_string(i % 13));
    }
    import(lines);
    ASSERT_NE(use("Gen").ID, 0u);
    index::IndexBuilder b(s, index::IndexMode::Full);
    ASSERT_TRUE(b.start());
    while (b.step()) {
    }
    OP_CLOSE(s, OpOpen, {FileNo::MsgNmbr, FileNo::Threads, FileNo::Sections, FileNo::Codes, FileNo::SIndex});
    auto& m = s.MsgNmbr();
    std::vector<std::pair<uint32_t, int64_t>> all;
    m.setFileOrder();
    int k = 0;
    while (m.next() == Err::Ok) {
      if (++k % 10 == 3) {
        m.rec.DUMMY = StatusDelete;
        ASSERT_EQ(m.put(), Err::Ok);
      }
      if (k % 3 == 0) {
        s.SIndex().clear();
        s.SIndex().rec.ID = 777;
        s.SIndex().rec.MSGNUMBER = m.rec.MSGNUMBER;
        ASSERT_EQ(s.SIndex().add(), Err::Ok);
      }
    }
    s.Codes().clear();
    s.Codes().rec.TYPE = 2;
    s.Codes().rec.INDEX = "Filed";
    s.Codes().rec.ID = 777;
    ASSERT_EQ(s.Codes().add(), Err::Ok);
    auto& t = s.Threads();
    t.setFileOrder();
    k = 0;
    while (t.next() == Err::Ok)
      if (++k % 7 == 0) {
        t.rec.DUMMY = StatusDelete;
        ASSERT_EQ(t.put(), Err::Ok);
      }
    auto& sec = s.Sections();
    sec.setFileOrder();
    if (sec.next() == Err::Ok) {
      sec.rec.DUMMY = StatusDelete;
      ASSERT_EQ(sec.put(), Err::Ok);
    }
    OP_CLOSE(s, OpClose, {FileNo::MsgNmbr, FileNo::Threads, FileNo::Sections, FileNo::Codes, FileNo::SIndex});
  }

  // The archive as generated, kept aside, and put back in its place (the
  // archive remembers its directories by their full names).
  void keepPristine() {
    pristine = archive.home() + ".pristine";
    fs::remove_all(pristine);
    fs::copy(archive.home(), pristine, fs::copy_options::recursive);
  }
  void restore() {
    fs::remove_all(archive.home());
    fs::copy(pristine, archive.home(), fs::copy_options::recursive);
  }

  // Runs `quillbox-cli purge Gen`, killed after `delay` (never when
  // negative); the exit status as waitpid gives it. `fileLimit` > 0 limits
  // the size of the files it writes.
  int purgeProcess(double delay, rlim_t fileLimit = 0, std::string* err = nullptr) {
    std::string errFile = archive.home() + ".err";
    std::vector<std::string> argv = {QB_CLI, "--home", archive.home(), "--quiet", "purge", "Gen"};
    pid_t pid = ::fork();
    if (pid == 0) {
      std::freopen("/dev/null", "w", stdout);
      std::freopen(errFile.c_str(), "w", stderr);
      if (fileLimit > 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        struct rlimit rl {fileLimit, fileLimit};
        ::setrlimit(RLIMIT_FSIZE, &rl);
      }
      std::vector<char*> args;
      for (auto& a : argv) args.push_back(a.data());
      args.push_back(nullptr);
      ::execv(args[0], args.data());
      ::_exit(127);
    }
    if (delay >= 0) {
      std::this_thread::sleep_for(std::chrono::microseconds(static_cast<long>(delay * 1e6)));
      ::kill(pid, SIGKILL);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (err) {
      std::ifstream in(errFile);
      err->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return status;
  }

  std::string pristine;
};

TEST_F(PurgeCrash, KilledPurgesLeaveSoundFilesAndASecondPurgeFinishes) {
  generate(envInt("QB_PURGE_CRASH_MESSAGES", 300));
  const std::size_t before = messages().size();
  // The session lets go of the archive; the processes below work on it.
  s.clearDatabase();
  keepPristine();

  auto t0 = Clock::now();
  int status = purgeProcess(-1);
  const double clean = std::chrono::duration<double>(Clock::now() - t0).count();
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  const std::set<uint32_t> kept = messagesOf(archive.home());
  ASSERT_LT(kept.size(), before);
  ASSERT_GT(kept.size(), before / 2);
  ASSERT_TRUE(checkArchive(archive.home()).empty());

  const int points = envInt("QB_PURGE_CRASH_POINTS", 20);
  std::mt19937 rng(static_cast<unsigned>(envInt("QB_CRASH_SEED", 7)));
  std::uniform_real_distribution<double> jitter(0.0, 1.0);
  double window = clean;
  int killed = 0;
  for (int k = 0; k < points; ++k) {
    restore();
    double at = window * (k + jitter(rng)) / points;
    int st = purgeProcess(at);
    bool wasKilled = WIFSIGNALED(st);
    if (!wasKilled) window = std::min(window, at) * 0.95;
    killed += wasKilled;
    for (auto& p : integrityProblems(archive.home())) ADD_FAILURE() << "kill point " << k << ": " << p;
    // Whatever is left, the messages without delete status are all there.
    std::set<uint32_t> now = messagesOf(archive.home());
    for (uint32_t id : kept) ASSERT_TRUE(now.count(id)) << "kill point " << k << " lost message " << id;
    // Every other time a count comes first and makes the counts right;
    // postings of messages deleted before the kill wait for the next purge.
    if (k % 2 == 0) {
      auto c = runCli(QB_CLI, archive.home(), {"--quiet", "count", "Gen"});
      EXPECT_EQ(c.code, 0) << c.err;
      ConsistencyOptions noPostings;
      noPostings.postings = false;
      for (auto& p : checkArchive(archive.home(), noPostings))
        ADD_FAILURE() << "kill point " << k << ", count: " << p;
    }
    auto r = runCli(QB_CLI, archive.home(), {"--quiet", "purge", "Gen"});
    EXPECT_EQ(r.code, 0) << r.err;
    for (auto& p : checkArchive(archive.home())) ADD_FAILURE() << "kill point " << k << ", purge: " << p;
    EXPECT_EQ(messagesOf(archive.home()), kept) << "kill point " << k;
  }
  EXPECT_GE(killed, points / 2) << "most purges ended before their kill";
}

TEST_F(PurgeCrash, FileSizeLimitStopsThePurgeNamingTheCause) {
  generate(300);
  s.clearDatabase();
  keepPristine();
  ASSERT_EQ(purgeProcess(-1), 0);
  const std::set<uint32_t> kept = messagesOf(archive.home());
  restore();
  // No file may be written beyond its first 64 KB: the journal of the
  // first transaction and the pages of the larger files are out of reach.
  const rlim_t largest = 64 * 1024;
  std::string err;
  int st = purgeProcess(-1, static_cast<rlim_t>(largest), &err);
  ASSERT_TRUE(WIFEXITED(st)) << err;
  EXPECT_EQ(WEXITSTATUS(st), 1) << err;
  EXPECT_NE(err.find("File too large"), std::string::npos) << err;
  for (auto& p : integrityProblems(archive.home())) ADD_FAILURE() << p;
  std::set<uint32_t> now = messagesOf(archive.home());
  for (uint32_t id : kept) ASSERT_TRUE(now.count(id)) << "lost message " << id;
  ConsistencyOptions noCounts;
  noCounts.counts = false;
  noCounts.postings = false;
  for (auto& p : checkArchive(archive.home(), noCounts)) ADD_FAILURE() << p;
  // Without the limit the purge finishes the job.
  auto r = runCli(QB_CLI, archive.home(), {"--quiet", "purge", "Gen"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(messagesOf(archive.home()), kept);
  for (auto& p : checkArchive(archive.home())) ADD_FAILURE() << p;
}

}  // namespace
}  // namespace qb::test
