#include "import/formats/outlook/outlook_mail.h"

#include "import/formats/outlook/outlook_text.h"
#include "text/datetime.h"
#include "text/strings.h"
#include "text/text_assembler.h"
#include "text/unicode.h"

namespace qb::import::outlook {
namespace {

constexpr const char* kUnknown = "Unknown";

// The numbers of a date or time text separated by any non-digits; at most
// four, each of at most nine digits. Their digit counts go to `widths`.
std::vector<int> numbersOf(std::string_view s, std::vector<int>& widths) {
  std::vector<int> r;
  std::size_t i = 0;
  while (i < s.size() && r.size() < 4) {
    if (s[i] < '0' || s[i] > '9') {
      ++i;
      continue;
    }
    int v = 0, w = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
      if (w < 9) v = v * 10 + (s[i] - '0');
      ++w;
      ++i;
    }
    r.push_back(v);
    widths.push_back(w);
  }
  return r;
}

int32_t readDate(std::string_view s) {
  std::vector<int> w;
  std::vector<int> n = numbersOf(s, w);
  if (n.size() != 3) return 0;
  if (w[0] == 4) return text::dayNumber(n[0], n[1], n[2]);  // YYYY-MM-DD
  if (w[2] == 4) return text::dayNumber(n[2], n[1], n[0]);  // DD.MM.YYYY
  return 0;
}

int32_t readTime(std::string_view s) {
  std::vector<int> w;
  std::vector<int> n = numbersOf(s, w);
  if (n.size() < 2 || n.size() > 3) return 0;
  return text::timeValue(n[0], n[1], n.size() == 3 ? n[2] : 0);
}

}  // namespace

void creationDateTime(std::string_view text, int32_t& date, int32_t& time) {
  date = time = 0;
  std::size_t blank = text.find(' ');
  if (blank == std::string_view::npos) return;
  int32_t d = readDate(text.substr(0, blank));
  int32_t t = readTime(text::trimView(text.substr(blank + 1)));
  if (d == 0 || t == 0) return;
  date = d;
  time = t;
}

std::string bodyText(std::string_view body) {
  std::string r;
  r.reserve(std::min(body.size() + body.size() / 32, text::kMaxText));
  bool started = false;
  while (!body.empty() && r.size() < text::kMaxText) {
    std::size_t lf = body.find('\n');
    std::string_view line = body.substr(0, lf);
    body.remove_prefix(lf == std::string_view::npos ? body.size() : lf + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!started && text::trimView(line).empty()) continue;
    started = true;
    r.append(line);
    r.append("\r\n");
  }
  r.resize(text::trimRightView(r).size());  // blank lines at the end
  if (!r.empty()) r += "\r\n";
  return std::string(text::cutUtf8(r, text::kMaxText));
}

std::vector<MailRecord> mailRecords(const OutlookItem& item, const mail::MailOwner& owner) {
  std::vector<MailRecord> records;
  // The sender, as a reply to the item would address it.
  std::string address = item.senderAddress;
  std::string name = item.senderReplyName;
  if (text::startsWith(address, "/")) {
    address = owner.address;
    name = owner.name;
  }
  if (address.empty()) {
    if (!name.empty()) {
      address = name;
      name = kUnknown;
    } else {
      address = kUnknown;
      name = item.senderName.empty() ? kUnknown : item.senderName;
    }
  }
  int32_t date = 0, time = 0;
  creationDateTime(item.creationTime, date, time);

  std::vector<mail::Recipient> copies;
  for (const auto& r : item.recipients)
    if (r.type == RecipientCc)
      copies.push_back({std::string(text::cutUtf8(r.name, 40)), std::string(text::cutUtf8(mail::lowerAddress(r.address), 60)), "CC"});

  for (const auto& r : item.recipients) {
    if (r.type != RecipientTo) continue;
    MailRecord m;
    NHR& nhr = m.nhr;
    nhr.SECTIONNUMBER = 0;
    nhr.HEADING = text::cutUtf8(item.subject, nhr.HEADING.size());
    nhr.S_CISADRESS = text::cutUtf8(address, nhr.S_CISADRESS.size());
    nhr.S_NAME = text::cutUtf8(name, nhr.S_NAME.size());
    nhr.R_CISADRESS = text::cutUtf8(r.address, nhr.R_CISADRESS.size());
    nhr.R_NAME = text::cutUtf8(r.name, nhr.R_NAME.size());
    nhr.DATE = date;
    nhr.TIME = time;
    nhr.RECIPTYPE = "TO";
    mail::applyOwnerRule(nhr, owner);
    if (records.empty()) m.copies = copies;
    records.push_back(std::move(m));
  }
  return records;
}

}  // namespace qb::import::outlook
