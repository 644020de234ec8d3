#pragma once
// What a purge or count run tells the task processing when it runs
// unattended (the scheduler's clean-up steps "Purging messages" and
// "Counting messages"). The scheduler gives the run an object of its own;
// interactive runs have none.
//
//   begins(kind, db)            the step starts
//   ended(kind, done, db)       the step has ended; `done` is set when the
//                               last counting step stored the totals. The
//                               answer names the next purge or count the run
//                               should do (kind 2 or 5 with its database),
//                               or kind 0 when none follows.
//   aborted(kind, db, cause)    the run stopped on a failure; the scheduler
//                               writes the task log entry and goes on with
//                               its next step.

#include <cstdint>
#include <string>

namespace qb::maintenance {

enum MaintenanceKind : int { KindPurge = 2, KindCount = 5 };

struct NextMaintenance {
  int kind = 0;          // KindPurge, KindCount, or 0 = nothing follows
  uint32_t forumId = 0;  // the database of the next step
};

class TaskReport {
 public:
  virtual ~TaskReport() = default;
  virtual void begins(int kind, uint32_t forumId) = 0;
  virtual NextMaintenance ended(int kind, bool done, uint32_t forumId) = 0;
  virtual void aborted(int kind, uint32_t forumId, const std::string& cause) = 0;
};

}  // namespace qb::maintenance
