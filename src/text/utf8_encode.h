#pragma once
// Turning archive texts into the character set of an export file.
//
// Archive texts are UTF-8; texts of older archives that are not valid UTF-8
// are Windows-1252 (see display_text.h). The old readers' formats want
// Windows-1252 (or the DOS code page 437), today's mail programs UTF-8.

#include <cstdint>
#include <string>
#include <string_view>

namespace qb::text {

// The UTF-8 form of an archive text: valid UTF-8 as it is, anything else
// read as Windows-1252.
std::string archiveToUtf8(std::string_view archiveText);

// Encodes UTF-8 text in `charset` ("windows-1252", "iso-8859-1",
// "us-ascii", "ibm437"/"cp437", "utf-8"; names in any letter case). A
// character the set lacks becomes "?" and is counted in `lost` when given.
// Invalid UTF-8 bytes are taken as Windows-1252 characters. An unknown
// charset name gives the text unchanged.
std::string fromUtf8(std::string_view utf8, std::string_view charset, std::size_t* lost = nullptr);

// Windows-1252 byte to the nearest character of DOS code page 437 (bytes
// below 128 unchanged): the translation of the DOS readers' export files.
uint8_t windowsToDos(uint8_t c);
void windowsToDos(std::string& s);

// Decodes one UTF-8 sequence at `i`; advances `i`. Returns the code point,
// or -1 (advancing by one byte) when the bytes at `i` are not valid UTF-8.
int32_t nextUtf8(std::string_view s, std::size_t& i);

// True when every byte is below 128.
bool isAscii(std::string_view s);

}  // namespace qb::text
