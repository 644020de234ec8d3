// Start-up paths, the frame's states, the dispatcher, notifications and the
// closing of tool windows, database selection and renaming.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QLabel>
#include <QTabBar>
#include <QTableWidget>
#include <filesystem>

#include "app/app_archive.h"
#include "app/browse_window.h"
#include "app/database_windows.h"
#include "app/icons.h"
#include "app/main_frame.h"
#include "app/notifications.h"
#include "app/startup.h"
#include "app/startup_wizard.h"
#include "app/thread_tree_window.h"
#include "archive/archive_home.h"
#include "archive/browse/browse_databases.h"
#include "archive/browse/browse_status.h"
#include "archive/config.h"
#include "text/datetime.h"
#include "archive/paths.h"
#include "archive/session.h"

using qb::text::dayNumber;

using namespace qb::store;
using namespace qb::app;
namespace fs = std::filesystem;

namespace {

std::string freshDir() {
  std::string t = (fs::temp_directory_path() / "quillbox-gui-XXXXXX").string();
  if (!::mkdtemp(t.data())) throw std::runtime_error("mkdtemp");
  return t;
}

struct FrameFixture : ::testing::Test {
  qb::test::TempArchive a;
  std::unique_ptr<MainFrame> frame;
  void SetUp() override {
    qb::test::ensureApplication();
    ASSERT_EQ(StartupSettings(a.session(), false), 99);
  }
  void TearDown() override { qb::test::closeFrame(frame); }
  Session& s() { return a.session(); }
  void forum(const std::string& name, int messages = 3) {
    a.addDatabase(KindForum, name);
    qb::test::DatabaseBuilder db(a);
    db.section(900, 1, "General");
    db.thread(1, 900, "First thread", 0, 2);
    db.thread(2, 900, "Second thread", 0, 1);
    db.person(501, "Smith", "Jane", "jane@example.org", 3, 0);
    db.person(502, "", "", "anon@example.org", 0, 3);
    for (int i = 1; i <= messages; ++i)
      db.message(1000 + i, 900, i == 3 ? 2 : 1, i == 2 ? 1001 : 0, 501, 502, dayNumber(1999, 5, i),
                 "Text of message " + std::to_string(i));
  }
  void open(int result = StartNormal) {
    s().clearDatabase();
    frame = std::make_unique<MainFrame>(s(), result);
    qb::test::pumpEvents();
  }
  BrowseWindow* browse() { return qobject_cast<BrowseWindow*>(frame->registry().get("BrowseMsgNmbr")); }
};

}  // namespace

// ---- start-up -----------------------------------------------------------------

TEST(Startup, FirstStartOfANewInstallation) {
  qb::test::ensureApplication();
  const std::string home = freshDir() + "/home";
  qb::RecordingUI ui;
  Session s(ui);
  bool asked = false;
  EXPECT_EQ(runStartupChecks(s, home, [&](Session&) { return asked = true; }), 99);
  EXPECT_FALSE(asked);
  EXPECT_TRUE(fs::is_directory(home + "/CFG"));
  EXPECT_TRUE(fs::is_directory(home + "/TEMP"));
  EXPECT_EQ(setting(s, SetVersion), 420);
  EXPECT_TRUE(ui.entries.empty());

  // The frame has no database and opens the start-up wizard exactly once.
  const int before = StartupWizard::shownCount();
  {
    MainFrame frame(s, 99);
    qb::test::pumpEvents();
    EXPECT_EQ(frame.titlePart(), "[No Active Database]");
    EXPECT_EQ(StartupWizard::shownCount(), before + 1);
    post(&frame, NoteReevaluate);
    qb::test::pumpEvents();
    EXPECT_EQ(StartupWizard::shownCount(), before + 1);
    for (QWidget* w : QApplication::topLevelWidgets())
      if (qobject_cast<StartupWizard*>(w)) w->close();
    qb::test::pumpEvents();
  }
  // The second start is a normal one.
  qb::RecordingUI ui2;
  Session again(ui2);
  EXPECT_EQ(runStartupChecks(again, home, [](Session&) { return false; }), 1);
  fs::remove_all(fs::path(home).parent_path());
}

