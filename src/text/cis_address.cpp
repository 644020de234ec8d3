#include "text/cis_address.h"
#include "text/strings.h"
#include "text/unicode.h"

#include <cctype>

namespace qb::text {
namespace {

bool isNumber(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

// The name before an address: trailing ">" characters and blanks removed.
std::string nameBefore(std::string_view s) {
  std::string n(s);
  while (!n.empty() && (n.back() == ' ' || n.back() == '>')) n.pop_back();
  return n;
}

// Last blank at index 1 or later (position 2 or later), npos when none.
std::size_t lastBlankFrom2(std::string_view s) {
  std::size_t b = s.rfind(' ');
  return (b == std::string_view::npos || b < 1) ? std::string_view::npos : b;
}

NameAddress cut(NameAddress r, std::size_t nameLen, std::size_t addressLen) {
  r.name.resize(text::utf8Prefix(r.name, nameLen));
  r.address.resize(text::utf8Prefix(r.address, addressLen));
  return r;
}

// Step 4: mode 1 takes the whole text as the name; mode 2 splits at the
// last blank without removing anything.
NameAddress fallback(int mode, const std::string& t) {
  if (mode != 2) return {t, ""};
  std::size_t b = lastBlankFrom2(t);
  if (b == std::string::npos) return {"", t};
  return {t.substr(0, b), t.substr(b + 1)};
}

// Step 2: a numeric address "12345,678" (or "12345.678", "[12345,678]")
// at the end of the text. False when the text holds none.
bool numericAddress(const std::string& t, std::size_t k, NameAddress& r) {
  std::size_t len = t.size();
  bool bracket = t.back() == ']';
  if (bracket) --len;
  if (k + 1 >= len) return false;
  std::string after = t.substr(k + 1, len - k - 1);
  if (!after.empty() && after.front() == ' ') after.erase(0, 1);  // one blank after the separator
  if (!isNumber(after)) return false;
  std::size_t blank = t.rfind(' ', k - 1);  // k is at least 1
  std::size_t numStart = blank == std::string::npos ? 0 : blank + 1;
  if (bracket && numStart < k && t[numStart] == '[') ++numStart;  // the opening bracket
  std::string before = t.substr(numStart, k - numStart);
  if (!isNumber(before)) return false;
  r.address = before + "," + after;
  r.name = blank == std::string::npos ? std::string() : nameBefore(std::string_view(t).substr(0, blank));
  return true;
}

}  // namespace

NameAddress FindCISAdress(int mode, std::string_view text, std::size_t nameLen, std::size_t addressLen) {
  // The box-drawing character 179 counts as a blank.
  std::string t(text);
  for (char& c : t)
    if (static_cast<unsigned char>(c) == 179) c = ' ';
  t = text::trimRightSpaces(t);
  if (t.empty()) return {};

  // Step 1: a gateway address after "CSINET".
  if (mode == 2) {
    std::size_t c = t.find("CSINET");
    if (c != std::string::npos) {
      std::size_t a = c + 6;
      if (a < t.size() && t[a] == ':') ++a;
      NameAddress r;
      r.address = t.substr(a);
      std::size_t at = r.address.find('@', 1);
      if (r.address.size() >= 5 && at != std::string::npos) r.address.resize(at);
      r.name = text::trimRightSpaces(t.substr(0, c));
      return cut(r, nameLen, addressLen);
    }
  }

  // Step 2: a comma or full stop between positions 2 and L-2.
  const std::size_t L = t.size();
  std::size_t k = std::string::npos;
  if (L >= 4)
    for (std::size_t i = L - 3; i >= 1; --i)
      if (t[i] == ',' || t[i] == '.') {
        k = i;
        break;
      }
  if (k != std::string::npos) {
    NameAddress r;
    if (numericAddress(t, k, r)) return cut(r, nameLen, addressLen);
    return cut(fallback(mode, t), nameLen, addressLen);
  }

  // Step 3: no separator. Mode 2 splits at the last blank.
  if (mode == 2) {
    std::size_t b = lastBlankFrom2(t);
    if (b == std::string::npos) return cut({"", t}, nameLen, addressLen);
    NameAddress r{nameBefore(std::string_view(t).substr(0, b)), t.substr(b + 1)};
    std::size_t colon = r.address.find(':');
    if (colon != std::string::npos && colon + 1 < r.address.size()) r.address = r.address.substr(colon + 1);
    return cut(r, nameLen, addressLen);
  }
  return cut(fallback(mode, t), nameLen, addressLen);
}

}  // namespace qb::text
