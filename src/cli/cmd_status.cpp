// `quillbox-cli status`: sets a message, thread, section, person or the
// database itself to normal, keep or delete.
#include <cstdio>
#include <string>
#include <vector>

#include "archive/file_table.h"
#include "cli/cli_session.h"
#include "cli/command.h"
#include "cli/db_lookup.h"
#include "cli/progress.h"
#include "export/message_set.h"
#include "maintenance/message_status.h"
#include "text/display_text.h"

namespace qb::cli {
namespace {

const char* kHelp =
    "quillbox-cli status DB NUMBER normal|keep|delete\n"
    "quillbox-cli status DB --thread N|SUBJECT normal|keep|delete [--messages]\n"
    "quillbox-cli status DB --section N|NAME normal|keep|delete [--messages]\n"
    "quillbox-cli status DB --person N|NAME|ADDRESS normal|keep|delete [--messages]\n"
    "quillbox-cli status DB --database normal|keep|delete [--messages]\n"
    "\n"
    "Sets the keep status of a message (its number; in a mail database the mail's\n"
    "identifier), a thread (its number or subject), a section (its forum section\n"
    "number or name; the newsgroup in a newsgroup database), a person (its\n"
    "identifier, address or full name; the mail partner in a mail database) or of\n"
    "the database DB itself. The browses show the status as the row colour; the\n"
    "purge removes what is marked delete: a message, every message of a thread,\n"
    "section, mail partner or database marked delete, except the messages marked\n"
    "keep.\n"
    "  --messages  also give every message of the thread, section, person (the\n"
    "              messages it sent or received; the partner's mails) or database\n"
    "              that status (as \"Message Status\" does in the desktop program)\n"
    "Marking the database delete asks first (answered by --yes): the purge then\n"
    "removes the whole database.\n"
    "Exit code: 0 when a status changed, 1 when everything already had it (or the\n"
    "database was not marked because the question was declined), 2 on a failure\n"
    "or when the message, thread, section or person does not exist.\n"
    "Examples:\n"
    "  quillbox-cli status HOMEBREW 210005 keep\n"
    "  quillbox-cli status HOMEBREW --thread 250311 delete\n"
    "  quillbox-cli status \"Robin Quayle\" --person bob@example.org keep --messages";

int bad(const std::string& text) {
  std::fprintf(stderr, "quillbox-cli status: %s\n", text.c_str());
  return 2;
}

bool isNumber(const std::string& v) {
  if (v.empty() || v.size() > 10) return false;
  for (char c : v)
    if (c < '0' || c > '9') return false;
  return std::stoull(v) <= 0xFFFFFFFFull;
}

// The identifier of the thread, section or person named on the command line.
bool resolve(store::Session& s, const store::Forums& f, maintenance::StatusScope scope, const std::string& value,
             uint32_t& id) {
  using maintenance::StatusScope;
  const int setScope = scope == StatusScope::Thread    ? exporting::ScopeThread
                       : scope == StatusScope::Section ? exporting::ScopeSection
                                                       : exporting::ScopeSender;
  const auto saved = s.currentDatabase();
  s.selectDatabase(f);
  const std::vector<store::FileNo> files{store::FileNo::Threads, store::FileNo::Sections, store::FileNo::Person};
  store::OP_CLOSE(s, store::OpOpen, files);
  exporting::SetKey key;
  std::string why;
  const bool ok = exporting::resolveSetKey(s, setScope, value, key, why);
  store::OP_CLOSE(s, store::OpClose, files);
  s.restoreDatabase(saved);
  if (!ok) {
    std::fprintf(stderr, "quillbox-cli status: %s\n", why.c_str());
    return false;
  }
  id = scope == StatusScope::Section ? key.secsysid : key.id;
  return true;
}

int runStatus(const GlobalOptions& g, std::vector<std::string>& args) {
  using maintenance::StatusScope;
  std::vector<std::string> words;
  maintenance::StatusOrder order;
  std::string value;
  bool scoped = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--thread" || a == "--section" || a == "--person" || a == "--database") {
      if (scoped) return bad("name one message, thread, section, person or the database");
      scoped = true;
      order.scope = a == "--thread"    ? StatusScope::Thread
                    : a == "--section" ? StatusScope::Section
                    : a == "--person"  ? StatusScope::Person
                                       : StatusScope::Database;
      if (order.scope != StatusScope::Database) {
        if (i + 1 >= args.size()) return bad(a + " needs a value");
        value = args[++i];
      }
    } else if (a == "--messages") {
      order.messages = true;
    } else if (!a.empty() && a[0] == '-') {
      return bad("unknown option \"" + a + "\"");
    } else {
      words.push_back(a);
    }
  }
  // DB [NUMBER] STATUS
  const std::size_t want = scoped ? 2 : 3;
  if (words.size() != want)
    return bad(scoped ? "give the database and the status (see `quillbox-cli help status`)"
                      : "give the database, the message number and the status (see `quillbox-cli help status`)");
  const int status = maintenance::statusFromName(words.back());
  if (status < 0) return bad("the status is normal, keep or delete, not \"" + words.back() + "\"");
  order.status = static_cast<uint8_t>(status);
  if (!scoped) {
    if (!isNumber(words[1])) return bad("\"" + words[1] + "\" is no message number");
    order.id = static_cast<uint32_t>(std::stoul(words[1]));
    if (order.messages) return bad("--messages goes with --thread, --section, --person or --database");
  }
  auto cs = openArchive(g);
  if (!cs) return 2;
  store::Session& s = cs->session;
  store::Forums f;
  if (!findDatabase(s, words[0], f)) return 2;
  if (f.TYPE == store::KindMail && (order.scope == StatusScope::Thread || order.scope == StatusScope::Section))
    return bad("a mail database has no threads or sections");
  if (scoped && order.scope != StatusScope::Database && !resolve(s, f, order.scope, value, order.id)) return 2;
  if (order.scope == StatusScope::Database && order.status == 2 && f.DUMMY != 2 &&
      s.ask("Do you really want to delete all messages in this database? If you do, the entire database "
            "directory will be removed.",
            " Database marked for deletion!", Button::Ok | Button::Cancel, Button::Cancel) != Button::Ok) {
    if (!g.quiet) std::printf("Not marked: give --yes to mark the database for deletion.\n");
    return 1;
  }

  maintenance::StatusChange change(s, f.ID, order);
  ProgressBar bar(!g.quiet);
  while (change.step())
    if (change.total()) bar.show(static_cast<double>(change.read()) / change.total(), change.progressText());
  bar.done();
  if (change.failed()) return bad(change.error());
  const std::string what = maintenance::scopeName(order.scope, f.TYPE);
  const bool markedChanged = change.marked() && change.previous() != order.status;
  if (!g.quiet) {
    std::string name = change.targetName().empty() ? "" : " \"" + terminalField(text::displayText(change.targetName())) + "\"";
    std::string idText = order.scope == StatusScope::Database ? "" : " " + std::to_string(order.id);
    std::printf("%s%s%s: %s (was %s)\n", what.c_str(), idText.c_str(), name.c_str(), maintenance::statusName(order.status),
                maintenance::statusName(change.previous()));
    if (order.messages)
      std::printf("%u of %u messages recoded to %s\n", change.recoded(), change.read(),
                  maintenance::statusName(order.status));
  }
  return markedChanged || change.recoded() ? 0 : 1;
}

CommandRegistration reg({"status", "set a message, thread, section, person or database to normal, keep or delete",
                         kHelp, runStatus});

}  // namespace
}  // namespace qb::cli
