#include "app/main_frame.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDate>
#include <QKeySequence>
#include <QLabel>
#include <QLocale>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTime>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <filesystem>

#include "app/browse_window.h"
#include "app/gui_ui.h"
#include "app/database_windows.h"
#include "app/export_window.h"
#include "app/help_window.h"
#include "app/display_settings.h"
#include "app/import_wizard.h"
#include "app/preferences_window.h"
#include "app/index_window.h"
#include "app/merge_window.h"
#include "app/persons_window.h"
#include "app/purge_window.h"
#include "app/topic_windows.h"
#include "app/icons.h"
#include "app/notifications.h"
#include "app/scheduler_windows.h"
#include "app/startup_wizard.h"
#include "app/thread_tree_window.h"
#include "app/tool_window.h"
#include "archive/browse/browse_databases.h"
#include "archive/browse/browse_files.h"
#include "archive/config.h"
#include "text/datetime.h"
#include "archive/paths.h"
#include "archive/session.h"

namespace qb::app {

namespace {

const char* const kTitle = " Quillbox Message Converter ";
const char* const kNoDatabase = "[No Active Database]";

struct CmdEntry {
  Cmd c;
  const char* text;
  const char* status;
  const char* tip;  // toolbar button tip; null: no button
  Glyph glyph;
  int reason;       // exclusive commands; -1 direct
  int code;
};

const CmdEntry kCmds[] = {
    {CmdPreferences, "&Preferences", "User definable settings", "Preferences", Glyph::Preferences, 4, 3},
    {CmdChangeDb, "&Change Active Database", "Change to another database", "Change active database",
     Glyph::Database, 3, 2},
    {CmdMailSetup, "&Mail Database Setup", "Set up a Mail Database", nullptr, Glyph::Database, 5, 9},
    {CmdExit, "E&xit Quillbox", "E&xit Quillbox", "Exit Quillbox", Glyph::Exit, -1, 0},
    {CmdImportWizard, "Import &Wizard", "Message import wizard", "Import wizard", Glyph::Import, 0, 1},
    {CmdScheduler, "Import &Scheduler", "Message import scheduler", "Import scheduler", Glyph::Schedule, 13, 28},
    {CmdDefineProcs, "Define Import Procedures", "Define import procedures", nullptr, Glyph::Schedule, 12, 35},
    {CmdScheduleTasks, "Schedule Tasks", "Set up scheduled tasks", nullptr, Glyph::Schedule, 13, 28},
    {CmdShowLog, "Show Task Log", "Show task log", nullptr, Glyph::Schedule, -1, 36},
    {CmdPersons, "&Browse Forum Members", "Show Forum Members browse list", "Browse Forum members", Glyph::Persons,
     -1, 8},
    {CmdMerge, "&Merge Duplicate Forum Members", "Show Merge Duplicate Forum Members starting window",
     "Merge duplicate Forum members", Glyph::Merge, -1, 10},
    {CmdBrowse, "&Browse Messages", "Show Messages browse list", nullptr, Glyph::Program, -1, 7},
    {CmdCount, "&Count Messages", "Show Count Messages starting window", "Count messages", Glyph::Count, -1, 11},
    {CmdPurge, "Purge &Deleted Messages", "Show Purge Deleted Messages starting window", "Purge Deleted Messages",
     Glyph::Trash, 15, 12},
    {CmdClassify, "Classify &Messages", "", "Classify Messages", Glyph::Classify, -1, 30},
    {CmdTopics, "Topics", "Edit Message Topics list", nullptr, Glyph::Classify, -1, 26},
    {CmdAttachTopics, "Attach Topics", "Associate messages with Topics", nullptr, Glyph::Classify, -1, 27},
    {CmdClassifySets, "Classify Message Sets", "Classify sets of messages", nullptr, Glyph::Classify, -1, 43},
    {CmdStatus, "Message Stat&us", "Set message status codes", nullptr, Glyph::Classify, -1, 44},
    {CmdThreadTree, "Show T&hread Tree", "Show thread tree", nullptr, Glyph::Folder, -1, 24},
    {CmdExportMsgs, "&Export Messages", "Export messages", "Export Messages", Glyph::ExportMsg, -1, 41},
    {CmdExportAddr, "&Export Address Book", "Export Address Book", "Export Address Book", Glyph::ExportAddr, -1,
     40},
    {CmdHelpContents, "&Contents", "View the Contents of the Help File", nullptr, Glyph::Program, -1, 30},
    {CmdHelpSearch, "&Search for Help On...", "Search for Help on a Subject", nullptr, Glyph::Program, -1, 30},
    {CmdHelpUse, "How to &Use Help", "How to Use Windows Help", nullptr, Glyph::Program, -1, 30},
    {CmdSupport, "Su&pport", "Where to find support on Quillbox", nullptr, Glyph::Program, -1, 30},
    {CmdAbout, "&About..", "About this program", nullptr, Glyph::Program, -1, 20},
    {CmdIndexWords, "Word &Indexing", "Build the word index of the active database", nullptr, Glyph::Count, -1, 45},
};

const CmdEntry& entryOf(Cmd c) { return kCmds[c]; }

// A status text without the access-key marks of a menu text ("E&xit" shows
// as "Exit"; "&&" stays one ampersand).
QString statusText(const char* text) {
  QString t = QString::fromLatin1(text);
  t.replace("&&", QString(QChar(0x1)));
  t.remove('&');
  t.replace(QChar(0x1), "&");
  return t;
}

// The shortcuts of a standard key on this platform, with `also` added when
// the platform's list lacks it (so that the keys users know always work).
QList<QKeySequence> keysOf(QKeySequence::StandardKey k, const QKeySequence& also) {
  QList<QKeySequence> keys = QKeySequence::keyBindings(k);
  if (!also.isEmpty() && !keys.contains(also)) keys.prepend(also);
  return keys;
}

// Texts of the persons and merge items by database kind: item text, item
// status, button status, button tip.
struct KindTexts {
  const char *persons, *personsStatus, *personsButtonStatus, *personsTip;
  const char *merge, *mergeStatus, *mergeButtonStatus, *mergeTip;
};
const KindTexts kKindTexts[] = {
    {"&Browse Forum Members", "Show Forum Members browse list", "Show Forum members browse list",
     "Browse Forum members", "&Merge Duplicate Forum Members", "Show Merge Duplicate Forum Members starting window",
     "Merge duplicate Forum members", "Merge duplicate Forum members"},
    {"&Browse Mail Partners", "Show mail partners browse list", "Show mail partners browse list",
     "Browse mail partners", "&Merge Duplicate Mail Partners", "Show Merge Duplicate Mail Partners starting window",
     "Merge duplicate mail partners", "Merge duplicate mail partners"},
    {"&Browse Newsgroup Participants", "Show Newsgroup Participants browse list",
     "Show Newsgroup participants browse list", "Browse Newsgroup participants",
     "&Merge Duplicate Newsgroup Participants", "Show Merge Duplicate Newsgroup Participants starting window",
     "Merge duplicate Newsgroup participants", "Merge duplicate Newsgroup participants"},
};

// Navigation and filter buttons of the toolbar.
struct NavEntry {
  const char* tip;
  Glyph glyph;
};
const NavEntry kNav[] = {{"First Page", Glyph::First},        {"Prior Page", Glyph::PriorPage},
                        {"Prior Record", Glyph::PriorRecord}, {"Next Record", Glyph::NextRecord},
                        {"Next Page", Glyph::NextPage},       {"Last Page", Glyph::Last},
                        {"", Glyph::PrevFilter},              {"", Glyph::Filter},
                        {"", Glyph::NextFilter}};

}  // namespace

// Commands whose windows this program does not have yet stay disabled.
bool MainFrame::available(Cmd c) const {
  switch (c) {
    case CmdCount: case CmdPurge:
    case CmdPersons: case CmdMerge: case CmdClassifySets: case CmdStatus: case CmdExportMsgs: case CmdExportAddr:
      return s_.ForumNumber != 0;
    case CmdThreadTree:
      return s_.ForumType != store::KindMail;
    default:
      return true;
  }
}

MainFrame::MainFrame(store::Session& s, int startResult) : s_(s), startResult_(startResult) {
  setWindowIcon(appIcon(Glyph::Program));
  mdi_ = new QMdiArea(this);
  mdi_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  mdi_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setCentralWidget(mdi_);
  buildMenus();
  buildToolbar();
  buildStatusBar();

  const bool restore = store::setting(s_, store::SetRestoreFrame) != 0;
  resize(1100, 720);
  if (restore) {
    store::Place p{};
    if (store::WindowPos2(s_, 3, PlaceFrame, p) && p[2] >= 300 && p[3] >= 200) setGeometry(p[0], p[1], p[2], p[3]);
  }
  // Larger layouts of the browses when the frame is large enough.
  s_.ScrRes = (width() >= 450 * 2 || height() >= 260 * 2) ? 1 : 0;
  setWindowTitle(QString::fromLatin1(" Quillbox Message Converter for Windows ") + kNoDatabase);
  applyBackground();
  datePicture_ = store::setting(s_, store::SetDateFormat);
  timePicture_ = store::setting(s_, store::SetTimeFormat);
  refreshClock();
  clock_ = new QTimer(this);
  connect(clock_, &QTimer::timeout, this, &MainFrame::refreshClock);
  clock_->start(1000);
  setNoDatabaseState();
  titlePart_ = kNoDatabase;
  // The active database is evaluated once the frame has its size.
  post(this, NoteReevaluate);
  semaFore(*this, scheduler::SemaDueCheck);  // the due-task check every 15 seconds
}

MainFrame::~MainFrame() {
  // The windows go before the registry they are listed in.
  delete mdi_;
  mdi_ = nullptr;
}

void MainFrame::applyBackground() {
  if (store::setting(s_, store::SetNoLogo) == 1) return;
  mdi_->setBackground(QBrush(backgroundPicture(mdi_->width(), mdi_->height())));
  mdi_->installEventFilter(this);
}

bool MainFrame::eventFilter(QObject* o, QEvent* e) {
  // The picture is drawn to the size of the frame's background.
  if (o == mdi_ && e->type() == QEvent::Resize && store::setting(s_, store::SetNoLogo) != 1)
    mdi_->setBackground(QBrush(backgroundPicture(mdi_->width(), mdi_->height())));
  return QMainWindow::eventFilter(o, e);
}

void MainFrame::buildMenus() {
  auto makeItem = [&](QMenu* menu, Cmd c) {
    const CmdEntry& sp = entryOf(c);
    QAction* a = menu->addAction(QString::fromLatin1(sp.text));
    a->setStatusTip(statusText(sp.status));
    cmds_[c].item = a;
    cmds_[c].reason = sp.reason;
    cmds_[c].code = sp.code;
    connect(a, &QAction::triggered, this, [this, c] { press(c); });
    return a;
  };
  QMenu* file = menuBar()->addMenu("&File");
  makeItem(file, CmdPreferences);
  makeItem(file, CmdChangeDb);
  makeItem(file, CmdMailSetup);
  file->addSeparator();
  makeItem(file, CmdExit)->setShortcuts(keysOf(QKeySequence::Quit, QKeySequence(Qt::CTRL | Qt::Key_Q)));

  QMenu* imp = menuBar()->addMenu("&Import");
  makeItem(imp, CmdImportWizard);
  schedulerMenu_ = imp->addMenu("Import &Scheduler");
  schedulerMenu_->menuAction()->setStatusTip("Message import scheduler");
  cmds_[CmdScheduler].item = schedulerMenu_->menuAction();
  cmds_[CmdScheduler].reason = 13;
  cmds_[CmdScheduler].code = 28;
  makeItem(schedulerMenu_, CmdDefineProcs);
  makeItem(schedulerMenu_, CmdScheduleTasks);
  makeItem(schedulerMenu_, CmdShowLog);

  QMenu* refine = menuBar()->addMenu("&Refine");
  makeItem(refine, CmdPersons);
  makeItem(refine, CmdMerge);
  makeItem(refine, CmdBrowse);
  QAction* find = refine->addAction("&Find in List", this, [this] { findInActive(); });
  find->setShortcuts(keysOf(QKeySequence::Find, QKeySequence(Qt::CTRL | Qt::Key_F)));
  find->setStatusTip("Type a date, number or name to find in the list");
  QAction* refresh = refine->addAction("&Refresh", this, [this] { refreshActive(); });
  refresh->setShortcuts(keysOf(QKeySequence::Refresh, QKeySequence(Qt::Key_F5)));
  refresh->setStatusTip("Read the list again (after another program changed the archive)");
  makeItem(refine, CmdCount);
  makeItem(refine, CmdPurge);
  classifyMenu_ = refine->addMenu("Classify &Messages");
  cmds_[CmdClassify].item = classifyMenu_->menuAction();
  makeItem(classifyMenu_, CmdTopics);
  makeItem(classifyMenu_, CmdAttachTopics);
  makeItem(classifyMenu_, CmdClassifySets);
  makeItem(refine, CmdStatus);
  makeItem(refine, CmdThreadTree);
  makeItem(refine, CmdIndexWords);

  QMenu* exp = menuBar()->addMenu("&Export");
  makeItem(exp, CmdExportMsgs);
  makeItem(exp, CmdExportAddr);

  QMenu* win = menuBar()->addMenu("&Window");
  win->menuAction()->setStatusTip("Create and Arrange Windows");
  QAction* closeWin = win->addAction("Cl&ose Window", mdi_, &QMdiArea::closeActiveSubWindow);
  closeWin->setShortcuts(keysOf(QKeySequence::Close, QKeySequence(Qt::CTRL | Qt::Key_W)));
  closeWin->setStatusTip("Close the active window");
  win->addAction("&Cascade", this, &MainFrame::cascade);
  win->addAction("&Tile", mdi_, &QMdiArea::tileSubWindows);
  win->addAction("Arrange &Icons", mdi_, [this] {
    for (auto* w : mdi_->subWindowList())
      if (w->isMinimized()) w->showMinimized();
  });
  win->addSeparator();
  const int fixedItems = static_cast<int>(win->actions().size());
  connect(win, &QMenu::aboutToShow, this, [this, win, fixedItems] {
    // The list of open windows follows the arrangement items.
    const auto acts = win->actions();
    for (int i = fixedItems; i < acts.size(); ++i) win->removeAction(acts[i]), acts[i]->deleteLater();
    int n = 1;
    for (QMdiSubWindow* sub : mdi_->subWindowList()) {
      QAction* a = win->addAction(QString("&%1 %2").arg(n++).arg(sub->windowTitle().trimmed()));
      a->setCheckable(true);
      a->setChecked(sub == mdi_->activeSubWindow());
      connect(a, &QAction::triggered, this, [this, sub] { mdi_->setActiveSubWindow(sub); });
    }
  });

  QMenu* help = menuBar()->addMenu("&Help");
  makeItem(help, CmdHelpContents)->setShortcuts(keysOf(QKeySequence::HelpContents, QKeySequence(Qt::Key_F1)));
  makeItem(help, CmdHelpSearch);
  makeItem(help, CmdHelpUse);
  makeItem(help, CmdSupport);
  help->addSeparator();
  makeItem(help, CmdAbout);
}

void MainFrame::buildToolbar() {
  toolbar_ = addToolBar("Toolbar");
  toolbar_->setObjectName("Toolbar");
  toolbar_->setIconSize(QSize(22, 22));
  auto button = [&](Cmd c) {
    const CmdEntry& sp = entryOf(c);
    QAction* a = toolbar_->addAction(appIcon(sp.glyph), QString::fromLatin1(sp.tip));
    a->setToolTip(QString::fromLatin1(sp.tip));
    a->setStatusTip(statusText(*sp.status ? sp.status : sp.tip));
    cmds_[c].button = a;
    if (c == CmdScheduler) {
      connect(a, &QAction::triggered, this, [this] { press(CmdScheduleTasks); });
    } else if (c == CmdClassify) {
      connect(a, &QAction::triggered, this, [this] {
        QMenu m;
        m.addAction("Topics", this, [this] { press(CmdTopics); });
        m.addAction("Attach Topics", this, [this] { press(CmdAttachTopics); });
        m.addAction("Classify Message sets", this, [this] { press(CmdClassifySets); });
        m.exec(QCursor::pos());
      });
    } else {
      connect(a, &QAction::triggered, this, [this, c] { press(c); });
    }
  };
  for (Cmd c : {CmdPreferences, CmdChangeDb, CmdImportWizard, CmdScheduler, CmdPersons, CmdMerge, CmdCount,
                CmdPurge, CmdClassify, CmdExportMsgs, CmdExportAddr})
    button(c);
  toolbar_->addSeparator();
  for (int i = 0; i < 9; ++i) {
    if (i == 6) toolbar_->addSeparator();
    QAction* a = toolbar_->addAction(appIcon(kNav[i].glyph), QString::fromLatin1(kNav[i].tip));
    a->setToolTip(QString::fromLatin1(kNav[i].tip));
    a->setStatusTip(QString::fromLatin1(kNav[i].tip));
    const int control = i + 1;
    connect(a, &QAction::triggered, this, [this, control] { pressNavigation(control); });
    a->setEnabled(false);
    nav_.append(a);
  }
  toolbar_->addSeparator();
  button(CmdExit);
}

void MainFrame::buildStatusBar() {
  for (int z : {1, 2, 3, 4}) {
    zone_[z] = new QLabel(this);
    zone_[z]->setMinimumWidth(z == 1 ? 150 : z == 2 ? 120 : 90);
    zone_[z]->setAlignment(Qt::AlignCenter);
    statusBar()->addPermanentWidget(zone_[z]);
  }
}

void MainFrame::refreshClock() {
  const int32_t day = text::today(), now = text::clockNow();
  QString date, time;
  if (datePicture_ == 17)
    date = QLocale().toString(QDate::currentDate(), QLocale::ShortFormat);
  else if (datePicture_ == 2 || datePicture_ == 6 || datePicture_ == 10)
    date = QString::fromStdString(store::formatDateAs(datePicture_, day));
  else
    date = zone_[3]->text();
  if (timePicture_ == 7)
    time = QLocale().toString(QTime::currentTime(), QLocale::ShortFormat);
  else if (timePicture_ == 1 || timePicture_ == 3)
    time = QString::fromStdString(store::formatTimeAs(timePicture_, now));
  else
    time = zone_[4]->text();
  zone_[3]->setText(date);
  zone_[4]->setText(time);
}

QString MainFrame::statusZone(int zone) const {
  return zone >= 1 && zone <= 4 && zone_[zone] ? zone_[zone]->text() : QString();
}

void MainFrame::setRowZone(const QString& text) { zone_[1]->setText(text); }

void MainFrame::refreshActive() {
  if (ToolWindow* w = activeChild()) w->refreshView();
  else evaluateDatabase();
}

void MainFrame::findInActive() {
  ToolWindow* w = activeChild();
  // From the thread tree the browse beside it is meant.
  if (!w || w->windowName() == "ThreadTree") w = qobject_cast<ToolWindow*>(registry_.get("BrowseMsgNmbr"));
  if (!w) w = qobject_cast<ToolWindow*>(registry_.get("BrowseMail"));
  if (w) w->findInView();
}

void MainFrame::cascade() {
  mdi_->cascadeSubWindows();
  // Cascading stacks the windows in activation order; the thread tree
  // (smaller than the browse) comes back to the front so that it is seen.
  if (QWidget* tree = registry_.get("ThreadTree"))
    if (auto* sub = qobject_cast<QMdiSubWindow*>(tree->parentWidget())) sub->raise();
}

QString MainFrame::commandText(Cmd c) const { return cmds_[c].item ? cmds_[c].item->text() : QString(); }

bool MainFrame::isEnabled(Cmd c) const { return cmds_[c].item && cmds_[c].item->isEnabled(); }
bool MainFrame::isButtonEnabled(Cmd c) const { return cmds_[c].button && cmds_[c].button->isEnabled(); }

void MainFrame::setCmdEnabled(Cmd c, bool on) {
  if (cmds_[c].item) cmds_[c].item->setEnabled(on && available(c));
  setButtonEnabled(c, on);
}

void MainFrame::setButtonEnabled(Cmd c, bool on) {
  if (cmds_[c].button) cmds_[c].button->setEnabled(on && available(c));
}

void MainFrame::enableAll() {
  exclusive_ = false;
  for (int c = 0; c < CmdCount_; ++c) setCmdEnabled(Cmd(c), true);
}

void MainFrame::disableForExclusive() {
  exclusive_ = true;
  for (int c = CmdPreferences; c <= CmdExportAddr; ++c) setCmdEnabled(Cmd(c), false);
  setCmdEnabled(CmdExit, true);
  for (Cmd c : {CmdScheduler, CmdDefineProcs, CmdScheduleTasks, CmdShowLog}) setCmdEnabled(c, schedulerMenus_);
}

void MainFrame::setNoDatabaseState() {
  for (int c = CmdChangeDb; c <= CmdExportAddr; ++c) setCmdEnabled(Cmd(c), false);
  for (Cmd c : {CmdImportWizard, CmdScheduler, CmdDefineProcs, CmdScheduleTasks, CmdShowLog, CmdMailSetup, CmdExit,
                CmdPreferences, CmdHelpContents, CmdHelpSearch, CmdHelpUse, CmdSupport, CmdAbout})
    setCmdEnabled(c, true);
  setNavigationEnabled(false);
  setFilterTexts({});
}

void MainFrame::setKindTexts() {
  int k = s_.ForumType == store::KindMail ? 1 : s_.ForumType == store::KindNewsgroup ? 2 : 0;
  const KindTexts& t = kKindTexts[k];
  cmds_[CmdPersons].item->setText(t.persons);
  cmds_[CmdPersons].item->setStatusTip(t.personsStatus);
  cmds_[CmdPersons].button->setStatusTip(t.personsButtonStatus);
  cmds_[CmdPersons].button->setToolTip(t.personsTip);
  cmds_[CmdMerge].item->setText(t.merge);
  cmds_[CmdMerge].item->setStatusTip(t.mergeStatus);
  cmds_[CmdMerge].button->setStatusTip(t.mergeButtonStatus);
  cmds_[CmdMerge].button->setToolTip(t.mergeTip);
}

void MainFrame::updateTitle() { setWindowTitle(QString::fromLatin1(kTitle) + titlePart_); }

void MainFrame::evaluateDatabase() {
  if (s_.ForumNumber == 0 && !s_.suppressed()) store::chooseStartupDatabase(s_);
  if (s_.ForumNumber == 0) {
    noDatabase_ = true;
    setNoDatabaseState();
    titlePart_ = kNoDatabase;
    zone_[2]->clear();
    zone_[1]->clear();
    if (startResult_ == StartFirst) {
      startResult_ = StartStop;
      post(this, NoteStartupWizard);
    }
  } else {
    noDatabase_ = false;
    titlePart_ = "[" + shown(s_.Description) + "]";
    store::rememberDatabase(s_);
    zone_[2]->setText(QString::fromLatin1(store::kindName(s_.ForumType)));
    setKindTexts();
    enableAll();
    runCode(7);
  }
  updateTitle();
}

ToolWindow* MainFrame::activeChild() const {
  QMdiSubWindow* sub = mdi_->activeSubWindow();
  if (!sub) {
    // The browse takes the buttons when no window is active.
    auto list = mdi_->subWindowList(QMdiArea::ActivationHistoryOrder);
    if (list.isEmpty()) return nullptr;
    sub = list.last();
  }
  return qobject_cast<ToolWindow*>(sub->widget());
}

void MainFrame::pressNavigation(int control) {
  ToolWindow* w = activeChild();
  // The thread tree passes its keys on to the browse.
  if (w && w->windowName() == "ThreadTree") w = qobject_cast<ToolWindow*>(registry_.get("BrowseMsgNmbr"));
  if (w) w->navigate(control);
}

void MainFrame::setFilterTexts(const QStringList& texts) {
  for (int i = 0; i < 3; ++i) {
    QAction* a = nav_[6 + i];
    const QString t = i < texts.size() ? texts[i] : QString();
    // Without a filter view the buttons still say what they are for.
    static const char* const idle[] = {"Previous filter (in the Thread, Section, Sender or Receiver view)",
                                       "Filter by the highlighted row (in the Thread, Section, Sender or Receiver view)",
                                       "Next filter (in the Thread, Section, Sender or Receiver view)"};
    const QString tip = t.isEmpty() ? QString::fromLatin1(idle[i]) : t;
    a->setToolTip(tip);
    a->setStatusTip(tip);
    a->setText(tip);
    a->setEnabled(!t.isEmpty());
  }
}

void MainFrame::setNavigationEnabled(bool on) {
  for (int i = 0; i < 6; ++i) nav_[i]->setEnabled(on);
}

void MainFrame::addChild(ToolWindow* w, QSize size) {
  QMdiSubWindow* sub = mdi_->addSubWindow(w);
  sub->setAttribute(Qt::WA_DeleteOnClose);
  sub->setWindowIcon(appIcon(Glyph::Program));
  sub->resize(size);
  w->restorePlace();
  sub->show();
  mdi_->setActiveSubWindow(sub);
}

ToolWindow* MainFrame::openWindow(const QString& name) {
  if (name == "BrowseMsgNmbr" || name == "BrowseMail") {
    if (s_.ForumNumber == 0) return nullptr;
    return BrowseWindow::open(*this);
  }
  if (name == "ThreadTree") return ThreadTreeWindow::open(*this);
  if (name == "ChangeForum") return ChangeForumWindow::open(*this);
  if (name == "BrowseBox") return MailDatabasesWindow::open(*this);
  if (name == "About") return AboutWindow::open(*this);
  if (name == "Help") return HelpWindow::open(*this);
  if (name == "AddressExport") return AddressExportWindow::open(*this);
  if (name == "BrowseTopics") return s_.ForumNumber ? CodeListWindow::open(*this) : nullptr;
  if (name == "Classify") return s_.ForumNumber ? ClassifyWindow::open(*this) : nullptr;
  if (name == "ImportMeny") return ImportWizard::open(*this);
  if (name == "UserPanel") return PreferencesWindow::open(*this);
  if (name == "IndexWords") return s_.ForumNumber ? IndexWindow::open(*this) : nullptr;
  if (name == "PurgeMess") return s_.ForumNumber ? PurgeWindow::open(*this) : nullptr;
  if (name == "Duplicates") return s_.ForumNumber ? MergeWindow::open(*this) : nullptr;
  if (name == "BrowsePerson") return s_.ForumNumber ? PersonsWindow::open(*this) : nullptr;
  if (name == "BrowseBatch") return BatchListWindow::open(*this);
  if (name == "BrowseTasks") return TaskListWindow::open(*this);
  if (name == "TaskLog") return TaskLogWindow::open(*this);
  return nullptr;  // a window of a later part of the program
}

QWidget* MainFrame::openOrRaise(const QString& name) {
  if (QWidget* w = registry_.get(name)) {
    post(w, NoteToFront);
    return w;
  }
  QApplication::setOverrideCursor(Qt::WaitCursor);
  ToolWindow* w = openWindow(name);
  if (w) applyDisplayLook(s_, w);
  QApplication::restoreOverrideCursor();
  return w;
}

void MainFrame::runCode(int code) {
  const QString browse = s_.ForumType == store::KindMail ? "BrowseMail" : "BrowseMsgNmbr";
  switch (code) {
    case 2:
      post(this, NoteDisableButtons);
      openOrRaise("ChangeForum");
      break;
    case 1: openOrRaise("ImportMeny"); break;
    case 3:
      post(this, NoteDisableButtons);
      openOrRaise("UserPanel");
      break;
    case 7: openOrRaise(browse); break;
    case 8: openOrRaise("BrowsePerson"); break;
    case 9: openOrRaise("BrowseBox"); break;
    case 10: openOrRaise("Duplicates"); break;
    case 20: openOrRaise("About"); break;
    case 24:
      if (s_.ForumType != store::KindMail) post(registry_.get("BrowseMsgNmbr"), NoteShowThreadTree);
      break;
    case 26: openOrRaise("BrowseTopics"); break;
    case 27: post(registry_.get(browse), NoteAttachTopics); break;
    case 40: openOrRaise("AddressExport"); break;
    case 45: openOrRaise("IndexWords"); break;
    case 11:
    case 12:
      s_.GlobalRequest = code == 12 ? 1 : 2;
      openOrRaise("PurgeMess");
      break;
    case 28: semaFore(*this, scheduler::SemaTaskList); break;
    case 35: semaFore(*this, scheduler::SemaBatchList); break;
    case 36: semaFore(*this, scheduler::SemaTaskLog); break;
    case 41: post(registry_.get(browse), NoteExport); break;
    case 43: post(registry_.get(browse), NoteClassifySets); break;
    case 44: post(registry_.get(browse), NoteSetStatus); break;
    default: break;  // 29: the scheduler submenu itself; 30: nothing
  }
}

bool MainFrame::closeToolWindows(int reason) {
  if (reason == 2 || reason == 9 || reason >= 17) return false;
  if (reason == 1) {
    if (s_.IndexingInProgress) return false;
    for (const char* g : {kFindGroup, kImportGroup, kNotToolsGroup})
      if (registry_.query(g)) {
        registry_.destroyGroup(g);
        return true;
      }
    return false;
  }
  if (reason == 14 && s_.IndexingInProgress) return false;
  for (const char* g : {kFindGroup, kNotToolsGroup})
    if (registry_.query(g)) {
      registry_.destroyGroup(g);
      return true;
    }
  store::closeArchiveFiles(s_);
  if (reason == 6 && s_.ForumNumber) {
    // A removed database: its directory goes once no store file is left.
    const std::string dir = s_.databaseDir();
    if (!store::DOSFunc(s_, 5, dir, "IDX*.*")) {
      std::error_code ec;
      std::filesystem::remove(dir, ec);
    }
    s_.clearDatabase();
  }
  return false;
}

void MainFrame::press(Cmd c) {
  const Command& cmd = cmds_[c];
  if (c == CmdExit) {
    post(this, NoteDeferredPress, c);
    return;
  }
  if (c == CmdHelpContents || c == CmdHelpSearch || c == CmdHelpUse) {
    showHelp(c == CmdHelpUse ? "~How_to_use_help" : "~What_is_Quillbox_");
    return;
  }
  if (c == CmdSupport) {
    showHelp("~Support_and_future_updates");
    return;
  }
  if (cmd.reason >= 0) {
    if (s_.DoTask == 1) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    post(this, NoteDeferredPress, c);
    return;
  }
  if ((c == CmdMerge || c == CmdCount) && s_.DoTask == 1) return;
  runCode(cmd.code);
}

void MainFrame::deferredPress(Cmd c) {
  if (c == CmdExit) return exitProcedure();
  const Command& cmd = cmds_[c];
  const bool schedulerOpen = registry_.get("BrowseBatch") || registry_.get("BrowseTasks");
  const bool scheduler = c == CmdScheduleTasks || c == CmdDefineProcs;
  if (!(scheduler && schedulerOpen)) {
    if (closeToolWindows(cmd.reason)) {
      post(this, NoteDeferredPress, c);  // retry once the windows are gone
      return;
    }
    if (scheduler) schedulerMenus_ = true;
    disableForExclusive();
  }
  if (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
  if (c == CmdImportWizard || scheduler) {
    titlePart_ = kNoDatabase;
    updateTitle();
  }
  runCode(cmd.code);
}

void MainFrame::exitProcedure() {
  if (closeToolWindows(1)) {
    post(this, NoteDeferredPress, CmdExit);
    return;
  }
  closing_ = true;
  close();
}

void MainFrame::showHelp(const QString& topic) {
  auto* w = qobject_cast<HelpWindow*>(openOrRaise("Help"));
  if (w) w->showTopic(topic);
}

bool MainFrame::event(QEvent* e) {
  if (e->type() == Notification::eventType()) {
    auto* n = static_cast<Notification*>(e);
    notification(n->code(), n->arg());
    return true;
  }
  return QMainWindow::event(e);
}

void MainFrame::notification(int code, int arg) {
  switch (code) {
    case NoteDeferredPress: deferredPress(Cmd(arg)); break;
    case NoteDisableButtons:
      for (int c = 0; c < CmdCount_; ++c) setButtonEnabled(Cmd(c), false);
      break;
    case NoteEnableAll:
    case NoteEnableAll2:
      if (s_.ForumNumber) enableAll(); else setNoDatabaseState();
      break;
    case NoteDeactivate:
      s_.ForumNumber = 0;
      s_.clearDatabase();
      evaluateDatabase();
      break;
    case NoteReevaluate:
    case NoteAdvanceTasks:
      evaluateDatabase();
      break;
    case NoteSchedulerClosed:
    case NoteSchedulerClosed2:
      schedulerMenus_ = false;
      evaluateDatabase();
      break;
    case NoteDatabaseChanged:
      if (exclusive_) disableForExclusive();
      post(this, NoteDatabaseChanged2);
      break;
    case NoteDatabaseChanged2:
      if (closeToolWindows(6)) {
        post(this, NoteDatabaseChanged);
        return;
      }
      enableAll();
      evaluateDatabase();
      break;
    case NoteTasksFinished:
      s_.DoTask = 0;
      if (store::setting(s_, store::SetExitAfterTasks) == 1)
        exitProcedure();
      else
        post(this, NoteDeactivate);
      break;
    case NoteStartupWizard:
      StartupWizard::run(*this);
      break;
    case NotePressImportWizard: press(CmdImportWizard); break;
    default: break;  // 1346 and the scheduler's codes: nothing here
  }
}

void MainFrame::closeEvent(QCloseEvent* e) {
  if (s_.IndexingInProgress) {
    s_.tell("You May NOT Exit until Indexing Is Done.\r\nThis is to Avoid Corruption.", "Exit Not Allowed");
    e->ignore();
    return;
  }
  if (!closing_) {
    e->ignore();
    exitProcedure();
    return;
  }
  clock_->stop();
  store::closeArchiveFiles(s_);
  if (!isMinimized()) {
    store::Place p{x(), y(), width(), height()};
    store::WindowPos2(s_, 2, PlaceFrame, p);
  }
  store::Place none{};
  store::WindowPos(s_, 4, 0, none);
  store::WindowPos2(s_, 4, 0, none);
  store::ListCol(s_, 4, 0, none);
  e->accept();
  emit closedDown();
}

}  // namespace qb::app
