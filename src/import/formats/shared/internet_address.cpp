// The two address rules of the Internet header reader: splitting a "From:"
// or "To:" text into a name and an address.

#include <cctype>
#include <string>

#include "import/formats/shared/internet_header.h"
#include "store/record.h"
#include "text/encodings.h"
#include "text/unicode.h"

namespace qb::import {
namespace {

constexpr std::size_t kFieldLength = 60;
constexpr std::size_t kMaxAddressText = 2000;  // an address text is read this far (encoded names are long)

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Header values are trimmed of spaces and tabs only.
std::string_view trim(std::string_view s) { return text::trimView(s, " \t"); }

// Removes enclosing double quotes and enclosing parentheses (repeatedly, so
// that "(\"Name\")" gives Name too).
std::string_view unwrap(std::string_view name, bool parentheses) {
  for (;;) {
    name = trim(name);
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"') {
      name = name.substr(1, name.size() - 2);
    } else if (parentheses && name.size() >= 2 && name.front() == '(' && name.back() == ')') {
      name = name.substr(1, name.size() - 2);
    } else {
      return name;
    }
  }
}

// The name decoded into UTF-8 and ended at a word when it is too long; the
// address in lower case.
NameAddress finish(std::string_view name, std::string_view address, std::string_view charset) {
  NameAddress r;
  const std::string decoded = text::decodeHeaderText(trim(name), charset);
  r.name = std::string(text::cutAtWord(unwrap(decoded, false), kFieldLength));
  r.address = text::lowerAscii(text::toUtf8(text::cutUtf8(trim(address), kFieldLength), charset));
  return r;
}

bool isWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }

// Position of "INTERNET" standing as a whole word (letter case as written
// by the gateways: upper case), npos when absent.
std::size_t findInternetWord(std::string_view t) {
  for (std::size_t i = t.find("INTERNET"); i != std::string_view::npos; i = t.find("INTERNET", i + 1)) {
    bool before = i == 0 || !isWordChar(t[i - 1]);
    bool after = i + 8 >= t.size() || !isWordChar(t[i + 8]);
    if (before && after) return i;
  }
  return std::string_view::npos;
}

// The address after "INTERNET:" (or after "INTERNET" when no colon follows).
std::string_view internetAddress(std::string_view t, std::size_t word) {
  std::size_t p = word + 8;
  if (p < t.size() && t[p] == ':') ++p;
  return t.substr(p);
}

}  // namespace

NameAddress newsAddress(std::string_view text, std::string_view charset) {
  const std::string_view t = trim(text);
  const std::size_t at = t.find('@');
  if (at == std::string_view::npos) return finish("", t, charset);

  std::string_view name, address;
  if (t.back() == '>') {
    std::size_t lt = t.size() >= 2 ? t.rfind('<', t.size() - 2) : std::string_view::npos;
    if (lt == std::string_view::npos) {
      address = t;
    } else {
      address = t.substr(lt + 1, t.size() - lt - 2);
      name = t.substr(0, lt);
    }
  } else {
    std::size_t blank = t.find_first_of(" \t", at);
    if (blank != std::string_view::npos) {  // "addr (Name)"
      address = t.substr(0, blank);
      name = t.substr(blank + 1);
    } else {
      std::size_t before = t.find_last_of(" \t", at);
      if (before != std::string_view::npos) {  // "Name addr"
        address = t.substr(before + 1);
        name = t.substr(0, before);
      } else {
        address = t;
      }
    }
  }
  return finish(unwrap(name, true), address, charset);
}

NameAddress otherAddress(std::string_view text, std::string_view charset) {
  const std::string_view t = trim(text.substr(0, kMaxAddressText));
  const std::size_t at = t.find('@');
  if (at == std::string_view::npos) {
    // The CompuServe form "Name 12345,678"; any other text is a name.
    NameAddress r = FindCISAdress(1, t, kFieldLength, kFieldLength);
    return finish(unwrap(r.name, false), r.address, charset);
  }

  // Going back from the "@", the first "<" or blank decides.
  std::size_t p = at;
  while (p > 0 && t[p - 1] != '<' && !isBlank(t[p - 1])) --p;
  const std::size_t internet = findInternetWord(t);
  std::string_view name, address;
  if (p > 0 && t[p - 1] == '<') {
    std::size_t lt = p - 1;
    address = t.substr(lt + 1);
    std::size_t gt = address.substr(0, kFieldLength).find('>');
    if (gt != std::string_view::npos) address = address.substr(0, gt);
    name = lt + 1 == at ? t : t.substr(0, lt);
  } else if (p > 0) {  // a blank before the "@"
    name = t.substr(0, p - 1);
    address = internet != std::string_view::npos ? internetAddress(t, internet) : t.substr(p);
  } else if (internet != std::string_view::npos) {
    address = internetAddress(t, internet);
    name = internet < 2 ? std::string_view() : t.substr(0, internet);
  } else if (std::size_t blank = t.find_first_of(" \t", at);
             blank != std::string_view::npos && trim(t.substr(blank)).front() == '(') {
    address = t.substr(0, blank);  // "addr (Name)"
    name = unwrap(t.substr(blank + 1), true);
  } else {
    address = t;
    name = t.substr(0, at);
  }
  return finish(unwrap(name, false), address, charset);
}

AddressRule addressRuleFor(ImportTypeId type) {
  switch (type) {
    case ImportTypeId::AgentNews:
    case ImportTypeId::IeNews:
    case ImportTypeId::OutlookExpress4News:
    case ImportTypeId::UnixNews:
    case ImportTypeId::Gravity:
    case ImportTypeId::Winvn:
      return AddressRule::News;
    default:
      return AddressRule::Other;
  }
}

}  // namespace qb::import
