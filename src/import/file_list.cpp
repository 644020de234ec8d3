#include "import/file_list.h"

#include <algorithm>
#include <deque>
#include <filesystem>
#include <system_error>

#include "store/record.h"

namespace qb::import {
namespace fs = std::filesystem;

namespace {

// Glob match of one mask, both sides already upper-cased.
bool globMatch(std::string_view name, std::string_view mask) {
  std::size_t n = 0, m = 0, starM = std::string_view::npos, starN = 0;
  while (n < name.size()) {
    if (m < mask.size() && (mask[m] == '?' || mask[m] == name[n])) {
      ++n;
      ++m;
    } else if (m < mask.size() && mask[m] == '*') {
      starM = m++;
      starN = n;
    } else if (starM != std::string_view::npos) {
      m = starM + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == '*') ++m;
  return m == mask.size();
}

bool matchOne(const std::string& upperName, std::string_view mask) {
  mask = text::trimSpacesView(mask);
  if (mask.empty()) return false;
  if (mask == "*.*" || mask == "*") return true;
  if (mask == "*.") return upperName.find('.') == std::string::npos;
  return globMatch(upperName, text::upper1252(mask));
}

}  // namespace

bool matchesMask(std::string_view fileName, std::string_view masks) {
  std::string upperName = text::upper1252(fileName);
  std::size_t start = 0;
  while (start <= masks.size()) {
    std::size_t semi = masks.find(';', start);
    if (semi == std::string_view::npos) semi = masks.size();
    if (matchOne(upperName, masks.substr(start, semi - start))) return true;
    start = semi + 1;
  }
  return false;
}

std::vector<SourceEntry> sourceEntries(int selectionMethod, const std::string& dir,
                                       const std::vector<std::string>& files) {
  std::vector<SourceEntry> out;
  if (selectionMethod == 2) {
    for (const auto& f : files) out.push_back({f, false});
    return out;
  }
  out.push_back({dir, true});
  if (selectionMethod != 0) return out;
  // Level by level: the children of every directory of one level are listed
  // before any grandchild.
  std::deque<std::string> level{dir};
  while (!level.empty()) {
    std::string cur = level.front();
    level.pop_front();
    std::vector<std::string> subdirs;
    std::error_code ec;
    for (fs::directory_iterator it(cur, ec), end; !ec && it != end; it.increment(ec)) {
      std::error_code sec;
      if (it->is_directory(sec) && !it->is_symlink(sec)) subdirs.push_back(it->path().string());
    }
    std::sort(subdirs.begin(), subdirs.end());
    for (auto& s : subdirs) {
      out.push_back({s, true});
      level.push_back(s);
    }
  }
  return out;
}

std::vector<std::string> matchingFiles(const std::string& dir, std::string_view masks) {
  std::vector<std::string> out;
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code sec;
    if (!it->is_regular_file(sec)) continue;
    if (matchesMask(it->path().filename().string(), masks)) out.push_back(it->path().string());
  }
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace qb::import
