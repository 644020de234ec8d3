#include "index/tokeniser.h"

#include <algorithm>
#include <cctype>

#include "index/word_form.h"
#include "text/strings.h"

namespace qb::index {

namespace {

// Windows-1252 codes 128-159 and the code points they stand for.
constexpr char32_t k1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Header fields that mark a line of an Internet header wherever it stands.
constexpr std::string_view kHeaderFields[] = {
    "received",        "return-path",       "message-id",  "references",   "in-reply-to",
    "mime-version",    "content-type",      "content-transfer-encoding",   "content-disposition",
    "content-id",      "delivered-to",      "dkim-signature", "authentication-results",
    "nntp-posting-host", "nntp-posting-date", "xref",       "path",         "x-trace",
    "x-complaints-to", "x-mailer",          "x-newsreader", "user-agent",   "errors-to",
    "precedence",      "list-unsubscribe",  "thread-index", "thread-topic", "arc-seal",
    "arc-message-signature", "arc-authentication-results", "received-spf", "x-received",
    "x-originating-ip", "organization",     "newsgroups",   "lines",        "sender"};

// "Name:" at the start of a line with a field name of letters, digits and
// hyphens; the name in lower case, empty when the line is not so.
std::string fieldName(std::string_view line) {
  std::size_t i = 0;
  while (i < line.size() && (std::isalnum(static_cast<unsigned char>(line[i])) || line[i] == '-')) ++i;
  if (i == 0 || i >= line.size() || line[i] != ':') return {};
  return text::lowerAscii(line.substr(0, i));
}

// A header block at the start of a text: header lines (with their
// continuation lines) up to a blank line, with at least two fields and one
// well-known field among them. Returns its end, or 0.
std::size_t headerBlockEnd(std::string_view t) {
  std::size_t at = 0, fields = 0;
  bool known = false;
  while (at < t.size()) {
    std::size_t nl = t.find('\n', at);
    std::size_t end = nl == std::string_view::npos ? t.size() : nl;
    std::string_view line = text::trimRightView(t.substr(at, end - at));
    if (line.empty()) break;
    if (line[0] == ' ' || line[0] == '\t') {
      if (fields == 0) return 0;
    } else {
      std::string name = fieldName(line);
      if (name.empty()) return 0;
      ++fields;
      if (isKnownHeaderLine(line) || name == "from" || name == "to" || name == "subject" || name == "date")
        known = true;
    }
    at = nl == std::string_view::npos ? t.size() : nl + 1;
  }
  return fields >= 2 && known ? at : 0;
}

std::size_t digitsAt(std::string_view s, std::size_t at) {
  std::size_t n = 0;
  while (at + n < s.size() && isDigit(s[at + n])) ++n;
  return n;
}

bool alnumAt(std::string_view s, std::size_t at) {
  return at < s.size() && std::isalnum(static_cast<unsigned char>(s[at]));
}

// A date or time starting at `at`; its length, or 0.
std::size_t dateOrTimeAt(std::string_view s, std::size_t at) {
  std::size_t a = digitsAt(s, at);
  if (a == 0 || a > 4) return 0;
  std::size_t p = at + a;
  if (p < s.size() && (s[p] == '.' || s[p] == '/' || s[p] == '-')) {
    char sep = s[p];
    std::size_t b = digitsAt(s, p + 1);
    if (b >= 1 && b <= 2 && p + 1 + b < s.size() && s[p + 1 + b] == sep) {
      std::size_t c = digitsAt(s, p + 2 + b);
      if (c >= 1 && c <= 4 && !alnumAt(s, p + 2 + b + c)) return p + 2 + b + c - at;
    }
  }
  if (a <= 2 && p < s.size() && s[p] == ':') {
    std::size_t b = digitsAt(s, p + 1);
    if (b != 2) return 0;
    std::size_t q = p + 3;
    if (q < s.size() && s[q] == ':' && digitsAt(s, q + 1) == 2) q += 3;
    if (q < s.size() && (s[q] == '.' || s[q] == ',') && digitsAt(s, q + 1) > 0) q += 1 + digitsAt(s, q + 1);
    if (!alnumAt(s, q)) return q - at;
  }
  return 0;
}

bool longNumber(std::string_view w) {
  std::size_t digits = 0;
  for (char c : w) {
    if (isDigit(c)) ++digits;
    else if (c != '.' && c != ',' && c != ':' && c != '/' && c != '-') return false;
  }
  return digits > 7;
}

bool hexNumber(std::string_view w) {
  bool digit = false;
  for (char c : w) {
    if (isDigit(c)) digit = true;
    else if (!((c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'))) return false;
  }
  return digit && w.size() >= 2;
}

// The start of a footer: the last "-- " (or "--") line; npos when none.
std::size_t footerStart(std::string_view t) {
  std::size_t found = std::string_view::npos, at = 0;
  while (at < t.size()) {
    std::size_t nl = t.find('\n', at);
    std::size_t end = nl == std::string_view::npos ? t.size() : nl;
    std::string_view line = t.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line == "-- " || line == "--") found = at;
    at = nl == std::string_view::npos ? t.size() : nl + 1;
  }
  return found;
}

}  // namespace

WordRules WordRules::standard() {
  WordRules r;
  auto word = [&r](int c) { r.StartWordHash[c] = r.InWordHash[c] = r.EndWordHash[c] = 1; };
  for (int c = '0'; c <= '9'; ++c) word(c);
  for (int c = 'A'; c <= 'Z'; ++c) word(c);
  for (int c = 'a'; c <= 'z'; ++c) word(c);
  for (int c : {0x83, 0x8A, 0x8C, 0x8E, 0x9A, 0x9C, 0x9E, 0x9F, 0xAA, 0xB2, 0xB3, 0xB5, 0xB9, 0xBA}) word(c);
  for (int c = 0xC0; c <= 0xFF; ++c)
    if (c != 0xD7 && c != 0xF7) word(c);
  for (int c : {int{'.'}, int{'\''}, int{'_'}, 0x92}) r.InWordHash[static_cast<std::size_t>(c)] = 1;
  for (int c = 0; c < 32; ++c)
    if (c != '\t' && c != '\n' && c != '\r') r.IsJunkHash[c] = 1;
  r.IsJunkHash[0x7F] = 1;
  return r;
}

char32_t nextChar(std::string_view s, std::size_t& at) {
  auto b = static_cast<unsigned char>(s[at]);
  if (b < 0x80) {
    ++at;
    return b;
  }
  int n = (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
  if (n < 0 || at + static_cast<std::size_t>(n) >= s.size()) {
    ++at;
    return 0xFFFD;
  }
  char32_t cp = b & (0x3F >> n);
  for (int i = 1; i <= n; ++i) {
    auto c = static_cast<unsigned char>(s[at + static_cast<std::size_t>(i)]);
    if ((c & 0xC0) != 0x80) {
      ++at;
      return 0xFFFD;
    }
    cp = (cp << 6) | (c & 0x3F);
  }
  at += static_cast<std::size_t>(n) + 1;
  return cp;
}

int ruleRow(char32_t cp) {
  if (cp < 0x80) return static_cast<int>(cp);
  for (int i = 0; i < 32; ++i)
    if (k1252High[i] == cp) return 0x80 + i;
  if (cp >= 0xA0 && cp < 0x100) return static_cast<int>(cp);
  if (cp < 0xA0) return -3;  // C1 controls
  if (cp == 0xFFFD) return -3;
  if ((cp >= 0x2000 && cp <= 0x206F) || (cp >= 0x2E00 && cp <= 0x2E7F) || (cp >= 0x3000 && cp <= 0x303F) ||
      (cp >= 0xFE30 && cp <= 0xFE4F) || (cp >= 0xFF00 && cp <= 0xFF0F) || (cp >= 0xFF1A && cp <= 0xFF20) ||
      (cp >= 0x2190 && cp <= 0x2BFF) || cp == 0xFEFF)
    return -2;
  return -1;
}

bool isKnownHeaderLine(std::string_view line) {
  std::string name = fieldName(line);
  if (name.empty()) return false;
  if (text::startsWith(name, "x-")) return true;
  for (std::string_view f : kHeaderFields)
    if (name == f) return true;
  return false;
}

Tokeniser::Tokeniser(const WordRules& rules, TokenOptions options) : rules_(rules), options_(options) {}

void Tokeniser::scanLine(std::string_view t, std::size_t i, std::size_t to,
                         const std::function<void(const Token&)>& f) const {
  auto start = [this](int row) { return row == -1 || (row >= 0 && rules_.StartWordHash[row]); };
  auto inside = [this](int row) { return row == -1 || (row >= 0 && rules_.InWordHash[row]); };
  auto ends = [this](int row) { return row == -1 || (row >= 0 && rules_.EndWordHash[row]); };
  auto junk = [this](int row) { return row == -3 || (row >= 0 && rules_.IsJunkHash[row]); };
  while (i < to) {
    std::size_t at = i;
    int row = ruleRow(nextChar(t, at));
    if (!start(row) || junk(row)) {
      i = at;
      continue;
    }
    if (isDigit(t[i])) {
      if (std::size_t n = dateOrTimeAt(t.substr(0, to), i)) {
        i += n;
        continue;
      }
    }
    std::size_t wordEnd = ends(row) ? at : std::string_view::npos;
    bool bad = false;
    std::size_t j = at;
    while (j < to) {
      std::size_t k = j;
      int r = ruleRow(nextChar(t, k));
      if (junk(r)) {
        bad = true;
      } else if (!inside(r)) {
        break;
      } else if (ends(r)) {
        wordEnd = k;
      }
      j = k;
    }
    std::size_t begin = i;
    i = j;
    if (bad || wordEnd == std::string_view::npos) continue;
    std::string_view raw = t.substr(begin, wordEnd - begin);
    if (longNumber(raw)) continue;
    if (!options_.numbers && (isDigit(raw[0]) || hexNumber(raw))) continue;
    std::string form = indexForm(raw);
    if (form.size() > kMaxWordBytes) continue;
    f(Token{std::move(form), begin, wordEnd});
  }
}

void Tokeniser::words(std::string_view t, bool hasFooter, const std::function<void(const Token&)>& f) const {
  std::size_t at = headerBlockEnd(t);
  std::size_t stop = t.size();
  if (hasFooter && !options_.footers) stop = std::min(stop, footerStart(t));
  bool inHeader = false;
  while (at < stop) {
    std::size_t nl = t.find('\n', at);
    std::size_t end = nl == std::string_view::npos || nl > stop ? stop : nl;
    std::string_view line = t.substr(at, end - at);
    // A header line, with the lines that continue it.
    if (inHeader && !line.empty() && (line[0] == ' ' || line[0] == '\t')) {
    } else {
      inHeader = isKnownHeaderLine(line);
      if (!inHeader) scanLine(t, at, end, f);
    }
    at = end + 1;
  }
}

void Tokeniser::queryWords(std::string_view t, const std::function<void(const Token&)>& f) const {
  scanLine(t, 0, t.size(), f);
}

}  // namespace qb::index
