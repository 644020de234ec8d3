#pragma once
// Running one task unattended: its batches one after the other, each as an
// import run, then the clean-up procedures on every database that received
// messages, everything recorded in the task log. An engine object driven by
// step(), from the desktop program's timer or the command line's loop.
//
//   TaskProcessor p(s, taskId);
//   if (!p.start()) report(p.message());
//   while (p.step()) show(p.caption());
//
// While it runs DoTask is 2 and no procedure stops for a message. cancel()
// breaks the run off as the user's cancel of an import does: the current
// step stops, no further step runs, and the task is deactivated.
// interrupt() stops the run the same way for the program's own end (a
// signal): the task is left as it is and runs again when next due.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "archive/session.h"
#include "import/import_run.h"
#include "import/import_setup.h"
#include "scheduler/cleanup_runners.h"
#include "scheduler/task_dates.h"
#include "scheduler/task_store.h"

namespace qb::scheduler {

// The import order of a batch's own fields: the format by its number, the
// directory (or the one file of selection method 2), the kinds, the
// targets by name. False with `why` when a target database is gone. (A
// stored batch runs through import::loadImportDefinition, which also reads
// its selection lines.)
bool orderFromBatch(store::Session& s, const BatchInfo& b, import::ImportOrder& order, std::string& why);

// Adds a batch as the import wizard saves one (the record with its
// selection lines); the order is checked first. False with `problem`.
bool createBatch(store::Session& s, BatchInfo& b, std::string& problem);

class TaskProcessor {
 public:
  TaskProcessor(store::Session& s, uint32_t taskId, CleanUpRunners runners = defaultCleanUpRunners());
  ~TaskProcessor();  // an unfinished run is interrupted and logged
  TaskProcessor(const TaskProcessor&) = delete;
  TaskProcessor& operator=(const TaskProcessor&) = delete;

  // Starts the run: the batch results are reset, the run gets its task-log
  // identifier. False when the task is gone or has no batch (message()).
  bool start();
  // One bounded step; false once the run has ended.
  bool step();
  void cancel();
  void interrupt();

  bool finished() const { return phase_ == Phase::Done; }
  uint32_t taskId() const { return task_.id; }
  uint32_t logId() const { return logId_; }
  // The combined result of the run's steps (when finished).
  uint8_t result() const { return result_; }
  const std::string& message() const { return message_; }
  // What is being done: "Import: <batch>" or the clean-up's name.
  std::string caption() const;
  // The import run of the current batch; null between batches.
  const import::ImportRun* importRun() const { return run_.get(); }
  // Why steps failed, one line each (the batch or clean-up and the cause).
  const std::vector<std::string>& failures() const { return failures_; }

 private:
  enum class Phase { Idle, NextBatch, Import, EndImports, CleanUp, Finish, Done };
  struct CleanUpEntry {
    uint32_t forumId;
    uint32_t type;
    bool done = false;
    uint8_t result = 0;
  };

  void nextBatch();
  void importStep();
  void endImports();
  void cleanUpStep();
  void finish();
  void noteDatabase(uint32_t forumId);
  // Log records.
  bool addLogRecord();
  Moment addLogItem(uint32_t type, uint32_t batchId);
  void finishLogItem(uint32_t type, Moment started, uint8_t result);
  void setLink(uint32_t batchId, uint8_t result, int32_t seconds);
  void updateTaskAfterRun();

  store::Session& s_;
  CleanUpRunners runners_;
  TaskInfo task_;
  Phase phase_ = Phase::Idle;
  bool wasRunNow_ = false;
  bool logAdded_ = false;
  bool interrupted_ = false;
  uint32_t logId_ = 0;
  Moment logStart_;
  Moment lastItemStart_;
  uint8_t importResult_ = 0;
  uint8_t result_ = 0;
  std::string message_;
  std::vector<std::string> failures_;
  // The current batch.
  BatchInfo batch_;
  Moment batchItemStart_;
  std::unique_ptr<import::ImportRun> run_;
  // The clean-up list and its running job.
  std::vector<uint32_t> noted_;
  std::vector<CleanUpEntry> cleanUps_;
  std::size_t cleanUpAt_ = 0;
  std::unique_ptr<CleanUpJob> job_;
  Moment jobItemStart_;
};

}  // namespace qb::scheduler
