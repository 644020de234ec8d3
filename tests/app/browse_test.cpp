// The browses on real archives: views and filters, status writes and row
// colours, text pages, the clipboard copy, the mail browse, and the thread
// tree following the browse.

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>

#include "app/app_archive.h"
#include "app/browse_window.h"
#include "app/main_frame.h"
#include "app/notifications.h"
#include "app/thread_tree_window.h"
#include "app/window_registry.h"
#include "export/copy_msg.h"
#include "export/export_formats.h"
#include "archive/browse/browse_context.h"
#include "archive/config.h"
#include "text/datetime.h"
#include "archive/file_table.h"
#include "archive/session.h"

using qb::text::dayNumber;
using qb::text::timeValue;

using namespace qb::store;
using namespace qb::app;

namespace {

// A forum of two threads in one section:
//   thread 1 "Cats": 1001 (Smith) <- 1002 (Jones) <- 1004 (Smith)
//   thread 2 "Dogs": 1003 (Jones), 1005 (Smith, a reply to 1003)
struct BrowseFixture : ::testing::Test {
  qb::test::TempArchive a;
  std::unique_ptr<MainFrame> frame;
  void SetUp() override {
    qb::test::ensureApplication();
    StartupSettings(a.session(), false);
  }
  void TearDown() override { qb::test::closeFrame(frame); }
  Session& s() { return a.session(); }
  void forum(const std::string& longText = "") {
    a.addDatabase(KindForum, "Pets");
    qb::test::DatabaseBuilder db(a);
    db.section(900, 3, "Animals");
    db.thread(1, 900, "Cats", 0, 3);
    db.thread(2, 900, "Dogs", 0, 2);
    db.person(501, "Smith", "Jane", "jane@example.org", 3, 0);
    db.person(502, "Jones", "Tom", "tom@example.org", 2, 0);
    db.person(503, "", "", "all@example.org", 0, 5);
    const int32_t d = dayNumber(1998, 6, 1);
    db.message(1001, 900, 1, 0, 501, 503, d, "About cats.");
    db.message(1002, 900, 1, 1001, 502, 503, d + 1, "Re cats.");
    db.message(1003, 900, 2, 0, 502, 503, d + 2, "About dogs.");
    db.message(1004, 900, 1, 1002, 501, 503, d + 3, longText.empty() ? "Re re cats." : longText);
    db.message(1005, 900, 2, 1003, 501, 503, d + 4, "Re dogs.");
  }
  void open() {
    s().clearDatabase();
    frame = std::make_unique<MainFrame>(s(), StartNormal);
    qb::test::pumpEvents();
  }
  BrowseWindow* browse() { return qobject_cast<BrowseWindow*>(frame->registry().get("BrowseMsgNmbr")); }
  ThreadTreeWindow* tree() { return qobject_cast<ThreadTreeWindow*>(frame->registry().get("ThreadTree")); }
  std::vector<uint32_t> shownIds() {
    std::vector<uint32_t> out;
    for (int r = 0; r < browse()->model().rowCount(); ++r) out.push_back(browse()->model().row(r)->id());
    return out;
  }
  uint8_t stored(uint32_t msg) {
    OP_CLOSE(s(), OpOpen, {FileNo::MsgNmbr});
    s().MsgNmbr().clear();
    s().MsgNmbr().rec.MSGNUMBER = msg;
    s().MsgNmbr().get(MsgNmbr::IdKey);
    uint8_t v = s().MsgNmbr().rec.DUMMY;
    OP_CLOSE(s(), OpClose, {FileNo::MsgNmbr});
    return v;
  }
  int rowOf(uint32_t id) {
    for (int r = 0; r < browse()->model().rowCount(); ++r)
      if (browse()->model().row(r)->id() == id) return r;
    return -1;
  }
};

using V = std::vector<uint32_t>;

}  // namespace

