#pragma once
// The scheduler's rules about time, free of files so that they can be
// checked on their own: when a task is due, whether the scheduler may start
// one at all now, the next run date of a repeated task, and how the task
// log shows durations and results.
//
// Dates are day numbers and times are clock values as everywhere in the
// archive (text/datetime.h): a time is hundredths of a second since
// midnight plus one, 0 meaning none.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace qb::scheduler {

// A moment: a day number and a time value.
struct Moment {
  int32_t date = 0;
  int32_t time = 0;
};

// Why the scheduler may not start a task now.
enum class Gate {
  Open,          // a due task may start
  TaskActive,    // task processing is going on or its start window is open (DoTask not 0)
  Busy,          // a window that must not be interrupted is open
  Deactivated,   // "Deactivate ImportScheduler" is set
  Postponed,     // before the postponement moment
  QuietPeriod,   // inside the daily quiet period
};

struct GateState {
  uint8_t doTask = 0;
  int busy = 0;
  bool schedulerOff = false;
  Moment postponedUntil;    // date 0: no postponement
  int32_t quietFrom = 0;    // quiet period start time, 0 none
  int32_t quietTo = 0;      // and end time, 0 none
};

Gate checkGate(const GateState& g, Moment now);

// Whether `time` lies inside the quiet period from `from` to `to`. A period
// whose end is before its start runs across midnight (22:00 to 06:00 blocks
// the night). A period with a missing or equal start and end blocks nothing.
bool insideQuietPeriod(int32_t from, int32_t to, int32_t time);

// The repeat days of a task: weekdays (Sunday first) and up to five days of
// the month.
struct Repeat {
  std::array<uint8_t, 7> days{};
  std::array<uint8_t, 5> monthDays{};
  bool anyWeekday() const;
  bool anyMonthDay() const;
  bool any() const { return anyWeekday() || anyMonthDay(); }
};

// The next run date after `today`. With weekdays set: the earliest next such
// weekday after today (today's weekday gives today + 7). With only days of
// the month: the first set day later than today in this month, else the
// smallest set day of the next month (December rolls into January). A day
// the month does not have (31 in April, 30 in February) means that month's
// last day, so a task set to the 31st runs on every month's last day and is
// never skipped. 0 when no repeat day is set.
int32_t nextRunDate(const Repeat& r, int32_t today);

// The parts of a task that decide when it runs.
struct TaskTiming {
  uint32_t id = 0;
  bool active = false;
  bool hasBatch = false;
  Moment runNow;   // a request to run at once (time 0: none)
  Moment runNext;  // the next scheduled run (date 0: none)
};

// Whether a task is due at `now`: active, with a batch, and either with a
// run-now request of today or yesterday, or (when there is no such request
// date) past its next run date and time. A task without a next run date is
// not due by date.
bool taskDue(const TaskTiming& t, Moment now);
// Whether the run-now request of `t` counts at `now`.
bool runNowRequested(const TaskTiming& t, Moment now);

// The result of several steps: the first nonzero result, raised to 2 when a
// later step has 2.
uint8_t combineResult(uint8_t combined, uint8_t next);
uint8_t combineResults(const std::vector<uint8_t>& results);

// "Not run", "OK", "Error".
const char* resultName(uint8_t code);

// A duration between two moments as "H:MM:SS"; "N.A." for 24 hours or more,
// for 0 or less, and when either moment is missing.
std::string durationText(Moment started, Moment finished);
// Seconds between two moments (negative when `finished` is earlier).
int64_t secondsBetween(Moment started, Moment finished);

// A moment `hours` after `m` (for a postponement).
Moment addHours(Moment m, int hours);

}  // namespace qb::scheduler
