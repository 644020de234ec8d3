#include "text/unicode.h"

#include <unicode/ucnv.h>
#include <unicode/ucsdet.h>
#include <unicode/unorm2.h>
#include <unicode/ustring.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "text/strings.h"

namespace qb::text {

namespace {

// Code points of 0x80 to 0x9F in Windows-1252; 0 where no character is
// assigned.
const uint16_t k1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void append1252(std::string& out, unsigned char c) {
  uint32_t cp = c;
  if (c >= 0x80 && c < 0xA0) cp = k1252High[c - 0x80] ? k1252High[c - 0x80] : 0xFFFD;
  appendUtf8(out, cp);
}

// The length of the well-formed UTF-8 sequence at s[i], or 0 when there is
// none (a byte below 0x80 counts as a sequence of one).
// Length of the run of ASCII bytes at p (at most n), eight bytes a step.
std::size_t asciiRun(const char* p, std::size_t n) {
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t w;
    std::memcpy(&w, p + i, 8);
    if (w & 0x8080808080808080ull) break;
  }
  while (i < n && static_cast<unsigned char>(p[i]) < 0x80) ++i;
  return i;
}

std::size_t sequenceAt(std::string_view s, std::size_t i) {
  const auto c = static_cast<unsigned char>(s[i]);
  if (c < 0x80) return 1;
  std::size_t n;
  uint32_t cp;
  if (c >= 0xC2 && c <= 0xDF) n = 2, cp = c & 0x1F;
  else if ((c & 0xF0) == 0xE0) n = 3, cp = c & 0x0F;
  else if (c >= 0xF0 && c <= 0xF4) n = 4, cp = c & 0x07;
  else return 0;
  if (i + n > s.size()) return 0;
  for (std::size_t k = 1; k < n; ++k) {
    const auto d = static_cast<unsigned char>(s[i + k]);
    if ((d & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (d & 0x3F);
  }
  if ((n == 3 && cp < 0x800) || (n == 4 && cp < 0x10000) || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
    return 0;
  return n;
}

// Valid sequences kept, every other byte read as Windows-1252.
std::string repairUtf8(std::string_view s) {
  std::string out;
  out.reserve(s.size() + 8);
  for (std::size_t i = 0; i < s.size();) {
    std::size_t n = sequenceAt(s, i);
    if (n == 0) {
      append1252(out, static_cast<unsigned char>(s[i]));
      ++i;
    } else {
      out.append(s.substr(i, n));
      i += n;
    }
  }
  return out;
}

std::string normalName(std::string_view name) {
  std::string n = lowerAscii(trimView(name));
  while (!n.empty() && (n.front() == '"' || n.front() == '\'')) n.erase(0, 1);
  while (!n.empty() && (n.back() == '"' || n.back() == '\'')) n.pop_back();
  return trim(n);
}

enum class Route { Unlabelled, Utf8, Windows1252, Icu };

Route routeOf(const std::string& name) {
  if (name.empty()) return Route::Unlabelled;
  if (name == "utf-8" || name == "utf8" || name == "x-utf-8") return Route::Utf8;
  // ASCII and Latin-1 labels are read as their common superset.
  static const char* const k1252[] = {"us-ascii", "ascii",  "iso-8859-1", "iso8859-1", "iso_8859-1", "latin1",
                                      "latin-1",  "l1",     "cp819",      "windows-1252", "cp1252", "x-cp1252",
                                      "ansi_x3.4-1968", "us", "iso-ir-100", "ibm819", "cp-1252", "win-1252"};
  for (const char* n : k1252)
    if (name == n) return Route::Windows1252;
  return Route::Icu;
}

// Names that mail programs wrote that ICU does not know by that spelling.
std::string icuName(const std::string& name) {
  if (name == "x-mac-roman" || name == "mac" || name == "macroman") return "macintosh";
  if (name == "x-mac-cyrillic") return "x-mac-cyrillic";
  if (name == "ks_c_5601-1987" || name == "ks_c_5601") return "windows-949";
  if (name == "x-sjis" || name == "shift-jis") return "Shift_JIS";
  if (name == "x-euc-jp") return "EUC-JP";
  if (name == "gb2312" || name == "x-gbk" || name == "gbk") return "GB18030";  // a superset, as readers decode it
  return name;
}

// ICU converters by name, opened once per thread.
struct ConverterCache {
  std::unordered_map<std::string, UConverter*> open;
  ~ConverterCache() {
    for (auto& [n, c] : open)
      if (c) ucnv_close(c);
  }
  UConverter* get(const std::string& name) {
    auto it = open.find(name);
    if (it != open.end()) return it->second;
    UErrorCode st = U_ZERO_ERROR;
    UConverter* c = ucnv_open(icuName(name).c_str(), &st);
    if (U_FAILURE(st) || st == U_AMBIGUOUS_ALIAS_WARNING) {
      // An ambiguous alias still converts; a failure means an unknown name.
      if (U_FAILURE(st)) {
        if (c) ucnv_close(c);
        c = nullptr;
      }
    }
    if (open.size() > 64) {  // names from foreign files: keep the cache small
      for (auto& [n, cc] : open)
        if (cc) ucnv_close(cc);
      open.clear();
    }
    open.emplace(name, c);
    return c;
  }
};

UConverter* converter(const std::string& name) {
  thread_local ConverterCache cache;
  return cache.get(name);
}

std::string fromUChars(const std::vector<UChar>& u, int32_t n) {
  std::string out;
  if (n <= 0) return out;
  out.resize(static_cast<std::size_t>(n) * 3 + 4);
  UErrorCode st = U_ZERO_ERROR;
  int32_t len = 0;
  u_strToUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &len, u.data(), n, 0xFFFD, nullptr, &st);
  if (U_FAILURE(st)) return {};
  out.resize(static_cast<std::size_t>(len));
  return out;
}

bool toUChars(std::string_view utf8, std::vector<UChar>& u, int32_t& n) {
  u.resize(utf8.size() + 4);
  UErrorCode st = U_ZERO_ERROR;
  n = 0;
  u_strFromUTF8WithSub(u.data(), static_cast<int32_t>(u.size()), &n, utf8.data(), static_cast<int32_t>(utf8.size()),
                       0xFFFD, nullptr, &st);
  return U_SUCCESS(st);
}

// Converts with ICU; false when the charset is unknown or the conversion
// failed.
bool icuConvert(std::string_view bytes, const std::string& name, std::string& out) {
  UConverter* c = converter(name);
  if (!c) return false;
  ucnv_reset(c);
  std::vector<UChar> u(bytes.size() * 2 + 16);
  UErrorCode st = U_ZERO_ERROR;
  int32_t n = ucnv_toUChars(c, u.data(), static_cast<int32_t>(u.size()), bytes.data(),
                            static_cast<int32_t>(bytes.size()), &st);
  if (st == U_BUFFER_OVERFLOW_ERROR) {
    u.resize(static_cast<std::size_t>(n) + 16);
    st = U_ZERO_ERROR;
    ucnv_reset(c);
    n = ucnv_toUChars(c, u.data(), static_cast<int32_t>(u.size()), bytes.data(), static_cast<int32_t>(bytes.size()),
                      &st);
  }
  if (U_FAILURE(st)) return false;
  out = fromUChars(u, n);
  return true;
}

// Detected charsets that are taken for unlabelled text: those whose bytes
// read as Windows-1252 would be nonsense letters.
bool takenWhenDetected(std::string_view name) {
  static const char* const kTaken[] = {"KOI8-R",     "windows-1251", "ISO-8859-5", "ISO-8859-7", "windows-1253",
                                       "ISO-8859-8", "windows-1255", "ISO-8859-6", "windows-1256", "Shift_JIS",
                                       "EUC-JP",     "EUC-KR",       "GB18030",    "Big5"};
  for (const char* n : kTaken)
    if (name == n) return true;
  return false;
}

constexpr int kMinDetectedBytes = 8;       // bytes above 0x7F before detection is tried
constexpr int32_t kMinConfidence = 50;     // ICU's confidence, 0-100

std::string detectedCharset(std::string_view bytes) {
  int high = 0;
  for (char c : bytes)
    if (static_cast<unsigned char>(c) >= 0x80) ++high;
  if (high < kMinDetectedBytes) return {};
  UErrorCode st = U_ZERO_ERROR;
  std::unique_ptr<UCharsetDetector, decltype(&ucsdet_close)> det(ucsdet_open(&st), &ucsdet_close);
  if (U_FAILURE(st)) return {};
  ucsdet_setText(det.get(), bytes.data(), static_cast<int32_t>(bytes.size()), &st);
  const UCharsetMatch* m = ucsdet_detect(det.get(), &st);
  if (U_FAILURE(st) || !m) return {};
  const char* name = ucsdet_getName(m, &st);
  int32_t confidence = ucsdet_getConfidence(m, &st);
  if (U_FAILURE(st) || !name || confidence < kMinConfidence || !takenWhenDetected(name)) return {};
  return name;
}

}  // namespace

bool isUtf8(std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size();) {
    // Most text is ASCII: eight plain bytes at a time.
    i += asciiRun(bytes.data() + i, bytes.size() - i);
    if (i == bytes.size()) break;
    std::size_t n = sequenceAt(bytes, i);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

bool knownCharset(std::string_view charset) {
  std::string name = normalName(charset);
  Route r = routeOf(name);
  if (r == Route::Unlabelled) return false;
  return r != Route::Icu || converter(name) != nullptr;
}

std::string fromWindows1252(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 4);
  std::size_t i = 0;
  while (i < bytes.size()) {
    std::size_t run = i;  // ASCII runs are copied whole
    while (run < bytes.size() && static_cast<unsigned char>(bytes[run]) < 0x80) ++run;
    out.append(bytes.substr(i, run - i));
    if (run == bytes.size()) break;
    append1252(out, static_cast<unsigned char>(bytes[run]));
    i = run + 1;
  }
  return out;
}

std::string archiveUtf8(std::string_view text) {
  return isUtf8(text) ? std::string(text) : fromWindows1252(text);
}

std::string fromUnlabelled(std::string_view bytes) {
  if (isUtf8(bytes)) return std::string(bytes);
  std::string detected = detectedCharset(bytes);
  std::string out;
  if (!detected.empty() && icuConvert(bytes, detected, out)) return out;
  return fromWindows1252(bytes);
}

// Charsets whose text may be written in ASCII bytes alone.
static bool sevenBitEncoded(const std::string& name) {
  return startsWith(name, "iso-2022") || startsWith(name, "utf-7") || startsWith(name, "utf-16") ||
         startsWith(name, "utf-32") || startsWith(name, "hz") || name == "unicode-1-1-utf-7";
}

std::string toUtf8(std::string_view bytes, std::string_view charset) {
  const std::string name = normalName(charset);
  if (isAscii(bytes) && !sevenBitEncoded(name)) return std::string(bytes);
  switch (routeOf(name)) {
    case Route::Unlabelled:
      return fromUnlabelled(bytes);
    case Route::Utf8:
      return isUtf8(bytes) ? std::string(bytes) : repairUtf8(bytes);
    case Route::Windows1252:
      return fromWindows1252(bytes);
    case Route::Icu:
      break;
  }
  std::string out;
  if (icuConvert(bytes, name, out)) return out;
  return fromUnlabelled(bytes);
}

std::string foldCase(std::string_view text) {
  if (isAscii(text)) return lowerAscii(text);
  const std::string utf8 = isUtf8(text) ? std::string(text) : fromWindows1252(text);
  std::vector<UChar> u;
  int32_t n = 0;
  if (!toUChars(utf8, u, n)) return utf8;
  UErrorCode st = U_ZERO_ERROR;
  const UNormalizer2* cf = unorm2_getNFKCCasefoldInstance(&st);
  if (U_FAILURE(st)) return utf8;
  std::vector<UChar> folded(static_cast<std::size_t>(n) * 3 + 16);
  int32_t m = unorm2_normalize(cf, u.data(), n, folded.data(), static_cast<int32_t>(folded.size()), &st);
  if (st == U_BUFFER_OVERFLOW_ERROR) {
    folded.resize(static_cast<std::size_t>(m) + 16);
    st = U_ZERO_ERROR;
    m = unorm2_normalize(cf, u.data(), n, folded.data(), static_cast<int32_t>(folded.size()), &st);
  }
  if (U_FAILURE(st)) return utf8;
  return fromUChars(folded, m);
}

std::size_t utf8Prefix(std::string_view text, std::size_t maxBytes) {
  if (text.size() <= maxBytes) return text.size();
  // Back over at most three continuation bytes to the lead byte of the
  // sequence that the cut would split.
  std::size_t j = maxBytes;
  while (j > 0 && maxBytes - j < 3 && (static_cast<unsigned char>(text[j]) & 0xC0) == 0x80) --j;
  if (j < maxBytes) {
    std::size_t n = sequenceAt(text, j);
    if (n > 1 && j + n > maxBytes) return j;
  }
  return maxBytes;
}

std::string_view cutAtWord(std::string_view text, std::size_t maxBytes) {
  std::size_t cut = utf8Prefix(text, maxBytes);
  if (cut < text.size() && cut > 0 && text[cut] != ' ' && text[cut - 1] != ' ') {
    std::size_t blank = text.rfind(' ', cut - 1);
    if (blank != std::string_view::npos && blank >= maxBytes / 2) cut = blank;
  }
  std::string_view kept = text.substr(0, cut);
  while (!kept.empty() && kept.back() == ' ') kept.remove_suffix(1);
  return kept;
}

namespace {

// ---- export ---------------------------------------------------------------

// Code points of 0x80 to 0x9F in Windows-1252; 0 where no character is
// assigned.
const uint16_t kExport1252High[32] = {
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
    if (kExport1252High[i] && kExport1252High[i] == cp) return 0x80 + i;
  return -1;
}

enum class ExportTarget { Windows1252, Latin1, Ascii, Dos, Utf8, Unknown };

ExportTarget exportTargetOf(std::string_view name) {
  std::string n = lowerAscii(trimView(name));
  if (n == "windows-1252" || n == "cp1252") return ExportTarget::Windows1252;
  if (n == "iso-8859-1" || n == "latin1") return ExportTarget::Latin1;
  if (n == "us-ascii" || n == "ascii") return ExportTarget::Ascii;
  if (n == "ibm437" || n == "cp437") return ExportTarget::Dos;
  if (n == "utf-8" || n == "utf8") return ExportTarget::Utf8;
  return ExportTarget::Unknown;
}

// Any other charset through ICU, "?" for what it lacks; the UTF-8 text
// when ICU does not know the charset.
std::string fromUtf8Icu(const std::string& utf8, const std::string& name) {
  UConverter* c = converter(icuName(name));
  std::vector<UChar> u;
  int32_t n = 0;
  if (!c || !toUChars(utf8, u, n)) return utf8;
  ucnv_reset(c);
  UErrorCode st = U_ZERO_ERROR;
  ucnv_setSubstChars(c, "?", 1, &st);
  std::string out(static_cast<std::size_t>(n) * 4 + 16, '\0');
  st = U_ZERO_ERROR;
  const int32_t len = ucnv_fromUChars(c, out.data(), static_cast<int32_t>(out.size()), u.data(), n, &st);
  if (U_FAILURE(st)) return utf8;
  out.resize(static_cast<std::size_t>(len));
  return out;
}

}  // namespace

long nextUtf8(std::string_view s, std::size_t& i) {
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

bool isAscii(std::string_view s) { return asciiRun(s.data(), s.size()) == s.size(); }

std::string fromUtf8(std::string_view utf8, std::string_view charset, std::size_t* lost) {
  const ExportTarget t = exportTargetOf(charset);
  if (t == ExportTarget::Unknown) return fromUtf8Icu(archiveUtf8(utf8), normalName(charset));
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    const std::size_t at = i;
    int32_t cp = nextUtf8(utf8, i);
    if (cp < 0) {  // a stray byte: a Windows-1252 character of an older text
      auto b = static_cast<unsigned char>(utf8[at]);
      cp = (b >= 0x80 && b < 0xA0) ? (kExport1252High[b - 0x80] ? kExport1252High[b - 0x80] : 0xFFFD) : b;
    }
    int byte = -1;
    switch (t) {
      case ExportTarget::Utf8: appendUtf8(out, static_cast<uint32_t>(cp)); continue;
      case ExportTarget::Ascii: byte = cp < 0x80 ? cp : -1; break;
      case ExportTarget::Latin1: byte = cp <= 0xFF ? cp : -1; break;
      case ExportTarget::Windows1252: byte = to1252(cp); break;
      case ExportTarget::Dos: byte = to1252(cp); if (byte >= 0x80) byte = kToDos[byte - 0x80]; break;
      case ExportTarget::Unknown: break;
    }
    if (byte < 0) {
      byte = '?';
      if (lost) ++*lost;
    }
    out += static_cast<char>(byte);
  }
  return out;
}

unsigned char windowsToDos(unsigned char c) { return c < 0x80 ? c : kToDos[c - 0x80]; }

}  // namespace qb::text
