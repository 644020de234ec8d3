#pragma once
// The DOS character table of the capture readers: code page 850 (the DOS
// programs' captures) to Windows-1252, which the capture converter then
// turns into UTF-8 (text/unicode.h). Box-drawing and block characters, the
// dotless i, the cedilla, the degree sign and the no-break space become a
// blank; the double low line (0xF2) becomes "=". Every other charset is
// converted by toUtf8() in text/unicode.h.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "text/line_piece.h"

namespace qb::text {

// Byte 0-255 of code page 850 to Windows-1252 (bytes below 128 unchanged).
uint8_t dosToWindows(uint8_t c);
void dosToWindows(char* data, std::size_t n);
void dosToWindows(std::string& s);
void dosToWindows(LinePiece& p);

}  // namespace qb::text
