#pragma once
// The copy of one message as a plain quotation for the clipboard: a framed
// heading, the single-message header lines, the text (wrapped at the wrap
// column when wrap mode is on) and an end line. The message export builds
// its files from the same header and name pieces.

#include <cstdint>
#include <string>
#include <vector>

#include "archive/records.h"
#include "archive/session.h"

namespace qb::exporting {

// "05-Mar-97": two-digit day, English month abbreviation, two-digit year.
std::string forumDate(int32_t dayNo);
// "05-Mar-1997".
std::string newsDate(int32_t dayNo);

// Name text of a person in forum headers: A; L + " " + A; F + " " + L + " " + A.
std::string forumNameText(const store::Person& p);
// Name text in Internet-style headers: "<A>", L " <A>", F " " L " <A>"; a
// CompuServe address (without "@") gets the CompuServe mail domain.
std::string internetNameText(const store::Person& p);

// Breaks one line at the last blank at or before `column` (the blank is
// dropped), or after `column` when the first `column` characters hold none.
std::vector<std::string> wrapLine(const std::string& line, std::size_t column);

// The clipboard text of message `id` of the current database (MSG:MSGNUMBER
// or MAI:MAILID). Opens and closes the files it reads. Empty when the
// message is not found.
std::string messageCopyText(store::Session& s, uint32_t id);

}  // namespace qb::exporting
