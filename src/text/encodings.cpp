#include "text/encodings.h"

#include <array>
#include <cstdint>

#include "text/codepages.h"
#include "text/strings.h"

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

bool startsWithUpper(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (text::upper1252(uint8_t(s[i])) != uint8_t(prefix[i])) return false;
  return true;
}

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

std::string decodeEncodedWord(std::string_view text) {
  const std::size_t start = text.find("=?");
  if (start == std::string_view::npos) return std::string(text);
  std::string_view cs = text.substr(start + 2);

  Charset charset;
  if (startsWithUpper(cs, "ISO-8859") && cs.size() > 9 && (cs[9] == '1' || cs[9] == '2'))
    charset = cs[9] == '1' ? Charset::Latin1 : Charset::Latin2;
  else if (startsWithUpper(cs, "US-ASCII"))
    charset = Charset::UsAscii;
  else
    return std::string(text);

  // "?" encoding letter "?" encoded text "?="
  const std::size_t q1 = text.find('?', start + 2);
  if (q1 == std::string_view::npos || q1 + 2 >= text.size() || text[q1 + 2] != '?')
    return std::string(text);
  const char enc = static_cast<char>(text::upper1252(uint8_t(text[q1 + 1])));
  if (enc != 'Q' && enc != 'B') return std::string(text);
  const std::size_t wordStart = q1 + 3;
  const std::size_t end = text.find("?=", wordStart);
  if (end == std::string_view::npos) return std::string(text);
  std::string_view word = text.substr(wordStart, end - wordStart);

  std::string decoded;
  decoded.reserve(word.size());
  if (enc == 'B') {
    appendBase64(word, decoded);
  } else {
    for (std::size_t i = 0; i < word.size(); ++i) {
      char c = word[i];
      if (c == '_') {
        decoded.push_back(' ');
      } else if (int byte = (c == '=' && i + 2 < word.size()) ? hexPair(word[i + 1], word[i + 2]) : -1;
                 byte >= 0) {
        decoded.push_back(static_cast<char>(byte));
        i += 2;
      } else {
        decoded.push_back(c);
      }
    }
  }
  toArchiveText(charset, decoded);

  // The text before the word keeps one blank of any blanks that separated
  // it from the word, so that "Re: =?...?=" stays two words.
  std::string_view before = text.substr(0, start);
  std::size_t keep = before.size();
  while (keep > 0 && before[keep - 1] == ' ') --keep;
  std::string result;
  result.reserve(text.size());
  result.append(before.substr(0, keep));
  if (keep < before.size() && keep > 0) result.push_back(' ');
  result.append(decoded);
  result.append(text.substr(end + 2));
  return result;
}

}  // namespace qb::text

namespace qb::text {

std::string encodeBase64(std::string_view bytes) {
  static const char* const kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    uint32_t v = (static_cast<uint8_t>(bytes[i]) << 16) | (static_cast<uint8_t>(bytes[i + 1]) << 8) |
                 static_cast<uint8_t>(bytes[i + 2]);
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += kAlphabet[v & 63];
  }
  if (i < bytes.size()) {
    uint32_t v = static_cast<uint8_t>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) v |= static_cast<uint8_t>(bytes[i + 1]) << 8;
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += i + 1 < bytes.size() ? kAlphabet[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

std::string encodeQuotedPrintable(std::string_view text) {
  static const char* const kHex = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  std::size_t col = 0;
  auto put = [&](const std::string& piece) {
    if (col + piece.size() > 75) {
      out += "=\n";
      col = 0;
    }
    out += piece;
    col += piece.size();
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    auto c = static_cast<uint8_t>(text[i]);
    if (c == '\n') {
      out += '\n';
      col = 0;
      continue;
    }
    const bool atLineEnd = i + 1 == text.size() || text[i + 1] == '\n';
    const bool plain = (c >= 33 && c <= 126 && c != '=') || ((c == ' ' || c == '\t') && !atLineEnd);
    if (plain) {
      put(std::string(1, static_cast<char>(c)));
    } else {
      put(std::string{'=', kHex[c >> 4], kHex[c & 15]});
    }
  }
  return out;
}

}  // namespace qb::text
