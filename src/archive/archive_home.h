#pragma once
// Start-up of the archive's directories: the program directory (the
// Quillbox home) with CFG/ below it, the temporary directory and the data
// directory remembered in Control record 4, and creating a fresh home.

#include <string>

#include "archive/session.h"

namespace qb::store {

enum class HomeStatus {
  Ready,            // Net, TempDir, FileDir and MasIdxPath are set
  NoHome,           // the home directory does not exist (nothing was created)
  DataPathMissing,  // the remembered data directory no longer exists (ask for a new one)
};

// Sets Net to `home`, creates CFG/ when missing, loads Control record 4
// (AutoPath 1), takes the temporary directory from it (created when missing;
// when it cannot be created, home/TEMP is used and remembered), and the data
// directory. No database is current afterwards. Settings (Konfig) are not
// loaded here.
HomeStatus openHome(Session& s, const std::string& home);

struct InitOptions {
  std::string dataDir;  // empty: the home
  std::string tempDir;  // empty: home/TEMP
};

// Creates a home (directories home, CFG/, TEMP or the given temporary
// directory, the data directory), remembers the paths in Control record 4,
// and creates the database list. An existing home keeps its databases; given
// paths replace the remembered ones. Returns false with `error` set when a
// path is not absolute, too long to be stored, or cannot be created.
bool initHome(Session& s, const std::string& home, const InitOptions& options, std::string& error);

}  // namespace qb::store
