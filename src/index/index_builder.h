#pragma once
// The index builder: fills the word list (file 28) and the postings
// (file 29) of the current database from its message texts, as an engine
// object whose step() does a bounded amount of work, driven by the desktop
// program's timer or the command line's loop.
//
//   Full     every message of the database, the index emptied first
//   Partial  the messages not indexed yet (a message is indexed when the
//            postings hold its row, perhaps empty)
//   Recount  the word counts from the postings; words without postings
//            leave the list
//
// While it runs the builder holds both files exclusively (other openers
// get the store's file-in-use error) and the session's IndexingInProgress
// is 1, so the frame refuses to close. Postings are committed in batches;
// words new to the list are written with each batch, so that a cancelled or
// broken run leaves a consistent index: what was committed is indexed, the
// counts are written at the end, and a run that did not reach its end
// leaves a mark that makes the next run recount first.
//
// Words in more than 25 % of the messages of a database (of at least 100
// messages) become stop words at the end of a run when the option is on:
// they are added to the stop-word list and leave the index.

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "archive/postings.h"
#include "archive/session.h"
#include "index/index_settings.h"
#include "index/tokeniser.h"

namespace qb::index {

enum class IndexMode { Full, Partial, Recount };

struct IndexStats {
  int64_t messages = 0;      // messages indexed in this run
  int64_t postings = 0;      // postings added
  int64_t newWords = 0;      // words new to the list
  int64_t words = 0;         // words in the list at the end
  int64_t stopWordsAdded = 0;
};

class IndexBuilder {
 public:
  IndexBuilder(store::Session& s, IndexMode mode);
  ~IndexBuilder();
  IndexBuilder(const IndexBuilder&) = delete;
  IndexBuilder& operator=(const IndexBuilder&) = delete;

  // Opens the files and lists the work. False when the run cannot start
  // (message() says why: no database, the index in use, a file error).
  bool start();
  // Does a bounded amount of work (about `budgetMs` milliseconds); true
  // while there is more to do.
  bool step(int budgetMs = 50);
  // Ends the run at the next step: the batch in progress is rolled back,
  // what was committed stays indexed, the counts are written.
  void cancel() { cancelled_ = true; }

  bool finished() const { return state_ == State::Done || state_ == State::Failed; }
  bool failed() const { return state_ == State::Failed; }
  bool cancelled() const { return cancelled_; }
  const std::string& message() const { return message_; }
  // Progress: messages (or words) done of the total, with a caption.
  int64_t done() const { return done_; }
  int64_t total() const { return total_; }
  const std::string& caption() const { return caption_; }
  const IndexStats& stats() const { return stats_; }

  // Messages per committed batch (memory is bounded by it).
  void setBatchSize(int n) { batchSize_ = n > 0 ? n : 1; }

 private:
  enum class State { Idle, Indexing, Finishing, Done, Failed };
  struct Word {
    std::string text;
    int32_t count = 0;     // postings committed
    int64_t pos = 0;       // position in the word list; 0 before it is written
    bool changed = false;  // count differs from the stored one
  };

  bool fail(const std::string& text);
  bool loadWords();
  bool recount();
  void indexMessage(uint32_t id, const std::string& text);
  bool flushBatch();
  bool applyAutoStopWords();
  bool writeCounts();
  void release();

  store::Session& s_;
  IndexMode mode_;
  State state_ = State::Idle;
  bool cancelled_ = false;
  std::string message_, caption_;
  int64_t done_ = 0, total_ = 0;
  IndexStats stats_;
  int batchSize_ = 4000;

  IndexOptions options_;
  std::unique_ptr<Tokeniser> tokeniser_;
  StopList stops_;
  store::Postings postings_;
  bool filesOpen_ = false;
  bool hasFooter_ = false;

  std::vector<Word> words_;  // by word identifier (index 0 unused)
  std::unordered_map<std::string, uint32_t> ids_;
  std::vector<uint32_t> indexed_;  // messages already indexed (partial run), ascending
  // The batch in progress.
  std::unordered_map<uint32_t, std::vector<uint32_t>> batch_;
  int inBatch_ = 0;
  bool batchOpen_ = false;
  std::vector<uint32_t> scratch_;
  bool textsOpen_ = false;
  bool started_ = false;  // the text cursor is positioned
};

}  // namespace qb::index
