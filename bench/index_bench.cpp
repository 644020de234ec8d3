// index_bench: the word index and search against peers and a baseline
// measured in the same run.
//
//   index_bench [--count N] [--million M] [--keep DIR] [--no-peers]
//
// Stage 1, with the peers: generates N mails (100,000 by default) with
// gen_mailbox, imports them with quillbox-cli and builds the word index
// (`quillbox-cli index --full`); writes the same mails as a Maildir and
// indexes it with `notmuch new` and `mu index` when those programs are
// installed. Prints the seconds, the size of each index on disk and the
// peak resident memory, each with its ratio to the peers, then times a
// one-word and a three-word search for the first page of 50 hits in
// Quillbox (in this process, through the engine) and with
// `notmuch search --limit=50` (a process each, which includes its start).
//
// Stage 2, the scale: builds a database of M short generated messages
// (1,000,000 by default) directly through the engine, indexes it, and times
// the first page of a one-word, a three-word AND, a prefix and a phrase
// search against the baseline of a linear scan of the texts (every text
// read and searched for the words), printing the ratio.
//
// The programs are taken from the directory of this one.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "archive/archive_home.h"
#include "archive/databases.h"
#include "archive/file_table.h"
#include "archive/record_access.h"
#include "archive/word_files.h"
#include "index/index_builder.h"
#include "index/query.h"
#include "index/word_form.h"
#include "index/word_list.h"
#include "text/aisinb.h"
#include "text/display_text.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace qb;

