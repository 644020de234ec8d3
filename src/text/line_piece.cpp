#include "text/line_piece.h"
#include "text/strings.h"

#include <cstring>

namespace qb::text {

void LinePiece::assign(std::string_view s, bool cont) {
  std::size_t n = s.size() < kPieceSize ? s.size() : kPieceSize;
  if (n > 0) std::memcpy(text, s.data(), n);
  length = static_cast<uint32_t>(n);
  continued = cont ? 1 : 0;
}

std::size_t splitLine(std::string_view line, std::vector<LinePiece>& out, std::size_t maxLength) {
  if (line.size() > maxLength) line = line.substr(0, maxLength);
  std::size_t count = 0;
  do {
    std::string_view part = line.substr(0, kPieceSize);
    line.remove_prefix(part.size());
    out.emplace_back().assign(part, !line.empty());
    ++count;
  } while (!line.empty());
  return count;
}

std::string_view stripTrailingBlanks(std::string_view line) { return trimRightSpacesView(line); }

std::string_view stripCR(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

}  // namespace qb::text
