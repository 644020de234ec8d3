#pragma once
// The import scheduler's windows: the batch list "Predefined Import
// Procedures" with its editor, the task list "Scheduled Tasks" with its
// editor, the task log, the task start window with its countdown, and the
// driver that checks every 15 seconds whether a task is due and runs it
// step by step on the GUI thread.

#include <QDialog>
#include <QPointer>
#include <memory>
#include <vector>

#include "app/tool_window.h"
#include "scheduler/scheduler.h"
#include "scheduler/task_store.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QSpinBox;
class QTableWidget;
class QTimer;
class QTreeWidget;

namespace qb::scheduler {
class TaskProcessor;
}

namespace qb::app {

class BatchEditor;
class TaskEditor;

// "Predefined Import Procedures".
class BatchListWindow : public ToolWindow {
  Q_OBJECT
 public:
  static ToolWindow* open(MainFrame& frame);
  explicit BatchListWindow(MainFrame& frame);
  void fill();
  QTableWidget* table() const { return table_; }
  const std::vector<scheduler::BatchInfo>& rows() const { return rows_; }
  // Opens the editor on a new batch or the highlighted one; the editor is
  // returned so that tests can fill it in.
  BatchEditor* edit(bool isNew);
  void deleteHighlighted();

 protected:
  void closing() override;

 private:
  QTableWidget* table_;
  std::vector<scheduler::BatchInfo> rows_;
};

class BatchEditor : public QDialog {
  Q_OBJECT
 public:
  BatchEditor(store::Session& s, const scheduler::BatchInfo& b, QWidget* parent);
  ~BatchEditor() override;
  scheduler::BatchInfo batch() const;
  // Checks and stores; false (with a message) leaves the editor open.
  bool save();
  QLineEdit* description;
  QComboBox* format;
  QLineEdit* path;
  QComboBox* method;
  QComboBox* forumDb;
  QComboBox* mailDb;
  QCheckBox *mail, *forum, *news, *reimport, *createOnly;

 private:
  store::Session& s_;
  scheduler::BatchInfo b_;
};

// "Scheduled Tasks".
class TaskListWindow : public ToolWindow {
  Q_OBJECT
 public:
  static ToolWindow* open(MainFrame& frame);
  explicit TaskListWindow(MainFrame& frame);
  void fill();
  QTableWidget* table() const { return table_; }
  const std::vector<scheduler::TaskInfo>& rows() const { return rows_; }
  TaskEditor* edit(bool isNew);
  void deleteHighlighted();

 protected:
  void closing() override;

 private:
  QTableWidget* table_;
  std::vector<scheduler::TaskInfo> rows_;
};

class TaskEditor : public QDialog {
  Q_OBJECT
 public:
  TaskEditor(store::Session& s, const scheduler::TaskInfo& t, QWidget* parent);
  ~TaskEditor() override;
  scheduler::TaskInfo task() const;
  bool save();
  QLineEdit* description;
  QCheckBox* active;
  QCheckBox* runWhenExiting;  // "Run task when exiting the Import Scheduler"
  QDateTimeEdit* next;
  QCheckBox* days[7];
  QSpinBox* monthDays[5];
  QCheckBox *merge, *purge, *count, *index;
  QListWidget* batches;

 private:
  store::Session& s_;
  scheduler::TaskInfo t_;
};

// The task log: one line per run with its steps below it.
class TaskLogWindow : public ToolWindow {
  Q_OBJECT
 public:
  static ToolWindow* open(MainFrame& frame);
  explicit TaskLogWindow(MainFrame& frame);
  void fill();
  QTreeWidget* tree() const { return tree_; }

 protected:
  void closing() override;
  void notify(int code, int arg) override;

 private:
  QTreeWidget* tree_;
};

// The task start window: the due tasks, a countdown from 60 seconds and the
// processing options.
class TaskStartWindow : public QDialog {
  Q_OBJECT
 public:
  TaskStartWindow(store::Session& s, std::vector<uint32_t> dueTasks, QWidget* parent);
  // The choice carried out when the window closed, and its outcome.
  scheduler::StartChoice choice() const { return choice_; }
  scheduler::StartOutcome outcome() const { return outcome_; }
  int secondsLeft() const { return seconds_; }
  QButtonGroup* options() const { return options_; }
  QSpinBox* hours() const { return hours_; }
  QLabel* countdown() const { return countdown_; }
  // One tick of the countdown (every second).
  void tick();
  // OK and "Abort".
  void ok();
  void abort();

 private:
  void carryOut(scheduler::StartChoice c);
  store::Session& s_;
  std::vector<uint32_t> due_;
  QButtonGroup* options_;
  QSpinBox* hours_;
  QLabel* countdown_;
  QTimer* timer_;
  int seconds_ = 60;
  scheduler::StartChoice choice_ = scheduler::StartChoice::Abort;
  scheduler::StartOutcome outcome_ = scheduler::StartOutcome::NotStarted;
};

// Checks for due tasks every 15 seconds while the program is idle and runs
// a started task step by step, with a small progress window.
class SchedulerDriver : public QObject {
  Q_OBJECT
 public:
  explicit SchedulerDriver(MainFrame& frame);
  ~SchedulerDriver() override;
  // The due-task check; true when the start window was opened.
  bool check();
  // Starts the task at once (after the start window's choice).
  void startTask(uint32_t taskId);
  bool running() const { return processor_ != nullptr; }
  TaskStartWindow* startWindow() const { return startWindow_; }

 private:
  void step();
  void finished();
  MainFrame& frame_;
  QTimer* check_;
  QTimer* stepper_;
  scheduler::TaskLock lock_;
  std::unique_ptr<scheduler::TaskProcessor> processor_;
  QPointer<TaskStartWindow> startWindow_;
  QPointer<QDialog> progress_;
  QLabel* progressText_ = nullptr;
  QProgressBar* progressBar_ = nullptr;
};

// Runs a scheduler code (SemaFore) of the desktop program: opens the task
// log (202), the task list (204) or the batch list (205), runs the due-task
// check (206, 207), removes the current database from every batch (209).
// False for a code it does not handle here.
bool semaFore(MainFrame& frame, int code);

}  // namespace qb::app