TEST_F(BrowseFixture, ViewsSortTheWholeDatabase) {
  forum();
  open();
  ASSERT_NE(browse(), nullptr);
  EXPECT_EQ(shownIds(), (V{1005, 1004, 1003, 1002, 1001}));  // newest first
  auto* row = browse()->model().row(0);
  EXPECT_EQ(row->cells[1], "Dogs");
  EXPECT_EQ(row->cells[2], "Smith,Jane");
  EXPECT_EQ(row->cells[3], "<all@example.org>");  // no name: the address
  EXPECT_EQ(row->cells[4], "03 Animals");
  browse()->setView(6);
  EXPECT_EQ(shownIds(), (V{1005, 1004, 1003, 1002, 1001}));
  browse()->setView(2);
  EXPECT_EQ(shownIds(), (V{1001, 1002, 1004, 1003, 1005}));  // by thread, then number
  browse()->setView(4);
  EXPECT_EQ(shownIds(), (V{1003, 1002, 1005, 1004, 1001}));  // Jones before Smith, newest first
}

TEST_F(BrowseFixture, FilterByThreadAndStepToTheNextThread) {
  forum();
  open();
  browse()->setView(2);
  browse()->setCurrentRow(0);  // 1001 in "Cats"
  browse()->filterFromCurrent();
  EXPECT_EQ(shownIds(), (V{1001, 1002, 1004}));
  EXPECT_EQ(browse()->viewCount(), 3u);
  EXPECT_EQ(browse()->windowTitle(), " Forum database: Pets Messages [3]");
  EXPECT_TRUE(browse()->moveFilter(1));
  EXPECT_EQ(shownIds(), (V{1003, 1005}));
  EXPECT_EQ(browse()->viewCount(), 2u);
  EXPECT_FALSE(browse()->moveFilter(1));  // the last thread: a beep, no change
  EXPECT_EQ(shownIds(), (V{1003, 1005}));
  EXPECT_TRUE(browse()->moveFilter(-1));
  EXPECT_EQ(shownIds(), (V{1001, 1002, 1004}));
  // The navigation buttons of the frame move the highlight.
  frame->pressNavigation(NavLast);
  EXPECT_EQ(browse()->current()->id(), 1004u);
  frame->pressNavigation(NavPriorRecord);
  EXPECT_EQ(browse()->current()->id(), 1002u);
}

TEST_F(BrowseFixture, FilterBySenderCountsFromThePerson) {
  forum();
  open();
  browse()->setView(4);
  browse()->setCurrentRow(0);  // Jones
  browse()->filterFromCurrent();
  EXPECT_EQ(shownIds(), (V{1003, 1002}));
  EXPECT_EQ(browse()->viewCount(), 2u);  // PER:FROMCOUNT
}

TEST_F(BrowseFixture, LocateByDateAndNumber) {
  forum();
  open();
  browse()->locate("1998-06-03");
  EXPECT_EQ(browse()->current()->id(), 1003u);
  browse()->setView(6);
  browse()->locate("1002");
  EXPECT_EQ(browse()->current()->id(), 1002u);
}

TEST_F(BrowseFixture, StatusWritesAndColourPrecedence) {
  forum();
  open();
  BrowseWindow* b = browse();
  b->setCurrentRow(rowOf(1004));
  EXPECT_TRUE(b->chooseStatus(1));  // "Keep Message"
  EXPECT_EQ(stored(1004), StatusKeep);
  b->setCurrentRow(rowOf(1002));
  EXPECT_TRUE(b->chooseStatus(5));  // "Delete Thread"
  EXPECT_EQ(b->model().row(rowOf(1004))->colour, RowColour::Keep);    // keep shields
  EXPECT_EQ(b->model().row(rowOf(1001))->colour, RowColour::Delete);  // the thread's delete
  EXPECT_EQ(b->model().row(rowOf(1003))->colour, RowColour::None);    // another thread
  b->setCurrentRow(rowOf(1003));
  EXPECT_TRUE(b->chooseStatus(2));  // "Delete Message"
  EXPECT_EQ(b->model().row(rowOf(1003))->colour, RowColour::Delete);
  b->setCurrentRow(rowOf(1005));
  EXPECT_TRUE(b->chooseStatus(10));  // "Keep Database"
  EXPECT_EQ(s().ForumCheck, StatusKeep);
  EXPECT_EQ(b->model().row(rowOf(1005))->colour, RowColour::Keep);
  EXPECT_EQ(b->model().row(rowOf(1003))->colour, RowColour::Delete);
}

