#include "import/file_list.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
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
  return listDirectory(dir, masks).files;
}

namespace {

std::string systemReason(int err) {
  if (err == EACCES || err == EPERM) return "permission denied";
  return std::strerror(err);
}

}  // namespace

std::string unreadableReason(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    int err = errno;
    if (err == ELOOP) return "is a symbolic link loop";
    if (err == ENOENT || err == ENOTDIR) {
      struct stat link {};
      if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) return "is a symbolic link to nothing";
      return "does not exist";
    }
    return "cannot be read: " + systemReason(err);
  }
  if (S_ISDIR(st.st_mode)) return "is a directory";
  if (!S_ISREG(st.st_mode)) return "is not a regular file";
  if (::access(path.c_str(), R_OK) != 0) return "cannot be read: " + systemReason(errno);
  return {};
}

DirectoryListing listDirectory(const std::string& dir, std::string_view masks) {
  DirectoryListing out;
  std::error_code ec;
  fs::directory_iterator it(dir, ec), end;
  if (ec) {
    out.error = systemReason(ec.value());
    return out;
  }
  for (; !ec && it != end; it.increment(ec)) {
    if (!matchesMask(it->path().filename().string(), masks)) continue;
    std::error_code sec;
    if (it->is_regular_file(sec)) {
      out.files.push_back(it->path().string());
      continue;
    }
    // Subdirectories are entries of their own (or not taken); anything else
    // that matches is passed over and told.
    if (it->is_directory(sec)) continue;
    std::string why = unreadableReason(it->path().string());
    out.passedOver.emplace_back(it->path().string(), why.empty() ? "is not a regular file" : why);
  }
  if (ec) out.error = systemReason(ec.value());
  std::sort(out.files.begin(), out.files.end());
  std::sort(out.passedOver.begin(), out.passedOver.end());
  return out;
}

}  // namespace qb::import
