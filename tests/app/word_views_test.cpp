// The KeyWord, Topic and Search views of the browse, with hit navigation
// and the re-sort menu, on an indexed archive (offscreen).
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "app/app_archive.h"
#include "app/browse_window.h"
#include "app/index_window.h"
#include "app/main_frame.h"
#include "app/topic_windows.h"
#include <QLineEdit>
#include <QTableWidget>
#include <QTreeWidget>
#include "app/window_registry.h"
#include "archive/config.h"
#include "archive/file_table.h"
#include "index/index_builder.h"
#include "index/topics.h"
#include "text/datetime.h"

using namespace qb::store;
using namespace qb::app;

namespace {

struct WordViews : ::testing::Test {
  qb::test::TempArchive a;
  std::unique_ptr<MainFrame> frame;
  void SetUp() override {
    qb::test::ensureApplication();
    StartupSettings(a.session(), false);
    a.addDatabase(KindForum, "Optics");
    {
      qb::test::DatabaseBuilder db(a);
      db.section(900, 1, "General");
      db.thread(1, 900, "Lenses", 0, 2);
      db.thread(2, 900, "Mirrors", 0, 2);
      db.person(501, "Smith", "Jane", "jane@example.org", 2, 0);
      db.person(502, "Jones", "Tom", "tom@example.org", 2, 0);
      const int32_t d = qb::text::dayNumber(1998, 6, 1);
      db.message(1001, 900, 1, 0, 501, 502, d, "A telescope lens. Another Telescope here.");
      db.message(1002, 900, 2, 0, 502, 501, d + 3, "Mirror grinding for a telescope mirror.");
      db.message(1003, 900, 1, 1001, 501, 502, d + 1, "Nothing about optics at all.");
      db.message(1004, 900, 2, 1002, 502, 501, d + 2, "Grüße: a mirror and a lens.");
    }
    qb::index::IndexBuilder b(a.session(), qb::index::IndexMode::Full);
    EXPECT_TRUE(b.start());
    while (b.step()) {
    }
    a.session().clearDatabase();
    frame = std::make_unique<MainFrame>(a.session(), StartNormal);
    qb::test::pumpEvents();
  }
  void TearDown() override { qb::test::closeFrame(frame); }
  BrowseWindow* browse() { return qobject_cast<BrowseWindow*>(frame->registry().get("BrowseMsgNmbr")); }
  std::vector<uint32_t> shownIds() {
    std::vector<uint32_t> out;
    for (int r = 0; r < browse()->model().rowCount(); ++r) out.push_back(browse()->model().row(r)->id());
    return out;
  }
};

using V = std::vector<uint32_t>;

}  // namespace

TEST_F(WordViews, KeyWordViewWithHits) {
  ASSERT_NE(browse(), nullptr);
  browse()->setView(7);
  EXPECT_EQ(browse()->model().rowCount(), 0);
  ASSERT_TRUE(browse()->showKeyWord("TELESC"));  // the first word that begins with it
  EXPECT_EQ(shownIds(), (V{1002, 1001}));
  EXPECT_EQ(browse()->viewCount(), 2u);
  browse()->setCurrentRow(1);
  EXPECT_EQ(browse()->hitCount(), 2);
  EXPECT_EQ(browse()->currentHit(), 0);
  EXPECT_EQ(browse()->selectedText(), "telescope");
  browse()->moveHit(1);
  EXPECT_EQ(browse()->selectedText(), "Telescope");
  browse()->moveHit(1);  // stays on the last hit
  EXPECT_EQ(browse()->currentHit(), 1);
  EXPECT_FALSE(browse()->showKeyWord("zzz"));
}

