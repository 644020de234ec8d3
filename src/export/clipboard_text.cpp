#include "export/clipboard_text.h"

#include <cstdio>

#include "archive/browse/browse_rows.h"
#include "archive/config.h"
#include "text/datetime.h"
#include "archive/file_table.h"
#include "text/strings.h"

using qb::text::calendarDate;
using qb::text::clockTime;
using qb::text::weekday;

namespace qb::exporting {

using namespace qb::store;

namespace {

const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const std::string kRule(64, '-');
const char* const kCompuServeDomain = "@compuserve.com";

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at <= text.size()) {
    std::size_t end = text.find("\r\n", at);
    if (end == std::string::npos) {
      lines.push_back(text.substr(at));
      break;
    }
    lines.push_back(text.substr(at, end - at));
    at = end + 2;
  }
  return lines;
}

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

std::vector<std::string> forumHeader(Session& s, const MsgNmbr& m) {
  std::string subject, secNo = "00", secDesc;
  if (lookUpThread(s, m.THREADNUMBER)) subject = s.Threads().rec.heading();
  if (lookUpSection(s, m.SECSYSID)) {
    char b[16];
    std::snprintf(b, sizeof b, "%02u", s.Sections().rec.SECTIONNUMBER % 100u);
    secNo = b;
    secDesc = s.Sections().rec.DESCRIPTION.str();
  }
  std::string from = lookUpPerson(s, m.FROMID) ? forumNameText(s.Person().rec) : "";
  std::string to = lookUpPerson(s, m.TOID) ? forumNameText(s.Person().rec) : "";
  std::string msgNo = "MsgNo: " + std::to_string(m.MSGNUMBER);
  if (m.REFNUMBER) msgNo += " (reply to " + std::to_string(m.REFNUMBER) + ")";
  return {"Subject: " + subject, "From: " + from, "To: " + to, "Date: " + forumDate(m.DATE),
          "Forum: " + text::trim(s.Description) + "/" + secNo + " " + secDesc, msgNo};
}

std::string messageIdOf(Session& s, uint32_t number) {
  auto& f = s.MsgString();
  f.clear();
  f.rec.MSGNUMBER = number;
  return number && f.get(MsgString::IDKey) == Err::Ok ? f.rec.IDSTRING.str() : "";
}

std::vector<std::string> newsHeader(Session& s, const MsgNmbr& m) {
  std::string subject = lookUpThread(s, m.THREADNUMBER) ? s.Threads().rec.heading() : "";
  std::string from = lookUpPerson(s, m.FROMID) ? internetNameText(s.Person().rec) : "";
  std::vector<std::string> lines{" From: " + from, " Newsgroups: " + text::trim(s.Description),
                                 " Date: " + newsDate(m.DATE) + " 00:00:00 ", " Subject: " + subject,
                                 " Message-ID: " + messageIdOf(s, m.MSGNUMBER)};
  if (m.REFNUMBER && m.REFNUMBER != m.MSGNUMBER) lines.push_back(" References: " + messageIdOf(s, m.REFNUMBER));
  return lines;
}

std::string mailTime(int32_t t) {
  if (t <= 0) return "00:00:00";
  int h, mi, se;
  clockTime(t, h, mi, se);
  char b[16];
  std::snprintf(b, sizeof b, "%2d:%02d:%02d", h, mi, se);
  return b;
}

std::vector<std::string> mailHeader(Session& s, const Mail& m) {
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  std::string from = lookUpPerson(s, m.FROMID) ? internetNameText(s.Person().rec) : "";
  std::string to = lookUpPerson(s, m.TOID) ? internetNameText(s.Person().rec) : "";
  std::string date;
  if (m.DATE > 0) {
    int y, mo, d;
    calendarDate(m.DATE, y, mo, d);
    char b[64];
    std::snprintf(b, sizeof b, "%s, %02d %s %04d ", kDays[weekday(m.DATE)], d, kMonths[mo - 1], y);
    date = b + mailTime(m.TIME);
  }
  return {"From: " + from, "Date: " + date, "Subject: " + m.SUBJECT.str(), "To: " + to};
}

}  // namespace

std::string forumDate(int32_t dayNo) { return dayMonth(dayNo, false); }
std::string newsDate(int32_t dayNo) { return dayMonth(dayNo, true); }

std::string forumNameText(const Person& p) {
  std::string l = p.LASTNAME.str(), f = p.FIRSTNAME.str(), a = p.ADDRESS.str();
  if (l.empty()) return a;
  if (f.empty()) return l + " " + a;
  return f + " " + l + " " + a;
}

std::string internetNameText(const Person& p) {
  std::string l = p.LASTNAME.str(), f = p.FIRSTNAME.str(), a = p.ADDRESS.str();
  if (!a.empty() && a.find('@') == std::string::npos) a += kCompuServeDomain;
  if (l.empty()) return "<" + a + ">";
  if (f.empty()) return l + " <" + a + ">";
  return f + " " + l + " <" + a + ">";
}

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

std::string messageCopyText(Session& s, uint32_t id) {
  const bool mail = s.ForumType == KindMail;
  std::vector<FileNo> files = mail ? std::vector<FileNo>{FileNo::Mail, FileNo::MsgText, FileNo::Person}
                                   : std::vector<FileNo>{FileNo::MsgNmbr, FileNo::MsgText, FileNo::Person, FileNo::Sections, FileNo::Threads, FileNo::MsgString};
  OP_CLOSE(s, OpOpen, files);
  std::vector<std::string> header;
  bool found = false;
  if (mail) {
    auto& f = s.Mail();
    f.clear();
    f.rec.MAILID = id;
    if ((found = f.get(Mail::IdKey) == Err::Ok)) header = mailHeader(s, Mail(f.rec));
  } else {
    auto& f = s.MsgNmbr();
    f.clear();
    f.rec.MSGNUMBER = id;
    if ((found = f.get(MsgNmbr::IdKey) == Err::Ok)) {
      MsgNmbr m = f.rec;
      header = s.ForumType == KindNewsgroup ? newsHeader(s, m) : forumHeader(s, m);
    }
  }
  std::string text;
  if (found) {
    auto& t = s.MsgText();
    t.clear();
    t.rec.MSGNUMBER = id;
    if (t.get(MsgText::IdKey) == Err::Ok) text = text::trim(t.memo());
  }
  OP_CLOSE(s, OpClose, files);
  if (!found) return {};

  std::vector<std::string> lines{kRule,
                                 mail ? "         Mail retrieved by Quillbox Message Converter           "
                                      : "         Message retrieved by Quillbox Message Converter        ",
                                 kRule};
  lines.insert(lines.end(), header.begin(), header.end());
  lines.push_back(kRule);
  const bool wrap = setting(s, SetWrapMode) == 1;
  const int32_t column = setting(s, SetWrapColumn);
  for (auto& l : splitLines(text)) {
    if (wrap && column > 0) {
      for (auto& w : wrapLine(l, static_cast<std::size_t>(column))) lines.push_back(w);
    } else {
      lines.push_back(l);
    }
  }
  lines.push_back(kRule);
  lines.push_back("                            End Of Quote                        ");
  lines.push_back("");
  std::string out;
  for (auto& l : lines) out += l + "\r\n";
  return out;
}

}  // namespace qb::exporting
