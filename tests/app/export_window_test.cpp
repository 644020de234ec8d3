// The export window in its uses, started from the browse, and the address
// export window started from the frame: they drive the export engine on the
// browse's current message and report what it did.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDate>
#include <QElapsedTimer>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/app_archive.h"
#include "app/browse_window.h"
#include "app/export_window.h"
#include "app/main_frame.h"
#include "app/notifications.h"
#include "app/window_registry.h"
#include "archive/config.h"
#include "archive/file_table.h"
#include "archive/session.h"
#include "export/message_set.h"
#include "text/datetime.h"

using namespace qb::store;
using namespace qb::app;
using qb::text::dayNumber;

namespace {

template <class W>
void waitFor(W* w) {
  QElapsedTimer t;
  t.start();
  while (w->running() && t.elapsed() < 20000) QCoreApplication::processEvents();
}

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

struct ExportWindowFixture : ::testing::Test {
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
      db.thread(2, 900, "Dogs");
      db.person(501, "Smith", "Jane", "jane@example.org");
      db.person(502, "Jones", "Tom", "tom@example.org");
      const int32_t d = dayNumber(1998, 6, 1);
      db.message(1001, 900, 1, 0, 501, 502, d, "About cats.");
      db.message(1002, 900, 1, 1001, 502, 501, d + 1, "Re cats.");
      db.message(1003, 900, 2, 0, 502, 501, d + 2, "About dogs.");
      db.topic(77, "Favourites");
    }
    a.session().clearDatabase();
    frame = std::make_unique<MainFrame>(a.session(), StartNormal);
    qb::test::pumpEvents();
  }
  void TearDown() override { qb::test::closeFrame(frame); }
  BrowseWindow* browse() { return qobject_cast<BrowseWindow*>(frame->registry().get("BrowseMsgNmbr")); }
  ExportWindow* window(const char* name) { return qobject_cast<ExportWindow*>(frame->registry().get(name)); }
  void highlight(uint32_t id) {
    for (int r = 0; r < browse()->model().rowCount(); ++r)
      if (browse()->model().row(r)->id() == id) browse()->setCurrentRow(r);
    qb::test::pumpEvents();
  }
  uint8_t stored(uint32_t msg) {
    OP_CLOSE(a.session(), OpOpen, {3});
    a.session().MsgNmbr().clear();
    a.session().MsgNmbr().rec.MSGNUMBER = msg;
    a.session().MsgNmbr().get(MsgNmbr::IdKey);
    uint8_t v = a.session().MsgNmbr().rec.DUMMY;
    OP_CLOSE(a.session(), OpClose, {3});
    return v;
  }
};

TEST_F(ExportWindowFixture, ExportsTheThreadOfTheHighlightedMessage) {
  ASSERT_NE(browse(), nullptr);
  EXPECT_TRUE(frame->isEnabled(CmdExportMsgs));
  highlight(1002);
  frame->runCode(41);  // "&Export Messages": the frame tells the browse
  qb::test::pumpEvents();
  ExportWindow* w = window("ExportProc");
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->windowTitle(), "Export messages");
  EXPECT_FALSE(w->outboxShown());  // a forum format writes one file
  w->chooseScope(qb::exporting::ScopeThread);
  w->chooseFormat("TAPCIS");
  ASSERT_TRUE(w->start());
  waitFor(w);
  EXPECT_EQ(w->statusText(), "Messages exported!  (2)");
  const std::string file = slurp(a.session().TempDir + "/SaveMsg.Txt");
  EXPECT_NE(file.find("#: 1001 S3/Animals  [Pets]"), std::string::npos) << file;
  EXPECT_NE(file.find("#: 1002 S3/Animals  [Pets]"), std::string::npos);
  EXPECT_EQ(file.find("#: 1003"), std::string::npos);
}

TEST_F(ExportWindowFixture, PrintsToPdfAndSetsStatusAndTopics) {
  highlight(1003);
  post(browse(), NotePrint);
  qb::test::pumpEvents();
  ExportWindow* p = window("PrintProc");
  ASSERT_NE(p, nullptr);
  p->chooseScope(qb::exporting::ScopeSender);  // Jones: 1002 and 1003
  ASSERT_TRUE(p->start());
  waitFor(p);
  EXPECT_EQ(p->statusText(), "Messages printed!  (2)");
  const std::string pdf = a.home() + "/print.pdf";
  ASSERT_TRUE(p->printTo(QString::fromStdString(pdf)));
  EXPECT_EQ(slurp(pdf).rfind("%PDF", 0), 0u);

  post(browse(), NoteSetStatus);
  qb::test::pumpEvents();
  ExportWindow* st = window("StatusProc");
  ASSERT_NE(st, nullptr);
  st->chooseScope(qb::exporting::ScopeThread);
  st->chooseStatus(1);
  ASSERT_TRUE(st->start());
  waitFor(st);
  EXPECT_EQ(st->statusText(), "Message status recoded!  (1)");
  EXPECT_EQ(stored(1003), 1);
  EXPECT_EQ(stored(1001), 0);

  post(browse(), NoteClassifySets);
  qb::test::pumpEvents();
  ExportWindow* c = window("ClassifyProc");
  ASSERT_NE(c, nullptr);
  c->chooseScope(qb::exporting::ScopeDatabase);
  EXPECT_FALSE(c->start());  // no topic chosen: "No topic selected!"
  EXPECT_TRUE(a.ui.saw("No topic selected!"));
  c->chooseTopic("Favourites", false);
  ASSERT_TRUE(c->start());
  waitFor(c);
  EXPECT_EQ(c->statusText(), "Topics attached!  (3)");
}

TEST_F(ExportWindowFixture, AddressBookFromTheFrame) {
  EXPECT_TRUE(frame->isEnabled(CmdExportAddr));
  frame->runCode(40);
  qb::test::pumpEvents();
  auto* w = qobject_cast<AddressExportWindow*>(frame->registry().get("AddressExport"));
  ASSERT_NE(w, nullptr);
  w->chooseFormat("TAPCIS");
  ASSERT_TRUE(w->start());
  waitFor(w);
  EXPECT_EQ(w->statusText(), "2 addresses written to file.");
  EXPECT_TRUE(a.ui.saw("2 addresses written to file."));
  EXPECT_EQ(slurp(a.session().TempDir + "/Address.Txt"),
            "Jane Smith INTERNET:jane@example.org|\r\nTom Jones INTERNET:tom@example.org|\r\n");
}

}  // namespace
