#pragma once
// Running quillbox-cli from a test: its exit code and what it wrote to
// stdout and stderr.

#include <string>
#include <vector>

namespace qb::test {

struct CliResult {
  int code = -1;    // exit code; -1 when it did not exit normally
  std::string out;  // stdout
  std::string err;  // stderr
};

// Runs quillbox-cli with --home `home` and the given arguments (each passed
// as one argument, without a shell).
CliResult runCli(const std::string& cli, const std::string& home, const std::vector<std::string>& args);

}  // namespace qb::test
