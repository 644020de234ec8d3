// `quillbox-cli purge`: deletes what has delete status in a database, with
// what depends on it, and recounts.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "archive/counts.h"
#include "cli/cli_session.h"
#include "cli/command.h"
#include "cli/db_lookup.h"
#include "cli/maintenance_run.h"

namespace qb::cli {
namespace {

int bad(const std::string& text) {
  std::fprintf(stderr, "quillbox-cli purge: %s\n", text.c_str());
  return 2;
}

int runPurge(const GlobalOptions& given, std::vector<std::string>& args) {
  GlobalOptions g = given;
  std::string db;
  maintenance::PurgeOptions options;
  options.mode = maintenance::PurgeMode::Purge;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--yes") {
      g.yes = true;
    } else if (a == "--age-weeks") {
      if (i + 1 >= args.size()) return bad("--age-weeks needs a number of weeks");
      const std::string& v = args[++i];
      char* end = nullptr;
      long n = std::strtol(v.c_str(), &end, 10);
      if (v.empty() || *end || n < 1 || n > 999) return bad("--age-weeks takes a number from 1 to 999");
      options.ageWeeks = static_cast<int>(n);
    } else if (!a.empty() && a[0] == '-') {
      return bad("unknown option \"" + a + "\"");
    } else if (db.empty()) {
      db = a;
    } else {
      return bad("give one database");
    }
  }
  if (db.empty()) return bad("which database? (see `quillbox-cli databases`)");
  auto cs = openArchive(g);
  if (!cs) return 2;
  store::Session& s = cs->session;
  if (store::runActive(s)) return bad("an import is running on this archive; purge when it has ended");
  store::Forums f;
  if (!findDatabase(s, db, f)) return 2;
  return runMaintenance(g, s, f, options, "purge");
}

CommandRegistration reg(
    {"purge", "delete the messages, threads, sections and persons marked for deletion, then recount",
     "quillbox-cli purge DB [--age-weeks N] [--yes]\n"
     "  Purges the database DB (name or identifier): deletes every message with\n"
     "  delete status, the messages of threads and sections with delete status\n"
     "  (messages with keep status stay, and so do their threads), persons and\n"
     "  mail partners with delete status with their mail, then removes the\n"
     "  carbon copies, person links, topic links and word-index postings of what\n"
     "  is gone, and recounts persons, threads, sections and the total. Persons,\n"
     "  threads and sections left without messages are deleted.\n"
     "  In a mail database the purge first gives delete status to duplicate mail\n"
     "  (see `quillbox-cli dedup`).\n"
     "  --age-weeks N  also deletes the threads (forum and newsgroup databases)\n"
     "                 whose last message is N weeks old or older and that have\n"
     "                 neither keep nor delete status.\n"
     "  --yes          a database marked for deletion as a whole is removed with\n"
     "                 its directory; without --yes nothing is done to it.\n"
     "  Exit code: 0 when done; 1 when the purge stopped (a failed write, too\n"
     "  little disk space: what was committed stays, run it again to finish) or\n"
     "  a marked database was left alone; 2 on a usage error or an unknown\n"
     "  database.\n"
     "  Example: quillbox-cli purge \"Pets Forum\" --age-weeks 52",
     runPurge});

}  // namespace
}  // namespace qb::cli
