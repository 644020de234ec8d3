#pragma once
// Between the scheduler's records and its plain rows (used inside the
// scheduler only).

#include "scheduler/task_records.h"
#include "scheduler/task_store.h"

namespace qb::scheduler {

TaskInfo taskRow(const Tasks& r);
void toRecord(const TaskInfo& t, Tasks& r);
BatchInfo batchRow(const Batches& r);
void toRecord(const BatchInfo& b, Batches& r);

// Moves a task on as after a run (also for "Skip this time"): a run-now
// request is cleared and the last run noted; a repeated task gets its next
// run date anew, a task without repeat days that reached its date is
// switched off.
void moveTaskOn(Tasks& r, bool wasRunNow, Moment runStart, Moment at);

// The Forums record of a database; false when there is none.
bool readForum(store::Session& s, uint32_t id, store::Forums& out);

// The batches of a task, ascending.
std::vector<uint32_t> batchesOfTask(store::Session& s, uint32_t taskId);

}  // namespace qb::scheduler
