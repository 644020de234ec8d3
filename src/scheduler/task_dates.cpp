#include "scheduler/task_dates.h"

#include <algorithm>
#include <cstdio>

#include "text/datetime.h"

namespace qb::scheduler {

namespace {
constexpr int64_t kHundredthsPerDay = 8640000;

int daysInMonth(int year, int month) {
  static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month == 2 && ((year % 4 == 0 && year % 100 != 0) || year % 400 == 0)) return 29;
  return days[month - 1];
}

// Day `day` of a month, or the month's last day when it is shorter.
int32_t dayOfMonth(int year, int month, int day) {
  return text::dayNumber(year, month, std::min(day, daysInMonth(year, month)));
}
}  // namespace

bool insideQuietPeriod(int32_t from, int32_t to, int32_t time) {
  if (from == 0 || to == 0 || from == to) return false;
  if (to > from) return time > from && time < to;
  return time > from || time < to;  // across midnight
}

Gate checkGate(const GateState& g, Moment now) {
  if (g.doTask != 0) return Gate::TaskActive;
  if (g.busy > 0) return Gate::Busy;
  if (g.schedulerOff) return Gate::Deactivated;
  if (g.postponedUntil.date != 0) {
    if (now.date < g.postponedUntil.date) return Gate::Postponed;
    if (now.date == g.postponedUntil.date && now.time < g.postponedUntil.time) return Gate::Postponed;
  }
  if (insideQuietPeriod(g.quietFrom, g.quietTo, now.time)) return Gate::QuietPeriod;
  return Gate::Open;
}

bool Repeat::anyWeekday() const {
  return std::any_of(days.begin(), days.end(), [](uint8_t d) { return d != 0; });
}

bool Repeat::anyMonthDay() const {
  return std::any_of(monthDays.begin(), monthDays.end(), [](uint8_t d) { return d >= 1 && d <= 31; });
}

int32_t nextRunDate(const Repeat& r, int32_t today) {
  if (r.anyWeekday()) {
    int32_t best = 0;
    const int wd = text::weekday(today);
    for (int d = 0; d < 7; ++d) {
      if (!r.days[static_cast<std::size_t>(d)]) continue;
      int ahead = (d - wd + 7) % 7;
      if (ahead == 0) ahead = 7;
      if (best == 0 || today + ahead < best) best = today + ahead;
    }
    return best;
  }
  if (!r.anyMonthDay()) return 0;
  int year, month, day;
  text::calendarDate(today, year, month, day);
  int32_t best = 0;
  // The candidates of this month and of the next; the next month always has
  // one later than today.
  for (int step = 0; step < 2; ++step) {
    int y = year, m = month + step;
    if (m > 12) {
      m = 1;
      ++y;
    }
    for (uint8_t md : r.monthDays) {
      if (md < 1 || md > 31) continue;
      int32_t c = dayOfMonth(y, m, md);
      if (c > today && (best == 0 || c < best)) best = c;
    }
    if (best) return best;
  }
  return best;
}

bool runNowRequested(const TaskTiming& t, Moment now) {
  return (t.runNow.date == now.date || t.runNow.date == now.date - 1) && t.runNow.date != 0 && t.runNow.time != 0;
}

bool taskDue(const TaskTiming& t, Moment now) {
  if (!t.active || !t.hasBatch) return false;
  if (runNowRequested(t, now)) return true;
  if (t.runNow.date == now.date || t.runNow.date == now.date - 1) return false;
  if (t.runNext.date == 0) return false;
  return now.date > t.runNext.date || (now.date == t.runNext.date && now.time >= t.runNext.time);
}

uint8_t combineResult(uint8_t combined, uint8_t next) {
  if (combined == 0) return next;
  if (next == 2) return 2;
  return combined;
}

uint8_t combineResults(const std::vector<uint8_t>& results) {
  uint8_t c = 0;
  for (uint8_t r : results) c = combineResult(c, r);
  return c;
}

const char* resultName(uint8_t code) {
  switch (code) {
    case 0: return "Not run";
    case 1: return "OK";
    case 2: return "Error";
    default: return "";
  }
}

int64_t secondsBetween(Moment a, Moment b) {
  int64_t h = (int64_t(b.date) - a.date) * kHundredthsPerDay + (int64_t(b.time) - a.time);
  return h / 100;
}

std::string durationText(Moment a, Moment b) {
  if (a.date == 0 || b.date == 0 || a.time == 0 || b.time == 0) return "N.A.";
  int64_t s = secondsBetween(a, b);
  if (s <= 0 || s >= 24 * 3600) return "N.A.";
  char buf[32];
  std::snprintf(buf, sizeof buf, "%d:%02d:%02d", int(s / 3600), int(s / 60 % 60), int(s % 60));
  return buf;
}

Moment addHours(Moment m, int hours) {
  int64_t t = int64_t(m.time) - 1 + int64_t(hours) * 360000;
  int64_t days = t / kHundredthsPerDay;
  t %= kHundredthsPerDay;
  return Moment{static_cast<int32_t>(m.date + days), static_cast<int32_t>(t + 1)};
}

}  // namespace qb::scheduler
