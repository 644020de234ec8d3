// Kill tests of the import: a mailbox with carbon copies is imported into a
// fresh archive, the import is killed with SIGKILL at moments spread over the
// whole run (conversion, storing, counts), the import is run again (after
// `count`, after `databases`, or straight away), and the archive is compared
// record by record with a clean import of the same mailbox.
//
// QB_CRASH_POINTS (default 24) and QB_CRASH_MAILS (default 400) make the run
// larger by hand: QB_CRASH_POINTS=200 QB_CRASH_MAILS=3000 build/test_crash.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "crash/archive_dump.h"
#include "support/cli_run.h"

namespace {

namespace fs = std::filesystem;
using qb::test::ArchiveDump;
using qb::test::runCli;
using Clock = std::chrono::steady_clock;

int envInt(const char* name, int def) {
  const char* v = std::getenv(name);
  return v && *v ? std::atoi(v) : def;
}

// A mailbox in the From-line layout: mail to and from the owner from a pool
// of correspondents, with carbon copies (to others, to the owner's own
// addresses, the same recipient twice in another letter case), and now and
// then a mail repeated exactly (a duplicate).
void writeMailbox(const std::string& path, int first, int count) {
  std::ofstream out(path, std::ios::binary);
  const char* names[] = {"Anna Ambler", "Bernd Brink", "Carla Corvin", "Dario Dunmore", "Elise Eckhart",
                         "Frank Falk",  "Greta Gorman", "Henrik Halden", "Ines Ilsley", "Jonas Jessop"};
  std::string previous;
  for (int i = first; i < first + count; ++i) {
    if (i % 37 == 36 && !previous.empty()) {
      out << previous;
      continue;
    }
    std::ostringstream m;
    int who = (i * 7) % 61;
    std::string name = std::string(names[who % 10]) + (who >= 10 ? " " + std::to_string(who) : "");
    std::string addr = "p" + std::to_string(who) + "@example.net";
    bool outgoing = i % 4 == 0;
    int day = 1 + (i / 1440) % 28, hour = (i / 60) % 24, minute = i % 60;
    char date[64];
    std::snprintf(date, sizeof date, "%d Mar 2005 %02d:%02d:00 +0000", day, hour, minute);
    m << "From " << (outgoing ? "owner@example.com" : addr) << " Thu Mar  3 10:00:00 2005\n";
    if (outgoing) {
      m << "From: Pat Owner <owner@example.com>\nTo: \"" << name << "\" <" << addr << ">\n";
    } else {
      m << "From: \"" << name << "\" <" << addr << ">\nTo: Pat Owner <owner@example.com>\n";
    }
    if (i % 3 == 0) {
      m << "Cc: \"Carl Copy " << i % 13 << "\" <c" << i % 13 << "@example.org>, Pat Owner <pat.owner@example.org>";
      if (i % 6 == 0) m << ",\n \"CARL COPY " << i % 13 << "\" <C" << i % 13 << "@EXAMPLE.ORG>";
      if (i % 9 == 0) m << ", \"Dora Dup\" <dora@example.org>, \"Dora Dup\" <dora@example.org>";
      m << "\n";
    }
    m << "Subject: Topic " << i % 50 << " note " << i << "\nDate: " << date << "\nMessage-ID: <" << i
      << "@example.net>\n\n";
    for (int l = 0; l < 3 + i % 17; ++l) m << "Line " << l << " of mail " << i << ", some words to fill it.\n";
    m << "\n";
    previous = m.str();
    out << previous;
  }
}

class CrashTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string tmpl = (fs::temp_directory_path() / "quillbox-crash-XXXXXX").string();
    root = ::mkdtemp(tmpl.data());
    mailbox = root + "/mail.mbx";
    writeMailbox(mailbox, 0, envInt("QB_CRASH_MAILS", 400));
    std::string clean = freshHome("clean");
    auto t0 = Clock::now();
    auto r = runCli(QB_CLI, clean, importArgs());
    cleanSeconds = std::chrono::duration<double>(Clock::now() - t0).count();
    ASSERT_EQ(r.code, 0) << r.out << r.err;
    reference = qb::test::dumpMailArchive(clean);
    ASSERT_TRUE(reference.problems.empty()) << reference.problems[0];
    referenceMails = qb::test::readRunState(clean).mails;
  }
  static void TearDownTestSuite() {
    std::error_code ec;
    fs::remove_all(root, ec);
  }

  static std::vector<std::string> importArgs(const std::string& box = mailbox) {
    return {"--quiet", "import", "--format", "Generic Mail Type 2", "--mail-db", "Pat Owner", box};
  }
  // A new archive with the owner's mail database (two alternative
  // addresses). Homes are made anew, not copied: an archive remembers its
  // directories by their full names.
  static std::string freshHome(const std::string& name) {
    std::string h = root + "/" + name;
    std::error_code ec;
    fs::remove_all(h, ec);
    EXPECT_EQ(runCli(QB_CLI, h, {"--quiet", "init"}).code, 0);
    EXPECT_EQ(runCli(QB_CLI, h,
                     {"--quiet", "maildb", "create", "Pat Owner", "--address", "owner@example.com", "--alt",
                      "pat.owner@example.org", "--alt", "powner@example.net"})
                  .code,
              0);
    return h;
  }

  // Starts an import of the mailbox and kills it after `delay`; true when it
  // was killed (false when it had ended before).
  static bool importKilledAfter(const std::string& home, std::chrono::microseconds delay) {
    std::vector<std::string> argv = {QB_CLI, "--home", home};
    for (auto& a : importArgs()) argv.push_back(a);
    pid_t pid = ::fork();
    if (pid == 0) {
      std::freopen("/dev/null", "w", stdout);
      std::freopen("/dev/null", "w", stderr);
      std::vector<char*> args;
      for (auto& a : argv) args.push_back(a.data());
      args.push_back(nullptr);
      ::execv(args[0], args.data());
      ::_exit(127);
    }
    std::this_thread::sleep_for(delay);
    bool killed = ::kill(pid, SIGKILL) == 0;
    int status = 0;
    ::waitpid(pid, &status, 0);
    return killed && WIFSIGNALED(status);
  }

  static std::string root, mailbox;
  static double cleanSeconds;
  static uint64_t referenceMails;
  static ArchiveDump reference;
};

