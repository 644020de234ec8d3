#include "support/cli_run.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace qb::test {

namespace {
std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}
}  // namespace

CliResult runCli(const std::string& cli, const std::string& home, const std::vector<std::string>& args) {
  namespace fs = std::filesystem;
  std::string tmpl = (fs::temp_directory_path() / "quillbox-cli-out-XXXXXX").string();
  CliResult r;
  if (!::mkdtemp(tmpl.data())) return r;
  const std::string out = tmpl + "/out", err = tmpl + "/err";
  std::vector<std::string> argv = {cli, "--home", home};
  argv.insert(argv.end(), args.begin(), args.end());
  pid_t pid = ::fork();
  if (pid == 0) {
    int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (o < 0 || e < 0) ::_exit(127);
    ::dup2(o, 1);
    ::dup2(e, 2);
    std::vector<char*> cargs;
    for (auto& a : argv) cargs.push_back(a.data());
    cargs.push_back(nullptr);
    ::execv(cli.c_str(), cargs.data());
    ::_exit(127);
  }
  int status = 0;
  if (pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status)) r.code = WEXITSTATUS(status);
  r.out = slurp(out);
  r.err = slurp(err);
  std::error_code ec;
  fs::remove_all(tmpl, ec);
  return r;
}

}  // namespace qb::test
