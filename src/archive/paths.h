#pragma once
// Path procedures: testing and creating directories, the two stored paths
// of Control record 4 (temporary and data directory), deleting files,
// summing file sizes, checking free space, and validating a new data path.
//
// Paths are absolute, with "/" between their parts. The "drive" of a path
// is the file system it lies on.

#include <cstdint>
#include <string>
#include <string_view>

#include "archive/session.h"

namespace qb::store {

// ExistPath: 1 when the directory exists. Modes 1 and 3 test `path`, which
// must be absolute (otherwise 0 at once, without a message); modes 2 and 4
// test the directory part of the name of file `fileNo`. Modes 3 and 4
// create a missing directory (one level); the result is still 0 then.
// Unless quiet or suppressed, a missing directory is told with `message` as
// its second line. A directory that cannot be created stops the program.
// A text stored in a fixed-width field without the spaces and NULs that pad
// it.
std::string trimStoredField(std::string_view s);
// A stored path without its padding and without trailing slashes (a lone
// "/" stays): the form in which directories are joined with names.
std::string trimPath(std::string_view s);
// The directory of a full file name; empty when it names none.
std::string directoryPart(const std::string& name);

uint8_t ExistPath(Session& s, int mode, int fileNo, bool quiet, const std::string& path,
                  const std::string& message);

// The two paths remembered in Control record 4, held per session.
struct StoredPaths {
  std::string temp;  // kind 17
  std::string data;  // kind 18
  bool loaded = false;
};
constexpr int kTempPath = 17;
constexpr int kDataPath = 18;
constexpr std::size_t kStoredPathMax = 100;  // each path has 100 bytes in the record

// AutoPath: action 1 loads Control record 4 (creating it with the defaults
// Net/TEMP and Net when missing); 2 remembers `path` as the path of `kind`;
// 3 copies the remembered path of `kind` into `path`; 4 writes the record.
// Another kind stops the program with "Internal Error - invalid xType".
// Returns 1 on success; 0 when writing failed (told with Neo texts 27 and
// 28) or when a path is longer than the record can hold.
uint8_t AutoPath(Session& s, int action, int kind, std::string& path);

// DOSFunc: code 3 deletes the file dir/name (1 = deleted or not there);
// code 4 deletes in `dir` every file matching the pattern `name` (1 = all
// deleted); code 5 tells whether a file matching `name` exists in `dir`.
// Patterns: "*" and "?", letter case ignored, several separated by ";".
uint8_t DOSFunc(Session& s, int code, const std::string& dir, const std::string& name);

// Whether `name` matches a file mask ("*.MBX", "*.*" every file, "*." a
// file without an extension; several masks separated by ";"), ignoring
// letter case.
bool matchMask(const std::string& mask, const std::string& name);

// GetFSize: the sum of the sizes of the files (not directories) matching
// `pattern` (a directory and a mask, e.g. "/data/F12/IDX*.*").
uint64_t GetFSize(const std::string& pattern);

// Free bytes of the file system of `path` (its nearest existing ancestor);
// 0 when it cannot be found. For tests, the environment variable
// QB_TEST_FREE_SPACE (a number of bytes) replaces the measured figure for
// every path, so that the checks for want of space can be run without
// filling a disk.
uint64_t freeSpace(const std::string& path);
// The mount point of the file system of `path`, shown where a drive is named.
std::string mountPoint(const std::string& path);

// CheckSpace: 0 when the file system of `path` has at least `required` bytes
// free, or when the user chooses to go on; otherwise the free bytes.
uint64_t CheckSpace(Session& s, uint64_t required, const std::string& path);

// The data-path window's logic (NewPath mode 1). pathIsValid tests an entry
// as the window does when it is left (ExistPath mode 1, quiet) and tells
// "This path does not exist!..." when it is not. saveDataPath does what OK
// does: remembers the path as kind 18, creates it when it differs from
// FileDir, sets FileDir and writes Control record 4; 1 on success.
bool pathIsValid(Session& s, const std::string& path);
uint8_t saveDataPath(Session& s, const std::string& path);

}  // namespace qb::store
