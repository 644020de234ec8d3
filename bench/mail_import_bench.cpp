// mail_import_bench: the import of a large mailbox, end to end.
//
//   mail_import_bench [--count N | --counts N,N,...] [--runs R] [--baseline-cli PATH]
//                     [--keep DIR] [--mailbox FILE]
//
// Generates a "Generic Mail Type 2" mailbox with gen_mailbox (100,000 mails
// by default), reads it once as the baseline (the physical floor: the time
// any importer needs at least), then creates a fresh archive with the
// owner's mail database and imports the mailbox with quillbox-cli. Prints for
// the conversion phase and the storing phase the seconds, mails per second
// and megabytes per second, the peak resident memory of the import, and the
// ratio of the import's total time to the baseline read, all measured in
// this run. The programs are taken from the directory of this one.
//
// --runs R imports each mailbox R times into fresh archives and reports the
// median of each figure (the peak memory is the largest of the runs).
// --baseline-cli PATH runs another build of quillbox-cli (an older one, for
// instance) on the same mailbox, alternating with this build run by run, so
// that both meet the same load of the machine; the ratio is printed.
// --counts N,N,... repeats all of it for mailboxes of those sizes and then
// prints the seconds per 1,000 mails of each size against the smallest: a
// factor near 1 at every size means the time grows linearly with the mails.
// The load average of the machine is printed before and after, and the
// processor time of each import, which a busy machine distorts less than the
// wall-clock time.
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

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

struct Child {
  int status = -1;
  long peakKb = 0;  // peak resident memory of the child
  double cpu = 0;   // its processor seconds (user and system)
  std::string out;  // its standard output
};

