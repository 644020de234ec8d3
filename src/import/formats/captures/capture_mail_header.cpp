#include "import/formats/captures/capture_mail_header.h"

#include "import/formats/captures/capture_forum_header.h"
#include "text/month_date.h"
#include "store/record.h"

namespace qb::import::captures {

namespace {

constexpr std::size_t kAddressText = 100;

std::string_view lineAt(std::span<const std::string> lines, std::size_t i) {
  return i < lines.size() ? std::string_view(lines[i]) : std::string_view();
}

void setSender(NHR& nhr, const NameAddress& a) {
  nhr.S_NAME = a.name;
  nhr.S_CISADRESS = a.address;
}
void setRecipient(NHR& nhr, const NameAddress& a) {
  nhr.R_NAME = a.name;
  nhr.R_CISADRESS = a.address;
}

// The correspondent text of a "Fm:"/"To:" line from column 5.
NameAddress splitFrom(std::string_view line, bool dropAtBMark) {
  std::string_view t = trimSpacesView(fromCol(line, 5));
  if (dropAtBMark) t = dropAtB(t);
  return mailAddress(t);
}

bool ozHeader(CaptureFormat f, std::span<const std::string> lines, const mail::MailOwner& owner, NHR& nhr,
              std::size_t& bodyOffset) {
  std::string_view date = lineAt(lines, 0), who = lineAt(lines, 1), subj = lineAt(lines, 2);
  bool sent = startsWith(who, "MgTo:");
  if (!sent && !startsWith(who, "From:")) return false;
  if (!startsWith(subj, "Subj:")) return false;
  nhr.DATE = text::dateDDMMMYY(text::upper1252(fromCol(date, 8).substr(0, 9)));
  nhr.TIME = text::clockTimeText(fromCol(date, 18));
  nhr.HEADING = trimSpacesView(fromCol(subj, 6));
  NameAddress a = mailAddress(trimSpacesView(fromCol(who, 6)));
  if (sent) {
    setRecipient(nhr, a);
    mail::setDirection(nhr, owner, mail::Outgoing);
  } else {
    setSender(nhr, a);
    mail::setDirection(nhr, owner, mail::Incoming);
  }
  bodyOffset = !sent && f == CaptureFormat::OzWin2 ? 5 : 4;
  return true;
}

bool ownerRuleHeader(std::span<const std::string> lines, const mail::MailOwner& owner, NHR& nhr,
                     std::size_t& bodyOffset) {
  std::string_view date = lineAt(lines, 1), sb = lineAt(lines, 2), fm = lineAt(lines, 3), to = lineAt(lines, 4);
  if (!startsWith(sb, "Sb:") || !startsWith(fm, "Fm:") || !startsWith(to, "To:")) return false;
  nhr.DATE = text::captureDate(date, false);
  nhr.TIME = text::clockTimeText(fromCol(date, 16));
  nhr.HEADING = trimSpacesView(fromCol(sb, 5));
  setSender(nhr, splitFrom(fm, false));
  setRecipient(nhr, splitFrom(to, false));
  mail::applyOwnerRule(nhr, owner);
  bodyOffset = 6;
  return true;
}

bool outboxHeader(CaptureFormat f, std::span<const std::string> lines, const mail::MailOwner& owner, NHR& nhr,
                  std::size_t& bodyOffset) {
  const bool atB = dropsTrailingAtB(f);
  const bool tapcis5 = f == CaptureFormat::Tapcis5;
  bool sent = lineAt(lines, 0).find("/Outbox") != std::string_view::npos;
  std::string_view date = lineAt(lines, 1), sb = lineAt(lines, 2);
  if (!startsWith(sb, "Sb:")) return false;
  std::string_view subject = trimSpacesView(fromCol(sb, 5));
  if (atB) subject = dropAtB(subject);
  nhr.HEADING = subject;
  nhr.DATE = text::captureDate(date, tapcis5);
  nhr.TIME = dateLineTime(date, tapcis5);
  if (sent) {
    std::string_view to = lineAt(lines, 4);
    if (!startsWith(to, "To:")) return false;
    setRecipient(nhr, splitFrom(to, atB));
    mail::setDirection(nhr, owner, mail::Outgoing);
    bodyOffset = 6;
  } else {
    std::string_view fm = lineAt(lines, 3);
    if (!startsWith(fm, "Fm:")) return false;
    setSender(nhr, splitFrom(fm, atB));
    mail::setDirection(nhr, owner, mail::Incoming);
    bodyOffset = 5;
  }
  return true;
}

bool navHeader(std::span<const std::string> lines, const mail::MailOwner& owner, NHR& nhr, std::size_t& bodyOffset) {
  std::string_view subj = lineAt(lines, 0), date = lineAt(lines, 3);
  if (subj.size() >= 11) nhr.HEADING = trimSpacesView(fromCol(subj, 11));
  NameAddress from = mailAddress(trimSpacesView(fromCol(lineAt(lines, 1), 11)));
  nhr.DATE = text::dateDDMMMYY(text::upper1252(fromCol(date, 11).substr(0, 9)));
  nhr.TIME = col(date, 23) == ':' ? text::clockTimeText(fromCol(date, 21).substr(0, 5)) : 0;
  if (owner.owns(from.address)) {
    setRecipient(nhr, mailAddress(trimSpacesView(fromCol(lineAt(lines, 2), 11))));
    mail::setDirection(nhr, owner, mail::Outgoing);
  } else {
    setSender(nhr, from);
    mail::setDirection(nhr, owner, mail::Incoming);
  }
  bodyOffset = 5;
  return true;
}

}  // namespace

NameAddress mailAddress(std::string_view text) {
  text = text.substr(0, kAddressText);
  std::size_t p = text.find("INTERNET");
  if (p == std::string_view::npos) return FindCISAdress(1, text);
  NameAddress r;
  std::string_view rest = text.substr(p + 8);
  if (!rest.empty() && rest.front() == ':') rest.remove_prefix(1);
  r.address = std::string(trimSpacesView(rest));
  std::string_view name = text.substr(0, p);
  while (!name.empty() && (name.back() == '>' || name.back() == ' ' || name.back() == '\xB3')) name.remove_suffix(1);
  name = trimSpacesView(name);
  if (name.size() >= 2 && name.front() == '"' && name.back() == '"') name = trimSpacesView(name.substr(1, name.size() - 2));
  r.name = std::string(name);
  return r;
}

int32_t captureClock(std::string_view t) {
  if (t.size() >= 2 && t[0] >= '0' && t[0] <= '9' && t[1] == ':')
    return text::clockTimeText("0" + std::string(t.substr(0, 7)));
  return text::clockTimeText(t.substr(0, 8));
}

int32_t dateLineTime(std::string_view line, bool tapcis5) {
  std::size_t end = 13;  // last column of the date
  if (!tapcis5) {
    char c5 = col(line, 5), c6 = col(line, 6);
    if (c5 == ' ' && c6 == ' ') return 0;
    if (c5 == ' ')
      end = col(line, 7) == '-' ? 13 : 14;
    else if (c6 == '-')
      end = 12;
  }
  for (std::size_t c = end + 1; c <= end + 5; ++c)
    if (col(line, c) != ' ') return captureClock(fromCol(line, c));
  return 0;
}

bool parseMailHeader(CaptureFormat f, std::span<const std::string> lines, const mail::MailOwner& owner, NHR& nhr,
                     std::size_t& bodyOffset) {
  switch (f) {
    case CaptureFormat::OzCIS:
    case CaptureFormat::OzWin1:
    case CaptureFormat::OzWin2:
      return ozHeader(f, lines, owner, nhr, bodyOffset);
    case CaptureFormat::Tapcis6:
    case CaptureFormat::Autosig:
      return ownerRuleHeader(lines, owner, nhr, bodyOffset);
    case CaptureFormat::Tapcis5:
    case CaptureFormat::GoldenCompass:
      return outboxHeader(f, lines, owner, nhr, bodyOffset);
    case CaptureFormat::NavCIS:
      return navHeader(lines, owner, nhr, bodyOffset);
  }
  return false;
}

}  // namespace qb::import::captures
