// `quillbox-cli count`: recounts the messages of databases from the messages
// themselves (persons, threads, sections, the database total) and finishes
// what an import run that was killed left behind. A database named, or
// every one with --all, gets the full count of the maintenance run (the
// receivers of newsgroup replies repaired, persons, threads and sections
// without messages deleted) under a progress bar.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "archive/counts.h"
#include "archive/databases.h"
#include "archive/file_table.h"
#include "cli/cli_session.h"
#include "cli/command.h"
#include "cli/db_lookup.h"
#include "cli/maintenance_run.h"
#include "text/display_text.h"

namespace qb::cli {
namespace {

int runCount(const GlobalOptions& g, std::vector<std::string>& args) {
  bool all = false;
  std::vector<std::string> names;
  for (auto& a : args) {
    if (a == "--all") {
      all = true;
    } else if (!a.empty() && a[0] == '-') {
      std::fprintf(stderr, "quillbox-cli count: unknown option \"%s\"\n", a.c_str());
      return 2;
    } else {
      names.push_back(a);
    }
  }
  auto cs = openArchive(g);
  if (!cs) return 2;
  store::Session& s = cs->session;
  if (store::runActive(s)) {
    std::fprintf(stderr, "quillbox-cli count: an import is running on this archive; count when it has ended\n");
    return 2;
  }
  std::vector<store::Forums> chosen;
  if (!names.empty()) {
    for (auto& n : names) {
      store::Forums f;
      if (!findDatabase(s, n, f)) return 2;
      chosen.push_back(f);
    }
  } else if (all) {
    store::OP_CLOSE(s, store::OpOpen, {store::FileNo::Forums});
    auto& f = s.Forums();
    f.setFileOrder();
    while (f.next() == store::Err::Ok)
      if (!f.rec.NODIR) chosen.push_back(f.rec);
    store::OP_CLOSE(s, store::OpClose, {store::FileNo::Forums});
  }
  if (!chosen.empty()) {
    int worst = 0;
    maintenance::PurgeOptions options;
    options.mode = maintenance::PurgeMode::Count;
    for (const auto& f : chosen) worst = std::max(worst, runMaintenance(g, s, f, options, "count"));
    if (worst == 0 && store::databasesToCount(s).empty() && store::runMarkerFound(s) && !store::markRunEnded(s))
      worst = 2;
    return worst;
  }
  std::vector<uint32_t> ids = store::databasesToCount(s);
  int failed = 0;
  for (uint32_t id : ids) {
    store::RecountTotals t;
    if (!store::recountDatabase(s, id, &t)) {
      ++failed;
      continue;
    }
    if (g.quiet) continue;
    store::Forums db;
    const std::string name =
        store::readDatabase(s, id, db) ? text::displayText(db.DESCRIPTION.str()) : std::to_string(id);
    std::printf("%s: %u messages; counts changed for %u persons, %u threads, %u sections\n",
                terminalField(name).c_str(), t.messages, t.persons, t.threads, t.sections);
  }
  // Every flagged database is counted now: a marker left by a killed run goes.
  if (failed == 0 && store::databasesToCount(s).empty() && store::runMarkerFound(s) && !store::markRunEnded(s))
    ++failed;
  if (!g.quiet && ids.empty()) std::printf("Every database is counted.\n");
  return failed ? 2 : 0;
}

CommandRegistration reg({"count", "recount the messages of databases (persons, threads, sections, totals)",
                         "quillbox-cli count [DB...] [--all]\n"
                         "  Recounts from the messages themselves the messages sent and received per\n"
                         "  person, per thread and per section, and the number of messages of each\n"
                         "  database, and marks the database as counted.\n"
                         "  DB names databases (name or identifier); --all counts every one. These get\n"
                         "  the full count: in newsgroups the receiver of a reply becomes the sender\n"
                         "  of the message it replies to, and persons, threads and sections left\n"
                         "  without messages are deleted (the owner of a mail database stays).\n"
                         "  Without arguments only the databases whose counts are due are recounted\n"
                         "  (\"Counted: No\" in `quillbox-cli databases`, for instance after an import\n"
                         "  that was killed); nothing is deleted then.\n"
                         "  Exit code: 0 when done; 1 when a count was stopped (a failed write, too\n"
                         "  little disk space: run it again); 2 when a count could not be written or\n"
                         "  started, a database is unknown, or an import is running.\n"
                         "  Example: quillbox-cli count \"Pets Forum\"",
                         runCount});

}  // namespace
}  // namespace qb::cli
