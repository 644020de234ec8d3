// The import wizard, its selection dialogs, the import processing window and
// the preferences window: the frame opens them, each step checks its values
// and warns, the order handed to the import set-up for each selection method
// and format, an import started from the wizard (saved for the scheduler,
// cancelled while storing), and every setting saved and read again.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QPixmap>
#include <QPointer>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/app_archive.h"
#include "app/import_run_window.h"
#include "app/import_wizard.h"
#include "app/main_frame.h"
#include "app/notifications.h"
#include "app/preferences_window.h"
#include "app/selection_dialogs.h"
#include "archive/config.h"
#include "archive/databases.h"
#include "archive/maildb.h"
#include "archive/paths.h"
#include "archive/session.h"
#include "import/import_definition.h"
#include "import/import_types.h"
#include "text/datetime.h"

using namespace qb::store;
using namespace qb::app;
namespace fs = std::filesystem;

namespace {

const std::string kEudora = std::string(QB_SOURCE_DIR) + "/samples/mail/eudora";

struct WizardFixture : ::testing::Test {
  qb::test::TempArchive a;
  std::unique_ptr<MainFrame> frame;
  void SetUp() override {
    qb::test::ensureApplication();
    ASSERT_EQ(StartupSettings(a.session(), false), 99);
  }
  void TearDown() override {
    if (frame) {
      for (const char* g : {kFindGroup, kImportGroup, kNotToolsGroup}) {
        frame->registry().destroyGroup(g);
        qb::test::pumpEvents();
      }
      frame.reset();
    }
    qb::test::pumpEvents();
  }
  Session& s() { return a.session(); }
  uint32_t mailDatabase() { return createMailDatabase(s(), {"Robin Quayle", "robin@example.com", {"rq@example.org"}}); }
  void openFrame() {
    s().clearDatabase();
    frame = std::make_unique<MainFrame>(s(), StartNormal);
    qb::test::pumpEvents();
  }
  ImportWizard* wizard() {
    if (!frame) openFrame();
    frame->press(CmdImportWizard);
    qb::test::pumpEvents();
    return qobject_cast<ImportWizard*>(frame->registry().get("ImportMeny"));
  }
  bool told(const std::string& text, const std::string& title) {
    for (const auto& e : a.ui.entries)
      if (e.text == text && e.title == title) return true;
    return false;
  }
};

}  // namespace

TEST_F(WizardFixture, TheFrameOpensTheWizardAndThePreferencesAndGetsItsMenusBack) {
  a.addDatabase(KindForum, "Some Forum");
  openFrame();
  EXPECT_TRUE(frame->isEnabled(CmdImportWizard));
  EXPECT_TRUE(frame->isButtonEnabled(CmdImportWizard));
  EXPECT_TRUE(frame->isEnabled(CmdPreferences));
  EXPECT_TRUE(frame->isButtonEnabled(CmdPreferences));

  ImportWizard* w = wizard();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(frame->titlePart(), "[No Active Database]");
  EXPECT_FALSE(frame->isEnabled(CmdPreferences));  // an exclusive command runs
  EXPECT_EQ(frame->registry().get("BrowseMsgNmbr"), nullptr);
  w->close();
  qb::test::pumpEvents();
  EXPECT_EQ(frame->registry().get("ImportMeny"), nullptr);
  EXPECT_TRUE(frame->isEnabled(CmdPreferences));
  EXPECT_EQ(frame->titlePart(), "[Some Forum]");

  // The scheduler's request to press "Import Wizard".
  post(frame.get(), NotePressImportWizard);
  qb::test::pumpEvents();
  qb::test::pumpEvents();
  EXPECT_NE(frame->registry().get("ImportMeny"), nullptr);
  frame->registry().get("ImportMeny")->close();
  qb::test::pumpEvents();

  frame->press(CmdPreferences);
  qb::test::pumpEvents();
  auto* prefs = qobject_cast<PreferencesWindow*>(frame->registry().get("UserPanel"));
  ASSERT_NE(prefs, nullptr);
  EXPECT_FALSE(frame->isButtonEnabled(CmdImportWizard));
  prefs->close();
  qb::test::pumpEvents();
  EXPECT_TRUE(frame->isButtonEnabled(CmdImportWizard));
}

