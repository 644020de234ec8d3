#pragma once
// The word list of the current database (file 28) and its postings
// (file 29) together: opening both, the stale-count flag, the count-key
// rebuild, and the purge's clean-up of deleted messages' postings.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "archive/postings.h"
#include "archive/session.h"
#include "archive/word_files.h"

namespace qb::index {

// Opens WordList and MasIdx of the current database. An indexing run opens
// them exclusively; a reader shared. AccessDenied while an indexing run
// holds them (the session's IndexingInProgress is then 1).
store::Err openWordIndex(store::Session& s, store::Postings& postings, bool exclusive);
void closeWordIndex(store::Session& s, store::Postings& postings);

// Sets FOR:WORDLISTINDEXNEEDSUPDATE of the current database (held for
// update) and the session's copy. False when the Forums record could not be
// written.
bool setWordListNeedsUpdate(store::Session& s, int32_t value);

// Rebuilds the count key WOR:by_WordCount of the open word list under a
// lock; on success clears the stale flag of the database. False when the
// rebuild failed (the flag stays 1).
bool rebuildCountKey(store::Session& s);

// Looks a word (indexed form) up in the open word list; false when it is
// not there.
bool findWord(store::Session& s, const std::string& word, store::WordList& out);

// ---- removing the postings of deleted messages -----------------------------
// The purge's step "Purging orphaned word indexes": removes the postings of
// the listed messages, subtracts them from the words' counts (a word whose
// count falls to 0 disappears), committing the word list every `batch`
// words, then rebuilds the count key and clears the stale flag. The word
// list and postings must not be held by an indexing run.
//
// `caption` is called with the purge window's progress captions ("Purging
// orphaned word indexes", "Updating index counts per indexed word",
// "Flushing buffers", "Rebuilding word list").
struct PurgeResult {
  bool ok = false;            // false: the run must stop (reported to the user)
  int64_t postingsRemoved = 0;
  int64_t wordsChanged = 0;
  int64_t wordsRemoved = 0;
};
PurgeResult removeDeletedPostings(store::Session& s, std::vector<uint32_t> messageIds, int batch = 400,
                                  const std::function<void(const std::string&)>& caption = {});

}  // namespace qb::index
