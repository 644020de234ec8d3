// CopyMsg on generated databases: which messages each set holds and in
// which order, the date filter, inbox and outbox, the refusals, the other
// operations (topics, status), abort, and failing files.
#include <gtest/gtest.h>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "archive/browse/browse_context.h"
#include "archive/file_table.h"
#include "export/copy_msg.h"
#include "export/export_formats.h"
#include "export/message_set.h"
#include "index/result_set.h"
#include "support/database_builder.h"
#include "support/temp_archive.h"
#include "text/datetime.h"

namespace {

namespace fs = std::filesystem;
using namespace qb::exporting;
using namespace qb::store;
using qb::test::DatabaseBuilder;
using qb::test::TempArchive;
using qb::text::dayNumber;
using qb::text::timeValue;

const int32_t D1 = dayNumber(1997, 3, 1), D2 = dayNumber(1997, 3, 2), D3 = dayNumber(1997, 3, 3),
              D4 = dayNumber(1997, 3, 4);

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// Every number that follows `marker` in `text`, in order.
std::vector<uint32_t> numbersAfter(const std::string& text, const std::string& marker) {
  std::vector<uint32_t> out;
  std::regex re(marker + "([0-9]+)");
  for (std::sregex_iterator it(text.begin(), text.end(), re), end; it != end; ++it)
    out.push_back(static_cast<uint32_t>(std::stoul((*it)[1])));
  return out;
}

class ForumExport : public ::testing::Test {
 protected:
  void SetUp() override {
    a.addDatabase(KindForum, "STARGAZE");
    DatabaseBuilder b(a);
    b.section(11, 1, "General");
    b.section(12, 2, "Optics");
    b.person(1, "Quayle", "Robin", "76543,210");
    b.person(2, "Thornbury", "Wilma", "74321,1234");
    b.person(3, "All", "", "");
    b.thread(1, 11, "Alpha");
    b.thread(2, 12, "Beta");
    b.message(100, 11, 1, 0, 1, 3, D1, "first");
    b.message(101, 11, 1, 100, 2, 1, D3, "second");
    b.message(102, 12, 2, 0, 1, 3, D2, "third");
    b.message(103, 12, 2, 102, 2, 1, D4, "fourth");
    b.topic(900, "Mirrors");
    b.filed(900, 101);
    b.filed(900, 103);
  }
  void highlight(uint32_t msg) {
    BrowseContext c;
    c.XMSGID = msg;
    c.XTOPICSID = 900;
    Context(a.session(), 2, c);
  }
  // The messages a set holds, in the order the engine reads them.
  std::vector<uint32_t> setOf(int scope, ExportRequest r = {}) {
    r.operation = OpPrint;
    r.scope = scope;
    CopyMsg run(a.session(), r);
    EXPECT_TRUE(run.start()) << run.error();
    while (run.step()) {
    }
    EXPECT_TRUE(run.finish());
    return numbersAfter(run.printText(), "MsgNo: ");
  }
  TempArchive a;
};

TEST_F(ForumExport, EachSetHoldsTheMessagesOfItsKeyRange) {
  highlight(101);
  EXPECT_EQ(setOf(ScopeDatabase), (std::vector<uint32_t>{100, 102, 101, 103}));  // oldest first
  EXPECT_EQ(setOf(ScopeThread), (std::vector<uint32_t>{100, 101}));
  EXPECT_EQ(setOf(ScopeSection), (std::vector<uint32_t>{100, 101}));
  EXPECT_EQ(setOf(ScopeSender), (std::vector<uint32_t>{103, 101}));  // the sender key: highest number first
  EXPECT_EQ(setOf(ScopeReceiver), (std::vector<uint32_t>{103, 101}));
  EXPECT_EQ(setOf(ScopeMessage), (std::vector<uint32_t>{101}));
  EXPECT_EQ(setOf(ScopeTopic), (std::vector<uint32_t>{103, 101}));
  highlight(102);
  EXPECT_EQ(setOf(ScopeSection), (std::vector<uint32_t>{102, 103}));
  EXPECT_EQ(setOf(ScopeSender), (std::vector<uint32_t>{102, 100}));
}

TEST_F(ForumExport, DateFilterIncludesBothEnds) {
  highlight(101);
  ExportRequest r;
  r.dateFilter = true;
  r.fromDate = D2;
  r.toDate = D3;
  EXPECT_EQ(setOf(ScopeDatabase, r), (std::vector<uint32_t>{102, 101}));
  r.toDate = D2;
  EXPECT_EQ(setOf(ScopeDatabase, r), (std::vector<uint32_t>{102}));
}

TEST_F(ForumExport, SearchResultSetAndItsAbsence) {
  highlight(101);
  // The stored search result, in its order.
  ASSERT_TRUE(qb::index::storeResultSet(a.session(), {103, 101}));
  EXPECT_EQ(setOf(ScopeSearch), (std::vector<uint32_t>{103, 101}));

  // Without a word index provider the set says why it cannot be read.
  IndexedSets* saved = indexedSets();
  setIndexedSets(nullptr);
  ExportRequest r;
  r.scope = ScopeSearch;
  r.operation = OpPrint;
  CopyMsg run(a.session(), r);
  EXPECT_FALSE(run.start());
  EXPECT_NE(run.error().find("word index"), std::string::npos);
  setIndexedSets(saved);
}

TEST_F(ForumExport, TapcisFileAndAppend) {
  highlight(101);
  ExportRequest r;
  r.format = FormatTapcis;
  r.scope = ScopeThread;
  CopyMsg run(a.session(), r);
  ASSERT_TRUE(run.start()) << run.error();
  EXPECT_EQ(run.progressText(), "Exporting messages ... please wait!");
  while (run.step()) {
  }
  ASSERT_TRUE(run.finish()) << run.error();
  EXPECT_EQ(run.finalText(), "Messages exported!");
  const std::string path = a.session().TempDir + "/SaveMsg.Txt";
  const std::string first = slurp(path);
  EXPECT_EQ(numbersAfter(first, "#: "), (std::vector<uint32_t>{100, 101}));
  EXPECT_NE(first.find("Sb: #100-Alpha\r\n"), std::string::npos);
  EXPECT_NE(first.find("\r\n\r\nsecond\r\n\r\n"), std::string::npos);

  // append adds to the file; a new export replaces it
  r.operation = OpExportAppend;
  r.scope = ScopeMessage;
  CopyMsg again(a.session(), r);
  ASSERT_TRUE(again.start());
  while (again.step()) {
  }
  ASSERT_TRUE(again.finish());
  EXPECT_EQ(numbersAfter(slurp(path), "#: "), (std::vector<uint32_t>{100, 101, 101}));
  // appending to a file that does not exist creates it
  r.inbox = "Fresh.Txt";
  CopyMsg fresh(a.session(), r);
  ASSERT_TRUE(fresh.start());
  while (fresh.step()) {
  }
  ASSERT_TRUE(fresh.finish());
  EXPECT_EQ(numbersAfter(slurp(a.session().TempDir + "/Fresh.Txt"), "#: "), (std::vector<uint32_t>{101}));
}

TEST_F(ForumExport, TopicsAndStatus) {
  highlight(100);
  ExportRequest r;
  r.operation = OpAttachTopic;
  r.scope = ScopeThread;
  r.topicId = 900;
  for (int i = 0; i < 2; ++i) {  // twice: still one entry per message
    CopyMsg run(a.session(), r);
    ASSERT_TRUE(run.start()) << run.error();
    while (run.step()) {
    }
    ASSERT_TRUE(run.finish());
    EXPECT_EQ(run.finalText(), "Topics attached!");
  }
  highlight(101);
  EXPECT_EQ(setOf(ScopeTopic), (std::vector<uint32_t>{103, 101, 100}));
  // removing the topic from the topic's own set empties it
  r.operation = OpRemoveTopic;
  r.scope = ScopeTopic;
  {
    CopyMsg run(a.session(), r);
    ASSERT_TRUE(run.start());
    while (run.step()) {
    }
    ASSERT_TRUE(run.finish());
    EXPECT_EQ(run.processed(), 3u);
  }
  EXPECT_TRUE(setOf(ScopeTopic).empty());

  r.operation = OpStatusKeep;
  r.scope = ScopeSection;
  CopyMsg run(a.session(), r);
  ASSERT_TRUE(run.start());
  while (run.step()) {
  }
  ASSERT_TRUE(run.finish());
  EXPECT_EQ(run.finalText(), "Message status recoded!");
  OP_CLOSE(a.session(), OpOpen, {3});
  auto& f = a.session().MsgNmbr();
  std::map<uint32_t, int> status;
  f.set(MsgNmbr::IdKey);
  while (f.next() == Err::Ok) status[f.rec.MSGNUMBER] = f.rec.DUMMY;
  OP_CLOSE(a.session(), OpClose, {3});
  EXPECT_EQ(status, (std::map<uint32_t, int>{{100, 1}, {101, 1}, {102, 0}, {103, 0}}));
}

TEST_F(ForumExport, DeletingAWholeDatabaseAsksFirst) {
  highlight(100);
  ExportRequest r;
  r.operation = OpStatusDelete;
  r.scope = ScopeDatabase;
  CopyMsg run(a.session(), r);
  EXPECT_FALSE(run.start());  // the recording UI answers with the default: Cancel
  EXPECT_TRUE(a.ui.saw("Do you really want to delete all messages in this database? If you do, the entire "
                       "database directory will be removed."));
}

TEST_F(ForumExport, AbortEndsAfterTheCurrentMessage) {
  highlight(100);
  ExportRequest r;
  r.format = FormatTapcis;
  CopyMsg run(a.session(), r);
  ASSERT_TRUE(run.start());
  ASSERT_TRUE(run.step());
  run.abort();
  EXPECT_FALSE(run.step());
  EXPECT_TRUE(run.finish());
  EXPECT_EQ(run.finalText(), "Process aborted!");
  EXPECT_EQ(numbersAfter(slurp(a.session().TempDir + "/SaveMsg.Txt"), "#: "), (std::vector<uint32_t>{100}));
}

TEST_F(ForumExport, ClipboardCopy) {
  const std::string t = messageCopyText(a.session(), 101);
  EXPECT_EQ(t.rfind(std::string(64, '-') + "\r\n         Message retrieved by Quillbox Message Converter        \r\n", 0),
            0u);
  EXPECT_NE(t.find("Subject: Alpha\r\nFrom: Wilma Thornbury 74321,1234\r\nTo: Robin Quayle 76543,210\r\n"
                   "Date: 03-Mar-97\r\nForum: STARGAZE/01 General\r\nMsgNo: 101 (reply to 100)\r\n"),
            std::string::npos)
      << t;
  EXPECT_NE(t.find("second\r\n" + std::string(64, '-') + "\r\n                            End Of Quote"),
            std::string::npos);
  EXPECT_TRUE(messageCopyText(a.session(), 99).empty());
}

TEST_F(ForumExport, RefusalsOfTheWindow) {
  highlight(100);
  auto refusal = [&](ExportRequest r) {
    CopyMsg run(a.session(), r);
    EXPECT_FALSE(run.start());
    return run.refusal().title + "|" + run.refusal().text;
  };
  ExportRequest r;
  r.inbox = "../evil.txt";
  EXPECT_EQ(refusal(r), "Filename error|Do not include the path, just the filename!");
  r = {};
  r.operation = OpAttachTopic;
  EXPECT_EQ(refusal(r), "Selection error|No topic selected!");
  r = {};
  r.dateFilter = true;
  r.toDate = D1;
  EXPECT_EQ(refusal(r), "Date range filter error|A valid From-date must be entered to apply a date range filter.");
  r.fromDate = D2;
  EXPECT_EQ(refusal(r), "Date range filter error|A negative date range cannot be allowed.");
  r = {};
  r.directory = a.home() + "/no/such/dir";
  EXPECT_EQ(refusal(r), "Export error|The directory " + a.home() + "/no/such/dir does not exist.");
}

class MailExport : public ::testing::Test {
 protected:
  void SetUp() override {
    a.addDatabase(KindMail, "Robin Quayle");
    a.session().PersonID = 10;
    DatabaseBuilder b(a);
    b.person(10, "Quayle", "Robin", "robin@example.com");
    b.person(11, "Thornbury", "Wilma", "74321,1234");
    b.person(12, "Smith", "Ann", "ann@example.org");
    b.mail(500, D1, timeValue(10, 0), "Hello", 11, 10, 11, "hi");
    b.mail(501, D2, timeValue(11, 0), "Hello", 10, 11, 11, "hi back");
    b.mail(502, D3, timeValue(12, 0), "News", 12, 10, 12, "news");
    b.mail(503, D4, timeValue(13, 0), "Again", 11, 10, 11, "again");
    MailBrowseContext c;
    c.XMAILID = 503;
    MailContext(a.session(), 2, c);
  }
  std::string run(ExportRequest r) {
    CopyMsg x(a.session(), r);
    if (!x.start()) return "refused: " + x.refusal().title + "|" + x.error();
    while (x.step()) {
    }
    return x.finish() ? "" : x.error();
  }
  TempArchive a;
};

TEST_F(MailExport, PartnerSetOldestFirstAndDirections) {
  ExportRequest r;
  r.format = FormatEudora;
  r.scope = ScopePartner;
  ASSERT_EQ(run(r), "");
  const std::string in = slurp(a.session().TempDir + "/InBox.Mbx");
  const std::string out = slurp(a.session().TempDir + "/OutBox.Mbx");
  EXPECT_EQ(numbersAfter(in, "Date: [A-Za-z]+, 0"), (std::vector<uint32_t>{1, 4}));  // 500, 503
  EXPECT_NE(out.find("Subject: Hello"), std::string::npos);                         // 501, sent
  EXPECT_EQ(out.find("Date:"), std::string::npos);

  // TAPCIS writes sent and received mail into one file
  r.format = FormatTapcis;
  r.scope = ScopeDatabase;
  ASSERT_EQ(run(r), "");
  EXPECT_EQ(numbersAfter(slurp(a.session().TempDir + "/SaveMail.Txt"), "#: "),
            (std::vector<uint32_t>{500, 501, 502, 503}));
}

TEST_F(MailExport, SenderAndReceiverSets) {
  ExportRequest r;
  r.format = FormatGeneric1;
  r.scope = ScopeSender;
  r.inbox = "s.in";
  r.outbox = "s.out";
  ASSERT_EQ(run(r), "");
  EXPECT_EQ(numbersAfter(slurp(a.session().TempDir + "/s.in"), "Date: [A-Za-z]+, 0"),
            (std::vector<uint32_t>{1, 4}));
  EXPECT_FALSE(fs::exists(a.session().TempDir + "/s.out"));  // no sent mail: no outbox file
}

TEST_F(MailExport, EqualInboxAndOutboxAreRefused) {
  ExportRequest r;
  r.format = FormatGeneric2;
  r.inbox = r.outbox = "Both.Mbx";
  EXPECT_EQ(run(r),
            "refused: Export File Names|The inbox and the outbox must be two different files.\r\n"
            "Please change one of the names.");
}

TEST_F(MailExport, StatusOfAPartnerSet) {
  ExportRequest r;
  r.operation = OpStatusDelete;
  r.scope = ScopePartner;
  ASSERT_EQ(run(r), "");
  OP_CLOSE(a.session(), OpOpen, {13});
  auto& f = a.session().Mail();
  std::map<uint32_t, int> status;
  f.set(Mail::IdKey);
  while (f.next() == Err::Ok) status[f.rec.MAILID] = f.rec.DUMMY;
  OP_CLOSE(a.session(), OpClose, {13});
  EXPECT_EQ(status, (std::map<uint32_t, int>{{500, 2}, {501, 2}, {502, 0}, {503, 2}}));
}

}  // namespace
