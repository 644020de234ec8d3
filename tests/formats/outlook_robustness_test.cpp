// Damaged and foreign Outlook data files: a zero-byte file, a text file
// named .pst, a truncated data file, flipped and random bytes. Each gives a
// clear message and stops the run, or yields what can be read; none
// crashes or hangs, and the archive is left as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include <unistd.h>

#include "formats/outlook_support.h"
#include "import/formats/outlook/pst_source.h"
#include "support/cli_run.h"

namespace qb::outlooktest {
namespace {

namespace fs = std::filesystem;

fs::path sample() {
  return fs::path(QB_SOURCE_DIR) / ".." / "shared" / "realworld" / "pst" / "pstsdk_sample1.pst";
}

// Reads every folder and item of `bytes` as a data file; returns whether it
// opened. Memory and time stay bounded whatever the bytes.
bool readAll(const std::string& path, const std::string& bytes, std::string& reason) {
  import::testing::writeFile(path, bytes);
  OpenError error;
  auto source = import::outlook::openPstFile(path, error);
  reason = error.reason;
  if (!source) return false;
  int items = 0;
  for (std::size_t i = 0; i < source->folders().size(); ++i) {
    source->openFolder(i);
    OutlookItem item;
    while (source->nextItem(item) && ++items < 100000) {
      EXPECT_LE(item.body.size(), 16u << 20);
    }
  }
  return true;
}

class OutlookRobustness : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("qb-pst-" + std::to_string(::getpid()));
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  fs::path dir;
};

TEST_F(OutlookRobustness, ForeignFilesAreNoDataFiles) {
  std::string reason;
  EXPECT_FALSE(readAll((dir / "zero.pst").string(), "", reason));
  EXPECT_EQ(reason, "The file is not an Outlook data file.");
  EXPECT_FALSE(readAll((dir / "text.pst").string(), "From: someone\r\nSubject: not a data file\r\n", reason));
  EXPECT_EQ(reason, "The file is not an Outlook data file.");
  // The signature alone, with a header cut off or made of noise.
  std::mt19937 rng(7);
  for (int len : {4, 100, 600, 5000}) {
    std::string bytes = "!BDN";
    while (static_cast<int>(bytes.size()) < len) bytes += static_cast<char>(rng());
    EXPECT_FALSE(readAll((dir / "noise.pst").string(), bytes, reason)) << len;
    EXPECT_FALSE(reason.empty());
  }
  OpenError error;
  EXPECT_FALSE(import::outlook::openPstFile((dir / "missing.pst").string(), error));
  EXPECT_TRUE(error.unreadable);
  EXPECT_EQ(error.reason, "No such file or directory");
}

TEST_F(OutlookRobustness, TruncatedAndDamagedRealFiles) {
  if (!fs::exists(sample())) GTEST_SKIP() << sample() << " is absent (../shared)";
  const std::string whole = slurp(sample());
  std::string reason;
  for (std::size_t len : {std::size_t{512}, whole.size() / 3, whole.size() - 1}) {
    EXPECT_FALSE(readAll((dir / "cut.pst").string(), whole.substr(0, len), reason)) << len;
    EXPECT_NE(reason.find("truncated"), std::string::npos) << reason;
  }
  // Flipped bytes anywhere after the header: the file is refused or read as
  // far as it can be, without a crash.
  std::mt19937 rng(12);
  for (int round = 0; round < 60; ++round) {
    std::string bytes = whole;
    int flips = round % 3 == 0 ? 1 : round % 3 == 1 ? 40 : 2000;
    for (int f = 0; f < flips; ++f) bytes[512 + rng() % (bytes.size() - 512)] = static_cast<char>(rng());
    readAll((dir / "flipped.pst").string(), bytes, reason);
  }
}

TEST_F(OutlookRobustness, CommandLineExitsWithTwoAndLeavesTheArchive) {
  mailtest::MailArchive archive;
  const std::string home = archive.archive.home();
  auto before = test::runCli(QB_CLI, home, {"list", mailtest::kOwnerDb});
  std::string text = (dir / "text.pst").string();
  import::testing::writeFile(text, "not an Outlook data file\n");
  struct Case {
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {{text}, "Outlook cannot be run"},
      {{(dir / "missing.pst").string()}, "Fatal error. Outlook cannot be initialized."},
      {{}, "Fatal error. Outlook cannot be initialized."},
  };
  for (auto& c : cases) {
    std::vector<std::string> args = {"--quiet", "import", "--format", "Outlook Mail", "--mail-db", mailtest::kOwnerDb};
    args.insert(args.end(), c.args.begin(), c.args.end());
    auto r = test::runCli(QB_CLI, home, args);
    EXPECT_EQ(r.code, 2) << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    if (!c.args.empty()) {
      EXPECT_NE(r.err.find(c.args[0]), std::string::npos) << "names the file: " << r.err;
    }
  }
  if (fs::exists(sample())) {
    std::string cut = (dir / "cut.pst").string();
    import::testing::writeFile(cut, slurp(sample()).substr(0, 100000));
    auto r = test::runCli(QB_CLI, home, {"--quiet", "import", "--format", "33", "--mail-db", mailtest::kOwnerDb, cut});
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("truncated"), std::string::npos) << r.err;
    r = test::runCli(QB_CLI, home, {"pst-folders", cut});
    EXPECT_EQ(r.code, 2);
  }
  auto r = test::runCli(QB_CLI, home, {"pst-folders"});
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("Outlook Is Not Installed"), std::string::npos) << r.err;
  EXPECT_EQ(test::runCli(QB_CLI, home, {"list", mailtest::kOwnerDb}).out, before.out);
}

}  // namespace
}  // namespace qb::outlooktest
