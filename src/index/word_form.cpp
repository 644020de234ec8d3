#include "index/word_form.h"

#include <unicode/ustring.h>
#include <unicode/utypes.h>

#include <vector>

#include "text/unicode.h"

namespace qb::index {

namespace {

bool ascii(std::string_view s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

}  // namespace

std::string indexForm(std::string_view w) {
  if (ascii(w)) {
    std::string out(w);
    for (char& c : out)
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return out;
  }
  // Full Unicode case folding (with compatibility normalisation, so that
  // composed and decomposed accents meet), then upper case.
  const std::string folded = text::foldCase(w);
  UErrorCode e = U_ZERO_ERROR;
  int32_t n = 0;
  std::vector<UChar> u(folded.size() + 1);
  u_strFromUTF8Lenient(u.data(), static_cast<int32_t>(u.size()), &n, folded.data(),
                       static_cast<int32_t>(folded.size()), &e);
  if (U_FAILURE(e)) return folded;
  std::vector<UChar> upper(static_cast<std::size_t>(n) * 3 + 4);
  e = U_ZERO_ERROR;
  int32_t un = u_strToUpper(upper.data(), static_cast<int32_t>(upper.size()), u.data(), n, "", &e);
  if (U_FAILURE(e)) return folded;
  std::string out(static_cast<std::size_t>(un) * 3 + 4, '\0');
  int32_t on = 0;
  e = U_ZERO_ERROR;
  u_strToUTF8(out.data(), static_cast<int32_t>(out.size()), &on, upper.data(), un, &e);
  if (U_FAILURE(e)) return folded;
  out.resize(static_cast<std::size_t>(on));
  return out;
}

std::size_t utf8Length(std::string_view s) {
  std::size_t n = 0;
  for (char c : s)
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
  return n;
}

}  // namespace qb::index
