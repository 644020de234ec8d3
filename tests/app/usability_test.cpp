// What users of the desktop program rely on: the start-up wizard keeps what
// was typed, located rows are in sight, filters can be seen and taken back,
// keys and shortcuts, the columns of the views, counts that follow other
// writers, status texts, the database windows' dialogs, the header block of
// the message and the place of the highlighted row.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTabBar>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QWizard>

#include "app/app_archive.h"
#include "app/browse_window.h"
#include "app/database_windows.h"
#include "app/main_frame.h"
#include "app/notifications.h"
#include "app/startup_wizard.h"
#include "app/thread_tree_window.h"
#include "app/tool_window.h"
#include "app/window_registry.h"
#include "archive/browse/browse_databases.h"
#include "archive/config.h"
#include "archive/session.h"
#include "text/datetime.h"

using qb::text::dayNumber;
using qb::text::timeValue;

using namespace qb::store;
using namespace qb::app;

namespace {

// Runs `during` on the modal window that `open` shows, then closes it
// (Escape); false when no modal window came up.
bool onModal(const std::function<void()>& open, const std::function<void(QWidget*)>& during) {
  bool seen = false;
  QTimer::singleShot(0, [&] {
    if (QWidget* w = QApplication::activeModalWidget()) {
      seen = true;
      during(w);
      if (auto* d = qobject_cast<QDialog*>(w)) d->reject();
    }
  });
  open();
  qb::test::pumpEvents();
  return seen;
}

QAction* menuAction(MainFrame& f, const QString& text) {
  for (QAction* a : f.findChildren<QAction*>())
    if (a->text() == text) return a;
  return nullptr;
}

struct Usability : ::testing::Test {
  qb::test::TempArchive a;
  std::unique_ptr<MainFrame> frame;
  void SetUp() override {
    qb::test::ensureApplication();
    StartupSettings(a.session(), false);
  }
  void TearDown() override { qb::test::closeFrame(frame); }
  Session& s() { return a.session(); }
  // Threads "Cats" (1001 <- 1002 <- 1004) and "Dogs" (1003 <- 1005) in
  // section 03 "Animals"; Smith wrote 1001, 1004, 1005, Jones 1002, 1003.
  void forum() {
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
    db.message(1004, 900, 1, 1002, 501, 503, d + 3, "Re re cats.");
    db.message(1005, 900, 2, 1003, 501, 503, d + 4, "Re dogs.");
  }
  void mailbox() {
    a.addDatabase(KindMail, "Jane's mail");
    qb::test::DatabaseBuilder db(a);
    db.person(601, "Smith", "Jane", "jane@example.org", 2, 1);
    db.person(602, "Brown", "Bob", "bob@example.org", 1, 1);
    db.person(603, "Green", "Ann", "ann@example.org", 0, 1);
    const int32_t d = dayNumber(2003, 2, 1);
    db.mail(7001, d, timeValue(9, 0), "Lunch", 602, 601, 602, "Lunch at noon?");
    db.mail(7002, d + 1, timeValue(10, 0), "Budget", 601, 603, 603, "Numbers attached.");
    db.mail(7003, d + 2, timeValue(11, 0), "Re: Lunch", 601, 602, 602, "Yes.");
    db.copy(7002, "Boss", "boss@example.org");
  }
  void open(bool shown = false) {
    s().clearDatabase();
    frame = std::make_unique<MainFrame>(s(), StartNormal);
    if (shown) {
      frame->resize(1000, 700);
      frame->show();
      EXPECT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
      frame->activateWindow();
      EXPECT_TRUE(QTest::qWaitForWindowActive(frame.get()));
    }
    qb::test::pumpEvents();
  }
  BrowseWindow* browse() {
    auto* b = qobject_cast<BrowseWindow*>(frame->registry().get("BrowseMsgNmbr"));
    return b ? b : qobject_cast<BrowseWindow*>(frame->registry().get("BrowseMail"));
  }
  ThreadTreeWindow* tree() { return qobject_cast<ThreadTreeWindow*>(frame->registry().get("ThreadTree")); }
  QLineEdit* entry() {
    for (QLineEdit* e : browse()->findChildren<QLineEdit*>())
      if (!e->isReadOnly()) return e;
    return nullptr;
  }
  QToolButton* buttonTipped(const QString& tip) {
    for (QToolButton* b : browse()->findChildren<QToolButton*>())
      if (b->toolTip() == tip) return b;
    return nullptr;
  }
  bool rowInSight() {
    QTableView* l = browse()->list();
    const QRect r = l->visualRect(l->currentIndex());
    return r.isValid() && l->viewport()->rect().contains(r.center()) &&
           l->selectionModel()->isRowSelected(browse()->currentRow(), {});
  }
};

}  // namespace

