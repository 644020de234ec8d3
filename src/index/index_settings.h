#pragma once
// What the word index is built with: the active word-breaking rule set
// (file 39 of the database), the stop-word list (file 30 in CFG) and the
// options (settings 65 to 69).

#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "archive/session.h"
#include "index/tokeniser.h"

namespace qb::index {

struct IndexOptions {
  TokenOptions tokens;
  bool autoStopWords = true;    // words in more than 25 % of the messages become stop words
  int32_t searchPause = 1000000;  // index entries a search scans before asking whether to go on
  std::string ruleSet = kStandardRuleSet;
};

// The options from the settings (record 11 is loaded when needed);
// defaults when they cannot be read.
IndexOptions loadIndexOptions(store::Session& s);
// Stores the options; false when the settings could not be written.
bool saveIndexOptions(store::Session& s, const IndexOptions& o);

// ---- rule sets (file 39 of the current database) ----
// The rule set of that name. A set without rows is the Standard set, which
// is then written under that name so that the user can change it.
WordRules loadRuleSet(store::Session& s, const std::string& name);
// Writes all 256 rows of a set; false on a write failure.
bool saveRuleSet(store::Session& s, const std::string& name, const WordRules& rules);
// The names of the sets stored in the database.
std::vector<std::string> ruleSetNames(store::Session& s);

// ---- stop words (file 30) ----
// The initial English list, in indexed form.
const std::vector<std::string>& initialStopWords();

class StopList {
 public:
  // Reads file 30; a new (empty) file gets the initial list first.
  bool load(store::Session& s);
  bool contains(const std::string& indexedWord) const { return words_.count(indexedWord) != 0; }
  // Adds a word to file 30 (and the list); false on a write failure other
  // than "already there".
  bool add(store::Session& s, const std::string& indexedWord);
  bool remove(store::Session& s, const std::string& indexedWord);
  const std::unordered_set<std::string>& words() const { return words_; }

 private:
  std::unordered_set<std::string> words_;
};

}  // namespace qb::index
