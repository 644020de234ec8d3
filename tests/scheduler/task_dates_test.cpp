// The scheduler's rules about time: when it may start a task, when a task
// is due, and the next run date of repeated tasks.
#include <gtest/gtest.h>

#include "scheduler/task_dates.h"
#include "text/datetime.h"

using namespace qb::scheduler;
using qb::text::dayNumber;
using qb::text::timeValue;

namespace {

Moment at(int y, int m, int d, int hh, int mm) { return Moment{dayNumber(y, m, d), timeValue(hh, mm)}; }

TaskTiming task(Moment next, Moment runNow = {}) {
  TaskTiming t;
  t.id = 1;
  t.active = true;
  t.hasBatch = true;
  t.runNext = next;
  t.runNow = runNow;
  return t;
}

Repeat weekdays(std::initializer_list<int> days) {
  Repeat r;
  for (int d : days) r.days[static_cast<std::size_t>(d)] = 1;
  return r;
}

Repeat monthDays(std::initializer_list<int> days) {
  Repeat r;
  std::size_t i = 0;
  for (int d : days) r.monthDays[i++] = static_cast<uint8_t>(d);
  return r;
}

}  // namespace

TEST(DueTask, RunNowRequestCountsTodayAndYesterdayOnly) {
  const Moment now = at(2026, 3, 10, 12, 0);
  const Moment farNext = at(2027, 1, 1, 0, 0);
  EXPECT_TRUE(taskDue(task(farNext, {now.date, timeValue(9, 0)}), now));
  EXPECT_TRUE(taskDue(task(farNext, {now.date - 1, timeValue(23, 0)}), now));
  EXPECT_FALSE(taskDue(task(farNext, {now.date - 2, timeValue(23, 0)}), now));
  // A request date without a time is no request; being today it also
  // keeps the date rule from applying.
  EXPECT_FALSE(taskDue(task(at(2026, 3, 1, 0, 0), {now.date, 0}), now));
}

TEST(DueTask, NextRunDateAndTime) {
  const Moment next = at(2026, 3, 10, 14, 30);
  EXPECT_FALSE(taskDue(task(next), at(2026, 3, 10, 14, 29)));
  EXPECT_TRUE(taskDue(task(next), at(2026, 3, 10, 14, 30)));
  EXPECT_TRUE(taskDue(task(next), at(2026, 3, 11, 0, 1)));  // a later day, whatever the time
  EXPECT_FALSE(taskDue(task(next), at(2026, 3, 9, 23, 59)));
  // No next date: not due by date.
  EXPECT_FALSE(taskDue(task(Moment{}), at(2026, 3, 10, 14, 30)));
}

TEST(DueTask, InactiveOrWithoutBatchNeverDue) {
  TaskTiming t = task(at(2026, 1, 1, 0, 0), {dayNumber(2026, 3, 10), 5});
  t.active = false;
  EXPECT_FALSE(taskDue(t, at(2026, 3, 10, 12, 0)));
  t.active = true;
  t.hasBatch = false;
  EXPECT_FALSE(taskDue(t, at(2026, 3, 10, 12, 0)));
}

TEST(SchedulerGate, ClosedWhileBusyRunningOrDeactivated) {
  const Moment now = at(2026, 3, 10, 12, 0);
  GateState g;
  EXPECT_EQ(checkGate(g, now), Gate::Open);
  g.doTask = 2;
  EXPECT_EQ(checkGate(g, now), Gate::TaskActive);
  g.doTask = 0;
  g.busy = 1;
  EXPECT_EQ(checkGate(g, now), Gate::Busy);
  g.busy = 0;
  g.schedulerOff = true;
  EXPECT_EQ(checkGate(g, now), Gate::Deactivated);
}

TEST(SchedulerGate, PostponementByTwoHours) {
  GateState g;
  g.postponedUntil = addHours(at(2026, 3, 10, 14, 0), 2);
  EXPECT_EQ(checkGate(g, at(2026, 3, 10, 15, 59)), Gate::Postponed);
  EXPECT_EQ(checkGate(g, at(2026, 3, 10, 16, 0)), Gate::Open);
  // A postponement past midnight holds until the next day.
  g.postponedUntil = addHours(at(2026, 3, 10, 23, 0), 2);
  EXPECT_EQ(g.postponedUntil.date, dayNumber(2026, 3, 11));
  EXPECT_EQ(checkGate(g, at(2026, 3, 10, 23, 30)), Gate::Postponed);
  EXPECT_EQ(checkGate(g, at(2026, 3, 11, 0, 59)), Gate::Postponed);
  EXPECT_EQ(checkGate(g, at(2026, 3, 11, 1, 0)), Gate::Open);
}

