#include "import/formats/cim/cim_text.h"

#include "text/strings.h"

namespace qb::import::cim {

bool lineFeedRule(std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  bool changed = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c != '\n' || (i > 0 && text[i - 1] == '\r')) {
      out += c;
      continue;
    }
    // The first LF of a run: blanks before it go.
    if (i == 0 || text[i - 1] != '\n') {
      while (!out.empty() && (out.back() == ' ' || out.back() == '\t')) out.pop_back();
    }
    out += "\r\n";
    changed = true;
  }
  if (changed) text.swap(out);
  return changed;
}

bool paragraphRule(std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  bool changed = false;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] == '@' && i + 1 < text.size() && text[i + 1] == 'b') {
      changed = true;
      i += 2;
      while (i < text.size() && text[i] == '\n') {
        out += "\r\n";
        ++i;
      }
      continue;
    }
    out += text[i++];
  }
  if (changed) text.swap(out);
  return changed;
}

std::string convertCimText(std::string text, text::StripKind kind) {
  bool changed;
  if (text::startsWith(text, "@l")) {
    text.erase(0, 2);
    if (!lineFeedRule(text)) paragraphRule(text);
    changed = true;  // the leading code itself was removed
  } else {
    changed = paragraphRule(text) || lineFeedRule(text);
  }
  if (!changed) return text;
  return text::StripChar(kind, std::move(text));
}

}  // namespace qb::import::cim
