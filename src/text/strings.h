// Small string routines shared by every subsystem: blank trimming, prefix
// tests and ASCII case, and the Windows-1252 case mapping of the archive's
// older texts and identity strings.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qb::text {

inline bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Removes blanks (space, tab, CR, LF) at the ends.
inline std::string_view trimView(std::string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && isBlank(s[b])) ++b;
  while (e > b && isBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}
inline std::string trim(std::string_view s) { return std::string(trimView(s)); }

inline std::string_view trimRightView(std::string_view s) {
  std::size_t e = s.size();
  while (e > 0 && isBlank(s[e - 1])) --e;
  return s.substr(0, e);
}
inline std::string trimRight(std::string_view s) { return std::string(trimRightView(s)); }

inline char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
inline char upperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
inline std::string lowerAscii(std::string_view s) {
  std::string r(s);
  for (auto& c : r) c = lowerAscii(c);
  return r;
}
inline std::string upperAscii(std::string_view s) {
  std::string r(s);
  for (auto& c : r) c = upperAscii(c);
  return r;
}

inline bool startsWith(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}
// Prefix test without regard to ASCII letter case.
inline bool startsWithNoCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (lowerAscii(s[i]) != lowerAscii(prefix[i])) return false;
  return true;
}
inline bool equalsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && startsWithNoCase(a, b);
}

// Windows-1252 upper and lower case of one byte (accented letters included),
// used for case-insensitive key components and identity strings of texts
// that are not UTF-8.
uint8_t upper1252(uint8_t c);
std::string upper1252(std::string_view s);
uint8_t lower1252(uint8_t c);
std::string lower1252(std::string_view s);

}  // namespace qb::text
