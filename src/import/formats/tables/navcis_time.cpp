#include "import/formats/tables/navcis_time.h"

#include <string>

#include "text/datetime.h"
#include "text/strings.h"

namespace qb::import::tables {
namespace {

bool twoDigits(std::string_view s, std::size_t at, int& value) {
  if (at + 2 > s.size() || s[at] < '0' || s[at] > '9' || s[at + 1] < '0' || s[at + 1] > '9') return false;
  value = (s[at] - '0') * 10 + (s[at + 1] - '0');
  return true;
}

}  // namespace

int32_t hourMinute(std::string_view s) {
  int h = 0, m = 0;
  if (s.size() < 5 || s[2] != ':' || !twoDigits(s, 0, h) || !twoDigits(s, 3, m)) return 0;
  return text::timeValue(h, m, 0);
}

int32_t navCisTime(std::string_view field) {
  std::string_view v = text::trimRightView(field.substr(0, 10));
  std::string t;
  if (v.size() >= 2 && v[1] == ':') t += '0';
  t.append(v);
  if (t.size() == 5) return hourMinute(t);
  if (t.size() != 8 || t[5] != ':') return 0;
  int s = 0;
  int32_t hm = hourMinute(t);
  if (hm == 0 || !twoDigits(t, 6, s)) return 0;
  int h = 0, m = 0;
  twoDigits(t, 0, h);
  twoDigits(t, 3, m);
  return text::timeValue(h, m, s);
}

}  // namespace qb::import::tables
