#pragma once
// MasIdx (file 29): the postings of the word index of one database, one per
// (message, word) pair, kept in a compact form.
//
// The file IDX029.TPS is an SQLite database of its own shape (not a record
// store file):
//
//   words(wordid, first, n, ids)   a word's messages in chunks: message
//                                  identifiers ascending from `first`, n of
//                                  them, as delta-coded varints
//   messages(sysid, words)         a message's words: word identifiers
//                                  ascending, delta-coded; a row (perhaps
//                                  empty) marks the message as indexed
//
// so that the record operations of the word index stay cheap: read the
// postings by word in MAS:by_WordId order (messagesOf), by message in
// MAS:by_SysID order (wordsOf), and delete the postings of a message
// (removeMessages). A posting list of a million messages takes about a
// megabyte and decodes in a few milliseconds.
//
// An indexing run opens the file exclusively (a lock on its companion
// "IDX029.TPS.lck"); any other opener then gets AccessDenied, the store's
// file-in-use error.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "archive/session.h"
#include "store/keyed_file.h"

namespace qb::store {

class Postings {
 public:
  Postings();
  ~Postings();
  Postings(const Postings&) = delete;
  Postings& operator=(const Postings&) = delete;

  // Opens file 29 of the current database (creating it and its directory);
  // exclusive for an indexing run. AccessDenied while an indexing run holds
  // it, which also sets the session's IndexingInProgress.
  Err open(Session& s, bool exclusive = false);
  Err open(const std::string& path, bool exclusive = false);
  void close();
  bool isOpen() const;
  const std::string& path() const;

  // ---- reading ----
  // The messages that contain the word, ascending (MAS:by_WordId order).
  std::vector<uint32_t> messagesOf(uint32_t wordId);
  // The words of a message, ascending (MAS:by_SysID order); false when the
  // message has not been indexed.
  bool wordsOf(uint32_t sysId, std::vector<uint32_t>& words);
  bool indexed(uint32_t sysId);
  int64_t messageCount();
  int64_t postingCount();
  // Every indexed message identifier, ascending.
  std::vector<uint32_t> indexedMessages();
  // Calls `f` with each word and its number of postings, by word.
  Err eachWordCount(const std::function<void(uint32_t wordId, int64_t count)>& f);

  // ---- writing: between begin() and commit() ----
  Err begin();
  Err commit();
  void rollback();
  // Marks a message indexed with its words (ascending, no duplicates).
  Err addMessage(uint32_t sysId, const std::vector<uint32_t>& wordIds);
  // Adds messages (ascending, not posted before) to a word's postings.
  Err addPostings(uint32_t wordId, const std::vector<uint32_t>& sysIds);
  // Removes every posting of the listed messages and their indexed marks;
  // `removed` gains, per word, the number of postings removed. Identifiers
  // without postings change nothing.
  Err removeMessages(const std::vector<uint32_t>& sysIds, std::unordered_map<uint32_t, int32_t>& removed);
  // Removes every posting of the listed words (words moved to the stop
  // list); `removed` gets their counts.
  Err removeWords(const std::vector<uint32_t>& wordIds, std::unordered_map<uint32_t, int32_t>& removed);
  Err clear();
  // A named mark kept in the file (the builder's "counts stale" mark).
  std::string mark(const std::string& name);
  Err setMark(const std::string& name, const std::string& value);

  // ---- the compact form ----
  static void encode(const std::vector<uint32_t>& ascending, std::string& out, uint32_t base = 0);
  static void decode(const std::string& blob, uint32_t base, std::vector<uint32_t>& out);

 private:
  // Replaces a word's postings by `ids` (ascending), in chunks.
  Err rewriteWord(uint32_t wordId, const std::vector<uint32_t>& ids);
  struct Impl;
  std::unique_ptr<Impl> d_;
};

}  // namespace qb::store
