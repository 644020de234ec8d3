// unicode_bench: the cost of the Unicode routines against the byte routines
// they replaced, measured in the same run.
//
//   - case folding of key values (foldCase) against the Windows-1252 upper
//     case of the earlier key encoding, for ASCII names and for Polish and
//     Cyrillic names;
//   - charset conversion of a KOI8-R body (toUtf8) and of a Windows-1252
//     body against copying the bytes.
//
// Prints the throughput of each and its ratio to the baseline.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "text/strings.h"
#include "text/unicode.h"

namespace {

template <class F>
double seconds(F f) {
  auto t0 = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

std::size_t sink = 0;  // results are summed so that no call is optimised away

void foldRun(const char* label, const std::vector<std::string>& names, int rounds) {
  double base = seconds([&] {
    for (int r = 0; r < rounds; ++r)
      for (auto& n : names) sink += qb::text::upper1252(n).size();
  });
  double fold = seconds([&] {
    for (int r = 0; r < rounds; ++r)
      for (auto& n : names) sink += qb::text::foldCase(n).size();
  });
  double count = static_cast<double>(names.size()) * rounds;
  std::printf("%-34s foldCase %9.0f values/s, upper1252 %9.0f values/s, ratio %.1f\n", label, count / fold,
              count / base, fold / base);
}

void convertRun(const char* label, const std::string& body, const char* charset, int rounds) {
  double base = seconds([&] {
    for (int r = 0; r < rounds; ++r) sink += std::string(body).size();
  });
  double conv = seconds([&] {
    for (int r = 0; r < rounds; ++r) sink += qb::text::toUtf8(body, charset).size();
  });
  double mb = static_cast<double>(body.size()) * rounds / 1e6;
  std::printf("%-34s toUtf8 %8.1f MB/s, copy %8.1f MB/s, ratio %.1f\n", label, mb / conv, mb / base, conv / base);
}

}  // namespace

int main() {
  std::vector<std::string> ascii, polish, cyrillic;
  for (int i = 0; i < 1000; ++i) {
    ascii.push_back("Johnson " + std::to_string(i));
    polish.push_back("Łódź Wójcik " + std::to_string(i));
    cyrillic.push_back("Иван Петров " + std::to_string(i));
  }
  foldRun("key values, ASCII", ascii, 200);
  foldRun("key values, Polish", polish, 200);
  foldRun("key values, Cyrillic", cyrillic, 200);

  std::string koi8, latin;
  while (koi8.size() < 1000000) koi8 += "\xF0\xD2\xC9\xD7\xC5\xD4 \xC9\xDA \xED\xCF\xD3\xCB\xD7\xD9, text.\n";
  while (latin.size() < 1000000) latin += "Gr\xFC\xDF" "e aus M\xFCnchen, caf\xE9 cr\xE8me.\n";
  convertRun("1 MB body, KOI8-R (ICU)", koi8, "koi8-r", 20);
  convertRun("1 MB body, ISO-8859-1 (table)", latin, "iso-8859-1", 20);
  return sink == 0 ? 1 : 0;
}
