#include "scheduler/task_processor.h"

#include <algorithm>

#include "archive/file_table.h"
#include "archive/record_access.h"
#include "import/import_definition.h"
#include "import/import_types.h"
#include "scheduler/scheduler.h"
#include "scheduler/task_records.h"
#include "scheduler/task_rows.h"

namespace qb::scheduler {

using store::Err;
using store::FileNo;
using store::OP_CLOSE;
using store::OpClose;
using store::OpOpen;

namespace {
constexpr int kLockWait = 5;  // seconds a run waits for the link and log-item files
}

bool orderFromBatch(store::Session& s, const BatchInfo& b, import::ImportOrder& order, std::string& why) {
  order = import::ImportOrder{};
  order.format = std::to_string(b.fileType);
  import::ImportRequest& req = order.request;
  req.selectionMethod = b.selMethod == 0 || b.selMethod == 2 ? b.selMethod : 1;
  if (req.selectionMethod == 2)
    req.files = {b.path};
  else
    req.sourcePath = b.path;
  unsigned kinds = (b.mail ? import::KindMail : 0u) | (b.forum ? import::KindForum : 0u) |
                   (b.news ? import::KindNews : 0u);
  req.kinds = kinds ? kinds : import::KindAll;
  req.allowReimport = b.allowReimport;
  req.createOnly = b.createOnly;
  if (b.mailbox) {
    store::Forums f;
    if (!readForum(s, b.mailbox, f)) {
      why = "the mail database of the batch no longer exists";
      return false;
    }
    req.mailDatabase = f.DESCRIPTION.str();
    req.mailTopic = b.mailTopic;
  }
  if (b.database) {
    store::Forums f;
    if (!readForum(s, b.database, f)) {
      why = "the forum database of the batch no longer exists";
      return false;
    }
    req.forumName = f.DESCRIPTION.str();
  }
  return true;
}

bool createBatch(store::Session& s, BatchInfo& b, std::string& problem) {
  import::ImportOrder order;
  if (!orderFromBatch(s, b, order, problem)) return false;
  b.id = import::saveImportDefinition(s, std::move(order), b.description, problem);
  if (b.id == 0) return false;
  BatchInfo stored;
  if (readBatch(s, b.id, stored)) b = stored;
  return true;
}

TaskProcessor::TaskProcessor(store::Session& s, uint32_t taskId, CleanUpRunners runners)
    : s_(s), runners_(std::move(runners)) {
  task_.id = taskId;
}

TaskProcessor::~TaskProcessor() {
  if (phase_ != Phase::Idle && phase_ != Phase::Done) {
    interrupt();
    while (step()) {
    }
  }
}

bool TaskProcessor::start() {
  if (!readTask(s_, task_.id, task_)) {
    message_ = "There is no task " + std::to_string(task_.id) + ".";
    return false;
  }
  if (task_.batches.empty()) {
    message_ = "The task \"" + task_.description + "\" has no predefined import procedure.";
    return false;
  }
  const Moment at = now();
  wasRunNow_ = runNowRequested(task_.timing(), at);
  s_.DoTask = 2;
  // The batch results of the previous run are cleared.
  OP_CLOSE(s_, OpOpen, {FileNo::TaskBatchLinks, FileNo::TaskLog});
  auto& l = s_.table<TaskBatchLinks>(FileNo::TaskBatchLinks);
  const bool locked = l.lock(kLockWait) == Err::Ok;
  std::vector<int64_t> positions;
  l.clear();
  l.rec.TASKID = task_.id;
  l.setAt(TaskBatchLinks::TaskKey, 1);
  while (l.next() == Err::Ok && l.rec.TASKID == task_.id) positions.push_back(l.position());
  for (int64_t pos : positions) {
    if (l.getPosition(pos) != Err::Ok) continue;
    l.rec.RESULTCODE = 0;
    l.rec.EVENTTIME = 0;
    static_cast<void>(store::UppDat(s_, l, store::UppChange, store::ErrRelease));
  }
  if (locked) l.unlock();
  // The run's log identifier: one more than the highest.
  auto& log = s_.table<TaskLog>(FileNo::TaskLog);
  log.clear();
  log.set(TaskLog::IdKey);
  logId_ = log.previous() == Err::Ok ? log.rec.TASKLOGID + 1 : 1;
  OP_CLOSE(s_, OpClose, {FileNo::TaskBatchLinks, FileNo::TaskLog});
  noted_.clear();
  cleanUps_.clear();
  phase_ = Phase::NextBatch;
  return true;
}

std::string TaskProcessor::caption() const {
  switch (phase_) {
    case Phase::Import: return "Import: " + batch_.description;
    case Phase::CleanUp:
      if (cleanUpAt_ < cleanUps_.size()) return cleanUpName(cleanUps_[cleanUpAt_].type);
      return "CleanUp";
    default: return task_.description;
  }
}

void TaskProcessor::cancel() {
  if (phase_ == Phase::Idle || phase_ == Phase::Done) return;
  if (s_.DoTask == 2) s_.DoTask = 6;
  if (run_) run_->cancel();
  if (job_) job_->cancel();
}

void TaskProcessor::interrupt() {
  if (phase_ == Phase::Idle || phase_ == Phase::Done) return;
  interrupted_ = true;
  if (run_) run_->cancel();
  if (job_) job_->cancel();
}

bool TaskProcessor::step() {
  switch (phase_) {
    case Phase::Idle:
    case Phase::Done: return false;
    case Phase::NextBatch: nextBatch(); break;
    case Phase::Import: importStep(); break;
    case Phase::EndImports: endImports(); break;
    case Phase::CleanUp: cleanUpStep(); break;
    case Phase::Finish: finish(); break;
  }
  return phase_ != Phase::Done;
}

// ---- log records ---------------------------------------------------------------

bool TaskProcessor::addLogRecord() {
  logStart_ = now();
  OP_CLOSE(s_, OpOpen, {FileNo::TaskLog});
  auto& log = s_.table<TaskLog>(FileNo::TaskLog);
  log.clear();
  log.rec.TASKLOGID = logId_;
  log.rec.TASKID = task_.id;
  log.rec.DATESTARTED = logStart_.date;
  log.rec.TIMESTARTED = logStart_.time;
  // Another program may have logged a run meanwhile: the next free number.
  while (log.duplicate()) log.rec.TASKLOGID = ++logId_;
  bool ok = store::UppDat(s_, log, store::UppAdd, store::ErrRelease) == 1;
  OP_CLOSE(s_, OpClose, {FileNo::TaskLog});
  logAdded_ = ok;
  return ok;
}

Moment TaskProcessor::addLogItem(uint32_t type, uint32_t batchId) {
  Moment at = now();
  // Items of one run start one after the other: a step that starts within
  // the same hundredth of a second as the one before is noted a hundredth
  // later, so that every item has a key of its own and the log keeps the
  // order of the steps.
  if (at.date < lastItemStart_.date || (at.date == lastItemStart_.date && at.time <= lastItemStart_.time))
    at = Moment{lastItemStart_.date, lastItemStart_.time + 1};
  lastItemStart_ = at;
  OP_CLOSE(s_, OpOpen, {FileNo::TaskLogItems});
  auto& it = s_.table<TaskLogItems>(FileNo::TaskLogItems);
  it.clear();
  it.rec.TASKLOGID = logId_;
  it.rec.TYPE = type;
  it.rec.BATCHID = batchId;
  it.rec.DATESTARTED = at.date;
  it.rec.TIMESTARTED = at.time;
  while (it.duplicate()) it.rec.TIMESTARTED = ++lastItemStart_.time;
  at.time = it.rec.TIMESTARTED;
  static_cast<void>(store::UppDat(s_, it, store::UppAdd, store::ErrRelease));
  OP_CLOSE(s_, OpClose, {FileNo::TaskLogItems});
  return at;
}

void TaskProcessor::finishLogItem(uint32_t type, Moment started, uint8_t result) {
  const Moment at = now();
  OP_CLOSE(s_, OpOpen, {FileNo::TaskLogItems});
  auto& it = s_.table<TaskLogItems>(FileNo::TaskLogItems);
  const bool locked = it.lock(kLockWait) == Err::Ok;
  it.clear();
  it.rec.TASKLOGID = logId_;
  it.rec.TYPE = type;
  it.rec.DATESTARTED = started.date;
  it.rec.TIMESTARTED = started.time;
  if (it.get(TaskLogItems::IdKey) == Err::Ok) {
    it.rec.DATEFINISHED = at.date;
    it.rec.TIMEFINISHED = at.time;
    // A result already recorded as OK is raised by a failing one, never lowered.
    it.rec.RESULTCODE = combineResult(it.rec.RESULTCODE, result);
    static_cast<void>(store::UppDat(s_, it, store::UppChange, store::ErrRelease));
  }
  if (locked) it.unlock();
  OP_CLOSE(s_, OpClose, {FileNo::TaskLogItems});
}

void TaskProcessor::setLink(uint32_t batchId, uint8_t result, int32_t seconds) {
  OP_CLOSE(s_, OpOpen, {FileNo::TaskBatchLinks});
  auto& l = s_.table<TaskBatchLinks>(FileNo::TaskBatchLinks);
  const bool locked = l.lock(kLockWait) == Err::Ok;
  l.clear();
  l.rec.TASKID = task_.id;
  l.rec.BATCHID = batchId;
  if (l.get(TaskBatchLinks::TaskKey) == Err::Ok) {
    l.rec.RESULTCODE = result;
    l.rec.EVENTTIME = seconds;
    static_cast<void>(store::UppDat(s_, l, store::UppChange, store::ErrRelease));
  }
  if (locked) l.unlock();
  OP_CLOSE(s_, OpClose, {FileNo::TaskBatchLinks});
}

// ---- the batches -----------------------------------------------------------------

void TaskProcessor::nextBatch() {
  if (s_.DoTask == 6 || interrupted_) {
    phase_ = Phase::Finish;
    return;
  }
  // The links in key order: fold the results of the batches already run,
  // and take the first one not run yet.
  OP_CLOSE(s_, OpOpen, {FileNo::TaskBatchLinks});
  auto& l = s_.table<TaskBatchLinks>(FileNo::TaskBatchLinks);
  uint8_t combined = 0;
  uint32_t nextId = 0;
  l.clear();
  l.rec.TASKID = task_.id;
  l.setAt(TaskBatchLinks::TaskKey, 1);
  while (l.next() == Err::Ok && l.rec.TASKID == task_.id) {
    if (l.rec.RESULTCODE != 0) {
      combined = combineResult(combined, l.rec.RESULTCODE);
      continue;
    }
    nextId = l.rec.BATCHID;
    break;
  }
  OP_CLOSE(s_, OpClose, {FileNo::TaskBatchLinks});
  importResult_ = combined;
  if (nextId == 0) {
    phase_ = Phase::EndImports;
    return;
  }
  if (!logAdded_ && !addLogRecord()) failures_.push_back("the task log could not be written");
  batchItemStart_ = addLogItem(StepImport, nextId);
  if (!readBatch(s_, nextId, batch_)) {
    // A batch that no longer exists ends the import phase; what ran stays logged.
    failures_.push_back("batch " + std::to_string(nextId) + ": it no longer exists");
    finishLogItem(StepImport, batchItemStart_, 2);
    importResult_ = combineResult(importResult_, 2);
    phase_ = Phase::EndImports;
    return;
  }
  // The batch as saved, with its selection lines (masks, files, folders),
  // goes through the same set-up as an import started at once.
  import::ImportOrder order;
  std::string why;
  import::PreparedImport prepared;
  if (import::loadImportDefinition(s_, batch_.id, order, why)) {
    prepared = import::prepareImport(s_, std::move(order));
    if (!prepared.run) why = import::importProblemText(prepared.problem, prepared.detail);
  }
  if (!prepared.run) {
    failures_.push_back("\"" + batch_.description + "\": " + why);
    setLink(batch_.id, 2, 0);
    finishLogItem(StepImport, batchItemStart_, 2);
    return;  // on to the next batch
  }
  run_ = std::move(prepared.run);
  run_->registerForMaintenance = [this](uint32_t forumId) { noteDatabase(forumId); };
  phase_ = Phase::Import;
}

void TaskProcessor::importStep() {
  if (run_->step()) return;
  const import::RunStats& st = run_->stats();
  const bool ok = !st.failed && !st.cancelled && !st.spaceRefused;
  if (!ok)
    failures_.push_back("\"" + batch_.description + "\": " +
                        (st.cancelled ? std::string("the import was stopped")
                                      : st.failure.empty() ? std::string("the import failed") : st.failure));
  setLink(batch_.id, ok ? 1 : 2, ok ? static_cast<int32_t>(st.elapsedSeconds) : 0);
  finishLogItem(StepImport, batchItemStart_, ok ? 1 : 2);
  run_.reset();
  // A cancel by the user turned DoTask to 6; an interrupt keeps the task as it is.
  if (interrupted_ && s_.DoTask == 6) s_.DoTask = 2;
  phase_ = (s_.DoTask == 6 || interrupted_) ? Phase::Finish : Phase::NextBatch;
}

void TaskProcessor::noteDatabase(uint32_t forumId) {
  if (std::find(noted_.begin(), noted_.end(), forumId) == noted_.end()) noted_.push_back(forumId);
}

void TaskProcessor::updateTaskAfterRun() {
  const Moment at = now();
  OP_CLOSE(s_, OpOpen, {FileNo::Tasks});
  auto& t = s_.table<Tasks>(FileNo::Tasks);
  t.clear();
  t.rec.ID = task_.id;
  if (t.get(Tasks::IdKey) == Err::Ok) {
    t.rec.RESULTCODE = importResult_;
    moveTaskOn(t.rec, wasRunNow_, logAdded_ ? logStart_ : at, at);
    static_cast<void>(store::UppDat(s_, t, store::UppChange, store::ErrRelease));
  }
  OP_CLOSE(s_, OpClose, {FileNo::Tasks});
}

void TaskProcessor::endImports() {
  updateTaskAfterRun();
  batch_ = BatchInfo{};
  // The clean-up list: for every database that received messages, in the
  // order noted, the chosen procedures.
  for (uint32_t db : noted_) {
    if (task_.doMerge) cleanUps_.push_back({db, StepMerge});
    if (task_.doPurge) cleanUps_.push_back({db, StepPurge});
    if (task_.doCount && !task_.doPurge) cleanUps_.push_back({db, StepCount});  // the purge counts as well
    if (task_.doIndex) {
      store::Forums f;
      if (readForum(s_, db, f) && f.INDEXTYPE != 0) cleanUps_.push_back({db, StepIndex});
    }
  }
  cleanUpAt_ = 0;
  phase_ = Phase::CleanUp;
}

void TaskProcessor::cleanUpStep() {
  if (job_) {
    if (job_->step()) return;
    const uint8_t r = job_->result();
    CleanUpEntry& e = cleanUps_[cleanUpAt_];
    if (r != 1) {
      std::string f = job_->failure();
      failures_.push_back(std::string(cleanUpName(e.type)) + " (database " + std::to_string(e.forumId) + ")" +
                          (f.empty() ? "" : ": " + f));
    }
    job_.reset();
    e.done = true;
    e.result = r;
    finishLogItem(e.type, jobItemStart_, r);
    ++cleanUpAt_;
    if (s_.DoTask == 6 || interrupted_) {
      phase_ = Phase::Finish;
      return;
    }
  }
  if (s_.DoTask == 6 || interrupted_ || cleanUpAt_ >= cleanUps_.size()) {
    phase_ = Phase::Finish;
    return;
  }
  CleanUpEntry& e = cleanUps_[cleanUpAt_];
  jobItemStart_ = addLogItem(e.type, 0);
  auto it = runners_.byType.find(e.type);
  if (it != runners_.byType.end()) job_ = it->second(s_, e.forumId);
  if (!job_) {
    failures_.push_back(std::string(cleanUpName(e.type)) + " (database " + std::to_string(e.forumId) +
                        "): not available");
    e.done = true;
    e.result = 2;
    finishLogItem(e.type, jobItemStart_, 2);
    ++cleanUpAt_;
  }
}

void TaskProcessor::finish() {
  const Moment at = now();
  if (s_.DoTask == 6 && !interrupted_) {
    // A run broken off by the user: the task is switched off.
    OP_CLOSE(s_, OpOpen, {FileNo::Tasks});
    auto& t = s_.table<Tasks>(FileNo::Tasks);
    t.clear();
    t.rec.ID = task_.id;
    if (t.get(Tasks::IdKey) == Err::Ok) {
      t.rec.ACTIVE = 0;
      t.rec.RUNNOWDATE = 0;
      t.rec.RUNNOWTIME = 0;
      static_cast<void>(store::UppDat(s_, t, store::UppChange, store::ErrRelease));
    }
    OP_CLOSE(s_, OpClose, {FileNo::Tasks});
  }
  // The log record: its end and the combined result of its items.
  std::vector<uint8_t> results;
  for (const LogRun& r : readTaskLog(s_, task_.id))
    if (r.id == logId_)
      for (const LogItem& i : r.items) results.push_back(i.result);
  result_ = combineResults(results);
  if (interrupted_ || s_.DoTask == 6) result_ = 2;
  if (logAdded_) {
    OP_CLOSE(s_, OpOpen, {FileNo::TaskLog});
    auto& log = s_.table<TaskLog>(FileNo::TaskLog);
    log.clear();
    log.rec.TASKLOGID = logId_;
    if (log.get(TaskLog::IdKey) == Err::Ok) {
      log.rec.DATEFINISHED = at.date;
      log.rec.TIMEFINISHED = at.time;
      log.rec.RESULTCODE = result_;
      static_cast<void>(store::UppDat(s_, log, store::UppChange, store::ErrRelease));
    }
    OP_CLOSE(s_, OpClose, {FileNo::TaskLog});
  }
  cleanUps_.clear();
  noted_.clear();
  s_.DoTask = 0;
  phase_ = Phase::Done;
}

}  // namespace qb::scheduler