// ---- the start-up wizard --------------------------------------------------------

TEST_F(Usability, TheWizardKeepsAHalfFilledMailPageOpenWithItsInput) {
  open();
  StartupWizard w(*frame);
  w.show();
  w.next();  // the mail database page
  w.nameField()->setText("Robin Quayle");
  EXPECT_FALSE(w.validateCurrentPage());  // no address: the wizard stays
  EXPECT_TRUE(w.isVisible());
  EXPECT_EQ(w.nameField()->text(), "Robin Quayle");
  EXPECT_TRUE(w.problem().contains("address"));
  EXPECT_EQ(w.created(), 0u);
  EXPECT_TRUE(databaseRows(s(), DatabaseOrder::ByName).empty());
  w.nameField()->clear();
  w.addressField()->setText("robin@example.com");
  EXPECT_FALSE(w.validateCurrentPage());  // an address without a name
  EXPECT_TRUE(w.problem().contains("name"));
  EXPECT_EQ(w.addressField()->text(), "robin@example.com");
  w.nameField()->setText("Robin Quayle");
  EXPECT_TRUE(w.validateCurrentPage());
  EXPECT_NE(w.created(), 0u);
  const auto rows = databaseRows(s(), DatabaseOrder::ByName);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].DESCRIPTION, "Robin Quayle");
  EXPECT_TRUE(w.validateCurrentPage());  // finishing again creates no second one
  EXPECT_EQ(databaseRows(s(), DatabaseOrder::ByName).size(), 1u);

  StartupWizard empty(*frame);
  empty.next();
  EXPECT_TRUE(empty.validateCurrentPage());  // both fields empty: nothing to create
  EXPECT_EQ(empty.created(), 0u);
}

// ---- located rows are in sight ----------------------------------------------------

TEST_F(Usability, ALocatedOrChosenRowIsScrolledIntoSightAndHighlighted) {
  a.addDatabase(KindForum, "Many");
  {
    qb::test::DatabaseBuilder db(a);
    db.section(900, 1, "General");
    db.person(501, "Smith", "Jane", "jane@example.org", 600, 0);
    db.person(502, "Jones", "Tom", "tom@example.org", 0, 600);
    for (uint32_t t = 1; t <= 6; ++t) db.thread(t, 900, "T" + std::to_string(t), 0, 100);
    db.manyMessages(600, 900, 501, 502);
  }
  open(true);
  BrowseWindow* b = browse();
  ASSERT_NE(b, nullptr);
  QTableView* l = b->list();
  // Scroll down through several pages first.
  for (int i = 0; i < 6; ++i) {
    l->verticalScrollBar()->setValue(l->verticalScrollBar()->maximum());
    qb::test::pumpEvents();
  }
  // Messages 100 to 149 are of 1990-01-03; newest first, 1990-01-03 is far up.
  const QDate day(1990, 1, 3);
  b->locate(day.toString("yyyy-MM-dd"));
  qb::test::pumpEvents();
  ASSERT_NE(b->current(), nullptr);
  EXPECT_EQ(std::get<MsgRow>(b->current()->data).DATE, dayNumber(1990, 1, 3));
  EXPECT_TRUE(rowInSight());
  // A message chosen in the thread tree: the browse goes there and shows it.
  ASSERT_NE(tree(), nullptr);
  l->verticalScrollBar()->setValue(l->verticalScrollBar()->maximum());
  qb::test::pumpEvents();
  tree()->activate(510);
  qb::test::pumpEvents();
  ASSERT_NE(b->current(), nullptr);
  EXPECT_EQ(b->current()->id(), 510u);
  EXPECT_TRUE(rowInSight());
  // Garbage in the date field is answered, not only beeped at.
  b->locate("next tuesday");
  EXPECT_TRUE(frame->statusBar()->currentMessage().contains("not a date"));
  EXPECT_EQ(b->current()->id(), 510u);
}

