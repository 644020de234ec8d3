#include "text/enriched.h"

#include "text/strings.h"

namespace qb::text {

namespace {

bool equalsUpper(std::string_view s, std::string_view upper) {
  if (s.size() != upper.size()) return false;
  for (std::size_t i = 0; i < s.size(); ++i)
    if (text::upper1252(uint8_t(s[i])) != uint8_t(upper[i])) return false;
  return true;
}

}  // namespace

std::string enrichedToText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  bool inParam = false;
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t lt = text.find('<', i);
    const std::size_t stop = lt == std::string_view::npos ? text.size() : lt;
    if (!inParam) out.append(text.substr(i, stop - i));
    if (lt == std::string_view::npos) break;
    if (lt + 1 < text.size() && text[lt + 1] == '<') {  // "<<" is a literal "<"
      if (!inParam) out.push_back('<');
      i = lt + 2;
      continue;
    }
    const std::size_t gt = text.find('>', lt + 1);
    if (gt == std::string_view::npos) {  // not a command: the rest is text
      if (!inParam) out.append(text.substr(lt));
      break;
    }
    std::string_view command = text.substr(lt + 1, gt - lt - 1);
    if (equalsUpper(command, "PARAM"))
      inParam = true;
    else if (equalsUpper(command, "/PARAM"))
      inParam = false;
    i = gt + 1;
  }
  return out;
}

}  // namespace qb::text
