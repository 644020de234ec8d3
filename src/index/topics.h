#pragma once
// Topics and key words of a database (the Codes file, file 1) and their
// links to messages (SIndex, file 9).
//
// A topic (COD:TYPE 2) is a label the user files messages under; a key word
// (search string, COD:TYPE 1) is text to look for in message texts, and the
// key-word run files every message whose text holds it under the key word.
// COD:COUNT is the number of SIndex records of the code.

#include <cstdint>
#include <string>
#include <vector>

#include "archive/records.h"
#include "archive/session.h"

namespace qb::index {

enum CodeType : uint8_t { KeyWordCode = 1, TopicCode = 2 };

// The codes of one type in COD:ClassKey order.
std::vector<store::Codes> listCodes(store::Session& s, uint8_t type);
// A code by type and text (case ignored); false when there is none.
bool findCode(store::Session& s, uint8_t type, const std::string& text, store::Codes& out);

// Adds a code: COD:ID from the identifier generator, COUNT, DATE and TIME 0;
// the match options only for a key word. A text already used by a code of
// the type is refused with the shared record error ("A record with
// identical key already exists!"). Returns the new identifier, 0 on failure.
uint32_t addCode(store::Session& s, uint8_t type, const std::string& text, bool matchCase = false,
                 bool wholeWord = false);
// Changes the text and options of the code `id`; false (reported) on failure.
bool changeCode(store::Session& s, uint8_t type, uint32_t id, const std::string& text, bool matchCase = false,
                bool wholeWord = false);
// Deletes a code with every SIndex record of it, in one transaction on
// SIndex and Codes; a failure rolls the whole deletion back.
bool deleteCode(store::Session& s, uint8_t type, uint32_t id);

// ---- look-up ---------------------------------------------------------------
struct CodeLookup {
  bool found = false;   // there is a candidate
  bool unique = false;  // the only code that begins with the typed text
  store::Codes code;    // the candidate
};
// The engine of Lkup1: positions on COD:ClassKey at (type, typed) and takes
// the next code when its first characters equal the typed text (case
// ignored), otherwise the code before the position. A unique match is
// chosen at once; otherwise the caller opens the code list on the candidate.
CodeLookup lookUpCode(store::Session& s, uint8_t type, const std::string& typed);

// ---- filing messages -----------------------------------------------------------
struct TopicState {
  store::Codes topic;
  bool attached = false;
};
// Every topic with whether the message is filed under it (classify tree).
std::vector<TopicState> topicsOf(store::Session& s, uint32_t messageId);
bool isAttached(store::Session& s, uint32_t codeId, uint32_t messageId);
// Toggling in the classify tree: attached -> the link is deleted and
// COD:COUNT decreased; not attached -> the link added and COD:COUNT
// increased. Returns the new state; on a failure the old one (reported).
bool toggleTopic(store::Session& s, uint32_t topicId, uint32_t messageId);
// Attaching and removing from the export window and the command line: the
// link is added only when missing and deleted only when present; COD:COUNT
// is left to the count (recountCodes) as in the purge.
bool attachCode(store::Session& s, uint32_t codeId, uint32_t messageId);
bool detachCode(store::Session& s, uint32_t codeId, uint32_t messageId);
// Sets every code's COD:COUNT to the number of its SIndex records.
bool recountCodes(store::Session& s);
// The messages filed under a code, newest (highest identifier) first.
std::vector<uint32_t> messagesOfCode(store::Session& s, uint32_t codeId);

// ---- applying key words ----------------------------------------------------------
// Looks for key words in the message texts of the current database and
// files every message that holds one under it: case ignored unless
// COD:CHARCASE is 1, whole words (the AISINB test) when COD:WORDONLY is 1.
// At the end each applied key word gets COD:COUNT = its SIndex records and
// COD:DATE / COD:TIME = now. step() handles the keyword speed setting's
// number of messages.
class KeywordRun {
 public:
  // codeId 0: every key word of the database.
  KeywordRun(store::Session& s, uint32_t codeId = 0);
  ~KeywordRun();
  bool start();
  bool step();
  bool finished() const { return done_; }
  bool failed() const { return failed_; }
  const std::string& message() const { return message_; }
  int64_t doneCount() const { return doneCount_; }
  int64_t total() const { return total_; }
  int64_t linksAdded() const { return added_; }

 private:
  bool finish();
  store::Session& s_;
  uint32_t only_;
  std::vector<store::Codes> codes_;
  std::vector<std::string> folded_;  // case-ignoring needles
  bool done_ = false, failed_ = false, open_ = false;
  std::string message_;
  int64_t doneCount_ = 0, total_ = 0, added_ = 0;
  int perStep_ = 50;
};

}  // namespace qb::index
