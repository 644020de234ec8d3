#pragma once
// The scheduler of one running program: what it keeps in memory (the busy
// counter, the postponement), the due-task check that the desktop program
// runs every 15 seconds while idle and the command line runs on demand or
// as a daemon, and what the choices of the task start window do.
//
//   DueCheck due = checkDueTasks(s, now);
//   if (due.gate == Gate::Open && !due.tasks.empty()) {
//     s.DoTask = 1;  ... task start window ...
//     applyStartChoice(s, StartChoice::RunNow, due.tasks, 0, now);
//     TaskProcessor p(s, due.tasks.front()); p.start(); while (p.step()) ...
//   }
//
// Only one program processes tasks at a time: the task lock (CFG/TASKS.lck)
// is held from the moment a due task is found until its run has ended, by
// the desktop program and by `quillbox-cli scheduler` alike.

#include <cstdint>
#include <string>
#include <vector>

#include "archive/session.h"
#include "scheduler/task_dates.h"
#include "store/file_lock.h"

namespace qb::scheduler {

// The codes through which both programs open the scheduler's windows and
// run its steps (the desktop program's semaFore() in app/scheduler_windows.h).
enum SemaFore : int {
  SemaBackground = 22,        // a background procedure on its own thread
  SemaImportWizard = 201,     // the import wizard
  SemaTaskLog = 202,          // the task log window
  SemaTaskList = 204,         // "Scheduled Tasks"
  SemaBatchList = 205,        // "Predefined Import Procedures"
  SemaDueCheck = 206,         // install the due-task check (every 15 seconds while idle)
  SemaTaskStart = 207,        // the task start window
  SemaNextBatch = 208,        // the next batch of the current task
  SemaRemoveDatabase = 209,   // the current database leaves every batch (it was deleted)
  SemaTransactionCheck = 212, // the transaction-start check
  SemaRecountPerson = 213,    // recount the current person's messages
  SemaBatchTarget = 221,      // the current batch's forum database becomes current
};

// The scheduler's state in memory (a part of the session).
struct SchedulerState {
  int busy = 0;             // nonzero while a window that must not be interrupted is open
  Moment postponedUntil;    // no task starts before it (date 0: none)
};
SchedulerState& state(store::Session& s);

// The busy counter: raised by a window that must not be interrupted,
// lowered when it closes (never below 0).
void raiseBusy(store::Session& s);
void lowerBusy(store::Session& s);
bool isBusy(store::Session& s);

// The current moment (today, clock now).
Moment now();

// The scheduler settings: "Deactivate ImportScheduler" and the quiet
// period (the display settings block is loaded when needed).
struct SchedulerSettings {
  bool off = false;
  int32_t quietFrom = 0;
  int32_t quietTo = 0;
};
SchedulerSettings readSchedulerSettings(store::Session& s);
bool writeSchedulerSettings(store::Session& s, const SchedulerSettings& v);

struct DueCheck {
  Gate gate = Gate::Open;
  std::vector<uint32_t> tasks;  // the due tasks in file order; the first is the one to start
};
// The due-task check: nothing while the gate is closed; otherwise the
// active tasks with at least one batch that are due at `at`.
DueCheck checkDueTasks(store::Session& s, Moment at);

// The task start window's processing options.
enum class StartChoice { RunNow, Postpone, Skip, DeactivateTask, DeactivateScheduler, Abort };
enum class StartOutcome {
  Start,        // start the first due task now (DoTask is 2)
  Refused,      // another task is active: "Another Task is already active!"
  NotStarted,   // the choice was carried out; nothing starts (DoTask is 0)
};
// Carries out a choice for the first of the due tasks. `hours` is the
// postponement.
StartOutcome applyStartChoice(store::Session& s, StartChoice c, const std::vector<uint32_t>& dueTasks, int hours,
                              Moment at);
// The start window's title after a postponement.
std::string postponedTitle(int hours);

// The lock that lets one program at a time process tasks.
class TaskLock {
 public:
  // False when another program (or another TaskLock) holds it.
  bool tryAcquire(store::Session& s);
  void release() { lock_.close(); }
  bool held() const { return lock_.isOpen(); }

 private:
  store::FileLock lock_;
};

}  // namespace qb::scheduler
