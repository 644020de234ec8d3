#pragma once
// Archive dates and times. A date is a day number counted from 28 December
// 1800 (day 4 = 1 January 1801, day 61730 = 1 January 1970), so that the day
// number modulo 7 is the weekday with 0 = Sunday; 0 means no date. A time is
// hundredths of a second since midnight plus one (1 = midnight); 0 means no
// time.

#include <cstdint>
#include <string>

namespace qb::text {

constexpr int32_t kDay1970 = 61730;

// Day number of a calendar date; 0 when the date is not valid (month 1-12,
// day within the month, year 1801-9999).
int32_t dayNumber(int year, int month, int day);
// Calendar date of a day number (> 0).
void calendarDate(int32_t dayNo, int& year, int& month, int& day);
inline int weekday(int32_t dayNo) { return dayNo % 7; }  // 0 = Sunday

// Time value of a clock time; 0 when not valid.
int32_t timeValue(int hour, int minute, int second = 0, int hundredths = 0);
void clockTime(int32_t t, int& hour, int& minute, int& second);

// Two-digit years: 00-49 are 2000-2049, 50-99 are 1950-1999.
int expandYear(int twoDigit);

// Today's date and the time of day now (local time).
int32_t today();
int32_t clockNow();

// "YYYY-MM-DD" and "HH:MM" for listings; empty for 0.
std::string formatDate(int32_t dayNo);
std::string formatTime(int32_t t);

}  // namespace qb::text
