// `quillbox-cli search`: the messages of a database that contain words,
// found through the word index, printed like `list`.
#include <cstdio>
#include <string>
#include <vector>

#include "archive/file_table.h"
#include "cli/cli_session.h"
#include "cli/command.h"
#include "cli/db_lookup.h"
#include "cli/message_rows.h"
#include "archive/word_files.h"
#include "index/query.h"
#include "index/result_set.h"

namespace qb::cli {
namespace {

const char* kHelp =
    "quillbox-cli search DB \"WORDS\" [--any] [--phrase] [--by ORDER] [--limit N] [--json]\n"
    "\n"
    "The messages of the database DB (its name or identifier) that contain every\n"
    "one of the WORDS (build the index first with `quillbox-cli index DB`).\n"
    "  --any      messages that contain at least one of the words\n"
    "  --phrase   the words next to each other, in this order\n"
    "  --by ORDER the order of the hits: by default newest imported first;\n"
    "             date (newest first); mail: partner, sender, receiver,\n"
    "             subject; forum and newsgroup: thread, section, sender, receiver\n"
    "  --limit N  print at most N hits (all are counted and stored)\n"
    "A word ending in * stands for every word that begins with it (TELESC*).\n"
    "Letter case does not matter; stop words (the, and, ...) are left out and\n"
    "named on stderr. The hits are stored as the program's result set, which\n"
    "the Search tab of the browse windows shows.";

int bad(const std::string& text) {
  std::fprintf(stderr, "quillbox-cli search: %s\n", text.c_str());
  return 2;
}

int runSearch(const GlobalOptions& g, std::vector<std::string>& args) {
  std::string db, words, by = "found";
  index::QueryOptions qo;
  bool json = false;
  long limit = -1;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--any") qo.any = true;
    else if (a == "--phrase") qo.phrase = true;
    else if (a == "--json") json = true;
    else if (a == "--by" && i + 1 < args.size()) by = args[++i];
    else if (a == "--limit" && i + 1 < args.size()) limit = std::strtol(args[++i].c_str(), nullptr, 10);
    else if (!a.empty() && a[0] == '-' && a.size() > 1) return bad("unknown option \"" + a + "\"");
    else if (db.empty()) db = a;
    else words += (words.empty() ? "" : " ") + a;
  }
  if (db.empty()) return bad("which database? (see `quillbox-cli databases`)");
  if (words.empty()) return bad("what to search for? Give the words after the database");
  index::ResultOrder order;
  if (!index::resultOrderByName(by, order)) return bad("unknown order \"" + by + "\"");
  auto cs = openArchive(g);
  if (!cs) return 2;
  store::Session& s = cs->session;
  store::Forums f;
  if (!findDatabase(s, db, f)) return 2;
  s.selectDatabase(f);
  const bool mail = f.TYPE == store::KindMail;
  bool allowed = order == index::ResultOrder::Found;
  for (index::ResultOrder o : index::resultOrders(mail)) allowed = allowed || o == order;
  if (!allowed) return bad("this database cannot be sorted by " + by);

  index::SearchRun run(s, words, qo);
  if (!run.start()) {
    std::fprintf(stderr, "quillbox-cli search: %s\n", run.message().c_str());
    return 1;
  }
  for (const index::QueryWord& w : run.words())
    if (w.FILTERED)
      std::fprintf(stderr, "quillbox-cli search: \"%s\" is left out (%s)\n", w.WSWORD.c_str(),
                   w.FILTERED == 1 ? "a stop word" : "not indexed by the word rules");
  while (!run.finished()) {
    run.step(1000);
    // A command line search does not stop to ask: it goes on.
    if (run.paused()) run.resume();
  }
  std::vector<uint32_t> hits = run.results();
  hits = index::resortResults(s, hits, order);
  index::storeResultSet(s, hits);
  store::closeWordFile(s, 32);

  Names names(s);
  Output out(json);
  long shown = 0;
  if (mail) {
    store::OP_CLOSE(s, store::OpOpen, {13, 5});
    auto& m = s.Mail();
    for (uint32_t id : hits) {
      if (limit >= 0 && shown >= limit) break;
      m.clear();
      m.rec.MAILID = id;
      if (m.get(store::Mail::IdKey) != store::Err::Ok) continue;
      out.row(mailRow(m.rec, names, json));
      ++shown;
    }
    store::OP_CLOSE(s, store::OpClose, {13, 5});
  } else {
    store::OP_CLOSE(s, store::OpOpen, {3, 5, 6, 7});
    auto& m = s.MsgNmbr();
    for (uint32_t id : hits) {
      if (limit >= 0 && shown >= limit) break;
      m.clear();
      m.rec.MSGNUMBER = id;
      if (m.get(store::MsgNmbr::IdKey) != store::Err::Ok) continue;
      out.row(messageRow(m.rec, names, json));
      ++shown;
    }
    store::OP_CLOSE(s, store::OpClose, {3, 5, 6, 7});
  }
  out.end();
  std::fflush(stdout);
  if (!g.quiet && !json) std::fprintf(stderr, "%zu hits\n", hits.size());
  return 0;
}

CommandRegistration reg({"search", "find the messages of a database that contain words", kHelp, runSearch});

}  // namespace
}  // namespace qb::cli
