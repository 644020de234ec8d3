#include "import/formats/shared/internet_header.h"

#include <span>

#include "text/encodings.h"
#include "text/mime.h"
#include "text/month_date.h"
#include "text/unicode.h"
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
  text::ContentType type;
  text::TransferEncoding encoding = text::TransferEncoding::Identity;
  std::size_t end = npos;         // the blank line that ended the header
  std::size_t firstBlank = npos;  // the first blank line passed over
};

// At most this much of one unfolded header field is read (the end of a
// "References:" field is kept instead).
constexpr std::size_t kMaxField = 16000;

// The header field that starts at pieces[i]: the pieces of its line and
// every folded line after it joined (RFC 5322 unfolding: the line ends go,
// the blanks that begin the folded lines stay). `after` is set to the index
// after the field's last piece. With `tail`, the end of an oversized field
// is kept rather than its start.
std::string unfoldedField(const std::vector<text::LinePiece>& pieces, std::size_t i, std::size_t& after, bool tail) {
  std::string field;
  auto add = [&](std::size_t from, std::size_t to) {
    for (std::size_t k = from; k < to; ++k) {
      if (tail) {
        field += pieces[k].view();
        keepTail(field);
      } else if (field.size() < kMaxField) {
        field += pieces[k].view().substr(0, kMaxField - field.size());
      }
    }
  };
  after = lineEnd(pieces, i);
  add(i, after);
  for (;;) {
    std::size_t next = after;
    // A line of blanks alone within a folded field (obsolete folding, as
    // news servers write it) goes on when a folded line follows it.
    while (next < pieces.size() && !pieces[next].empty() && isBlankLine(pieces[next].view())) next = lineEnd(pieces, next);
    if (next >= pieces.size() || !isFolded(pieces[next].view())) break;
    const std::size_t foldEnd = lineEnd(pieces, next);
    add(after, foldEnd);
    after = foldEnd;
  }
  for (char& c : field)
    if (c == '\r') c = ' ';  // a CR within a line of an LF file is a blank
  return field;
}

// Reads the header lines from `first`. With `stopAt` set, the blank line
// there ends the header whatever has been seen.
HeaderTexts scanHeader(const std::vector<text::LinePiece>& pieces, std::size_t first, bool indexed, bool forums,
                       std::size_t stopAt) {
  HeaderTexts h;
  if (indexed) h.kind = MessageKind::News;
  bool firstLine = true;
  std::size_t i = first;
  while (i < pieces.size()) {
    const std::string_view start = pieces[i].view();
    if (start.empty() || start == "\r") {  // an empty line (one of blanks is a folded header line)
      if (i == stopAt || h.kind == MessageKind::News || (h.sawFrom && h.sawDate && h.sawSubject) || h.sawTo) {
        h.end = i;
        return h;
      }
      if (h.firstBlank == npos) h.firstBlank = i;
      i = lineEnd(pieces, i);
      continue;
    }
    const std::string startUpper = text::upper1252(start.substr(0, 12));
    const bool references = has(startUpper, "REFERENCES:") || has(startUpper, "IN-REPLY-TO:");
    std::size_t after = i;
    const std::string line = unfoldedField(pieces, i, after, references);
    const std::string u = text::upper1252(std::string_view(line).substr(0, kCompared));

    if (references) {
      std::string refs = references && u[0] == 'R' ? line.substr(std::min<std::size_t>(11, line.size()))
                                                  : line.substr(std::min<std::size_t>(12, line.size()));
      for (char& c : refs)
        if (c == '\t') c = ' ';
      h.references = std::string(trim(refs));
      h.sawReferences = true;
    } else if (has(u, "NEWSGROUPS:")) {
      h.newsgroups = value(line, 11);
      h.sawNewsgroups = true;
      h.kind = MessageKind::News;
    } else if (has(u, "MESSAGE-ID:")) {
      h.messageId = value(line, 11);
      h.sawMessageId = true;
    } else if (has(u, "CONTENT-TYPE:")) {
      h.type = text::parseContentType(value(line, 13));
      h.html = h.type.html();
    } else if (has(u, "CONTENT-TRANSFER-ENCODING:")) {
      h.encoding = text::transferEncoding(line);
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
      if (firstLine && forums && h.kind != MessageKind::News) h.kind = MessageKind::Forum;
    } else if (has(u, "REPLY TO:")) {
      if (h.kind != MessageKind::News) {
        h.subject = value(line, 9);
        h.sawSubject = true;
      }
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

NameAddress split(AddressRule rule, std::string_view text, std::string_view charset) {
  return rule == AddressRule::News ? newsAddress(text, charset) : otherAddress(text, charset);
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
  HeaderTexts h = scanHeader(pieces, first, indexed, options.forums, npos);
  if (h.end == npos && h.firstBlank != npos) h = scanHeader(pieces, first, indexed, options.forums, h.firstBlank);

  HeaderResult r;
  r.kind = h.kind;
  r.lines = h.lines;
  r.html = h.html;
  r.multipart = h.type.multipart();
  r.boundary = h.type.boundary;
  r.form = text::textFormOf(h.type, h.encoding);
  const std::string& charset = h.type.charset;  // for 8-bit header text outside encoded words
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

  nhr.HEADING = text::cutUtf8(headingOf(text::decodeHeaderText(h.subject, charset)), nhr.HEADING.size());

  // Sender and recipient.
  const std::string_view from = trim(h.from);
  if (r.kind == MessageKind::Mail) {
    r.outgoing = has(from, "You");
    NameAddress sender = r.outgoing ? NameAddress{options.owner.name, options.owner.address} : split(options.rule, from, charset);
    NameAddress recipient;
    bool ownerReceives = !r.outgoing && (!h.sawTo || options.rule == AddressRule::Other);
    if (ownerReceives) {
      recipient = {options.owner.name, options.owner.address};
    } else if (h.sawTo) {
      recipient = split(options.rule, recipientText(h.to), charset);
    }
    nhr.S_NAME = sender.name;
    nhr.S_CISADRESS = sender.address;
    nhr.R_NAME = recipient.name;
    nhr.R_CISADRESS = recipient.address;
    nhr.MAILTYPE = r.outgoing ? 2 : 1;
  } else {
    NameAddress sender = split(options.rule, from, charset);
    nhr.S_NAME = sender.name;
    nhr.S_CISADRESS = sender.address;
    if (r.kind == MessageKind::News) {
      nhr.R_NAME = nhr.REFNUMBER != 0 ? "Unknown" : "All";
      nhr.R_CISADRESS = "Unknown";
    } else if (h.sawTo) {
      NameAddress recipient = split(options.rule, recipientText(h.to), charset);
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
    r.form = text::markMimePart(body, r.boundary);
    if (r.form.kind == text::BodyKind::Html) r.html = true;
    r.partEncoding = r.form.encoding;
  }
  return r;
}

}  // namespace qb::import