TEST_F(WizardFixture, StepsCheckTheirValuesAndWarn) {
  ImportWizard* w = wizard();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->stepTitle(), "Welcome to the Import Wizard!");
  QStringList offered;
  for (const auto& t : qb::import::importTypes())
    if (t.offered()) offered << t.name;
  EXPECT_EQ(w->formatNames(), offered);
  EXPECT_EQ(offered.size(), 37);
  EXPECT_EQ(w->format(), "WinCIM");  // setting 12
  EXPECT_FALSE(w->setFormat("Reserv"));

  ASSERT_TRUE(w->next());
  EXPECT_EQ(w->stepTitle(), "Import file type");
  ASSERT_TRUE(w->setFormat("Eudora"));
  ASSERT_TRUE(w->next());
  EXPECT_EQ(w->stepTitle(), "Msg types");
  w->setKinds(false, false, false);
  EXPECT_FALSE(w->next());
  EXPECT_TRUE(told("No message type selected", "Warning!"));
  w->setKinds(true, false, false);  // mail, but no mail database exists
  EXPECT_FALSE(w->next());
  EXPECT_EQ(w->step(), ImportWizard::MsgTypes);
  w->setKinds(false, true, true);
  ASSERT_TRUE(w->next());
  EXPECT_EQ(w->stepTitle(), "Preferred selection method");
  w->setMethod(1);
  ASSERT_TRUE(w->next());
  EXPECT_EQ(w->stepTitle(), "Directory for import files");
  a.ui.entries.clear();
  EXPECT_FALSE(w->next());  // nothing selected yet
  EXPECT_TRUE(told("No file(s) selected", "Warning!"));
  w->setSelection(QString::fromStdString(a.home() + "/none"), "*.MBX", {});
  EXPECT_FALSE(w->next());
  EXPECT_TRUE(told("there is no directory " + a.home() + "/none", "Warning!"));
  w->setSelection(QString::fromStdString(kEudora), "*.MBX", {});
  ASSERT_TRUE(w->next());
  EXPECT_EQ(w->step(), ImportWizard::Options);
  w->back();
  w->back();
  w->setMethod(2);
  ASSERT_TRUE(w->next());
  EXPECT_EQ(w->stepTitle(), "Import messages from file(s)");

  // CIM formats offer every file of a directory; "Outlook Mail" is chosen by file.
  EXPECT_FALSE(w->allCimOffered());
  w->setFormat("WinCIM");
  w->setMethod(0);
  EXPECT_TRUE(w->allCimOffered());
  EXPECT_EQ(w->allCimText(), "Import all WinCIM files of the selected directory");
  w->setFormat("Outlook Mail");
  EXPECT_FALSE(w->methodOffered(0));
  EXPECT_FALSE(w->methodOffered(1));
  EXPECT_EQ(w->method(), 2);
  EXPECT_FALSE(w->allCimOffered());
}

TEST_F(WizardFixture, TheOrderCarriesEveryChoiceForEachMethodAndFormat) {
  mailDatabase();
  ImportWizard* w = wizard();
  ASSERT_NE(w, nullptr);
  const QString dir = QString::fromStdString(kEudora);
  for (const char* format : {"Eudora", "WinCIM", "Unix News", "AUTOSIG"}) {
    for (int method : {0, 1, 2}) {
      SCOPED_TRACE(std::string(format) + " " + std::to_string(method));
      ASSERT_TRUE(w->setFormat(format));
      w->setMethod(method);
      const auto* type = qb::import::findImportType(format);
      // Masks equal to the format's own are left to the format.
      w->setSelection(dir, method == 0 ? QString(type->defaultMask) : "*.MBX;*.TOC",
                      {dir + "/In.mbx", dir + "/Out.toc"});
      w->setAllCimFiles(true);
      w->setKinds(true, method != 1, method == 2);
      w->setMailDatabase("Robin Quayle");
      w->setForumName("Garden Forum");
      w->setCreateOnly(method == 1);
      w->setReimport(method == 2);
      w->setTopic(method == 0 ? "Garden" : "");
      const qb::import::ImportOrder o = w->order();
      const auto& r = o.request;
      EXPECT_EQ(o.format, format);
      EXPECT_EQ(r.selectionMethod, method);
      if (method == 2) {
        EXPECT_EQ(r.files, (std::vector<std::string>{kEudora + "/In.mbx", kEudora + "/Out.toc"}));
        EXPECT_TRUE(r.sourcePath.empty());
      } else {
        EXPECT_EQ(r.sourcePath, kEudora);
        EXPECT_TRUE(r.files.empty());
        EXPECT_EQ(r.pattern, method == 0 ? "" : "*.MBX;*.TOC");
      }
      EXPECT_EQ(r.allCimFiles, method != 2 && std::string(format) == "WinCIM");
      EXPECT_EQ(r.kinds, qb::import::KindMail | (method != 1 ? qb::import::KindForum : 0u) |
                             (method == 2 ? qb::import::KindNews : 0u));
      EXPECT_EQ(r.mailDatabase, "Robin Quayle");
      EXPECT_EQ(r.forumName, method != 1 ? "Garden Forum" : "");
      EXPECT_EQ(r.createOnly, method == 1);
      EXPECT_EQ(r.allowReimport, method == 2);
      EXPECT_EQ(o.topic, method == 0 ? "Garden" : "");
      // What the set-up makes of it.
      std::string detail;
      qb::import::ImportOrder checked = o;
      EXPECT_EQ(qb::import::checkImportOrder(checked, detail), qb::import::ImportProblem::None) << detail;
    }
  }
  ASSERT_TRUE(w->setFormat("Outlook Mail"));
  w->setOutlookSelection("/data/mail.pst", "Top::Inbox##Top::Sent");
  const auto o = w->order();
  EXPECT_EQ(o.request.selectionMethod, 2);
  EXPECT_EQ(o.request.files, std::vector<std::string>{"/data/mail.pst"});
  EXPECT_EQ(o.request.outlookFolders, "Top::Inbox##Top::Sent");
}

