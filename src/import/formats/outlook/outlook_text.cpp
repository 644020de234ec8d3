#include "import/formats/outlook/outlook_text.h"

#include "import/formats/mail/mail_header.h"
#include "import/formats/shared/internet_header.h"
#include "text/html.h"
#include "text/rtf.h"
#include "text/strings.h"
#include "text/unicode.h"

namespace qb::import::outlook {
namespace {

void add(std::vector<OutlookRecipient>& to, int type, const NameAddress& na) {
  if (na.address.empty() && na.name.empty()) return;
  to.push_back({type, na.address.empty() ? na.name : na.address, na.name});
}

void addList(std::vector<OutlookRecipient>& to, int type, std::string_view list) {
  for (const auto& entry : mail::splitAddressList(list)) add(to, type, newsAddress(entry));
}

}  // namespace

bool trimmedEmpty(std::string_view s) { return text::trimView(s).empty(); }

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
  return text::htmlToText(uncommented);
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