std::string CrashTest::root, CrashTest::mailbox;
double CrashTest::cleanSeconds = 0;
uint64_t CrashTest::referenceMails = 0;
ArchiveDump CrashTest::reference;

TEST_F(CrashTest, KilledImportsEndEqualToACleanImport) {
  const int points = envInt("QB_CRASH_POINTS", 24);
  std::mt19937 rng(static_cast<unsigned>(envInt("QB_CRASH_SEED", 19)));
  std::uniform_real_distribution<double> jitter(0.0, 1.0);
  int killed = 0, differing = 0;
  double window = cleanSeconds;
  int withMarker = 0, withDeferral = 0, inConversion = 0, inStoring = 0, inCounts = 0, afterEnd = 0;
  for (int k = 0; k < points; ++k) {
    std::string home = freshHome("kill");
    // Moments spread over the import's time, each somewhere in its slot. The
    // time is that of the clean import at first; an import that ended before
    // its kill shows the machine is faster now, and the window shrinks.
    double at = window * (k + jitter(rng)) / points;
    bool wasKilled = importKilledAfter(home, std::chrono::microseconds(static_cast<long>(at * 1e6)));
    if (!wasKilled) window = std::min(window, at) * 0.95;
    killed += wasKilled;
    qb::test::RunState st = qb::test::readRunState(home);
    withMarker += st.marker;
    withDeferral += st.deferredKeys;
    if (!st.marker && st.mails == 0)
      ++inConversion;
    else if (st.marker && st.mails < referenceMails)
      ++inStoring;
    else if (st.marker)
      ++inCounts;
    else
      ++afterEnd;
    // Three ways back: `count` first, an opening of the archive first, or
    // the import straight away; every fifth re-run is killed once more.
    if (k % 3 == 0) {
      EXPECT_EQ(runCli(QB_CLI, home, {"--quiet", "count"}).code, 0);
    } else if (k % 3 == 1) {
      EXPECT_EQ(runCli(QB_CLI, home, {"databases"}).code, 0);
    }
    if (k % 5 == 4) importKilledAfter(home, std::chrono::microseconds(static_cast<long>(at * 0.5e6)));
    auto r = runCli(QB_CLI, home, importArgs());
    EXPECT_TRUE(r.code == 0 || r.code == 1) << "point " << k << ": " << r.out << r.err;
    ArchiveDump after = qb::test::dumpMailArchive(home);
    auto diff = qb::test::differences(reference, after);
    if (!diff.empty()) {
      ++differing;
      std::string all;
      for (auto& d : diff) all += "  " + d + "\n";
      ADD_FAILURE() << "kill point " << k << " at " << at << " s (marker " << st.marker << ", mails " << st.mails
                    << "):\n"
                    << all;
    }
  }
  std::printf("[crash] %d kill points (%d killed; clean import %.2f s): conversion %d, storing %d, counts %d, "
              "after the end %d; %d with the run marker, %d with key indexes deferred; %d differing\n",
              points, killed, cleanSeconds, inConversion, inStoring, inCounts, afterEnd, withMarker, withDeferral,
              differing);
  EXPECT_EQ(differing, 0);
  EXPECT_GE(killed, points / 2);
}