TEST(Startup, UpgradeResetsPlacesAndTellsOnce) {
  qb::test::ensureApplication();
  qb::test::TempArchive a;
  Session& s = a.session();
  ASSERT_EQ(StartupSettings(s, false), 99);
  Place p{10, 20, 300, 200};
  ASSERT_TRUE(WindowPos2(s, 2, 3, p));
  ASSERT_TRUE(WindowPos2(s, 4, 0, p));
  int32_t old = 400;
  Konfig(s, KonfigAction::SetGeneral, SetVersion, old);
  Konfig(s, KonfigAction::WriteGeneral);

  qb::RecordingUI ui;
  Session next(ui);
  EXPECT_EQ(runStartupChecks(next, a.home(), [](Session&) { return false; }), 1);
  EXPECT_TRUE(ui.saw("This new version needs new default values! All window positions, window sizes and list box "
                     "column widths will be reset to default!"));
  EXPECT_EQ(setting(next, SetVersion), 420);
  Place back{};
  WindowPos2(next, 3, 3, back);
  EXPECT_NE(back, p);

  qb::RecordingUI ui3;
  Session third(ui3);
  EXPECT_EQ(runStartupChecks(third, a.home(), [](Session&) { return false; }), 1);
  EXPECT_TRUE(ui3.entries.empty());
}

TEST(Startup, MissingDataDirectoryAsksForANewOne) {
  qb::test::ensureApplication();
  const std::string root = freshDir();
  const std::string home = root + "/home", data = root + "/data", moved = root + "/moved";
  {
    qb::RecordingUI ui;
    Session s(ui);
    std::string error;
    ASSERT_TRUE(initHome(s, home, {data, ""}, error)) << error;
  }
  fs::rename(data, moved);
  {
    qb::RecordingUI ui;
    Session s(ui);
    int calls = 0;
    EXPECT_EQ(runStartupChecks(s, home, [&](Session&) { return ++calls, false; }), 0);
    EXPECT_EQ(calls, 1);
    ASSERT_FALSE(ui.entries.empty());
    EXPECT_EQ(ui.entries[0].title, "Path not found!");
    // The message names the directory that went away.
    EXPECT_EQ(ui.entries[0].text,
              "The path to your data files cannot be found!\r\n" + data + "\r\nUpdate file path on next screen\r\n");
  }
  {
    // The data-path window: OK only for a path that exists.
    qb::RecordingUI ui;
    Session s(ui);
    ASSERT_EQ(openHome(s, home), HomeStatus::DataPathMissing);
    DataPathDialog dlg(s);
    // It says which path is gone, and names its button as the button reads.
    auto* explanation = dlg.findChild<QLabel*>("Explanation");
    ASSERT_NE(explanation, nullptr);
    EXPECT_TRUE(explanation->text().contains(QString::fromStdString(data)));
    EXPECT_TRUE(explanation->text().contains("\"Save changes\""));
    EXPECT_FALSE(explanation->text().contains("OK button"));
    dlg.setPath(QString::fromStdString(root + "/nowhere"));
    EXPECT_FALSE(dlg.saveEnabled());
    EXPECT_FALSE(dlg.check());
    // Typing a path that exists enables the button at once.
    dlg.setPath(QString::fromStdString(moved));
    EXPECT_TRUE(dlg.saveEnabled());
    EXPECT_TRUE(dlg.check());
    dlg.save();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
  }
  qb::RecordingUI ui;
  Session s(ui);
  EXPECT_EQ(runStartupChecks(s, home, [](Session&) { return false; }), 1);
  EXPECT_EQ(s.FileDir, moved);
  fs::remove_all(root);
}

// ---- the frame --------------------------------------------------------------------

TEST_F(FrameFixture, NoDatabaseLeavesOnlyImportSetupPreferencesExitAndHelp) {
  open();
  EXPECT_EQ(frame->titlePart(), "[No Active Database]");
  EXPECT_EQ(frame->windowTitle(), " Quillbox Message Converter [No Active Database]");
  EXPECT_FALSE(frame->isEnabled(CmdChangeDb));
  EXPECT_FALSE(frame->isEnabled(CmdBrowse));
  EXPECT_FALSE(frame->isEnabled(CmdThreadTree));
  EXPECT_FALSE(frame->isButtonEnabled(CmdChangeDb));
  EXPECT_TRUE(frame->isEnabled(CmdMailSetup));
  EXPECT_TRUE(frame->isEnabled(CmdExit));
  EXPECT_TRUE(frame->isButtonEnabled(CmdExit));
  EXPECT_TRUE(frame->isEnabled(CmdAbout));
  EXPECT_TRUE(frame->registry().names().isEmpty());
  // Import and preferences work without a database.
  EXPECT_TRUE(frame->isEnabled(CmdImportWizard));
  EXPECT_TRUE(frame->isButtonEnabled(CmdImportWizard));
  EXPECT_TRUE(frame->isEnabled(CmdPreferences));
  // So does the scheduler: its windows need no current database.
  for (Cmd c : {CmdScheduler, CmdDefineProcs, CmdScheduleTasks, CmdShowLog}) EXPECT_TRUE(frame->isEnabled(c)) << c;
}

