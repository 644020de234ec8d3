#pragma once
// HTML to plain text, in one pass over the text. Everything before the first
// "<" is dropped (a text without any "<" is no markup and stays as it is); tags give line and paragraph breaks, list bullets ("* "),
// indented definitions, link addresses ("[address] " after the anchor text);
// TITLE text is dropped; after "</HTML>" the rest is dropped; runs of blanks
// and line ends become one blank outside PRE; the ISO-8859-1 entities of the
// usual families (acute, grave, circ, tilde, uml, ...) and numeric character
// references become their characters in UTF-8 (the HTML is UTF-8 text);
// unknown entities stay as written. STYLE and SCRIPT bodies are dropped like
// the TITLE. The result is at most 64000 bytes.

#include <string>
#include <string_view>

namespace qb::text {

std::string htmlToText(std::string_view html);
// Same, writing into `out` (cleared first; its capacity is reused).
void htmlToText(std::string_view html, std::string& out);

// The Windows-1252 byte of an entity name (without "&" and ";", any case; the
// case of the first letter chooses capital or small letter), or -1 when not
// recognised.
int entityByte(std::string_view name);

}  // namespace qb::text
