#include "text/text_duplicates.h"

#include <algorithm>

#include "text/strings.h"

namespace qb::text {

bool textsAreDuplicates(std::string_view a, std::string_view b) {
  a = trimRightSpacesView(a);
  b = trimRightSpacesView(b);
  std::size_t n = std::min(a.size(), b.size());
  std::size_t diff = a.size() > b.size() ? a.size() - b.size() : b.size() - a.size();
  return diff < 20 && a.substr(0, n) == b.substr(0, n);
}

}  // namespace qb::text
