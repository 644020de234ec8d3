#pragma once
// Folder paths and selections of an Outlook data file. A folder path names
// the folder and its parents, from the top folder down, separated by "::"
// ("Personal Folders::Inbox::Projects"); a selection is several paths
// separated by "##". The selection is stored with the import definition as
// it was chosen and resolved against the file's folder tree at every run,
// so that a folder that has gone since is simply left out.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "import/formats/outlook/outlook_source.h"

namespace qb::import::outlook {

inline constexpr const char* kPathSeparator = "::";
inline constexpr const char* kSelectionSeparator = "##";

// The paths of a selection, blanks around each trimmed, empty ones dropped.
std::vector<std::string> splitSelection(std::string_view selection);
std::string joinSelection(const std::vector<std::string>& paths);

// The folders (indexes into `folders`, in folder order, each once) that a
// selection names. A path matches a folder's path exactly, else without
// regard to ASCII letter case. An empty selection takes every mail folder.
std::vector<std::size_t> resolveSelection(const std::vector<OutlookFolder>& folders, std::string_view selection);

// The paths of a selection that name no folder of `folders`.
std::vector<std::string> missingFolders(const std::vector<OutlookFolder>& folders, std::string_view selection);

}  // namespace qb::import::outlook