TEST(SchedulerGate, QuietPeriodDuringTheDayAndAcrossMidnight) {
  GateState g;
  g.quietFrom = timeValue(8, 0);
  g.quietTo = timeValue(18, 0);
  EXPECT_EQ(checkGate(g, at(2026, 3, 10, 12, 0)), Gate::QuietPeriod);
  EXPECT_EQ(checkGate(g, at(2026, 3, 10, 7, 59)), Gate::Open);
  EXPECT_EQ(checkGate(g, at(2026, 3, 10, 18, 1)), Gate::Open);
  // 22:00 to 06:00 is the night.
  g.quietFrom = timeValue(22, 0);
  g.quietTo = timeValue(6, 0);
  EXPECT_EQ(checkGate(g, at(2026, 3, 10, 23, 0)), Gate::QuietPeriod);
  EXPECT_EQ(checkGate(g, at(2026, 3, 10, 3, 0)), Gate::QuietPeriod);
  EXPECT_EQ(checkGate(g, at(2026, 3, 10, 12, 0)), Gate::Open);
  EXPECT_EQ(checkGate(g, at(2026, 3, 10, 6, 1)), Gate::Open);
  // Without a period, or with equal start and end, nothing is blocked.
  g.quietTo = g.quietFrom;
  EXPECT_EQ(checkGate(g, at(2026, 3, 10, 22, 30)), Gate::Open);
}

TEST(NextRun, Weekdays) {
  const int32_t monday = dayNumber(2026, 3, 9);
  ASSERT_EQ(qb::text::weekday(monday), 1);
  // Monday and Thursday: from a Monday the Thursday, from a Thursday the next Monday.
  EXPECT_EQ(nextRunDate(weekdays({1, 4}), monday), monday + 3);
  EXPECT_EQ(nextRunDate(weekdays({1, 4}), monday + 3), monday + 7);
  // Only Monday, run on a Monday: a week later.
  EXPECT_EQ(nextRunDate(weekdays({1}), monday), monday + 7);
  // Saturday to Sunday across a year end.
  const int32_t sat = dayNumber(2026, 12, 26);
  ASSERT_EQ(qb::text::weekday(sat), 6);
  EXPECT_EQ(nextRunDate(weekdays({0}), sat), dayNumber(2026, 12, 27));
  // Weekdays take precedence over days of the month.
  Repeat both = weekdays({4});
  both.monthDays[0] = 10;
  EXPECT_EQ(nextRunDate(both, monday), monday + 3);
  EXPECT_EQ(nextRunDate(Repeat{}, monday), 0);
}

TEST(NextRun, DaysOfTheMonth) {
  EXPECT_EQ(nextRunDate(monthDays({5, 20}), dayNumber(2026, 3, 25)), dayNumber(2026, 4, 5));
  EXPECT_EQ(nextRunDate(monthDays({20, 5}), dayNumber(2026, 3, 10)), dayNumber(2026, 3, 20));
  EXPECT_EQ(nextRunDate(monthDays({20}), dayNumber(2026, 3, 20)), dayNumber(2026, 4, 20));
  // December rolls into January of the next year.
  EXPECT_EQ(nextRunDate(monthDays({5}), dayNumber(2026, 12, 10)), dayNumber(2027, 1, 5));
}

TEST(NextRun, DayThatAMonthDoesNotHaveIsItsLastDay) {
  // The 31st in April runs on the 30th, and from there on the 31st of May.
  EXPECT_EQ(nextRunDate(monthDays({31}), dayNumber(2026, 4, 10)), dayNumber(2026, 4, 30));
  EXPECT_EQ(nextRunDate(monthDays({31}), dayNumber(2026, 4, 30)), dayNumber(2026, 5, 31));
  EXPECT_EQ(nextRunDate(monthDays({31}), dayNumber(2026, 3, 31)), dayNumber(2026, 4, 30));
  // February, in a common and in a leap year.
  EXPECT_EQ(nextRunDate(monthDays({30}), dayNumber(2026, 1, 30)), dayNumber(2026, 2, 28));
  EXPECT_EQ(nextRunDate(monthDays({30}), dayNumber(2028, 1, 30)), dayNumber(2028, 2, 29));
  // Two days that fall on the same last day run once, then the next month.
  EXPECT_EQ(nextRunDate(monthDays({29, 31}), dayNumber(2026, 2, 28)), dayNumber(2026, 3, 29));
}

TEST(TaskLogRules, CombinedResultAndDuration) {
  EXPECT_EQ(combineResults({}), 0);
  EXPECT_EQ(combineResults({0, 1, 1}), 1);
  EXPECT_EQ(combineResults({1, 2, 1}), 2);
  EXPECT_EQ(combineResults({2, 1}), 2);
  EXPECT_EQ(combineResults({0, 2}), 2);
  EXPECT_STREQ(resultName(2), "Error");
  const Moment s = at(2026, 3, 10, 23, 0);
  EXPECT_EQ(durationText(s, at(2026, 3, 11, 0, 30)), "1:30:00");
  EXPECT_EQ(durationText(s, at(2026, 3, 11, 23, 0)), "N.A.");  // 24 hours
  EXPECT_EQ(durationText(s, s), "N.A.");
  EXPECT_EQ(durationText(s, at(2026, 3, 10, 22, 0)), "N.A.");
  EXPECT_EQ(durationText(s, Moment{}), "N.A.");
}
