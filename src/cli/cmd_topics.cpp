// `quillbox-cli topics` and `quillbox-cli keywords`: the topics and key words
// (search strings) of a database and the messages filed under them.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/cli_session.h"
#include "cli/command.h"
#include "cli/db_lookup.h"
#include "cli/json_text.h"
#include "cli/progress.h"
#include "index/topics.h"
#include "text/datetime.h"
#include "text/display_text.h"

namespace qb::cli {
namespace {

const char* kTopicsHelp =
    "quillbox-cli topics DB list [--json]\n"
    "quillbox-cli topics DB add NAME\n"
    "quillbox-cli topics DB delete NAME\n"
    "quillbox-cli topics DB attach NAME MESSAGE...\n"
    "quillbox-cli topics DB detach NAME MESSAGE...\n"
    "quillbox-cli topics DB messages NAME\n"
    "\n"
    "The topics of the database DB: labels that messages are filed under. A\n"
    "NAME may be abbreviated when only one topic begins with it (\"sec\" for\n"
    "\"Security\"). MESSAGE is a message number or mail identifier (see\n"
    "`quillbox-cli list`). Deleting a topic removes it from every message.";

const char* kKeywordsHelp =
    "quillbox-cli keywords DB list [--json]\n"
    "quillbox-cli keywords DB add TEXT [--match-case] [--whole-word]\n"
    "quillbox-cli keywords DB delete TEXT\n"
    "quillbox-cli keywords DB apply [TEXT]\n"
    "\n"
    "The key words (search strings) of the database DB. `apply` looks for every\n"
    "key word (or the one given) in the message texts and files each message\n"
    "that holds it under the key word; letter case is ignored unless the key\n"
    "word was added with --match-case, and --whole-word matches whole words\n"
    "only. The counts and the date of the last application are listed.";

int bad(const char* cmd, const std::string& text) {
  std::fprintf(stderr, "quillbox-cli %s: %s\n", cmd, text.c_str());
  return 2;
}

// A code by a typed name: exact, or the only one that begins with it.
bool pickCode(store::Session& s, uint8_t type, const std::string& typed, store::Codes& out, const char* cmd) {
  if (index::findCode(s, type, typed, out)) return true;
  index::CodeLookup l = index::lookUpCode(s, type, typed);
  if (l.found && l.unique) {
    out = l.code;
    return true;
  }
  std::fprintf(stderr, "quillbox-cli %s: %s \"%s\"%s\n", cmd, l.found ? "more than one matches" : "there is no",
               typed.c_str(), l.found ? " (give more of the name)" : "");
  return false;
}

void listOut(const std::vector<store::Codes>& codes, bool keywords, bool json) {
  if (json) std::printf("[");
  bool first = true;
  for (const store::Codes& c : codes) {
    std::string name = text::displayText(c.INDEX.str());
    if (json) {
      std::printf("%s\n  {\"id\": %u, \"%s\": %s, \"indexes\": %u", first ? "" : ",", c.ID,
                  keywords ? "searchString" : "topic", jsonString(name).c_str(), c.COUNT);
      if (keywords)
        std::printf(", \"matchCase\": %s, \"matchWord\": %s, \"updated\": %s", c.CHARCASE ? "true" : "false",
                    c.WORDONLY ? "true" : "false", jsonString(text::formatDate(c.DATE)).c_str());
      std::printf("}");
    } else if (keywords) {
      std::printf("%-40s %7u  case:%-3s  word:%-3s  %s\n", name.c_str(), c.COUNT, c.CHARCASE ? "yes" : "no",
                  c.WORDONLY ? "yes" : "no", text::formatDate(c.DATE).c_str());
    } else {
      std::printf("%-40s %7u\n", name.c_str(), c.COUNT);
    }
    first = false;
  }
  if (json) std::printf(first ? "]\n" : "\n]\n");
}

std::unique_ptr<CliSession> openDb(const GlobalOptions& g, const std::string& db) {
  auto cs = openArchive(g);
  if (!cs) return nullptr;
  store::Forums f;
  if (!findDatabase(cs->session, db, f)) return nullptr;
  cs->session.selectDatabase(f);
  return cs;
}

int runTopics(const GlobalOptions& g, std::vector<std::string>& args) {
  if (args.size() < 2) return bad("topics", "give a database and an action (see `quillbox-cli help topics`)");
  const std::string db = args[0], action = args[1];
  auto cs = openDb(g, db);
  if (!cs) return 2;
  store::Session& s = cs->session;
  if (action == "list") {
    listOut(index::listCodes(s, index::TopicCode), false, args.size() > 2 && args[2] == "--json");
    return 0;
  }
  if (args.size() < 3) return bad("topics", "give the topic's name");
  const std::string name = args[2];
  if (action == "add") return index::addCode(s, index::TopicCode, name) ? 0 : 1;
  store::Codes c;
  if (!pickCode(s, index::TopicCode, name, c, "topics")) return 1;
  if (action == "delete") return index::deleteCode(s, index::TopicCode, c.ID) ? 0 : 1;
  if (action == "messages") {
    for (uint32_t id : index::messagesOfCode(s, c.ID)) std::printf("%u\n", id);
    return 0;
  }
  if (action == "attach" || action == "detach") {
    if (args.size() < 4) return bad("topics", "give the messages");
    int rc = 0;
    for (std::size_t i = 3; i < args.size(); ++i) {
      char* end = nullptr;
      unsigned long id = std::strtoul(args[i].c_str(), &end, 10);
      if (!end || *end || id == 0 || id > 0xFFFFFFFFul) return bad("topics", "not a message: \"" + args[i] + "\"");
      bool ok = action == "attach" ? index::attachCode(s, c.ID, static_cast<uint32_t>(id))
                                   : index::detachCode(s, c.ID, static_cast<uint32_t>(id));
      if (!ok) rc = 1;
    }
    index::recountCodes(s);
    return rc;
  }
  return bad("topics", "unknown action \"" + action + "\"");
}

int runKeywords(const GlobalOptions& g, std::vector<std::string>& args) {
  if (args.size() < 2) return bad("keywords", "give a database and an action (see `quillbox-cli help keywords`)");
  const std::string db = args[0], action = args[1];
  auto cs = openDb(g, db);
  if (!cs) return 2;
  store::Session& s = cs->session;
  if (action == "list") {
    listOut(index::listCodes(s, index::KeyWordCode), true, args.size() > 2 && args[2] == "--json");
    return 0;
  }
  if (action == "add") {
    std::string text;
    bool matchCase = false, whole = false;
    for (std::size_t i = 2; i < args.size(); ++i) {
      if (args[i] == "--match-case") matchCase = true;
      else if (args[i] == "--whole-word") whole = true;
      else text += (text.empty() ? "" : " ") + args[i];
    }
    if (text.empty()) return bad("keywords", "give the search string");
    if (text.size() > 40) return bad("keywords", "a search string has at most 40 characters");
    return index::addCode(s, index::KeyWordCode, text, matchCase, whole) ? 0 : 1;
  }
  if (action == "delete") {
    if (args.size() < 3) return bad("keywords", "give the search string");
    store::Codes c;
    if (!pickCode(s, index::KeyWordCode, args[2], c, "keywords")) return 1;
    return index::deleteCode(s, index::KeyWordCode, c.ID) ? 0 : 1;
  }
  if (action == "apply") {
    uint32_t only = 0;
    if (args.size() > 2) {
      store::Codes c;
      if (!pickCode(s, index::KeyWordCode, args[2], c, "keywords")) return 1;
      only = c.ID;
    }
    index::KeywordRun run(s, only);
    if (!run.start()) {
      std::fprintf(stderr, "quillbox-cli keywords: %s\n", run.message().c_str());
      return 1;
    }
    ProgressBar bar(!g.quiet);
    while (run.step()) {
      double frac = run.total() ? static_cast<double>(run.doneCount()) / static_cast<double>(run.total()) : 0.0;
      bar.show(frac, "Applying key words (" + std::to_string(run.doneCount()) + ")");
    }
    bar.done();
    if (run.failed()) {
      std::fprintf(stderr, "quillbox-cli keywords: %s\n", run.message().c_str());
      return 1;
    }
    if (!g.quiet)
      std::printf("%lld messages read, %lld links added\n", static_cast<long long>(run.doneCount()),
                  static_cast<long long>(run.linksAdded()));
    return 0;
  }
  return bad("keywords", "unknown action \"" + action + "\"");
}

CommandRegistration regTopics({"topics", "list, add and delete topics, file messages under them", kTopicsHelp,
                               runTopics});
CommandRegistration regKeywords({"keywords", "list, add and apply key words (search strings)", kKeywordsHelp,
                                 runKeywords});

}  // namespace
}  // namespace qb::cli
