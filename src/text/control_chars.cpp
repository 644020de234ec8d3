#include "text/control_chars.h"

#include "text/strings.h"

#include <cstdio>

namespace qb::text {
namespace {



}  // namespace

std::string visibleControls(std::string_view s, ControlStyle style, bool oneLine) {
  auto kept = [&](unsigned char c) { return c == '\t' || (!oneLine && (c == '\n' || c == '\r')); };
  std::string out;
  out.reserve(s.size());
  char buf[8];
  for (std::size_t i = 0; i < s.size(); ++i) {
    const auto c = static_cast<unsigned char>(s[i]);
    if ((c < 0x20 && !kept(c)) || c == 0x7F) {
      if (style == ControlStyle::Escape) {
        std::snprintf(buf, sizeof buf, "\\x%02X", c);
        out += buf;
      } else {
        appendUtf8(out, c == 0x7F ? 0x2421u : 0x2400u + c);
      }
      continue;
    }
    // C1 controls are U+0080..U+009F, in UTF-8 C2 80..C2 9F.
    if (c == 0xC2 && i + 1 < s.size()) {
      const auto n = static_cast<unsigned char>(s[i + 1]);
      if (n >= 0x80 && n <= 0x9F) {
        if (style == ControlStyle::Escape) {
          std::snprintf(buf, sizeof buf, "\\u%04X", static_cast<unsigned>(n));
          out += buf;
        } else {
          appendUtf8(out, 0xFFFD);
        }
        ++i;
        continue;
      }
    }
    out += static_cast<char>(c);
  }
  return out;
}

}  // namespace qb::text
