#include "text/flowed.h"

namespace qb::text {

std::string unwrapFlowed(std::string_view text, bool delsp) {
  std::string out;
  out.reserve(text.size());
  std::string paragraph;
  int paragraphDepth = -1;  // -1: no paragraph open
  auto endParagraph = [&] {
    if (paragraphDepth < 0) return;
    out.append(static_cast<std::size_t>(paragraphDepth), '>');
    if (paragraphDepth > 0 && !paragraph.empty()) out.push_back(' ');
    out += paragraph;
    out.push_back('\n');
    paragraph.clear();
    paragraphDepth = -1;
  };
  while (!text.empty()) {
    std::size_t lf = text.find('\n');
    std::string_view line = text.substr(0, lf);
    text.remove_prefix(lf == std::string_view::npos ? text.size() : lf + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

    int depth = 0;
    while (!line.empty() && line.front() == '>') {
      ++depth;
      line.remove_prefix(1);
    }
    if (!line.empty() && line.front() == ' ') line.remove_prefix(1);  // stuffing
    if (paragraphDepth >= 0 && depth != paragraphDepth) endParagraph();

    const bool flowed = !line.empty() && line.back() == ' ' && line != "-- ";
    paragraphDepth = depth;
    paragraph.append(flowed && delsp ? line.substr(0, line.size() - 1) : line);
    if (!flowed) endParagraph();
  }
  endParagraph();
  return out;
}

}  // namespace qb::text
