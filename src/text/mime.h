#pragma once
// MIME routines: finding the boundary of a multipart message in its header,
// keeping only the first readable part of a multipart body, and dropping the
// Internet header block that gateway mail carries at the top of a CompuServe
// mail body.
//
// Columns in this interface are 0-based positions in the line.

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "text/line_piece.h"
#include "text/text_assembler.h"

namespace qb::text {

inline constexpr std::size_t kMaxBoundary = 100;
// Where the boundary search starts on the "CONTENT-TYPE: MULTIPART" line
// itself: right after those 23 characters.
inline constexpr std::size_t kMultipartLineColumn = 23;

// The MIME boundary reader: searches the upper-cased line from `column` for
// "BOUNDARY=" and returns its value in the line's own letter case: a quoted
// value up to its closing quote, an unquoted one up to the next ";" or
// blank (so that parameters after it are not taken in). Empty when the line
// is shorter than 10 characters, holds no "BOUNDARY=" or the value is
// empty. At most 100 characters.
std::string readBoundary(std::string_view line, std::size_t column);

// Finds the boundary while a message header is read: the header reader
// hands it the "CONTENT-TYPE: MULTIPART" line, and every later header line
// until a boundary is found (a multipart type whose boundary parameter is on
// a continuation line).
class MimeDescription {
 public:
  // The "Content-Type: multipart/..." line: searched from column 23.
  void multipartLine(std::string_view line);
  // A header line after it: searched from column 0 while no boundary has
  // been found yet (lines of 9 characters or fewer are passed over).
  void headerLine(std::string_view line);

  bool multipart() const { return multipart_; }
  bool hasBoundary() const { return !boundary_.empty(); }
  const std::string& boundary() const { return boundary_; }
  void clear();

 private:
  bool multipart_ = false;
  std::string boundary_;
};

// How the body of a MIME part is sent ("Content-Transfer-Encoding:").
// Identity covers 7bit, 8bit, binary and a part without that line.
enum class TransferEncoding { Identity, Base64, QuotedPrintable };

// The encoding named on a "Content-Transfer-Encoding:" line; Identity for
// any other line or value.
TransferEncoding transferEncoding(std::string_view line);

// The MIME body routine, line by line: keeps the first text/plain or
// text/html part of a multipart body and drops part headers, boundary lines,
// other parts (attachments) and the epilogue. Lines before the first
// boundary are kept. A nested multipart/alternative or multipart/related
// part is walked with its own boundary, so its first text part wins. A part
// header without any Content-Type line is taken as text/plain. The taken
// part's transfer encoding is remembered: its kept lines are still encoded,
// and the caller decodes them (Base64 lines are collected and decoded as a
// whole).
class MimeBodyFilter {
 public:
  explicit MimeBodyFilter(std::string_view boundary);

  // The next body line (or piece); true when it reaches the text.
  bool keep(std::string_view line);
  // The taken part is HTML.
  bool html() const { return html_; }
  // The transfer encoding of the taken part (Identity until one is taken).
  TransferEncoding encoding() const { return encoding_; }

 private:
  enum class State { Outside, PartHeader, Finished };
  enum class Part { None, Text, Html, Multipart, Other };
  std::string boundary_;
  State state_ = State::Outside;
  Part part_ = Part::None;  // None: before the first boundary, where lines are kept
  bool sawType_ = false;
  bool nestedPending_ = false;  // a nested multipart type still without boundary
  bool taken_ = false;
  bool html_ = false;
  TransferEncoding partEncoding_ = TransferEncoding::Identity;  // of the part whose header is read
  TransferEncoding encoding_ = TransferEncoding::Identity;      // of the taken part
};

// The MIME body routine over queued pieces: marks every piece of `body` that
// does not belong to the chosen text part with the removal marker. Returns
// true when the chosen part is HTML. An empty boundary changes nothing.
bool markMimeBody(std::span<LinePiece> body, std::string_view boundary);

struct MimePart {
  bool html = false;
  TransferEncoding encoding = TransferEncoding::Identity;
};
// The same, telling also how the chosen part is encoded.
MimePart markMimePart(std::span<LinePiece> body, std::string_view boundary);

struct EmbeddedHeader {
  BodyKind kind = BodyKind::Plain;
  std::size_t firstBody = 0;  // index in `body` of the first text piece
};

// The embedded-header routine for CompuServe mail: when the first piece of
// `body` begins (upper case, first 15 characters) with "SENDER:",
// "RECEIVED:", "MESSAGE-ID:", "FROM:", "DATE:", "SUBJECT:" or "TO:", the
// lines up to the first empty line are a gateway's Internet header and not
// text. "CONTENT-TYPE: TEXT/HTML" among them makes the body HTML;
// "CONTENT-TYPE: MULTIPART" with a boundary makes the MIME body routine mark
// the body after the header. The body then starts after the empty line and
// any marked pieces that follow it. A header block that never ends with an
// empty line is taken as text (firstBody stays 0).
EmbeddedHeader dropEmbeddedHeader(std::span<LinePiece> body);

}  // namespace qb::text
