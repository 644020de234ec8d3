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

// Trimming of the given characters only, for texts in which the other blanks
// are content: fixed-width fields and captures padded with spaces (" "),
// header values (" \t"), stored fields padded with spaces and NULs.
inline std::string_view trimView(std::string_view s, std::string_view chars) {
  std::size_t b = s.find_first_not_of(chars);
  if (b == std::string_view::npos) return s.substr(s.size());
  return s.substr(b, s.find_last_not_of(chars) - b + 1);
}
inline std::string trim(std::string_view s, std::string_view chars) { return std::string(trimView(s, chars)); }
inline std::string_view trimRightView(std::string_view s, std::string_view chars) {
  std::size_t e = s.find_last_not_of(chars);
  return s.substr(0, e == std::string_view::npos ? 0 : e + 1);
}
inline std::string trimRight(std::string_view s, std::string_view chars) {
  return std::string(trimRightView(s, chars));
}
// Spaces only: fixed-width fields and captures, where tabs are content.
inline std::string_view trimSpacesView(std::string_view s) { return trimView(s, " "); }
inline std::string_view trimRightSpacesView(std::string_view s) { return trimRightView(s, " "); }
inline std::string trimRightSpaces(std::string_view s) { return std::string(trimRightSpacesView(s)); }

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
inline bool endsWith(std::string_view s, std::string_view tail) {
  return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
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

// Appends code point `cp` (below 0x110000) to `out` as UTF-8. Callers
// replace code points they must not write (surrogates, 0) before calling.
inline void appendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Windows-1252 upper and lower case of one byte (accented letters included),
// used for case-insensitive key components and identity strings of texts
// that are not UTF-8.
uint8_t upper1252(uint8_t c);
std::string upper1252(std::string_view s);
uint8_t lower1252(uint8_t c);
std::string lower1252(std::string_view s);

}  // namespace qb::text
