#include "text/month_date.h"

#include <array>

#include "text/datetime.h"
#include "text/strings.h"

namespace qb::text {

namespace {

struct MonthName {
  std::string_view name;
  int month;
};

constexpr std::array<MonthName, 32> kMonths = {{
    {"JAN", 1},  {"Jan", 1},  {"FEB", 2},      {"Feb", 2},      {"MAR", 3},  {"M\xC4R", 3},
    {"Mar", 3},  {"M\xE4r", 3}, {"APR", 4},    {"Apr", 4},      {"MAY", 5},  {"MAI", 5},
    {"May", 5},  {"Mai", 5},  {"JUN", 6},      {"Jun", 6},      {"JUL", 7},  {"Jul", 7},
    {"AUG", 8},  {"Aug", 8},  {"SEP", 9},      {"Sep", 9},      {"OCT", 10}, {"OKT", 10},
    {"Oct", 10}, {"Okt", 10}, {"NOV", 11},     {"Nov", 11},     {"DEC", 12}, {"DEZ", 12},
    {"Dec", 12}, {"Dez", 12},
}};

// Value of a text of 1-4 digits (blanks around it allowed); -1 otherwise.
int number(std::string_view s) {
  s = trimSpacesView(s);
  if (s.empty() || s.size() > 4) return -1;
  int v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return -1;
    v = v * 10 + (c - '0');
  }
  return v;
}

// s[pos, pos+n) or less when the text is shorter.
std::string_view part(std::string_view s, std::size_t pos, std::size_t n) {
  if (pos >= s.size()) return {};
  return s.substr(pos, n);
}

char at(std::string_view s, std::size_t pos) { return pos < s.size() ? s[pos] : ' '; }

std::size_t skipBlanks(std::string_view s, std::size_t pos) {
  while (pos < s.size() && s[pos] == ' ') ++pos;
  return pos;
}

std::size_t nextBlank(std::string_view s, std::size_t pos) {
  std::size_t b = s.find(' ', pos);
  return b == std::string_view::npos ? s.size() : b;
}

}  // namespace

int monthNumber(std::string_view name) {
  for (const auto& m : kMonths)
    if (m.name == name) return m.month;
  return 0;
}

int32_t monthNameDate(std::string_view day, std::string_view month, std::string_view year) {
  int m = monthNumber(month);
  int d = number(day);
  std::string_view y = trimSpacesView(year);
  int yv = number(y);
  if (m == 0 || d <= 0 || yv < 0) return 0;
  if (y.size() <= 2) yv = text::expandYear(yv);
  return text::dayNumber(yv, m, d);
}

int32_t dateDDMMMYY(std::string_view text) {
  return monthNameDate(part(text, 0, 2), part(text, 3, 3), part(text, 7, 2));
}

int32_t captureDate(std::string_view dateLine, bool tapcis5) {
  // Columns 5, 6 and 7 of the line are positions 4, 5 and 6.
  char buf[9];
  std::size_t n = 0;
  auto take = [&](bool leadingZero, std::size_t from, std::size_t count) {
    if (leadingZero) buf[n++] = '0';
    for (std::size_t i = 0; i < count && from + i < dateLine.size(); ++i)
      buf[n++] = static_cast<char>(text::upper1252(uint8_t(dateLine[from + i])));
  };
  const char c5 = at(dateLine, 4), c6 = at(dateLine, 5), c7 = at(dateLine, 6);
  if (tapcis5)
    take(false, 4, 9);
  else if (c5 == ' ' && c6 == ' ')
    return 0;
  else if (c5 == ' ' && c7 == '-')
    take(true, 5, 8);
  else if (c5 == ' ')
    take(false, 5, 9);
  else if (c6 == '-')
    take(true, 4, 8);
  else
    take(false, 4, 9);
  return dateDDMMMYY(std::string_view(buf, n));
}

int32_t clockTimeText(std::string_view text) {
  int h = number(part(text, 0, 2)), m = number(part(text, 3, 2)), s = 0;
  if (at(text, 2) != ':' || h < 0 || m < 0) return 0;
  if (at(text, 5) != ' ') {
    if (at(text, 5) != ':') return 0;
    s = number(part(text, 6, 2));
    if (s < 0) return 0;
  }
  return text::timeValue(h, m, s);
}

DateTime internetDate(std::string_view text) {
  // Upper-cased copy without leading blanks; a date text is short, so only
  // its first 100 characters are looked at.
  std::size_t lead = skipBlanks(text, 0);
  text = text.substr(lead);
  char buf[100];
  const std::size_t len = text.size() < sizeof buf ? text.size() : sizeof buf;
  for (std::size_t i = 0; i < len; ++i) buf[i] = static_cast<char>(text::upper1252(uint8_t(text[i])));
  const std::string_view s(buf, len);

  std::string_view day, month, year;
  std::size_t timeStart = s.size();
  auto sameSeparator = [&](std::size_t a, std::size_t b) {
    return (at(s, a) == '-' && at(s, b) == '-') || (a < s.size() && b < s.size() && s[a] == ' ' && s[b] == ' ');
  };

  if (sameSeparator(2, 6)) {  // DD-MMM-YY, DD MMM YYYY
    day = part(s, 0, 2);
    month = part(s, 3, 3);
    if (at(s, 9) != ' ') {
      year = part(s, 7, 4);
      timeStart = 12;
    } else {
      year = part(s, 7, 2);
      timeStart = 10;
    }
  } else if (sameSeparator(1, 5)) {  // D-MMM-YY, D MMM YYYY
    day = part(s, 0, 1);
    month = part(s, 2, 3);
    if (at(s, 8) != ' ') {
      year = part(s, 6, 4);
      timeStart = 11;
    } else {
      year = part(s, 6, 2);
      timeStart = 9;
    }
  } else {
    const std::size_t comma = s.find(',');
    if (comma == std::string_view::npos) return {};
    std::size_t p = skipBlanks(s, comma + 1);
    if (comma == 3) {  // "TUE, 3 MAR 1998 10:15:00 +0100"
      std::size_t dayLen = at(s, p + 1) != ' ' ? 2 : 1;
      day = part(s, p, dayLen);
      p = skipBlanks(s, p + dayLen);
      month = part(s, p, 3);
      p = skipBlanks(s, p + 3);
    } else {  // "TUESDAY, MARCH 03, 1998 10:15"
      month = part(s, p, 3);
      std::size_t comma2 = s.find(',', p);
      if (comma2 == std::string_view::npos || comma2 < 2) return {};
      day = part(s, comma2 - 2, 2);
      p = skipBlanks(s, comma2 + 1);
    }
    std::size_t yearEnd = nextBlank(s, p);
    year = part(s, p, yearEnd - p);
    timeStart = skipBlanks(s, yearEnd);
  }

  DateTime dt;
  dt.date = monthNameDate(day, month, year);
  if (timeStart < s.size()) dt.time = clockTimeText(s.substr(timeStart));
  return dt;
}

}  // namespace qb::text