// ---- filters ------------------------------------------------------------------------

TEST_F(Usability, ThePickListOpensAtTheCurrentFilter) {
  forum();
  open();
  BrowseWindow* b = browse();
  b->setView(4);  // by sender
  b->setCurrentRow(b->model().rowCount() - 1);
  b->filterFromCurrent();
  ASSERT_TRUE(b->filterSet());
  const QString name = entry()->text();
  ASSERT_FALSE(name.isEmpty());
  QToolButton* look = buttonTipped("Look up sender");
  ASSERT_NE(look, nullptr);
  int count = 0;
  QString highlighted;
  EXPECT_TRUE(onModal([&] { look->click(); }, [&](QWidget* w) {
    auto* list = w->findChild<QListWidget*>("PickList");
    if (!list) return;
    count = list->count();
    if (list->currentItem()) highlighted = list->currentItem()->text();
  }));
  EXPECT_GT(count, 0);
  EXPECT_TRUE(highlighted.startsWith(name.section(' ', 0, 0))) << highlighted.toStdString();
}

TEST_F(Usability, AFilterIsVisibleAndIsTakenBackWithEscOrAnEmptyEntry) {
  forum();
  open();
  BrowseWindow* b = browse();
  auto* tabs = b->findChild<QTabBar*>();
  b->setView(4);
  EXPECT_TRUE(b->scopeText().contains("All 5 messages"));
  b->setCurrentRow(0);
  b->filterFromCurrent();
  ASSERT_TRUE(b->filterSet());
  const int filtered = b->model().rowCount();
  ASSERT_LT(filtered, 5);
  EXPECT_TRUE(b->scopeText().contains(QString("%1 of 5").arg(filtered))) << b->scopeText().toStdString();
  EXPECT_TRUE(b->scopeText().contains(entry()->text()));
  // Another tab and back: the filter is still there, and the tab says so.
  b->setView(1);
  EXPECT_FALSE(tabs->tabIcon(3).isNull());
  EXPECT_TRUE(tabs->tabToolTip(3).contains("filtered"));
  EXPECT_TRUE(tabs->tabIcon(0).isNull());
  b->setView(4);
  EXPECT_TRUE(b->filterSet());
  // Esc in the entry takes it back.
  QTest::keyClick(entry(), Qt::Key_Escape);
  EXPECT_FALSE(b->filterSet());
  EXPECT_EQ(b->model().rowCount(), 5);
  EXPECT_TRUE(tabs->tabIcon(3).isNull());
  // So does emptying the entry and pressing Enter, with no pick list.
  b->setCurrentRow(0);
  b->filterFromCurrent();
  ASSERT_TRUE(b->filterSet());
  entry()->clear();
  EXPECT_FALSE(onModal([&] { QTest::keyClick(entry(), Qt::Key_Return); }, [](QWidget*) {}));
  EXPECT_FALSE(b->filterSet());
  EXPECT_EQ(b->model().rowCount(), 5);
  // And the Clear button.
  b->filterFromCurrent();
  QToolButton* clear = nullptr;
  for (QToolButton* t : b->findChildren<QToolButton*>())
    if (t->text() == "Clear") clear = t;
  ASSERT_NE(clear, nullptr);
  EXPECT_TRUE(clear->isEnabled());
  clear->click();
  EXPECT_FALSE(b->filterSet());
  EXPECT_FALSE(clear->isEnabled());
}

// ---- keys and shortcuts -----------------------------------------------------------------

