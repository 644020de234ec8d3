#pragma once
// The browse views that come from the word index, the topics and the result
// set of a search: which file and key range each reads, and the rows'
// messages.
//
//   KeyWord  the messages that contain one indexed word, newest first: the
//            word's postings are copied into a private work file of the
//            result set's layout (in the temporary directory), which the
//            page loader reads by SEA:SortKey like any keyed file
//   Topic    SIndex by SIN:IdKey within the topic (newest first)
//   Search   the result set (file 32) by SEA:SortKey
//
// Rows whose message has been deleted since are passed over.

#include <cstdint>
#include <memory>
#include <string>

#include "archive/records.h"
#include "archive/session.h"
#include "archive/word_files.h"

namespace qb::store {

// The word of the word list with this indexed form, or else the first word
// that begins with it; false when there is none (or the word list cannot be
// opened: an indexing run holds it).
bool lookUpIndexedWord(Session& s, const std::string& indexedForm, WordList& out);
// The word with this identifier; false when it is gone.
bool indexedWordById(Session& s, uint32_t wordId, WordList& out);

class WordView {
 public:
  explicit WordView(Session& s);
  ~WordView();  // closes and removes the work file
  WordView(const WordView&) = delete;
  WordView& operator=(const WordView&) = delete;

  // Fills the view with the messages of the word; false when the postings
  // cannot be read (an indexing run holds them: IndexingInProgress is then 1).
  bool fill(uint32_t wordId);
  Table<Search>& file() { return *file_; }
  int64_t count() { return file_->isOpen() ? file_->count() : 0; }
  uint32_t wordId() const { return wordId_; }

 private:
  Session& s_;
  std::unique_ptr<Table<Search>> file_;
  std::string path_;
  uint32_t wordId_ = 0;
};

// Reads message `id` into the MsgNmbr buffer (mail: the Mail buffer); false
// when it no longer exists. The file must be open.
bool readViewMessage(Session& s, uint32_t id, bool mail);

// The number of SIndex links of a code (the size of the Topic view).
int64_t topicViewCount(Session& s, uint32_t codeId);

}  // namespace qb::store
