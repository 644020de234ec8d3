// The import run on real temporary archives, with a scripted converter.
#include <filesystem>

#include "run_fixture.h"
#include "import/store_batches.h"
#include "archive/databases.h"
#include "text/datetime.h"
#include "archive/maildb.h"

namespace qb::test {
namespace {

using import::RunStats;

const std::string kMsg1 = "F|Writers|1|General|101|0|First steps|John Smith|12345,678|All||19960315|Hello";
const std::string kMsg2 = "F|Writers|1|General|102|101|First steps|Mary Jones|23456,789|John Smith|12345,678|19960316|Re hello";

TEST_F(RunFixture, ImportsForumMessagesIntoNewDatabaseWithCounts) {
  RunStats st = run(request({script("a.scr", {kMsg1, kMsg2})}));
  EXPECT_EQ(st.workRecords, 2u);
  EXPECT_EQ(st.imported, 2u);
  EXPECT_EQ(finalMessage, "The import process has finished!");
  store::Forums f = forum("Writers");
  ASSERT_NE(f.ID, 0u);
  EXPECT_EQ(f.TYPE, store::KindForum);
  EXPECT_EQ(f.MSGCOUNT, 2u);
  EXPECT_EQ(f.COUNTFLAG, 0);
  EXPECT_EQ(f.WORDLISTINDEXNEEDSUPDATE, 1);
  EXPECT_TRUE(std::filesystem::is_directory(s.FileDir + "/F" + std::to_string(f.DIRNUMBER)));
  Db db(s, f);
  auto th = db.threads();
  ASSERT_EQ(th.size(), 1u);
  EXPECT_EQ(th[0].MSGCOUNT, 2u);
  auto sec = db.sections();
  ASSERT_EQ(sec.size(), 1u);
  EXPECT_EQ(sec[0].MSGCOUNT, 2u);
  EXPECT_EQ(sec[0].DESCRIPTION.str(), "General");
  auto h = db.headers();
  ASSERT_EQ(h.size(), 2u);
  for (auto& m : h) EXPECT_EQ(m.THREADNUMBER, th[0].THREADNUMBER);
  EXPECT_EQ(db.text(102), "Re hello");
  for (auto& p : db.persons()) {
    if (p.LASTNAME.str() == "Smith") {
      EXPECT_EQ(p.FROMCOUNT, 1u);
      EXPECT_EQ(p.TOCOUNT, 1u);
    }
  }
  // The work files are gone, the run's identifiers were written back.
  EXPECT_FALSE(std::filesystem::exists(s.TempDir + "/IDX010.TPS"));
}

TEST_F(RunFixture, MissingFileIsSkippedWithItsMessage) {
  std::string missing = inDir + "/gone.scr";
  RunStats st = run(request({script("a.scr", {kMsg1}), missing, script("b.scr", {kMsg2})}));
  EXPECT_EQ(st.imported, 2u);
  EXPECT_EQ(st.missingFiles, 1u);
  EXPECT_TRUE(archive.ui.saw("The file " + missing + " does not exist and will be skipped!"));
}

TEST_F(RunFixture, NoMessagesFound) {
  RunStats st = run(request({script("empty.scr", {"X|nothing"})}));
  EXPECT_EQ(st.imported, 0u);
  EXPECT_EQ(st.skipped, 1u);
  EXPECT_TRUE(archive.ui.saw("No messages found in selected file(s)!\r\nImport unsuccessful!"));
  EXPECT_EQ(finalMessage, "No messages to import!");
}

TEST_F(RunFixture, DirectorySelectionTakesMatchingFilesOnly) {
  script("a.SCR", {kMsg1});
  script("b.txt", {kMsg2});
  import::ImportRequest r = request({});
  r.selectionMethod = 1;
  r.sourcePath = inDir;
  r.pattern = "*.scr";
  EXPECT_EQ(run(r).imported, 1u);
}

TEST_F(RunFixture, RedirectedNewsgroupIsStoredInTargetAndRedirectionToRedirectedIsIgnored) {
  uint32_t a = archive.addDatabase(store::KindNewsgroup, "alt.a");
  uint32_t b = archive.addDatabase(store::KindNewsgroup, "alt.b");
  archive.addDatabase(store::KindNewsgroup, "alt.c");
  store::Forums fa = forum("alt.a"), fc = forum("alt.c");
  fa.REDIRNOW = b;
  fc.REDIRNOW = a;  // a is redirected itself: ignored
  setForum(fa);
  setForum(fc);
  RunStats st = run(request({script("n.scr", {"N|alt.a|<1@x>||Hi|Ann Lee|ann@x|20010102|101500|one",
                                              "N|alt.c|<2@x>||Ho|Ann Lee|ann@x|20010102|101600|two"})}));
  EXPECT_EQ(st.imported, 2u);
  EXPECT_EQ(forum("alt.a").MSGCOUNT, 0u);
  EXPECT_EQ(forum("alt.c").MSGCOUNT, 1u);
  store::Forums fb = forum("alt.b");
  EXPECT_EQ(fb.MSGCOUNT, 1u);
  Db db(s, fb);
  auto sec = db.sections();
  ASSERT_EQ(sec.size(), 1u);
  EXPECT_EQ(sec[0].DESCRIPTION.str(), "alt.a");
  EXPECT_EQ(sec[0].SECSYSID, a);
}

TEST_F(RunFixture, NewsgroupNamesDifferingInCaseMapToOneDatabase) {
  RunStats st = run(request({script("n.scr", {"N|comp.Lang.C|<1@x>||Hi|Ann Lee|ann@x|20010102|101500|one",
                                              "N|COMP.LANG.C|<2@x>||Ho|Bob Ray|bob@x|20010102|101600|two"})}));
  EXPECT_EQ(st.imported, 2u);
  store::Forums f = forum("comp.lang.c");
  EXPECT_EQ(f.DESCRIPTION.str(), "comp.Lang.C");
  EXPECT_EQ(f.TYPE, store::KindNewsgroup);
  EXPECT_EQ(f.MSGCOUNT, 2u);
  Db db(s, f);
  EXPECT_EQ(db.sections().size(), 1u);
}

TEST_F(RunFixture, DatabaseWithImportSwitchedOffReceivesNothing) {
  archive.addDatabase(store::KindForum, "Writers");
  store::Forums f = forum("Writers");
  f.NOIMPORT = 1;
  setForum(f);
  RunStats st = run(request({script("a.scr", {kMsg1, kMsg2})}));
  EXPECT_EQ(st.imported, 0u);
  EXPECT_EQ(st.skipped, 2u);
  EXPECT_TRUE(archive.ui.saw("No messages found in selected file(s)!\r\nImport unsuccessful!"));
  EXPECT_EQ(forum("Writers").MSGCOUNT, 0u);
}

TEST_F(RunFixture, ReimportReplacesHeadersAndTextsWithoutRaisingCounts) {
  run(request({script("a.scr", {kMsg1, kMsg2})}));
  // Not allowed: everything is already imported.
  RunStats again = run(request({inDir + "/a.scr"}));
  EXPECT_EQ(again.imported, 0u);
  EXPECT_EQ(again.skipped, 2u);

  script("a.scr", {kMsg1, "F|Writers|1|General|102|101|First steps|Mary Jones|23456,789|John Smith|12345,678|19960317|Changed"});
  import::ImportRequest r = request({inDir + "/a.scr"});
  r.allowReimport = true;
  RunStats re = run(r);
  EXPECT_EQ(re.imported, 2u);
  store::Forums f = forum("Writers");
  EXPECT_EQ(f.MSGCOUNT, 2u);
  Db db(s, f);
  EXPECT_EQ(db.text(102), "Changed");
  EXPECT_EQ(db.threads()[0].MSGCOUNT, 2u);
  EXPECT_EQ(db.sections()[0].MSGCOUNT, 2u);
  for (auto& m : db.headers())
    if (m.MSGNUMBER == 102) { EXPECT_EQ(m.DATE, text::dayNumber(1996, 3, 17)); }
  for (auto& p : db.persons())
    if (p.LASTNAME.str() == "Jones") { EXPECT_EQ(p.FROMCOUNT, 1u); }
}

TEST_F(RunFixture, CancelDuringConversionLeavesTheArchiveUntouched) {
  store::OP_CLOSE(s, store::OpOpen, {store::FileNo::Control});
  s.Control().clear();
  s.Control().rec.ID = 1;
  ASSERT_EQ(s.Control().get(store::Control::IdKey), store::Err::Ok);
  uint32_t next = s.Control().rec.NEXTNUMBER;
  store::OP_CLOSE(s, store::OpClose, {store::FileNo::Control});

  RunStats st = runCancelling(request({script("a.scr", {kMsg1, kMsg2, kMsg1})}), import::RunPhase::Convert);
  EXPECT_TRUE(st.cancelled);
  EXPECT_EQ(st.imported, 0u);
  EXPECT_EQ(forum("Writers").ID, 0u);
  EXPECT_FALSE(std::filesystem::exists(s.FileDir + "/F1"));
  // No question is asked while converting.
  for (auto& e : archive.ui.entries) EXPECT_NE(e.kind, "ask");
  store::OP_CLOSE(s, store::OpOpen, {store::FileNo::Control});
  s.Control().clear();
  s.Control().rec.ID = 1;
  ASSERT_EQ(s.Control().get(store::Control::IdKey), store::Err::Ok);
  EXPECT_EQ(s.Control().rec.NEXTNUMBER, next);
  store::OP_CLOSE(s, store::OpClose, {store::FileNo::Control});
}

TEST_F(RunFixture, CancelWhileStoringAsksAndNoGoesOn) {
  std::vector<std::string> lines;
  for (int i = 1; i <= 120; ++i)
    lines.push_back("F|Writers|1|General|" + std::to_string(i) + "|0|Topic " + std::to_string(i % 7) +
                    "|John Smith|12345,678|All||19960315|Text");
  std::string file = script("a.scr", lines);
  RunStats st = runCancelling(request({file}), import::RunPhase::Store, 1);
  EXPECT_FALSE(st.cancelled);
  EXPECT_EQ(st.imported, 120u);
  EXPECT_TRUE(archive.ui.saw(
      "Stopping at this stage will cause message counts \r\nper section, thread and person to be "
      "incorrect.\r\nIf you do quit, please run the Count Messages process to correct the numbers! Are you sure "
      "you want to quit?"));

  archive.ui.answers = {Button::Yes};
  lines.clear();
  for (int i = 200; i < 320; ++i)
    lines.push_back("F|Writers|1|General|" + std::to_string(i) + "|0|Topic|John Smith|12345,678|All||19960315|T");
  st = runCancelling(request({script("b.scr", lines)}), import::RunPhase::Store, 1);
  EXPECT_TRUE(st.cancelled);
  // What was stored before the cancel stays (the open transaction is committed).
  EXPECT_GT(st.imported, 0u);
  EXPECT_LT(st.imported, 120u);
  Db db(s, forum("Writers"));
  EXPECT_EQ(db.headers().size(), 120u + st.imported);
}

TEST_F(RunFixture, WriteFailureRollsBackOnlyTheOpenTransaction) {
  uint32_t id = archive.addDatabase(store::KindForum, "Writers");
  (void)id;
  // 50 records per step: the first commit comes after the step that passes
  // the transaction's size.
  const uint32_t committed = static_cast<uint32_t>((import::kMessagesPerCommit / 50 + 1) * 50);
  // A text without its header blocks a message after that: adding its text
  // fails.
  const uint32_t blocked = committed + 20;
  {
    Db db(s, forum("Writers"));
    auto& t = s.MsgText();
    t.clear();
    t.rec.MSGNUMBER = blocked;
    t.memo() = "orphan";
    ASSERT_EQ(t.add(), store::Err::Ok);
  }
  std::vector<std::string> lines;
  for (uint32_t i = 1; i <= committed + 50; ++i)
    lines.push_back("F|Writers|1|General|" + std::to_string(i) + "|0|Subject|John Smith|12345,678|All||19960315|T");
  RunStats st = run(request({script("a.scr", lines)}));
  EXPECT_TRUE(st.failed);
  EXPECT_EQ(st.imported, committed);
  bool told = false;
  for (auto& e : archive.ui.entries)
    told = told || e.text.find("The last transaction is rolled back.") != std::string::npos;
  EXPECT_TRUE(told);
  Db db(s, forum("Writers"));
  EXPECT_EQ(db.headers().size(), committed);
  EXPECT_EQ(db.text(committed), "T");
  EXPECT_EQ(db.text(blocked), "orphan");
}

TEST_F(RunFixture, ConverterFailureSkipsTheFileOnly) {
  RunStats st = run(request({script("bad.scr", {kMsg1, "THROW", kMsg2}), script("b.scr", {kMsg2})}));
  EXPECT_EQ(st.imported, 2u);
  bool told = false;
  for (auto& e : archive.ui.entries) told = told || e.text.find("scripted failure") != std::string::npos;
  EXPECT_TRUE(told);
}

TEST_F(RunFixture, UnattendedRunShowsNoMessages) {
  s.DoTask = 2;
  std::vector<uint32_t> registered;
  import::ImportRun ir(s, request({inDir + "/gone.scr", script("a.scr", {kMsg1})}), makeScriptConverter());
  ir.registerForMaintenance = [&](uint32_t id) { registered.push_back(id); };
  bool ended = false;
  ir.onEnd = [&](const RunStats&) { ended = true; };
  EXPECT_EQ(ir.title(), "Scheduled import");
  while (ir.step()) {
  }
  s.DoTask = 0;
  EXPECT_TRUE(archive.ui.entries.empty());
  EXPECT_TRUE(ended);
  ASSERT_EQ(registered.size(), 1u);
  EXPECT_EQ(registered[0], forum("Writers").ID);
}

TEST_F(RunFixture, CancelOfAnUnattendedRunEndsItWithoutAsking) {
  std::vector<std::string> lines;
  for (int i = 1; i <= 120; ++i)
    lines.push_back("F|Writers|1|General|" + std::to_string(i) + "|0|Topic|John Smith|12345,678|All||19960315|T");
  s.DoTask = 2;
  RunStats st = runCancelling(request({script("a.scr", lines)}), import::RunPhase::Store, 1);
  EXPECT_EQ(s.DoTask, 6);
  s.DoTask = 0;
  EXPECT_TRUE(st.cancelled);
  EXPECT_TRUE(archive.ui.entries.empty());
  Db db(s, forum("Writers"));
  EXPECT_EQ(db.headers().size(), st.imported);
}

TEST_F(RunFixture, CreateOnlyMakesTheDatabaseWithoutMessages) {
  import::ImportRequest r = request({script("a.scr", {kMsg1})});
  r.createOnly = true;
  RunStats st = run(r);
  EXPECT_EQ(st.imported, 0u);
  store::Forums f = forum("Writers");
  EXPECT_NE(f.ID, 0u);
  EXPECT_EQ(f.MSGCOUNT, 0u);
  EXPECT_EQ(finalMessage, "No messages to import!");
}

TEST_F(RunFixture, MailWithCarbonCopiesAndTopic) {
  store::MailDatabaseFields fields{"Jane Doe", "jane@home.org", {"jd@work.org"}};
  uint32_t mdb = store::createMailDatabase(s, fields);
  ASSERT_NE(mdb, 0u);
  import::ImportRequest r = request({script(
      "m.scr", {"M|Jane Doe|1|Hello|Bob Ray|bob@x.org|Jane Doe|jane@home.org|20020304|101542|Hi Jane|"
                "Jane D,JD@work.org;Carl Sun,carl@y.org;Carl Sun,carl@y.org",
                "M|Jane Doe|2|Re: Hello|Jane Doe|jane@home.org|Bob Ray|bob@x.org|20020305|090000|Hi Bob|"})});
  r.mailTopic = 777;
  RunStats st = run(r);
  EXPECT_EQ(st.imported, 2u);
  store::Forums f = forum("Jane Doe");
  EXPECT_EQ(f.MSGCOUNT, 2u);
  Db db(s, f);
  auto mails = db.mails();
  ASSERT_EQ(mails.size(), 2u);
  for (auto& m : mails) {
    if (m.SUBJECT.str() == "Hello") {
      EXPECT_EQ(m.TOID, f.PERSONID);
      EXPECT_EQ(m.PAIRALPHA.str(), "Ray");
      EXPECT_EQ(m.TIME, text::timeValue(10, 15, 0));
      EXPECT_EQ(m.CCR, 1);
      auto cc = db.ccs();
      ASSERT_EQ(cc.size(), 1u);  // the owner's own address and the repeated one are left out
      EXPECT_EQ(cc[0].R_CISADRESS.str(), "carl@y.org");
      EXPECT_EQ(cc[0].MAILID, m.MAILID);
    } else {
      EXPECT_EQ(m.FROMID, f.PERSONID);
      EXPECT_EQ(m.CCR, 0);
    }
    auto& sin = s.SIndex();
    sin.clear();
    sin.rec.ID = 777;
    sin.rec.MSGNUMBER = m.MAILID;
    EXPECT_EQ(sin.get(store::SIndex::IdKey), store::Err::Ok);
  }
  for (auto& p : db.persons())
    if (p.LASTNAME.str() == "Ray") {
      EXPECT_EQ(p.FROMCOUNT, 1u);
      EXPECT_EQ(p.TOCOUNT, 1u);
    }
}

TEST_F(RunFixture, MailAndForumMessagesGoOnlyIntoTheirKindOfDatabase) {
  store::MailDatabaseFields fields{"Writers", "w@x.org", {}};
  ASSERT_NE(store::createMailDatabase(s, fields), 0u);
  archive.addDatabase(store::KindForum, "Chess");
  RunStats st = run(request({script("x.scr", {kMsg1, "M|Chess|1|Hello|Bob Ray|bob@x.org|N|n@x|20020304|101542|Hi|"})}));
  EXPECT_EQ(st.imported, 0u);
  EXPECT_EQ(st.skipped, 2u);
  EXPECT_EQ(forum("Writers").MSGCOUNT, 0u);
  EXPECT_EQ(forum("Chess").MSGCOUNT, 0u);
}

TEST_F(RunFixture, UnknownMailDatabaseIsNeverCreated) {
  RunStats st = run(request({script("m.scr", {"M|Nobody|1|Hello|Bob Ray|bob@x.org|N|n@x|20020304|101542|Hi|"})}));
  EXPECT_EQ(st.imported, 0u);
  EXPECT_EQ(st.skipped, 1u);
  EXPECT_EQ(forum("Nobody").ID, 0u);
}

}  // namespace
}  // namespace qb::test