TEST_F(Usability, HomeEndTabAndTheShortcutsOfTheMenus) {
  forum();
  open(true);
  BrowseWindow* b = browse();
  b->setCurrentRow(2);
  QTest::keyClick(b->list(), Qt::Key_End);
  EXPECT_EQ(b->currentRow(), b->model().rowCount() - 1);
  EXPECT_EQ(b->current()->id(), 1001u);
  QTest::keyClick(b->list(), Qt::Key_Home);
  EXPECT_EQ(b->currentRow(), 0);
  EXPECT_FALSE(b->list()->tabKeyNavigation());

  const std::pair<const char*, QKeySequence> keys[] = {
      {"E&xit Quillbox", QKeySequence(Qt::CTRL | Qt::Key_Q)}, {"&Contents", QKeySequence(Qt::Key_F1)},
      {"&Find in List", QKeySequence(Qt::CTRL | Qt::Key_F)},  {"&Refresh", QKeySequence(Qt::Key_F5)},
      {"Cl&ose Window", QKeySequence(Qt::CTRL | Qt::Key_W)}};
  for (const auto& [text, key] : keys) {
    QAction* act = menuAction(*frame, text);
    ASSERT_NE(act, nullptr) << text;
    EXPECT_TRUE(act->shortcuts().contains(key)) << text;
    EXPECT_TRUE(act->shortcut().toString(QKeySequence::NativeText).size() > 0) << text;  // shown in the menu
  }
  // Ctrl+F puts the focus into the entry; Ctrl+W closes the active window.
  menuAction(*frame, "&Find in List")->trigger();
  qb::test::pumpEvents();
  EXPECT_EQ(QApplication::focusWidget(), entry());
  const int windows = static_cast<int>(frame->mdiArea()->subWindowList().size());
  frame->mdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(tree()->parentWidget()));
  menuAction(*frame, "Cl&ose Window")->trigger();
  qb::test::pumpEvents();
  EXPECT_EQ(frame->mdiArea()->subWindowList().size(), windows - 1);
  EXPECT_EQ(tree(), nullptr);
}

// ---- columns --------------------------------------------------------------------------------

TEST_F(Usability, TheSortColumnIsShownAndAHeaderClickChoosesItsView) {
  forum();
  open();
  BrowseWindow* b = browse();
  QHeaderView* h = b->list()->horizontalHeader();
  const int numberCol = b->model().columnCount() - 1;
  EXPECT_EQ(b->model().headerData(numberCol, Qt::Horizontal, Qt::DisplayRole).toString(), "Msg No");
  EXPECT_TRUE(b->list()->isColumnHidden(numberCol));
  EXPECT_EQ(h->sortIndicatorSection(), 0);  // by date
  b->setView(6);
  EXPECT_FALSE(b->list()->isColumnHidden(numberCol));
  EXPECT_EQ(h->visualIndex(numberCol), 0);  // in front
  EXPECT_EQ(b->sortColumn(), numberCol);
  EXPECT_EQ(h->sortIndicatorSection(), numberCol);
  EXPECT_EQ(b->model().data(b->model().index(0, numberCol), Qt::DisplayRole).toString(), "1005");
  // A click on "Sender" shows the sender view.
  emit h->sectionClicked(2);
  EXPECT_EQ(b->view(), 4);
  EXPECT_TRUE(b->list()->isColumnHidden(numberCol));
  EXPECT_EQ(h->sortIndicatorSection(), 2);
  emit h->sectionClicked(numberCol);
  EXPECT_EQ(b->view(), 6);
}

TEST_F(Usability, TheMailBrowseShowsThePartnerColumnAndReadableWidths) {
  mailbox();
  open();
  BrowseWindow* b = browse();
  ASSERT_TRUE(b->isMail());
  QTableView* l = b->list();
  const int partner = b->model().columnCount() - 1;
  EXPECT_EQ(b->model().headerData(partner, Qt::Horizontal, Qt::DisplayRole).toString(), "Partner");
  EXPECT_TRUE(l->isColumnHidden(partner));
  b->setView(3);
  EXPECT_FALSE(l->isColumnHidden(partner));
  EXPECT_EQ(b->model().data(b->model().index(0, partner), Qt::DisplayRole).toString(), "Brown,Bob");
  // The subject is the wide column, the time a narrow one.
  EXPECT_GT(l->columnWidth(2), 2 * l->columnWidth(1));
  EXPECT_GE(l->columnWidth(1), l->fontMetrics().horizontalAdvance(b->model().data(b->model().index(0, 1), Qt::DisplayRole).toString()));
  EXPECT_TRUE(l->horizontalHeader()->stretchLastSection());
  // The subject tab's entry is labelled and finds a subject.
  b->setView(2);
  auto labels = b->findChildren<QLabel*>();
  EXPECT_TRUE(std::any_of(labels.begin(), labels.end(), [](QLabel* x) { return x->text() == "Find Subject"; }));
  ASSERT_TRUE(entry()->isEnabled());
  b->locate("re:");
  EXPECT_EQ(b->current()->id(), 7003u);
}