TEST_F(FrameFixture, ActiveDatabaseOpensItsBrowseAndTree) {
  forum("Test forum");
  open();
  EXPECT_EQ(frame->titlePart(), "[Test forum]");
  EXPECT_EQ(frame->windowTitle(), " Quillbox Message Converter [Test forum]");
  EXPECT_TRUE(frame->isEnabled(CmdChangeDb));
  EXPECT_TRUE(frame->isEnabled(CmdThreadTree));
  EXPECT_EQ(frame->commandText(CmdPersons), "&Browse Forum Members");
  EXPECT_EQ(frame->commandText(CmdMerge), "&Merge Duplicate Forum Members");
  ASSERT_NE(browse(), nullptr);
  EXPECT_NE(frame->registry().get("ThreadTree"), nullptr);
  EXPECT_EQ(browse()->windowTitle(), " Forum database: Test forum Messages [3]");
  EXPECT_EQ(browse()->model().rowCount(), 3);
  // The status zones show the date and time in the chosen pictures.
  EXPECT_FALSE(frame->statusZone(3).isEmpty());
  EXPECT_FALSE(frame->statusZone(4).isEmpty());
}

TEST_F(FrameFixture, ToolbarShowsOnlyButtonsWithAWindowBehindThem) {
  const Cmd buttons[] = {CmdPreferences, CmdChangeDb, CmdImportWizard, CmdScheduler, CmdPersons, CmdMerge,
                         CmdCount,       CmdPurge,    CmdClassify,     CmdExportMsgs, CmdExportAddr, CmdExit};
  forum("Test forum");
  open();
  // With a database active every command that has a window can run: a
  // button is shown exactly when its command can run, none is shown grey.
  int shown = 0;
  for (Cmd c : buttons) {
    EXPECT_EQ(frame->isButtonShown(c), frame->isEnabled(c)) << frame->commandText(c).toStdString();
    EXPECT_EQ(frame->isButtonShown(c), frame->isButtonEnabled(c)) << frame->commandText(c).toStdString();
    shown += frame->isButtonShown(c);
  }
  EXPECT_TRUE(frame->isButtonShown(CmdChangeDb));
  EXPECT_TRUE(frame->isButtonShown(CmdExportMsgs));
  EXPECT_TRUE(frame->isButtonShown(CmdExit));
  // A window that takes the frame for itself greys the buttons but hides or
  // shows none.
  post(frame.get(), NoteDisableButtons);
  qb::test::pumpEvents();
  EXPECT_FALSE(frame->isButtonEnabled(CmdChangeDb));
  int shownNow = 0;
  for (Cmd c : buttons) shownNow += frame->isButtonShown(c);
  EXPECT_EQ(shownNow, shown);
}

TEST(AppIcons, EveryGlyphHasADrawnPicture) {
  qb::test::ensureApplication();
  for (int g = int(Glyph::Preferences); g <= int(Glyph::BookmarkSet); ++g) {
    const QImage img = bundledIcon(Glyph(g)).pixmap(24, 24).toImage();
    ASSERT_FALSE(img.isNull()) << "glyph " << g;
    int inked = 0;
    for (int y = 0; y < img.height(); ++y)
      for (int x = 0; x < img.width(); ++x) inked += qAlpha(img.pixel(x, y)) > 0;
    // Drawn, and not a filled square: a picture covers part of its field.
    EXPECT_GT(inked, 10) << "glyph " << g;
    EXPECT_LT(inked, img.width() * img.height() * 9 / 10) << "glyph " << g;
    EXPECT_FALSE(appIcon(Glyph(g)).isNull()) << "glyph " << g;
  }
}

TEST_F(FrameFixture, MailDatabaseTexts) {
  a.addDatabase(KindMail, "Jane's mail");
  open();
  EXPECT_EQ(frame->commandText(CmdPersons), "&Browse Mail Partners");
  EXPECT_EQ(frame->commandText(CmdMerge), "&Merge Duplicate Mail Partners");
  EXPECT_FALSE(frame->isEnabled(CmdThreadTree));
  EXPECT_NE(frame->registry().get("BrowseMail"), nullptr);
  EXPECT_EQ(frame->registry().get("ThreadTree"), nullptr);
  frame->runCode(24);  // "Show Thread Tree" does nothing for mail
  qb::test::pumpEvents();
  EXPECT_EQ(frame->registry().get("ThreadTree"), nullptr);
}