TEST_F(WizardFixture, SelectionDialogsWarnForNoExtensionAndNoFile) {
  qb::test::ensureApplication();
  const QString dir = QString::fromStdString(kEudora);
  FileSelectionDialog tree(s(), 0, dir, "");
  EXPECT_EQ(tree.windowTitle(), "Directory Tree Selection Dialog");
  EXPECT_TRUE(tree.listedFiles().isEmpty());
  EXPECT_FALSE(tree.saveSelection());
  EXPECT_TRUE(told("No file extension(s) specified", "Warning!"));
  tree.setMasks("*.mbx");
  EXPECT_EQ(tree.listedFiles(), (QStringList{"In.mbx", "Out.mbx"}));  // letter case ignored
  EXPECT_TRUE(tree.saveSelection());
  EXPECT_EQ(tree.directory(), dir);

  FileSelectionDialog dirDlg(s(), 1, dir, "*.TOC");
  EXPECT_EQ(dirDlg.windowTitle(), "Directory Selection Dialog");
  EXPECT_EQ(dirDlg.listedFiles(), (QStringList{"In.toc", "Out.toc"}));

  a.ui.entries.clear();
  FileSelectionDialog files(s(), 2, dir, "*.*");
  EXPECT_EQ(files.windowTitle(), "File Selection Dialog");
  EXPECT_EQ(files.listedFiles().size(), 4);
  EXPECT_FALSE(files.saveSelection());
  EXPECT_TRUE(told("No file(s) selected", "Warning!"));
  files.pickFiles({"Out.mbx", "In.toc"});
  EXPECT_EQ(files.pickedFiles(), (QStringList{dir + "/In.toc", dir + "/Out.mbx"}));
  EXPECT_TRUE(files.saveSelection());

  // An Outlook data file that cannot be read is told.
  a.ui.entries.clear();
  OutlookFolderDialog outlook(s(), "", "");
  EXPECT_FALSE(outlook.saveSelection());
  EXPECT_FALSE(outlook.loadDataFile(dir + "/In.mbx"));
  EXPECT_FALSE(a.ui.entries.empty());
  EXPECT_TRUE(outlook.dataFile().isEmpty());
}

