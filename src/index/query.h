#pragma once
// The evaluation of a search string over the word index of the current
// database, as an engine object with step().
//
// The string is split by the tokeniser's rules into words in their indexed
// form; stop words and words the rules drop (too long, numbers with the
// number option off) are kept in the word list marked FILTERED and shown to
// the user. A word ending in "*" is a prefix ("TELESC*" stands for every
// indexed word that begins with TELESC). Each remaining word is resolved
// through WOR:by_theWord.
//
// AND (the default): every word must occur. The words are taken rarest
// first (lowest WOR:WORDCOUNT), so the candidates shrink as fast as
// possible; a word that is not indexed ends the search with no hits.
// OR (--any): at least one word must occur.
// Phrase: the words must stand next to each other in this order (stop words
// of the phrase included). Candidates come from AND over the indexed words,
// and each candidate's text is then checked word by word with the
// tokeniser, so that case, line breaks and punctuation between the words do
// not matter.
//
// Every `searchPause` index entries read (postings and checked texts) the
// search pauses; the caller asks the user whether to go on and calls
// resume() or cancel(). Hits are message identifiers, newest (highest)
// first.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "archive/postings.h"
#include "archive/session.h"
#include "index/index_settings.h"
#include "index/tokeniser.h"

namespace qb::index {

// One word of the search string (the word list).
struct QueryWord {
  std::string WSWORD;   // indexed form, without a trailing "*"
  bool prefix = false;  // typed with a trailing "*"
  int16_t FILTERED = 0; // 1: dropped (stop word); 2: dropped by the word rules
};

// A word resolved against the word list (the word table, and the entries of
// the AND and OR lists). CONDITION is "AND" or "OR"; MARKFLAG 1 when the
// word is indexed (for a prefix: when any word begins with it).
struct QueryTerm {
  std::string CONDITION;
  std::string THEWORD;
  int32_t WORDCOUNT = 0;  // messages (a prefix: the sum over its words)
  int32_t WORDID = 0;     // 0 for a prefix or a word not indexed
  uint8_t MARKFLAG = 0;
  bool prefix = false;
  std::vector<int32_t> expansion;  // the word identifiers a prefix stands for
};

struct QueryOptions {
  bool any = false;     // OR instead of AND
  bool phrase = false;  // the words next to each other
};

// Splits a search string into its words with the rules of the index.
std::vector<QueryWord> splitSearchString(const std::string& searchString, const Tokeniser& tok,
                                         const StopList& stops);

class SearchRun {
 public:
  SearchRun(store::Session& s, std::string searchString, QueryOptions options = {});
  ~SearchRun();

  // Reads the options, splits and resolves the words. False when the search
  // cannot run (message() says why: no database, the index in use or
  // missing, no word left to search for).
  bool start();
  // Works for about `budgetMs` milliseconds; true while there is more.
  bool step(int budgetMs = 50);
  // True when the search waits for the user (see above).
  bool paused() const { return state_ == State::Paused; }
  void resume();
  void cancel();

  bool finished() const { return state_ == State::Done || state_ == State::Failed || state_ == State::Cancelled; }
  bool failed() const { return state_ == State::Failed; }
  bool cancelled() const { return state_ == State::Cancelled; }
  const std::string& message() const { return message_; }

  const std::vector<QueryWord>& words() const { return words_; }
  const std::vector<QueryTerm>& terms() const { return terms_; }
  // The hits, newest first (complete once finished()).
  const std::vector<uint32_t>& results() const { return results_; }
  int64_t scanned() const { return scanned_; }
  // The pause threshold (from setting 68 unless set here).
  void setPauseAfter(int64_t n) { pauseAfter_ = n > 0 ? n : 1; }

  const Tokeniser& tokeniser() const { return *tokeniser_; }

 private:
  enum class State { Idle, Postings, Phrase, Paused, Done, Failed, Cancelled };
  bool fail(const std::string& text);
  std::vector<uint32_t> postingsOf(const QueryTerm& t);
  void finish();

  store::Session& s_;
  std::string searchString_;
  QueryOptions options_;
  State state_ = State::Idle, resumeTo_ = State::Idle;
  std::string message_;
  std::unique_ptr<Tokeniser> tokeniser_;
  store::Postings postings_;
  bool open_ = false;
  std::vector<QueryWord> words_;
  std::vector<QueryTerm> terms_;
  std::size_t next_ = 0;        // next term (Postings) or candidate (Phrase)
  bool first_ = true;
  std::vector<uint32_t> candidates_, results_;
  int64_t scanned_ = 0, pauseAfter_ = 1000000, sincePause_ = 0;
};

// ---- hit positions ------------------------------------------------------------
struct HitRange {
  std::size_t STARTPOS;  // byte offsets in the display text (UTF-8)
  std::size_t ENDPOS;    // one past the last byte
};

// Where the words of a search stand in a message's display text: every
// occurrence of a searched word (prefixes: every word that begins with
// them); in phrase mode only the occurrences of the whole phrase.
std::vector<HitRange> hitPositions(const std::string& displayText, const std::vector<QueryWord>& words,
                                   bool phrase, const Tokeniser& tok);

// Does the text hold the phrase (the words next to each other)?
bool containsPhrase(const std::string& displayText, const std::vector<QueryWord>& words, const Tokeniser& tok);

}  // namespace qb::index
