#include "text/body_text.h"

#include "text/encodings.h"
#include "text/flowed.h"
#include "text/line_piece.h"
#include "text/unicode.h"

namespace qb::text {

bool addWholeLine(TextAssembler& text, std::string_view line) {
  do {
    std::string_view piece = line.substr(0, utf8Prefix(line, kPieceSize));
    if (piece.empty()) piece = line.substr(0, kPieceSize);
    line.remove_prefix(piece.size());
    if (!text.add(piece, !line.empty())) return false;
  } while (!line.empty());
  return true;
}

std::string bodyText(std::string_view body, const TextForm& form) {
  std::string decoded;
  switch (form.encoding) {
    case TransferEncoding::QuotedPrintable:
      decoded = decodeQuotedPrintable(body);
      break;
    case TransferEncoding::Base64:
      decoded = decodeBase64(body);
      break;
    case TransferEncoding::Identity:
      decoded.assign(body);
      break;
  }
  std::string utf8 = toUtf8(decoded, form.charset);
  if (form.flowed) utf8 = unwrapFlowed(utf8, form.delsp);

  TextAssembler text;
  text.add("");  // the assembler ends the first piece's line whatever it says: start with nothing
  std::string_view rest = utf8;
  while (!rest.empty()) {
    std::size_t lf = rest.find('\n');
    std::string_view line = rest.substr(0, lf);
    rest.remove_prefix(lf == std::string_view::npos ? rest.size() : lf + 1);
    if (!addWholeLine(text, stripCR(line))) break;
  }
  return text.finish(form.kind);
}

}  // namespace qb::text
