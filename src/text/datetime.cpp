#include "text/datetime.h"

#include <cstdio>
#include <ctime>

namespace qb::text {

namespace {
// Days from 1970-01-01 of a proleptic Gregorian date (Howard Hinnant's
// civil-days algorithm).
int64_t daysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

bool leap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }
}  // namespace

int32_t dayNumber(int year, int month, int day) {
  static const int mdays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 1801 || year > 9999 || month < 1 || month > 12 || day < 1) return 0;
  int md = mdays[month - 1] + (month == 2 && leap(year) ? 1 : 0);
  if (day > md) return 0;
  return static_cast<int32_t>(daysFromCivil(year, month, day) + kDay1970);
}

void calendarDate(int32_t dayNo, int& year, int& month, int& day) {
  int64_t z = static_cast<int64_t>(dayNo) - kDay1970 + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t y = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(y + (month <= 2));
}

int32_t timeValue(int hour, int minute, int second, int hundredths) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 ||
      hundredths < 0 || hundredths > 99)
    return 0;
  return ((hour * 60 + minute) * 60 + second) * 100 + hundredths + 1;
}

void clockTime(int32_t t, int& hour, int& minute, int& second) {
  int32_t h = t > 0 ? (t - 1) / 100 : 0;
  hour = h / 3600;
  minute = (h / 60) % 60;
  second = h % 60;
}

int expandYear(int y) { return y < 50 ? 2000 + y : (y < 100 ? 1900 + y : y); }

int32_t today() {
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  return dayNumber(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
}

int32_t clockNow() {
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  return timeValue(tm.tm_hour, tm.tm_min, tm.tm_sec);
}

std::string formatDate(int32_t dayNo) {
  if (dayNo <= 0) return {};
  int y, m, d;
  calendarDate(dayNo, y, m, d);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, m, d);
  return buf;
}

std::string formatTime(int32_t t) {
  if (t <= 0) return {};
  int h, m, s;
  clockTime(t, h, m, s);
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02d:%02d", h, m);
  return buf;
}

}  // namespace qb::text
