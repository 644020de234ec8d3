#pragma once
// The scheduler's tasks, predefined import procedures (batches) and task log
// as plain rows, for the command line and the windows: list, read, add,
// change and delete them without touching record buffers.
//
//   TaskInfo t;
//   t.description = "Nightly mail";
//   t.days[1] = 1;                       // Mondays
//   t.runNext = {today, timeValue(3, 0)};
//   t.batches = {batchId};
//   saveTask(s, t);                      // t.id is set for a new task

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "archive/session.h"
#include "scheduler/task_dates.h"

namespace qb::scheduler {

// Step types of the task log (TLI:TYPE).
enum StepType : uint32_t {
  StepImport = 1,
  StepPurge = 2,
  StepIndex = 4,
  StepCount = 5,
  StepMerge = 6,
};
// "Import" or "CleanUp".
const char* stepKindName(uint32_t type);
// The clean-up's detail: "Merging Duplicate Persons", "Purging messages",
// "Counting messages", "Word indexing"; empty for an import.
const char* cleanUpName(uint32_t type);

struct TaskInfo {
  uint32_t id = 0;  // 0 for a task not yet stored
  std::string description;
  Moment runNow;    // run-now request; time 0 = none
  Moment runNext;   // "Run next date and time:"
  Moment lastRun;   // "Last ran date and time:"
  std::array<uint8_t, 7> days{};       // weekdays, Sunday first
  std::array<uint8_t, 5> monthDays{};  // days of the month, 0 = not set
  bool doMerge = false;
  bool doPurge = false;
  bool doCount = false;
  bool doIndex = false;
  uint8_t result = 0;   // of the last run
  bool active = true;
  std::vector<uint32_t> batches;  // in the order they run (ascending identifier)

  Repeat repeat() const { return Repeat{days, monthDays}; }
  TaskTiming timing() const { return TaskTiming{id, active, !batches.empty(), runNow, runNext}; }
};

struct BatchInfo {
  uint32_t id = 0;  // 0 for a batch not yet stored
  uint32_t type = 0;
  std::string description;
  uint32_t database = 0;  // target forum database, 0 = none
  int fileType = 0;       // import type number
  std::string path;       // directory of the import files (a file for selection method 2)
  int selMethod = 1;      // 0 directory tree, 1 directory, 2 one chosen file
  uint32_t mailbox = 0;   // target mail database, 0 = none
  bool mail = true;
  bool forum = true;
  bool news = true;
  bool createOnly = false;  // "Import no messages (database creation only)"
  bool allowReimport = false;
  uint32_t mailTopic = 0;
};

struct LogItem {
  uint32_t type = 0;
  uint32_t batchId = 0;
  std::string detail;  // the batch's description, or the clean-up's name
  Moment started, finished;
  uint8_t result = 0;
};

struct LogRun {
  uint32_t id = 0;
  uint32_t taskId = 0;
  std::string task;  // the task's description ("" when the task is gone)
  Moment started, finished;
  uint8_t result = 0;
  std::vector<LogItem> items;
};

// Tasks in identifier order, with their batches.
std::vector<TaskInfo> listTasks(store::Session& s);
bool readTask(store::Session& s, uint32_t id, TaskInfo& out);
// Adds (id 0; the new identifier is set) or changes a task and replaces its
// batch links. False when a write failed (told).
bool saveTask(store::Session& s, TaskInfo& t);
// Deletes a task and its batch links; its log stays. False when there is no
// such task.
bool deleteTask(store::Session& s, uint32_t id);
// Asks for a run of the task at the next check ("Run task when exiting the
// Import Scheduler"): the run-now request becomes today and now.
bool requestRunNow(store::Session& s, uint32_t id, Moment now);

std::vector<BatchInfo> listBatches(store::Session& s);
bool readBatch(store::Session& s, uint32_t id, BatchInfo& out);
bool saveBatch(store::Session& s, BatchInfo& b);
// Deletes a batch and removes it from every task.
bool deleteBatch(store::Session& s, uint32_t id);
// The tasks that include a batch.
std::vector<uint32_t> tasksOfBatch(store::Session& s, uint32_t batchId);

// A database was deleted: every batch that imported into it gets 0 as that
// target. Returns the number of batches changed.
int removeDatabaseFromBatches(store::Session& s, uint32_t forumId);

// The task log, oldest run first, each with its items in key order. With
// `taskId` only that task's runs.
std::vector<LogRun> readTaskLog(store::Session& s, uint32_t taskId = 0);

}  // namespace qb::scheduler
