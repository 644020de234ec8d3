#pragma once
// Messages for today's mail programs: RFC 5322 header lines (Date, From,
// To, Cc, Subject, Message-ID where known, Newsgroups and References for
// forum and newsgroup messages), MIME headers declaring the text's
// character set, encoded words for non-ASCII header texts, and the "From "
// lines and quoting of mbox files (mboxrd). Lines end with "\n".

#include <cstdint>
#include <string>

#include "export/export_message.h"

namespace qb::exporting {

// The whole message: header, empty line, body (UTF-8, or US-ASCII when the
// text has no other characters; quoted-printable when a line would be
// longer than 998 bytes). `forumId` makes the identifiers of forum
// messages.
std::string internetMessage(const ExportMessage& m, uint32_t forumId);

// "From sender@address Tue Mar  3 10:15:00 1998\n": the separator line of
// an mbox file.
std::string mboxFromLine(const ExportMessage& m);

// mboxrd quoting: every line that begins with any number of ">" followed
// by "From " gets one more ">".
std::string mboxrdQuote(const std::string& message);

// An RFC 2047 encoded-word form of a header text (UTF-8, B encoding, words
// of at most 75 characters separated by folding); ASCII text is returned as
// it is.
std::string encodeHeaderText(const std::string& utf8);

// "Name <address>" for a header, the name quoted or encoded as needed.
std::string mailbox(const NameParts& p);

// Date header text: "Tue, 03 Mar 1998 10:15:00 -0000" (the zone is unknown).
std::string rfcDate(int32_t date, int32_t time);

}  // namespace qb::exporting
