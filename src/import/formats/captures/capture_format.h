#pragma once
// The eight CompuServe capture formats that store forum messages and mail as
// plain text, and the rules in which they differ: how the file is read, which
// lines start a message, where the forum name comes from and whether bytes of
// the DOS character set are translated.

#include <string>
#include <string_view>
#include "text/strings.h"

#include "import/import_types.h"

namespace qb::import::captures {

enum class CaptureFormat {
  OzCIS,
  OzWin1,
  OzWin2,
  Tapcis5,
  Tapcis6,
  Autosig,
  GoldenCompass,
  NavCIS,
};

// What one file holds; decided once per file before its first message.
enum class FileKind { Unknown, Forum, Mail };

// The import type name of a format ("OzCIS", "TAPCIS 5.x", ...).
const char* formatName(CaptureFormat f);
// By import type; false when the type is not one of the eight.
bool captureFormatOf(ImportTypeId type, CaptureFormat& f);

// Bytes of 128 and above are taken as code page 850 and translated to
// Windows-1252 (OzCIS, TAPCIS and AUTOSIG captures).
bool translatesCodePage(CaptureFormat f);
// The forum name is read from the start line (OzCIS and OzWin); the others
// use the forum name chosen for the import (NavCIS has a forum line).
bool forumFromStartLine(CaptureFormat f);
// The mail/forum decision uses the chosen target (TAPCIS, AUTOSIG and
// GoldenCompass files look the same for both).
bool kindFromTarget(CaptureFormat f);
// Header texts may end with the formatting code "@b".
bool dropsTrailingAtB(CaptureFormat f);

// A forum or mail message starts at this line. `next` is the line after it
// (only the NavCIS Save format looks at it).
bool isStartLine(CaptureFormat f, FileKind kind, std::string_view line, std::string_view next);
// The NavCIS start needs the following line to be known.
inline bool startNeedsNextLine(CaptureFormat f) { return f == CaptureFormat::NavCIS; }

// Small text helpers shared by the capture units.
using text::startsWith;
// Column c (1-based) of a line, blank beyond its end.
inline char col(std::string_view s, std::size_t c) { return c >= 1 && c <= s.size() ? s[c - 1] : ' '; }
// The text from column c (1-based), empty beyond the end.
inline std::string_view fromCol(std::string_view s, std::size_t c) {
  return c >= 1 && c <= s.size() ? s.substr(c - 1) : std::string_view();
}
using text::trimRightSpacesView;
using text::trimSpacesView;
// Removes a trailing "@b" (and the blanks before it).
std::string_view dropAtB(std::string_view s);
// Digits only and not empty.
bool isNumber(std::string_view s);
// The value of a digit string (saturating at 4e9); 0 when empty.
unsigned long numberValue(std::string_view s);

}  // namespace qb::import::captures
