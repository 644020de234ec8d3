#pragma once
// MIME routines: reading Content-Type values, finding the boundary of a
// multipart message in its header, keeping only the first readable part of a
// multipart body, and dropping the
// Internet header block that gateway mail carries at the top of a CompuServe
// mail body.
//
// Columns in this interface are 0-based positions in the line.

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

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

// What a Content-Type value says (RFC 2045): the type in lower case
// ("text/plain"; empty when the value names none) and the parameters the
// readers use. Parameter values are unquoted; names are matched in any case.
struct ContentType {
  std::string type;
  std::string charset;
  std::string boundary;  // at most 100 characters
  bool flowed = false;   // format=flowed (RFC 3676)
  bool delsp = false;    // delsp=yes

  bool multipart() const { return type.rfind("multipart/", 0) == 0; }
  bool html() const { return type == "text/html"; }
  bool enriched() const { return type == "text/enriched" || type == "text/richtext"; }
};
ContentType parseContentType(std::string_view value);

// How the text of a message or of its chosen part is written: what the
// body routine (bodyText in text/body_text.h) needs to turn it into the
// archive's UTF-8 text.
struct TextForm {
  BodyKind kind = BodyKind::Plain;
  TransferEncoding encoding = TransferEncoding::Identity;
  std::string charset;  // empty: not declared
  bool flowed = false;
  bool delsp = false;
};
// The form a Content-Type value (and the transfer encoding) give.
TextForm textFormOf(const ContentType& type, TransferEncoding encoding);

// The MIME body routine, line by line: keeps the first text/plain or
// text/html part of a multipart body that is not an attachment
// ("Content-Disposition: attachment"), and drops part headers, delimiter
// lines, other parts and the epilogue. A nested multipart part of any
// subtype is walked with its own boundary (the enclosing boundaries stay
// known, so that a nested part without text is left at the next enclosing
// delimiter). A delimiter is a line that begins with "--" and the boundary.
// Part headers are unfolded before they are read. A part header without a
// Content-Type line is text/plain. The preamble (the lines before the first
// delimiter, "This is a multi-part message in MIME format." as a rule) is
// not part of any body (RFC 2046): its lines are held back and are the text
// only when no part is taken. The taken part's lines are returned still
// encoded; form() tells how to decode them.
class MimeBodyFilter {
 public:
  explicit MimeBodyFilter(std::string_view boundary);

  // The next body line; true when it belongs to the chosen part.
  bool keep(std::string_view line);
  // A part was taken.
  bool taken() const { return taken_; }
  // The taken part is HTML.
  bool html() const { return form_.kind == BodyKind::Html; }
  // The transfer encoding of the taken part (Identity until one is taken).
  TransferEncoding encoding() const { return form_.encoding; }
  // How the taken part is written.
  const TextForm& form() const { return form_; }
  // Still before the first delimiter (the last line was preamble).
  bool inPreamble() const { return state_ == State::Preamble && !boundaries_.empty(); }
  // The preamble's lines, each ended by LF (at most 64000 bytes kept).
  const std::string& preamble() const { return preamble_; }

 private:
  enum class State { Preamble, PartHeader, Body, Skip, Finished };
  bool delimiter(std::string_view line);
  void headerField();
  void endPartHeader();

  std::vector<std::string> boundaries_;  // innermost last, each with its leading "--"
  State state_ = State::Preamble;
  std::string field_;  // the part header field being unfolded
  ContentType partType_;
  bool partTyped_ = false;
  bool partAttachment_ = false;
  TransferEncoding partEncoding_ = TransferEncoding::Identity;
  bool taken_ = false;
  TextForm form_;
  std::string preamble_;
};

// The MIME body routine over queued pieces: marks every piece of `body` that
// does not belong to the chosen text part with the removal marker (the
// pieces of one line are judged together). Returns true when the chosen part
// is HTML. An empty boundary changes nothing.
bool markMimeBody(std::span<LinePiece> body, std::string_view boundary);

// The same, telling how the chosen part is written.
TextForm markMimePart(std::span<LinePiece> body, std::string_view boundary);

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
