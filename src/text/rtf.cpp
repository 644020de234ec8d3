#include "text/rtf.h"

#include <cctype>
#include <cstdlib>
#include <vector>

#include "text/strings.h"
#include "text/unicode.h"

namespace qb::text {
namespace {

constexpr std::size_t kMaxOut = 64000;

// A code point that cannot be written (0, a surrogate, out of range)
// becomes U+FFFD.
void appendCodePoint(std::string& out, uint32_t cp) {
  if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
  text::appendUtf8(out, cp);
}

// Bytes of the document's code page, turned into UTF-8 when the run of
// them ends.
class CodePageBytes {
 public:
  void setCodePage(long cp) { charset_ = cp > 0 && cp < 100000 ? "cp" + std::to_string(cp) : "windows-1252"; }
  void add(unsigned char b) { pending_.push_back(static_cast<char>(b)); }
  void flush(std::string& out) {
    if (pending_.empty()) return;
    out += toUtf8(pending_, knownCharset(charset_) ? charset_ : "windows-1252");
    pending_.clear();
  }

 private:
  std::string charset_ = "windows-1252";
  std::string pending_;
};

bool isDroppedDestination(std::string_view w) {
  static const char* const names[] = {"fonttbl", "colortbl", "stylesheet", "info",     "pict",
                                      "object",  "header",   "footer",     "headerl",  "headerr",
                                      "footerl", "footerr",  "listtable",  "listoverridetable",
                                      "themedata", "datastore", "latentstyles", "generator", "xmlnstbl",
                                      "rsidtbl", "mmathPr",  "filetbl",    "revtbl",   "fldinst"};
  for (const char* n : names)
    if (w == n) return true;
  return false;
}

struct Group {
  bool skip = false;      // the group's text is dropped
  bool htmlTag = false;   // an encapsulated HTML tag group
  int uc = 1;             // replacement characters after \uN
};

}  // namespace

RtfText rtfToText(std::string_view rtf) {
  RtfText r;
  std::string& out = r.text;
  CodePageBytes bytes;
  std::vector<Group> stack;
  Group g;
  bool htmlrtf = false;       // inside \htmlrtf ... \htmlrtf0
  bool destinationNext = false;  // "\*" seen: the next word names a destination
  int skipChars = 0;          // replacement characters still to pass over after \uN
  std::size_t i = 0;
  const std::size_t n = rtf.size();

  auto visible = [&] { return !g.skip && !(r.html && htmlrtf && !g.htmlTag); };
  auto emitText = [&](std::string_view s) {
    if (!visible()) return;
    bytes.flush(out);
    out.append(s);
  };

  while (i < n && out.size() < kMaxOut) {
    char c = rtf[i];
    if (c == '{') {
      if (stack.size() > 1000) break;  // nesting that deep is no document
      stack.push_back(g);
      ++i;
      continue;
    }
    if (c == '}') {
      bytes.flush(out);
      if (!stack.empty()) {
        g = stack.back();
        stack.pop_back();
      }
      destinationNext = false;
      ++i;
      continue;
    }
    if (c == '\r' || c == '\n') {
      ++i;
      continue;
    }
    if (c != '\\') {
      if (skipChars > 0) {
        --skipChars;
      } else {
        emitText(std::string_view(&rtf[i], 1));
      }
      ++i;
      continue;
    }
    // A control symbol or word.
    if (i + 1 >= n) break;
    char d = rtf[i + 1];
    if (d == '\'') {
      unsigned value = 0;
      bool ok = i + 3 < n;
      for (std::size_t k = i + 2; ok && k < i + 4; ++k) {
        char h = rtf[k];
        int v = (h >= '0' && h <= '9') ? h - '0' : (h >= 'a' && h <= 'f') ? h - 'a' + 10
                                                  : (h >= 'A' && h <= 'F') ? h - 'A' + 10 : -1;
        if (v < 0) ok = false;
        value = value * 16 + static_cast<unsigned>(v < 0 ? 0 : v);
      }
      if (ok) {
        i += 4;
      } else {  // a cut-off escape: its hex digits are dropped with it
        i += 2;
        for (int k = 0; k < 2 && i < n && std::isxdigit(static_cast<unsigned char>(rtf[i])); ++k) ++i;
      }
      if (skipChars > 0) {
        --skipChars;
      } else if (ok && visible()) {
        bytes.add(static_cast<unsigned char>(value));
      }
      continue;
    }
    if (d == '*') {
      destinationNext = true;
      i += 2;
      continue;
    }
    if (!((d >= 'a' && d <= 'z') || (d >= 'A' && d <= 'Z'))) {
      // \\ \{ \} are the characters; \~ a no-break space, \- \_ hyphens.
      if (d == '\\' || d == '{' || d == '}') emitText(std::string_view(&rtf[i + 1], 1));
      if (d == '~') emitText("\xC2\xA0");
      if (d == '_') emitText("-");
      if (d == '\r' || d == '\n') emitText("\r\n");
      i += 2;
      continue;
    }
    std::size_t w = i + 1;
    while (w < n && ((rtf[w] >= 'a' && rtf[w] <= 'z') || (rtf[w] >= 'A' && rtf[w] <= 'Z')) && w - i < 40) ++w;
    std::string_view word = rtf.substr(i + 1, w - i - 1);
    bool hasParam = false;
    long param = 0;
    bool negative = false;
    if (w < n && rtf[w] == '-') {
      negative = true;
      ++w;
    }
    std::size_t digits = 0;
    while (w < n && rtf[w] >= '0' && rtf[w] <= '9' && digits < 10) {
      param = param * 10 + (rtf[w] - '0');
      hasParam = true;
      ++w;
      ++digits;
    }
    if (negative) param = -param;
    if (w < n && rtf[w] == ' ') ++w;
    i = w;

    if (destinationNext) {
      destinationNext = false;
      if (r.html && word.substr(0, 7) == "htmltag") {
        g.htmlTag = true;
      } else {
        g.skip = true;
      }
      continue;
    }
    if (isDroppedDestination(word)) {
      g.skip = true;
    } else if (word == "fromhtml") {
      r.html = !hasParam || param != 0;
    } else if (word == "htmlrtf") {
      htmlrtf = !hasParam || param != 0;
    } else if (word == "ansicpg") {
      bytes.flush(out);
      bytes.setCodePage(param);
    } else if (word == "uc") {
      g.uc = hasParam && param >= 0 && param < 10 ? static_cast<int>(param) : 1;
    } else if (word == "u" && hasParam) {
      long cp = param < 0 ? param + 65536 : param;
      if (visible()) {
        bytes.flush(out);
        appendCodePoint(out, static_cast<uint32_t>(cp));
      }
      skipChars = g.uc;
    } else if (word == "par" || word == "line") {
      emitText("\r\n");
    } else if (word == "tab") {
      emitText("\t");
    } else if (word == "emdash") {
      emitText("\xE2\x80\x94");
    } else if (word == "endash") {
      emitText("\xE2\x80\x93");
    } else if (word == "bullet") {
      emitText("\xE2\x80\xA2");
    } else if (word == "lquote") {
      emitText("\xE2\x80\x98");
    } else if (word == "rquote") {
      emitText("\xE2\x80\x99");
    } else if (word == "ldblquote") {
      emitText("\xE2\x80\x9C");
    } else if (word == "rdblquote") {
      emitText("\xE2\x80\x9D");
    }
  }
  bytes.flush(out);
  if (out.size() > kMaxOut) {
    std::size_t cut = kMaxOut;
    while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80) --cut;
    out.resize(cut);
  }
  return r;
}

}  // namespace qb::text
