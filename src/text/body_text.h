#pragma once
// The body routine of the Internet formats (mail and news): turns the body
// of a message, or the chosen part of a multipart message, as it stands in
// the file into the archive's message text.
//
//  1. the transfer encoding is undone (quoted-printable or Base64; any other
//     body is taken as it stands: "=" at a line end of a 7-bit or 8-bit body
//     is text);
//  2. the bytes are converted from the declared charset into UTF-8
//     (toUtf8: an undeclared or unknown charset is read by the unlabelled
//     rule);
//  3. flowed text is unwrapped (RFC 3676);
//  4. the lines go through the text assembler: leading blank lines are
//     dropped, lines end with CR LF, HTML and enriched text become plain
//     text, and the text is cut at 64000 bytes at a character boundary.
//
// No line is cut short: a long line is queued in as many pieces as it needs.

#include <string>
#include <string_view>

#include "text/mime.h"
#include "text/text_assembler.h"

namespace qb::text {

std::string bodyText(std::string_view body, const TextForm& form);

// Offers one line to the text assembler in pieces of 400 characters, all
// but the last flagged as continued. False once the text is full.
bool addWholeLine(TextAssembler& text, std::string_view line);

}  // namespace qb::text
