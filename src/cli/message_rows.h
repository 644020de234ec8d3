#pragma once
// Message and mail lines of the listing commands (`list`, `search`, topic
// listings): one line (or one JSON object) per message, with the names of
// persons, threads and sections read once each.

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "archive/records.h"
#include "archive/session.h"
#include "cli/cli_session.h"
#include "cli/json_text.h"
#include "text/display_text.h"

namespace qb::cli {

// Names of persons, threads and sections, read once each.
class Names {
 public:
  explicit Names(store::Session& s) : s_(s) {}
  std::string person(uint32_t id) {
    auto it = persons_.find(id);
    if (it != persons_.end()) return it->second;
    auto& p = s_.Person();
    p.clear();
    p.rec.PERSONID = id;
    std::string n;
    if (p.get(store::Person::PersonKey) == store::Err::Ok) {
      std::string first = p.rec.FIRSTNAME.str(), last = p.rec.LASTNAME.str();
      n = first.empty() ? last : first + " " + last;
    }
    return remember(persons_, id, text::displayText(n));
  }
  std::string thread(uint32_t id) {
    auto it = threads_.find(id);
    if (it != threads_.end()) return it->second;
    auto& t = s_.Threads();
    t.clear();
    t.rec.THREADNUMBER = id;
    std::string h = t.get(store::Threads::ThreadKey) == store::Err::Ok ? t.rec.heading() : "";
    return remember(threads_, id, text::displayText(h));
  }
  std::string section(uint32_t id) {
    auto it = sections_.find(id);
    if (it != sections_.end()) return it->second;
    auto& t = s_.Sections();
    t.clear();
    t.rec.SECSYSID = id;
    std::string h = t.get(store::Sections::SysIdKey) == store::Err::Ok ? t.rec.DESCRIPTION.str() : "";
    return remember(sections_, id, text::displayText(h));
  }

 private:
  // The caches hold a bounded number of names: a huge database does not
  // fill the memory with them.
  static const std::string& remember(std::map<uint32_t, std::string>& m, uint32_t id, std::string v) {
    if (m.size() > 20000) m.clear();
    return m[id] = std::move(v);
  }
  store::Session& s_;
  std::map<uint32_t, std::string> persons_, threads_, sections_;
};

struct Row {
  std::vector<std::pair<const char*, std::string>> text;
  std::vector<std::pair<const char*, uint32_t>> numbers;
};

class Output {
 public:
  explicit Output(bool json) : json_(json) {}
  void row(const Row& r) {
    if (json_) {
      std::printf("%s\n  {", first_ ? "[" : ",");
      bool firstField = true;
      for (auto& [k, v] : r.numbers) {
        std::printf("%s\"%s\": %u", firstField ? "" : ", ", k, v);
        firstField = false;
      }
      for (auto& [k, v] : r.text) {
        std::printf("%s\"%s\": %s", firstField ? "" : ", ", k, jsonString(v).c_str());
        firstField = false;
      }
      std::printf("}");
    } else {
      std::string line;
      for (std::size_t i = 0; i < r.text.size(); ++i) line += (i ? "  " : "") + terminalField(r.text[i].second);
      std::printf("%s\n", line.c_str());
    }
    first_ = false;
  }
  void end() {
    if (json_) std::printf(first_ ? "[]\n" : "\n]\n");
  }

 private:
  bool json_;
  bool first_ = true;
};

// A text cut or padded to `w` characters (UTF-8 aware).
inline std::string col(const std::string& s, std::size_t w) {
  std::string out;
  std::size_t n = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if ((c & 0xC0) != 0x80) {
      if (n == w) break;
      ++n;
    }
    out += s[i];
  }
  return out + std::string(w - n, ' ');
}

// The line of a forum or newsgroup message, and of a mail.
Row messageRow(const store::MsgNmbr& m, Names& names, bool json);
Row mailRow(const store::Mail& m, Names& names, bool json);

}  // namespace qb::cli
