#pragma once
// Commands of quillbox-cli. Each command lives in a file of its own and
// registers itself with a static CommandRegistration.

#include <functional>
#include <string>
#include <vector>

namespace qb::cli {

struct GlobalOptions {
  std::string home;  // resolved Quillbox home
  bool yes = false;  // answer questions with "yes" instead of the cautious default
  bool quiet = false;
};

struct Command {
  std::string name;
  std::string synopsis;  // one line for --help
  std::string help;      // full help text for `quillbox-cli help NAME`
  // Returns the process exit code.
  std::function<int(const GlobalOptions&, std::vector<std::string>& args)> run;
};

std::vector<Command>& commands();

// The value of the option at args[i]: the next word goes to `into` and i
// moves onto it; false when the option is the last word.
inline bool optionValue(const std::vector<std::string>& args, std::size_t& i, std::string& into) {
  if (i + 1 >= args.size()) return false;
  into = args[++i];
  return true;
}

struct CommandRegistration {
  explicit CommandRegistration(Command c) { commands().push_back(std::move(c)); }
};

}  // namespace qb::cli
