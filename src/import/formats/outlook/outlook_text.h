#pragma once
// Texts of Outlook items: bodies kept only as HTML or RTF turned into plain
// text, and recipients from the transport header or the display lists.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "import/formats/outlook/outlook_source.h"

namespace qb::import::outlook {

bool trimmedEmpty(std::string_view s);

// An HTML body (UTF-8) as plain UTF-8 text through the HTML-to-text routine.
std::string htmlBodyText(std::string_view html);
// A decompressed RTF body as plain UTF-8 text (encapsulated HTML through the
// HTML-to-text routine).
std::string rtfBodyText(std::string_view rtf);

// The recipients of an item: the "To:" and "Cc:" lines of its transport
// header (folded lines joined) when it has a "To:" line; otherwise the
// display lists (PR_DISPLAY_TO, PR_DISPLAY_CC) split at ";", each name
// standing for the address as well.
std::vector<OutlookRecipient> recipientsOf(std::string_view header, std::string_view displayTo,
                                           std::string_view displayCc);

}  // namespace qb::import::outlook
