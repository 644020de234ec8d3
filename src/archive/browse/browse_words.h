#pragma once
// The browse views that come from the word index, the topics and the result
// set of a search:
//
//   KeyWord  the messages that contain one indexed word, newest first: the
//            word's postings are copied into a private work file of the
//            result set's layout (in the temporary directory), read by
//            SEA:SortKey like any keyed file
//   Topic    SIndex by SIN:IdKey within the topic (newest first)
//   Search   the result set (file 32) by SEA:SortKey
//
// Each is a page source of browse rows; rows whose message has been deleted
// since are passed over. The browse's files (browse_files.h) and SIndex
// must be open while a query lives.

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "archive/browse/browse_rows.h"
#include "archive/browse/browse_view.h"
#include "archive/browse/page_source.h"
#include "archive/session.h"
#include "archive/word_files.h"

namespace qb::store {

template <class Row>
class BrowsePager;

// The word of the word list with this indexed form, or else the first word
// that begins with it; false when there is none (or the word list cannot be
// opened: an indexing run holds it).
bool lookUpIndexedWord(Session& s, const std::string& indexedForm, WordList& out);
// The word with this identifier; false when it is gone.
bool indexedWordById(Session& s, uint32_t wordId, WordList& out);
// Up to `max` indexed words from `indexedForm` on, with their message
// counts (the look-up list of the KeyWord view). Empty while an indexing
// run holds the word list.
std::vector<std::pair<std::string, int32_t>> indexedWordsFrom(Session& s, const std::string& indexedForm, int max);

class WordView;

class SetQuery : public PageSource<BrowseRow> {
 public:
  enum class Kind { KeyWord, Topic, Search };
  // `id`: the word (KeyWord) or topic (Topic); 0 shows nothing.
  SetQuery(Session& s, bool mail, Kind kind, uint32_t id, const RowOptions& options);
  ~SetQuery() override;

  std::vector<Entry> first(int n) override;
  std::vector<Entry> last(int n) override;
  std::vector<Entry> after(int64_t pos, int n) override;
  std::vector<Entry> before(int64_t pos, int n) override;
  std::vector<Entry> from(int64_t pos, int n) override;

  // False when the postings of the word could not be read (an indexing run
  // holds them).
  bool ok() const { return ok_; }
  // The size of the set (messages deleted since included).
  uint32_t count();
  // The position of the row of a message in a result set; 0 when none.
  int64_t positionOf(uint32_t messageId);
  void setOptions(const RowOptions& o) { options_ = o; }

 private:
  Session& s_;
  bool mail_;
  Kind kind_;
  uint32_t id_;
  RowOptions options_;
  bool ok_ = true;
  std::unique_ptr<WordView> words_;
  std::unique_ptr<BrowsePager<BrowseRow>> pager_;
};

// The private work file of a KeyWord view.
class WordView {
 public:
  explicit WordView(Session& s);
  ~WordView();  // closes and removes the work file
  WordView(const WordView&) = delete;
  WordView& operator=(const WordView&) = delete;
  // Fills the view with the messages of the word, newest first; false when
  // the postings cannot be read.
  bool fill(uint32_t wordId);
  Table<Search>& table() { return *file_; }

 private:
  Session& s_;
  std::unique_ptr<Table<Search>> file_;
  std::string path_;
};

}  // namespace qb::store
