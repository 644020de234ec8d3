#include "text/aisinb.h"

#include <array>
#include <string>

#include "text/strings.h"

namespace qb::text {

bool isLetterClass(unsigned char c) {
  return c == '1' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= 128 && c <= 133);
}

bool isDigitClass(unsigned char c) { return c >= '0' && c <= '9'; }

namespace {

bool numeric(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s)
    if (!isDigitClass(static_cast<unsigned char>(c))) return false;
  return true;
}

std::size_t scan(bool wholeWord, std::string_view needle, std::string_view hay) {
  const std::size_t n = needle.size(), m = hay.size();
  if (n == 0 || n > m) return std::string_view::npos;
  std::array<std::size_t, 256> skip;
  skip.fill(n);
  for (std::size_t i = 0; i + 1 < n; ++i) skip[static_cast<unsigned char>(needle[i])] = n - 1 - i;
  const bool digits = numeric(needle);
  auto word = [digits](char c) {
    auto u = static_cast<unsigned char>(c);
    return digits ? isDigitClass(u) : isLetterClass(u);
  };
  const char last = needle[n - 1];
  // e: 0-based index of the last character of the window.
  for (std::size_t e = n - 1; e < m; e += skip[static_cast<unsigned char>(hay[e])]) {
    if (hay[e] != last || hay.compare(e + 1 - n, n, needle) != 0) continue;
    const std::size_t s = e + 1 - n;
    if (!wholeWord) return s;
    if (s > 0 && word(hay[s - 1])) continue;
    if (e + 1 < m && word(hay[e + 1])) continue;
    return s;
  }
  return std::string_view::npos;
}

}  // namespace

int16_t AISINB(bool wholeWord, std::string_view needle, std::string_view haystack) {
  needle = trimRightView(needle);
  haystack = trimRightView(haystack);
  // Lengths are signed 16-bit values; skip distances are 8-bit.
  if (haystack.size() > 32767 || needle.size() > 255) return 0;
  std::size_t at = scan(wholeWord, needle, haystack);
  return at == std::string_view::npos ? 0 : static_cast<int16_t>(at + 1);
}

std::size_t findWord(bool wholeWord, std::string_view needle, std::string_view haystack) {
  return scan(wholeWord, needle, haystack);
}

}  // namespace qb::text
