#pragma once
// The scheduler's files, all in the configuration directory (CFG): tasks
// (26), the links that put batches into tasks (35), the task log (41) and
// its items (42); the batches (34) themselves are the import definitions
// of archive/batch_records.h.
//
// Members are named after the record fields without their prefix
// (TAS:DESCRIPTION is Tasks::DESCRIPTION).

#include <array>
#include <cstdint>

#include "archive/batch_records.h"
#include "store/keyed_file.h"
#include "store/record.h"

namespace qb::scheduler {

using store::FixedString;
using store::Layout;

// ---- Tasks: one record per scheduled task (file 26) -------------------------
// DAYS: one byte per weekday, Sunday first, nonzero = run on that weekday.
// MONTHDAYS: up to five days of the month (1 to 31), 0 = not set.
struct Tasks {
  uint32_t ID = 0;
  FixedString<50> DESCRIPTION;
  int32_t RUNNOWDATE = 0;
  int32_t RUNNOWTIME = 0;
  int32_t RUNNEXTDATE = 0;
  int32_t RUNNEXTTIME = 0;
  int32_t LASTRUNDATE = 0;
  int32_t LASTRUNTIME = 0;
  std::array<uint8_t, 7> DAYS{};
  std::array<uint8_t, 5> MONTHDAYS{};
  uint8_t DODUPELIM = 0;
  uint8_t DOPURGE = 0;
  uint8_t DOCOUNT = 0;
  uint8_t DOINDEX = 0;
  uint8_t RESULTCODE = 0;
  uint8_t ACTIVE = 0;

  template <class V>
  void visit(V& v) {
    static const char* const dayNames[7] = {"DAYS[1]", "DAYS[2]", "DAYS[3]", "DAYS[4]",
                                            "DAYS[5]", "DAYS[6]", "DAYS[7]"};
    static const char* const monthDayNames[5] = {"MONTHDAYS[1]", "MONTHDAYS[2]", "MONTHDAYS[3]",
                                                 "MONTHDAYS[4]", "MONTHDAYS[5]"};
    v("ID", ID);
    v("DESCRIPTION", DESCRIPTION);
    v("RUNNOWDATE", RUNNOWDATE);
    v("RUNNOWTIME", RUNNOWTIME);
    v("RUNNEXTDATE", RUNNEXTDATE);
    v("RUNNEXTTIME", RUNNEXTTIME);
    v("LASTRUNDATE", LASTRUNDATE);
    v("LASTRUNTIME", LASTRUNTIME);
    for (std::size_t i = 0; i < 7; ++i) v(dayNames[i], DAYS[i]);
    for (std::size_t i = 0; i < 5; ++i) v(monthDayNames[i], MONTHDAYS[i]);
    v("DODUPELIM", DODUPELIM);
    v("DOPURGE", DOPURGE);
    v("DOCOUNT", DOCOUNT);
    v("DOINDEX", DOINDEX);
    v("RESULTCODE", RESULTCODE);
    v("ACTIVE", ACTIVE);
  }
  static const Layout& layout();
  static constexpr int IdKey = 0;
};

// ---- Batches: the predefined import procedures (file 34) are declared with
// their selection lines in archive/batch_records.h (the import wizard
// saves them, import/import_definition.h reads them back).
using store::Batches;

// ---- TaskBatchLinks: a batch included in a task (file 35) -------------------
struct TaskBatchLinks {
  uint32_t TASKID = 0;
  uint32_t BATCHID = 0;
  int32_t EVENTTIME = 0;   // seconds the batch's import took in the current run
  uint8_t RESULTCODE = 0;  // 0 not run yet, 1 OK, 2 error

  template <class V>
  void visit(V& v) {
    v("TASKID", TASKID);
    v("BATCHID", BATCHID);
    v("EVENTTIME", EVENTTIME);
    v("RESULTCODE", RESULTCODE);
  }
  static const Layout& layout();
  static constexpr int TaskKey = 0;
  static constexpr int BatchKey = 1;
};

// ---- TaskLog: one record per run of a task (file 41) ------------------------
struct TaskLog {
  uint32_t TASKLOGID = 0;
  uint32_t TASKID = 0;
  int32_t DATESTARTED = 0;
  int32_t DATEFINISHED = 0;
  int32_t TIMESTARTED = 0;
  int32_t TIMEFINISHED = 0;
  uint8_t RESULTCODE = 0;

  template <class V>
  void visit(V& v) {
    v("TASKLOGID", TASKLOGID);
    v("TASKID", TASKID);
    v("DATESTARTED", DATESTARTED);
    v("DATEFINISHED", DATEFINISHED);
    v("TIMESTARTED", TIMESTARTED);
    v("TIMEFINISHED", TIMEFINISHED);
    v("RESULTCODE", RESULTCODE);
  }
  static const Layout& layout();
  static constexpr int IdKey = 0;
  static constexpr int ByTask = 1;
};

// ---- TaskLogItems: one record per step of a run (file 42) -------------------
struct TaskLogItems {
  uint32_t TASKLOGID = 0;
  uint32_t TYPE = 0;       // a StepType
  uint32_t BATCHID = 0;    // the batch of an import step; 0 for clean-up steps
  int32_t DATESTARTED = 0;
  int32_t DATEFINISHED = 0;
  int32_t TIMESTARTED = 0;
  int32_t TIMEFINISHED = 0;
  uint8_t RESULTCODE = 0;

  template <class V>
  void visit(V& v) {
    v("TASKLOGID", TASKLOGID);
    v("TYPE", TYPE);
    v("BATCHID", BATCHID);
    v("DATESTARTED", DATESTARTED);
    v("DATEFINISHED", DATEFINISHED);
    v("TIMESTARTED", TIMESTARTED);
    v("TIMEFINISHED", TIMEFINISHED);
    v("RESULTCODE", RESULTCODE);
  }
  static const Layout& layout();
  static constexpr int IdKey = 0;
};

}  // namespace qb::scheduler
