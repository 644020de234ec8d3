// The purge and count window "PurgeMess" in its two modes, started from the
// frame's menu codes: its texts, the age-limit entry, a run driven by its
// timer, the browse refreshed afterwards.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPointer>

#include "app/app_archive.h"
#include "app/browse_window.h"
#include "app/main_frame.h"
#include "app/purge_window.h"
#include "app/window_registry.h"
#include "archive/config.h"
#include "archive/file_table.h"
#include "archive/session.h"
#include "text/datetime.h"

using namespace qb::store;
using namespace qb::app;
using qb::text::dayNumber;

namespace {

struct PurgeWindowFixture : ::testing::Test {
  qb::test::TempArchive a;
  std::unique_ptr<MainFrame> frame;
  void SetUp() override {
    qb::test::ensureApplication();
    StartupSettings(a.session(), false);
    a.addDatabase(KindForum, "Pets");
    {
      qb::test::DatabaseBuilder db(a);
      db.section(900, 3, "Animals");
      db.thread(1, 900, "Cats", 0, 2);
      db.thread(2, 900, "Dogs", 0, 1);
      db.person(501, "Smith", "Jane", "jane@example.org", 2, 1);
      db.person(502, "Jones", "Tom", "tom@example.org", 1, 2);
      const int32_t d = dayNumber(1998, 6, 1);
      db.message(1001, 900, 1, 0, 501, 502, d, "About cats.");
      db.message(1002, 900, 1, 1001, 502, 501, d + 1, "Re cats.", StatusDelete);
      db.message(1003, 900, 2, 0, 501, 502, d + 2, "About dogs.");
    }
    a.session().clearDatabase();
    frame = std::make_unique<MainFrame>(a.session(), StartNormal);
    qb::test::pumpEvents();
  }
  void TearDown() override { qb::test::closeFrame(frame); }
  PurgeWindow* window() { return qobject_cast<PurgeWindow*>(frame->registry().get("PurgeMess")); }
  BrowseWindow* browse() { return qobject_cast<BrowseWindow*>(frame->registry().get("BrowseMsgNmbr")); }
  void runToEnd(PurgeWindow* w) {
    QPointer<PurgeWindow> p(w);
    QElapsedTimer t;
    t.start();
    while (p && p->running() && t.elapsed() < 20000) QCoreApplication::processEvents();
    qb::test::pumpEvents();
  }
};

TEST_F(PurgeWindowFixture, PurgeModeDeletesAndRefreshesTheBrowse) {
  ASSERT_NE(browse(), nullptr);
  EXPECT_EQ(browse()->model().rowCount(), 3);
  EXPECT_TRUE(frame->isEnabled(CmdPurge));
  EXPECT_TRUE(frame->isEnabled(CmdCount));
  frame->runCode(12);  // "Purge &Deleted Messages"
  qb::test::pumpEvents();
  PurgeWindow* w = window();
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(w->purging());
  EXPECT_EQ(w->windowTitle(), " Message Purging ");
  EXPECT_EQ(w->label(0), "Messages before purging");
  EXPECT_EQ(w->figure(0), "3");
  // The box ticked without a figure means 999 weeks.
  w->setAgeLimit(true, "");
  EXPECT_EQ(w->ageWeeks(), 999);
  w->setAgeLimit(true, "12");
  EXPECT_EQ(w->ageWeeks(), 12);
  w->setAgeLimit(false, "");
  ASSERT_TRUE(w->start());
  EXPECT_EQ(w->windowTitle(), " Purging Messages .. Please Wait!");
  runToEnd(w);
  EXPECT_EQ(window(), nullptr);  // a finished run closes the window
  qb::test::pumpEvents();
  ASSERT_NE(browse(), nullptr);
  EXPECT_EQ(browse()->model().rowCount(), 2);
}

TEST_F(PurgeWindowFixture, CountModeShowsTheFiguresOfTheDatabase) {
  frame->runCode(11);  // "&Count Messages"
  qb::test::pumpEvents();
  PurgeWindow* w = window();
  ASSERT_NE(w, nullptr);
  EXPECT_FALSE(w->purging());
  EXPECT_EQ(w->windowTitle(), " Message Counting ");
  EXPECT_EQ(w->label(1), "Number of threads:");
  EXPECT_EQ(w->label(2), "Number of Forum members:");
  QPointer<PurgeWindow> p(w);
  ASSERT_TRUE(w->start());
  EXPECT_EQ(w->windowTitle(), " Counting Messages .. Please Wait!");
  runToEnd(w);
  EXPECT_TRUE(p.isNull());
  // The marked message is still there (counting deletes nothing) and the
  // counts are stored.
  Session& s = a.session();
  OP_CLOSE(s, OpOpen, {FileNo::Forums});
  s.Forums().clear();
  s.Forums().rec.ID = s.ForumNumber;
  ASSERT_EQ(s.Forums().get(Forums::ForumKey), Err::Ok);
  EXPECT_EQ(s.Forums().rec.MSGCOUNT, 3u);
  OP_CLOSE(s, OpClose, {FileNo::Forums});
}

TEST_F(PurgeWindowFixture, EndButtonStopsARunningPurgeAndClosesTheWindow) {
  frame->runCode(12);
  qb::test::pumpEvents();
  QPointer<PurgeWindow> w = window();
  ASSERT_NE(w, nullptr);
  ASSERT_TRUE(w->start());
  w->endSession();
  qb::test::pumpEvents();
  EXPECT_TRUE(w.isNull());
  // The open transaction of the tick was committed: the files are usable.
  Session& s = a.session();
  OP_CLOSE(s, OpOpen, {FileNo::MsgNmbr});
  EXPECT_GE(s.MsgNmbr().count(), 2);
  OP_CLOSE(s, OpClose, {FileNo::MsgNmbr});
}

}  // namespace