// Disk full while storing: the file size limit makes every write beyond it
// fail (SIGXFSZ ignored, so the write returns an error as on a full disk).
// The archive of the clean import receives a second, smaller mailbox; the
// limit lets its work files be written but not all of its texts be stored.
TEST_F(CrashTest, DiskFullStopsWithTheCauseAndAReRunCompletes) {
  const std::string second = root + "/second.mbx";
  writeMailbox(second, 100000, envInt("QB_CRASH_MAILS", 400) / 2);
  std::string expected = freshHome("second-clean");
  ASSERT_EQ(runCli(QB_CLI, expected, importArgs()).code, 0);
  ASSERT_EQ(runCli(QB_CLI, expected, importArgs(second)).code, 0);
  const ArchiveDump want = qb::test::dumpMailArchive(expected);

  std::string home = freshHome("full");
  ASSERT_EQ(runCli(QB_CLI, home, importArgs()).code, 0);
  uintmax_t textSize = 0;
  for (auto& e : fs::recursive_directory_iterator(home))
    if (e.path().filename() == "IDX004.TPS") textSize = e.file_size();
  ASSERT_GT(textSize, 0u);
  const rlim_t limit = static_cast<rlim_t>(textSize + fs::file_size(second) / 3);

  std::string out = root + "/full.out", err = root + "/full.err";
  pid_t pid = ::fork();
  if (pid == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit rl {limit, limit};
    ::setrlimit(RLIMIT_FSIZE, &rl);
    std::freopen(out.c_str(), "w", stdout);
    std::freopen(err.c_str(), "w", stderr);
    std::vector<std::string> argv = {QB_CLI, "--home", home, "--yes"};
    for (auto& a : importArgs(second)) argv.push_back(a);
    std::vector<char*> args;
    for (auto& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 2);
  std::ifstream e(err);
  std::string errText((std::istreambuf_iterator<char>(e)), std::istreambuf_iterator<char>());
  // --quiet does not hide the cause, and the directory is named.
  EXPECT_TRUE(errText.find("File too large") != std::string::npos ||
              errText.find("No space left on device") != std::string::npos)
      << errText;
  EXPECT_NE(errText.find(home + "/F"), std::string::npos) << errText;
  EXPECT_NE(errText.find("the import failed"), std::string::npos) << errText;
  std::ifstream o(out);
  std::string outText((std::istreambuf_iterator<char>(o)), std::istreambuf_iterator<char>());
  EXPECT_EQ(outText.find("The import process has finished!"), std::string::npos) << outText;
  std::printf("[disk full] exit %d; %s", WEXITSTATUS(status), errText.c_str());

  // Space again: the re-run stores the rest, and the archive is that of a
  // clean import.
  auto r = runCli(QB_CLI, home, importArgs(second));
  EXPECT_EQ(r.code, 0) << r.out << r.err;
  for (auto& d : qb::test::differences(want, qb::test::dumpMailArchive(home))) ADD_FAILURE() << d;
}

}  // namespace
