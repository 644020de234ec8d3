#include "scheduler/scheduler.h"

#include "archive/config.h"
#include "archive/file_table.h"
#include "archive/record_access.h"
#include "scheduler/task_records.h"
#include "scheduler/task_rows.h"
#include "text/datetime.h"

namespace qb::scheduler {

using store::Err;
using store::FileNo;

SchedulerState& state(store::Session& s) { return s.part<SchedulerState>(); }

void raiseBusy(store::Session& s) { ++state(s).busy; }
void lowerBusy(store::Session& s) {
  if (state(s).busy > 0) --state(s).busy;
}
bool isBusy(store::Session& s) { return state(s).busy > 0; }

Moment now() { return Moment{text::today(), text::clockNow()}; }

SchedulerSettings readSchedulerSettings(store::Session& s) {
  store::Konfig(s, store::KonfigAction::LoadDisplay);
  SchedulerSettings v;
  v.off = store::setting(s, store::SetSchedulerOff) == 1;
  v.quietFrom = store::setting(s, store::SetQuietFrom);
  v.quietTo = store::setting(s, store::SetQuietTo);
  return v;
}

bool writeSchedulerSettings(store::Session& s, const SchedulerSettings& v) {
  if (!store::Konfig(s, store::KonfigAction::LoadDisplay)) return false;
  int32_t off = v.off ? 1 : 0, from = v.quietFrom, to = v.quietTo;
  return store::Konfig(s, store::KonfigAction::SetDisplay, store::SetSchedulerOff, off) &&
         store::Konfig(s, store::KonfigAction::SetDisplay, store::SetQuietFrom, from) &&
         store::Konfig(s, store::KonfigAction::SetDisplay, store::SetQuietTo, to) &&
         store::Konfig(s, store::KonfigAction::WriteDisplay);
}

DueCheck checkDueTasks(store::Session& s, Moment at) {
  DueCheck r;
  const SchedulerSettings set = readSchedulerSettings(s);
  GateState g;
  g.doTask = s.DoTask;
  g.busy = state(s).busy;
  g.schedulerOff = set.off;
  g.postponedUntil = state(s).postponedUntil;
  g.quietFrom = set.quietFrom;
  g.quietTo = set.quietTo;
  r.gate = checkGate(g, at);
  if (r.gate != Gate::Open) return r;
  // Tasks in file order: the first due one is the one to start.
  store::OP_CLOSE(s, store::OpOpen, {FileNo::Tasks});
  auto& t = s.table<Tasks>(FileNo::Tasks);
  std::vector<TaskInfo> candidates;
  t.clear();
  t.setFileOrder();
  while (t.next() == Err::Ok)
    if (t.rec.ACTIVE == 1) candidates.push_back(taskRow(t.rec));
  store::OP_CLOSE(s, store::OpClose, {FileNo::Tasks});
  for (auto& task : candidates) {
    task.batches = batchesOfTask(s, task.id);
    if (taskDue(task.timing(), at)) r.tasks.push_back(task.id);
  }
  return r;
}

std::string postponedTitle(int hours) { return " Task processing postponed " + std::to_string(hours) + " hour(s)"; }

namespace {

// Changes a task record through `change`; false when it is gone or the
// write failed.
template <class F>
bool changeTask(store::Session& s, uint32_t id, F change) {
  store::OP_CLOSE(s, store::OpOpen, {FileNo::Tasks});
  auto& t = s.table<Tasks>(FileNo::Tasks);
  t.clear();
  t.rec.ID = id;
  bool ok = false;
  if (t.get(Tasks::IdKey) == Err::Ok) {
    change(t.rec);
    ok = store::UppDat(s, t, store::UppChange, store::ErrRelease) == 1;
  }
  store::OP_CLOSE(s, store::OpClose, {FileNo::Tasks});
  return ok;
}

}  // namespace

// Moves a task on as after a run (declared in task_rows.h for the processor).
void moveTaskOn(Tasks& r, bool wasRunNow, Moment runStart, Moment at) {
  TaskInfo t = taskRow(r);
  const Repeat rep = t.repeat();
  const bool nextReached =
      r.RUNNEXTDATE != 0 && (at.date > r.RUNNEXTDATE || (at.date == r.RUNNEXTDATE && at.time >= r.RUNNEXTTIME));
  if (!rep.any()) {
    // A task without repeat days runs once: after the run at its date it is
    // switched off, so that it is not due again at the next check; after a
    // run-now request before its date it keeps that date.
    r.RUNNOWDATE = 0;
    r.RUNNOWTIME = 0;
    r.LASTRUNDATE = runStart.date;
    r.LASTRUNTIME = runStart.time;
    if (r.RUNNEXTDATE == 0 || nextReached) {
      r.ACTIVE = 0;
      if (r.RUNNEXTDATE == 0) r.RUNNEXTTIME = 0;
    }
    return;
  }
  if (wasRunNow && !nextReached) {
    r.RUNNOWDATE = 0;
    r.RUNNOWTIME = 0;
    r.LASTRUNDATE = runStart.date;
    r.LASTRUNTIME = runStart.time;
    return;
  }
  r.RUNNEXTDATE = nextRunDate(rep, at.date);
  r.LASTRUNDATE = at.date;
  r.LASTRUNTIME = at.time;
  r.RUNNOWDATE = 0;
  r.RUNNOWTIME = 0;
}

StartOutcome applyStartChoice(store::Session& s, StartChoice c, const std::vector<uint32_t>& dueTasks, int hours,
                              Moment at) {
  const uint32_t first = dueTasks.empty() ? 0 : dueTasks.front();
  switch (c) {
    case StartChoice::RunNow:
      if (isBusy(s)) {
        s.DoTask = 0;
        return StartOutcome::Refused;
      }
      if (first == 0) {
        s.DoTask = 0;
        return StartOutcome::NotStarted;
      }
      s.DoTask = 2;
      return StartOutcome::Start;
    case StartChoice::Postpone:
      state(s).postponedUntil = addHours(at, hours < 1 ? 1 : hours);
      break;
    case StartChoice::Skip:
      if (first) changeTask(s, first, [&](Tasks& r) { moveTaskOn(r, runNowRequested(taskRow(r).timing(), at), at, at); });
      break;
    case StartChoice::DeactivateTask:
      if (first) changeTask(s, first, [](Tasks& r) { r.ACTIVE = 0; });
      break;
    case StartChoice::DeactivateScheduler: {
      SchedulerSettings v = readSchedulerSettings(s);
      v.off = true;
      writeSchedulerSettings(s, v);
      break;
    }
    case StartChoice::Abort:
      state(s).postponedUntil = Moment{};
      break;
  }
  s.DoTask = 0;
  return StartOutcome::NotStarted;
}

bool TaskLock::tryAcquire(store::Session& s) {
  if (lock_.isOpen()) return true;
  if (!lock_.open(s.cfgDir() + "/TASKS.lck")) return false;
  if (!lock_.tryLock(store::FileLock::kFileByte, true)) {
    lock_.close();
    return false;
  }
  return true;
}

}  // namespace qb::scheduler
