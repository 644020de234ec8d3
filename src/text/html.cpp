#include "text/html.h"

#include <array>

#include "text/text_assembler.h"
#include "text/strings.h"

namespace qb::text {

namespace {

constexpr std::size_t kMaxTag = 1000;
constexpr std::size_t kMaxTagName = 12;

char up(char c) { return static_cast<char>(text::upper1252(uint8_t(c))); }

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Characters of a text run that a rule applies to: blanks, tabs, line ends
// and entities.
constexpr std::array<bool, 256> makeSpecial() {
  std::array<bool, 256> t{};
  for (char c : {' ', '\t', '\r', '\n', '&'}) t[static_cast<uint8_t>(c)] = true;
  return t;
}
constexpr auto kSpecial = makeSpecial();

// Upper-cased name of the entity, or empty when it is too long to be one.
std::string_view upperName(std::string_view name, std::array<char, 8>& buf) {
  if (name.empty() || name.size() > buf.size()) return {};
  for (std::size_t i = 0; i < name.size(); ++i) buf[i] = up(name[i]);
  return std::string_view(buf.data(), name.size());
}

// Letter + family suffix: the capital letters of ISO-8859-1 for the letters
// a family holds (the small letter is 0x20 above, except for Y umlaut).
struct Family {
  std::string_view suffix;
  std::string_view letters;
  std::array<uint8_t, 6> capitals;
};

constexpr std::array<Family, 11> kFamilies = {{
    {"ACUTE", "AEIOUY", {0xC1, 0xC9, 0xCD, 0xD3, 0xDA, 0xDD}},
    {"GRAVE", "AEIOU", {0xC0, 0xC8, 0xCC, 0xD2, 0xD9}},
    {"TILDE", "ANO", {0xC3, 0xD1, 0xD5}},
    {"CEDIL", "C", {0xC7}},
    {"SLASH", "O", {0xD8}},
    {"CIRC", "AEIOU", {0xC2, 0xCA, 0xCE, 0xD4, 0xDB}},
    {"RING", "A", {0xC5}},
    {"ZLIG", "S", {0xDF}},
    {"HORN", "T", {0xDE}},
    {"ELIG", "A", {0xC6}},
    {"UML", "AEIOUY", {0xC4, 0xCB, 0xCF, 0xD6, 0xDC, 0x9F}},
}};

struct Single {
  std::string_view name;
  uint8_t capital;
  uint8_t small;
};

constexpr std::array<Single, 9> kSingles = {{
    {"NBSP", 0xA0, 0xA0},
    {"ETH", 0xD0, 0xF0},
    {"AMP", '&', '&'},
    {"REG", 0xAE, 0xAE},
    {"SHY", 0xAD, 0xAD},
    {"GT", '>', '>'},
    {"LT", '<', '<'},
    {"COPY", 0xA9, 0xA9},
    {"QUOT", '"', '"'},
}};

// Windows-1252 bytes 0x80-0x9F and the characters they stand for.
constexpr std::array<uint16_t, 32> kWin1252High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

// The character a numeric character reference ("#233", "#x1F600") stands
// for, or -1. References to 128-159 are read as Windows-1252, as browsers do.
long numericCodePoint(std::string_view name) {
  if (name.size() < 2 || name[0] != '#') return -1;
  bool hex = name[1] == 'x' || name[1] == 'X';
  std::string_view digits = name.substr(hex ? 2 : 1);
  if (digits.empty() || digits.size() > 7) return -1;
  long v = 0;
  for (char c : digits) {
    int d;
    if (c >= '0' && c <= '9')
      d = c - '0';
    else if (hex && up(c) >= 'A' && up(c) <= 'F')
      d = up(c) - 'A' + 10;
    else
      return -1;
    v = v * (hex ? 16 : 10) + d;
  }
  if (v >= 0x80 && v < 0xA0) return kWin1252High[v - 0x80] ? kWin1252High[v - 0x80] : -1;
  if (v < 32 || v == 127 || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) return -1;
  return v;
}

// A numeric character reference as a Windows-1252 byte, or -1.
int numericEntity(std::string_view name) {
  long v = numericCodePoint(name);
  if (v < 0) return -1;
  if (v <= 255) return static_cast<int>(v);
  for (std::size_t i = 0; i < kWin1252High.size(); ++i)
    if (kWin1252High[i] != 0 && kWin1252High[i] == v) return static_cast<int>(0x80 + i);
  return -1;
}

// The character of an entity name, or -1.
long entityCodePoint(std::string_view name) {
  if (!name.empty() && name[0] == '#') return numericCodePoint(name);
  int b = entityByte(name);
  if (b < 0) return -1;
  if (b >= 0x80 && b < 0xA0) return kWin1252High[b - 0x80];
  return b;
}

// Case-insensitive search of `what` (upper case) in `s` from `from`.
std::size_t findUpper(std::string_view s, std::string_view what, std::size_t from = 0) {
  if (s.size() < what.size()) return std::string_view::npos;
  for (std::size_t i = from; i + what.size() <= s.size(); ++i) {
    std::size_t k = 0;
    while (k < what.size() && up(s[i + k]) == what[k]) ++k;
    if (k == what.size()) return i;
  }
  return std::string_view::npos;
}

class HtmlConverter {
 public:
  explicit HtmlConverter(std::string& out) : out_(out) {}