// ---- counts follow the archive ----------------------------------------------------------------

TEST_F(Usability, TheCountFollowsMessagesAddedByAnotherWriter) {
  forum();
  open();
  BrowseWindow* b = browse();
  EXPECT_TRUE(b->windowTitle().endsWith("Messages [5]"));
  {
    qb::test::DatabaseBuilder db(a);
    db.message(1006, 900, 2, 1005, 502, 503, dayNumber(1998, 7, 1), "Late reply.");
  }
  // The change of the database's files is noticed without any key.
  for (int i = 0; i < 40 && !b->windowTitle().endsWith("Messages [6]"); ++i) QTest::qWait(100);
  EXPECT_TRUE(b->windowTitle().endsWith("Messages [6]")) << b->windowTitle().toStdString();
  EXPECT_EQ(b->model().rowCount(), 6);
  EXPECT_FALSE(b->refreshIfChanged());  // nothing new since
  {
    qb::test::DatabaseBuilder db(a);
    db.message(1007, 900, 2, 1006, 502, 503, dayNumber(1998, 7, 2), "Later.");
  }
  frame->mdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(b->parentWidget()));
  frame->refreshActive();  // F5
  EXPECT_TRUE(b->windowTitle().endsWith("Messages [7]"));
}

// ---- texts of the frame ------------------------------------------------------------------------

TEST_F(Usability, StatusTextsHaveNoAccessKeysAndEveryButtonATip) {
  forum();
  open();
  QAction* exitItem = menuAction(*frame, "E&xit Quillbox");
  ASSERT_NE(exitItem, nullptr);
  EXPECT_EQ(exitItem->statusTip(), "Exit Quillbox");
  for (QAction* act : frame->findChildren<QAction*>()) EXPECT_FALSE(act->statusTip().contains('&')) << act->text().toStdString();
  auto* bar = frame->findChild<QToolBar*>("Toolbar");
  ASSERT_NE(bar, nullptr);
  for (QAction* act : bar->actions())
    if (!act->isSeparator()) {
      EXPECT_FALSE(act->toolTip().isEmpty()) << act->text().toStdString();
      EXPECT_FALSE(act->statusTip().isEmpty()) << act->toolTip().toStdString();
    }
  EXPECT_EQ(setting(s(), SetPresentation), 2);  // tool tips on
}

// ---- database windows -----------------------------------------------------------------------------

TEST_F(Usability, NamesAreAskedInDialogsThatRefuseAnEmptyName) {
  forum();
  a.addDatabase(KindForum, "Birds");
  open(true);
  auto* sel = qobject_cast<ChangeForumWindow*>(frame->openOrRaise("ChangeForum"));
  ASSERT_NE(sel, nullptr);
  qb::test::pumpEvents();
  sel->selectRow(0);
  NameDialog* dlg = sel->renameDialog();
  ASSERT_NE(dlg, nullptr);
  dlg->setName("   ");
  dlg->accept();
  EXPECT_NE(dlg->result(), QDialog::Accepted);
  EXPECT_FALSE(dlg->problem().isEmpty());
  dlg->setName("Songbirds");
  dlg->accept();
  EXPECT_EQ(dlg->result(), QDialog::Accepted);
  EXPECT_EQ(sel->rows()[0].DESCRIPTION, "Pets");  // list by name: "Pets", "Songbirds"
  EXPECT_EQ(sel->rows()[1].DESCRIPTION, "Songbirds");
  // The selection shows a dozen rows and whole names.
  QTableWidget* t = sel->table();
  EXPECT_GE(t->viewport()->height() / t->verticalHeader()->defaultSectionSize(), 10);
  for (int c = 0; c < t->columnCount() - 1; ++c)
    for (int r = 0; r < t->rowCount(); ++r)
      EXPECT_GT(t->columnWidth(c), t->fontMetrics().horizontalAdvance(t->item(r, c)->text())) << c;
  EXPECT_FALSE(t->tabKeyNavigation());
  QTest::keyClick(t, Qt::Key_End);
  EXPECT_EQ(t->currentRow(), 1);
  QTest::keyClick(t, Qt::Key_Home);
  EXPECT_EQ(t->currentRow(), 0);

  AddForumDialog add(nullptr, s());
  bool cancel = false;
  for (QPushButton* p : add.findChildren<QPushButton*>()) cancel |= p->text() == "Cancel";
  EXPECT_TRUE(cancel);
  add.setName("");
  add.accept();
  EXPECT_NE(add.result(), QDialog::Accepted);
  EXPECT_FALSE(add.problem().isEmpty());
  EXPECT_EQ(add.added(), 0u);
}

