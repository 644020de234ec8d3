#include "import/formats/shared/cis_identifier.h"

#include "text/strings.h"

namespace qb::import {

namespace {

// Removes the blank (if any) at position `at`.
void dropBlankAt(std::string& s, std::size_t at) {
  if (at < s.size() && s[at] == ' ') s.erase(at, 1);
}

}  // namespace

std::string cleanCisAddress(std::string_view address) {
  std::string a = text::trim(address);
  if (a.find('@') != std::string::npos) {
    std::string upper = text::upperAscii(a);
    std::size_t at = upper.find("INTERNET");
    if (at != std::string::npos) {
      std::size_t cut = at + 8;
      if (cut < a.size() && a[cut] == ':') ++cut;
      a = text::trim(std::string_view(a).substr(cut));
    }
    return a;
  }
  if (a.size() >= 2 && a.front() == '[' && a.back() == ']') a = text::trim(std::string_view(a).substr(1, a.size() - 2));
  std::size_t comma = a.find(',');
  if (comma != std::string::npos) {
    dropBlankAt(a, comma + 1);
  } else {
    std::size_t dot = a.rfind('.');
    if (dot != std::string::npos) {
      a[dot] = ',';
      dropBlankAt(a, dot + 1);
    }
  }
  return a;
}

std::string cleanCisName(std::string_view name, std::string_view address) {
  std::string n = text::trim(name);
  if (n.size() >= 2 && n.front() == '"' && n.back() == '"') n = text::trim(std::string_view(n).substr(1, n.size() - 2));
  if (!n.empty() && n == text::trimView(address).substr(0, 40)) n.clear();
  return n;
}

std::string tableAddress(std::string_view address) {
  std::string a = cleanCisAddress(address);
  if (text::startsWith(a, "INTERNET:")) a.erase(0, 9);
  return a;
}

}  // namespace qb::import