TEST_F(FrameFixture, LastActiveDatabaseGoneTakesTheFirstThatOpens) {
  forum("First forum");
  const uint32_t second = a.addDatabase(KindForum, "Second forum");
  int32_t id = static_cast<int32_t>(second);
  Konfig(s(), KonfigAction::SetGeneral, SetLastDatabase, id);
  s().clearDatabase();
  ASSERT_TRUE(chooseStartupDatabase(s()));
  EXPECT_EQ(s().Description, "Second forum");
  fs::remove_all(s().databaseDir());
  ASSERT_TRUE(chooseStartupDatabase(s()));
  EXPECT_EQ(s().Description, "First forum");
}

TEST_F(FrameFixture, OpenOrRaiseKeepsOneWindow) {
  open();
  QWidget* about = frame->openOrRaise("About");
  ASSERT_NE(about, nullptr);
  EXPECT_EQ(frame->openOrRaise("About"), about);
  qb::test::pumpEvents();
  EXPECT_EQ(frame->registry().names().count("About"), 1);
  EXPECT_EQ(frame->openOrRaise("NoSuchWindow"), nullptr);  // not a window of the program
}

TEST_F(FrameFixture, ExitClosesTheFindGroupThenTheBrowsesThenEnds) {
  forum("Exit forum");
  open();
  ASSERT_NE(frame->registry().get("ThreadTree"), nullptr);
  EXPECT_TRUE(frame->closeToolWindows(1));
  qb::test::pumpEvents();
  EXPECT_EQ(frame->registry().get("ThreadTree"), nullptr);
  EXPECT_NE(browse(), nullptr);
  EXPECT_TRUE(frame->closeToolWindows(1));
  qb::test::pumpEvents();
  EXPECT_EQ(browse(), nullptr);
  EXPECT_FALSE(frame->closeToolWindows(1));
  // The whole exit procedure through the exit button.
  frame->openOrRaise("About");
  bool ended = false;
  QObject::connect(frame.get(), &MainFrame::closedDown, [&] { ended = true; });
  frame->press(CmdExit);
  qb::test::pumpEvents();
  EXPECT_TRUE(ended);
  EXPECT_TRUE(frame->registry().names().isEmpty());
}

TEST_F(FrameFixture, ExitRefusedWhileIndexing) {
  open();
  s().IndexingInProgress = 1;
  EXPECT_FALSE(frame->close());
  EXPECT_TRUE(a.ui.saw("You May NOT Exit until Indexing Is Done.\r\nThis is to Avoid Corruption."));
  s().IndexingInProgress = 0;
}

TEST_F(FrameFixture, ReasonsThatCloseNothing) {
  forum("Reason forum");
  open();
  for (int r : {2, 9, 17, 20}) EXPECT_FALSE(frame->closeToolWindows(r));
  s().IndexingInProgress = 1;
  EXPECT_FALSE(frame->closeToolWindows(14));
  EXPECT_FALSE(frame->closeToolWindows(1));
  s().IndexingInProgress = 0;
  EXPECT_NE(browse(), nullptr);
}

TEST_F(FrameFixture, ChangeActiveDatabaseIsExclusiveAndSwitchesTheBrowse) {
  forum("Alpha forum");
  const uint32_t beta = a.addDatabase(KindForum, "Beta forum");
  int32_t id = static_cast<int32_t>(beta);
  Konfig(s(), KonfigAction::SetGeneral, SetLastDatabase, id);
  open();
  ASSERT_EQ(frame->titlePart(), "[Beta forum]");  // the one active last
  frame->press(CmdChangeDb);
  qb::test::pumpEvents();
  auto* change = qobject_cast<ChangeForumWindow*>(frame->registry().get("ChangeForum"));
  ASSERT_NE(change, nullptr);
  EXPECT_EQ(browse(), nullptr);  // tool windows were closed first
  EXPECT_FALSE(frame->isEnabled(CmdChangeDb));
  EXPECT_TRUE(frame->isEnabled(CmdExit));
  EXPECT_FALSE(frame->isButtonEnabled(CmdChangeDb));
  ASSERT_EQ(change->rows().size(), 2u);
  EXPECT_EQ(change->rows()[0].DESCRIPTION, "Alpha forum");  // by name
  change->selectRow(0);
  change->choose();
  qb::test::pumpEvents();
  EXPECT_EQ(frame->titlePart(), "[Alpha forum]");
  EXPECT_TRUE(frame->isEnabled(CmdChangeDb));
  ASSERT_NE(browse(), nullptr);
  EXPECT_EQ(browse()->model().rowCount(), 3);
  EXPECT_EQ(setting(s(), SetLastDatabase), static_cast<int32_t>(s().ForumNumber));
}

