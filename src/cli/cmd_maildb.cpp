// `quillbox-cli maildb`: creating, changing and listing mail databases.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_session.h"
#include "cli/command.h"
#include "text/display_text.h"
#include "archive/maildb.h"

namespace qb::cli {
namespace {

const char* kHelp =
    "quillbox-cli maildb create NAME --address ADDRESS [--alt ADDRESS]...\n"
    "quillbox-cli maildb update NAME [--name NEWNAME] [--address ADDRESS] [--alt ADDRESS]... [--no-alt]\n"
    "quillbox-cli maildb list\n"
    "\n"
    "A mail database holds the mail of one owner. Its name (at most 40 characters)\n"
    "is also the owner's name; ADDRESS is the owner's default mail address and\n"
    "--alt adds one of up to ten further addresses of the owner. Mail sent from\n"
    "any of these addresses is filed as outgoing, all other mail as incoming.\n"
    "\n"
    "  create   creates the database and its owner\n"
    "  update   changes the name or the addresses; --alt replaces the whole list\n"
    "           of alternative addresses, --no-alt empties it\n"
    "  list     shows every mail database with its addresses";

struct Options {
  std::string name, newName, address;
  std::vector<std::string> alts;
  bool altsGiven = false, noAlt = false;
};

// Reads the options after the subcommand; prints the fault and returns false
// on a bad command line.
bool parse(std::vector<std::string>& args, std::size_t from, bool update, Options& o) {
  for (std::size_t i = from; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& into) {
      if (optionValue(args, i, into)) return true;
      std::fprintf(stderr, "quillbox-cli maildb: %s needs a value\n", a.c_str());
      return false;
    };
    if (a == "--address") {
      if (!value(o.address)) return false;
    } else if (a == "--alt") {
      std::string v;
      if (!value(v)) return false;
      o.alts.push_back(v);
      o.altsGiven = true;
    } else if (update && a == "--name") {
      if (!value(o.newName)) return false;
    } else if (update && a == "--no-alt") {
      o.noAlt = true;
    } else if (!a.empty() && a[0] != '-' && o.name.empty()) {
      o.name = a;
    } else {
      std::fprintf(stderr, "quillbox-cli maildb: unexpected \"%s\" (see quillbox-cli help maildb)\n", a.c_str());
      return false;
    }
  }
  if (o.name.empty()) {
    std::fprintf(stderr, "quillbox-cli maildb: the mail database's name is missing\n");
    return false;
  }
  return true;
}

int create(const GlobalOptions& g, std::vector<std::string>& args) {
  Options o;
  if (!parse(args, 1, false, o)) return 2;
  store::MailDatabaseFields f{o.name, o.address, o.alts};
  if (auto fault = store::checkMailDatabaseFields(f); !fault.empty()) {
    std::fprintf(stderr, "quillbox-cli maildb: %s\n", fault.c_str());
    return 2;
  }
  auto cs = openArchive(g);
  if (!cs) return 1;
  uint32_t id = store::createMailDatabase(cs->session, f);
  if (id == 0) {
    std::fprintf(stderr, "quillbox-cli maildb: the mail database \"%s\" was not created\n", o.name.c_str());
    return 1;
  }
  if (!g.quiet) std::printf("Mail database \"%s\" created (identifier %u).\n", o.name.c_str(), id);
  return 0;
}

int update(const GlobalOptions& g, std::vector<std::string>& args) {
  Options o;
  if (!parse(args, 1, true, o)) return 2;
  auto cs = openArchive(g);
  if (!cs) return 1;
  store::Forums db;
  if (!store::findMailDatabase(cs->session, o.name, db)) {
    std::fprintf(stderr, "quillbox-cli maildb: there is no mail database \"%s\"\n", o.name.c_str());
    return 1;
  }
  store::MailDatabaseFields f{db.DESCRIPTION.str(), db.MAILADDRESS.str(), {}};
  for (auto& a : db.ALTADDRESS) {
    if (a.blank()) break;
    f.alternatives.push_back(a.str());
  }
  if (!o.newName.empty()) f.name = o.newName;
  if (!o.address.empty()) f.address = o.address;
  if (o.noAlt) f.alternatives.clear();
  if (o.altsGiven) f.alternatives = o.alts;
  if (auto fault = store::checkMailDatabaseFields(f); !fault.empty()) {
    std::fprintf(stderr, "quillbox-cli maildb: %s\n", fault.c_str());
    return 2;
  }
  if (!store::updateMailDatabase(cs->session, db.ID, f)) {
    std::fprintf(stderr, "quillbox-cli maildb: the mail database \"%s\" was not changed\n", o.name.c_str());
    return 1;
  }
  if (!g.quiet) std::printf("Mail database \"%s\" changed.\n", f.name.c_str());
  return 0;
}

int list(const GlobalOptions& g) {
  auto cs = openArchive(g);
  if (!cs) return 1;
  auto dbs = store::listMailDatabases(cs->session);
  if (dbs.empty()) {
    std::printf("No mail databases.\n");
    return 0;
  }
  std::printf("%-40s  %-9s  %8s  %s\n", "Mail database name", "Directory", "Mails", "Mail address");
  for (auto& d : dbs) {
    std::printf("%-40s  %-9s  %8u  %s\n", text::displayText(d.DESCRIPTION.str()).c_str(),
                ("F" + std::to_string(d.DIRNUMBER)).c_str(), d.MSGCOUNT,
                text::displayText(d.MAILADDRESS.str()).c_str());
    for (auto& a : d.ALTADDRESS) {
      if (a.blank()) break;
      std::printf("%-40s  %-9s  %8s  %s\n", "", "", "", text::displayText(a.str()).c_str());
    }
  }
  return 0;
}

int runMaildb(const GlobalOptions& g, std::vector<std::string>& args) {
  if (args.empty()) {
    std::fprintf(stderr, "%s\n", kHelp);
    return 2;
  }
  if (args[0] == "create") return create(g, args);
  if (args[0] == "update") return update(g, args);
  if (args[0] == "list") return list(g);
  std::fprintf(stderr, "quillbox-cli maildb: unknown subcommand \"%s\" (create, update or list)\n", args[0].c_str());
  return 2;
}

CommandRegistration reg({"maildb", "create, change and list mail databases", kHelp, runMaildb});

}  // namespace
}  // namespace qb::cli