TEST_F(WizardFixture, StartImportsSavesTheDefinitionAndRemembersTheMailDatabase) {
  const uint32_t mail = mailDatabase();
  ImportWizard* w = wizard();
  ASSERT_NE(w, nullptr);
  w->setSaveForScheduler(true);
  w->setFormat("Eudora");
  w->setKinds(true, false, false);
  w->setMailDatabase("Robin Quayle");
  w->setMethod(1);
  w->setSelection(QString::fromStdString(kEudora), "*.MBX", {});
  w->setTopic("Garden");
  QPointer<ImportRunWindow> run = w->start();
  ASSERT_FALSE(run.isNull());
  EXPECT_EQ(run->windowTitle(), "Eudora Import Processing");
  EXPECT_NE(w->savedDefinition(), 0u);
  EXPECT_EQ(frame->registry().get("ImportMeny"), nullptr);

  // The saved definition reproduces the order.
  const auto defs = qb::import::listImportDefinitions(s());
  ASSERT_EQ(defs.size(), 1u);
  EXPECT_EQ(defs[0].description, "Saved from ImportWizard");
  qb::import::ImportOrder back;
  std::string problem;
  ASSERT_TRUE(qb::import::loadImportDefinition(s(), defs[0].id, back, problem)) << problem;
  EXPECT_EQ(back.request.sourcePath, kEudora);
  EXPECT_EQ(back.request.pattern, "");  // the format's own masks
  EXPECT_EQ(back.topic, "Garden");

  for (int i = 0; i < 2000 && run && run->running(); ++i) run->tick(0);
  ASSERT_FALSE(run.isNull());
  EXPECT_FALSE(run->running());
  EXPECT_EQ(run->countText(2), "8");  // the Eudora sample's eight mails
  EXPECT_EQ(run->countText(3), "1");
  qb::test::pumpEvents();
  EXPECT_TRUE(run.isNull());  // closed at the end
  EXPECT_TRUE(told("The import process has finished!\r\nMessages imported: 8\r\nDuplicates skipped: 1",
                   " Import Processing "));
  EXPECT_EQ(setting(s(), SetMailTarget), static_cast<int32_t>(mail));
  // The frame made the filled database active.
  EXPECT_EQ(frame->titlePart(), "[Robin Quayle]");
}

TEST_F(WizardFixture, CancelWhileStoringAsksAndNoGoesOn) {
  mailDatabase();
  ImportWizard* w = wizard();
  ASSERT_NE(w, nullptr);
  w->setFormat("Eudora");
  w->setKinds(true, false, false);
  w->setMailDatabase("Robin Quayle");
  w->setMethod(1);
  w->setSelection(QString::fromStdString(kEudora), "*.MBX", {});
  QPointer<ImportRunWindow> run = w->start();
  ASSERT_FALSE(run.isNull());
  int guard = 0;
  while (run->run()->phase() != qb::import::RunPhase::Store && ++guard < 2000) run->tick(0);
  ASSERT_EQ(run->run()->phase(), qb::import::RunPhase::Store);
  EXPECT_NE(run->importingTo().toStdString(), "");
  run->cancel();
  run->tick(0);
  bool asked = false;
  for (const auto& e : a.ui.entries)
    if (e.kind == "ask" && e.title == "Import process interrupted") asked = true;
  EXPECT_TRUE(asked);
  // The default answer (No) lets the run go on to its end.
  for (int i = 0; i < 2000 && run && run->running(); ++i) run->tick(0);
  ASSERT_FALSE(run.isNull());
  EXPECT_FALSE(run->run()->stats().cancelled);
  EXPECT_EQ(run->run()->stats().imported, 8u);  // the Eudora sample's eight mails, its copy of the first not again
  qb::test::pumpEvents();

  // Cancelled before storing: nothing is stored and the user is told.
  a.ui.entries.clear();
  w = wizard();
  ASSERT_NE(w, nullptr);
  w->setFormat("Eudora");
  w->setKinds(true, false, false);
  w->setMailDatabase("Robin Quayle");
  w->setMethod(1);
  w->setSelection(QString::fromStdString(kEudora), "*.MBX", {});
  w->setReimport(true);
  run = w->start();
  ASSERT_FALSE(run.isNull());
  run->cancel();
  for (int i = 0; i < 2000 && run && run->running(); ++i) run->tick(0);
  ASSERT_FALSE(run.isNull());
  EXPECT_TRUE(run->run()->stats().cancelled);
  EXPECT_EQ(run->run()->stats().imported, 0u);
  qb::test::pumpEvents();
}