TEST_F(BrowseFixture, StatusWriteOfAHeldRecordChangesNothing) {
  forum();
  open();
  qb::RecordingUI otherUi;
  auto other = a.newSession(otherUi);
  other->selectDatabase([&] {
    OP_CLOSE(s(), OpOpen, {FileNo::Forums});
    s().Forums().clear();
    s().Forums().rec.ID = s().ForumNumber;
    s().Forums().get(Forums::ForumKey);
    Forums f = s().Forums().rec;
    OP_CLOSE(s(), OpClose, {FileNo::Forums});
    return f;
  }());
  OP_CLOSE(*other, OpOpen, {FileNo::MsgNmbr});
  auto& m = other->MsgNmbr();
  m.clear();
  m.rec.MSGNUMBER = 1003;
  m.hold(1);
  ASSERT_EQ(m.get(MsgNmbr::IdKey), Err::Ok);  // held by the other copy
  browse()->setCurrentRow(rowOf(1003));
  EXPECT_FALSE(browse()->chooseStatus(2));
  m.release();
  OP_CLOSE(*other, OpClose, {FileNo::MsgNmbr});
  EXPECT_EQ(stored(1003), StatusNormal);
}

TEST_F(BrowseFixture, LongTextsArePaged) {
  std::string text;
  for (int i = 0; i < 3000; ++i) text += "word" + std::to_string(i % 10) + " ";
  forum(text);
  open();
  browse()->setCurrentRow(rowOf(1004));
  ASSERT_EQ(browse()->pageCount(), 1);
  text = std::string(30000, 'z');
  {
    qb::test::DatabaseBuilder db(a);
    db.message(1006, 900, 1, 1004, 501, 503, dayNumber(1998, 7, 1), text);
  }
  browse()->navigate(NavFirst);
  ASSERT_EQ(browse()->current()->id(), 1006u);
  EXPECT_EQ(browse()->pageCount(), 2);
  EXPECT_TRUE(browse()->textPage().endsWith(" ..........<MORE>>"));
  browse()->showPage(1);
  EXPECT_TRUE(browse()->textPage().startsWith("<CONTINUED>> \n"));
  EXPECT_EQ(browse()->textPage().size(), static_cast<int>(30000 - 23980 + 14));
}

TEST_F(BrowseFixture, CopiesTheHighlightedMessage) {
  forum();
  open();
  browse()->setCurrentRow(rowOf(1002));
  const std::string text = qb::exporting::messageCopyText(s(), 1002);
  const std::string rule(64, '-');
  EXPECT_EQ(text.substr(0, 66), rule + "\r\n");
  EXPECT_NE(text.find("         Message retrieved by Quillbox Message Converter        \r\n"), std::string::npos);
  EXPECT_NE(text.find("Subject: Cats\r\nFrom: Tom Jones tom@example.org\r\nTo: all@example.org\r\nDate: 02-Jun-98\r\n"
                      "Forum: Pets/03 Animals\r\nMsgNo: 1002 (reply to 1001)\r\n"),
            std::string::npos);
  EXPECT_NE(text.find("Re cats.\r\n" + rule + "\r\n                            End Of Quote"), std::string::npos);
  browse()->copyMessage();
  EXPECT_TRUE(QApplication::clipboard()->text().contains("MsgNo: 1002 (reply to 1001)"));
  EXPECT_EQ(qb::exporting::messageCopyText(s(), 424242), "");
}

TEST_F(BrowseFixture, WrapBreaksAtTheLastBlank) {
  using qb::exporting::wrapLine;
  EXPECT_EQ(wrapLine("aaa bbb ccc", 7), (std::vector<std::string>{"aaa bbb", "ccc"}));
  EXPECT_EQ(wrapLine("abcdefghij", 4), (std::vector<std::string>{"abcd", "efgh", "ij"}));
  EXPECT_EQ(wrapLine("short", 20), (std::vector<std::string>{"short"}));
}

