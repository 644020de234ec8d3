// The month-name date rule, capture date lines and Internet dates.
#include <gtest/gtest.h>

#include "text/month_date.h"
#include "text/datetime.h"

using qb::text::dayNumber;
using qb::text::timeValue;

namespace qb::text {
namespace {

using text::dayNumber;
using text::timeValue;

TEST(MonthName, EnglishAndGermanSpellings) {
  EXPECT_EQ(monthNumber("JAN"), 1);
  EXPECT_EQ(monthNumber("Feb"), 2);
  EXPECT_EQ(monthNumber("M\xC4R"), 3);
  EXPECT_EQ(monthNumber("M\xE4r"), 3);
  EXPECT_EQ(monthNumber("MAI"), 5);
  EXPECT_EQ(monthNumber("Mai"), 5);
  EXPECT_EQ(monthNumber("OKT"), 10);
  EXPECT_EQ(monthNumber("Okt"), 10);
  EXPECT_EQ(monthNumber("DEZ"), 12);
  EXPECT_EQ(monthNumber("Dez"), 12);
  // Only the listed spellings count.
  EXPECT_EQ(monthNumber("jan"), 0);
  EXPECT_EQ(monthNumber("MaR"), 0);
  EXPECT_EQ(monthNumber("MRZ"), 0);
  EXPECT_EQ(monthNumber("JANUARY"), 0);
  EXPECT_EQ(monthNumber(""), 0);
}

TEST(MonthName, DatesWithTwoAndFourDigitYears) {
  EXPECT_EQ(monthNameDate("05", "MAR", "95"), dayNumber(1995, 3, 5));
  EXPECT_EQ(monthNameDate("5", "Okt", "03"), dayNumber(2003, 10, 5));
  EXPECT_EQ(monthNameDate("31", "Dec", "1999"), dayNumber(1999, 12, 31));
  EXPECT_EQ(monthNameDate("31", "FEB", "95"), 0);
  EXPECT_EQ(monthNameDate("1x", "JAN", "95"), 0);
  EXPECT_EQ(monthNameDate("01", "XYZ", "95"), 0);
  EXPECT_EQ(monthNameDate("00", "JAN", "95"), 0);
  EXPECT_EQ(dateDDMMMYY("24-DEZ-96"), dayNumber(1996, 12, 24));
  EXPECT_EQ(dateDDMMMYY("24-DEC"), 0);
}

TEST(CaptureDate, OneDigitDayInColumnFiveOrSix) {
  const int32_t d = dayNumber(1995, 3, 5);
  EXPECT_EQ(captureDate("Dt: 05-MAR-95 12:30", false), d);
  EXPECT_EQ(captureDate("Dt:  5-Mar-95 12:30", false), d);
  EXPECT_EQ(captureDate("Dt: 5-Mar-95", false), d);
  EXPECT_EQ(captureDate("Dt:  05-Mar-95", false), d);
  EXPECT_EQ(captureDate("Dt: 12-M\xE4r-96", false), dayNumber(1996, 3, 12));
  EXPECT_EQ(captureDate("Dt: 01-okt-97", false), dayNumber(1997, 10, 1));  // upper-cased first
  EXPECT_EQ(captureDate("Dt:   05-MAR-95", false), 0);                     // columns 5 and 6 blank
  EXPECT_EQ(captureDate("Dt:", false), 0);
  EXPECT_EQ(captureDate("", false), 0);
}

TEST(CaptureDate, Tapcis5ReadsNineCharactersFromColumnFive) {
  EXPECT_EQ(captureDate("Dt: 05-Mar-95 12:30", true), dayNumber(1995, 3, 5));
  EXPECT_EQ(captureDate("Dt: 5-Mar-95", true), 0);  // no one-digit day here
}

TEST(InternetDate, ShapesWithHyphensAndBlanks) {
  DateTime dt = internetDate("03-Mar-98 10:15");
  EXPECT_EQ(dt.date, dayNumber(1998, 3, 3));
  EXPECT_EQ(dt.time, timeValue(10, 15, 0));
  dt = internetDate("  03 Mar 1998 10:15:07 +0100");
  EXPECT_EQ(dt.date, dayNumber(1998, 3, 3));
  EXPECT_EQ(dt.time, timeValue(10, 15, 7));
  dt = internetDate("3-Mar-98 09:05");
  EXPECT_EQ(dt.date, dayNumber(1998, 3, 3));
  EXPECT_EQ(dt.time, timeValue(9, 5, 0));
  dt = internetDate("3 Mai 2001 23:59:59");
  EXPECT_EQ(dt.date, dayNumber(2001, 5, 3));
  EXPECT_EQ(dt.time, timeValue(23, 59, 59));
  dt = internetDate("03-Mar-98");
  EXPECT_EQ(dt.date, dayNumber(1998, 3, 3));
  EXPECT_EQ(dt.time, 0);
}

TEST(InternetDate, WeekdayAndMonthFirstForms) {
  DateTime dt = internetDate("Tue, 3 Mar 1998 10:15:00 +0100");
  EXPECT_EQ(dt.date, dayNumber(1998, 3, 3));
  EXPECT_EQ(dt.time, timeValue(10, 15, 0));
  dt = internetDate("Fri, 24 Dec 1999 18:00 GMT");
  EXPECT_EQ(dt.date, dayNumber(1999, 12, 24));
  EXPECT_EQ(dt.time, timeValue(18, 0, 0));
  dt = internetDate("Mon,  1 Dez 97 07:30:00");
  EXPECT_EQ(dt.date, dayNumber(1997, 12, 1));
  dt = internetDate("Tuesday, March 03, 1998 10:15");
  EXPECT_EQ(dt.date, dayNumber(1998, 3, 3));
  EXPECT_EQ(dt.time, timeValue(10, 15, 0));
}

TEST(InternetDate, UnreadableDatesGiveNothing) {
  EXPECT_EQ(internetDate("").date, 0);
  EXPECT_EQ(internetDate("yesterday").date, 0);
  EXPECT_EQ(internetDate("Tue, xx Foo").date, 0);
  EXPECT_EQ(internetDate("Tuesday, March").date, 0);
  EXPECT_EQ(internetDate(",").date, 0);
  EXPECT_EQ(internetDate("03-Mar-98 ab:cd").time, 0);
  EXPECT_EQ(clockTimeText("25:00"), 0);
  EXPECT_EQ(clockTimeText("12:xx"), 0);
  EXPECT_EQ(clockTimeText("12.30"), 0);
}

}  // namespace
}  // namespace qb::text
