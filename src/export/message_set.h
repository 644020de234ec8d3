#pragma once
// The set of messages an export (or classification, or status recoding)
// works on: "all messages related to the current" message, sender,
// receiver, thread, section, database, mail partner, key word, topic or
// search result of the browse, read from the stored browse context through
// the key that fixes the set.
//
// Forum and newsgroup sets are read forward in key order; the whole
// database and the mail sets are read backwards through their
// date-descending keys, so that they come oldest first.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>
#include <string>

#include "archive/browse/browse_context.h"
#include "archive/records.h"
#include "archive/session.h"

namespace qb::exporting {

enum Scope : int {
  ScopeClipboard = 0,  // the highlighted message, to the clipboard
  ScopeSingle = 1,     // one given message, to the export files
  ScopeMessage = 2,    // " Message": the highlighted message
  ScopeSender = 3,
  ScopeReceiver = 4,
  ScopeThread = 5,
  ScopeSection = 6,
  ScopeDatabase = 7,   // " Forum", " Mail database", " NewsGroup"
  ScopeKeyWord = 8,
  ScopeTopic = 9,
  ScopeSearch = 10,
  ScopePartner = 11,   // mail: " Mail Partner"
};

// Scope names for the command line ("whole", "thread", ...); -1 when unknown.
int scopeFromName(const std::string& name);

// The message numbers of the key word and search result sets come from the
// word index and the search result file, which the index subsystem owns. It
// registers a provider; without one these sets are empty and say why.
class IdCursor {
 public:
  virtual ~IdCursor() = default;
  // The next message number; false at the end.
  virtual bool next(uint32_t& id) = 0;
};
class IndexedSets {
 public:
  virtual ~IndexedSets() = default;
  // The messages that hold word `wordId` (WOR:WORDID) of the current
  // database, and the word itself.
  virtual std::unique_ptr<IdCursor> word(store::Session& s, uint32_t wordId) = 0;
  virtual std::string wordText(store::Session& s, uint32_t wordId) = 0;
  // The WOR:WORDID of a word; 0 when the index does not hold it.
  virtual uint32_t wordId(store::Session& s, const std::string& word) = 0;
  // The messages of the last search result, in its sort order.
  virtual std::unique_ptr<IdCursor> searchResult(store::Session& s) = 0;
};
// Sets the provider (nullptr: none). The caller keeps it alive. The
// default reads the word index and search result of the current database.
void setIndexedSets(IndexedSets* provider);
IndexedSets* wordIndexSets();
IndexedSets* indexedSets();

// What fixes a set: taken from the highlighted message of the stored browse
// context (its thread, section, sender, receiver, partner) and from the
// context's word and topic filters. Explicit values may replace them (the
// command line names a sender, a topic, ...).
struct SetKey {
  uint32_t message = 0;         // highlighted message
  std::string alpha;            // thread, sender, receiver or partner alpha
  uint32_t id = 0;              // thread number, person or partner identifier
  uint32_t secsysid = 0;
  uint32_t wordId = 0;
  uint32_t topicId = 0;
};

// The current values of every choice, as the export window shows them
// (CG:XCURRSENDER, ...), read from the stored context of the current
// database's browse. Texts are UTF-8. Opens and closes the files it reads.
struct CurrentValues {
  uint32_t message = 0;
  std::string sender, receiver, thread, section, partner, database, keyword, topic;
  bool searchResult = false;  // a stored search result exists
};
CurrentValues currentValues(store::Session& s);

// Reads a set message by message. The files of exportFiles() plus SIndex
// and Codes must be open while it is used.
class MessageSet {
 public:
  MessageSet(store::Session& s, int scope);
  ~MessageSet();
  // Sets the key of the set from the stored context; false (with why())
  // when the scope needs something the context lacks.
  bool fromContext();
  // Sets the key explicitly.
  void setKey(const SetKey& k) { key_ = k; }
  const SetKey& key() const { return key_; }
  // Positions on the first record; false (with why()) when the set cannot
  // be read.
  bool begin();
  // The next message header of the set into the file's buffer (MsgNmbr or
  // Mail) and its number; false at the end of the set or on a read error.
  bool next(uint32_t& id);
  // The reading position is kept: call after other work moved the cursor of
  // the header file (lookups by key, writes).
  void keepPosition(bool on) { keep_ = on; }
  // An estimate of the set's size for a progress bar (0: unknown).
  uint32_t sizeHint();
  const std::string& why() const { return why_; }

 private:
  bool nextRecord();
  bool sameSet();
  store::Session& s_;
  int scope_;
  bool mail_;
  SetKey key_;
  int fileKey_ = -1;         // key of the header file the set is read in
  bool backwards_ = false;
  bool started_ = false;
  bool keep_ = false;
  int64_t lastPos_ = 0;
  uint32_t lastId_ = 0;  // topic set: the message of the entry read last
  std::unique_ptr<IdCursor> cursor_;  // key word and search sets
  bool singleDone_ = false;
  std::string why_;
};

}  // namespace qb::exporting

namespace qb::exporting {

// The key of a set named by a value (the command line): a message number;
// a thread's number or subject; a section's number or name; a person's
// identifier, address or name (sender, receiver, partner); a topic's name;
// a key word. The files of exportFiles() plus Codes must be open. False
// with `why` when nothing matches.
bool resolveSetKey(store::Session& s, int scope, const std::string& value, SetKey& key, std::string& why);

// The COD:ID of topic `name` of the current database (Codes open); 0 when
// there is none.
uint32_t topicIdOf(store::Session& s, const std::string& name);

}  // namespace qb::exporting

namespace qb::exporting {

struct TopicEntry {
  uint32_t id = 0;
  std::string name;  // UTF-8
};
// The topics of the current database in name order; opens and closes the
// Codes file.
std::vector<TopicEntry> topicList(store::Session& s);

}  // namespace qb::exporting
