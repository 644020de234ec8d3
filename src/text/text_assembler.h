#pragma once
// The text assembler: joins the queued pieces of a message body into the
// message text (at most 64000 bytes, the size of the text memo), then turns
// HTML or enriched text into plain text.
//
//  - The first piece offered is taken unless it is empty or marked removed;
//    every later piece is taken unless it is marked removed, or it is empty
//    while nothing has been written yet (blank lines before the first text
//    line are dropped).
//  - A taken piece is appended, followed by CR LF unless it is flagged as
//    continued (the first piece offered always gets CR LF).
//  - A piece that would bring the text (with its CR LF) to 64000 bytes or
//    more is cut so that the text reaches 63998 bytes (less where that
//    would split a UTF-8 character), CR LF is appended and nothing further
//    is taken.
//  - Body kind HTML runs htmlToText(), enriched runs enrichedToText(); a plain
//    body whose first eight characters contain "HTML" (any case) and a "<"
//    ("<HTML>", "<html><head>") is taken as HTML too.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "text/line_piece.h"

namespace qb::text {

inline constexpr std::size_t kMaxText = 64000;

enum class BodyKind : uint8_t { Plain = 0, Html = 1, Enriched = 2 };

class TextAssembler {
 public:
  TextAssembler();

  // Starts a new text (keeps the buffer's capacity).
  void clear();

  // Offers the next piece of the body. Returns false once the text is full;
  // pieces offered after that are ignored.
  bool add(std::string_view piece, bool continued = false);
  bool add(const LinePiece& p) { return add(p.view(), p.continued != 0); }

  bool full() const { return full_; }
  // The joined text so far, before any HTML or enriched conversion.
  const std::string& joined() const { return text_; }

  // Applies the body-kind conversion and returns the message text (at most
  // 64000 bytes). The assembler is cleared afterwards.
  std::string finish(BodyKind kind);

 private:
  std::string text_;
  bool first_ = true;
  bool written_ = false;
  bool full_ = false;
};

// Assembles the pieces of `body` (all of them, in order).
std::string assembleText(std::span<const LinePiece> body, BodyKind kind);
// Assembles pieces[first..last] (both inclusive; nothing when first > last or
// first is past the end; last is clamped to the queue).
std::string assembleText(std::span<const LinePiece> pieces, std::size_t first, std::size_t last,
                         BodyKind kind);

// Cuts a finished text to the memo size: a text longer than 64000 bytes is
// cut at 63998 bytes and ends with CR LF.
void capText(std::string& text);

}  // namespace qb::text
