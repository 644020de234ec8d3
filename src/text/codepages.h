#pragma once
// Character tables. The archive stores message texts as Windows-1252 bytes.
//
//  - DOS to Windows: code page 850 (the DOS readers' captures) to
//    Windows-1252. Box-drawing and block characters, the dotless i, the
//    cedilla, the degree sign and the no-break space become a blank; the
//    double low line (0xF2) becomes "=".
//  - Latin-2 fold: ISO-8859-2 (bytes 0xA0-0xFF) to Windows-1252. A character
//    Windows-1252 also has keeps it (S and s with caron become 0x8A and
//    0x9A); a letter with a diacritic that Windows-1252 lacks becomes its base
//    letter; the spacing breve, ogonek, caron, double acute and dot above
//    become "?".
//
// Other character sets are not converted: ISO-8859-1 and US-ASCII are taken
// as Windows-1252 already; UTF-8 and every other set pass through as the
// bytes they are (the browses show a text that is valid UTF-8 as UTF-8).

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

// Byte of ISO-8859-2 to Windows-1252 (bytes below 0xA0 unchanged).
uint8_t latin2Fold(uint8_t c);
void latin2Fold(std::string& s);

enum class Charset : uint8_t { UsAscii, Latin1, Latin2, Windows1252, Other };

// The character set of a MIME charset name (any case, quotes and blanks
// around it ignored); unknown names give Other.
Charset charsetFromName(std::string_view name);

// Converts decoded bytes of `cs` to what the archive stores: Latin-2 is
// folded, everything else is left as it is.
void toArchiveText(Charset cs, std::string& s);

}  // namespace qb::text
