#include "text/strip_char.h"

#include <string_view>
#include <vector>

#include "text/line_piece.h"
#include "text/mime.h"
#include "text/text_assembler.h"

namespace qb::text {
namespace {

bool isLineEnd(char c) { return c == '\r' || c == '\n'; }
bool isCode(std::string_view s) { return s == "@b" || s == "@l"; }

void stripEnds(std::string& text) {
  std::size_t end = text.size();
  while (end > 0) {
    if (isLineEnd(text[end - 1])) {
      --end;
    } else if (end >= 2 && isCode(std::string_view(text).substr(end - 2, 2))) {
      end -= 2;
    } else {
      break;
    }
  }
  std::size_t begin = 0;
  while (begin < end) {
    if (isLineEnd(text[begin])) {
      ++begin;
    } else if (end - begin >= 2 && isCode(std::string_view(text).substr(begin, 2))) {
      begin += 2;
    } else {
      break;
    }
  }
  text = text.substr(begin, end - begin);
}

// Cuts the text at CR LF (a bare LF ends a line too) into line pieces.
std::vector<LinePiece> cutLines(std::string_view text) {
  std::vector<LinePiece> pieces;
  while (!text.empty()) {
    std::size_t lf = text.find('\n');
    std::string_view line = text.substr(0, lf);
    text.remove_prefix(lf == std::string_view::npos ? text.size() : lf + 1);
    splitLine(stripCR(line), pieces);
  }
  return pieces;
}

}  // namespace

std::string StripChar(StripKind kind, std::string text) {
  stripEnds(text);
  if (kind != StripKind::Mail || text.empty()) return text;
  std::vector<LinePiece> pieces = cutLines(text);
  EmbeddedHeader header = dropEmbeddedHeader(pieces);
  if (header.firstBody == 0) return text;  // no header block: the text stays as it is
  // The assembler ends every line with CR LF: the ends are cleaned again.
  std::string body = assembleText(pieces, header.firstBody, pieces.size() - 1, header.kind);
  stripEnds(body);
  return body;
}

}  // namespace qb::text
