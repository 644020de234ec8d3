// The header classifier: which header a line begins, by its upper-cased
// first 50 characters.

#include <string>

#include "import/formats/shared/envelope_line.h"
#include "import/formats/shared/internet_header.h"
#include "store/record.h"

namespace qb::import {
namespace {

bool has(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

// True when `what` occurs in s at a starting index from `from` to `to`.
bool occursFrom(std::string_view s, std::string_view what, std::size_t from, std::size_t to) {
  std::size_t i = s.find(what, from);
  return i != std::string_view::npos && i <= to;
}

}  // namespace

int classifyHeader(std::string_view line) {
  if (isEnvelopeLine(line)) return HdrOther;  // a mailbox separator
  if (line.size() > 50) line = line.substr(0, 50);
  const std::string u = text::upper1252(line);
  const std::string_view s = u;
  if (s.empty()) return HdrNone;
  switch (s[0]) {
    case 'C':
      if (has(s, "COMMENTS:") || has(s, "CONTENT-MD5:") || has(s, "CONTENT-TYPE:") || has(s, "CONTENT-LENGTH:") ||
          has(s, "CONTENT-TRANSFER-ENCODING:"))
        return HdrOther;
      break;
    case 'D':
      if (has(s, "DATE:")) return HdrDate;
      break;
    case 'F':
      if (has(s, "FROM:")) return HdrFrom;
      // A mailbox separator: "From addr@host date" or "From - date".
      if (has(s, "FROM ") && (occursFrom(s, "@", 5, 49) || occursFrom(s, " - ", 4, 7))) return HdrOther;
      break;
    case 'I':
      if (has(s, "IN-REPLY-TO:")) return HdrOther;
      break;
    case 'M':
      if (has(s, "MESSAGE-ID:")) return HdrMessageId;
      if (has(s, "MIME-VERSION:")) return HdrOther;
      break;
    case 'N':
      if (has(s, "NEWSGROUPS:")) return HdrNewsgroups;
      break;
    case 'P':
      if (has(s, "PATH:")) return HdrOther;
      break;
    case 'R':
      if (has(s, "RECEIVED:") || has(s, "REPLY-TO:") || has(s, "RETURN-PATH:")) return HdrOther;
      break;
    case 'S':
      if (has(s, "SUBJECT:")) return HdrSubject;
      if (has(s, "SENDER:") || has(s, "STATUS:")) return HdrOther;
      break;
    case 'T':
      if (has(s, "TO:")) return HdrTo;
      break;
    case 'U':
      if (has(s, "URL:")) return HdrOther;
      break;
    case 'X':
      if (has(s, "X-") && occursFrom(s, ": ", 2, 49)) return HdrOther;
      break;
    default:
      break;
  }
  return HdrNone;
}

}  // namespace qb::import
