#include "import/formats/outlook/outlook_text.h"

#include "import/formats/mail/mail_header.h"
#include "import/formats/shared/internet_header.h"
#include "text/html.h"
#include "text/rtf.h"
#include "text/strings.h"

namespace qb::import::outlook {
namespace {

// Length of the UTF-8 sequence starting at s[i], 0 when none starts there.
std::size_t sequenceLength(std::string_view s, std::size_t i) {
  unsigned char c = static_cast<unsigned char>(s[i]);
  std::size_t len = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
  if (len == 0 || i + len > s.size()) return 0;
  for (std::size_t k = 1; k < len; ++k)
    if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
  if (len == 2 && c < 0xC2) return 0;  // overlong
  return len;
}

void add(std::vector<OutlookRecipient>& to, int type, const NameAddress& na) {
  if (na.address.empty() && na.name.empty()) return;
  to.push_back({type, na.address.empty() ? na.name : na.address, na.name});
}

void addList(std::vector<OutlookRecipient>& to, int type, std::string_view list) {
  for (const auto& entry : mail::splitAddressList(list)) add(to, type, newsAddress(entry));
}

}  // namespace

bool trimmedEmpty(std::string_view s) { return text::trimView(s).empty(); }

std::string repairUtf8(std::string_view s) {
  static const char* const k1252[32] = {
      "\xE2\x82\xAC", "\xC2\x81", "\xE2\x80\x9A", "\xC6\x92", "\xE2\x80\x9E", "\xE2\x80\xA6", "\xE2\x80\xA0",
      "\xE2\x80\xA1", "\xCB\x86", "\xE2\x80\xB0", "\xC5\xA0", "\xE2\x80\xB9", "\xC5\x92", "\xC2\x8D",
      "\xC5\xBD",     "\xC2\x8F", "\xC2\x90",     "\xE2\x80\x98", "\xE2\x80\x99", "\xE2\x80\x9C", "\xE2\x80\x9D",
      "\xE2\x80\xA2", "\xE2\x80\x93", "\xE2\x80\x94", "\xCB\x9C", "\xE2\x84\xA2", "\xC5\xA1", "\xE2\x80\xBA",
      "\xC5\x93",     "\xC2\x9D", "\xC5\xBE",     "\xC5\xB8"};
  std::string r;
  r.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    std::size_t len = sequenceLength(s, i);
    if (len > 0) {
      r.append(s.substr(i, len));
      i += len;
      continue;
    }
    unsigned char c = static_cast<unsigned char>(s[i++]);
    if (c < 0xA0) {
      r += k1252[c - 0x80];
    } else {
      r += static_cast<char>(0xC0 | (c >> 6));
      r += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return r;
}

std::string_view cutUtf8(std::string_view s, std::size_t max) {
  if (s.size() <= max) return s;
  std::size_t cut = max;
  while (cut > 0 && (static_cast<unsigned char>(s[cut]) & 0xC0) == 0x80) --cut;
  return s.substr(0, cut);
}

std::string htmlBodyText(std::string_view html) {
  // Comments are dropped first: mail programs hide style sheets and
  // document settings in them ("<!--[if gte mso 9]><xml>...").
  std::string uncommented;
  uncommented.reserve(html.size());
  while (!html.empty()) {
    std::size_t open = html.find("<!--");
    uncommented.append(html.substr(0, open));
    if (open == std::string_view::npos) break;
    std::size_t close = html.find("-->", open + 4);
    html.remove_prefix(close == std::string_view::npos ? html.size() : close + 3);
  }
  return repairUtf8(text::htmlToText(uncommented));
}

std::string rtfBodyText(std::string_view rtf) {
  text::RtfText t = text::rtfToText(rtf);
  return t.html ? htmlBodyText(t.text) : t.text;
}

std::vector<OutlookRecipient> recipientsOf(std::string_view header, std::string_view displayTo,
                                           std::string_view displayCc) {
  // The header's lines, folded ones joined to the line they continue.
  std::vector<std::string> lines;
  while (!header.empty()) {
    std::size_t lf = header.find('\n');
    std::string_view line = header.substr(0, lf);
    header.remove_prefix(lf == std::string_view::npos ? header.size() : lf + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) break;  // the end of the header
    if ((line[0] == ' ' || line[0] == '\t') && !lines.empty()) {
      lines.back() += ' ';
      lines.back() += text::trimView(line);
    } else {
      lines.emplace_back(line);
    }
  }
  std::vector<OutlookRecipient> r;
  bool sawTo = false;
  for (const auto& l : lines) {
    if (text::startsWithNoCase(l, "To:")) {
      sawTo = true;
      addList(r, RecipientTo, std::string_view(l).substr(3));
    } else if (text::startsWithNoCase(l, "Cc:")) {
      addList(r, RecipientCc, std::string_view(l).substr(3));
    }
  }
  if (sawTo) return r;
  r.clear();
  auto display = [&](int type, std::string_view list) {
    while (!list.empty()) {
      std::size_t semi = list.find(';');
      std::string name = text::trim(list.substr(0, semi));
      list.remove_prefix(semi == std::string_view::npos ? list.size() : semi + 1);
      if (name.empty()) continue;
      // A display entry that is an address is stored as one (lower case).
      std::string address = name.find('@') != std::string::npos ? text::lowerAscii(name) : name;
      r.push_back({type, address, name});
    }
  };
  display(RecipientTo, displayTo);
  display(RecipientCc, displayCc);
  return r;
}

}  // namespace qb::import::outlook
