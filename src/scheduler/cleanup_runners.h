#pragma once
// The clean-up procedures a task runs on every database that received
// messages, behind one small interface so that the task processor neither
// knows nor cares how each is done:
//
//   type 6 "Merging Duplicate Persons", type 2 "Purging messages",
//   type 5 "Counting messages", type 4 "Word indexing".
//
// A CleanUpJob works on one database in bounded steps. The table of
// factories (CleanUpRunners) says which procedure makes which job; a type
// without a factory is recorded as failed ("Error") in the task log.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "archive/session.h"

namespace qb::scheduler {

class CleanUpJob {
 public:
  virtual ~CleanUpJob() = default;
  // One bounded step; false once the job has ended.
  virtual bool step() = 0;
  // Stops the job at its next step, leaving the database consistent.
  virtual void cancel() {}
  // 1 when the job completed, 2 when it failed or was stopped.
  virtual uint8_t result() const = 0;
  // Why it failed; empty when it did not.
  virtual std::string failure() const { return {}; }
};

// Makes the job of one clean-up type for database `forumId`; null when it
// cannot be made (the step is then recorded as failed).
using CleanUpFactory = std::function<std::unique_ptr<CleanUpJob>(store::Session&, uint32_t forumId)>;

struct CleanUpRunners {
  std::map<uint32_t, CleanUpFactory> byType;  // by StepType
  bool has(uint32_t type) const { return byType.count(type) != 0; }
};

// The procedures of the engine: counting and word indexing; merging
// duplicate persons and purging once the maintenance subsystem offers them.
CleanUpRunners defaultCleanUpRunners();

// A job that does its work in one call of a function (true on success).
std::unique_ptr<CleanUpJob> oneStepJob(std::function<bool(std::string& failure)> work);

}  // namespace qb::scheduler
