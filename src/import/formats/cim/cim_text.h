#pragma once
// The text codes of the CIM message stores (also used by the filing
// cabinet): LF ends a line, "@b" ends a paragraph, "@l" may open the text.
//
//  - A text that begins with "@l" loses it and is converted by the line-feed
//    rule; only when that changes nothing the paragraph rule is applied. Any
//    other text takes the paragraph rule first and the line-feed rule when
//    the paragraph rule changes nothing.
//  - Line-feed rule: every LF becomes CR LF (an LF that already follows a CR
//    stays); blanks before a run of LF are removed.
//  - Paragraph rule: every "@b" is removed; LF characters right after it
//    become CR LF each; a CR LF right after it stays.
//  - When a rule changed the text, StripChar (text/strip_char.h) cleans its
//    ends with the kind (and drops a mail's embedded Internet header).

#include <string>

#include "text/strip_char.h"

namespace qb::import::cim {

std::string convertCimText(std::string text, text::StripKind kind);

// The two rules on their own; each returns whether it changed the text.
bool lineFeedRule(std::string& text);
bool paragraphRule(std::string& text);

}  // namespace qb::import::cim
