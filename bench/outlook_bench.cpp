// outlook_bench: reading Outlook data files, against readpst as the peer.
//
//   outlook_bench [--repeat N] [FILE.pst]
//
// Reads every folder and item of the data file N times (default 50) through
// the converter's reader (libpst, bodies turned into text, recipients
// split), then lets readpst (pst-utils) write the same file N times as the
// baseline, and prints mails per second of both with their ratio. Last it
// imports the file once with quillbox-cli into a fresh archive and prints
// the work records per second and the peak resident memory of the import.
// Without FILE the largest .pst of ../shared/realworld/pst (beside the
// source tree) is taken.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "import/formats/outlook/pst_source.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

struct Child {
  int status = -1;
  long peakKb = 0;
};

Child run(const std::vector<std::string>& argv) {
  Child c;
  pid_t pid = fork();
  if (pid == 0) {
    int devnull = ::open("/dev/null", O_WRONLY);
    if (devnull >= 0) {
      dup2(devnull, 1);
      dup2(devnull, 2);
    }
    std::vector<char*> args;
    for (auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  struct rusage ru {};
  if (wait4(pid, &c.status, 0, &ru) == pid) c.peakKb = ru.ru_maxrss;
  return c;
}

double since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

}  // namespace

int main(int argc, char** argv) {
  int repeat = 50;
  std::string file;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--repeat" && i + 1 < argc) {
      repeat = std::max(1, std::atoi(argv[++i]));
    } else if (!a.empty() && a[0] != '-') {
      file = a;
    } else {
      std::fprintf(stderr, "usage: outlook_bench [--repeat N] [FILE.pst]\n");
      return 2;
    }
  }
  fs::path self = fs::canonical("/proc/self/exe").parent_path();
  if (file.empty()) {
    std::error_code ec;
    std::vector<fs::path> psts;
    for (auto& e : fs::directory_iterator(self.parent_path().parent_path() / "shared" / "realworld" / "pst", ec))
      if (e.path().extension() == ".pst") psts.push_back(e.path());
    std::sort(psts.begin(), psts.end());
    uintmax_t best = 0;
    for (auto& p : psts)
      if (fs::file_size(p) >= best) {
        best = fs::file_size(p);
        file = p.string();
      }
    if (file.empty()) {
      std::fprintf(stderr, "outlook_bench: name a .pst file (../shared/realworld/pst is absent)\n");
      return 1;
    }
  }
  std::printf("%s (%ju bytes), %d rounds\n", file.c_str(), static_cast<uintmax_t>(fs::file_size(file)), repeat);

  // The converter's reader.
  uint64_t mails = 0, recipients = 0;
  auto t0 = Clock::now();
  for (int r = 0; r < repeat; ++r) {
    qb::import::outlook::OpenError error;
    auto source = qb::import::outlook::openPstFile(file, error);
    if (!source) {
      std::fprintf(stderr, "outlook_bench: %s\n", error.reason.c_str());
      return 1;
    }
    for (std::size_t f = 0; f < source->folders().size(); ++f) {
      source->openFolder(f);
      qb::import::outlook::OutlookItem item;
      while (source->nextItem(item)) {
        mails += item.mail;
        recipients += item.recipients.size();
      }
    }
  }
  double ours = since(t0);
  struct rusage self_ru {};
  getrusage(RUSAGE_SELF, &self_ru);

  // readpst writing the same file.
  fs::path out = fs::temp_directory_path() / ("outlook-bench-" + std::to_string(getpid()));
  t0 = Clock::now();
  for (int r = 0; r < repeat; ++r) {
    fs::remove_all(out);
    fs::create_directories(out);
    Child c = run({"readpst", "-q", "-S", "-D", "-o", out.string(), file});
    if (c.status != 0) {
      std::fprintf(stderr, "outlook_bench: readpst failed (is pst-utils installed?)\n");
      fs::remove_all(out);
      return 1;
    }
  }
  double peer = since(t0);
  fs::remove_all(out);

  double perRound = double(mails) / repeat;
  std::printf("reader:  %8.3f s  %9.0f mails/s  (%.0f mails, %.0f recipients a round)  peak RSS %ld MB\n", ours,
              ours > 0 ? mails / ours : 0, perRound, double(recipients) / repeat, self_ru.ru_maxrss / 1024);
  std::printf("readpst: %8.3f s  %9.0f mails/s\n", peer, peer > 0 ? mails / peer : 0);
  std::printf("ratio reader / readpst: %.2f\n", peer > 0 ? ours / peer : 0);

  // One import end to end.
  std::string cli = (self / "quillbox-cli").string();
  fs::path home = fs::temp_directory_path() / ("outlook-bench-home-" + std::to_string(getpid()));
  fs::remove_all(home);
  run({cli, "--home", home.string(), "init"});
  run({cli, "--home", home.string(), "maildb", "create", "Bench Owner", "--address", "owner@example.com"});
  t0 = Clock::now();
  Child imp = run({cli, "--home", home.string(), "--quiet", "import", "--format", "Outlook Mail", "--mail-db",
                   "Bench Owner", file});
  double whole = since(t0);
  fs::remove_all(home);
  double records = double(recipients) / repeat;  // at most one work record per recipient
  std::printf("import:  %8.3f s  %9.0f mails/s  %9.0f recipients/s  peak RSS %ld MB  (exit %d)\n", whole,
              whole > 0 ? perRound / whole : 0, whole > 0 ? records / whole : 0, imp.peakKb / 1024,
              WIFEXITED(imp.status) ? WEXITSTATUS(imp.status) : -1);
  return 0;
}