namespace {

double since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

struct Child {
  int status = -1;
  long peakKb = 0;
  double seconds = 0;
  std::string out;
};

Child run(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env = {}) {
  Child c;
  int pipefd[2];
  if (pipe(pipefd) != 0) return c;
  auto t0 = Clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    dup2(pipefd[1], 1);
    int devnull = open("/dev/null", O_WRONLY);
    if (devnull >= 0) dup2(devnull, 2);
    close(pipefd[0]);
    close(pipefd[1]);
    for (auto& [k, v] : env) setenv(k.c_str(), v.c_str(), 1);
    std::vector<char*> args;
    for (auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  close(pipefd[1]);
  char buf[4096];
  ssize_t n;
  while ((n = read(pipefd[0], buf, sizeof buf)) > 0) c.out.append(buf, static_cast<std::size_t>(n));
  close(pipefd[0]);
  struct rusage ru {};
  if (wait4(pid, &c.status, 0, &ru) == pid) c.peakKb = ru.ru_maxrss;
  c.seconds = since(t0);
  return c;
}

bool onPath(const std::string& prog) {
  return run({"sh", "-c", "command -v " + prog + " >/dev/null"}).status == 0;
}

uint64_t sizeOf(const fs::path& p) {
  std::error_code ec;
  if (fs::is_regular_file(p, ec)) return fs::file_size(p, ec);
  uint64_t total = 0;
  for (auto it = fs::recursive_directory_iterator(p, ec); !ec && it != fs::recursive_directory_iterator(); ++it)
    if (it->is_regular_file(ec)) total += it->file_size(ec);
  return total;
}

double mb(uint64_t b) { return static_cast<double>(b) / 1e6; }
std::string ratio(double ours, double theirs) {
  if (ours <= 0 || theirs <= 0) return "-";
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.2fx", theirs / ours);
  return buf;
}

// Splits a "From "-separated mailbox into a Maildir (one file per mail).
int writeMaildir(const std::string& mbox, const fs::path& dir) {
  fs::create_directories(dir / "cur");
  fs::create_directories(dir / "new");
  fs::create_directories(dir / "tmp");
  std::ifstream in(mbox, std::ios::binary);
  std::string line, mail;
  int n = 0;
  auto flush = [&] {
    if (mail.empty()) return;
    std::ofstream(dir / "cur" / (std::to_string(++n) + ".bench:2,S"), std::ios::binary) << mail;
    mail.clear();
  };
  while (std::getline(in, line)) {
    if (line.rfind("From ", 0) == 0) {
      flush();
      continue;
    }
    if (line.rfind(">From ", 0) == 0) line.erase(0, 1);
    mail += line;
    mail += '\n';
  }
  flush();
  return n;
}

// ---- the engine in this process ------------------------------------------------

struct Engine {
  RecordingUI ui;
  store::Session s{ui};
  bool open(const std::string& home, const std::string& db) {
    if (store::openHome(s, home) != store::HomeStatus::Ready) return false;
    store::OP_CLOSE(s, store::OpOpen, {2});
    auto& f = s.Forums();
    f.clear();
    f.rec.DESCRIPTION = db;
    bool ok = f.get(store::Forums::AlphaKey) == store::Err::Ok;
    store::Forums rec = f.rec;
    store::OP_CLOSE(s, store::OpClose, {2});
    if (ok) s.selectDatabase(rec);
    return ok;
  }
};

struct Timed {
  double ms = 0;
  std::size_t hits = 0;
};

// A search and its first page of 50 rows, as the browse shows it.
Timed firstPage(store::Session& s, const std::string& words, index::QueryOptions o = {}) {
  auto t0 = Clock::now();
  index::SearchRun run(s, words, o);
  Timed t;
  if (!run.start()) return t;
  while (!run.finished()) {
    run.step(1000);
    if (run.paused()) run.resume();
  }
  const bool mail = s.ForumType == store::KindMail;
  store::OP_CLOSE(s, store::OpOpen, {mail ? 13 : 3});
  int shown = 0;
  for (uint32_t id : run.results()) {
    if (shown == 50) break;
    if (mail) {
      auto& m = s.Mail();
      m.clear();
      m.rec.MAILID = id;
      if (m.get(store::Mail::IdKey) == store::Err::Ok) ++shown;
    } else {
      auto& m = s.MsgNmbr();
      m.clear();
      m.rec.MSGNUMBER = id;
      if (m.get(store::MsgNmbr::IdKey) == store::Err::Ok) ++shown;
    }
  }
  store::OP_CLOSE(s, store::OpClose, {mail ? 13 : 3});
  t.ms = since(t0) * 1000;
  t.hits = run.results().size();
  return t;
}

// Words of the word list with about `target` messages.
std::string wordNear(store::Session& s, int64_t target, const std::set<std::string>& avoid = {}) {
  store::openWordFile(s, 28);
  auto& w = store::wordListFile(s);
  w.clear();
  w.rec.WORDCOUNT = static_cast<int32_t>(target);
  w.setAt(store::WordList::by_WordCount);
  std::string best;
  while (w.next() == store::Err::Ok) {
    std::string word = w.rec.THEWORD.str();
    bool alpha = std::all_of(word.begin(), word.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
    if (alpha && word.size() >= 4 && !avoid.count(word)) {
      best = word;
      break;
    }
  }
  store::closeWordFile(s, 28);
  return best;
}

double indexRun(store::Session& s, index::IndexStats& st) {
  auto t0 = Clock::now();
  index::IndexBuilder b(s, index::IndexMode::Full);
  if (!b.start()) {
    std::fprintf(stderr, "index_bench: %s\n", b.message().c_str());
    return -1;
  }
  while (b.step(500)) {
  }
  st = b.stats();
  return since(t0);
}

long peakKbSelf() {
  struct rusage ru {};
  getrusage(RUSAGE_SELF, &ru);
  return ru.ru_maxrss;
}

// ---- stage 2: a million messages ---------------------------------------------------

struct Gen {
  uint64_t x = 88172645463325252ull;
  uint64_t next() {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    return x;
  }
};

// A vocabulary of pronounceable words; picks follow a Zipf-like curve.
std::vector<std::string> vocabulary(std::size_t n) {
  static const char* syl[] = {"ka", "lo", "mi", "ne", "ru", "sa", "te", "vi", "do", "pe", "ly", "gor",
                              "tan", "bel", "mar", "sil", "ven", "dra", "cho", "fin", "ost", "ul", "ex", "zo"};
  std::vector<std::string> v;
  Gen g;
  std::set<std::string> seen;
  while (v.size() < n) {
    std::string w;
    int parts = 2 + static_cast<int>(g.next() % 3);
    for (int i = 0; i < parts; ++i) w += syl[g.next() % 24];
    if (seen.insert(w).second) v.push_back(w);
  }
  return v;
}

void scalePart(const std::string& home, int64_t count) {
  std::printf("\n== Stage 2: %lld generated messages, queries against a linear scan ==\n",
              static_cast<long long>(count));
  Engine e;
  std::string error;
  if (!store::initHome(e.s, home, {}, error)) {
    std::fprintf(stderr, "index_bench: %s\n", error.c_str());
    return;
  }
  uint32_t db = store::createDatabase(e.s, store::KindForum, "Bench scale", store::ErrRelease);
  if (!db) return;
  store::Session& s = e.s;
  auto vocab = vocabulary(50000);
  Gen g;
  auto t0 = Clock::now();
  store::OP_CLOSE(s, store::OpOpen, {3, 4});
  auto& msg = s.MsgNmbr();
  auto& txt = s.MsgText();
  msg.stream();
  txt.stream();
  for (int64_t i = 0; i < count; ++i) {
    uint32_t id = 300000 + static_cast<uint32_t>(i);
    msg.clear();
    msg.rec.MSGNUMBER = id;
    msg.rec.DATE = 70000 + static_cast<int32_t>(i / 300);
    msg.rec.THREADNUMBER = 1 + static_cast<uint32_t>(i / 7);
    msg.append();
    std::string t;
    int words = 30 + static_cast<int>(g.next() % 60);
    for (int k = 0; k < words; ++k) {
      double u = static_cast<double>(g.next() % 1000000) / 1e6;
      auto idx = static_cast<std::size_t>(std::pow(u, 3.0) * static_cast<double>(vocab.size()));
      t += vocab[std::min(idx, vocab.size() - 1)];
      t += k % 12 == 11 ? "\n" : " ";
    }
    txt.clear();
    txt.rec.MSGNUMBER = id;
    txt.memo() = t;
    txt.append();
    if (i % 20000 == 19999) {
      msg.flush();
      txt.flush();
      msg.stream();
      txt.stream();
    }
  }
  msg.flush();
  txt.flush();
  msg.buildKeys();
  txt.buildKeys();
  store::OP_CLOSE(s, store::OpClose, {3, 4});
  std::printf("messages written in %.1f s\n", since(t0));

  index::IndexStats st;
  double secs = indexRun(s, st);
  uint64_t idxBytes = sizeOf(store::buildFileName(s, 28)) + sizeOf(store::buildFileName(s, 29));
  uint64_t textBytes = sizeOf(store::buildFileName(s, 4));
  std::printf("full index: %.1f s (%.0f messages/s), %lld postings, %lld words, index %.1f MB (texts %.1f MB)\n", secs,
              static_cast<double>(st.messages) / secs, static_cast<long long>(st.postings),
              static_cast<long long>(st.words), mb(idxBytes), mb(textBytes));

  std::string one = wordNear(s, count / 200);
  std::string a = wordNear(s, count / 20), b = wordNear(s, count / 10, {a}), c = wordNear(s, count / 8, {a, b});
  std::string three = a + " " + b + " " + c;
  std::string prefix = one.substr(0, 4) + "*";
  std::string phrase = a + " " + b;
  Timed t1 = firstPage(s, one), t3 = firstPage(s, three), tp = firstPage(s, prefix),
        tph = firstPage(s, phrase, {false, true});

  // Baseline: every text read and searched (whole words, case ignored).
  auto b0 = Clock::now();
  std::size_t base1 = 0, base3 = 0;
  std::string n1 = index::indexForm(one), na = index::indexForm(a), nb = index::indexForm(b), nc = index::indexForm(c);
  store::OP_CLOSE(s, store::OpOpen, {4});
  auto& tx = s.MsgText();
  tx.set(store::MsgText::IdKey);
  while (tx.next() == store::Err::Ok) {
    std::string f = index::indexForm(text::displayText(tx.memo()));
    if (text::findWord(true, n1, f) != std::string::npos) ++base1;
    if (text::findWord(true, na, f) != std::string::npos && text::findWord(true, nb, f) != std::string::npos &&
        text::findWord(true, nc, f) != std::string::npos)
      ++base3;
  }
  store::OP_CLOSE(s, store::OpClose, {4});
  double base = since(b0) * 1000;
  std::printf("\n%-34s %10s %10s %12s %8s\n", "query (first page of 50)", "ms", "hits", "baseline ms", "ratio");
  auto row = [&](const std::string& what, const Timed& t, std::size_t baseHits) {
    std::printf("%-34s %10.2f %10zu %12.0f %8s%s\n", what.c_str(), t.ms, t.hits, base, ratio(t.ms, base).c_str(),
                baseHits && baseHits != t.hits ? "  (hits differ from the scan!)" : "");
  };
  row("one word " + one, t1, base1);
  row("three words AND", t3, base3);
  row("prefix " + prefix, tp, 0);
  row("phrase " + phrase, tph, 0);
  std::printf("(the baseline is one scan for all queries: %.0f ms)\n", base);
  std::printf("peak resident memory of this process: %.0f MB\n", static_cast<double>(peakKbSelf()) / 1024);
}

}  // namespace

int main(int argc, char** argv) {
  long count = 100000, million = 1000000;
  std::string keep;
  bool peers = true;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--count" && i + 1 < argc) count = std::strtol(argv[++i], nullptr, 10);
    else if (a == "--million" && i + 1 < argc) million = std::strtol(argv[++i], nullptr, 10);
    else if (a == "--keep" && i + 1 < argc) keep = argv[++i];
    else if (a == "--no-peers") peers = false;
    else {
      std::fprintf(stderr, "usage: index_bench [--count N] [--million M] [--keep DIR] [--no-peers]\n");
      return 2;
    }
  }
  fs::path self = fs::canonical("/proc/self/exe").parent_path();
  std::string cli = (self / "quillbox-cli").string(), gen = (self / "gen_mailbox").string();
  fs::path work = keep.empty() ? fs::temp_directory_path() / ("index_bench." + std::to_string(getpid())) : fs::path(keep);
  fs::create_directories(work);
  std::string home = (work / "home").string(), mbox = (work / "mails.mbx").string();

  if (count > 0) {
    std::printf("== Stage 1: %ld generated mails, Quillbox and its peers ==\n", count);
    if (run({gen, mbox, "--count", std::to_string(count)}).status != 0) {
      std::fprintf(stderr, "index_bench: gen_mailbox failed\n");
      return 1;
    }
    run({cli, "--quiet", "--home", home, "init"});
    run({cli, "--quiet", "--home", home, "maildb", "create", "Pat Owner", "--address", "owner@example.com"});
    Child imp = run({cli, "--quiet", "--home", home, "import", "--format", "Generic Mail Type 2", "--mail-db",
                     "Pat Owner", mbox});
    Child idx = run({cli, "--quiet", "--home", home, "index", "Pat Owner", "--full"});
    if (imp.status != 0 || idx.status != 0) {
      std::fprintf(stderr, "index_bench: the import or the indexing failed\n");
      return 1;
    }
    Engine e;
    e.open(home, "Pat Owner");
    uint64_t qbIndex = sizeOf(store::buildFileName(e.s, 28)) + sizeOf(store::buildFileName(e.s, 29));
    double qbTotal = imp.seconds + idx.seconds;

    struct Peer {
      std::string name;
      double seconds = -1;
      uint64_t bytes = 0;
      long peakKb = 0;
    };
    std::vector<Peer> ps;
    fs::path maildir = work / "Maildir";
    std::map<std::string, std::string> nmEnv;
    bool haveNotmuch = false;
    if (peers) {
      writeMaildir(mbox, maildir);
      if (onPath("notmuch")) {
        fs::path cfg = work / "notmuch-config";
        std::ofstream(cfg) << "[database]\npath=" << maildir.string() << "\n[user]\nname=Bench\nprimary_email=owner@example.com\n[new]\ntags=\n";
        nmEnv = {{"NOTMUCH_CONFIG", cfg.string()}};
        Child nm = run({"notmuch", "new", "--quiet"}, nmEnv);
        haveNotmuch = nm.status == 0;
        ps.push_back({"notmuch new", nm.status == 0 ? nm.seconds : -1, sizeOf(maildir / ".notmuch"), nm.peakKb});
      }
      if (onPath("mu")) {
        fs::path muhome = work / "mu";
        run({"mu", "init", "--maildir=" + maildir.string(), "--muhome=" + muhome.string()});
        Child mu = run({"mu", "index", "--muhome=" + muhome.string()});
        ps.push_back({"mu index", mu.status == 0 ? mu.seconds : -1, sizeOf(muhome), mu.peakKb});
      }
    }
    std::printf("\n%-28s %10s %12s %10s\n", "", "seconds", "index MB", "peak MB");
    std::printf("%-28s %10.1f %12s %10.0f\n", "Quillbox import", imp.seconds, "", imp.peakKb / 1024.0);
    std::printf("%-28s %10.1f %12.1f %10.0f\n", "Quillbox word index", idx.seconds, mb(qbIndex), idx.peakKb / 1024.0);
    std::printf("%-28s %10.1f\n", "Quillbox import + index", qbTotal);
    for (auto& p : ps)
      std::printf("%-28s %10.1f %12.1f %10.0f   speed %s, size %s\n", p.name.c_str(), p.seconds, mb(p.bytes),
                  p.peakKb / 1024.0, ratio(qbTotal, p.seconds).c_str(),
                  ratio(static_cast<double>(qbIndex), static_cast<double>(p.bytes)).c_str());
    if (ps.empty()) std::printf("(notmuch and mu are not installed: no peers)\n");

    std::string w1 = wordNear(e.s, count / 100);
    std::string a = wordNear(e.s, count / 10), b = wordNear(e.s, count / 8, {a}), c = wordNear(e.s, count / 6, {a, b});
    std::printf("\n%-40s %10s %8s %14s %8s\n", "search, first page of 50", "ms", "hits", "notmuch ms", "ratio");
    for (const std::string& q : {w1, a + " " + b + " " + c}) {
      Timed t = firstPage(e.s, q);
      double nm = -1;
      if (haveNotmuch) {
        std::string terms;
        for (char ch : q) terms += ch == ' ' ? std::string(" and ") : std::string(1, static_cast<char>(std::tolower(ch)));
        nm = run({"notmuch", "search", "--limit=50", terms}, nmEnv).seconds * 1000;
      }
      std::printf("%-40s %10.2f %8zu %14.1f %8s\n", q.c_str(), t.ms, t.hits, nm, ratio(t.ms, nm).c_str());
    }
  }
  if (million > 0) scalePart(home + "-scale", million);
  if (keep.empty()) {
    std::error_code ec;
    fs::remove_all(work, ec);
    fs::remove_all(home + "-scale", ec);
  }
  return 0;
}
