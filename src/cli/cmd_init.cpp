// `quillbox-cli init`: creates the Quillbox home with CFG/ and TEMP/, the
// settings, the database list and the data directory.
#include <cstdio>
#include <filesystem>

#include "cli/cli_session.h"
#include "cli/command.h"
#include "archive/archive_home.h"
#include "archive/config.h"

namespace qb::cli {
namespace {

int runInit(const GlobalOptions& g, std::vector<std::string>& args) {
  store::InitOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    std::string* target = nullptr;
    std::string value;
    if (a == "--data-dir" || a == "--temp-dir") {
      if (i + 1 >= args.size()) {
        std::fprintf(stderr, "quillbox-cli init: %s needs a directory\n", a.c_str());
        return 2;
      }
      target = a == "--data-dir" ? &options.dataDir : &options.tempDir;
      value = args[++i];
    } else if (a.rfind("--data-dir=", 0) == 0) {
      target = &options.dataDir;
      value = a.substr(11);
    } else if (a.rfind("--temp-dir=", 0) == 0) {
      target = &options.tempDir;
      value = a.substr(11);
    } else {
      std::fprintf(stderr, "quillbox-cli init: unknown argument \"%s\"\n", a.c_str());
      return 2;
    }
    std::error_code ec;
    auto abs = std::filesystem::absolute(value, ec);
    *target = ec ? value : abs.lexically_normal().string();
  }
  std::error_code ec;
  bool existed = std::filesystem::is_directory(g.home + "/CFG", ec);
  CliSession cs(g);
  std::string error;
  if (!store::initHome(cs.session, g.home, options, error)) {
    std::fprintf(stderr, "quillbox-cli init: %s\n", error.c_str());
    return 1;
  }
  // The settings with their defaults, the identifier generator and the
  // delivered texts.
  if (!store::StartupSettings(cs.session, existed)) {
    std::fprintf(stderr, "quillbox-cli init: the settings cannot be stored\n");
    return 1;
  }
  if (!g.quiet) {
    std::printf("%s %s\n", existed ? "Archive home updated:" : "Archive home created:", g.home.c_str());
    std::printf("Data directory:      %s\n", cs.session.FileDir.c_str());
    std::printf("Temporary directory: %s\n", cs.session.TempDir.c_str());
  }
  return 0;
}

CommandRegistration reg({"init", "create the archive home (settings, data and temporary directories)",
                         "quillbox-cli init [--data-dir DIR] [--temp-dir DIR]\n"
                         "  Creates the Quillbox home with CFG/ (settings, database list) and TEMP/.\n"
                         "  --data-dir DIR   directory below which the databases lie (default: the home)\n"
                         "  --temp-dir DIR   directory of the work files of a run (default: HOME/TEMP)\n"
                         "  On an existing home the given directories replace the remembered ones;\n"
                         "  its databases are kept. Paths are at most 100 characters long.",
                         runInit});
}  // namespace
}  // namespace qb::cli