// Runs a program with arguments, collecting its standard output.
Child run(const std::vector<std::string>& argv) {
  Child c;
  int pipefd[2];
  if (pipe(pipefd) != 0) return c;
  pid_t pid = fork();
  if (pid == 0) {
    dup2(pipefd[1], 1);
    close(pipefd[0]);
    close(pipefd[1]);
    std::vector<char*> args;
    for (auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    std::perror(args[0]);
    _exit(127);
  }
  close(pipefd[1]);
  char buf[4096];
  ssize_t n;
  while ((n = read(pipefd[0], buf, sizeof buf)) > 0) c.out.append(buf, static_cast<std::size_t>(n));
  close(pipefd[0]);
  struct rusage ru {};
  if (wait4(pid, &c.status, 0, &ru) == pid) {
    c.peakKb = ru.ru_maxrss;
    c.cpu = static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
            static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
  }
  return c;
}

// The number after `label` in a program's output (0 when absent).
double valueAfter(const std::string& out, const std::string& label) {
  std::size_t p = out.find(label);
  return p == std::string::npos ? 0 : std::atof(out.c_str() + p + label.size());
}

// Reads a file once in large blocks; returns the seconds taken.
double readOnce(const std::string& path, uint64_t& bytes) {
  auto t0 = Clock::now();
  int fd = open(path.c_str(), O_RDONLY);
  bytes = 0;
  if (fd >= 0) {
    std::vector<char> buf(1 << 20);
    ssize_t n;
    volatile unsigned sink = 0;
    while ((n = read(fd, buf.data(), buf.size())) > 0) {
      bytes += static_cast<uint64_t>(n);
      sink = sink + static_cast<unsigned char>(buf[static_cast<std::size_t>(n) - 1]);
    }
    close(fd);
  }
  return std::chrono::duration<double>(Clock::now() - t0).count();
}

// One import of the mailbox into a fresh archive: its phases and peak memory.
struct Import {
  bool ok = false;
  double total = 0, conversion = 0, storing = 0, cpu = 0;
  double works = 0, imported = 0, dups = 0;
  long peakKb = 0;
};

Import importOnce(const std::string& cli, const std::string& home, const std::string& mailbox) {
  Import r;
  fs::remove_all(home);
  if (run({cli, "--quiet", "--home", home, "init"}).status != 0 ||
      run({cli, "--quiet", "--home", home, "maildb", "create", "Pat Owner", "--address", "owner@example.com", "--alt",
           "pat.owner@example.org", "--alt", "powner@example.net"})
              .status != 0) {
    std::fprintf(stderr, "mail_import_bench: the archive could not be created in %s\n", home.c_str());
    return r;
  }
  auto t0 = Clock::now();
  Child imp = run({cli, "--quiet", "--home", home, "import", "--format", "Generic Mail Type 2", "--mail-db", "Pat Owner",
                   "--timings", mailbox});
  r.total = std::chrono::duration<double>(Clock::now() - t0).count();
  if (!WIFEXITED(imp.status) || WEXITSTATUS(imp.status) == 2) {
    std::fprintf(stderr, "mail_import_bench: the import failed\n%s", imp.out.c_str());
    return r;
  }
  r.conversion = valueAfter(imp.out, "Conversion:");
  r.storing = valueAfter(imp.out, "Storing:");
  r.works = valueAfter(imp.out, "Work records:");
  r.imported = valueAfter(imp.out, "Imported:");
  r.dups = valueAfter(imp.out, "Duplicates:");
  r.peakKb = imp.peakKb;
  r.cpu = imp.cpu;
  r.ok = true;
  // The archive stays until the next run of the same build replaces it, so
  // that --keep leaves the last import for browse_bench to open.
  return r;
}

double median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// The median of each figure over runs; the largest peak memory.
Import medianOf(const std::vector<Import>& runs) {
  Import m;
  std::vector<double> total, conv, stor, cpu;
  for (const Import& r : runs) {
    total.push_back(r.total);
    cpu.push_back(r.cpu);
    conv.push_back(r.conversion);
    stor.push_back(r.storing);
    m.peakKb = std::max(m.peakKb, r.peakKb);
  }
  m.total = median(total);
  m.conversion = median(conv);
  m.storing = median(stor);
  m.cpu = median(cpu);
  if (!runs.empty()) {
    m.works = runs.back().works;
    m.imported = runs.back().imported;
    m.dups = runs.back().dups;
  }
  m.ok = !runs.empty();
  return m;
}

void printLoad(const char* when) {
  double l[3] = {0, 0, 0};
  if (getloadavg(l, 3) == 3) std::printf("Load average %s: %.2f %.2f %.2f\n", when, l[0], l[1], l[2]);
}

void line(const char* what, double seconds, double mails, double mb, long peakKb) {
  std::printf("%-22s %9.2f s %11.0f mails/s %9.1f MB/s", what, seconds, seconds > 0 ? mails / seconds : 0,
              seconds > 0 ? mb / seconds : 0);
  if (peakKb > 0) std::printf("   peak RSS %ld MB", peakKb / 1024);
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<long> counts;
  int runs = 1;
  std::string keep, mailboxGiven, baselineCli;
  auto usage = [] {
    std::fprintf(stderr,
                 "usage: mail_import_bench [--count N | --counts N,N,...] [--runs R] [--baseline-cli PATH] "
                 "[--keep DIR] [--mailbox FILE]\n");
    return 2;
  };
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--count" && i + 1 < argc) {
      counts = {std::atol(argv[++i])};
    } else if (a == "--counts" && i + 1 < argc) {
      counts.clear();
      std::string list = argv[++i];
      for (std::size_t p = 0; p <= list.size();) {
        std::size_t comma = list.find(',', p);
        if (comma == std::string::npos) comma = list.size();
        if (comma > p) counts.push_back(std::atol(list.substr(p, comma - p).c_str()));
        p = comma + 1;
      }
    } else if (a == "--runs" && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else if (a == "--baseline-cli" && i + 1 < argc) {
      baselineCli = fs::absolute(argv[++i]).string();
    } else if (a == "--keep" && i + 1 < argc) {
      keep = argv[++i];
    } else if (a == "--mailbox" && i + 1 < argc) {
      mailboxGiven = argv[++i];
    } else {
      return usage();
    }
  }
  if (counts.empty()) counts = {100000};
  for (long c : counts)
    if (c <= 0) return usage();
  if (!mailboxGiven.empty() && counts.size() > 1) return usage();
  fs::path self = fs::canonical("/proc/self/exe").parent_path();
  std::string cli = (self / "quillbox-cli").string(), gen = (self / "gen_mailbox").string();
  std::vector<std::string> needed = {cli, gen};
  if (!baselineCli.empty()) needed.push_back(baselineCli);
  for (auto& p : needed)
    if (!fs::exists(p)) {
      std::fprintf(stderr, "mail_import_bench: %s is missing (build it first)\n", p.c_str());
      return 1;
    }

  std::string work = keep;
  if (work.empty()) {
    std::string t = (fs::temp_directory_path() / "qb-mail-bench-XXXXXX").string();
    if (!mkdtemp(t.data())) {
      std::perror("mkdtemp");
      return 1;
    }
    work = t;
  }
  fs::create_directories(work);
  printLoad("at the start");

  struct Size {
    long count;
    Import mine, base;
  };
  std::vector<Size> sizes;
  for (long count : counts) {
    std::string mailbox = mailboxGiven;
    if (mailbox.empty()) {
      mailbox = work + "/mailbox-" + std::to_string(count) + ".mbx";
      if (!fs::exists(mailbox)) {
        std::printf("Generating %ld mails ...\n", count);
        std::fflush(stdout);
        Child g = run({gen, mailbox, "--count", std::to_string(count)});
        if (g.status != 0) {
          std::fprintf(stderr, "mail_import_bench: the mailbox could not be generated\n");
          return 1;
        }
      }
    }
    uint64_t bytes = 0;
    double baseline = readOnce(mailbox, bytes);
    double mb = static_cast<double>(bytes) / 1e6;

    // This build and the baseline build take turns, so that both meet the
    // same load.
    std::vector<Import> mine, base;
    for (int r = 0; r < runs; ++r) {
      for (int which = 0; which < (baselineCli.empty() ? 1 : 2); ++which) {
        bool isBase = (which == 1) != (r % 2 == 1) && !baselineCli.empty();
        Import one = importOnce(isBase ? baselineCli : cli, work + (isBase ? "/home-baseline" : "/home"), mailbox);
        if (!one.ok) return 1;
        (isBase ? base : mine).push_back(one);
      }
    }
    Size sz{count, medianOf(mine), medianOf(base)};
    const double n = static_cast<double>(count);
    std::printf("\nMailbox: %s, %ld mails, %.1f MB; %d run%s each, medians\n", mailbox.c_str(), count, mb, runs,
                runs == 1 ? "" : "s");
    std::printf("Work records %.0f, stored %.0f, duplicates %.0f\n\n", sz.mine.works, sz.mine.imported, sz.mine.dups);
    line("Baseline: read once", baseline, n, mb, 0);
    line("Conversion", sz.mine.conversion, n, mb, 0);
    line("Storing", sz.mine.storing, n, mb, 0);
    line("Import end to end", sz.mine.total, n, mb, sz.mine.peakKb);
    line("Import processor time", sz.mine.cpu, n, mb, 0);
    if (!baselineCli.empty()) {
      line("Baseline build: conv.", sz.base.conversion, n, mb, 0);
      line("Baseline build: stor.", sz.base.storing, n, mb, 0);
      line("Baseline build: total", sz.base.total, n, mb, sz.base.peakKb);
      line("Baseline build: proc.", sz.base.cpu, n, mb, 0);
      std::printf("Speed-up against the baseline build: %.2fx (processor time %.2fx, storing %.2fx, conversion %.2fx)\n",
                  sz.mine.total > 0 ? sz.base.total / sz.mine.total : 0, sz.mine.cpu > 0 ? sz.base.cpu / sz.mine.cpu : 0,
                  sz.mine.storing > 0 ? sz.base.storing / sz.mine.storing : 0,
                  sz.mine.conversion > 0 ? sz.base.conversion / sz.mine.conversion : 0);
    }
    std::printf("Ratio of the import to the baseline read: %.1f\n", baseline > 0 ? sz.mine.total / baseline : 0);
    std::fflush(stdout);
    sizes.push_back(sz);
    if (mailboxGiven.empty() && keep.empty()) fs::remove(mailbox);
  }

  if (sizes.size() > 1) {
    // Seconds per 1,000 mails of each size against the smallest size.
    const Size& first = sizes.front();
    std::printf("\nGrowth (seconds per 1,000 mails, and against %ld mails; 1.00 is linear)\n", first.count);
    std::printf("%10s %10s %10s %8s %10s %8s %10s %8s %9s\n", "mails", "total s", "per 1000", "factor", "storing",
                "factor", "proc. s", "factor", "peak MB");
    for (const Size& sz : sizes) {
      double per = sz.mine.total * 1000 / static_cast<double>(sz.count);
      double per0 = first.mine.total * 1000 / static_cast<double>(first.count);
      double sper = sz.mine.storing * 1000 / static_cast<double>(sz.count);
      double sper0 = first.mine.storing * 1000 / static_cast<double>(first.count);
      double cper = sz.mine.cpu * 1000 / static_cast<double>(sz.count);
      double cper0 = first.mine.cpu * 1000 / static_cast<double>(first.count);
      std::printf("%10ld %10.2f %10.3f %8.2f %10.2f %8.2f %10.2f %8.2f %9ld\n", sz.count, sz.mine.total, per,
                  per0 > 0 ? per / per0 : 0, sz.mine.storing, sper0 > 0 ? sper / sper0 : 0, sz.mine.cpu,
                  cper0 > 0 ? cper / cper0 : 0, sz.mine.peakKb / 1024);
    }
  }
  printLoad("at the end");
  if (keep.empty()) fs::remove_all(work);
  return 0;
}
