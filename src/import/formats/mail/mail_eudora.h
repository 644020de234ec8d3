#pragma once
// The "Eudora" table of contents: a file with the mailbox's name and the
// extension TOC (any letter case) beside the mailbox. After a header of 104
// bytes, an entry of 218 bytes per message begins with the message's offset
// in the mailbox (unsigned 32-bit, little-endian).

#include <cstdint>
#include <string>
#include <vector>

#include "text/mime.h"

namespace qb::import::mail {

constexpr std::size_t kTocHeaderSize = 104;
constexpr std::size_t kTocEntrySize = 218;

// The table of contents beside a mailbox; empty when there is none.
std::string tableOfContentsPath(const std::string& mailbox);
// The message offsets of a table of contents, sorted; empty when the file
// is missing or holds no entry.
std::vector<uint64_t> readTableOfContents(const std::string& path);

// Eudora stores a body decoded and marks its kind with lines of its own:
// "<x-flowed>" ... "</x-flowed>" around flowed text (unwrapped here as
// readers show it, RFC 3676), "<x-html>" ... "</x-html>" around an HTML
// body (the text is then that HTML), "<x-rich>" ... "</x-rich>" around
// enriched text. The marker lines are removed; `form` gets the kind.
void readEudoraMarkers(std::string& body, text::TextForm& form);

}  // namespace qb::import::mail
