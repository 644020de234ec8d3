#include "import/utf8_text.h"

#include "text/unicode.h"

namespace qb::import {

namespace {

template <std::size_t N>
void utf8Field(store::FixedString<N>& f) {
  std::string v = f.str();
  if (!text::isUtf8(v)) f = text::fromWindows1252(v);
}

}  // namespace

void utf8Fields(NHR& nhr) {
  utf8Field(nhr.SEC_DESCRIPTION);
  utf8Field(nhr.HEADING);
  utf8Field(nhr.S_CISADRESS);
  utf8Field(nhr.S_NAME);
  utf8Field(nhr.R_CISADRESS);
  utf8Field(nhr.R_NAME);
}

void utf8Fields(CCT& cc) {
  utf8Field(cc.R_NAME);
  utf8Field(cc.R_CISADRESS);
}

std::string utf8Text(const std::string& text, std::size_t maxBytes) {
  std::string t = text::isUtf8(text) ? text : text::fromWindows1252(text);
  t.resize(text::utf8Prefix(t, maxBytes));
  return t;
}

}  // namespace qb::import
