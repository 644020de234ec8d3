#include "text/encodings.h"

#include <array>

#include "text/strings.h"
#include "text/unicode.h"

namespace qb::text {

namespace {

int upperHexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

constexpr std::array<int8_t, 256> makeBase64Table() {
  std::array<int8_t, 256> t{};
  for (auto& v : t) v = -1;
  constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (int i = 0; i < 64; ++i) t[static_cast<uint8_t>(alphabet[i])] = static_cast<int8_t>(i);
  return t;
}
constexpr auto kBase64 = makeBase64Table();

}  // namespace

int hexPair(char a, char b) {
  if (a == '3' && b == 'D') return '=';
  if (a == '2' && b == '0') return ' ';
  if (a == '0' && b == '9') return ' ';
  if (a == '2' && b == 'C') return ',';
  int hi = upperHexDigit(a);
  int lo = upperHexDigit(b);
  if (hi >= 8 && lo >= 0) return hi * 16 + lo;
  return -1;
}

bool undoQuotedPrintable(std::string_view line, std::string& out) {
  const std::size_t n = line.size();
  std::size_t i = 0;
  while (i < n) {
    std::size_t eq = line.find('=', i);
    if (eq == std::string_view::npos) {
      out.append(line.substr(i));
      break;
    }
    out.append(line.substr(i, eq - i));
    bool afterQuestion = eq > 0 && line[eq - 1] == '?';
    if (!afterQuestion && eq + 1 == n) return true;  // soft line break
    if (!afterQuestion && eq + 3 == n && line[eq + 1] == '2' && line[eq + 2] == '0') {
      out.push_back(' ');
      return true;
    }
    int byte = (!afterQuestion && eq + 2 < n) ? hexPair(line[eq + 1], line[eq + 2]) : -1;
    if (byte >= 0) {
      out.push_back(static_cast<char>(byte));
      i = eq + 3;
    } else {
      out.push_back('=');
      i = eq + 1;
    }
  }
  return false;
}

void appendBase64(std::string_view text, std::string& out) {
  uint32_t acc = 0;
  int bits = 0;
  for (char ch : text) {
    if (ch == '=') {  // padding: the group ends, its spare bits are dropped
      acc = 0;
      bits = 0;
      continue;
    }
    int v = kBase64[static_cast<uint8_t>(ch)];
    if (v < 0) continue;  // line breaks, blanks, garbage
    acc = (acc << 6) | static_cast<uint32_t>(v);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out.push_back(static_cast<char>((acc >> bits) & 0xFF));
      acc &= (1u << bits) - 1;
    }
  }
}

std::string decodeBase64(std::string_view text) {
  std::string out;
  out.reserve(text.size() / 4 * 3 + 3);
  appendBase64(text, out);
  return out;
}

namespace {

int anyHexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The byte "=XY" stands for, or -1.
int anyHexPair(std::string_view s, std::size_t at) {
  if (at + 2 >= s.size()) return -1;
  int hi = anyHexDigit(s[at + 1]);
  int lo = anyHexDigit(s[at + 2]);
  return hi < 0 || lo < 0 ? -1 : hi * 16 + lo;
}

constexpr std::size_t kMaxEncodedWord = 1000;  // a longer "=?...?=" is no encoded word

struct EncodedWord {
  std::size_t end = 0;  // index after "?="
  std::string charset;
  std::string bytes;
};

// Reads the encoded word at text[at] ("=?"); false when there is none.
bool readEncodedWord(std::string_view text, std::size_t at, EncodedWord& w) {
  const std::size_t q1 = text.find('?', at + 2);
  if (q1 == std::string_view::npos || q1 == at + 2 || q1 + 2 >= text.size() || text[q1 + 2] != '?') return false;
  const char enc = upperAscii(text[q1 + 1]);
  if (enc != 'Q' && enc != 'B') return false;
  const std::size_t start = q1 + 3;
  const std::size_t end = text.find("?=", start);
  if (end == std::string_view::npos || end - at > kMaxEncodedWord) return false;
  std::string_view charset = text.substr(at + 2, q1 - at - 2);
  if (charset.find_first_of(" \t\r\n") != std::string_view::npos) return false;
  charset = charset.substr(0, charset.find('*'));  // RFC 2231 language
  const std::string_view word = text.substr(start, end - start);
  w.charset = lowerAscii(charset);
  w.bytes.clear();
  if (enc == 'B') {
    appendBase64(word, w.bytes);
  } else {
    for (std::size_t i = 0; i < word.size(); ++i) {
      const char c = word[i];
      int byte = c == '=' ? anyHexPair(word, i) : -1;
      if (c == '_') {
        w.bytes.push_back(' ');
      } else if (byte >= 0) {
        w.bytes.push_back(static_cast<char>(byte));
        i += 2;
      } else {
        w.bytes.push_back(c);
      }
    }
  }
  w.end = end + 2;
  return true;
}

bool allBlank(std::string_view s) {
  for (char c : s)
    if (!isBlank(c)) return false;
  return true;
}

}  // namespace

std::string decodeHeaderText(std::string_view text, std::string_view rawCharset) {
  std::string out;
  out.reserve(text.size());
  std::string pending, pendingCharset;  // bytes of adjacent words of one charset
  auto flushWords = [&] {
    if (!pending.empty()) out += toUtf8(pending, pendingCharset);
    pending.clear();
  };
  bool afterWord = false;
  std::size_t i = 0;
  EncodedWord w;
  while (i < text.size()) {
    std::size_t at = text.find("=?", i);
    while (at != std::string_view::npos && !readEncodedWord(text, at, w)) at = text.find("=?", at + 2);
    if (at == std::string_view::npos) break;
    const std::string_view between = text.substr(i, at - i);
    if (!(afterWord && allBlank(between))) {
      flushWords();
      out += toUtf8(between, rawCharset);
    }
    if (w.charset != pendingCharset) flushWords();
    pendingCharset = w.charset;
    pending += w.bytes;
    afterWord = true;
    i = w.end;
  }
  flushWords();
  if (i < text.size()) out += toUtf8(text.substr(i), rawCharset);
  return out;
}

std::string decodeEncodedWord(std::string_view text) { return decodeHeaderText(text); }

std::string decodeQuotedPrintable(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  while (!text.empty()) {
    std::size_t lf = text.find('\n');
    std::string_view line = text.substr(0, lf);
    const bool ended = lf != std::string_view::npos;
    text.remove_prefix(ended ? lf + 1 : text.size());
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
    bool soft = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
      if (line[i] != '=') {
        out.push_back(line[i]);
        continue;
      }
      if (i + 1 == line.size()) {
        soft = true;
        break;
      }
      int byte = anyHexPair(line, i);
      if (byte >= 0) {
        out.push_back(static_cast<char>(byte));
        i += 2;
      } else {
        out.push_back('=');
      }
    }
    if (ended && !soft) out.push_back('\n');
  }
  return out;
}

}  // namespace qb::text
