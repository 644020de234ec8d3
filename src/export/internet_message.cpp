#include "export/internet_message.h"

#include <cstdio>

#include "archive/records.h"
#include "export/export_formats.h"
#include "text/datetime.h"
#include "text/encodings.h"
#include "text/strings.h"
#include "text/unicode.h"

namespace qb::exporting {

using namespace qb::store;

namespace {

const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kUnknownAddress = "unknown@unknown.invalid";
constexpr std::size_t kMaxLine = 998;

std::string personName(const NameParts& p) {
  if (!p.first.empty() && !p.last.empty()) return p.first + " " + p.last;
  return p.last.empty() ? p.first : p.last;
}

std::string addressOf(const std::string& a) {
  std::string r = internetAddress(a);
  // an address must not carry blanks or angle brackets of its own
  std::string clean;
  for (char c : r)
    if (c != ' ' && c != '<' && c != '>' && c != '\t') clean += c;
  return clean.find('@') == std::string::npos ? kUnknownAddress : clean;
}

// A display name as a quoted string when it holds characters that have a
// meaning in an address header.
std::string displayName(const std::string& name) {
  if (!text::isAscii(name)) return encodeHeaderText(name);
  bool special = false;
  for (char c : name)
    if (std::string_view("()<>[]:;@\\,.\"").find(c) != std::string_view::npos) special = true;
  if (!special) return name;
  std::string q = "\"";
  for (char c : name) {
    if (c == '"' || c == '\\') q += '\\';
    q += c;
  }
  return q + "\"";
}

// A newsgroup-style name: lower case letters and digits joined by ".".
std::string groupName(const std::string& s) {
  std::string out;
  bool dot = false;
  for (unsigned char c : s) {
    if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '_') {
      if (dot && !out.empty()) out += '.';
      dot = false;
      out += static_cast<char>(c);
    } else if (c >= 'A' && c <= 'Z') {
      if (dot && !out.empty()) out += '.';
      dot = false;
      out += static_cast<char>(c + 32);
    } else {
      dot = true;
    }
  }
  return out.empty() ? "forum" : out;
}

std::string bracketed(const std::string& id) {
  if (id.empty()) return id;
  std::string t = text::trim(id);
  if (t.front() != '<') t = "<" + t;
  if (t.back() != '>') t += ">";
  return t;
}

// Folds a header line that grows beyond 78 characters at blanks.
std::string folded(const std::string& name, const std::string& value) {
  std::string out = name + ": ";
  std::size_t col = out.size();
  std::size_t i = 0;
  while (i < value.size()) {
    std::size_t sp = value.find(' ', i + 1);
    std::string word = value.substr(i, sp == std::string::npos ? std::string::npos : sp - i);
    if (col + word.size() > 78 && col > name.size() + 2 && !word.empty() && word[0] == ' ') {
      out += "\n";
      col = 0;
    }
    out += word;
    col += word.size();
    if (sp == std::string::npos) break;
    i = sp;
  }
  return out + "\n";
}

}  // namespace

std::string encodeHeaderText(const std::string& utf8) {
  if (text::isAscii(utf8)) return utf8;
  // words of at most 45 bytes of UTF-8 (60 Base64 characters), cut at
  // character boundaries
  std::string out;
  std::size_t i = 0;
  while (i < utf8.size()) {
    std::size_t start = i, end = i;
    while (end < utf8.size()) {
      std::size_t j = end;
      text::nextUtf8(utf8, j);
      if (j - start > 45) break;
      end = j;
    }
    if (end == start) end = start + 1;
    if (!out.empty()) out += " ";
    out += "=?UTF-8?B?" + text::encodeBase64(utf8.substr(start, end - start)) + "?=";
    i = end;
  }
  return out;
}

std::string mailbox(const NameParts& p) {
  const std::string name = personName(p);
  const std::string addr = addressOf(p.address);
  if (name.empty()) return addr;
  return displayName(name) + " <" + addr + ">";
}

