// The purge, count and dedup commands: the dry run of dedup names exactly
// the mails a real run marks, a database marked for deletion is left alone
// without --yes and removed with it, usage errors give exit code 2, and a
// scheduled run reports to the task processing and goes on with the next
// database it is given.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "archive/file_table.h"
#include "archive/maildb.h"
#include "purge_fixture.h"
#include "support/cli_run.h"
#include "text/datetime.h"

namespace qb::test {
namespace {

using namespace qb::store;

class PurgeCli : public PurgeFixture {
 protected:
  CliResult cli(const std::vector<std::string>& args) { return runCli(QB_CLI, archive.home(), args); }
};

TEST_F(PurgeCli, DedupDryRunNamesWhatTheRealRunMarks) {
  MailDatabaseFields fields{"Jane Doe", "jane@home.org", {}};
  ASSERT_NE(createMailDatabase(s, fields), 0u);
  std::vector<std::string> lines;
  for (int i = 0; i < 9; ++i)
    lines.push_back("M|Jane Doe|1|Note " + std::to_string(i) + "|Bob Ray|bob@x.org|Jane Doe|jane@home.org|20020304|" +
                    std::to_string(100000 + i * 100) + "|text " + std::to_string(i) + "|");
  import(lines);
  ASSERT_NE(use("Jane Doe").ID, 0u);
  std::vector<uint32_t> ids;
  for (int i = 0; i < 9; ++i) ids.push_back(messageByText("text " + std::to_string(i)));
  const std::string text = "The same words, in a mail that arrived more than once.";
  // Three groups of copies with seconds apart, one with a kept copy.
  for (int i = 0; i < 9; ++i)
    setMail(ids[i], text::timeValue(9 + i / 3, 30, 5 + 10 * (i % 3)), text + (i % 3 == 2 ? "  thanks" : ""),
            "Note " + std::to_string(i / 3));
  setMessageStatus(ids[7], StatusKeep);

  auto dry = cli({"dedup", "Jane Doe", "--dry-run", "--json"});
  ASSERT_EQ(dry.code, 0) << dry.err;
  std::set<uint32_t> predicted;
  std::regex copy(R"(\{"id": (\d+), "length": \d+, "status": "\w+", "marked": true)");
  for (std::sregex_iterator it(dry.out.begin(), dry.out.end(), copy), end; it != end; ++it)
    predicted.insert(static_cast<uint32_t>(std::stoul((*it)[1])));
  EXPECT_EQ(predicted.size(), 5u) << dry.out;  // two copies in each group, less the kept one
  EXPECT_NE(dry.out.find("\"marked\": false"), std::string::npos);
  EXPECT_EQ(messages().count(ids[0]), 1u);
  for (auto [id, st] : messages()) EXPECT_NE(st, StatusDelete) << "the dry run changed mail " << id;

  auto text1 = cli({"dedup", "Jane Doe", "--dry-run"});
  EXPECT_NE(text1.out.find("same date and time, subject, partners, first 30 characters of text"), std::string::npos)
      << text1.out;
  EXPECT_NE(text1.out.find("5 mails would get delete status"), std::string::npos) << text1.out;

  auto real = cli({"dedup", "Jane Doe"});
  ASSERT_EQ(real.code, 0) << real.err;
  std::set<uint32_t> marked;
  for (auto [id, st] : messages())
    if (st == StatusDelete) marked.insert(id);
  EXPECT_EQ(marked, predicted);

  auto purge = cli({"purge", "Jane Doe"});
  ASSERT_EQ(purge.code, 0) << purge.err;
  EXPECT_NE(purge.out.find("9 messages before, 5 deleted, 4 after"), std::string::npos) << purge.out;
  expectConsistent();
}

TEST_F(PurgeCli, MarkedDatabaseNeedsYesAndUsageErrorsExitTwo) {
  import({"F|Pets|1|Cats|1|0|Hello|Ann Ash|ann@x|||20050301|one"});
  ASSERT_NE(use("Pets").ID, 0u);
  setDatabaseStatus(StatusDelete);
  const std::string dir = s.databaseDir();
  s.clearDatabase();
  auto no = cli({"purge", "Pets"});
  EXPECT_EQ(no.code, 1);
  EXPECT_NE(no.err.find("--yes"), std::string::npos) << no.err;
  EXPECT_TRUE(std::filesystem::exists(dir));
  EXPECT_EQ(cli({"purge", "Pets", "--age-weeks", "0"}).code, 2);
  EXPECT_EQ(cli({"purge", "Pets", "--nonsense"}).code, 2);
  EXPECT_EQ(cli({"purge"}).code, 2);
  EXPECT_EQ(cli({"purge", "Nowhere"}).code, 2);
  EXPECT_EQ(cli({"dedup", "Pets", "--dry-run"}).code, 2);  // no mail database
  auto count = cli({"count", "Pets"});
  EXPECT_EQ(count.code, 0) << count.err;
  EXPECT_NE(count.out.find("1 messages, 1 threads"), std::string::npos) << count.out;
  auto yes = cli({"purge", "Pets", "--yes"});
  EXPECT_EQ(yes.code, 0) << yes.err;
  EXPECT_FALSE(std::filesystem::exists(dir));
  EXPECT_NE(cli({"help", "purge"}).out.find("--age-weeks N"), std::string::npos);
}

// The task processing's side of unattended runs.
struct RecordingReport : maintenance::TaskReport {
  std::vector<std::string> calls;
  uint32_t next = 0;
  void begins(int kind, uint32_t forumId) override {
    calls.push_back("begins " + std::to_string(kind) + " " + std::to_string(forumId));
  }
  maintenance::NextMaintenance ended(int kind, bool done, uint32_t forumId) override {
    calls.push_back("ended " + std::to_string(kind) + " " + std::to_string(done) + " " + std::to_string(forumId));
    maintenance::NextMaintenance n{next ? maintenance::KindCount : 0, next};
    next = 0;
    return n;
  }
  void aborted(int kind, uint32_t forumId, const std::string& cause) override {
    calls.push_back("aborted " + std::to_string(kind) + " " + std::to_string(forumId) + " " + cause);
  }
};

TEST_F(PurgeCli, ScheduledRunReportsAndGoesOnWithTheNextDatabase) {
  import({"F|Pets|1|Cats|1|0|Hello|Ann Ash|ann@x|||20050301|one",
          "F|Birds|1|Songs|1|0|Tweet|Bob Birch|bob@x|||20050301|two"});
  const uint32_t birds = use("Birds").ID;
  const uint32_t pets = use("Pets").ID;
  setMessageStatus(messageByText("one"), StatusDelete);
  RecordingReport report;
  report.next = birds;
  s.DoTask = 2;
  maintenance::PurgeRun run(s, {});
  run.report = &report;
  EXPECT_EQ(run.title(), " Scheduled Message Purging [Pets]");
  ASSERT_EQ(run.start(), maintenance::StartResult::Started);
  while (run.step()) {
  }
  s.DoTask = 0;
  EXPECT_EQ(report.calls,
            (std::vector<std::string>{"begins 2 " + std::to_string(pets), "ended 2 1 " + std::to_string(pets),
                                      "begins 5 " + std::to_string(birds), "ended 5 1 " + std::to_string(birds)}));
  EXPECT_EQ(s.ForumNumber, birds);
  EXPECT_TRUE(archive.ui.entries.empty() || archive.ui.entries.back().title != " Obsolete Message Purging ");
  use("Pets");
  EXPECT_TRUE(messages().empty());
}

}  // namespace
}  // namespace qb::test
