#include "import/formats/outlook/outlook_folders.h"

#include "text/strings.h"

namespace qb::import::outlook {
namespace {

// The folder a path names, or folders.size() when none does.
std::size_t findFolder(const std::vector<OutlookFolder>& folders, std::string_view path) {
  for (std::size_t i = 0; i < folders.size(); ++i)
    if (folders[i].path == path) return i;
  for (std::size_t i = 0; i < folders.size(); ++i)
    if (text::equalsNoCase(folders[i].path, path)) return i;
  return folders.size();
}

}  // namespace

std::vector<std::string> splitSelection(std::string_view selection) {
  std::vector<std::string> paths;
  const std::string_view sep = kSelectionSeparator;
  while (true) {
    std::size_t at = selection.find(sep);
    std::string_view part = text::trimView(selection.substr(0, at));
    if (!part.empty()) paths.emplace_back(part);
    if (at == std::string_view::npos) break;
    selection.remove_prefix(at + sep.size());
  }
  return paths;
}

std::string joinSelection(const std::vector<std::string>& paths) {
  std::string r;
  for (const auto& p : paths) {
    if (!r.empty()) r += kSelectionSeparator;
    r += p;
  }
  return r;
}

std::vector<std::size_t> resolveSelection(const std::vector<OutlookFolder>& folders, std::string_view selection) {
  std::vector<bool> chosen(folders.size(), false);
  std::vector<std::string> paths = splitSelection(selection);
  if (paths.empty()) {
    for (std::size_t i = 0; i < folders.size(); ++i) chosen[i] = folders[i].mail;
  } else {
    for (const auto& p : paths) {
      std::size_t i = findFolder(folders, p);
      if (i < folders.size()) chosen[i] = true;
    }
  }
  std::vector<std::size_t> r;
  for (std::size_t i = 0; i < folders.size(); ++i)
    if (chosen[i]) r.push_back(i);
  return r;
}

std::vector<std::string> missingFolders(const std::vector<OutlookFolder>& folders, std::string_view selection) {
  std::vector<std::string> r;
  for (const auto& p : splitSelection(selection))
    if (findFolder(folders, p) == folders.size()) r.push_back(p);
  return r;
}

}  // namespace qb::import::outlook
