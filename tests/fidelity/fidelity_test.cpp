// The fidelity check: mailboxes and news files are imported with the
// command line as a user would, every stored message is dumped with `show
// --json`, and fidelity.py compares each one field by field with what
// Python's `email` and `mailbox` parsers read from the same files. The
// generated corpus (envelope shapes, line ends, folding, encoded words,
// charsets, MIME preambles, quoted-printable, flowed text, Eudora markers,
// long lines and names) must match on every field; the real stores of
// ../shared/realworld are compared and their match rates reported, each
// remaining difference being a rule of the format that fidelity.py names.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "support/cli_run.h"

namespace qb::test {
namespace {

namespace fs = std::filesystem;

const std::string kScript = std::string(QB_SOURCE_DIR) + "/tests/fidelity/fidelity.py";
const std::string kOwner = "owner@example.invalid";

struct Shell {
  int code = -1;
  std::string out;
};

// Runs a command line through the shell, with its output.
Shell shell(const std::string& command) {
  Shell r;
  FILE* p = ::popen((command + " 2>&1").c_str(), "r");
  if (!p) return r;
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
  int status = ::pclose(p);
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

std::string quoted(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

bool havePython() { return shell("python3 -c 'import email, mailbox'").code == 0; }

std::string readFile(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

// The values of "key": "value" or "key": number pairs of a JSON text, in order.
std::vector<std::string> jsonValues(const std::string& json, const std::string& key) {
  std::vector<std::string> out;
  std::regex re("\"" + key + "\": (\"((?:[^\"\\\\]|\\\\.)*)\"|(\\d+))");
  for (auto it = std::sregex_iterator(json.begin(), json.end(), re); it != std::sregex_iterator(); ++it)
    out.push_back((*it)[3].matched ? (*it)[3].str() : (*it)[2].str());
  return out;
}

// One corpus of a manifest: what is imported, how.
struct Corpus {
  std::string name, format;
  std::vector<std::string> files;
  bool news = false;
};

std::vector<Corpus> readManifest(const fs::path& manifest) {
  // The manifest is written by fidelity.py, one corpus object after the other.
  const std::string json = readFile(manifest);
  std::vector<Corpus> out;
  std::size_t at = 0;
  while ((at = json.find("\"name\":", at)) != std::string::npos) {
    std::size_t end = json.find('}', at);
    const std::string obj = json.substr(at - 1, end - at + 2);
    Corpus c;
    c.name = jsonValues(obj, "name").at(0);
    c.format = jsonValues(obj, "format").at(0);
    c.news = obj.find("\"news\": true") != std::string::npos;
    std::size_t f = obj.find("\"files\":");
    std::size_t close = obj.find(']', f);
    std::regex str("\"((?:[^\"\\\\]|\\\\.)*)\"");
    const std::string list = obj.substr(f + 8, close - f - 8);
    for (auto it = std::sregex_iterator(list.begin(), list.end(), str); it != std::sregex_iterator(); ++it)
      c.files.push_back((*it)[1].str());
    out.push_back(std::move(c));
    at = end;
  }
  return out;
}

// Imports a corpus into a fresh archive and writes the `show --json` object
// of every stored message, in the order they were stored, to DUMPS/<name>.json.
void importAndDump(const Corpus& c, const fs::path& work, const fs::path& dumps) {
  struct Home {
    std::string path;
    const std::string& home() const { return path; }
  } home{(work / ("home-" + c.name)).string()};
  ASSERT_EQ(runCli(QB_CLI, home.home(), {"init"}).code, 0);
  std::vector<std::string> args = {"import", "--format", c.format};
  if (!c.news) {
    ASSERT_EQ(runCli(QB_CLI, home.home(), {"maildb", "create", "Fidelity", "--address", kOwner}).code, 0);
    args.insert(args.end(), {"--mail-db", "Fidelity"});
  }
  args.insert(args.end(), c.files.begin(), c.files.end());
  CliResult imported = runCli(QB_CLI, home.home(), args);
  ASSERT_LE(imported.code, 1) << imported.err;

  // Every database's messages, by their number (numbers are given in the
  // order of the files).
  std::vector<std::pair<long, std::string>> messages;  // number, database
  for (const std::string& db : jsonValues(runCli(QB_CLI, home.home(), {"databases", "--json"}).out, "name")) {
    const std::string list = runCli(QB_CLI, home.home(), {"list", db, "--json"}).out;
    for (const std::string& n : jsonValues(list, c.news ? "number" : "id")) messages.emplace_back(std::stol(n), db);
  }
  std::sort(messages.begin(), messages.end());
  std::string dump = "[";
  for (std::size_t i = 0; i < messages.size(); ++i) {
    CliResult shown = runCli(QB_CLI, home.home(), {"show", messages[i].second, std::to_string(messages[i].first), "--json"});
    ASSERT_EQ(shown.code, 0) << shown.err;
    dump += (i ? ",\n" : "\n") + shown.out;
  }
  dump += "]\n";
  std::ofstream(dumps / (c.name + ".json"), std::ios::binary) << dump;
}

// Imports every corpus of the manifest and runs the comparison; returns its
// report and exit code.
Shell runCorpora(const fs::path& manifest, const fs::path& work) {
  const fs::path dumps = work / "dumps";
  fs::create_directories(dumps);
  for (const Corpus& c : readManifest(manifest)) {
    SCOPED_TRACE(c.name);
    importAndDump(c, work, dumps);
  }
  return shell("python3 " + quoted(kScript) + " compare " + quoted(manifest.string()) + " " + quoted(dumps.string()));
}

class Fidelity : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!havePython()) GTEST_SKIP() << "python3 with its email and mailbox modules is not installed";
    work_ = fs::temp_directory_path() / ("qb-fidelity-" + std::to_string(::getpid()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(work_);
    fs::create_directories(work_);
  }
  void TearDown() override {
    if (!work_.empty() && !HasFailure()) fs::remove_all(work_);
  }
  fs::path work_;
};

TEST_F(Fidelity, GeneratedCorpusMatchesThePythonParsersOnEveryField) {
  Shell gen = shell("python3 " + quoted(kScript) + " generate " + quoted((work_ / "corpus").string()));
  ASSERT_EQ(gen.code, 0) << gen.out;
  Shell report = runCorpora(work_ / "corpus" / "manifest.json", work_);
  std::printf("%s", report.out.c_str());
  RecordProperty("report", report.out);
  EXPECT_EQ(report.code, 0) << report.out;
  EXPECT_NE(report.out.find("generated-cr "), std::string::npos) << report.out;
}

TEST_F(Fidelity, RealStoresAreComparedAndReported) {
  const fs::path root = fs::path(QB_SOURCE_DIR) / ".." / "shared" / "realworld";
  if (!fs::is_directory(root)) GTEST_SKIP() << "../shared/realworld is not there: the real stores are not compared";
  Shell list = shell("python3 " + quoted(kScript) + " realworld " + quoted(root.string()) + " " +
                     quoted((work_ / "real").string()));
  ASSERT_EQ(list.code, 0) << list.out;
  Shell report = runCorpora(work_ / "real" / "manifest.json", work_);
  std::printf("%s", report.out.c_str());
  RecordProperty("report", report.out);
  ASSERT_EQ(report.code, 0) << report.out;
  // Every real message is separated and stored.
  EXPECT_EQ(report.out.find("count 0%"), std::string::npos) << "a real store lost or merged messages:\n" << report.out;
}

}  // namespace
}  // namespace qb::test
