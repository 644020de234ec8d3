// `quillbox-cli dedup`: finds mail stored more than once in a mail database
// and gives the copies delete status (the next purge deletes them), or with
// --dry-run only lists what it would mark.
#include <cstdio>
#include <string>
#include <vector>

#include "archive/counts.h"
#include "archive/file_table.h"
#include "cli/cli_session.h"
#include "cli/command.h"
#include "cli/db_lookup.h"
#include "cli/json_text.h"
#include "cli/progress.h"
#include "maintenance/mail_duplicates.h"
#include "maintenance/purge_run.h"
#include "text/datetime.h"
#include "text/display_text.h"

namespace qb::cli {
namespace {

using maintenance::DuplicateGroup;
using maintenance::DuplicateMail;
using maintenance::DuplicateScan;

int bad(const std::string& text) {
  std::fprintf(stderr, "quillbox-cli dedup: %s\n", text.c_str());
  return 2;
}

std::string personName(store::Session& s, uint32_t id) {
  auto& p = s.Person();
  p.clear();
  p.rec.PERSONID = id;
  if (p.get(store::Person::PersonKey) != store::Err::Ok) return "person " + std::to_string(id);
  std::string first = text::displayText(p.rec.FIRSTNAME.str()), last = text::displayText(p.rec.LASTNAME.str());
  std::string name = first.empty() ? last : first + " " + last;
  std::string addr = text::displayText(p.rec.ADDRESS.str());
  return addr.empty() ? name : name + " <" + addr + ">";
}

std::string when(const DuplicateGroup& g) {
  return text::formatDate(g.date) + " " + (g.time ? text::formatTime(g.time) : std::string("--:--"));
}

std::string statusName(uint8_t st) { return st == store::StatusKeep ? "keep" : st == 2 ? "delete" : "normal"; }

void printText(store::Session& s, const DuplicateScan& scan, bool dry) {
  std::size_t n = 0;
  for (const auto& g : scan.groups) {
    ++n;
    std::printf("Group %zu: \"%s\", %s, from %s to %s\n", n, terminalField(text::displayText(g.subject)).c_str(),
                when(g).c_str(), terminalField(personName(s, g.fromId)).c_str(),
                terminalField(personName(s, g.toId)).c_str());
    std::printf("  text begins \"%s\"\n", terminalField(g.initText).c_str());
    std::printf("  survivor mail %u (%u characters%s)\n", g.survivor.mailId, g.survivor.textLength,
                g.survivor.textMissing ? ", text missing" : "");
    for (const DuplicateMail& c : g.copies) {
      uint32_t a = g.survivor.textLength, b = c.textLength;
      std::printf("  copy     mail %u (%u characters%s): same date and time, subject, partners, first 30 "
                  "characters of text; lengths differ by %u -> %s\n",
                  c.mailId, b, c.textMissing ? ", text missing" : "", a > b ? a - b : b - a,
                  c.status == 0 ? (dry ? "would get delete status" : "delete status given")
                                : "keeps its keep status");
    }
  }
  std::size_t marked = scan.toMark().size();
  std::printf("%llu mails read, %llu candidates, %zu duplicate groups, %zu mails %s\n",
              static_cast<unsigned long long>(scan.mails), static_cast<unsigned long long>(scan.candidates),
              scan.groups.size(), marked, dry ? "would get delete status" : "given delete status");
}

void printJson(store::Session& s, const std::string& db, const DuplicateScan& scan, bool dry) {
  std::printf("{\"database\": %s, \"dryRun\": %s, \"mails\": %llu, \"candidates\": %llu, \"marked\": %zu, "
              "\"groups\": [",
              jsonString(db).c_str(), dry ? "true" : "false", static_cast<unsigned long long>(scan.mails),
              static_cast<unsigned long long>(scan.candidates), scan.toMark().size());
  bool firstGroup = true;
  for (const auto& g : scan.groups) {
    std::printf("%s\n  {\"subject\": %s, \"date\": %s, \"time\": %s, \"from\": %s, \"to\": %s, \"text\": %s, "
                "\"survivor\": {\"id\": %u, \"length\": %u, \"textMissing\": %s}, \"copies\": [",
                firstGroup ? "" : ",", jsonString(text::displayText(g.subject)).c_str(),
                jsonString(text::formatDate(g.date)).c_str(), jsonString(text::formatTime(g.time)).c_str(),
                jsonString(personName(s, g.fromId)).c_str(), jsonString(personName(s, g.toId)).c_str(),
                jsonString(g.initText).c_str(), g.survivor.mailId, g.survivor.textLength,
                g.survivor.textMissing ? "true" : "false");
    firstGroup = false;
    bool first = true;
    for (const auto& c : g.copies) {
      std::printf("%s{\"id\": %u, \"length\": %u, \"status\": \"%s\", \"marked\": %s, \"textMissing\": %s}",
                  first ? "" : ", ", c.mailId, c.textLength, statusName(c.status).c_str(),
                  c.status == 0 ? "true" : "false", c.textMissing ? "true" : "false");
      first = false;
    }
    std::printf("]}");
  }
  std::printf("\n]}\n");
}

int runDedup(const GlobalOptions& g, std::vector<std::string>& args) {
  std::string db;
  bool dry = false, json = false;
  for (const std::string& a : args) {
    if (a == "--dry-run") dry = true;
    else if (a == "--json") json = true;
    else if (!a.empty() && a[0] == '-') return bad("unknown option \"" + a + "\"");
    else if (db.empty()) db = a;
    else return bad("give one database");
  }
  if (db.empty()) return bad("which mail database? (see `quillbox-cli databases`)");
  auto cs = openArchive(g);
  if (!cs) return 2;
  store::Session& s = cs->session;
  if (store::runActive(s)) return bad("an import is running on this archive; try when it has ended");
  store::Forums f;
  if (!findDatabase(s, db, f)) return 2;
  if (f.TYPE != store::KindMail) return bad(f.DESCRIPTION.str() + " is no mail database");
  s.selectDatabase(f);
  const std::string name = text::displayText(f.DESCRIPTION.str());
  if (dry) {
    store::OP_CLOSE(s, store::OpOpen, {store::FileNo::Mail, store::FileNo::MsgText, store::FileNo::Person});
    ProgressBar bar(!g.quiet && !json);
    DuplicateScan scan = maintenance::findMailDuplicates(
        s, [&](uint64_t n) { bar.show(0, "Identifying duplicate mail messages (" + std::to_string(n) + " read)"); });
    bar.done();
    if (json)
      printJson(s, name, scan, true);
    else if (!g.quiet)
      printText(s, scan, true);
    store::OP_CLOSE(s, store::OpClose, {store::FileNo::Mail, store::FileNo::MsgText, store::FileNo::Person});
    return 0;
  }
  maintenance::PurgeOptions options;
  options.duplicatesOnly = true;
  options.completionMessage = false;
  maintenance::PurgeRun run(s, options);
  if (run.start() != maintenance::StartResult::Started) return bad("the database cannot be opened");
  {
    ProgressBar bar(!g.quiet && !json);
    while (run.step()) {
      double frac = run.total() > 0 ? static_cast<double>(run.done()) / static_cast<double>(run.total()) : 0.0;
      bar.show(frac, run.caption());
    }
  }
  if (run.stats().failed) {
    std::fprintf(stderr, "quillbox-cli dedup: stopped: %s\n", run.stats().failure.c_str());
    return 1;
  }
  store::OP_CLOSE(s, store::OpOpen, {store::FileNo::Person});
  if (json)
    printJson(s, name, run.duplicates(), false);
  else if (!g.quiet)
    printText(s, run.duplicates(), false);
  store::OP_CLOSE(s, store::OpClose, {store::FileNo::Person});
  return 0;
}

CommandRegistration reg(
    {"dedup", "find mail stored more than once and give the copies delete status",
     "quillbox-cli dedup DB [--dry-run] [--json]\n"
     "  Looks for mail stored more than once in the mail database DB. Two mails\n"
     "  are copies when they have the same subject (letter case ignored), the\n"
     "  same date and minute (seconds do not count), the same sender and\n"
     "  receiver, the same first 30 characters of text, and texts that agree\n"
     "  over the length of the shorter one and differ in length by fewer than 20\n"
     "  characters (trailing blanks do not count). Of each group the first mail\n"
     "  survives (the highest mail identifier among equals); the copies get\n"
     "  delete status, except copies with keep status. The times of the mails\n"
     "  are stored at the start of their minute.\n"
     "  The next `quillbox-cli purge DB` deletes the copies (a purge of a mail\n"
     "  database also does this step itself first).\n"
     "  --dry-run  change nothing: list each group with its survivor and the\n"
     "             copies a real run would give delete status.\n"
     "  --json     the groups as JSON.\n"
     "  Exit code: 0 when done; 1 when the run was stopped by a failed write;\n"
     "  2 on a usage error, an unknown database or one that holds no mail.\n"
     "  Example: quillbox-cli dedup \"Pat Owner\" --dry-run",
     runDedup});

}  // namespace
}  // namespace qb::cli
