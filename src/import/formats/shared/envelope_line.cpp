#include "import/formats/shared/envelope_line.h"

#include <array>

#include "text/strings.h"

namespace qb::import {

namespace {

constexpr std::size_t kAtSpan = 100;  // the "@" of an address envelope lies within these

// The next blank-separated word of `s` from `pos` (blanks before it passed
// over); empty at the end.
std::string_view nextWord(std::string_view s, std::size_t& pos) {
  while (pos < s.size() && (s[pos] == ' ' || s[pos] == '\t')) ++pos;
  std::size_t start = pos;
  while (pos < s.size() && s[pos] != ' ' && s[pos] != '\t' && s[pos] != '\r' && s[pos] != '\n') ++pos;
  return s.substr(start, pos - start);
}

bool oneOf(std::string_view word, const std::array<std::string_view, 12>& names, std::size_t count) {
  if (word.size() != 3) return false;
  for (std::size_t i = 0; i < count; ++i)
    if (text::equalsNoCase(word, names[i])) return true;
  return false;
}

constexpr std::array<std::string_view, 12> kDays = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
constexpr std::array<std::string_view, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

bool digits(std::string_view s, std::size_t min, std::size_t max) {
  if (s.size() < min || s.size() > max) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

// hh:mm or hh:mm:ss
bool isTime(std::string_view s) {
  if (s.size() != 5 && s.size() != 8) return false;
  if (!digits(s.substr(0, 2), 2, 2) || s[2] != ':' || !digits(s.substr(3, 2), 2, 2)) return false;
  return s.size() == 5 || (s[5] == ':' && digits(s.substr(6, 2), 2, 2));
}

bool isZone(std::string_view s) {
  if (s.empty() || s.size() > 6) return false;
  if (s[0] == '+' || s[0] == '-') return digits(s.substr(1), 4, 4);
  for (char c : s)
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) return false;
  return true;
}

}  // namespace

bool isAsctimeDate(std::string_view text) {
  std::size_t pos = 0;
  if (!oneOf(nextWord(text, pos), kDays, 7)) return false;
  if (!oneOf(nextWord(text, pos), kMonths, 12)) return false;
  if (!digits(nextWord(text, pos), 1, 2)) return false;
  if (!isTime(nextWord(text, pos))) return false;
  std::string_view w = nextWord(text, pos);
  for (int zones = 0; zones < 2 && !digits(w, 4, 4) && !digits(w, 2, 2) && isZone(w); ++zones) w = nextWord(text, pos);
  return digits(w, 4, 4) || digits(w, 2, 2);
}

bool isEnvelopeLine(std::string_view line) {
  if (!text::startsWith(line, "From ")) return false;
  if (line.substr(0, kAtSpan).find('@') != std::string_view::npos) return true;
  std::size_t pos = 5;
  if (nextWord(line, pos).empty()) return false;  // the sender
  return isAsctimeDate(line.substr(pos));
}

}  // namespace qb::import
