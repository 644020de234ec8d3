// The "Duplicates" window and the persons browse, opened from the frame's
// Refine menu: the merge runs from the window's timer, its figures follow
// the run, stopping asks first, and the persons browse shows and sets the
// persons' status.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include "app/app_archive.h"
#include "app/main_frame.h"
#include "app/merge_window.h"
#include "app/persons_window.h"
#include "app/window_registry.h"
#include "archive/config.h"
#include "archive/file_table.h"
#include "archive/session.h"
#include "text/datetime.h"

using namespace qb::store;
using namespace qb::app;

namespace {

struct MergeWindowFixture : ::testing::Test {
  qb::test::TempArchive a;
  std::unique_ptr<MainFrame> frame;
  void SetUp() override {
    qb::test::ensureApplication();
    StartupSettings(a.session(), false);
    a.addDatabase(KindForum, "Pets");
    {
      qb::test::DatabaseBuilder db(a);
      db.section(900, 3, "Animals");
      db.thread(1, 900, "Cats");
      // Three ways of writing one member (the address in two letter cases),
      // and one other member.
      db.person(501, "Smith", "Jane", "jane@example.org", 1, 1);
      db.person(502, "Smith", "J.", "JANE@EXAMPLE.ORG", 1, 0);
      db.person(503, "Jones", "Tom", "tom@example.org", 1, 2);
      const int32_t d = qb::text::dayNumber(1998, 6, 1);
      db.message(1001, 900, 1, 0, 501, 503, d, "About cats.");
      db.message(1002, 900, 1, 1001, 502, 503, d + 5, "Re cats.");
      db.message(1003, 900, 1, 1002, 503, 501, d + 6, "Re re cats.");
    }
    a.session().clearDatabase();
    frame = std::make_unique<MainFrame>(a.session(), StartNormal);
    qb::test::pumpEvents();
  }
  void TearDown() override { qb::test::closeFrame(frame); }
  MergeWindow* merge() { return qobject_cast<MergeWindow*>(frame->registry().get("Duplicates")); }
  PersonsWindow* persons() { return qobject_cast<PersonsWindow*>(frame->registry().get("BrowsePerson")); }
  void waitFor(MergeWindow* w) {
    QElapsedTimer t;
    t.start();
    while (w->running() && t.elapsed() < 20000) QCoreApplication::processEvents();
  }
  int personCount() {
    OP_CLOSE(a.session(), OpOpen, {FileNo::Person});
    int n = static_cast<int>(a.session().Person().count());
    OP_CLOSE(a.session(), OpClose, {FileNo::Person});
    return n;
  }
};

TEST_F(MergeWindowFixture, MergeFromTheMenuWithItsFiguresAndTheBrowseRefreshed) {
  ASSERT_TRUE(frame->isEnabled(CmdMerge));
  ASSERT_TRUE(frame->isEnabled(CmdPersons));
  frame->press(CmdPersons);
  qb::test::pumpEvents();
  ASSERT_NE(persons(), nullptr);
  EXPECT_EQ(persons()->rowCount(), 3);

  frame->press(CmdMerge);
  qb::test::pumpEvents();
  MergeWindow* w = merge();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->windowTitle(), " Duplicate Merging [Pets]");
  EXPECT_EQ(w->header(), "Merge Duplicate Forum Members");
  EXPECT_EQ(w->figureLabel(0), "Existing Forum Members in database:");
  EXPECT_EQ(w->figureLabel(3), "Remaining Forum Members:");
  ASSERT_TRUE(w->start());
  waitFor(w);
  EXPECT_EQ(w->caption(), "The Duplicate Removal Process has finished!");
  EXPECT_EQ(w->figure(0), "3");
  EXPECT_EQ(w->figure(1), "0");
  EXPECT_EQ(w->figure(2), "1");
  EXPECT_EQ(w->figure(3), "2");
  EXPECT_EQ(personCount(), 2);
  qb::test::pumpEvents();
  // The persons browse was told to reload: J. Smith (the newer sender) stays.
  ASSERT_EQ(persons()->rowCount(), 2);
  bool found = false;
  for (int r = 0; r < persons()->rowCount(); ++r)
    if (persons()->personAt(r) == 502) {
      found = true;
      EXPECT_EQ(persons()->cell(r, 3), "2");  // sent
      EXPECT_EQ(persons()->cell(r, 4), "1");  // received
    }
  EXPECT_TRUE(found);
}

TEST_F(MergeWindowFixture, EndingARunAsksAndOnlyAConfirmationStops) {
  frame->press(CmdMerge);
  qb::test::pumpEvents();
  MergeWindow* w = merge();
  ASSERT_NE(w, nullptr);
  ASSERT_TRUE(w->start());
  a.ui.answers = {qb::Button::No};
  EXPECT_FALSE(w->end());
  EXPECT_TRUE(a.ui.saw(
      "Stopping at this stage will cause message counts \r\nto be incorrect.\r\nIf you do quit, please run the Count "
      "Messages process to correct the numbers! Are you sure you want to quit?"));
  qb::test::pumpEvents();
  ASSERT_NE(merge(), nullptr);  // still open
  waitFor(w);
  // Once the run has ended, ending asks nothing.
  const std::size_t asked = a.ui.entries.size();
  EXPECT_TRUE(w->end());
  qb::test::pumpEvents();
  EXPECT_EQ(merge(), nullptr);
  EXPECT_EQ(a.ui.entries.size(), asked);
}

TEST_F(MergeWindowFixture, PersonsBrowseOrdersAndSetsStatus) {
  frame->press(CmdPersons);
  qb::test::pumpEvents();
  PersonsWindow* p = persons();
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->statusChoices(), QStringList({"Normal Member", "Keep Member", "Delete Member"}));
  p->setOrder(PersonOrder::ByAddress);
  ASSERT_EQ(p->rowCount(), 3);
  EXPECT_EQ(p->cell(2, 2), "tom@example.org");
  p->selectRow(2);
  ASSERT_TRUE(p->setStatus(1));
  EXPECT_EQ(p->cell(2, 5), "Keep");
  OP_CLOSE(a.session(), OpOpen, {FileNo::Person});
  auto& f = a.session().Person();
  f.clear();
  f.rec.PERSONID = 503;
  ASSERT_EQ(f.get(Person::PersonKey), Err::Ok);
  EXPECT_EQ(f.rec.DUMMY, 1);
  OP_CLOSE(a.session(), OpClose, {FileNo::Person});
}

}  // namespace
