#pragma once
// StripChar: the clean-up of a converted message text shared by the CIM
// message files, the filing cabinet and the table formats.
//
//  1. Line ends (CR, LF) and the CompuServe text codes "@b" and "@l" are
//     removed from the end of the text, repeatedly, then from its start.
//  2. Mail only: a text that begins with an Internet header block (the test
//     of the embedded-header routine, text/mime.h) loses that block; the rest
//     is cut into line pieces at CR LF and joined again by the text
//     assembler, which turns HTML into text where the dropped header said so.

#include <string>

namespace qb::text {

enum class StripKind : int { Forum = 1, Mail = 2 };

std::string StripChar(StripKind kind, std::string text);

}  // namespace qb::text
