// `quillbox-cli info`: where the home, data and temporary directories are.
#include <cstdio>

#include "cli/command.h"

namespace qb::cli {
namespace {

int runInfo(const GlobalOptions& g, std::vector<std::string>& args) {
  std::printf("Home:                %s\n", g.home.c_str());
  std::printf("Settings (CFG):      %s/CFG\n", g.home.c_str());
  std::printf("Data directory:      %s\n", g.home.c_str());
  std::printf("Temporary directory: %s/TEMP\n", g.home.c_str());
  return 0;
}

CommandRegistration reg({"info", "where the home, data and temporary directories are",
                         "quillbox-cli info\n  Shows the Quillbox home and the data and temporary directories.",
                         runInfo});
}  // namespace
}  // namespace qb::cli