std::string rfcDate(int32_t date, int32_t time) {
  int y = 1970, mo = 1, d = 1, h = 0, mi = 0, se = 0;
  if (date > 0) text::calendarDate(date, y, mo, d);
  if (time > 0) text::clockTime(time, h, mi, se);
  const int32_t day = date > 0 ? date : text::kDay1970;
  char b[64];
  std::snprintf(b, sizeof b, "%s, %02d %s %04d %02d:%02d:%02d -0000", kDays[text::weekday(day)], d, kMonths[mo - 1], y,
                h, mi, se);
  return b;
}

std::string mboxFromLine(const ExportMessage& m) {
  int y = 1970, mo = 1, d = 1, h = 0, mi = 0, se = 0;
  if (m.date > 0) text::calendarDate(m.date, y, mo, d);
  if (m.time > 0) text::clockTime(m.time, h, mi, se);
  const int32_t day = m.date > 0 ? m.date : text::kDay1970;
  char b[160];
  std::snprintf(b, sizeof b, "From %s %s %s %2d %02d:%02d:%02d %04d\n", addressOf(m.from.address).c_str(),
                kDays[text::weekday(day)], kMonths[mo - 1], d, h, mi, se, y);
  return b;
}

std::string mboxrdQuote(const std::string& message) {
  std::string out;
  out.reserve(message.size() + 64);
  std::size_t at = 0;
  while (at < message.size()) {
    std::size_t end = message.find('\n', at);
    std::size_t len = (end == std::string::npos ? message.size() : end + 1) - at;
    std::size_t k = at;
    while (k < at + len && message[k] == '>') ++k;
    if (message.compare(k, 5, "From ") == 0) out += '>';
    out.append(message, at, len);
    at += len;
  }
  return out;
}

std::string internetMessage(const ExportMessage& m, uint32_t forumId) {
  std::string h;
  const bool mail = m.kind == KindMail;
  h += "Date: " + rfcDate(m.date, m.time) + "\n";
  h += folded("From", mailbox(m.from));
  if (!m.to.empty()) h += folded("To", mailbox(m.to));
  if (!m.copies.empty()) {
    std::string cc;
    for (const auto& c : m.copies) {
      NameParts p;
      p.last = c.name;
      p.address = c.address;
      if (!cc.empty()) cc += ", ";
      cc += mailbox(p);
    }
    h += folded("Cc", cc);
  }
  std::string subject = m.subject;
  if (!mail && m.ref && !text::startsWithNoCase(subject, "Re:")) subject = "Re: " + subject;
  h += folded("Subject", encodeHeaderText(subject));
  if (!mail) {
    const std::string id = m.kind == KindNewsgroup ? bracketed(m.messageId) : forumMessageId(forumId, m.number);
    if (!id.empty()) h += "Message-ID: " + id + "\n";
    const std::string group = m.kind == KindNewsgroup
                                  ? groupName(m.sectionDesc.empty() ? m.database : m.sectionDesc)
                                  : groupName(m.database + " " + m.sectionDesc);
    h += "Newsgroups: " + group + "\n";
    if (!m.references.empty()) {
      std::string refs;
      for (const auto& r : m.references) refs += (refs.empty() ? "" : " ") + bracketed(r);
      h += folded("References", refs);
      h += "In-Reply-To: " + bracketed(m.references.back()) + "\n";
    }
  }
  // the body: lines joined with "\n", ending with one
  std::string body;
  body.reserve(m.text.size() + 2);
  std::size_t longest = 0, run = 0;
  for (std::size_t i = 0; i < m.text.size(); ++i) {
    char c = m.text[i];
    if (c == '\r') {
      if (i + 1 < m.text.size() && m.text[i + 1] == '\n') continue;
      c = '\n';
    }
    body += c;
    run = c == '\n' ? 0 : run + 1;
    if (run > longest) longest = run;
  }
  if (body.empty() || body.back() != '\n') body += '\n';
  const bool ascii = text::isAscii(body);
  h += "MIME-Version: 1.0\n";
  h += std::string("Content-Type: text/plain; charset=") + (ascii ? "us-ascii" : "utf-8") + "\n";
  if (longest > kMaxLine) {
    h += "Content-Transfer-Encoding: quoted-printable\n";
    body = text::encodeQuotedPrintable(body);
  } else {
    h += std::string("Content-Transfer-Encoding: ") + (ascii ? "7bit" : "8bit") + "\n";
  }
  return h + "\n" + body;
}

}  // namespace qb::exporting
