#include "import/formats/mail/mail_header.h"

#include <cctype>

#include "import/formats/shared/internet_header.h"
#include "text/encodings.h"
#include "text/strings.h"
#include "text/unicode.h"
#include "store/record.h"

namespace qb::import::mail {

namespace {

constexpr std::size_t kCompared = 100;  // a header line is compared on its first 100 characters
constexpr std::size_t kCopyNameLength = 40;
constexpr std::size_t kMaxField = 16000;  // characters of one unfolded header field read

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Header values are trimmed of spaces and tabs only.
std::string_view trim(std::string_view s) { return text::trimView(s, " \t"); }

bool has(std::string_view upper, std::string_view prefix) { return upper.substr(0, prefix.size()) == prefix; }

// The text after a header name: from the 1-based column `col`.
std::string_view from(std::string_view line, std::size_t col) {
  return col - 1 < line.size() ? line.substr(col - 1) : std::string_view();
}

// A recipient text loses a trailing one-letter mark such as "(X)".
std::string_view withoutMark(std::string_view to) {
  to = trim(to);
  if (to.size() >= 3 && to.back() == ')' && to[to.size() - 3] == '(') to = trim(to.substr(0, to.size() - 3));
  return to;
}

void appendList(std::string& list, std::string_view more) {
  more = trim(more);
  if (more.empty()) return;
  if (!list.empty()) list += ", ";
  list += more;
}

}  // namespace

std::vector<std::string> splitAddressList(std::string_view list) {
  std::vector<std::string> out;
  std::string cur;
  bool quoted = false, at = false;
  int angle = 0, paren = 0;
  auto push = [&] {
    std::string_view t = trim(cur);
    if (!t.empty()) out.emplace_back(t);
    cur.clear();
    at = false;
  };
  for (char c : list) {
    if (c == '"') quoted = !quoted;
    if (!quoted) {
      if (c == '<') ++angle;
      if (c == '>' && angle > 0) --angle;
      if (c == '(') ++paren;
      if (c == ')' && paren > 0) --paren;
    }
    if (c == ',' && !quoted && angle == 0 && paren == 0 && at) {
      push();
      continue;
    }
    // "Name <a@x> b@y": a list whose writer left out the comma goes on
    // after the closing bracket.
    if ((c == ' ' || c == '\t') && !quoted && angle == 0 && paren == 0 && at && !cur.empty() &&
        text::trimView(cur).back() == '>') {
      push();
      continue;
    }
    if (c == '@') at = true;
    cur.push_back(c);
  }
  push();
  return out;
}

text::DateTime eudoraDate(std::string_view dateText) {
  std::string t(trim(dateText));
  if (t.size() >= 5 && std::isalpha(static_cast<unsigned char>(t[0])) && t[3] == ',' && t[4] == ' ') t.erase(0, 5);
  if (t.size() >= 2 && std::isdigit(static_cast<unsigned char>(t[0])) && t[1] == ' ') t.insert(0, "0");
  return text::internetDate(t);
}

text::DateTime eudoraSeparatorDate(std::string_view separator) {
  std::string_view s = from(separator, 18);
  auto part = [&](std::size_t first, std::size_t n) {
    return first - 1 < s.size() ? trim(s.substr(first - 1, n)) : std::string_view();
  };
  text::DateTime d;
  d.date = text::monthNameDate(part(5, 2), part(1, 3), part(17, 4));
  d.time = d.date ? text::clockTimeText(part(8, 8)) : 0;
  return d;
}

void MailHeaderReader::clear() {
  first_ = true;
  news_ = sawDate_ = sawTo_ = false;
  field_.clear();
  type_ = text::ContentType{};
  encoding_ = text::TransferEncoding::Identity;
  separator_.clear();
  from_.clear();
  date_.clear();
  subject_.clear();
  to_.clear();
  toList_.clear();
  ccList_.clear();
  kind_ = text::BodyKind::Plain;
  mime_.clear();
  copies_.clear();
}

void MailHeaderReader::line(std::string_view line) {
  if (line.empty()) {  // the end of the header: the last field is whole
    flush();
    return;
  }
  const bool eudora = style_ == HeaderStyle::Eudora;
  if (first_ && eudora) {
    first_ = false;
    separator_ = line;
    return;
  }
  first_ = false;
  // A line that begins with a blank or a tab goes on with the field before
  // it (RFC 5322 folding): the field is read once it is whole.
  if (!line.empty() && isBlank(line.front()) && !field_.empty()) {
    if (field_.size() < kMaxField) field_.append(line.substr(0, kMaxField - field_.size()));
    return;
  }
  flush();
  field_.assign(line.substr(0, kMaxField));
}

void MailHeaderReader::flush() {
  if (field_.empty()) return;
  const std::string line = std::move(field_);
  field_.clear();
  const bool eudora = style_ == HeaderStyle::Eudora;
  const std::string upper = text::upper1252(std::string_view(line).substr(0, kCompared));
  if (mime_.multipart() && !mime_.hasBoundary()) mime_.headerLine(line);

  if (has(upper, "NEWSGROUPS:")) {
    news_ = true;
  } else if (has(upper, "FROM:")) {
    from_ = from(line, 6);
  } else if (has(upper, "DATE:")) {
    date_ = from(line, 6);
    sawDate_ = true;
  } else if (has(upper, "SUBJECT:")) {
    subject_ = from(line, 9);
  } else if (has(upper, "TO:")) {
    to_ = from(line, 4);
    sawTo_ = true;
    appendList(toList_, withoutMark(to_));
  } else if (has(upper, "CC:")) {
    appendList(ccList_, from(line, 4));
  } else if (has(upper, "CONTENT-TRANSFER-ENCODING:")) {
    encoding_ = text::transferEncoding(line);
  } else if (has(upper, "CONTENT-TYPE:")) {
    type_ = text::parseContentType(from(line, 14));
    if (type_.html()) {
      kind_ = text::BodyKind::Html;
    } else if (type_.enriched()) {
      kind_ = text::BodyKind::Enriched;
    } else if (eudora && type_.type == "multipart/alternative") {
      kind_ = text::BodyKind::Html;
    } else if (type_.multipart() && type_.type != "multipart/digest") {
      mime_.multipartLine(line);
    }
  }
}

text::TextForm MailHeaderReader::form() const {
  // Eudora stores bodies decoded whatever the transfer encoding says.
  text::TextForm f = text::textFormOf(type_, style_ == HeaderStyle::Eudora ? text::TransferEncoding::Identity
                                                                           : encoding_);
  f.kind = kind_;
  return f;
}

std::string MailHeaderReader::recipientText() const {
  std::vector<std::string> to = splitAddressList(toList_);
  return to.size() > 1 ? to.front() : std::string(withoutMark(to_));
}

bool MailHeaderReader::finish(NHR& nhr, const MailOwner& owner) {
  flush();
  if (news_) return false;
  if (mime_.multipart() && !mime_.hasBoundary()) return false;

  const bool eudora = style_ == HeaderStyle::Eudora;
  text::DateTime when;
  if (eudora)
    when = sawDate_ ? eudoraDate(date_) : eudoraSeparatorDate(separator_);
  else if (sawDate_)
    when = text::internetDate(date_);
  nhr.DATE = when.date;
  nhr.TIME = when.time;
  nhr.HEADING = headingOf(text::decodeHeaderText(subject_, type_.charset));

  NameAddress sender = newsAddress(from_, type_.charset);
  nhr.S_NAME = sender.name;
  nhr.S_CISADRESS = sender.address;
  NameAddress recipient;
  if (sawTo_) recipient = newsAddress(recipientText(), type_.charset);
  nhr.R_NAME = recipient.name;
  nhr.R_CISADRESS = recipient.address;

  if (eudora)
    setDirection(nhr, owner, sawDate_ ? Incoming : Outgoing);
  else
    applyOwnerRule(nhr, owner);

  fileCopies(nhr, owner);
  return true;
}

void MailHeaderReader::fileCopies(NHR& nhr, const MailOwner& owner) {
  flush();
  // Further recipients; the owner's own addresses are no carbon copies, and
  // the recipient of a sent mail is its partner already.
  const bool outgoing = nhr.MAILTYPE == Outgoing;
  const std::string recipient = nhr.R_CISADRESS.str();
  copies_.clear();
  bool ownerInTo = false, ownerInCc = false;
  auto add = [&](const std::string& text, const char* type, bool isTo) {
    NameAddress r = newsAddress(text, type_.charset);
    if (r.address.empty()) return;
    if (owner.owns(r.address)) {
      (isTo ? ownerInTo : ownerInCc) = true;
      return;
    }
    if (outgoing && r.address == recipient) return;
    for (auto& c : copies_)
      if (c.address == r.address) return;
    copies_.push_back({std::string(text::cutAtWord(r.name, kCopyNameLength)), r.address, type});
  };
  for (auto& t : splitAddressList(toList_)) add(t, "TO", true);
  for (auto& c : splitAddressList(ccList_)) add(c, "CC", false);
  nhr.RECIPTYPE = !outgoing && ownerInCc && !ownerInTo ? "CC" : "TO";
}

}  // namespace qb::import::mail