TEST_F(Usability, TheMailDatabaseListShowsAddressesAndExplainsAnEmptyUpdate) {
  open();
  auto* box = qobject_cast<MailDatabasesWindow*>(frame->openOrRaise("BrowseBox"));
  ASSERT_NE(box, nullptr);
  box->editHighlighted();  // nothing to update
  ASSERT_FALSE(a.ui.entries.empty());
  EXPECT_NE(a.ui.entries.back().text.find("Insert"), std::string::npos);
  ASSERT_TRUE(box->insert({"Robin Quayle", "robin@example.com", {"rq@example.org", "robin@example.net"}}));
  EXPECT_EQ(box->table()->item(0, 2)->text(), "rq@example.org, robin@example.net");
}

TEST_F(Usability, CascadeKeepsTheThreadTreeInFront) {
  forum();
  open(true);
  ASSERT_NE(tree(), nullptr);
  frame->mdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(browse()->parentWidget()));
  frame->cascade();
  const auto order = frame->mdiArea()->subWindowList(QMdiArea::StackingOrder);
  EXPECT_GT(order.indexOf(qobject_cast<QMdiSubWindow*>(tree()->parentWidget())),
            order.indexOf(qobject_cast<QMdiSubWindow*>(browse()->parentWidget())));
}

// ---- the header block and the row zone ------------------------------------------------------------

TEST_F(Usability, TheMessagePaneHasAHeaderBlockAndTheStatusBarTheRow) {
  forum();
  open();
  BrowseWindow* b = browse();
  b->setView(6);  // highest number first: 1005, 1004, ...
  b->setCurrentRow(1);
  const QStringList lines = b->headerLines();
  EXPECT_TRUE(lines.contains("From: Jane Smith <jane@example.org>")) << lines.join("|").toStdString();
  EXPECT_TRUE(lines.contains("To: <all@example.org>"));
  EXPECT_TRUE(lines.contains("Forum: Pets"));
  EXPECT_TRUE(lines.contains("Section: 03 Animals"));
  EXPECT_TRUE(lines.contains("Subject: Cats"));
  EXPECT_TRUE(lines.contains("Message: 1004, a reply to 1002"));
  EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const QString& l) { return l.startsWith("Date: ") && l.contains("1998"); }));
  auto* header = b->findChild<QLabel*>("MessageHeader");
  ASSERT_NE(header, nullptr);
  EXPECT_TRUE(header->textInteractionFlags() & Qt::TextSelectableByMouse);
  b->updateRowNumber();
  EXPECT_EQ(frame->statusZone(1), "Row 2 of 5");
  // In a filtered view the row counts within the filter.
  b->setView(4);
  b->setCurrentRow(0);
  b->filterFromCurrent();
  b->setCurrentRow(b->model().rowCount() - 1);
  b->updateRowNumber();
  EXPECT_EQ(frame->statusZone(1), QString("Row %1 of %1").arg(b->model().rowCount()));
}

TEST_F(Usability, AMailHeaderNamesTheFurtherRecipientsAndTheTime) {
  mailbox();
  open();
  BrowseWindow* b = browse();
  b->setView(2);  // by subject: Budget first
  b->setCurrentRow(0);
  const QStringList lines = b->headerLines();
  EXPECT_TRUE(lines.contains("To: Ann Green <ann@example.org>")) << lines.join("|").toStdString();
  EXPECT_TRUE(lines.contains("Cc: Boss <boss@example.org>"));
  EXPECT_FALSE(std::any_of(lines.begin(), lines.end(), [](const QString& l) { return l.startsWith("Message:"); }));
  const QString time = QLocale().toString(QTime(10, 0), QLocale::ShortFormat);
  EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const QString& l) { return l.startsWith("Date:") && l.contains(time); }));
}
