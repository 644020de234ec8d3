// The key word and search result sets of an export, read from the word
// index of the current database: a word's postings (file 29) and the stored
// search result (file 32). This provider is the default; tests may set
// another with setIndexedSets.
#include <memory>
#include <vector>

#include "archive/browse/browse_words.h"
#include "archive/postings.h"
#include "export/message_set.h"
#include "index/result_set.h"
#include "index/word_form.h"

namespace qb::exporting {

namespace {

class ListCursor : public IdCursor {
 public:
  explicit ListCursor(std::vector<uint32_t> ids) : ids_(std::move(ids)) {}
  bool next(uint32_t& id) override {
    if (at_ >= ids_.size()) return false;
    id = ids_[at_++];
    return true;
  }

 private:
  std::vector<uint32_t> ids_;
  std::size_t at_ = 0;
};

class WordIndexSets : public IndexedSets {
 public:
  std::unique_ptr<IdCursor> word(store::Session& s, uint32_t wordId) override {
    store::Postings p;
    if (p.open(s) != store::Err::Ok) return nullptr;
    return std::make_unique<ListCursor>(p.messagesOf(wordId));
  }
  std::string wordText(store::Session& s, uint32_t wordId) override {
    store::WordList w;
    return store::indexedWordById(s, wordId, w) ? w.THEWORD.str() : std::string();
  }
  uint32_t wordId(store::Session& s, const std::string& word) override {
    const std::string form = index::indexForm(word);
    store::WordList w;
    if (form.empty() || !store::lookUpIndexedWord(s, form, w) || w.THEWORD.str() != form) return 0;
    return static_cast<uint32_t>(w.WORDID);
  }
  std::unique_ptr<IdCursor> searchResult(store::Session& s) override {
    return std::make_unique<ListCursor>(index::loadResultSet(s));
  }
};

WordIndexSets gWordIndexSets;

}  // namespace

IndexedSets* wordIndexSets() { return &gWordIndexSets; }

}  // namespace qb::exporting
