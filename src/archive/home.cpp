#include "archive/home.h"

#include <cstdlib>
#include <filesystem>

namespace qb::store {

std::string resolveHome(const std::string& commandLineHome) {
  namespace fs = std::filesystem;
  std::string h = commandLineHome;
  if (h.empty()) {
    if (const char* e = std::getenv("QUILLBOX_HOME"); e && *e) h = e;
  }
  if (h.empty()) {
    if (const char* x = std::getenv("XDG_DATA_HOME"); x && *x)
      h = std::string(x) + "/quillbox";
    else if (const char* home = std::getenv("HOME"); home && *home)
      h = std::string(home) + "/.local/share/quillbox";
    else
      h = "quillbox";
  }
  std::error_code ec;
  fs::path p = fs::absolute(fs::path(h), ec);
  std::string s = (ec ? fs::path(h) : p.lexically_normal()).string();
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

}  // namespace qb::store
