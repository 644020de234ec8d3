// `quillbox-cli index` and `quillbox-cli words`: building the word index of
// a database and looking at its word list.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "archive/word_files.h"
#include "cli/cli_session.h"
#include "cli/command.h"
#include "cli/db_lookup.h"
#include "cli/json_text.h"
#include "cli/progress.h"
#include "index/index_builder.h"
#include "index/word_form.h"
#include "index/word_list.h"

namespace qb::cli {
namespace {

const char* kIndexHelp =
    "quillbox-cli index DB [--full|--partial|--recount]\n"
    "\n"
    "Builds the word index of the database DB (its name or identifier), so that\n"
    "`quillbox-cli search` and the KeyWord and Search tabs of the browse windows\n"
    "find its messages by the words in their texts.\n"
    "  --partial  index the messages that are not indexed yet (the default)\n"
    "  --full     empty the index and index every message again (needed after\n"
    "             the word-breaking rules changed)\n"
    "  --recount  recount the messages of every indexed word\n"
    "What counts as a word, the stop words and the number and footer options\n"
    "are described in docs/index.md; `quillbox-cli settings` shows the options\n"
    "(codes 65 to 69).";

const char* kWordsHelp =
    "quillbox-cli words DB [--top N] [--prefix TEXT] [--json]\n"
    "\n"
    "The indexed words of the database DB with the number of messages that\n"
    "contain them: by word, or with --top N the N most frequent. --prefix lists\n"
    "the words that begin with TEXT.";

int bad(const char* cmd, const std::string& text) {
  std::fprintf(stderr, "quillbox-cli %s: %s\n", cmd, text.c_str());
  return 2;
}

int runIndex(const GlobalOptions& g, std::vector<std::string>& args) {
  std::string db;
  index::IndexMode mode = index::IndexMode::Partial;
  for (const std::string& a : args) {
    if (a == "--full") mode = index::IndexMode::Full;
    else if (a == "--partial") mode = index::IndexMode::Partial;
    else if (a == "--recount") mode = index::IndexMode::Recount;
    else if (!a.empty() && a[0] == '-') return bad("index", "unknown option \"" + a + "\"");
    else if (db.empty()) db = a;
    else return bad("index", "give one database");
  }
  if (db.empty()) return bad("index", "which database? (see `quillbox-cli databases`)");
  auto cs = openArchive(g);
  if (!cs) return 2;
  store::Session& s = cs->session;
  store::Forums f;
  if (!findDatabase(s, db, f)) return 2;
  s.selectDatabase(f);
  auto t0 = std::chrono::steady_clock::now();
  index::IndexBuilder b(s, mode);
  if (!b.start()) {
    std::fprintf(stderr, "quillbox-cli index: %s\n", b.message().c_str());
    return 1;
  }
  ProgressBar bar(!g.quiet);
  while (b.step(100)) {
    double frac = b.total() > 0 ? static_cast<double>(b.done()) / static_cast<double>(b.total()) : 0.0;
    bar.show(frac, b.caption() + " (" + std::to_string(b.done()) + " of " + std::to_string(b.total()) + ")");
  }
  bar.done();
  if (b.failed()) {
    std::fprintf(stderr, "quillbox-cli index: %s\n", b.message().c_str());
    return 1;
  }
  if (!b.message().empty()) std::fprintf(stderr, "quillbox-cli index: %s\n", b.message().c_str());
  double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  const auto& st = b.stats();
  if (!g.quiet)
    std::printf("%s: %lld messages indexed, %lld postings, %lld new words, %lld words in the list, "
                "%lld new stop words (%.1f s)\n",
                f.DESCRIPTION.str().c_str(), static_cast<long long>(st.messages), static_cast<long long>(st.postings),
                static_cast<long long>(st.newWords), static_cast<long long>(st.words),
                static_cast<long long>(st.stopWordsAdded), secs);
  return 0;
}

int runWords(const GlobalOptions& g, std::vector<std::string>& args) {
  std::string db, prefix;
  long top = 0;
  bool json = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--json") json = true;
    else if (args[i] == "--top" && i + 1 < args.size()) top = std::strtol(args[++i].c_str(), nullptr, 10);
    else if (args[i] == "--prefix" && i + 1 < args.size()) prefix = index::indexForm(args[++i]);
    else if (!args[i].empty() && args[i][0] == '-') return bad("words", "unknown option \"" + args[i] + "\"");
    else if (db.empty()) db = args[i];
    else return bad("words", "give one database");
  }
  if (db.empty()) return bad("words", "which database? (see `quillbox-cli databases`)");
  auto cs = openArchive(g);
  if (!cs) return 2;
  store::Session& s = cs->session;
  store::Forums f;
  if (!findDatabase(s, db, f)) return 2;
  s.selectDatabase(f);
  store::Err r = store::openWordFile(s, 28);
  if (r != store::Err::Ok) {
    std::fprintf(stderr, "quillbox-cli words: %s\n",
                 r == store::Err::AccessDenied ? "the word index is being built" : store::errorText(r));
    return 1;
  }
  auto& w = store::wordListFile(s);
  if (top > 0) {
    // The count key may be stale; it is rebuilt first.
    if (s.WordListIndexNeedsUpdate) index::rebuildCountKey(s);
    w.set(store::WordList::by_WordCount);
  } else if (!prefix.empty()) {
    w.clear();
    w.rec.THEWORD = prefix;
    w.setAt(store::WordList::by_theWord);
  } else {
    w.set(store::WordList::by_theWord);
  }
  long n = 0;
  bool first = true;
  if (json) std::printf("[");
  while ((top > 0 ? w.previous() : w.next()) == store::Err::Ok) {
    std::string word = w.rec.THEWORD.str();
    if (!prefix.empty() && word.compare(0, prefix.size(), prefix) != 0) break;
    if (json)
      std::printf("%s\n  {\"word\": %s, \"id\": %d, \"messages\": %d}", first ? "" : ",", jsonString(word).c_str(),
                  w.rec.WORDID, w.rec.WORDCOUNT);
    else
      std::printf("%8d  %s\n", w.rec.WORDCOUNT, word.c_str());
    first = false;
    if (top > 0 && ++n >= top) break;
  }
  if (json) std::printf(first ? "]\n" : "\n]\n");
  store::closeWordFile(s, 28);
  return 0;
}

CommandRegistration regIndex({"index", "build the word index of a database", kIndexHelp, runIndex});
CommandRegistration regWords({"words", "list the indexed words of a database", kWordsHelp, runWords});

}  // namespace
}  // namespace qb::cli
