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
#include "cli/message_rows.h"
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

int listMessages(store::Session& s, const std::string& by, bool json) {
  int key = by == "date"       ? store::MsgNmbr::DateKey
            : by == "number"   ? store::MsgNmbr::IdKey
            : by == "thread"   ? store::MsgNmbr::Threadkey
            : by == "section"  ? store::MsgNmbr::SECkey
            : by == "sender"   ? store::MsgNmbr::FromKey
            : by == "receiver" ? store::MsgNmbr::ToKey
                               : -1;
  if (key < 0) return bad("forum and newsgroup databases are listed --by date, number, thread, section, sender or receiver");
  store::OP_CLOSE(s, store::OpOpen,
                  {store::FileNo::MsgNmbr, store::FileNo::Person, store::FileNo::Sections, store::FileNo::Threads});
  Names names(s);
  Output out(json);
  auto& msg = s.MsgNmbr();
  msg.set(key);
  while (msg.next() == store::Err::Ok) {
    const store::MsgNmbr m = msg.rec;
    Row r = messageRow(m, names, json);
    out.row(r);
  }
  out.end();
  store::OP_CLOSE(s, store::OpClose,
                  {store::FileNo::MsgNmbr, store::FileNo::Person, store::FileNo::Sections, store::FileNo::Threads});
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
    Row r = mailRow(m, names, json);
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
