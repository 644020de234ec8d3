#include "scheduler/task_records.h"

#include <memory>

#include "archive/session.h"

namespace qb::scheduler {

using store::asc;
using store::declareLayout;
using store::Dups;
using store::key;
using store::Primary;
using store::Unique;

const Layout& Tasks::layout() {
  static const Layout l =
      declareLayout<Tasks>("Tasks", "TAS", 96, false, {key("IDKEY", {asc("ID")}, Unique | Primary)});
  return l;
}

const Layout& TaskBatchLinks::layout() {
  static const Layout l = declareLayout<TaskBatchLinks>(
      "TaskBatchLinks", "TIM", 13, false,
      {key("TASKKEY", {asc("TASKID"), asc("BATCHID")}, Unique | Primary), key("BATCHKEY", {asc("BATCHID")}, Dups)});
  return l;
}

const Layout& TaskLog::layout() {
  static const Layout l = declareLayout<TaskLog>(
      "TaskLog", "TLO", 25, false,
      {key("IDKEY", {asc("TASKLOGID")}, Unique | Primary), key("BYTASK", {asc("TASKID"), asc("TASKLOGID")}, Unique)});
  return l;
}

const Layout& TaskLogItems::layout() {
  static const Layout l = declareLayout<TaskLogItems>(
      "TaskLogItems", "TLI", 29, false,
      {key("IDKEY", {asc("TASKLOGID"), asc("TYPE"), asc("DATESTARTED"), asc("TIMESTARTED")}, Unique | Primary)});
  return l;
}

namespace {
using store::FileNo;
using store::FileRegistration;
using store::Table;
FileRegistration tasksReg(FileNo::Tasks, [] { return std::make_unique<Table<Tasks>>(); });
FileRegistration linksReg(FileNo::TaskBatchLinks, [] { return std::make_unique<Table<TaskBatchLinks>>(); });
FileRegistration logReg(FileNo::TaskLog, [] { return std::make_unique<Table<TaskLog>>(); });
FileRegistration itemsReg(FileNo::TaskLogItems, [] { return std::make_unique<Table<TaskLogItems>>(); });
}  // namespace

}  // namespace qb::scheduler
