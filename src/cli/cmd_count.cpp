// `quillbox-cli count`: recounts the messages of databases from the messages
// themselves (persons, threads, sections, the database total) and finishes
// what an import run that was killed left behind.
#include <cstdio>
#include <string>
#include <vector>

#include "archive/counts.h"
#include "archive/file_table.h"
#include "cli/cli_session.h"
#include "cli/command.h"
#include "cli/db_lookup.h"
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
  std::vector<uint32_t> ids;
  if (!names.empty()) {
    for (auto& n : names) {
      store::Forums f;
      if (!findDatabase(s, n, f)) return 2;
      ids.push_back(f.ID);
    }
  } else if (all) {
    store::OP_CLOSE(s, store::OpOpen, {store::FileNo::Forums});
    auto& f = s.Forums();
    f.setFileOrder();
    while (f.next() == store::Err::Ok)
      if (!f.rec.NODIR) ids.push_back(f.rec.ID);
    store::OP_CLOSE(s, store::OpClose, {store::FileNo::Forums});
  } else {
    ids = store::databasesToCount(s);
  }
  int failed = 0;
  for (uint32_t id : ids) {
    store::RecountTotals t;
    if (!store::recountDatabase(s, id, &t)) {
      ++failed;
      continue;
    }
    if (g.quiet) continue;
    store::OP_CLOSE(s, store::OpOpen, {store::FileNo::Forums});
    s.Forums().clear();
    s.Forums().rec.ID = id;
    std::string name = s.Forums().get(store::Forums::ForumKey) == store::Err::Ok
                           ? text::displayText(s.Forums().rec.DESCRIPTION.str())
                           : std::to_string(id);
    store::OP_CLOSE(s, store::OpClose, {store::FileNo::Forums});
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
                         "  Without arguments the databases whose counts are due are counted (\"Counted:\n"
                         "  No\" in `quillbox-cli databases`, for instance after an import that was\n"
                         "  killed); DB names databases (name or identifier); --all counts every one.\n"
                         "  Exit code: 0 when done, 2 when a count could not be written or an import\n"
                         "  is running.",
                         runCount});

}  // namespace
}  // namespace qb::cli
