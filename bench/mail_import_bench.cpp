// mail_import_bench: the import of a large mailbox, end to end.
//
//   mail_import_bench [--count N] [--keep DIR] [--mailbox FILE]
//
// Generates a "Generic Mail Type 2" mailbox with gen_mailbox (100,000 mails
// by default), reads it once as the baseline (the physical floor: the time
// any importer needs at least), then creates a fresh archive with the
// owner's mail database and imports the mailbox with quillbox-cli. Prints for
// the conversion phase and the storing phase the seconds, mails per second
// and megabytes per second, the peak resident memory of the import, and the
// ratio of the import's total time to the baseline read, all measured in
// this run. The programs are taken from the directory of this one.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

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
  if (wait4(pid, &c.status, 0, &ru) == pid) c.peakKb = ru.ru_maxrss;
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

void line(const char* what, double seconds, double mails, double mb, long peakKb) {
  std::printf("%-22s %9.2f s %11.0f mails/s %9.1f MB/s", what, seconds, seconds > 0 ? mails / seconds : 0,
              seconds > 0 ? mb / seconds : 0);
  if (peakKb > 0) std::printf("   peak RSS %ld MB", peakKb / 1024);
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  long count = 100000;
  std::string keep, mailbox;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--count" && i + 1 < argc)
      count = std::atol(argv[++i]);
    else if (a == "--keep" && i + 1 < argc)
      keep = argv[++i];
    else if (a == "--mailbox" && i + 1 < argc)
      mailbox = argv[++i];
    else {
      std::fprintf(stderr, "usage: mail_import_bench [--count N] [--keep DIR] [--mailbox FILE]\n");
      return 2;
    }
  }
  fs::path self = fs::canonical("/proc/self/exe").parent_path();
  std::string cli = (self / "quillbox-cli").string(), gen = (self / "gen_mailbox").string();
  for (auto& p : {cli, gen})
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
  if (mailbox.empty()) {
    mailbox = work + "/mailbox-" + std::to_string(count) + ".mbx";
    if (!fs::exists(mailbox)) {
      std::printf("Generating %ld mails ...\n", count);
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

  std::string home = work + "/home";
  fs::remove_all(home);
  if (run({cli, "--quiet", "--home", home, "init"}).status != 0 ||
      run({cli, "--quiet", "--home", home, "maildb", "create", "Pat Owner", "--address", "owner@example.com", "--alt",
           "pat.owner@example.org", "--alt", "powner@example.net"})
              .status != 0) {
    std::fprintf(stderr, "mail_import_bench: the archive could not be created in %s\n", home.c_str());
    return 1;
  }

  auto t0 = Clock::now();
  Child imp = run({cli, "--quiet", "--home", home, "import", "--format", "Generic Mail Type 2", "--mail-db", "Pat Owner",
                   "--timings", mailbox});
  double total = std::chrono::duration<double>(Clock::now() - t0).count();
  if (!WIFEXITED(imp.status) || WEXITSTATUS(imp.status) == 2) {
    std::fprintf(stderr, "mail_import_bench: the import failed\n%s", imp.out.c_str());
    return 1;
  }
  double conversion = valueAfter(imp.out, "Conversion:");
  double storing = valueAfter(imp.out, "Storing:");
  double works = valueAfter(imp.out, "Work records:");
  double imported = valueAfter(imp.out, "Imported:");
  double dups = valueAfter(imp.out, "Duplicates:");

  std::printf("Mailbox: %s, %ld mails, %.1f MB\n", mailbox.c_str(), count, mb);
  std::printf("Work records %.0f, stored %.0f, duplicates %.0f\n\n", works, imported, dups);
  line("Baseline: read once", baseline, static_cast<double>(count), mb, 0);
  line("Conversion", conversion, static_cast<double>(count), mb, 0);
  line("Storing", storing, static_cast<double>(count), mb, 0);
  line("Import end to end", total, static_cast<double>(count), mb, imp.peakKb);
  std::printf("\nRatio of the import to the baseline read: %.1f\n", baseline > 0 ? total / baseline : 0);
  if (keep.empty()) fs::remove_all(work);
  return 0;
}
