#include "export/export_formats.h"

#include <cstdio>

#include "archive/records.h"
#include "text/datetime.h"
#include "text/strings.h"
#include "text/unicode.h"

namespace qb::exporting {

using namespace qb::store;
using text::calendarDate;
using text::clockTime;
using text::startsWith;

namespace {

const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kCompuServeDomain = "compuserve.com";
const char* const kDosBar = "\u00B3";  // byte 0xB3 in the export's character set

std::string dayMonth(int32_t dayNo, bool fourDigitYear) {
  if (dayNo <= 0) return {};
  int y, m, d;
  calendarDate(dayNo, y, m, d);
  char buf[32];
  if (fourDigitYear)
    std::snprintf(buf, sizeof buf, "%02d-%s-%04d", d, kMonths[m - 1], y);
  else
    std::snprintf(buf, sizeof buf, "%02d-%s-%02d", d, kMonths[m - 1], y % 100);
  return buf;
}

// The parts of a date the mail and news headers use: weekday, month, the
// day as two digits, the four-digit year.
struct DateParts {
  std::string W = "Sun", M = "Jan", d = "01", Y = "1970";
};
DateParts dateParts(int32_t dayNo) {
  DateParts p;
  if (dayNo <= 0) return p;
  int y, m, d;
  calendarDate(dayNo, y, m, d);
  char b[16];
  p.W = kDays[text::weekday(dayNo)];
  p.M = kMonths[m - 1];
  std::snprintf(b, sizeof b, "%02d", d);
  p.d = b;
  std::snprintf(b, sizeof b, "%04d", y);
  p.Y = b;
  return p;
}

// T: "h:mm:ss" with a blank for a leading zero of the hour; T0 with the zero.
std::string mailTime(int32_t t, bool leadingZero) {
  int h = 0, mi = 0, se = 0;
  if (t > 0) clockTime(t, h, mi, se);
  char b[16];
  std::snprintf(b, sizeof b, leadingZero ? "%02d:%02d:%02d" : "%2d:%02d:%02d", h, mi, se);
  return b;
}

// A mail name text loses a leading "Name Unknown " and then the angle
// brackets around what remains.
std::string cleanMailName(std::string s) {
  if (startsWith(s, "Name Unknown ")) s = s.substr(13);
  if (s.size() >= 2 && s.front() == '<' && s.back() == '>') s = s.substr(1, s.size() - 2);
  return s;
}

std::string twoDigits(uint32_t n) {
  char b[16];
  std::snprintf(b, sizeof b, "%02u", n % 100u);
  return b;
}

// Cuts UTF-8 text to at most `chars` characters.
std::string firstChars(const std::string& s, std::size_t chars) {
  std::size_t i = 0, n = 0;
  while (i < s.size() && n < chars) {
    text::nextUtf8(s, i);
    ++n;
  }
  return s.substr(0, i);
}

// A database name as a file name: path separators, control characters and
// blanks at the ends are replaced or dropped.
std::string fileNameOf(const std::string& name, const char* fallback) {
  std::string out;
  for (char c : text::trim(name)) {
    auto u = static_cast<unsigned char>(c);
    out += (c == '/' || c == '\\' || u < 0x20 || c == ':' || c == '*' || c == '?') ? '_' : c;
  }
  if (out.empty() || out == "." || out == "..") out = fallback;
  return out;
}

}  // namespace

// ---- format lists -----------------------------------------------------------

const std::vector<FormatChoice>& formatList(uint8_t kind) {
  static const std::vector<FormatChoice> forum = {
      {"OzWin II", FormatOzWin}, {"TAPCIS", FormatTapcis}, {"mbox", FormatMbox}, {"Maildir", FormatMaildir}};
  static const std::vector<FormatChoice> mail = {{"Eudora", FormatEudora},
                                                 {"OzWin II", FormatOzWin},
                                                 {"TAPCIS", FormatTapcis},
                                                 {"Generic Mail Type 1", FormatGeneric1},
                                                 {"Generic Mail Type 2", FormatGeneric2},
                                                 {"mbox", FormatMbox},
                                                 {"Maildir", FormatMaildir}};
  static const std::vector<FormatChoice> news = {
      {"Unix News", FormatUnixNews}, {"mbox", FormatMbox}, {"Maildir", FormatMaildir}};
  return kind == KindMail ? mail : kind == KindNewsgroup ? news : forum;
}

namespace {
std::string squeezed(const std::string& s) {
  std::string r;
  for (char c : s)
    if (c != ' ' && c != '-' && c != '_') r += text::lowerAscii(c);
  return r;
}
}  // namespace

int formatNumber(uint8_t kind, const std::string& name) {
  const std::string want = squeezed(name);
  for (const auto& f : formatList(kind)) {
    std::string n = squeezed(f.name);
    if (n == want) return f.number;
    if (startsWith(n, "genericmailtype") && want == "generic" + n.substr(15)) return f.number;
  }
  if (want == "ozwin") return kind == KindNewsgroup ? 0 : FormatOzWin;
  return 0;
}

std::string formatName(uint8_t kind, int number) {
  for (const auto& f : formatList(kind))
    if (f.number == number) return f.name;
  return {};
}

bool writesTwoFiles(uint8_t kind, int format) {
  return kind == KindMail && (format == FormatEudora || format == FormatGeneric1 || format == FormatOzWin ||
                              format == FormatGeneric2);
}

void defaultFileNames(uint8_t kind, int format, const std::string& database, std::string& inbox,
                      std::string& outbox) {
  outbox.clear();
  if (format == FormatMbox) {
    inbox = fileNameOf(database, "Export") + ".mbox";
  } else if (format == FormatMaildir) {
    inbox = fileNameOf(database, "Export") + ".maildir";
  } else if (kind != KindMail) {
    inbox = format == FormatOzWin && kind == KindForum
                ? fileNameOf(text::trim(firstChars(text::trim(database), 8)), "SaveMsg") + ".SAV"
                : "SaveMsg.Txt";
  } else if (format == FormatTapcis) {
    inbox = "SaveMail.Txt";
  } else if (format == FormatOzWin) {
    inbox = "CISMAIL.IN";
    outbox = "CISMAIL.OUT";
  } else {
    inbox = "InBox.Mbx";
    outbox = "OutBox.Mbx";
  }
}

const char* exportCharset(int format) {
  if (format == FormatMbox || format == FormatMaildir) return "utf-8";
  return format == FormatTapcis ? "ibm437" : "windows-1252";
}

// ---- name texts ---------------------------------------------------------------

std::string forumDate(int32_t dayNo) { return dayMonth(dayNo, false); }
std::string newsDate(int32_t dayNo) { return dayMonth(dayNo, true); }

bool isCompuServeNumber(const std::string& address) {
  return !address.empty() && address.find('@') == std::string::npos;
}

std::string internetAddress(const std::string& address) {
  if (!isCompuServeNumber(address)) return address;
  std::string a = address;
  for (auto& c : a)
    if (c == ',') c = '.';
  return a + "@" + kCompuServeDomain;
}

std::string nameText(const NameParts& p, NameUse use) {
  const std::string& L = p.last;
  const std::string& F = p.first;
  const std::string& A = p.address;
  const bool cs = isCompuServeNumber(A);
  // name: "" (no last name), "L" or "F L"
  const std::string name = L.empty() ? "" : F.empty() ? L : F + " " + L;
  switch (use) {
    case NameUse::Forum:
      return name.empty() ? A : name + " " + A;
    case NameUse::Internet: {
      const std::string a = "<" + internetAddress(A) + ">";
      return cleanMailName(name.empty() ? a : name + " " + a);
    }
    case NameUse::Tapcis: {
      if (cs) return cleanMailName(name.empty() ? A : name + " " + A);
      return cleanMailName(name.empty() ? "INTERNET:" + A : name + " > INTERNET:" + A);
    }
    case NameUse::OzWinSender:
    case NameUse::OzWinReceiver: {
      const std::string bar = use == NameUse::OzWinSender ? kDosBar : " ";
      const std::string tail = cs ? bar + A : bar + ">INTERNET:" + A;
      return cleanMailName(name + tail);
    }
  }
  return {};
}

// ---- header lines ---------------------------------------------------------------

namespace {

std::vector<std::string> forumLines(const ExportMessage& m, int format) {
  const std::string from = nameText(m.from, NameUse::Forum);
  const std::string to = nameText(m.to, NameUse::Forum);
  const std::string D = forumDate(m.date);
  const std::string head = "#: " + std::to_string(m.number) + " S" + std::to_string(m.sectionNumber) + "/" +
                           m.sectionDesc;
  if (format == FormatTapcis) {
    std::string subject = m.ref ? "#" + std::to_string(m.ref) + "-" + m.subject : m.subject;
    return {head + "  [" + m.database + "]", "    " + D + " 00:00:00 ", "Sb: " + subject, "Fm: " + from,
            "To: " + to};
  }
  if (format == FormatOzWin) {
    std::string ref = m.ref ? std::to_string(m.ref) : "";
    ref.resize(std::max<std::size_t>(ref.size(), 11), ' ');
    return {head + "  (CIS:" + m.database + ")", "    " + D + " 00:00:00 ", "Sb: " + m.subject, "Fm: " + from,
            "To: " + to, "Replies:      TID:           Par:" + ref + "Chd:           Sib:"};
  }
  return {};
}

std::vector<std::string> newsLines(const ExportMessage& m) {
  const DateParts p = dateParts(m.date);
  std::vector<std::string> l{"From ???@??? " + p.W + " " + p.M + " " + p.d + " 00:00:00 " + p.Y,
                             "From: " + nameText(m.from, NameUse::Internet),
                             "Newsgroups: " + m.database,
                             "Date: " + newsDate(m.date) + " 00:00:00 ",
                             "Subject: " + m.subject,
                             "Message-ID: " + m.messageId};
  if (m.ref && !m.refId.empty()) l.push_back("References: " + m.refId);
  return l;
}

std::vector<std::string> mailLines(const ExportMessage& m, int format, bool sent) {
  const DateParts p = dateParts(m.date);
  const std::string T = mailTime(m.time, false), T0 = mailTime(m.time, true);
  const std::string D7 = forumDate(m.date);
  const std::string fromLine = "From ???@??? " + p.W + " " + p.M + " " + p.d + " " + T + " " + p.Y;
  // The Date lines carry the hour with two digits: "Date: ... 9:05:03" with
  // a blank for the zero is no valid mail date, and the readers of the
  // generic mailboxes then lose the time.
  const std::string dateLine = "Date: " + p.W + ", " + p.d + " " + p.M + " " + p.Y + " " + T0;
  const std::string from = nameText(m.from, NameUse::Internet), to = nameText(m.to, NameUse::Internet);
  switch (format) {
    case FormatTapcis:
      return {"#: " + std::to_string(m.number) + " S0/CompuServe Mail  [MAIL]", "    " + D7 + "  " + T0,
              "Sb: " + m.subject, "Fm: " + nameText(m.from, NameUse::Tapcis),
              "To: " + nameText(m.to, NameUse::Tapcis)};
    case FormatEudora:
      if (sent) return {fromLine, "To: " + to, "From: " + from, "Subject: " + m.subject};
      return {fromLine, dateLine, "From: " + from, "To: " + to, "Subject: " + m.subject};
    case FormatGeneric1:
      return {"From: " + from, dateLine, "Subject: " + m.subject, "To: " + to};
    case FormatOzWin:
      if (sent)
        return {"Date:  " + D7 + " " + T0 + "  MsgID: OUTBOX", "MgTo:  " + nameText(m.to, NameUse::OzWinReceiver),
                "Subj:  " + m.subject};
      return {"Date:  " + D7 + " " + T0 + "  MsgID:             ToID: ",
              "From:  " + nameText(m.from, NameUse::OzWinSender), "Subj:  " + m.subject,
              "Chrg:          Imp:        Sens:        Receipt:       Parts:"};
    case FormatGeneric2:
      return {fromLine, "From: " + from, dateLine, "Subject: " + m.subject, "To: " + to};
    default:
      return {};
  }
}

}  // namespace

std::vector<std::string> headerLines(const ExportMessage& m, int format, bool sent) {
  if (m.kind == KindMail) return mailLines(m, format, sent);
  if (m.kind == KindNewsgroup) return format == FormatUnixNews ? newsLines(m) : std::vector<std::string>{};
  return forumLines(m, format);
}

std::vector<std::string> singleHeaderLines(const ExportMessage& m) {
  if (m.kind == KindMail) {
    const DateParts p = dateParts(m.date);
    std::string date = m.date > 0 ? p.W + ", " + p.d + " " + p.M + " " + p.Y + " " + mailTime(m.time, false) : "";
    return {"From: " + nameText(m.from, NameUse::Internet), "Date: " + date, "Subject: " + m.subject,
            "To: " + nameText(m.to, NameUse::Internet)};
  }
  if (m.kind == KindNewsgroup) {
    std::vector<std::string> l{" From: " + nameText(m.from, NameUse::Internet), " Newsgroups: " + m.database,
                               " Date: " + newsDate(m.date) + " 00:00:00 ", " Subject: " + m.subject,
                               " Message-ID: " + m.messageId};
    if (m.ref && !m.refId.empty()) l.push_back(" References: " + m.refId);
    return l;
  }
  std::string msgNo = "MsgNo: " + std::to_string(m.number);
  if (m.ref) msgNo += " (reply to " + std::to_string(m.ref) + ")";
  return {"Subject: " + m.subject,
          "From: " + nameText(m.from, NameUse::Forum),
          "To: " + nameText(m.to, NameUse::Forum),
          "Date: " + forumDate(m.date),
          "Forum: " + m.database + "/" + twoDigits(m.sectionNumber) + " " + m.sectionDesc,
          msgNo};
}

// ---- text lines -------------------------------------------------------------------

std::vector<std::string> wrapLine(const std::string& line, std::size_t column) {
  std::vector<std::string> out;
  std::string rest = line;
  while (column > 0 && rest.size() > column) {
    std::size_t at = rest.rfind(' ', column);
    if (at == std::string::npos || at == 0) {
      out.push_back(rest.substr(0, column));
      rest = rest.substr(column);
      continue;
    }
    std::size_t cut = at;
    if (rest[cut - 1] == ' ') --cut;  // a double blank drops two
    out.push_back(rest.substr(0, cut));
    rest = rest.substr(at + 1);
  }
  out.push_back(rest);
  return out;
}

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string cur;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(cur);
      cur.clear();
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      cur += c;
    }
  }
  lines.push_back(cur);
  return lines;
}

}  // namespace qb::exporting
