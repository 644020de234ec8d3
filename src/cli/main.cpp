// quillbox-cli: the Quillbox engine from the command line.
#include <algorithm>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "cli/command.h"
#include "archive/home.h"
#include "archive/messages.h"
#include "version.h"

namespace qb::cli {
std::vector<Command>& commands() {
  static std::vector<Command> all;
  return all;
}
}  // namespace qb::cli

using namespace qb::cli;

static void usage(std::FILE* out) {
  std::fprintf(out,
               "Usage: quillbox-cli [--home DIR] [--yes] [--quiet] COMMAND [ARGS...]\n"
               "\n"
               "Quillbox archives the messages that old forum, news and mail programs left\n"
               "on disk, and lets you list, search, maintain and export them.\n"
               "\n"
               "Options:\n"
               "  --home DIR   the Quillbox home (settings in DIR/CFG, work files in DIR/TEMP);\n"
               "               default $QUILLBOX_HOME, else ~/.local/share/quillbox\n"
               "  --yes        answer the program's questions with yes instead of the cautious default\n"
               "  --quiet      no progress bar\n"
               "  --help       this text; `quillbox-cli help COMMAND` explains a command\n"
               "  --version    the program's version\n"
               "\n"
               "Commands:\n");
  auto cmds = commands();
  std::sort(cmds.begin(), cmds.end(), [](auto& a, auto& b) { return a.name < b.name; });
  for (auto& c : cmds) std::fprintf(out, "  %-12s %s\n", c.name.c_str(), c.synopsis.c_str());
}

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  GlobalOptions g;
  std::string home;
  std::size_t i = 0;
  for (; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      usage(stdout);
      return 0;
    } else if (a == "--version") {
      std::printf("quillbox-cli %s\n", qb::versionString());
      return 0;
    } else if (a == "--home") {
      if (i + 1 >= args.size()) {
        std::fprintf(stderr, "quillbox-cli: --home needs a directory\n");
        return 2;
      }
      home = args[++i];
    } else if (a.rfind("--home=", 0) == 0) {
      home = a.substr(7);
    } else if (a == "--yes" || a == "-y") {
      g.yes = true;
    } else if (a == "--quiet" || a == "-q") {
      g.quiet = true;
    } else {
      break;
    }
  }
  if (i >= args.size()) {
    usage(stderr);
    return 2;
  }
  g.home = qb::store::resolveHome(home);
  std::string name = args[i];
  std::vector<std::string> rest(args.begin() + static_cast<long>(i) + 1, args.end());
  if (name == "help") {
    if (rest.empty()) {
      usage(stdout);
      return 0;
    }
    for (auto& c : commands())
      if (c.name == rest[0]) {
        std::printf("%s\n", c.help.empty() ? c.synopsis.c_str() : c.help.c_str());
        return 0;
      }
    std::fprintf(stderr, "quillbox-cli: no command \"%s\"\n", rest[0].c_str());
    return 2;
  }
  for (auto& c : commands()) {
    if (c.name != name) continue;
    try {
      return c.run(g, rest);
    } catch (const qb::FatalStop& f) {
      std::fprintf(stderr, "%s: %s\n", f.title().c_str(), f.text().c_str());
      return 3;
    } catch (const std::exception& e) {
      std::fprintf(stderr, "quillbox-cli: %s\n", e.what());
      return 3;
    }
  }
  std::fprintf(stderr, "quillbox-cli: unknown command \"%s\" (see --help)\n", name.c_str());
  return 2;
}
