#include "text/text_assembler.h"

#include "text/enriched.h"
#include "text/html.h"
#include "text/strings.h"
#include "text/unicode.h"

namespace qb::text {

namespace {

constexpr std::string_view kCrLf = "\r\n";

// The first eight characters of a plain text name it HTML, in a tag: a
// text that merely begins with the word "HTML" is not markup.
bool looksLikeHtml(std::string_view text) {
  std::string_view head = text.substr(0, 8);
  if (head.find('<') == std::string_view::npos) return false;
  for (std::size_t i = 0; i + 4 <= head.size(); ++i) {
    if (text::upper1252(uint8_t(head[i])) == 'H' && text::upper1252(uint8_t(head[i + 1])) == 'T' &&
        text::upper1252(uint8_t(head[i + 2])) == 'M' && text::upper1252(uint8_t(head[i + 3])) == 'L')
      return true;
  }
  return false;
}

}  // namespace

TextAssembler::TextAssembler() { text_.reserve(kMaxText); }

void TextAssembler::clear() {
  text_.clear();
  first_ = true;
  written_ = false;
  full_ = false;
}

bool TextAssembler::add(std::string_view piece, bool continued) {
  if (full_) return false;
  const bool first = first_;
  first_ = false;
  if (piece == kRemovalMarker) return true;
  if (piece.empty() && !written_) return true;  // blank lines before the text

  const bool crlf = first || !continued;
  const std::size_t need = piece.size() + (crlf ? kCrLf.size() : 0);
  written_ = true;
  if (text_.size() + need >= kMaxText) {
    // The text ends here: cut so that it reaches 63998 bytes, then CR LF.
    const std::size_t target = kMaxText - kCrLf.size();
    if (text_.size() > target)
      text_.resize(utf8Prefix(text_, target));
    else
      text_.append(cutUtf8(piece, target - text_.size()));
    text_.append(kCrLf);
    full_ = true;
    return false;
  }
  text_.append(piece);
  if (crlf) text_.append(kCrLf);
  return true;
}

std::string TextAssembler::finish(BodyKind kind) {
  std::string out;
  if (kind == BodyKind::Html || (kind == BodyKind::Plain && looksLikeHtml(text_)))
    htmlToText(text_, out);
  else if (kind == BodyKind::Enriched)
    out = enrichedToText(text_);
  else
    out = text_;
  capText(out);
  clear();
  return out;
}

std::string assembleText(std::span<const LinePiece> body, BodyKind kind) {
  TextAssembler a;
  for (const LinePiece& p : body)
    if (!a.add(p)) break;
  return a.finish(kind);
}

std::string assembleText(std::span<const LinePiece> pieces, std::size_t first, std::size_t last,
                         BodyKind kind) {
  if (first >= pieces.size() || first > last) return assembleText(std::span<const LinePiece>(), kind);
  if (last >= pieces.size()) last = pieces.size() - 1;
  return assembleText(pieces.subspan(first, last - first + 1), kind);
}

void capText(std::string& text) {
  if (text.size() <= kMaxText) return;
  text.resize(utf8Prefix(text, kMaxText - kCrLf.size()));
  text.append(kCrLf);
}

}  // namespace qb::text