TEST_F(BrowseFixture, ThreadTreeFollowsAndRebuildsOnlyOnAThreadChange) {
  forum();
  open();
  ThreadTreeWindow* t = tree();
  ASSERT_NE(t, nullptr);
  browse()->setCurrentRow(rowOf(1004));
  qb::test::pumpEvents();
  EXPECT_EQ(t->threadNumber(), 1u);
  ASSERT_EQ(t->lines().size(), 4u);  // the blank line and three messages
  EXPECT_EQ(t->lines()[1].MSGNMBR, 1001u);
  EXPECT_EQ(t->lines()[2].LEVEL, 1);
  EXPECT_EQ(t->lines()[3].LEVEL, 2);
  const int builds = t->rebuilds();
  browse()->setCurrentRow(rowOf(1001));
  qb::test::pumpEvents();
  EXPECT_EQ(t->rebuilds(), builds);  // same thread
  EXPECT_EQ(t->tree()->currentItem()->data(0, Qt::UserRole).toUInt(), 1001u);
  browse()->setCurrentRow(rowOf(1005));
  qb::test::pumpEvents();
  EXPECT_EQ(t->rebuilds(), builds + 1);
  EXPECT_EQ(t->threadNumber(), 2u);
  // A double-click goes to the message in the browse's view.
  t->activate(1003);
  qb::test::pumpEvents();
  EXPECT_EQ(browse()->current()->id(), 1003u);
  // From the sender view it switches to the thread view with a bookmark.
  browse()->setView(4);
  qb::test::pumpEvents();
  t->activate(1005);
  qb::test::pumpEvents();
  EXPECT_EQ(browse()->view(), 2);
  EXPECT_TRUE(browse()->bookmarked());
  EXPECT_EQ(browse()->current()->id(), 1005u);
  browse()->toggleBookmark();
  EXPECT_EQ(browse()->view(), 4);
}

TEST_F(BrowseFixture, MailBrowse) {
  a.addDatabase(KindMail, "Jane's mail");
  {
    qb::test::DatabaseBuilder db(a);
    db.person(601, "Smith", "Jane", "jane@example.org");
    db.person(602, "Brown", "Bob", "bob@example.org", 0, 0);
    db.person(603, "Green", "Ann", "ann@example.org");
    const int32_t d = dayNumber(2003, 2, 1);
    db.mail(7001, d, timeValue(9, 0), "Lunch", 602, 601, 602, "Lunch at noon?");
    db.mail(7002, d + 1, timeValue(10, 0), "Budget", 601, 603, 603, "Numbers attached.");
    db.mail(7003, d + 2, timeValue(11, 0), "Re: Lunch", 601, 602, 602, "Yes.", StatusKeep);
  }
  open();
  auto* b = qobject_cast<BrowseWindow*>(frame->registry().get("BrowseMail"));
  ASSERT_NE(b, nullptr);
  EXPECT_TRUE(b->isMail());
  EXPECT_EQ(b->windowTitle(), " Mail database: Jane's mail [3]");
  EXPECT_EQ(b->model().row(0)->id(), 7003u);
  EXPECT_EQ(b->model().row(0)->colour, RowColour::Keep);
  EXPECT_TRUE(b->textPage().startsWith("Subject: Re: Lunch\n\nYes."));
  b->setView(3);  // by partner
  b->setCurrentRow(0);
  b->filterFromCurrent();
  EXPECT_EQ(b->model().rowCount(), 2);  // Brown's mail
  EXPECT_EQ(b->model().row(0)->id(), 7003u);
  b->setView(2);  // by subject
  b->setCurrentRow(0);
  EXPECT_EQ(b->model().row(0)->id(), 7002u);  // "Budget"
  EXPECT_TRUE(b->chooseStatus(5));  // "Delete Partner" of Green
  EXPECT_EQ(b->model().row(0)->colour, RowColour::Delete);
}
