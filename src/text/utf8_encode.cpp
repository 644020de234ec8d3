#include "text/utf8_encode.h"

#include <array>

#include "text/display_text.h"
#include "text/strings.h"

namespace qb::text {

namespace {

// Code points of 0x80 to 0x9F in Windows-1252; 0 where no character is
// assigned.
const uint16_t k1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// Windows-1252 bytes 0x80-0xFF to code page 437: the same character where
// the DOS set has it, else the nearest (box-drawing cross for the daggers,
// bullet for the ellipsis, base letters for accented capitals the DOS set
// lacks, "?" for the unassigned bytes).
constexpr std::array<uint8_t, 128> kToDos = {
    0x45, 0x3F, 0x2C, 0x9F, 0x22, 0xF9, 0xC5, 0xC5, 0x5E, 0x25, 0x53, 0x3C, 0x4F, 0x3F, 0x5A, 0x3F,
    0x3F, 0x27, 0x27, 0x22, 0x22, 0xF9, 0x2D, 0x2D, 0x7E, 0x54, 0x73, 0x3E, 0x6F, 0x3F, 0x7A, 0x98,
    0xFF, 0xAD, 0x9B, 0x9C, 0x2A, 0x9D, 0x7C, 0x15, 0x22, 0x63, 0xA6, 0xAE, 0xAA, 0x2D, 0x52, 0x2D,
    0xF8, 0xF1, 0xFD, 0xFC, 0x27, 0xE6, 0x14, 0xFA, 0x2C, 0x31, 0xA7, 0xAF, 0xAC, 0xAB, 0x3F, 0xA8,
    0x41, 0x41, 0x41, 0x41, 0x8E, 0x8F, 0x92, 0x80, 0x45, 0x90, 0x45, 0x45, 0x49, 0x49, 0x49, 0x49,
    0x44, 0xA5, 0x4F, 0x4F, 0x4F, 0x4F, 0x99, 0x78, 0x4F, 0x55, 0x55, 0x55, 0x9A, 0x59, 0x50, 0xE1,
    0x85, 0xA0, 0x83, 0x61, 0x84, 0x86, 0x91, 0x87, 0x8A, 0x82, 0x88, 0x89, 0x8D, 0xA1, 0x8C, 0x8B,
    0x64, 0xA4, 0x95, 0xA2, 0x93, 0x6F, 0x94, 0xF6, 0xED, 0x97, 0xA3, 0x96, 0x81, 0x79, 0x70, 0x98};

// The Windows-1252 byte of a code point; -1 when the set lacks it.
int to1252(int32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return cp;
  for (int i = 0; i < 32; ++i)
    if (k1252High[i] && k1252High[i] == cp) return 0x80 + i;
  return -1;
}

void appendUtf8(std::string& out, int32_t cp) {
  auto u = static_cast<uint32_t>(cp);
  if (u < 0x80) {
    out += static_cast<char>(u);
  } else if (u < 0x800) {
    out += static_cast<char>(0xC0 | (u >> 6));
    out += static_cast<char>(0x80 | (u & 0x3F));
  } else if (u < 0x10000) {
    out += static_cast<char>(0xE0 | (u >> 12));
    out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (u & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (u >> 18));
    out += static_cast<char>(0x80 | ((u >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (u & 0x3F));
  }
}

enum class Target { Windows1252, Latin1, Ascii, Dos, Utf8, Unknown };

Target targetOf(std::string_view name) {
  std::string n = lowerAscii(trimView(name));
  if (n == "windows-1252" || n == "cp1252") return Target::Windows1252;
  if (n == "iso-8859-1" || n == "latin1") return Target::Latin1;
  if (n == "us-ascii" || n == "ascii") return Target::Ascii;
  if (n == "ibm437" || n == "cp437") return Target::Dos;
  if (n == "utf-8" || n == "utf8") return Target::Utf8;
  return Target::Unknown;
}

}  // namespace

int32_t nextUtf8(std::string_view s, std::size_t& i) {
  auto c = static_cast<unsigned char>(s[i]);
  if (c < 0x80) {
    ++i;
    return c;
  }
  std::size_t n;
  int32_t cp, min;
  if ((c & 0xE0) == 0xC0) n = 1, cp = c & 0x1F, min = 0x80;
  else if ((c & 0xF0) == 0xE0) n = 2, cp = c & 0x0F, min = 0x800;
  else if ((c & 0xF8) == 0xF0) n = 3, cp = c & 0x07, min = 0x10000;
  else {
    ++i;
    return -1;
  }
  if (i + n >= s.size()) {
    ++i;
    return -1;
  }
  for (std::size_t k = 1; k <= n; ++k) {
    auto d = static_cast<unsigned char>(s[i + k]);
    if ((d & 0xC0) != 0x80) {
      ++i;
      return -1;
    }
    cp = (cp << 6) | (d & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++i;
    return -1;
  }
  i += n + 1;
  return cp;
}

bool isAscii(std::string_view s) {
  for (unsigned char c : s)
    if (c >= 0x80) return false;
  return true;
}

std::string archiveToUtf8(std::string_view archiveText) {
  if (isAscii(archiveText)) return std::string(archiveText);
  return displayText(archiveText);
}

std::string fromUtf8(std::string_view utf8, std::string_view charset, std::size_t* lost) {
  const Target t = targetOf(charset);
  if (t == Target::Unknown) return std::string(utf8);
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    const std::size_t at = i;
    int32_t cp = nextUtf8(utf8, i);
    if (cp < 0) {  // a stray byte: a Windows-1252 character of an older text
      auto b = static_cast<unsigned char>(utf8[at]);
      cp = (b >= 0x80 && b < 0xA0) ? (k1252High[b - 0x80] ? k1252High[b - 0x80] : 0xFFFD) : b;
    }
    int byte = -1;
    switch (t) {
      case Target::Utf8: appendUtf8(out, cp); continue;
      case Target::Ascii: byte = cp < 0x80 ? cp : -1; break;
      case Target::Latin1: byte = cp <= 0xFF ? cp : -1; break;
      case Target::Windows1252: byte = to1252(cp); break;
      case Target::Dos: byte = to1252(cp); if (byte >= 0x80) byte = kToDos[byte - 0x80]; break;
      case Target::Unknown: break;
    }
    if (byte < 0) {
      byte = '?';
      if (lost) ++*lost;
    }
    out += static_cast<char>(byte);
  }
  return out;
}

uint8_t windowsToDos(uint8_t c) { return c < 0x80 ? c : kToDos[c - 0x80]; }

void windowsToDos(std::string& s) {
  for (auto& c : s) c = static_cast<char>(windowsToDos(static_cast<uint8_t>(c)));
}

}  // namespace qb::text
