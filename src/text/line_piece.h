#pragma once
// Line pieces: the unit in which every capture and mail reader queues the
// lines of a message. A piece holds at most 400 characters; an input line
// longer than that becomes several pieces, all but the last flagged as
// continued. The captures keep 1200 characters of one line; the Internet
// formats keep every line whole.
//
// A piece is a fixed buffer (no heap allocation), so a reader can keep a
// std::vector<LinePiece> as its queue and reuse it from message to message.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace qb::text {

inline constexpr std::size_t kPieceSize = 400;
inline constexpr std::size_t kMaxLinePieces = 3;
inline constexpr std::size_t kMaxLineLength = kPieceSize * kMaxLinePieces;  // 1200

// A queued piece that must not reach the text is overwritten with this
// marker; the text assembler passes over marked pieces.
inline constexpr std::string_view kRemovalMarker = "!!!Remove this!!!";

struct LinePiece {
  char text[kPieceSize];  // only the first `length` bytes are meaningful
  uint32_t length = 0;
  uint8_t continued = 0;  // 1: the same input line goes on in the next piece

  LinePiece() = default;
  explicit LinePiece(std::string_view s, bool cont = false) { assign(s, cont); }

  // Sets the piece to `s` (cut to 400 characters).
  void assign(std::string_view s, bool cont = false);
  std::string_view view() const { return std::string_view(text, length); }
  bool empty() const { return length == 0; }

  void markRemoved() { assign(kRemovalMarker, false); }
  bool removed() const { return view() == kRemovalMarker; }
};

// Appends the pieces of one input line to `out`: one piece for a line of up
// to 400 characters (an empty line gives one empty piece), more for longer
// lines; characters beyond `maxLength` (the captures' 1200) are dropped.
// Returns the number of pieces appended.
std::size_t splitLine(std::string_view line, std::vector<LinePiece>& out, std::size_t maxLength = kMaxLineLength);

// The line without its trailing blanks (capture files are read so).
std::string_view stripTrailingBlanks(std::string_view line);

// The line without a trailing CR (for readers that cut at LF).
std::string_view stripCR(std::string_view line);

}  // namespace qb::text
