// The scheduler's windows: the menu opens the lists, the editors store what
// they show, the task start window's countdown and choices, and the
// frame's due-task check that starts a task and logs it.

#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSpinBox>
#include <QTableWidget>
#include <QTreeWidget>

#include "app/app_archive.h"
#include "app/main_frame.h"
#include "app/scheduler_windows.h"
#include "app/startup.h"
#include "app/window_registry.h"
#include "archive/config.h"
#include "archive/session.h"
#include "import/import_types.h"
#include "scheduler/scheduler.h"
#include "scheduler/task_store.h"

using namespace qb::app;
using namespace qb::scheduler;

namespace {

struct SchedulerWindows : ::testing::Test {
  qb::test::TempArchive a;
  std::unique_ptr<MainFrame> frame;
  void SetUp() override {
    qb::test::ensureApplication();
    ASSERT_EQ(qb::store::StartupSettings(a.session(), false), 99);
    a.session().clearDatabase();
    frame = std::make_unique<MainFrame>(a.session(), StartNormal);
    qb::test::pumpEvents();
  }
  void TearDown() override { qb::test::closeFrame(frame); }
  qb::store::Session& s() { return a.session(); }
  SchedulerDriver* driver() { return frame->findChild<SchedulerDriver*>("SchedulerDriver"); }
  uint32_t sampleBatch() {
    BatchInfo b;
    b.description = "Forum captures";
    b.fileType = qb::import::findImportType("TAPCIS 5.x")->number();
    b.path = std::string(QB_SOURCE_DIR) + "/samples/captures/tapcis5";
    EXPECT_TRUE(saveBatch(s(), b));
    return b.id;
  }
};

}  // namespace

TEST_F(SchedulerWindows, MenuOpensTheListsAndTheEditorsStoreWhatTheyShow) {
  frame->runCode(35);
  qb::test::pumpEvents();
  auto* batches = qobject_cast<BatchListWindow*>(frame->registry().get("BrowseBatch"));
  ASSERT_NE(batches, nullptr);
  EXPECT_EQ(batches->windowTitle(), "Predefined Import Procedures");

  BatchEditor* be = batches->edit(true);
  ASSERT_NE(be, nullptr);
  be->description->setText("Captures");
  be->path->setText(QString::fromStdString(std::string(QB_SOURCE_DIR) + "/samples/captures/tapcis5"));
  be->format->setCurrentIndex(be->format->findText("TAPCIS 5.x"));
  be->news->setChecked(false);
  ASSERT_TRUE(be->save());
  be->accept();
  qb::test::pumpEvents();
  ASSERT_EQ(batches->rows().size(), 1u);
  EXPECT_EQ(batches->table()->item(0, 0)->text(), "Captures");
  EXPECT_EQ(batches->table()->item(0, 1)->text(), "TAPCIS 5.x");
  EXPECT_FALSE(batches->rows()[0].news);
  // An editor without a description refuses to store.
  BatchEditor* empty = batches->edit(true);
  EXPECT_FALSE(empty->save());
  empty->reject();

  frame->runCode(28);
  qb::test::pumpEvents();
  auto* tasks = qobject_cast<TaskListWindow*>(frame->registry().get("BrowseTasks"));
  ASSERT_NE(tasks, nullptr);
  EXPECT_EQ(tasks->windowTitle(), "Scheduled Tasks");
  TaskEditor* te = tasks->edit(true);
  ASSERT_NE(te, nullptr);
  EXPECT_TRUE(isBusy(s())) << "no task starts while an editor is open";
  te->description->setText("Month ends");
  te->monthDays[0]->setValue(31);
  te->days[2]->setChecked(true);  // Tuesday
  te->count->setChecked(true);
  ASSERT_EQ(te->batches->count(), 1);
  te->batches->item(0)->setCheckState(Qt::Checked);
  ASSERT_TRUE(te->save());
  te->accept();
  qb::test::pumpEvents();
  ASSERT_EQ(tasks->rows().size(), 1u);
  const TaskInfo& t = tasks->rows()[0];
  EXPECT_EQ(t.description, "Month ends");
  EXPECT_EQ(t.monthDays[0], 31);
  EXPECT_EQ(t.days[2], 1);
  EXPECT_TRUE(t.doCount);
  EXPECT_EQ(t.batches, std::vector<uint32_t>{batches->rows()[0].id});
  EXPECT_EQ(t.runNow.time, 0);

  EXPECT_FALSE(isBusy(s()));

  frame->runCode(36);
  qb::test::pumpEvents();
  ASSERT_NE(frame->registry().get("TaskLog"), nullptr);
}

