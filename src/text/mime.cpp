#include "text/mime.h"

#include <array>

#include "text/strings.h"

namespace qb::text {

namespace {

char up(char c) { return static_cast<char>(text::upper1252(uint8_t(c))); }

// Whether `s` holds `what` (upper case) at `pos`, letter case ignored.
bool matchUpper(std::string_view s, std::size_t pos, std::string_view what) {
  if (pos > s.size() || s.size() - pos < what.size()) return false;
  for (std::size_t i = 0; i < what.size(); ++i)
    if (up(s[pos + i]) != what[i]) return false;
  return true;
}

// First position p in [from, last] with `what` at p; npos when none.
std::size_t findUpper(std::string_view s, std::string_view what, std::size_t from, std::size_t last) {
  for (std::size_t p = from; p <= last && p + what.size() <= s.size(); ++p)
    if (matchUpper(s, p, what)) return p;
  return std::string_view::npos;
}

constexpr std::string_view kContentType = "CONTENT-TYPE";
constexpr std::string_view kAlternative = "MULTIPART/ALTERNATIVE";
constexpr std::string_view kRelated = "MULTIPART/RELATED";
// A part's type is looked for in columns 13 to 35 of its Content-Type line.
constexpr std::size_t kTypeFrom = 12;
constexpr std::size_t kTypeLast = 34;

}  // namespace

std::string readBoundary(std::string_view line, std::size_t column) {
  constexpr std::string_view kKey = "BOUNDARY=";
  if (line.size() < 10 || column >= line.size()) return {};
  std::size_t at = findUpper(line, kKey, column, line.size() - kKey.size());
  if (at == std::string_view::npos) return {};
  std::string_view value = line.substr(at + kKey.size());
  if (!value.empty() && value[0] == '"') {
    // A quoted boundary ends at its closing quote.
    value.remove_prefix(1);
    value = value.substr(0, value.find('"'));
  } else {
    // An unquoted one ends before the next parameter.
    value = value.substr(0, value.find_first_of("; \t"));
  }
  value = trimRightView(value, " \t");
  return std::string(value.substr(0, kMaxBoundary));
}

void MimeDescription::multipartLine(std::string_view line) {
  multipart_ = true;
  if (boundary_.empty()) boundary_ = readBoundary(line, kMultipartLineColumn);
}

void MimeDescription::headerLine(std::string_view line) {
  if (multipart_ && boundary_.empty() && line.size() > 9) boundary_ = readBoundary(line, 0);
}

void MimeDescription::clear() {
  multipart_ = false;
  boundary_.clear();
}

TransferEncoding transferEncoding(std::string_view line) {
  constexpr std::string_view kKey = "CONTENT-TRANSFER-ENCODING:";
  if (!matchUpper(line, 0, kKey)) return TransferEncoding::Identity;
  std::string_view value = line.substr(kKey.size());
  while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
  if (matchUpper(value, 0, "BASE64")) return TransferEncoding::Base64;
  if (matchUpper(value, 0, "QUOTED-PRINTABLE")) return TransferEncoding::QuotedPrintable;
  return TransferEncoding::Identity;
}

MimeBodyFilter::MimeBodyFilter(std::string_view boundary) : boundary_(boundary) {}

bool MimeBodyFilter::keep(std::string_view line) {
  if (boundary_.empty()) return true;
  switch (state_) {
    case State::Finished:
      return false;

    case State::Outside:
      if (line.find(boundary_) != std::string_view::npos) {
        if (taken_) {
          state_ = State::Finished;
        } else {
          state_ = State::PartHeader;
          part_ = Part::Other;
          sawType_ = false;
          nestedPending_ = false;
          partEncoding_ = TransferEncoding::Identity;
        }
        return false;
      }
      return part_ == Part::None || part_ == Part::Text || part_ == Part::Html;

    case State::PartHeader:
      if (line.empty()) {
        if (!sawType_) part_ = Part::Text;  // a part without a type is plain text
        if (part_ == Part::Text || part_ == Part::Html) {
          taken_ = true;
          html_ = part_ == Part::Html;
          encoding_ = partEncoding_;
        }
        state_ = State::Outside;
        return false;
      }
      if (TransferEncoding e = transferEncoding(line); e != TransferEncoding::Identity) {
        partEncoding_ = e;
      } else if (matchUpper(line, 0, kContentType)) {
        sawType_ = true;
        if (findUpper(line, "TEXT/PLAIN", kTypeFrom, kTypeLast) != std::string_view::npos) {
          part_ = Part::Text;
        } else if (findUpper(line, "TEXT/HTML", kTypeFrom, kTypeLast) != std::string_view::npos) {
          part_ = Part::Html;
        } else {
          std::size_t at = findUpper(line, kAlternative, kTypeFrom, kTypeLast);
          std::size_t len = kAlternative.size();
          if (at == std::string_view::npos) {
            at = findUpper(line, kRelated, kTypeFrom, kTypeLast);
            len = kRelated.size();
          }
          if (at != std::string_view::npos) {
            part_ = Part::Multipart;
            std::string nested = readBoundary(line, at + len);
            nestedPending_ = nested.empty();
            if (!nested.empty()) boundary_ = std::move(nested);
          } else {
            part_ = Part::Other;
          }
        }
      } else if (nestedPending_) {
        // The nested boundary on a continuation line of the type.
        std::string nested = readBoundary(line, 0);
        if (!nested.empty()) {
          boundary_ = std::move(nested);
          nestedPending_ = false;
        }
      }
      return false;
  }
  return false;
}

MimePart markMimePart(std::span<LinePiece> body, std::string_view boundary) {
  if (boundary.empty()) return {};
  MimeBodyFilter filter(boundary);
  for (LinePiece& p : body)
    if (!filter.keep(p.view())) p.markRemoved();
  return {filter.html(), filter.encoding()};
}

bool markMimeBody(std::span<LinePiece> body, std::string_view boundary) {
  return markMimePart(body, boundary).html;
}

EmbeddedHeader dropEmbeddedHeader(std::span<LinePiece> body) {
  EmbeddedHeader result;
  if (body.empty()) return result;

  static constexpr std::array<std::string_view, 7> kStarts = {
      "SENDER:", "RECEIVED:", "MESSAGE-ID:", "FROM:", "DATE:", "SUBJECT:", "TO:"};
  std::string_view first = body[0].view().substr(0, 15);
  bool gateway = false;
  for (std::string_view s : kStarts)
    if (matchUpper(first, 0, s)) gateway = true;
  if (!gateway) return result;

  std::size_t blank = 0;
  while (blank < body.size() && !body[blank].empty()) ++blank;
  if (blank == body.size()) return result;  // no header block after all: all text

  BodyKind kind = BodyKind::Plain;
  MimeDescription mime;
  for (std::size_t i = 0; i < blank; ++i) {
    std::string_view line = body[i].view();
    if (matchUpper(line, 0, "CONTENT-TYPE: TEXT/HTML"))
      kind = BodyKind::Html;
    else if (matchUpper(line, 0, "CONTENT-TYPE: MULTIPART"))
      mime.multipartLine(line);
    else
      mime.headerLine(line);
  }

  std::size_t start = blank + 1;
  if (mime.hasBoundary() && markMimeBody(body.subspan(start), mime.boundary())) kind = BodyKind::Html;
  while (start < body.size() && body[start].removed()) ++start;
  result.kind = kind;
  result.firstBody = start;
  return result;
}

}  // namespace qb::text
