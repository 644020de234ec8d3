// `quillbox-cli list`: the messages of one database in a key order, read
// record by record through the store (never the whole file at once).
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "cli/cli_session.h"
#include "cli/command.h"
#include "cli/db_lookup.h"
#include "cli/json_text.h"
#include "text/datetime.h"
#include "text/display_text.h"
#include "archive/file_table.h"

namespace qb::cli {
namespace {

const char* kHelp =
    "quillbox-cli list DB [--by ORDER] [--json]\n"
    "\n"
    "One line per message of the database DB (its name or identifier).\n"
    "Forum and newsgroup databases: --by date (newest first, the default),\n"
    "number (newest first), thread (thread subject, then number), section,\n"
    "sender, receiver.\n"
    "Mail databases: --by date (newest first, the default), subject, partner,\n"
    "sender, receiver.";

int bad(const std::string& text) {
  std::fprintf(stderr, "quillbox-cli list: %s\n", text.c_str());
  return 2;
}

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
      for (std::size_t i = 0; i < r.text.size(); ++i) line += (i ? "  " : "") + r.text[i].second;
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
std::string col(const std::string& s, std::size_t w) {
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

int listMessages(store::Session& s, const std::string& by, bool json) {
  int key = by == "date"       ? store::MsgNmbr::DateKey
            : by == "number"   ? store::MsgNmbr::IdKey
            : by == "thread"   ? store::MsgNmbr::Threadkey
            : by == "section"  ? store::MsgNmbr::SECkey
            : by == "sender"   ? store::MsgNmbr::FromKey
            : by == "receiver" ? store::MsgNmbr::ToKey
                               : -1;
  if (key < 0) return bad("forum and newsgroup databases are listed --by date, number, thread, section, sender or receiver");
  store::OP_CLOSE(s, store::OpOpen, {store::FileNo::MsgNmbr, store::FileNo::Person, store::FileNo::Sections, store::FileNo::Threads});
  Names names(s);
  Output out(json);
  auto& msg = s.MsgNmbr();
  msg.set(key);
  while (msg.next() == store::Err::Ok) {
    const store::MsgNmbr m = msg.rec;
    Row r;
    r.numbers = {{"number", m.MSGNUMBER}, {"replyTo", m.REFNUMBER}, {"thread", m.THREADNUMBER}};
    if (json) {
      r.text = {{"date", text::formatDate(m.DATE)},     {"section", names.section(m.SECSYSID)},
                {"sender", names.person(m.FROMID)},      {"receiver", names.person(m.TOID)},
                {"subject", names.thread(m.THREADNUMBER)}};
    } else {
      r.text = {{"", col(std::to_string(m.MSGNUMBER), 9)}, {"", col(text::formatDate(m.DATE), 10)},
                {"", col(names.section(m.SECSYSID), 16)},   {"", col(names.person(m.FROMID), 20)},
                {"", col(names.person(m.TOID), 20)},        {"", names.thread(m.THREADNUMBER)}};
    }
    out.row(r);
  }
  out.end();
  store::OP_CLOSE(s, store::OpClose, {store::FileNo::MsgNmbr, store::FileNo::Person, store::FileNo::Sections, store::FileNo::Threads});
  return 0;
}

int listMail(store::Session& s, const std::string& by, bool json) {
  int key = by == "date"       ? store::Mail::DateKey
            : by == "subject"  ? store::Mail::SubjectKey
            : by == "partner"  ? store::Mail::PairKey
            : by == "sender"   ? store::Mail::FromKey
            : by == "receiver" ? store::Mail::ToKey
                               : -1;
  if (key < 0) return bad("mail databases are listed --by date, subject, partner, sender or receiver");
  store::OP_CLOSE(s, store::OpOpen, {store::FileNo::Mail, store::FileNo::Person});
  Names names(s);
  Output out(json);
  auto& mail = s.Mail();
  mail.set(key);
  while (mail.next() == store::Err::Ok) {
    const store::Mail m = mail.rec;
    std::string direction = m.PAIRID != 0 && m.PAIRID == m.FROMID ? "in" : m.PAIRID != 0 && m.PAIRID == m.TOID ? "out" : "";
    Row r;
    r.numbers = {{"id", m.MAILID}};
    std::string subject = text::displayText(m.SUBJECT.str());
    if (json) {
      r.text = {{"date", text::formatDate(m.DATE)},  {"time", text::formatTime(m.TIME)},
                {"subject", subject},                  {"sender", names.person(m.FROMID)},
                {"receiver", names.person(m.TOID)},    {"direction", direction},
                {"recipientType", m.RECIPTYPE.str()}};
    } else {
      r.text = {{"", col(std::to_string(m.MAILID), 9)},    {"", col(text::formatDate(m.DATE), 10)},
                {"", col(text::formatTime(m.TIME), 5)},    {"", col(direction, 3)},
                {"", col(names.person(m.FROMID), 20)},      {"", col(names.person(m.TOID), 20)},
                {"", subject}};
    }
    out.row(r);
  }
  out.end();
  store::OP_CLOSE(s, store::OpClose, {store::FileNo::Mail, store::FileNo::Person});
  return 0;
}

int runList(const GlobalOptions& g, std::vector<std::string>& args) {
  std::string db, by = "date";
  bool json = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--json") {
      json = true;
    } else if (args[i] == "--by") {
      if (i + 1 >= args.size()) return bad("--by needs an order");
      by = args[++i];
    } else if (!args[i].empty() && args[i][0] == '-') {
      return bad("unknown option \"" + args[i] + "\"");
    } else if (db.empty()) {
      db = args[i];
    } else {
      return bad("give one database");
    }
  }
  if (db.empty()) return bad("which database? (see `quillbox-cli databases`)");
  auto cs = openArchive(g);
  if (!cs) return 2;
  store::Session& s = cs->session;
  store::Forums f;
  if (!findDatabase(s, db, f)) return 2;
  s.selectDatabase(f);
  return f.TYPE == store::KindMail ? listMail(s, by, json) : listMessages(s, by, json);
}

CommandRegistration reg({"list", "list the messages of a database in a chosen order", kHelp, runList});

}  // namespace
}  // namespace qb::cli
