#pragma once
// AISINB: the case-sensitive substring search of the archive, with an
// optional whole-word test. Importers find markers in header lines with it,
// export finds markers in addresses and texts, and key words (topics) are
// found in message texts with it.
//
// A Boyer-Moore-Horspool scan. Both strings are taken without trailing
// blanks. With the whole-word flag, a candidate is rejected when the
// character before or after it is a word character of the needle's class:
// the digit class (0-9) for a numeric needle, otherwise the letter class
// (the digit 1, A-Z, a-z and the codes 128-133). The scan goes on after a
// rejected candidate, so the leftmost occurrence that passes is returned.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qb::text {

// The 1-based position of the first occurrence of `needle` in `haystack`, or
// 0. Lengths are signed 16-bit values: an empty needle, a needle longer than
// the haystack or 255 characters, and a haystack longer than 32,767
// characters yield 0.
int16_t AISINB(bool wholeWord, std::string_view needle, std::string_view haystack);

// The same scan without the 16-bit limits, on whole message texts (up to the
// 64,000 bytes of a memo and beyond): the 0-based byte offset of the first
// occurrence that passes the test, or npos. Needles of any length.
std::size_t findWord(bool wholeWord, std::string_view needle, std::string_view haystack);

// The class tables of the whole-word test.
bool isLetterClass(unsigned char c);
bool isDigitClass(unsigned char c);

}  // namespace qb::text