TEST_F(FrameFixture, DatabaseSelectionRenamesMarksAndForbidsImport) {
  forum("Old name");
  a.addDatabase(KindMail, "Unknown:F2");
  open();
  frame->runCode(2);
  qb::test::pumpEvents();
  auto* change = qobject_cast<ChangeForumWindow*>(frame->registry().get("ChangeForum"));
  ASSERT_NE(change, nullptr);
  change->setOrder(DatabaseOrder::ByDirectory);
  ASSERT_EQ(change->rows().size(), 2u);
  EXPECT_EQ(change->rows()[0].DIRNAMN, "F1");
  EXPECT_EQ(change->rows()[0].DBTYPE, "Forum");
  EXPECT_EQ(change->rows()[0].COUNTSTRING, "Yes");
  EXPECT_FALSE(renamable(change->rows()[1]));
  change->selectRow(0);
  EXPECT_TRUE(change->rename("New name"));
  EXPECT_EQ(change->rows()[0].DESCRIPTION, "New name");
  EXPECT_EQ(s().Description, "New name");
  change->selectRow(0);
  change->setImport(false);
  EXPECT_EQ(change->rows()[0].ALLOWIMPORT, "No");
  change->selectRow(0);
  change->setImport(false);  // already disallowed: nothing changes
  EXPECT_EQ(change->rows()[0].NOIMPORT, 1);
  change->selectRow(0);
  change->setRowStatus(StatusKeep);
  EXPECT_EQ(change->rows()[0].STATUS, StatusKeep);
  EXPECT_EQ(change->table()->item(0, 0)->foreground().color(), QColor(0, 0, 128));
}

TEST_F(FrameFixture, DatabaseMarkedForDeletionAsksAndCancelClearsTheMark) {
  forum("Doomed forum");
  ASSERT_TRUE(setStatus(s(), StatusTarget::Database, s().ForumNumber, StatusDelete));
  a.ui.answers = {qb::Button::Cancel};
  open();
  qb::test::pumpEvents();
  bool asked = false;
  for (auto& e : a.ui.entries) asked |= e.kind == "ask";
  EXPECT_TRUE(asked);
  EXPECT_EQ(s().ForumCheck, 0);
  auto rows = databaseRows(s(), DatabaseOrder::ByName);
  EXPECT_EQ(rows[0].STATUS, 0);
  EXPECT_NE(browse(), nullptr);
}

TEST_F(FrameFixture, MailDatabaseSetupInsertsAndUpdates) {
  open();
  frame->press(CmdMailSetup);
  qb::test::pumpEvents();
  auto* box = qobject_cast<MailDatabasesWindow*>(frame->registry().get("BrowseBox"));
  ASSERT_NE(box, nullptr);
  EXPECT_FALSE(frame->isEnabled(CmdChangeDb));  // an exclusive command runs
  EXPECT_FALSE(box->insert({"", "", {}}));      // a name and an address are needed
  EXPECT_TRUE(box->insert({"Jane Smith", "jane@example.org", {"js@example.net"}}));
  ASSERT_EQ(box->table()->rowCount(), 1);
  EXPECT_EQ(box->table()->item(0, 1)->text(), "jane@example.org");
  EXPECT_EQ(box->table()->item(0, 2)->text(), "js@example.net");  // the addresses themselves
  box->table()->selectRow(0);
  EXPECT_TRUE(box->update({"Jane Smith", "jane@example.com", {"a@example.net", "b@example.net"}}));
  EXPECT_EQ(box->table()->item(0, 1)->text(), "jane@example.com");
  EXPECT_EQ(box->table()->item(0, 2)->text(), "a@example.net, b@example.net");
  box->close();
  qb::test::pumpEvents();
  EXPECT_EQ(frame->titlePart(), "[Jane Smith]");  // the new database becomes active
  EXPECT_NE(frame->registry().get("BrowseMail"), nullptr);
}

TEST_F(FrameFixture, AddNewForumKeepsTheCurrentDatabase) {
  forum("Current forum");
  const uint32_t current = s().ForumNumber;
  AddForumDialog dlg(nullptr, s());
  EXPECT_FALSE(dlg.save("  "));
  EXPECT_TRUE(dlg.save("Another forum"));
  EXPECT_NE(dlg.added(), 0u);
  EXPECT_EQ(s().ForumNumber, current);
  EXPECT_FALSE(dlg.save("another FORUM"));  // the name is taken in any letter case
  auto rows = databaseRows(s(), DatabaseOrder::ByDirectory);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1].DESCRIPTION, "Another forum");
  EXPECT_EQ(rows[1].DBTYPE, "Forum");
}
