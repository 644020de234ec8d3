#include "text/codepages.h"

#include <array>

#include "text/strings.h"

namespace qb::text {

namespace {

// Code page 850 bytes 0x80-0xFF as Windows-1252 bytes. Characters that
// Windows-1252 lacks (box drawing, blocks, dotless i) are blanks, as are the
// cedilla (0xF7), the degree sign (0xF8) and the no-break space (0xFF); the
// double low line (0xF2) is "=".
constexpr std::array<uint8_t, 128> kDos = {
    // 0x80
    0xC7, 0xFC, 0xE9, 0xE2, 0xE4, 0xE0, 0xE5, 0xE7, 0xEA, 0xEB, 0xE8, 0xEF, 0xEE, 0xEC, 0xC4, 0xC5,
    // 0x90
    0xC9, 0xE6, 0xC6, 0xF4, 0xF6, 0xF2, 0xFB, 0xF9, 0xFF, 0xD6, 0xDC, 0xF8, 0xA3, 0xD8, 0xD7, 0x83,
    // 0xA0
    0xE1, 0xED, 0xF3, 0xFA, 0xF1, 0xD1, 0xAA, 0xBA, 0xBF, 0xAE, 0xAC, 0xBD, 0xBC, 0xA1, 0xAB, 0xBB,
    // 0xB0
    0x20, 0x20, 0x20, 0x20, 0x20, 0xC1, 0xC2, 0xC0, 0xA9, 0x20, 0x20, 0x20, 0x20, 0xA2, 0xA5, 0x20,
    // 0xC0
    0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0xE3, 0xC3, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0xA4,
    // 0xD0
    0xF0, 0xD0, 0xCA, 0xCB, 0xC8, 0x20, 0xCD, 0xCE, 0xCF, 0x20, 0x20, 0x20, 0x20, 0xA6, 0xCC, 0x20,
    // 0xE0
    0xD3, 0xDF, 0xD4, 0xD2, 0xF5, 0xD5, 0xB5, 0xFE, 0xDE, 0xDA, 0xDB, 0xD9, 0xFD, 0xDD, 0xAF, 0xB4,
    // 0xF0
    0xAD, 0xB1, 0x3D, 0xBE, 0xB6, 0xA7, 0xF7, 0x20, 0x20, 0xA8, 0xB7, 0xB9, 0xB3, 0xB2, 0x20, 0x20,
};

// ISO-8859-2 bytes 0xA0-0xFF as Windows-1252 bytes.
constexpr std::array<uint8_t, 96> kLatin2 = {
    // 0xA0: NBSP A-ogonek breve L-stroke currency L-caron S-acute section
    //       diaeresis S-caron S-cedilla T-caron Z-acute SHY Z-caron Z-dot
    0xA0, 'A', '?', 'L', 0xA4, 'L', 'S', 0xA7, 0xA8, 0x8A, 'S', 'T', 'Z', 0xAD, 0x8E, 'Z',
    // 0xB0: degree a-ogonek ogonek l-stroke acute l-caron s-acute caron
    //       cedilla s-caron s-cedilla t-caron z-acute double-acute z-caron z-dot
    0xB0, 'a', '?', 'l', 0xB4, 'l', 's', '?', 0xB8, 0x9A, 's', 't', 'z', '?', 0x9E, 'z',
    // 0xC0: R-acute A-acute A-circ A-breve A-uml L-acute C-acute C-cedilla
    //       C-caron E-acute E-ogonek E-uml E-caron I-acute I-circ D-caron
    'R', 0xC1, 0xC2, 'A', 0xC4, 'L', 'C', 0xC7, 'C', 0xC9, 'E', 0xCB, 'E', 0xCD, 0xCE, 'D',
    // 0xD0: D-stroke N-acute N-caron O-acute O-circ O-double-acute O-uml times
    //       R-caron U-ring U-acute U-double-acute U-uml Y-acute T-cedilla sharp-s
    'D', 'N', 'N', 0xD3, 0xD4, 'O', 0xD6, 0xD7, 'R', 'U', 0xDA, 'U', 0xDC, 0xDD, 'T', 0xDF,
    // 0xE0: the small letters of 0xC0
    'r', 0xE1, 0xE2, 'a', 0xE4, 'l', 'c', 0xE7, 'c', 0xE9, 'e', 0xEB, 'e', 0xED, 0xEE, 'd',
    // 0xF0: the small letters of 0xD0, divide, dot above
    'd', 'n', 'n', 0xF3, 0xF4, 'o', 0xF6, 0xF7, 'r', 'u', 0xFA, 'u', 0xFC, 0xFD, 't', '?',
};

bool iequals(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (text::upper1252(uint8_t(a[i])) != text::upper1252(uint8_t(b[i]))) return false;
  return true;
}

}  // namespace

uint8_t dosToWindows(uint8_t c) { return c < 0x80 ? c : kDos[c - 0x80]; }

void dosToWindows(char* data, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    auto c = static_cast<uint8_t>(data[i]);
    if (c >= 0x80) data[i] = static_cast<char>(kDos[c - 0x80]);
  }
}

void dosToWindows(std::string& s) { dosToWindows(s.data(), s.size()); }
void dosToWindows(LinePiece& p) { dosToWindows(p.text, p.length); }

uint8_t latin2Fold(uint8_t c) { return c < 0xA0 ? c : kLatin2[c - 0xA0]; }

void latin2Fold(std::string& s) {
  for (char& ch : s) {
    auto c = static_cast<uint8_t>(ch);
    if (c >= 0xA0) ch = static_cast<char>(kLatin2[c - 0xA0]);
  }
}

Charset charsetFromName(std::string_view name) {
  while (!name.empty() && (name.front() == ' ' || name.front() == '"')) name.remove_prefix(1);
  while (!name.empty() && (name.back() == ' ' || name.back() == '"')) name.remove_suffix(1);
  if (iequals(name, "us-ascii") || iequals(name, "ascii")) return Charset::UsAscii;
  if (iequals(name, "iso-8859-1") || iequals(name, "latin1") || iequals(name, "iso8859-1"))
    return Charset::Latin1;
  if (iequals(name, "iso-8859-2") || iequals(name, "latin2") || iequals(name, "iso8859-2"))
    return Charset::Latin2;
  if (iequals(name, "windows-1252") || iequals(name, "cp1252")) return Charset::Windows1252;
  return Charset::Other;
}

void toArchiveText(Charset cs, std::string& s) {
  if (cs == Charset::Latin2) latin2Fold(s);
}

}  // namespace qb::text