TEST_F(WizardFixture, EverySettingIsShownWithItsDefaultSavedAndReadAgain) {
  const uint32_t forum = a.addDatabase(KindForum, "Garden Forum");
  const uint32_t mail = mailDatabase();
  openFrame();
  frame->press(CmdPreferences);
  qb::test::pumpEvents();
  auto* p = qobject_cast<PreferencesWindow*>(frame->registry().get("UserPanel"));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->tabNames(), (QStringList{"General", "Import", "Display", "Speed", "Scheduler", "Export",
                                        "Word index", "Directories"}));
  // Every stored setting has its place, with its default.
  for (const SettingInfo& i : settingTable()) {
    SCOPED_TRACE(i.code);
    ASSERT_TRUE(p->codes().contains(i.code));
    if (i.code == SetVersion) {
      EXPECT_EQ(p->number(i.code), 420);
    } else if (i.code == SetLastDatabase) {
      EXPECT_EQ(p->number(i.code), static_cast<int32_t>(forum));  // remembered by the frame
    } else if (i.kind == SettingKind::Number) {
      EXPECT_EQ(p->number(i.code), i.defValue);
    } else if (i.kind == SettingKind::Font) {
      EXPECT_EQ(p->text(i.code), QString(i.defText));
      EXPECT_EQ(p->number(i.code), i.defValue);
    }
  }
  // Saving what is shown keeps every value.
  ASSERT_TRUE(p->save());
  {
    qb::RecordingUI ui;
    auto again = a.newSession(ui);
    Konfig(*again, KonfigAction::LoadGeneral);
    Konfig(*again, KonfigAction::LoadDisplay);
    Konfig(*again, KonfigAction::LoadFurther);
    for (const SettingInfo& i : settingTable())
      if (i.kind != SettingKind::Text && i.code != SetVersion && i.code != SetLastDatabase) {
        EXPECT_EQ(setting(*again, i.code), i.defValue) << i.code;
      }
  }

  // A new value for every setting.
  std::map<int, int32_t> numbers;
  const std::string importDir = a.home() + "/import";
  for (const SettingInfo& i : settingTable()) {
    if (i.code == SetVersion) continue;
    if (i.kind == SettingKind::Text) {
      const QString t = i.code == SetImportDir ? QString::fromStdString(importDir) : QString("Custom");
      ASSERT_TRUE(p->setText(i.code, t));
      continue;
    }
    if (i.kind == SettingKind::Font) {
      ASSERT_TRUE(p->setText(i.code, "Courier"));
    }
    bool set = false;
    const std::vector<int32_t> candidates =
        i.code == SetLastDatabase ? std::vector<int32_t>{0}
                                  : std::vector<int32_t>{i.defValue + 1, i.defValue == 1 ? 2 : 1, 2, 10,
                                                         static_cast<int32_t>(mail), qb::text::timeValue(8, 30)};
    for (int32_t c : candidates) {
      if ((c != i.defValue || i.code == SetLastDatabase) && p->setNumber(i.code, c) && p->number(i.code) == c) {
        numbers[i.code] = c;
        set = true;
        break;
      }
    }
    EXPECT_TRUE(set) << "no other value for " << i.code;
  }
  const std::string temp = a.home() + "/other-temp";
  p->setDirectories(QString::fromStdString(temp), p->dataDirectory());
  ASSERT_TRUE(p->save());
  EXPECT_TRUE(fs::is_directory(temp));

  qb::RecordingUI ui;
  auto again = a.newSession(ui);
  Konfig(*again, KonfigAction::LoadGeneral);
  Konfig(*again, KonfigAction::LoadDisplay);
  Konfig(*again, KonfigAction::LoadFurther);
  for (const auto& [code, v] : numbers) EXPECT_EQ(setting(*again, code), v) << code;
  for (int code : {33, 34, 35, 36}) {
    int32_t size = 0;
    std::string name;
    Konfig(*again, KonfigAction::GetDisplay, code, size, &name);
    EXPECT_EQ(name, "Courier");
    EXPECT_EQ(size, numbers[code]);
  }
  int32_t unused = 0;
  std::string text;
  Konfig(*again, KonfigAction::GetGeneral, SetImportDir, unused, &text);
  EXPECT_EQ(text, importDir);
  Konfig(*again, KonfigAction::GetFurther, SetWordRuleSet, unused, &text);
  EXPECT_EQ(text, "Custom");
  std::string path;
  AutoPath(*again, 1, 0, path);
  AutoPath(*again, 3, kTempPath, path);
  EXPECT_EQ(path, temp);
  // The speed sizes follow the new levels.
  EXPECT_EQ(SpeedVal(s(), SpeedAction::BatchSize, SpeedImport), 70);
}

// Renders the wizard's format step for the README when QB_WIZARD_PNG names
// the picture to write.
TEST_F(WizardFixture, WizardPicture) {
  mailDatabase();
  ImportWizard* w = wizard();
  ASSERT_NE(w, nullptr);
  w->setFormat("Eudora");
  ASSERT_TRUE(w->next());
  QWidget* sub = w->parentWidget() ? w->parentWidget() : w;
  sub->resize(640, 470);
  const QPixmap pic = sub->grab();
  EXPECT_FALSE(pic.isNull());
  if (const char* out = std::getenv("QB_WIZARD_PNG")) {
    EXPECT_TRUE(pic.save(out, "PNG"));
  }
}