  void run(std::string_view html);

 private:
  void writeRun(std::string_view run);
  void handleTag(std::string_view tag);
  void emit(char c);
  void blank();
  void lineBreak();
  void newLine();
  void paragraph();
  void openLink(std::string_view tag);
  void closeLink();

  std::string& out_;
  std::string link_;
  bool linkOpen_ = false;
  bool pre_ = false;
  bool stopped_ = false;
  std::string_view dropUntil_;  // end tag that ends dropped text (TITLE, ...)
  std::string_view prefix_;     // written before the next text ("* ", "   ")
  int lists_ = 0;
  int definitionLists_ = 0;
};

void HtmlConverter::emit(char c) {
  if (!prefix_.empty() && !isSpace(c)) {
    out_.append(prefix_);
    prefix_ = {};
  }
  out_.push_back(c);
}

// Blank rule: one blank, never at the start or after a blank or line end.
void HtmlConverter::blank() {
  if (!out_.empty() && out_.back() != ' ' && out_.back() != '\n') out_.push_back(' ');
}

void HtmlConverter::lineBreak() {
  if (!out_.empty() && out_.back() == ' ') out_.pop_back();
  out_.append("\r\n");
}

// Starts a new line unless the output is empty or already at a line start.
void HtmlConverter::newLine() {
  if (!out_.empty() && !endsWith(out_, "\r\n")) lineBreak();
}

// Paragraph break: the output is to end with an empty line.
void HtmlConverter::paragraph() {
  if (out_.empty()) return;
  if (out_.back() == ' ') {
    if (endsWith(out_, "\r\n\r\n ")) return;
    bool afterLine = endsWith(out_, "\r\n ");
    out_.pop_back();
    out_.append(afterLine ? "\r\n" : "\r\n\r\n");
  } else if (endsWith(out_, "\r\n\r\n")) {
    return;
  } else if (endsWith(out_, "\r\n")) {
    out_.append("\r\n");
  } else {
    out_.append("\r\n\r\n");
  }
}

void HtmlConverter::openLink(std::string_view tag) {
  closeLink();
  linkOpen_ = true;
  link_.clear();
  std::size_t href = findUpper(tag, "HREF");
  if (href == std::string_view::npos) return;
  std::size_t q1 = tag.find('"', href + 4);
  if (q1 == std::string_view::npos) return;
  std::size_t q2 = tag.find('"', q1 + 1);
  if (q2 == std::string_view::npos) return;
  for (char c : tag.substr(q1 + 1, q2 - q1 - 1))
    if (!isSpace(c)) link_.push_back(lowerAscii(c));
}

// The address of a link follows its anchor text: " [address] ".
void HtmlConverter::closeLink() {
  if (!linkOpen_) return;
  linkOpen_ = false;
  if (link_.empty()) return;
  blank();
  emit('[');
  out_.append(link_);
  out_.append("] ");
}

// Writes the text between two tags. Blanks and line ends at its end are
// kept as one blank (blank rule), so that words on both sides of a tag such
// as FONT or SPAN stay apart; the break rules replace that blank.
void HtmlConverter::writeRun(std::string_view run) {
  const std::size_t n = run.size();
  std::size_t i = 0;
  while (i < n) {
    // Ordinary characters up to the next one that needs a rule are copied
    // in one piece.
    std::size_t j = i;
    while (j < n && !kSpecial[static_cast<uint8_t>(run[j])]) ++j;
    if (j > i) {
      emit(run[i]);
      out_.append(run.data() + i + 1, j - i - 1);
      i = j;
      continue;
    }
    const char c = run[i];
    if (isSpace(c)) {
      if (pre_)
        emit(c);
      else if (c != '\t')
        blank();
    } else {  // "&": an entity
      std::size_t semi = std::string_view::npos;
      for (std::size_t k = 1; k <= 8 && i + k < n; ++k)
        if (run[i + k] == ';') {
          semi = i + k;
          break;
        }
      long cp = -1;
      if (semi != std::string_view::npos) {
        cp = entityCodePoint(run.substr(i + 1, semi - i - 1));
        if (cp >= 0) i = semi;
      } else if (i + 5 < n && run[i + 5] == ' ' && findUpper(run.substr(i + 1, 4), "NBSP") == 0) {
        cp = 0xA0;
        i += 4;
      }
      if (cp < 0) {
        emit('&');
      } else {
        std::string u;
        appendUtf8(u, static_cast<uint32_t>(cp));
        emit(u[0]);
        out_.append(u, 1, std::string::npos);
      }
    }
    ++i;
  }
}

void HtmlConverter::handleTag(std::string_view tag) {
  if (tag.empty() || tag[0] == '!') return;
  const bool end = tag[0] == '/';
  std::string_view rest = end ? tag.substr(1) : tag;
  char buf[kMaxTagName];
  std::size_t len = 0;
  while (len < rest.size() && !isSpace(rest[len]) && rest[len] != '/') {
    if (len == kMaxTagName) return;  // no tag of interest has so long a name
    buf[len] = up(rest[len]);
    ++len;
  }
  const std::string_view name(buf, len);

  if (!dropUntil_.empty()) {
    if (end && name == dropUntil_) dropUntil_ = {};
    return;
  }
  if (name == "A") {
    if (end)
      closeLink();
    else
      openLink(tag);
  } else if (name == "B" || name == "I" || name == "U") {
    blank();
  } else if (name == "BR") {
    lineBreak();
  } else if (name == "DIV") {
    if (end) lineBreak();
  } else if (name == "DL") {
    definitionLists_ += end ? (definitionLists_ > 0 ? -1 : 0) : 1;
  } else if (name == "DT" || name == "DD") {
    if (!end && definitionLists_ > 0) {
      newLine();
      if (name == "DD") prefix_ = "   ";
    }
  } else if (len == 2 && name[0] == 'H' && name[1] >= '1' && name[1] <= '6') {
    if (end) paragraph();
  } else if (name == "HTML") {
    if (end) {
      closeLink();
      stopped_ = true;
    }
  } else if (name == "LI") {
    if (!end && lists_ > 0) {
      paragraph();
      prefix_ = "* ";
    }
  } else if (name == "OL" || name == "UL") {
    lists_ += end ? (lists_ > 0 ? -1 : 0) : 1;
  } else if (name == "P") {
    paragraph();
  } else if (name == "PRE" || name == "PLAINTEXT") {
    pre_ = !end;
  } else if (name == "TITLE" || name == "STYLE" || name == "SCRIPT") {
    // A title is no part of the text, nor are style sheets and scripts.
    if (!end) dropUntil_ = name == "TITLE" ? "TITLE" : name == "STYLE" ? "STYLE" : "SCRIPT";
  } else if (name == "TR" || name == "TD") {
    if (end) paragraph();
  }
}

void HtmlConverter::run(std::string_view html) {
  std::size_t pos = html.find('<');
  if (pos == std::string_view::npos) {  // no markup at all: the text is kept as it is
    out_.append(html);
    return;
  }
  // Text before the first tag is dropped.
  std::size_t runStart = pos;
  while (pos < html.size()) {
    if (stopped_) return;  // after the closing HTML tag
    if (dropUntil_.empty()) writeRun(html.substr(runStart, pos - runStart));

    std::string_view window = html.substr(pos + 1, kMaxTag);
    std::size_t gt = window.find('>');
    std::string_view tag = gt == std::string_view::npos ? window : window.substr(0, gt);
    std::size_t next = pos + 1 + tag.size() + (gt == std::string_view::npos ? 0 : 1);
    handleTag(tag);
    runStart = next;
    pos = html.find('<', next);
    if (pos == std::string_view::npos) pos = html.size();
  }
  if (stopped_) return;
  if (dropUntil_.empty() && runStart < html.size()) writeRun(html.substr(runStart));
  closeLink();
}

}  // namespace

int entityByte(std::string_view name) {
  if (!name.empty() && name[0] == '#') return numericEntity(name);
  std::array<char, 8> buf;
  std::string_view u = upperName(name, buf);
  if (u.empty()) return -1;
  const bool small = name[0] >= 'a' && name[0] <= 'z';
  for (const Single& s : kSingles)
    if (u == s.name) return small ? s.small : s.capital;
  for (const Family& f : kFamilies) {
    if (u.size() != f.suffix.size() + 1 || u.substr(1) != f.suffix) continue;
    std::size_t k = f.letters.find(u[0]);
    if (k == std::string_view::npos) return -1;
    uint8_t capital = f.capitals[k];
    if (!small) return capital;
    if (capital == 0x9F) return 0xFF;             // y umlaut
    if (capital == 0xDF) return 0xDF;             // sharp s has no capital
    return capital + 0x20;
  }
  return -1;
}

void htmlToText(std::string_view html, std::string& out) {
  out.clear();
  out.reserve(html.size() + 64);
  HtmlConverter(out).run(html);
  capText(out);
}

std::string htmlToText(std::string_view html) {
  std::string out;
  htmlToText(html, out);
  return out;
}

}  // namespace qb::text