TEST_F(SchedulerWindows, StartWindowCountdownAndChoices) {
  uint32_t b = sampleBatch();
  TaskInfo t;
  t.description = "Due";
  t.batches = {b};
  t.runNow = now();
  ASSERT_TRUE(saveTask(s(), t));

  {
    TaskStartWindow w(s(), {t.id}, frame.get());
    EXPECT_EQ(w.countdown()->text(), " Task processing starts in 60 seconds");
    for (int i = 0; i < 51; ++i) w.tick();
    EXPECT_EQ(w.countdown()->text(), " Task processing starts in 09 seconds");
    // Busy: the end of the countdown does not start the task.
    raiseBusy(s());
    for (int i = 0; i < 9; ++i) w.tick();
    EXPECT_EQ(w.outcome(), StartOutcome::NotStarted);
    EXPECT_EQ(w.result(), 0);
    lowerBusy(s());
  }
  {
    TaskStartWindow w(s(), {t.id}, frame.get());
    w.options()->button(static_cast<int>(StartChoice::Postpone))->setChecked(true);
    w.hours()->setValue(3);
    w.ok();
    EXPECT_EQ(w.windowTitle(), " Task processing postponed 3 hour(s)");
    EXPECT_EQ(checkDueTasks(s(), now()).gate, Gate::Postponed);
    TaskStartWindow w2(s(), {t.id}, frame.get());
    w2.abort();  // clears the postponement
    EXPECT_EQ(checkDueTasks(s(), now()).gate, Gate::Open);
  }
  {
    TaskStartWindow w(s(), {t.id}, frame.get());
    for (int i = 0; i < 60; ++i) w.tick();
    EXPECT_EQ(w.outcome(), StartOutcome::Start);
    EXPECT_EQ(w.countdown()->text(), " Task processing starting up!");
    EXPECT_EQ(s().DoTask, 2);
    s().DoTask = 0;
  }
}

TEST_F(SchedulerWindows, DueTaskCheckStartsTheTaskAndTheLogShowsIt) {
  uint32_t b = sampleBatch();
  TaskInfo t;
  t.description = "Due now";
  t.batches = {b};
  t.doCount = true;
  t.runNow = now();
  ASSERT_TRUE(saveTask(s(), t));
  SchedulerDriver* d = driver();
  ASSERT_NE(d, nullptr);

  // A headless run holding the task lock keeps the desktop from starting.
  {
    auto other = a.newSession(a.ui);
    TaskLock headless;
    ASSERT_TRUE(headless.tryAcquire(*other));
    EXPECT_FALSE(d->check());
    EXPECT_EQ(s().DoTask, 0);
  }

  ASSERT_TRUE(d->check());
  EXPECT_EQ(s().DoTask, 1);
  ASSERT_NE(d->startWindow(), nullptr);
  EXPECT_FALSE(d->check()) << "one start window at a time";
  d->startWindow()->ok();
  EXPECT_TRUE(d->running());
  for (int i = 0; i < 20000 && d->running(); ++i) QCoreApplication::processEvents();
  qb::test::pumpEvents();
  EXPECT_FALSE(d->running());
  EXPECT_EQ(s().DoTask, 0);

  frame->runCode(36);
  qb::test::pumpEvents();
  auto* log = qobject_cast<TaskLogWindow*>(frame->registry().get("TaskLog"));
  ASSERT_NE(log, nullptr);
  ASSERT_EQ(log->tree()->topLevelItemCount(), 1);
  QTreeWidgetItem* run = log->tree()->topLevelItem(0);
  EXPECT_EQ(run->text(0), "Due now");
  EXPECT_EQ(run->text(4), "OK");
  ASSERT_GE(run->childCount(), 2);
  EXPECT_EQ(run->child(0)->text(0), "Import");
  EXPECT_EQ(run->child(0)->text(1), "Forum captures");
  EXPECT_EQ(run->child(1)->text(1), "Counting messages");
  // The task ran once and is not due again.
  EXPECT_FALSE(d->check());
}
