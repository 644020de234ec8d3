// `quillbox-cli info`: where the home, data and temporary directories are.
#include <cstdio>
#include <filesystem>

#include "cli/cli_session.h"
#include "cli/command.h"

namespace qb::cli {
namespace {

int runInfo(const GlobalOptions& g, std::vector<std::string>& args) {
  std::printf("Home:                %s\n", g.home.c_str());
  std::printf("Settings (CFG):      %s/CFG\n", g.home.c_str());
  std::error_code ec;
  if (!std::filesystem::is_directory(g.home + "/CFG", ec)) {
    // No archive yet: the directories it will have by default.
    std::printf("Data directory:      %s\n", g.home.c_str());
    std::printf("Temporary directory: %s/TEMP\n", g.home.c_str());
    std::printf("(no archive yet: `quillbox-cli init` creates it)\n");
    return 0;
  }
  auto cs = openArchive(g);
  if (!cs) return 1;
  std::printf("Data directory:      %s\n", cs->session.FileDir.c_str());
  std::printf("Temporary directory: %s\n", cs->session.TempDir.c_str());
  return 0;
}

CommandRegistration reg({"info", "where the home, data and temporary directories are",
                         "quillbox-cli info\n  Shows the Quillbox home and the data and temporary directories.",
                         runInfo});
}  // namespace
}  // namespace qb::cli
