#pragma once
// Which files an import run reads: masks matched without regard to letter
// case, and the source entries of the three selection methods (directory
// tree walked level by level, one directory, files chosen by hand).

#include <string>
#include <utility>
#include <string_view>
#include <vector>

namespace qb::import {

// True when `fileName` (a name without directory) matches one of the masks
// of `masks`, separated by ";". "*" stands for any run of characters and "?"
// for one; "*.*" matches every file and "*." a file without an extension.
bool matchesMask(std::string_view fileName, std::string_view masks);

// One source entry of a run: a directory whose matching files are read, or
// one chosen file.
struct SourceEntry {
  std::string path;
  bool directory = false;
};

// Selection method 0: `dir` and every directory below it, level by level
// (all directories of one depth before those of the next; names sorted);
// method 1: `dir` alone; method 2: the files as given.
std::vector<SourceEntry> sourceEntries(int selectionMethod, const std::string& dir,
                                       const std::vector<std::string>& files);

// The regular files of a directory that match the masks, sorted by name,
// with their full paths. Empty when the directory cannot be read.
std::vector<std::string> matchingFiles(const std::string& dir, std::string_view masks);

// What a directory holds for a run: the matching regular files (sorted,
// full paths), the matching entries that are no regular files and are
// passed over (FIFOs, devices, sockets, dangling links, link loops; each with
// why), and why the directory itself cannot be read (empty when it can).
struct DirectoryListing {
  std::vector<std::string> files;
  std::vector<std::pair<std::string, std::string>> passedOver;  // path, reason
  std::string error;
};
DirectoryListing listDirectory(const std::string& dir, std::string_view masks);

// Why a file chosen for import cannot be read, to follow "The file NAME ":
// "does not exist", "is a directory", "is not a regular file", "is a
// symbolic link loop", "cannot be read: permission denied", ...; empty when
// it is a readable regular file.
std::string unreadableReason(const std::string& path);

}  // namespace qb::import
