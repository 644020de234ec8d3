#include "text/display_text.h"

#include "text/unicode.h"

namespace qb::text {

std::string utf8From1252(std::string_view text) { return fromWindows1252(text); }

bool isMultibyteUtf8(std::string_view text) {
  bool multi = false;
  for (unsigned char c : text)
    if (c >= 0x80) multi = true;
  return multi && isUtf8(text);
}

std::string displayText(std::string_view archiveText) { return archiveUtf8(archiveText); }

}  // namespace qb::text
