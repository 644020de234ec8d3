#include "text/mime.h"

#include <array>
#include <vector>

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

namespace {

// The parameters of a header value: "type; name=value; name="value"".
// Calls f(name in lower case, value unquoted) for each.
template <class F>
void eachParameter(std::string_view value, F f) {
  std::size_t i = value.find(';');
  while (i != std::string_view::npos && i < value.size()) {
    ++i;
    while (i < value.size() && isBlank(value[i])) ++i;
    const std::size_t eq = value.find('=', i);
    if (eq == std::string_view::npos) return;
    const std::string name = lowerAscii(trimView(value.substr(i, eq - i)));
    std::size_t j = eq + 1;
    while (j < value.size() && isBlank(value[j])) ++j;
    std::string v;
    if (j < value.size() && value[j] == '"') {
      for (++j; j < value.size() && value[j] != '"'; ++j) {
        if (value[j] == '\\' && j + 1 < value.size()) ++j;
        v.push_back(value[j]);
      }
      i = value.find(';', j);
    } else {
      const std::size_t end = value.find(';', j);
      v = trim(value.substr(j, end == std::string_view::npos ? std::string_view::npos : end - j));
      i = end;
    }
    f(name, v);
  }
}

constexpr std::string_view kDisposition = "CONTENT-DISPOSITION:";

}  // namespace

ContentType parseContentType(std::string_view value) {
  ContentType t;
  value = trimView(value);
  std::string_view type = value.substr(0, value.find(';'));
  t.type = lowerAscii(trimView(type));
  if (t.type.find('/') == std::string::npos) t.type.clear();
  eachParameter(value, [&](const std::string& name, const std::string& v) {
    if (name == "charset") t.charset = v;
    else if (name == "boundary") t.boundary = v.substr(0, kMaxBoundary);
    else if (name == "format") t.flowed = lowerAscii(v) == "flowed";
    else if (name == "delsp") t.delsp = lowerAscii(v) == "yes";
  });
  return t;
}

TextForm textFormOf(const ContentType& type, TransferEncoding encoding) {
  TextForm f;
  f.kind = type.html() ? BodyKind::Html : type.enriched() ? BodyKind::Enriched : BodyKind::Plain;
  f.encoding = encoding;
  f.charset = type.charset;
  f.flowed = type.flowed && type.type == "text/plain";
  f.delsp = type.delsp;
  return f;
}

MimeBodyFilter::MimeBodyFilter(std::string_view boundary) {
  if (!boundary.empty()) boundaries_.push_back("--" + std::string(boundary));
}

// A delimiter line of one of the open boundaries: the innermost first. A
// closing delimiter ("--" after the boundary) closes its multipart; any
// other moves on to the next part's header.
bool MimeBodyFilter::delimiter(std::string_view line) {
  if (line.size() < 3 || line[0] != '-' || line[1] != '-') return false;
  for (std::size_t level = boundaries_.size(); level-- > 0;) {
    const std::string& b = boundaries_[level];
    if (!startsWith(line, b)) continue;
    const std::string_view rest = line.substr(b.size());
    const bool closing = startsWith(rest, "--");
    if (!closing && !trimView(rest).empty()) continue;  // a longer boundary that merely starts alike
    if (taken_) {
      state_ = State::Finished;
      return true;
    }
    boundaries_.resize(level + 1);
    if (closing) {
      boundaries_.pop_back();
      state_ = boundaries_.empty() ? State::Finished : State::Skip;
    } else {
      state_ = State::PartHeader;
      field_.clear();
      partType_ = ContentType{};
      partTyped_ = false;
      partAttachment_ = false;
      partEncoding_ = TransferEncoding::Identity;
    }
    return true;
  }
  return false;
}

void MimeBodyFilter::headerField() {
  if (field_.empty()) return;
  if (matchUpper(field_, 0, kContentType) && field_.size() > kContentType.size() &&
      field_[kContentType.size()] == ':') {
    partType_ = parseContentType(std::string_view(field_).substr(kContentType.size() + 1));
    partTyped_ = true;
  } else if (matchUpper(field_, 0, kDisposition)) {
    partAttachment_ = startsWithNoCase(trimView(std::string_view(field_).substr(kDisposition.size())), "attachment");
  } else if (TransferEncoding e = transferEncoding(field_); e != TransferEncoding::Identity) {
    partEncoding_ = e;
  }
  field_.clear();
}

void MimeBodyFilter::endPartHeader() {
  headerField();
  if (!partTyped_) partType_.type = "text/plain";  // a part without a type is plain text
  if ((partType_.type == "text/plain" || partType_.type == "text/html") && !partAttachment_) {
    taken_ = true;
    form_ = textFormOf(partType_, partEncoding_);
    state_ = State::Body;
  } else if (partType_.multipart() && !partType_.boundary.empty()) {
    boundaries_.push_back("--" + partType_.boundary);
    state_ = State::Skip;  // the nested preamble
  } else {
    state_ = State::Skip;
  }
}

bool MimeBodyFilter::keep(std::string_view line) {
  if (boundaries_.empty() && state_ == State::Preamble) return true;  // no boundary: all text
  if (state_ == State::Finished) return false;
  if (delimiter(line)) return false;
  switch (state_) {
    case State::Preamble:
      if (preamble_.size() < kMaxText) {
        preamble_.append(line);
        preamble_.push_back('\n');
      }
      return false;
    case State::PartHeader:
      if (trimView(line).empty()) {
        endPartHeader();
      } else if (isBlank(line[0])) {
        field_.append(line);  // a folded field goes on
      } else {
        headerField();
        field_.assign(line);
      }
      return false;
    case State::Body:
      return true;
    case State::Skip:
    case State::Finished:
      return false;
  }
  return false;
}

TextForm markMimePart(std::span<LinePiece> body, std::string_view boundary) {
  if (boundary.empty()) return {};
  MimeBodyFilter filter(boundary);
  std::vector<char> kept(body.size(), 0);
  std::vector<char> preamble(body.size(), 0);
  std::string line;
  for (std::size_t i = 0; i < body.size();) {
    std::size_t end = i + 1;
    while (end < body.size() && body[end - 1].continued) ++end;
    line.clear();
    for (std::size_t k = i; k < end; ++k) line.append(body[k].view());
    const bool keep = filter.keep(line);
    const bool inPreamble = filter.inPreamble();  // still before the first delimiter
    for (std::size_t k = i; k < end; ++k) {
      kept[k] = keep;
      preamble[k] = inPreamble;
    }
    i = end;
  }
  // Without a taken part the preamble is the text.
  for (std::size_t i = 0; i < body.size(); ++i)
    if (!kept[i] && !(preamble[i] && !filter.taken())) body[i].markRemoved();
  return filter.form();
}

bool markMimeBody(std::span<LinePiece> body, std::string_view boundary) {
  return markMimePart(body, boundary).kind == BodyKind::Html;
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
