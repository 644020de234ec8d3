#include "support/scripted_converter.h"

#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "import/converter.h"
#include "text/datetime.h"
#include "archive/records.h"

namespace qb::test {
namespace {

using namespace qb::import;

std::vector<std::string> split(const std::string& s, char sep) {
  std::vector<std::string> out;
  std::string cur;
  for (char c : s) {
    if (c == sep) {
      out.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  out.push_back(cur);
  return out;
}

std::string unescape(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size() && s[i + 1] == 'n') {
      out += "\r\n";
      ++i;
    } else {
      out += s[i];
    }
  }
  return out;
}

int32_t date(const std::string& d) {
  if (d.size() != 8) return 0;
  return text::dayNumber(std::stoi(d.substr(0, 4)), std::stoi(d.substr(4, 2)), std::stoi(d.substr(6, 2)));
}

int32_t time(const std::string& t) {
  if (t.size() != 6) return 0;
  return text::timeValue(std::stoi(t.substr(0, 2)), std::stoi(t.substr(2, 2)), std::stoi(t.substr(4, 2)));
}

class ScriptConverter : public Converter {
 public:
  bool step(ImportContext& ctx, uint8_t& command) override {
    if (command == 199) {
      command = 99;
      lines_.clear();
      next_ = 0;
      std::ifstream in(ctx.fileName());
      std::string line;
      while (std::getline(in, line))
        if (!line.empty()) lines_.push_back(line);
    }
    if (next_ >= lines_.size()) return true;
    convert(ctx, lines_[next_++]);
    ctx.progress(static_cast<int>(next_ * 1000 / lines_.size()));
    return next_ >= lines_.size();
  }

 private:
  // The number of a newsgroup message identifier, the same for the whole run.
  uint32_t numberOf(ImportContext& ctx, const std::string& id) {
    auto it = ids_.find(id);
    if (it != ids_.end()) return it->second;
    uint32_t n = ctx.nextId();
    ids_[id] = n;
    TID t;
    t.IDSTRING = id;
    t.MSGNUMBER = n;
    ctx.appendTid(t);
    return n;
  }

  bool accepted(ImportContext& ctx, const std::string& name, int kind, NHR& nhr) {
    nhr.FOR_DESCRIPTION = name;
    Resolution r = ctx.resolveDatabase(name, kind, nhr);
    if (!r.accept || r.id == 0 || ctx.request().createOnly) {
      ctx.skipped();
      return false;
    }
    nhr.INTERNAL = r.id;
    return true;
  }

  void convert(ImportContext& ctx, const std::string& line) {
    if (line == "THROW") throw std::runtime_error("scripted failure");
    auto f = split(line, '|');
    NHR nhr;
    if (f[0] == "F" && f.size() >= 13) {
      if (!accepted(ctx, f[1], 1, nhr)) return;
      nhr.SECTIONNUMBER = static_cast<uint32_t>(std::stoul(f[2]));
      nhr.SEC_DESCRIPTION = f[3];
      nhr.MSGNUMBER = static_cast<uint32_t>(std::stoul(f[4]));
      nhr.REFNUMBER = static_cast<uint32_t>(std::stoul(f[5]));
      if (!ctx.request().allowReimport && ctx.alreadyImported(nhr.INTERNAL, nhr.MSGNUMBER)) {
        ctx.skipped();
        return;
      }
      nhr.HEADING = f[6];
      nhr.S_NAME = f[7];
      nhr.S_CISADRESS = f[8];
      nhr.R_NAME = f[9];
      nhr.R_CISADRESS = f[10];
      nhr.DATE = date(f[11]);
      ctx.appendWork(nhr, unescape(f[12]));
    } else if (f[0] == "N" && f.size() >= 10) {
      if (!accepted(ctx, f[1], 3, nhr)) return;
      nhr.MSGNUMBER = numberOf(ctx, f[2]);
      nhr.REFNUMBER = f[3].empty() ? 0 : numberOf(ctx, f[3]);
      nhr.HEADING = f[4];
      nhr.S_NAME = f[5];
      nhr.S_CISADRESS = f[6];
      nhr.R_NAME = nhr.REFNUMBER ? "Unknown" : "All";
      nhr.R_CISADRESS = "Unknown";
      nhr.DATE = date(f[7]);
      nhr.TIME = time(f[8]);
      ctx.appendWork(nhr, unescape(f[9]));
    } else if (f[0] == "M" && f.size() >= 11) {
      if (!accepted(ctx, f[1], 2, nhr)) return;
      uint32_t id = ctx.nextId();
      nhr.MSGNUMBER = nhr.REFNUMBER = id;
      nhr.MAILTYPE = static_cast<uint8_t>(std::stoi(f[2]));
      nhr.RECIPTYPE = "TO";
      nhr.HEADING = f[3];
      nhr.S_NAME = f[4];
      nhr.S_CISADRESS = f[5];
      nhr.R_NAME = f[6];
      nhr.R_CISADRESS = f[7];
      nhr.DATE = date(f[8]);
      nhr.TIME = time(f[9]);
      if (!ctx.appendWork(nhr, unescape(f[10]))) return;
      if (f.size() >= 12 && !f[11].empty())
        for (const auto& cc : split(f[11], ';')) {
          auto parts = split(cc, ',');
          CCT c;
          c.MAILID = id;
          c.R_NAME = parts[0];
          c.R_CISADRESS = parts.size() > 1 ? parts[1] : "";
          c.RECIPTYPE = "CC";
          ctx.appendCC(c);
        }
    } else {
      ctx.skipped();
    }
  }

  std::vector<std::string> lines_;
  std::size_t next_ = 0;
  std::map<std::string, uint32_t> ids_;
};

}  // namespace

std::unique_ptr<import::Converter> makeScriptConverter() { return std::make_unique<ScriptConverter>(); }
}  // namespace qb::test