TEST_F(WordViews, SearchViewResortsAndSkipsDeletedMessages) {
  browse()->setView(9);
  ASSERT_TRUE(browse()->runSearch("mirror"));
  EXPECT_EQ(shownIds(), (V{1004, 1002}));  // newest imported first
  browse()->setCurrentRow(1);
  browse()->resortResults(qb::index::ResultOrder::Thread);
  EXPECT_EQ(browse()->resultOrder(), qb::index::ResultOrder::Thread);
  EXPECT_EQ(shownIds(), (V{1002, 1004}));  // one thread, newest date first
  EXPECT_EQ(browse()->current()->id(), 1002u);  // the current message stays current
  // A message deleted since the search is passed over.
  auto& m = a.session().MsgNmbr();
  m.clear();
  m.rec.MSGNUMBER = 1004;
  ASSERT_EQ(m.get(MsgNmbr::IdKey), Err::Ok);
  ASSERT_EQ(m.del(), Err::Ok);
  browse()->setView(9);
  EXPECT_EQ(shownIds(), (V{1002}));
  browse()->resortResults(qb::index::ResultOrder::Date);
  EXPECT_EQ(browse()->viewCount(), 1u);  // and dropped at the next re-sort
  ASSERT_TRUE(browse()->runSearch("mirror"));
  EXPECT_EQ(shownIds(), (V{1002}));
  ASSERT_TRUE(browse()->runSearch("lens telescope", true));
  EXPECT_EQ(browse()->viewCount(), 2u);
  ASSERT_TRUE(browse()->runSearch("\"telescope mirror\""));
  EXPECT_EQ(shownIds(), (V{1002}));
  EXPECT_EQ(browse()->selectedText(), "telescope mirror");
}

TEST_F(WordViews, HitsBeyondAscii) {
  browse()->setView(9);
  ASSERT_TRUE(browse()->runSearch("GRÜSSE"));
  EXPECT_EQ(shownIds(), (V{1004}));
  EXPECT_EQ(browse()->selectedText(), "Grüße");
}

TEST_F(WordViews, TopicView) {
  uint32_t t = qb::index::addCode(a.session(), qb::index::TopicCode, "Security");
  qb::index::attachCode(a.session(), t, 1003);
  qb::index::attachCode(a.session(), t, 1001);
  browse()->setView(8);
  ASSERT_TRUE(browse()->showTopic("sec"));
  EXPECT_EQ(shownIds(), (V{1003, 1001}));
  EXPECT_EQ(browse()->viewCount(), 2u);
}

TEST_F(WordViews, IndexingFromTheFrameRefusesExitWhileItRuns) {
  auto* w = qobject_cast<IndexWindow*>(frame->openOrRaise("IndexWords"));
  ASSERT_NE(w, nullptr);
  ASSERT_TRUE(w->startRun(1));
  EXPECT_EQ(a.session().IndexingInProgress, 1);
  EXPECT_FALSE(frame->closeToolWindows(1));
  for (int i = 0; i < 400 && w->running(); ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  EXPECT_FALSE(w->running());
  EXPECT_EQ(a.session().IndexingInProgress, 0);
  EXPECT_TRUE(w->result().startsWith("4 messages indexed")) << w->result().toStdString();
}

TEST_F(WordViews, TopicListFormAndClassifyTree) {
  auto* list = qobject_cast<CodeListWindow*>(frame->openOrRaise("BrowseTopics"));
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->windowTitle(), " List of Topics");
  CodeForm add(list, a.session(), qb::index::TopicCode, CodeForm::Add);
  EXPECT_EQ(add.windowTitle(), " Add New Topic");
  add.text()->setText("Astronomy");
  add.accept();
  EXPECT_EQ(add.result(), QDialog::Accepted);
  CodeForm again(list, a.session(), qb::index::TopicCode, CodeForm::Add);
  again.text()->setText("ASTRONOMY");
  again.accept();  // refused: the form stays open
  EXPECT_NE(again.result(), QDialog::Accepted);
  list->refresh();
  ASSERT_EQ(list->table()->rowCount(), 1);
  EXPECT_EQ(list->table()->item(0, 0)->text(), "Astronomy");
  list->setType(qb::index::KeyWordCode);
  EXPECT_EQ(list->table()->columnCount(), 5);

  browse()->setCurrentRow(0);
  auto* tree = qobject_cast<ClassifyWindow*>(frame->openOrRaise("Classify"));
  ASSERT_NE(tree, nullptr);
  ASSERT_EQ(tree->tree()->topLevelItemCount(), 1);
  const uint32_t msg = tree->message();
  ASSERT_NE(msg, 0u);
  tree->tree()->topLevelItem(0)->setCheckState(0, Qt::Checked);
  qb::store::Codes c;
  ASSERT_TRUE(qb::index::findCode(a.session(), qb::index::TopicCode, "Astronomy", c));
  EXPECT_EQ(c.COUNT, 1u);
  EXPECT_EQ(qb::index::messagesOfCode(a.session(), c.ID), (V{msg}));
  tree->tree()->topLevelItem(0)->setCheckState(0, Qt::Unchecked);
  EXPECT_TRUE(qb::index::messagesOfCode(a.session(), c.ID).empty());
}
