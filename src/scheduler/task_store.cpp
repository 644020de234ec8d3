#include "scheduler/task_store.h"

#include <algorithm>
#include <map>

#include "archive/file_table.h"
#include "archive/record_access.h"
#include "import/import_definition.h"
#include "scheduler/task_records.h"
#include "scheduler/task_rows.h"

namespace qb::scheduler {

using store::Err;
using store::FileNo;
using store::OP_CLOSE;
using store::OpClose;
using store::OpOpen;
using store::Table;

namespace {

Table<Tasks>& tasks(store::Session& s) { return s.table<Tasks>(FileNo::Tasks); }
Table<Batches>& batches(store::Session& s) { return s.table<Batches>(FileNo::Batches); }
Table<TaskBatchLinks>& links(store::Session& s) { return s.table<TaskBatchLinks>(FileNo::TaskBatchLinks); }

// Opens files for the length of a scope.
struct Opened {
  Opened(store::Session& s, std::vector<FileNo> f) : s(s), files(std::move(f)) { OP_CLOSE(s, OpOpen, files); }
  ~Opened() { OP_CLOSE(s, OpClose, files); }
  store::Session& s;
  std::vector<FileNo> files;
};

}  // namespace

const char* stepKindName(uint32_t type) { return type == StepImport ? "Import" : "CleanUp"; }

const char* cleanUpName(uint32_t type) {
  switch (type) {
    case StepMerge: return "Merging Duplicate Persons";
    case StepPurge: return "Purging messages";
    case StepCount: return "Counting messages";
    case StepIndex: return "Word indexing";
    default: return "";
  }
}

TaskInfo taskRow(const Tasks& r) {
  TaskInfo t;
  t.id = r.ID;
  t.description = r.DESCRIPTION.str();
  t.runNow = {r.RUNNOWDATE, r.RUNNOWTIME};
  t.runNext = {r.RUNNEXTDATE, r.RUNNEXTTIME};
  t.lastRun = {r.LASTRUNDATE, r.LASTRUNTIME};
  t.days = r.DAYS;
  t.monthDays = r.MONTHDAYS;
  t.doMerge = r.DODUPELIM;
  t.doPurge = r.DOPURGE;
  t.doCount = r.DOCOUNT;
  t.doIndex = r.DOINDEX;
  t.result = r.RESULTCODE;
  t.active = r.ACTIVE == 1;
  return t;
}

void toRecord(const TaskInfo& t, Tasks& r) {
  r.ID = t.id;
  r.DESCRIPTION = t.description;
  r.RUNNOWDATE = t.runNow.date;
  r.RUNNOWTIME = t.runNow.time;
  r.RUNNEXTDATE = t.runNext.date;
  r.RUNNEXTTIME = t.runNext.time;
  r.LASTRUNDATE = t.lastRun.date;
  r.LASTRUNTIME = t.lastRun.time;
  for (std::size_t i = 0; i < 7; ++i) r.DAYS[i] = t.days[i] ? 1 : 0;
  for (std::size_t i = 0; i < 5; ++i) r.MONTHDAYS[i] = t.monthDays[i] <= 31 ? t.monthDays[i] : 0;
  r.DODUPELIM = t.doMerge;
  r.DOPURGE = t.doPurge;
  r.DOCOUNT = t.doCount;
  r.DOINDEX = t.doIndex;
  r.RESULTCODE = t.result;
  r.ACTIVE = t.active ? 1 : 0;
}

BatchInfo batchRow(const Batches& r) {
  BatchInfo b;
  b.id = r.ID;
  b.type = r.TYPE;
  b.description = r.DESCRIPTION.str();
  b.database = r.DATABASE;
  b.fileType = r.FILETYPE;
  b.path = r.IMPPATH.str();
  b.selMethod = r.SELMETHOD;
  b.mailbox = r.MAILBOX;
  b.mail = r.MAILMSG;
  b.forum = r.FORUMMSG;
  b.news = r.NEWSGROUPMSG;
  b.createOnly = r.MSGFILTER == 1;
  b.allowReimport = r.ALLOWREIMP;
  b.mailTopic = r.MAILTOPIC;
  return b;
}

void toRecord(const BatchInfo& b, Batches& r) {
  r.ID = b.id;
  r.TYPE = b.type;
  r.DESCRIPTION = b.description;
  r.DATABASE = b.database;
  r.FILETYPE = static_cast<uint8_t>(b.fileType);
  r.IMPPATH = b.path;
  r.SELMETHOD = static_cast<uint8_t>(b.selMethod);
  r.MAILBOX = b.mailbox;
  r.MAILMSG = b.mail;
  r.FORUMMSG = b.forum;
  r.NEWSGROUPMSG = b.news;
  r.MSGFILTER = b.createOnly ? 1 : 0;
  r.ALLOWREIMP = b.allowReimport;
  r.MAILTOPIC = b.mailTopic;
}

bool readForum(store::Session& s, uint32_t id, store::Forums& out) {
  if (id == 0) return false;
  Opened o(s, {FileNo::Forums});
  auto& f = s.Forums();
  f.clear();
  f.rec.ID = id;
  if (f.get(store::Forums::ForumKey) != Err::Ok) return false;
  out = f.rec;
  return true;
}

std::vector<uint32_t> batchesOfTask(store::Session& s, uint32_t taskId) {
  Opened o(s, {FileNo::TaskBatchLinks});
  auto& l = links(s);
  std::vector<uint32_t> out;
  l.clear();
  l.rec.TASKID = taskId;
  l.setAt(TaskBatchLinks::TaskKey, 1);
  while (l.next() == Err::Ok && l.rec.TASKID == taskId) out.push_back(l.rec.BATCHID);
  return out;
}

std::vector<TaskInfo> listTasks(store::Session& s) {
  std::vector<TaskInfo> out;
  {
    Opened o(s, {FileNo::Tasks});
    auto& t = tasks(s);
    t.clear();
    t.set(Tasks::IdKey);
    while (t.next() == Err::Ok) out.push_back(taskRow(t.rec));
  }
  for (auto& t : out) t.batches = batchesOfTask(s, t.id);
  return out;
}

bool readTask(store::Session& s, uint32_t id, TaskInfo& out) {
  {
    Opened o(s, {FileNo::Tasks});
    auto& t = tasks(s);
    t.clear();
    t.rec.ID = id;
    if (id == 0 || t.get(Tasks::IdKey) != Err::Ok) return false;
    out = taskRow(t.rec);
  }
  out.batches = batchesOfTask(s, id);
  return true;
}

bool saveTask(store::Session& s, TaskInfo& info) {
  Opened o(s, {FileNo::Tasks, FileNo::TaskBatchLinks, FileNo::Control});
  auto& t = tasks(s);
  auto& l = links(s);
  if (!store::beginTransaction(s, {&t, &l, &s.Control()})) return false;
  const bool isNew = info.id == 0;
  if (isNew) {
    info.id = store::NextNr(s);
    if (info.id == 0) {
      s.transaction().rollback();
      return false;
    }
    t.clear();
    toRecord(info, t.rec);
    if (!store::UppDat(s, t, store::UppAdd, store::ErrRollback)) return info.id = 0, false;
  } else {
    t.clear();
    t.rec.ID = info.id;
    if (t.get(Tasks::IdKey) != Err::Ok) {
      s.transaction().rollback();
      return false;
    }
    toRecord(info, t.rec);
    if (!store::UppDat(s, t, store::UppChange, store::ErrRollback)) return false;
  }
  // The links: those no longer wanted go, new ones come; kept ones keep
  // their results of the current run.
  std::vector<uint32_t> wanted = info.batches;
  std::sort(wanted.begin(), wanted.end());
  wanted.erase(std::unique(wanted.begin(), wanted.end()), wanted.end());
  std::vector<int64_t> gone;
  std::vector<uint32_t> have;
  l.clear();
  l.rec.TASKID = info.id;
  l.setAt(TaskBatchLinks::TaskKey, 1);
  while (l.next() == Err::Ok && l.rec.TASKID == info.id) {
    if (std::binary_search(wanted.begin(), wanted.end(), l.rec.BATCHID))
      have.push_back(l.rec.BATCHID);
    else
      gone.push_back(l.position());
  }
  for (int64_t pos : gone)
    if (l.getPosition(pos) != Err::Ok || !store::UppDat(s, l, store::UppDelete, store::ErrRollback)) return false;
  for (uint32_t b : wanted) {
    if (std::find(have.begin(), have.end(), b) != have.end()) continue;
    l.clear();
    l.rec.TASKID = info.id;
    l.rec.BATCHID = b;
    if (!store::UppDat(s, l, store::UppAdd, store::ErrRollback)) return false;
  }
  info.batches = wanted;
  return store::commitTransaction(s);
}

bool deleteTask(store::Session& s, uint32_t id) {
  Opened o(s, {FileNo::Tasks, FileNo::TaskBatchLinks});
  auto& t = tasks(s);
  auto& l = links(s);
  t.clear();
  t.rec.ID = id;
  if (id == 0 || t.get(Tasks::IdKey) != Err::Ok) return false;
  if (!store::beginTransaction(s, {&t, &l})) return false;
  if (!store::UppDat(s, t, store::UppDelete, store::ErrRollback)) return false;
  for (;;) {
    l.clear();
    l.rec.TASKID = id;
    l.setAt(TaskBatchLinks::TaskKey, 1);
    if (l.next() != Err::Ok || l.rec.TASKID != id) break;
    if (!store::UppDat(s, l, store::UppDelete, store::ErrRollback)) return false;
  }
  return store::commitTransaction(s);
}

bool requestRunNow(store::Session& s, uint32_t id, Moment now) {
  Opened o(s, {FileNo::Tasks});
  auto& t = tasks(s);
  t.clear();
  t.rec.ID = id;
  if (id == 0 || t.get(Tasks::IdKey) != Err::Ok) return false;
  t.rec.RUNNOWDATE = now.date;
  t.rec.RUNNOWTIME = now.time ? now.time : 1;
  return store::UppDat(s, t, store::UppChange, store::ErrRelease) == 1;
}

std::vector<BatchInfo> listBatches(store::Session& s) {
  Opened o(s, {FileNo::Batches});
  auto& b = batches(s);
  std::vector<BatchInfo> out;
  b.clear();
  b.set(Batches::IdKey);
  while (b.next() == Err::Ok) out.push_back(batchRow(b.rec));
  return out;
}

bool readBatch(store::Session& s, uint32_t id, BatchInfo& out) {
  Opened o(s, {FileNo::Batches});
  auto& b = batches(s);
  b.clear();
  b.rec.ID = id;
  if (id == 0 || b.get(Batches::IdKey) != Err::Ok) return false;
  out = batchRow(b.rec);
  return true;
}

bool saveBatch(store::Session& s, BatchInfo& info) {
  Opened o(s, {FileNo::Batches, FileNo::Control});
  auto& b = batches(s);
  if (info.id == 0) {
    // A bare record without selection lines (createBatch() adds a batch as
    // the import wizard does).
    if (!store::beginTransaction(s, {&b, &s.Control()})) return false;
    info.id = store::NextNr(s);
    if (info.id == 0) {
      s.transaction().rollback();
      return false;
    }
    b.clear();
    toRecord(info, b.rec);
    if (!store::UppDat(s, b, store::UppAdd, store::ErrRollback)) return info.id = 0, false;
    return store::commitTransaction(s);
  }
  b.clear();
  b.rec.ID = info.id;
  if (b.get(Batches::IdKey) != Err::Ok) return false;
  toRecord(info, b.rec);
  return store::UppDat(s, b, store::UppChange, store::ErrRelease) == 1;
}

bool deleteBatch(store::Session& s, uint32_t id) {
  // The batch with its selection lines, then its links.
  if (id == 0 || !import::deleteImportDefinition(s, id)) return false;
  Opened o(s, {FileNo::TaskBatchLinks});
  auto& l = links(s);
  if (!store::beginTransaction(s, {&l})) return false;
  for (;;) {
    l.clear();
    l.rec.BATCHID = id;
    l.setAt(TaskBatchLinks::BatchKey, 1);
    if (l.next() != Err::Ok || l.rec.BATCHID != id) break;
    if (!store::UppDat(s, l, store::UppDelete, store::ErrRollback)) return false;
  }
  return store::commitTransaction(s);
}

std::vector<uint32_t> tasksOfBatch(store::Session& s, uint32_t batchId) {
  Opened o(s, {FileNo::TaskBatchLinks});
  auto& l = links(s);
  std::vector<uint32_t> out;
  l.clear();
  l.rec.BATCHID = batchId;
  l.setAt(TaskBatchLinks::BatchKey, 1);
  while (l.next() == Err::Ok && l.rec.BATCHID == batchId) out.push_back(l.rec.TASKID);
  return out;
}

int removeDatabaseFromBatches(store::Session& s, uint32_t forumId) {
  if (forumId == 0) return 0;
  Opened o(s, {FileNo::Batches});
  auto& b = batches(s);
  std::vector<int64_t> hit;
  b.clear();
  b.set(Batches::IdKey);
  while (b.next() == Err::Ok)
    if (b.rec.DATABASE == forumId || b.rec.MAILBOX == forumId) hit.push_back(b.position());
  int changed = 0;
  for (int64_t pos : hit) {
    if (b.getPosition(pos) != Err::Ok) continue;
    if (b.rec.DATABASE == forumId) b.rec.DATABASE = 0;
    if (b.rec.MAILBOX == forumId) {
      b.rec.MAILBOX = 0;
      b.rec.MAILTOPIC = 0;  // a topic belongs to its mail database
    }
    if (store::UppDat(s, b, store::UppChange, store::ErrRelease)) ++changed;
  }
  return changed;
}

std::vector<LogRun> readTaskLog(store::Session& s, uint32_t taskId) {
  Opened o(s, {FileNo::TaskLog, FileNo::TaskLogItems, FileNo::Tasks, FileNo::Batches});
  auto& log = s.table<TaskLog>(FileNo::TaskLog);
  auto& items = s.table<TaskLogItems>(FileNo::TaskLogItems);
  std::map<uint32_t, std::string> taskNames, batchNames;
  {
    auto& t = tasks(s);
    t.clear();
    t.set(Tasks::IdKey);
    while (t.next() == Err::Ok) taskNames[t.rec.ID] = t.rec.DESCRIPTION.str();
    auto& b = batches(s);
    b.clear();
    b.set(Batches::IdKey);
    while (b.next() == Err::Ok) batchNames[b.rec.ID] = b.rec.DESCRIPTION.str();
  }
  std::vector<LogRun> out;
  log.clear();
  log.set(TaskLog::IdKey);
  while (log.next() == Err::Ok) {
    if (taskId && log.rec.TASKID != taskId) continue;
    LogRun r;
    r.id = log.rec.TASKLOGID;
    r.taskId = log.rec.TASKID;
    r.task = taskNames.count(r.taskId) ? taskNames[r.taskId] : std::string();
    r.started = {log.rec.DATESTARTED, log.rec.TIMESTARTED};
    r.finished = {log.rec.DATEFINISHED, log.rec.TIMEFINISHED};
    r.result = log.rec.RESULTCODE;
    out.push_back(std::move(r));
  }
  for (auto& r : out) {
    items.clear();
    items.rec.TASKLOGID = r.id;
    items.setAt(TaskLogItems::IdKey, 1);
    while (items.next() == Err::Ok && items.rec.TASKLOGID == r.id) {
      LogItem it;
      it.type = items.rec.TYPE;
      it.batchId = items.rec.BATCHID;
      it.detail = it.type == StepImport ? (batchNames.count(it.batchId) ? batchNames[it.batchId] : std::string())
                                        : cleanUpName(it.type);
      it.started = {items.rec.DATESTARTED, items.rec.TIMESTARTED};
      it.finished = {items.rec.DATEFINISHED, items.rec.TIMEFINISHED};
      it.result = items.rec.RESULTCODE;
      r.items.push_back(std::move(it));
    }
    // Items in the order they ran.
    std::stable_sort(r.items.begin(), r.items.end(), [](const LogItem& a, const LogItem& b) {
      return a.started.date != b.started.date ? a.started.date < b.started.date : a.started.time < b.started.time;
    });
  }
  return out;
}

}  // namespace qb::scheduler
