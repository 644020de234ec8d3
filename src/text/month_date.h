#pragma once
// The month-name date rule shared by the CompuServe converters, the date
// lines of the capture files and the date of Internet "Date:" headers.
// Dates are archive day numbers (text/datetime.h), 0 when not valid; times
// are archive time values, 0 when absent.

#include <cstdint>
#include <string_view>

namespace qb::text {

// Month 1-12 of a three-letter month name in the accepted spellings (English
// and German, all upper case or capitalised: "JAN"/"Jan", "MAR"/"MÄR"/"Mar"/
// "Mär" with the Windows-1252 0xC4/0xE4, "MAY"/"MAI", "OCT"/"OKT",
// "DEC"/"DEZ", ...); 0 for any other spelling.
int monthNumber(std::string_view name);

// Day number of day, month name and year texts. A year of one or two digits
// is a two-digit year (00-49 are 2000-2049, 50-99 are 1950-1999); a longer
// one is used unchanged. Non-numeric parts or an unknown month give 0.
int32_t monthNameDate(std::string_view day, std::string_view month, std::string_view year);

// "DD-MMM-YY" (day characters 1-2, month 4-6, year 8-9).
int32_t dateDDMMMYY(std::string_view text);

// The date line of a forum capture (the line at offset 1 of a message
// block); its text starts in column 5. "TAPCIS 5.x" (`tapcis5`) reads the
// nine characters there as DD-MMM-YY; the other capture formats accept the
// date in column 5 or 6 with a one-digit day.
int32_t captureDate(std::string_view dateLine, bool tapcis5);

struct DateTime {
  int32_t date = 0;
  int32_t time = 0;
};

// The date of an Internet "Date:" header (the text after "Date:"): the
// shapes DD-MMM-YY, DD MMM YYYY, D-MMM-YY, D MMM YYYY, the weekday form
// "Tue, 3 Mar 1998 10:15:00 +0100" and the month-first form "Tuesday,
// March 03, 1998 10:15". The time is HH:MM:SS or HH:MM as written; a zone is
// ignored.
DateTime internetDate(std::string_view text);

// Reads HH:MM:SS, or HH:MM when the character five places on is blank or
// missing; 0 when it is not a time.
int32_t clockTimeText(std::string_view text);

}  // namespace qb::text
