#include "import/formats/shared/internet_header.h"

#include <span>

#include "text/mime.h"
#include "text/month_date.h"
#include "store/record.h"

namespace qb::import {
namespace {

constexpr std::size_t kCompared = 100;       // characters of a line compared with the header names
constexpr std::size_t kMaxReferences = 800;  // characters of a "References:" text kept (its end)
constexpr std::size_t kIdLength = 60;        // TID:IDSTRING
constexpr std::size_t npos = std::string_view::npos;

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

bool isBlankLine(std::string_view s) {
  for (char c : s)
    if (!isBlank(c)) return false;
  return true;
}

// Header lines are trimmed of spaces, tabs and a CR; other bytes are content.
std::string_view trim(std::string_view s) { return text::trimView(s, " \t\r"); }

bool has(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

// The value of a header line: the text after its name, blanks trimmed.
std::string value(std::string_view line, std::size_t nameLength) {
  return std::string(trim(line.size() > nameLength ? line.substr(nameLength) : std::string_view()));
}

// The index of the piece after the last piece of the line that starts at i.
std::size_t lineEnd(const std::vector<text::LinePiece>& pieces, std::size_t i) {
  std::size_t n = i + 1;
  while (n < pieces.size() && pieces[n - 1].continued) ++n;
  return n;
}

bool isFolded(std::string_view s) { return !s.empty() && (s[0] == ' ' || s[0] == '\t') && !isBlankLine(s); }

// Keeps the end of a growing references text.
void keepTail(std::string& s) {
  if (s.size() > kMaxReferences) s.erase(0, s.size() - kMaxReferences);
}

// What the header lines say, before anything is numbered or resolved.
struct HeaderTexts {
  MessageKind kind = MessageKind::Mail;
  std::string from, date, subject, to, newsgroups, messageId, references;
  bool sawFrom = false, sawDate = false, sawSubject = false, sawTo = false;
  bool sawNewsgroups = false, sawMessageId = false, sawReferences = false;
  bool html = false;
  long lines = 0;
  text::MimeDescription mime;
  std::size_t end = npos;         // the blank line that ended the header
  std::size_t firstBlank = npos;  // the first blank line passed over
};

// Reads the header lines from `first`. With `stopAt` set, the blank line
// there ends the header whatever has been seen.
HeaderTexts scanHeader(const std::vector<text::LinePiece>& pieces, std::size_t first, bool indexed,
                       std::size_t stopAt) {
  HeaderTexts h;
  if (indexed) h.kind = MessageKind::News;
  bool firstLine = true;
  std::size_t i = first;
  while (i < pieces.size()) {
    const std::size_t next = lineEnd(pieces, i);
    const std::string_view line = pieces[i].view();
    if (line.empty() || line == "\r") {  // an empty line (one of blanks is a folded header line)
      if (i == stopAt || h.kind == MessageKind::News || (h.sawFrom && h.sawDate && h.sawSubject) || h.sawTo) {
        h.end = i;
        return h;
      }
      if (h.firstBlank == npos) h.firstBlank = i;
      i = next;
      continue;
    }
    const std::string u = text::upper1252(line.substr(0, kCompared));
    std::size_t after = next;

    if (has(u, "CONTENT-TYPE: MULTIPART")) {
      h.mime.multipartLine(line);
    } else if (h.mime.multipart() && !h.mime.hasBoundary()) {
      h.mime.headerLine(line);  // the boundary parameter on a later line
    }

    if (has(u, "NEWSGROUPS:")) {
      h.newsgroups = value(line, 11);
      h.sawNewsgroups = true;
      h.kind = MessageKind::News;
    } else if (has(u, "MESSAGE-ID:")) {
      h.messageId = value(line, 11);
      h.sawMessageId = true;
    } else if (has(u, "REFERENCES:") || has(u, "IN-REPLY-TO:")) {
      // The identifiers run on in the line's further pieces and in folded
      // lines (starting with a blank or a tab).
      std::string refs(line.substr(u[0] == 'R' ? 11 : 12));
      for (std::size_t k = i + 1; k < next; ++k) {
        refs += pieces[k].view();
        keepTail(refs);
      }
      while (after < pieces.size() && isFolded(pieces[after].view())) {
        std::size_t foldEnd = lineEnd(pieces, after);
        refs += ' ';
        for (std::size_t k = after; k < foldEnd; ++k) {
          refs += pieces[k].view();
          keepTail(refs);
        }
        after = foldEnd;
      }
      for (char& c : refs)
        if (c == '\t') c = ' ';
      h.references = std::string(trim(refs));
      h.sawReferences = true;
    } else if (has(u, "CONTENT-TYPE: TEXT/HTML")) {
      h.html = true;
    } else if (has(u, "CONTENT-TYPE: MULTIPART")) {
      // handed to the boundary reader above
    } else if (has(u, "LINES:")) {
      std::string v = value(line, 6);
      long n = 0;
      for (char c : v) {
        if (c < '0' || c > '9' || n > 100000000) break;
        n = n * 10 + (c - '0');
      }
      h.lines = n;
    } else if (has(u, "FROM:")) {
      h.from = value(line, 5);
      h.sawFrom = true;
    } else if (has(u, "DATE:")) {
      h.date = value(line, 5);
      h.sawDate = true;
    } else if (has(u, "SUBJ:")) {
      h.subject = value(line, 5);
      h.sawSubject = true;
    } else if (has(u, "SUBJECT:")) {
      h.subject = value(line, 8);
      h.sawSubject = true;
      if (firstLine && h.kind != MessageKind::News) h.kind = MessageKind::Forum;
    } else if (has(u, "REPLY TO:")) {
      if (h.kind != MessageKind::News) {
        h.subject = value(line, 9);
        h.sawSubject = true;
      }
    } else if (has(u, "     ")) {
      // a continuation line
    } else if (has(u, "TO:")) {
      h.to = value(line, 3);
      h.sawTo = true;
    } else if (has(u, "FM:")) {
      if (h.kind == MessageKind::Forum) {
        h.from = value(line, 3);
        h.sawFrom = true;
      }
    }
    // Any other line, a near miss such as "Subjects:" or "Reply-To:"
    // included, does nothing.
    firstLine = false;
    i = after;
  }
  return h;
}

// A recipient text: a trailing one-letter mark such as "(X)" removed.
std::string_view recipientText(std::string_view to) {
  to = trim(to);
  if (to.size() >= 3 && to.back() == ')' && to[to.size() - 3] == '(') to = trim(to.substr(0, to.size() - 3));
  return to;
}

NameAddress split(AddressRule rule, std::string_view text) {
  return rule == AddressRule::News ? newsAddress(text) : otherAddress(text);
}

}  // namespace

std::string lastReference(std::string_view references) {
  std::string_view t = trim(references);
  std::size_t blank = t.find_last_of(" \t");
  std::string_view word = blank == npos ? t : t.substr(blank + 1);
  if (word.find('<') != npos && word.find('>') == npos && blank != npos) {
    // The last identifier was cut short: take the last whole one before it.
    std::size_t gt = t.rfind('>', blank);
    std::size_t lt = gt == npos ? npos : t.rfind('<', gt);
    if (lt != npos) word = t.substr(lt, gt - lt + 1);
  }
  return std::string(word.substr(0, kIdLength));
}

std::string headingOf(std::string_view subject) {
  while (!subject.empty() && isBlank(subject.front())) subject.remove_prefix(1);
  if (subject.size() >= 3 && text::upper1252(subject.substr(0, 3)) == "RE:") {
    subject.remove_prefix(3);
    while (!subject.empty() && isBlank(subject.front())) subject.remove_prefix(1);
  }
  return std::string(subject);
}

uint32_t InternetHeaderReader::identify(std::string_view idText) {
  idText = trim(idText);
  if (idText.empty()) return 0;
  TID tid;
  tid.IDSTRING = idText.substr(0, kIdLength);
  tid.MSGNUMBER = ctx_.nextId();
  if (tid.MSGNUMBER == 0 || !ctx_.appendTid(tid)) return 0;
  return tid.MSGNUMBER;
}

std::string InternetHeaderReader::chooseNewsgroup(std::string_view list, NHR& nhr) {
  std::string firstName;
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t comma = list.find(',', start);
    std::string_view name = trim(list.substr(start, comma == npos ? npos : comma - start));
    if (!name.empty()) {
      if (firstName.empty()) firstName = std::string(name);
      if (ctx_.resolveDatabase(std::string(name), 3, nhr, true).id != 0) return std::string(name);
    }
    if (comma == npos) break;
    start = comma + 1;
  }
  return firstName;
}

HeaderResult InternetHeaderReader::read(std::vector<text::LinePiece>& pieces, std::size_t first, NHR& nhr,
                                        const HeaderOptions& options) {
  const bool indexed = options.index != nullptr;
  HeaderTexts h = scanHeader(pieces, first, indexed, npos);
  if (h.end == npos && h.firstBlank != npos) h = scanHeader(pieces, first, indexed, h.firstBlank);

  HeaderResult r;
  r.kind = h.kind;
  r.lines = h.lines;
  r.html = h.html;
  r.multipart = h.mime.multipart();
  r.boundary = h.mime.boundary();
  r.sawTo = h.sawTo;
  r.firstBody = pieces.size();
  if (h.end != npos) {
    for (std::size_t i = h.end; i < pieces.size(); i = lineEnd(pieces, i)) {
      if (!isBlankLine(pieces[i].view())) {
        r.firstBody = i;
        break;
      }
    }
  }

  // Identifiers, newsgroup and, for news, the values of the index entry.
  if (h.sawMessageId) nhr.MSGNUMBER = identify(h.messageId);
  if (h.sawReferences) nhr.REFNUMBER = identify(lastReference(h.references));
  if (h.sawNewsgroups) nhr.FOR_DESCRIPTION = chooseNewsgroup(h.newsgroups, nhr);
  if (r.kind == MessageKind::News && indexed) {
    const NewsIndexEntry& x = *options.index;
    if (!h.sawMessageId && !x.messageId.empty()) nhr.MSGNUMBER = identify(x.messageId);
    if (!h.sawReferences && !trim(x.references).empty()) nhr.REFNUMBER = identify(lastReference(x.references));
    if (!h.sawNewsgroups && !x.newsgroups.empty()) nhr.FOR_DESCRIPTION = chooseNewsgroup(x.newsgroups, nhr);
    if (!h.sawSubject) h.subject = x.subject;
    if (!h.sawFrom) h.from = x.sender;
  }

  text::DateTime dt;
  if (!trim(h.date).empty()) dt = text::internetDate(h.date);
  nhr.DATE = dt.date;
  nhr.TIME = dt.time;

  nhr.HEADING = headingOf(h.subject);

  // Sender and recipient.
  const std::string_view from = trim(h.from);
  if (r.kind == MessageKind::Mail) {
    r.outgoing = has(from, "You");
    NameAddress sender = r.outgoing ? NameAddress{options.owner.name, options.owner.address} : split(options.rule, from);
    NameAddress recipient;
    bool ownerReceives = !r.outgoing && (!h.sawTo || options.rule == AddressRule::Other);
    if (ownerReceives) {
      recipient = {options.owner.name, options.owner.address};
    } else if (h.sawTo) {
      recipient = split(options.rule, recipientText(h.to));
    }
    nhr.S_NAME = sender.name;
    nhr.S_CISADRESS = sender.address;
    nhr.R_NAME = recipient.name;
    nhr.R_CISADRESS = recipient.address;
    nhr.MAILTYPE = r.outgoing ? 2 : 1;
  } else {
    NameAddress sender = split(options.rule, from);
    nhr.S_NAME = sender.name;
    nhr.S_CISADRESS = sender.address;
    if (r.kind == MessageKind::News) {
      nhr.R_NAME = nhr.REFNUMBER != 0 ? "Unknown" : "All";
      nhr.R_CISADRESS = "Unknown";
    } else if (h.sawTo) {
      NameAddress recipient = split(options.rule, recipientText(h.to));
      nhr.R_NAME = recipient.name;
      nhr.R_CISADRESS = recipient.address;
    } else {
      nhr.R_NAME = "All";
      nhr.R_CISADRESS.clear();
    }
  }

  // Only the first text part of a multipart body reaches the text.
  if (!r.boundary.empty() && r.firstBody < pieces.size()) {
    std::span<text::LinePiece> body(pieces.data() + r.firstBody, pieces.size() - r.firstBody);
    text::MimePart part = text::markMimePart(body, r.boundary);
    if (part.html) r.html = true;
    r.partEncoding = part.encoding;
  }
  return r;
}

}  // namespace qb::import
