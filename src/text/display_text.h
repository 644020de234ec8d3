#pragma once
// Archive texts are UTF-8; archives written by earlier versions hold
// Windows-1252. For display every text is turned into UTF-8: a text that is
// valid UTF-8 is shown as it is, any other as Windows-1252.

#include <string>
#include <string_view>

namespace qb::text {

std::string displayText(std::string_view archiveText);
// Windows-1252 to UTF-8 (bytes without a character become U+FFFD).
std::string utf8From1252(std::string_view text);
// Valid UTF-8 with at least one multi-byte sequence.
bool isMultibyteUtf8(std::string_view text);

}  // namespace qb::text
