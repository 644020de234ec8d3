// `quillbox-cli merge-persons`: merges the persons of a database that share
// an address (without regard to letter case) into one survivor each, or with
// --dry-run shows the groups and survivors a run would make.
#include <cstdio>
#include <string>
#include <vector>

#include "archive/config.h"
#include "archive/counts.h"
#include "cli/cli_session.h"
#include "cli/command.h"
#include "cli/db_lookup.h"
#include "cli/json_text.h"
#include "cli/progress.h"
#include "maintenance/merge_persons.h"
#include "text/display_text.h"
#include "text/strings.h"

namespace qb::cli {
namespace {

const char* kHelp =
    "quillbox-cli merge-persons DB [--dry-run] [--json]\n"
    "\n"
    "Merges the persons of the database DB (its name or identifier) that share an\n"
    "address, compared without regard to letter case: forum members, mail partners\n"
    "or newsgroup participants written under several names. Of each group one\n"
    "person stays:\n"
    "  - of the members that sent messages, the one whose newest message is the\n"
    "    newest (a member with a blank last name gives way to any other sender);\n"
    "  - when nobody of the group sent anything, the last one of the group;\n"
    "  - in a mail database the owner of the database always stays.\n"
    "The messages (mails) of the others are moved to it, their names become links\n"
    "to it, so that the next import of the same name and address finds it, and\n"
    "they are deleted. Then the persons are recounted, and persons without any\n"
    "message are removed. A person without an address (in mail databases also a\n"
    "gateway string) first gets the address written in its name, when there is one.\n"
    "Each group is merged in one transaction: an interrupted run leaves every group\n"
    "merged or untouched.\n"
    "  --dry-run  write nothing; print the groups a run would merge, the person\n"
    "             that would stay and why\n"
    "  --json     print the result as one JSON object\n"
    "Exit code: 0 when groups were merged (--dry-run: found), 1 when no two persons\n"
    "share an address, 2 on a failure (the run stops; groups merged before stay).\n"
    "Example:\n"
    "  quillbox-cli merge-persons \"Robin Quayle\" --dry-run\n"
    "  quillbox-cli merge-persons \"Robin Quayle\"";

std::string personName(const maintenance::MergeMember& m) {
  std::string n = text::trimRightSpaces(m.firstName + " " + m.lastName);
  n = text::trim(n);
  return text::displayText(n.empty() ? m.personString : n);
}

std::string memberJson(const maintenance::MergeMember& m) {
  return "{\"id\": " + std::to_string(m.id) + ", \"name\": " + jsonString(personName(m)) +
         ", \"personString\": " + jsonString(text::displayText(m.personString)) +
         ", \"address\": " + jsonString(text::displayText(m.address)) + ", \"sent\": " + std::to_string(m.sent) +
         ", \"newest\": " + jsonString(store::formatDateAs(10, m.newestDate)) + "}";
}

void printJson(const maintenance::MergePersons& run) {
  const auto& c = run.counters();
  std::printf("{\"database\": %s, \"dryRun\": %s, \"groups\": [", jsonString(text::displayText(run.databaseName())).c_str(),
              run.dryRun() ? "true" : "false");
  bool firstGroup = true;
  for (const auto& g : run.groups()) {
    std::printf("%s\n  {\"address\": %s, \"survivor\": %s, \"reason\": %s, \"merged\": [", firstGroup ? "" : ",",
                jsonString(text::displayText(g.address)).c_str(), memberJson(g.kept()).c_str(),
                jsonString(g.reason).c_str());
    bool first = true;
    for (std::size_t i = 0; i < g.members.size(); ++i) {
      if (i == g.survivor) continue;
      std::printf("%s%s", first ? "" : ", ", memberJson(g.members[i]).c_str());
      first = false;
    }
    std::printf("]}");
    firstGroup = false;
  }
  std::printf("%s], \"repaired\": %u, \"before\": %u, \"withoutMessages\": %u, \"merged\": %u, \"remaining\": %u}\n",
              firstGroup ? "" : "\n", run.repaired(), c.before, c.withoutMessages, c.merged, c.remaining());
}

void printText(const maintenance::MergePersons& run) {
  const auto& c = run.counters();
  const auto t = maintenance::mergeTexts(run.kind());
  for (const auto& g : run.groups()) {
    const auto& k = g.kept();
    std::printf("%s\n  keeps   %s (%u) <%s>: %s\n", terminalField(text::displayText(g.address)).c_str(),
                terminalField(personName(k)).c_str(), k.id, terminalField(text::displayText(k.address)).c_str(),
                terminalField(g.reason).c_str());
    for (std::size_t i = 0; i < g.members.size(); ++i) {
      if (i == g.survivor) continue;
      const auto& m = g.members[i];
      std::printf("  %s  %s (%u) <%s>, %u sent\n", run.dryRun() ? "would merge" : "merged", terminalField(personName(m)).c_str(),
                  m.id, terminalField(text::displayText(m.address)).c_str(), m.sent);
    }
  }
  if (run.groups().empty()) std::printf("No two %s share an address.\n", t.persons.c_str());
  if (run.repaired()) std::printf("Addresses taken from the name: %u\n", run.repaired());
  std::printf("%s %u\n%s %u\n%s %u\n%s %u\n", t.existing.c_str(), c.before, t.obsolete.c_str(), c.withoutMessages,
              t.merged.c_str(), c.merged, t.remaining.c_str(), c.remaining());
  if (run.dryRun()) std::printf("Dry run: nothing was written.\n");
}

int runMergePersons(const GlobalOptions& g, std::vector<std::string>& args) {
  std::string db;
  bool dryRun = false, json = false;
  for (const auto& a : args) {
    if (a == "--dry-run") dryRun = true;
    else if (a == "--json") json = true;
    else if (!a.empty() && a[0] == '-') {
      std::fprintf(stderr, "quillbox-cli merge-persons: unknown option \"%s\"\n", a.c_str());
      return 2;
    } else if (db.empty()) db = a;
    else {
      std::fprintf(stderr, "quillbox-cli merge-persons: give one database\n");
      return 2;
    }
  }
  if (db.empty()) {
    std::fprintf(stderr, "quillbox-cli merge-persons: which database? (see `quillbox-cli databases`)\n");
    return 2;
  }
  auto cs = openArchive(g);
  if (!cs) return 2;
  store::Session& s = cs->session;
  if (!dryRun && store::runActive(s)) {
    std::fprintf(stderr, "quillbox-cli merge-persons: an import is running on this archive; merge when it has ended\n");
    return 2;
  }
  store::Forums f;
  if (!findDatabase(s, db, f)) return 2;
  maintenance::MergePersons run(s, f.ID, dryRun);
  ProgressBar bar(!g.quiet && !json);
  while (run.step()) {
    const auto& p = run.progress();
    bar.show(p.total ? static_cast<double>(p.done) / static_cast<double>(p.total) : 0.0, p.caption);
  }
  bar.done();
  if (run.failed()) {
    std::fprintf(stderr, "quillbox-cli merge-persons: %s\n", run.error().c_str());
    return 2;
  }
  if (json)
    printJson(run);
  else if (!g.quiet)
    printText(run);
  return run.groups().empty() ? 1 : 0;
}

CommandRegistration reg({"merge-persons", "merge the persons of a database that share an address", kHelp,
                         runMergePersons});

}  // namespace
}  // namespace qb::cli
