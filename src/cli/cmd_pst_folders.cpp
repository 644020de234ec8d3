// `quillbox-cli pst-folders`: the folder tree of an Outlook data file with
// the paths to choose folders for `import --format "Outlook Mail" --folders`.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/command.h"
#include "cli/json_text.h"
#include "import/formats/outlook/pst_source.h"
#include "import/outlook_texts.h"

namespace qb::cli {
namespace {

const char* kHelp =
    "quillbox-cli pst-folders FILE.pst [--json]\n"
    "\n"
    "Lists the folders of an Outlook data file (.pst, or .ost as far as it can be\n"
    "read): one line per folder with its number of items, \"mail\" for a mail\n"
    "folder (contacts, calendars and tasks are no mail folders), and its path.\n"
    "A path names the folder and its parents separated by \"::\". Choose folders\n"
    "for an import by their paths, separated by \"##\":\n"
    "\n"
    "  quillbox-cli import --format \"Outlook Mail\" --mail-db NAME FILE.pst \\\n"
    "      --folders \"Personal Folders::Inbox##Personal Folders::Sent Items\"\n"
    "\n"
    "  --json   the folders as a JSON array of objects (path, name, depth, items, mail)\n"
    "\n"
    "Exit code: 0, or 2 when the file cannot be read.";

int runPstFolders(const GlobalOptions&, std::vector<std::string>& args) {
  std::string file;
  bool json = false;
  for (const auto& a : args) {
    if (a == "--json") {
      json = true;
    } else if (!a.empty() && a[0] == '-') {
      std::fprintf(stderr, "quillbox-cli pst-folders: unknown option \"%s\"\n", a.c_str());
      return 2;
    } else if (file.empty()) {
      file = a;
    } else {
      std::fprintf(stderr, "quillbox-cli pst-folders: give one data file\n");
      return 2;
    }
  }
  if (file.empty()) {
    std::fprintf(stderr, "%s\nName the Outlook data file (.pst or .ost) to list.\n", import::outlook::kNotInstalled);
    return 2;
  }
  import::outlook::OpenError error;
  auto source = import::outlook::openPstFile(file, error);
  if (!source) {
    std::fprintf(stderr, "%s\n%s\n%s\n",
                 error.unreadable ? import::outlook::kNotInitialized : import::outlook::kCannotRun, file.c_str(),
                 error.reason.c_str());
    return 2;
  }
  const auto& folders = source->folders();
  if (json) {
    std::printf("[");
    for (std::size_t i = 0; i < folders.size(); ++i) {
      const auto& f = folders[i];
      std::printf("%s\n  {\"path\": %s, \"name\": %s, \"depth\": %d, \"items\": %u, \"mail\": %s}", i ? "," : "",
                  jsonString(f.path).c_str(), jsonString(f.name).c_str(), f.depth, f.items,
                  f.mail ? "true" : "false");
    }
    std::printf("\n]\n");
    return 0;
  }
  for (const auto& f : folders)
    std::printf("%8u  %-4s  %s\n", f.items, f.mail ? "mail" : "", f.path.c_str());
  return 0;
}

CommandRegistration reg({"pst-folders", "list the folders of an Outlook data file (.pst, .ost)", kHelp,
                         runPstFolders});

}  // namespace
}  // namespace qb::cli
