#include "archive/archive_home.h"

#include <filesystem>

#include "archive/file_table.h"
#include "archive/paths.h"

namespace qb::store {

namespace fs = std::filesystem;

namespace {

bool isDirectory(const std::string& p) {
  std::error_code ec;
  return fs::is_directory(p, ec);
}

bool makeDirectories(const std::string& p) {
  std::error_code ec;
  fs::create_directories(p, ec);
  return isDirectory(p);
}

void remember(Session& s, int kind, std::string path) {
  AutoPath(s, 2, kind, path);
  std::string unused;
  AutoPath(s, 4, kind, unused);
}

}  // namespace

HomeStatus openHome(Session& s, const std::string& home) {
  s.Net = trimPath(home);
  s.clearDatabase();
  if (!isDirectory(s.Net)) return HomeStatus::NoHome;
  ExistPath(s, 3, 0, true, s.cfgDir(), "");

  std::string unused;
  AutoPath(s, 1, kTempPath, unused);

  const std::string defaultTemp = s.Net + "/TEMP";
  std::string temp;
  AutoPath(s, 3, kTempPath, temp);
  if (temp.empty() || temp.front() != '/') {
    temp = defaultTemp;
    remember(s, kTempPath, temp);
  }
  if (!makeDirectories(temp) && temp != defaultTemp) {
    temp = defaultTemp;
    remember(s, kTempPath, temp);
  }
  if (!isDirectory(temp)) ExistPath(s, 3, 0, true, temp, "");
  s.TempDir = temp;

  std::string data;
  AutoPath(s, 3, kDataPath, data);
  if (data.empty() || data.front() != '/') data = s.Net;
  s.FileDir = data;
  s.MasIdxPath = data;
  return isDirectory(data) ? HomeStatus::Ready : HomeStatus::DataPathMissing;
}

bool initHome(Session& s, const std::string& home, const InitOptions& options, std::string& error) {
  auto checkPath = [&](const std::string& p, const char* what) {
    if (p.empty()) return true;
    if (p.front() != '/') {
      error = std::string("the ") + what + " must be an absolute path: " + p;
      return false;
    }
    if (trimPath(p).size() > kStoredPathMax) {
      error = std::string("the ") + what + " is longer than " + std::to_string(kStoredPathMax) +
              " characters and cannot be stored: " + p;
      return false;
    }
    return true;
  };
  if (!checkPath(options.dataDir, "data directory") || !checkPath(options.tempDir, "temporary directory"))
    return false;
  const std::string h = trimPath(home);
  if (!makeDirectories(h)) {
    error = "cannot create the home directory " + h;
    return false;
  }
  s.Net = h;
  s.clearDatabase();
  ExistPath(s, 3, 0, true, s.cfgDir(), "");
  std::string unused;
  AutoPath(s, 1, kTempPath, unused);

  std::string temp = trimPath(options.tempDir), data = trimPath(options.dataDir);
  if (temp.empty()) AutoPath(s, 3, kTempPath, temp);
  if (temp.empty() || temp.front() != '/') temp = h + "/TEMP";
  if (data.empty()) AutoPath(s, 3, kDataPath, data);
  if (data.empty() || data.front() != '/') data = h;
  if (!makeDirectories(temp)) {
    error = "cannot create the temporary directory " + temp;
    return false;
  }
  if (!makeDirectories(data)) {
    error = "cannot create the data directory " + data;
    return false;
  }
  if (!AutoPath(s, 2, kTempPath, temp) || !AutoPath(s, 2, kDataPath, data) ||
      !AutoPath(s, 4, kTempPath, unused)) {
    error = "cannot store the paths in the settings";
    return false;
  }
  s.TempDir = temp;
  s.FileDir = data;
  s.MasIdxPath = data;
  // The database list and the control file exist from now on.
  OP_CLOSE(s, OpOpen, {FileNo::Forums, FileNo::Control});
  OP_CLOSE(s, OpClose, {FileNo::Forums, FileNo::Control});
  return true;
}

}  // namespace qb::store
