#include "cli/maintenance_run.h"

#include <cstdio>
#include <string>

#include "cli/cli_session.h"
#include "cli/progress.h"
#include "text/display_text.h"

namespace qb::cli {

using maintenance::PurgeMode;
using maintenance::PurgeRun;
using maintenance::StartResult;

int runMaintenance(const GlobalOptions& g, store::Session& s, const store::Forums& db,
                   maintenance::PurgeOptions options, const char* command) {
  const std::string name = terminalField(text::displayText(db.DESCRIPTION.str()));
  s.selectDatabase(db);
  options.completionMessage = false;  // the summary below says how long it took
  PurgeRun run(s, options);
  if (g.yes) run.answerRemoval(true);
  StartResult started = run.start();
  if (started == StartResult::Failed) {
    std::fprintf(stderr, "quillbox-cli %s: %s: %s\n", command, name.c_str(),
                 run.stats().failure.empty() ? "the database cannot be opened" : run.stats().failure.c_str());
    return 2;
  }
  if (started == StartResult::Refused) {
    std::fprintf(stderr,
                 "quillbox-cli %s: %s is marked for deletion; nothing was done. Give --yes to remove the whole "
                 "database with its directory.\n",
                 command, name.c_str());
    return 1;
  }
  if (started == StartResult::DatabaseRemoved) {
    if (!g.quiet)
      std::printf("%s: removed with its directory (%u messages)\n", name.c_str(), run.stats().before);
    return 0;
  }
  ProgressBar bar(!g.quiet);
  while (run.step()) {
    double frac = run.total() > 0 ? static_cast<double>(run.done()) / static_cast<double>(run.total()) : 0.0;
    bar.show(frac, run.caption());
  }
  bar.done();
  const auto& st = run.stats();
  if (st.failed) {
    std::fprintf(stderr, "quillbox-cli %s: %s: stopped: %s\n", command, name.c_str(), st.failure.c_str());
    return 1;
  }
  if (g.quiet) return 0;
  if (options.mode == PurgeMode::Purge) {
    std::printf("%s: %u messages before, %u deleted, %u after (%.1f s)\n", name.c_str(), st.before, st.deleted,
                st.after, st.seconds);
    std::printf("  deleted: %u threads, %u sections, %u persons; removed: %u carbon copies, %u person links, "
                "%u topic links, %lld word postings\n",
                st.threadsDeleted, st.sectionsDeleted, st.personsDeleted, st.copiesRemoved, st.linksRemoved,
                st.topicLinksRemoved, static_cast<long long>(st.postingsRemoved));
    if (db.TYPE == store::KindMail)
      std::printf("  duplicates given delete status: %u (times moved to their minute: %u)\n", st.duplicatesMarked,
                  st.timesNormalised);
    if (st.agedThreads) std::printf("  threads older than %d weeks: %u\n", options.ageWeeks, st.agedThreads);
  } else {
    std::printf("%s: %u messages, ", name.c_str(), st.after);
    if (db.TYPE == store::KindMail)
      std::printf("%u mail partners, %u persons", st.persons > 0 ? st.persons - 1 : 0, st.persons);
    else
      std::printf("%u threads, %u members", st.threads, st.persons);
    std::printf(" (%.1f s)\n", st.seconds);
    std::printf("  counts changed: %u persons, %u threads, %u sections; deleted without messages: %u persons, "
                "%u threads, %u sections",
                st.personsRecounted, st.threadsRecounted, st.sectionsRecounted, st.personsDeleted, st.threadsDeleted,
                st.sectionsDeleted);
    if (db.TYPE == store::KindNewsgroup) std::printf("; receivers repaired: %u", st.receiversRepaired);
    std::printf("\n");
  }
  return 0;
}

}  // namespace qb::cli
