#include "archive/paths.h"

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "archive/file_table.h"
#include "archive/neo.h"
#include "archive/record_access.h"
#include "text/strings.h"

using qb::text::upper1252;

namespace qb::store {

namespace fs = std::filesystem;

std::string trimStoredField(std::string_view s) {
  using namespace std::string_view_literals;
  return text::trimRight(s, " \0"sv);
}

std::string trimPath(std::string_view s) {
  std::string p = trimStoredField(s);
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  return p;
}

std::string directoryPart(const std::string& name) {
  auto p = name.rfind('/');
  return p == std::string::npos ? std::string() : name.substr(0, p);
}

namespace {

bool isDirectory(const std::string& p) {
  std::error_code ec;
  return fs::is_directory(p, ec);
}

// One mask against a name, letter case ignored; "*" any run, "?" one
// character.
bool globMatch(const char* m, const char* n) {
  for (; *m; ++m, ++n) {
    if (*m == '*') {
      while (*m == '*') ++m;
      if (!*m) return true;
      for (; *n; ++n)
        if (globMatch(m, n)) return true;
      return false;
    }
    if (!*n) return false;
    if (*m != '?' && upper1252(static_cast<uint8_t>(*m)) != upper1252(static_cast<uint8_t>(*n))) return false;
  }
  return *n == 0;
}

bool matchOne(std::string mask, const std::string& name) {
  mask = text::trim(mask, " ");
  if (mask.empty()) return false;
  if (mask == "*.*" || mask == "*") return true;
  if (mask == "*.") return name.find('.') == std::string::npos;
  return globMatch(mask.c_str(), name.c_str());
}

// Thousands-separated, right-aligned in 13 positions.
std::string format13(uint64_t v) {
  std::string digits = std::to_string(v), out;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  if (out.size() < 13) out.insert(0, 13 - out.size(), ' ');
  return out;
}

// The nearest existing ancestor of a path (the path itself when it exists).
std::string existingAncestor(const std::string& path) {
  fs::path p = fs::path(path).lexically_normal();
  std::error_code ec;
  while (!p.empty() && !fs::exists(p, ec)) {
    fs::path parent = p.parent_path();
    if (parent == p) break;
    p = parent;
  }
  return p.empty() ? std::string("/") : p.string();
}



}  // namespace

uint8_t ExistPath(Session& s, int mode, int fileNo, bool quiet, const std::string& path, const std::string& message) {
  std::string p;
  if (mode == 1 || mode == 3) {
    p = trimPath(path);
    if (p.empty() || p.front() != '/') return 0;
  } else {
    p = directoryPart(buildFileName(s, fileNo));
  }
  if (isDirectory(p)) return 1;
  if (!quiet) {
    s.beep();
    s.tell("The specified path " + p + " does not exist.\r\n" + message, " Path Not Found");
  }
  if (mode == 3 || mode == 4) {
    std::error_code ec;
    fs::create_directory(p, ec);
    if (ec || !isDirectory(p)) {
      s.ui().beep();
      s.fatal("The specified directory " + p + " could not be created.\r\n" + "Quillbox will be halted.",
              " Directory Creation Error", "Probable access rights violation");
    }
  }
  return 0;
}

uint8_t AutoPath(Session& s, int action, int kind, std::string& path) {
  StoredPaths& sp = s.part<StoredPaths>();
  if (action == 2 || action == 3) {
    if (kind != kTempPath && kind != kDataPath) s.fatal("Internal Error - invalid xType", "Program Failure!");
    std::string& slot = kind == kTempPath ? sp.temp : sp.data;
    if (action == 3) {
      path = slot;
      return 1;
    }
    std::string p = trimPath(path);
    if (p.size() > kStoredPathMax) {
      s.tell("The path " + p + " is longer than " + std::to_string(kStoredPathMax) +
                 " characters and cannot be stored.",
             "Path Too Long");
      return 0;
    }
    slot = p;
    return 1;
  }
  if (action != 1 && action != 4) return 0;

  OP_CLOSE(s, OpOpen, {FileNo::Control});
  Table<Control>& ctl = s.Control();
  ctl.clear();
  ctl.rec.ID = 4;
  bool found = ctl.get(Control::IdKey) == Err::Ok;
  uint8_t result = 1;
  if (action == 1) {
    if (found) {
      std::string_view block = ctl.rec.CTLFIELD.raw();
      sp.temp = trimPath(std::string(block.substr(0, 100)));
      sp.data = trimPath(std::string(block.substr(100, 100)));
    } else {
      sp.temp = trimPath(s.Net) + "/TEMP";
      sp.data = trimPath(s.Net);
    }
    sp.loaded = true;
  }
  if (action == 4 || !found) {
    FixedString<100> temp(sp.temp), data(sp.data);
    std::memcpy(ctl.rec.CTLFIELD.bytes.data(), temp.bytes.data(), 100);
    std::memcpy(ctl.rec.CTLFIELD.bytes.data() + 100, data.bytes.data(), 100);
    ctl.rec.ID = 4;
    if (found) {
      result = UppDat(s, ctl, UppChange, ErrQuiet);
    } else {
      ctl.rec.NEXTNUMBER = 0;
      result = UppDat(s, ctl, UppAdd, ErrQuiet);
    }
  }
  OP_CLOSE(s, OpClose, {FileNo::Control});
  if (!result) tellSettingNotSaved(s);
  return result;
}

bool matchMask(const std::string& mask, const std::string& name) {
  std::size_t start = 0;
  while (start <= mask.size()) {
    std::size_t end = mask.find(';', start);
    if (end == std::string::npos) end = mask.size();
    if (matchOne(mask.substr(start, end - start), name)) return true;
    start = end + 1;
  }
  return false;
}

uint8_t DOSFunc(Session& s, int code, const std::string& dir, const std::string& name) {
  const std::string d = trimPath(dir);
  switch (code) {
    case 3: {
      std::string full = d.empty() ? name : d + "/" + name;
      struct stat st;
      if (::lstat(full.c_str(), &st) != 0) return 1;
      if (::unlink(full.c_str()) == 0) return 1;
      if (errno == EACCES || errno == EPERM || errno == EROFS)
        s.tell("No access rights - the file " + full + " cannot be removed", "File Deletion Error!");
      else
        s.tell("The file " + full + " is open and cannot be removed", "File Deletion Error!");
      return 0;
    }
    case 4: {
      bool allGone = true;
      std::error_code ec;
      for (fs::directory_iterator it(d, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code e2;
        if (!it->is_regular_file(e2)) continue;
        if (!matchMask(name, it->path().filename().string())) continue;
        if (::unlink(it->path().c_str()) != 0 && errno != ENOENT) allGone = false;
      }
      if (!allGone)
        s.tell("One or more files have not been \r\nremoved in subdirectory " + d, "File Deletion Error!");
      return allGone ? 1 : 0;
    }
    case 5: {
      std::error_code ec;
      for (fs::directory_iterator it(d, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code e2;
        if (it->is_regular_file(e2) && matchMask(name, it->path().filename().string())) return 1;
      }
      return 0;
    }
    default:
      return 0;
  }
}

uint64_t GetFSize(const std::string& pattern) {
  std::string dir = directoryPart(pattern);
  std::string mask = pattern.substr(pattern.rfind('/') == std::string::npos ? 0 : pattern.rfind('/') + 1);
  if (dir.empty()) dir = pattern.find('/') == 0 ? "/" : ".";
  uint64_t total = 0;
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code e2;
    if (!it->is_regular_file(e2) || !matchMask(mask, it->path().filename().string())) continue;
    auto sz = it->file_size(e2);
    if (!e2) total += sz;
  }
  return total;
}

uint64_t freeSpace(const std::string& path) {
  if (const char* forTests = std::getenv("QB_TEST_FREE_SPACE"); forTests && *forTests)
    return std::strtoull(forTests, nullptr, 10);
  struct statvfs v;
  if (::statvfs(existingAncestor(path).c_str(), &v) != 0) return 0;
  return static_cast<uint64_t>(v.f_bavail) * v.f_frsize;
}

std::string mountPoint(const std::string& path) {
  fs::path p = fs::path(existingAncestor(path));
  struct stat st;
  if (::stat(p.c_str(), &st) != 0) return p.string();
  dev_t dev = st.st_dev;
  while (p.has_parent_path() && p.parent_path() != p) {
    struct stat up;
    if (::stat(p.parent_path().c_str(), &up) != 0 || up.st_dev != dev) break;
    p = p.parent_path();
  }
  return p.string();
}

uint64_t CheckSpace(Session& s, uint64_t required, const std::string& path) {
  uint64_t free = freeSpace(path);
  if (free >= required) return 0;
  // During unattended task processing the question is not asked and its
  // default (Cancel) holds.
  s.beep();
  Button b = s.ask("You have only " + format13(free) + " bytes free on disk  " + mountPoint(path) + " " +
                       "This may be too little for this process. Running out of diskspace may corrupt the "
                       "currently accessed data file(s).Press OK if you want to continue and Cancel if you "
                       "want to abort this process!",
                   "Warning", Button::Ok | Button::Cancel, Button::Cancel, Icon::Exclamation);
  return b == Button::Ok ? 0 : free;
}

bool pathIsValid(Session& s, const std::string& path) {
  if (ExistPath(s, 1, 0, true, path, "")) return true;
  s.tell("This path does not exist!\r\nPlease enter a valid path\r\n", path);
  return false;
}

uint8_t saveDataPath(Session& s, const std::string& path) {
  std::string p = trimPath(path);
  if (!AutoPath(s, 2, kDataPath, p)) return 0;
  if (p != trimPath(s.FileDir)) ExistPath(s, 3, 0, true, p, "");
  bool indexFollows = s.MasIdxPath.empty() || trimPath(s.MasIdxPath) == trimPath(s.FileDir);
  s.FileDir = p;
  if (indexFollows) s.MasIdxPath = p;
  std::string unused;
  return AutoPath(s, 4, kDataPath, unused);
}

}  // namespace qb::store
