#include "import/formats/captures/capture_format.h"

#include <array>

namespace qb::import::captures {

namespace {
struct Entry {
  CaptureFormat format;
  ImportTypeId type;
};
constexpr std::array<Entry, 8> kFormats{{
    {CaptureFormat::OzCIS, ImportTypeId::OzCis},
    {CaptureFormat::OzWin1, ImportTypeId::OzWin1},
    {CaptureFormat::OzWin2, ImportTypeId::OzWin2},
    {CaptureFormat::Tapcis5, ImportTypeId::Tapcis5},
    {CaptureFormat::Tapcis6, ImportTypeId::Tapcis6},
    {CaptureFormat::Autosig, ImportTypeId::Autosig},
    {CaptureFormat::GoldenCompass, ImportTypeId::GoldenCompass},
    {CaptureFormat::NavCIS, ImportTypeId::NavCisSave},
}};
}  // namespace

const char* formatName(CaptureFormat f) {
  for (const auto& e : kFormats)
    if (e.format == f) return importTypeName(e.type);
  return "";
}

bool captureFormatOf(ImportTypeId type, CaptureFormat& f) {
  for (const auto& e : kFormats)
    if (e.type == type) {
      f = e.format;
      return true;
    }
  return false;
}

bool translatesCodePage(CaptureFormat f) {
  return f == CaptureFormat::OzCIS || f == CaptureFormat::Tapcis5 || f == CaptureFormat::Tapcis6 ||
         f == CaptureFormat::Autosig;
}

bool forumFromStartLine(CaptureFormat f) {
  return f == CaptureFormat::OzCIS || f == CaptureFormat::OzWin1 || f == CaptureFormat::OzWin2;
}

bool kindFromTarget(CaptureFormat f) {
  return f == CaptureFormat::Tapcis5 || f == CaptureFormat::Tapcis6 || f == CaptureFormat::Autosig ||
         f == CaptureFormat::GoldenCompass;
}

bool dropsTrailingAtB(CaptureFormat f) {
  return f == CaptureFormat::Tapcis5 || f == CaptureFormat::GoldenCompass;
}

bool isStartLine(CaptureFormat f, FileKind kind, std::string_view line, std::string_view next) {
  if (f == CaptureFormat::NavCIS) return startsWith(line, "Subject:  ") && startsWith(next, "   From:  ");
  if (kind == FileKind::Mail && forumFromStartLine(f)) return startsWith(line, "Date:  ");
  return startsWith(line, "#:");
}


std::string_view dropAtB(std::string_view s) {
  s = trimRightSpacesView(s);
  if (s.size() >= 2 && s.substr(s.size() - 2) == "@b") s.remove_suffix(2);
  return trimRightSpacesView(s);
}

bool isNumber(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

unsigned long numberValue(std::string_view s) {
  unsigned long v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') break;
    v = v * 10 + static_cast<unsigned long>(c - '0');
    if (v > 4000000000UL) return 4000000000UL;
  }
  return v;
}

}  // namespace qb::import::captures
