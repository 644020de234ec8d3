#pragma once
// Message storing: files one import work record into the current database.
// It finds or creates the sender and the recipient (AddPers), finds the
// thread (by the replied-to message, or by subject within the section) or
// creates it, recognises duplicates, and writes the header (MsgNmbr or
// Mail), the text (MsgText), the import register entry (SaveFile), the
// topic filing of a mail (SIndex) and its carbon copies (CCR, from the
// keyed carbon-copy work file): everything of one message in the same
// transaction, so that a message is never stored without its parts.
//
// It runs inside the import run's transaction; every write uses error mode
// 8, so a failing write has rolled the transaction back when store()
// returns StoreFailed. The run opens the database's files before the first
// call: forum MsgNmbr, MsgText, Person, PLINK, Threads, Sections (and
// SaveFile); newsgroup the same and MsgString, with the message-identifier
// work file; mail Mail, MsgText, Person, PLINK, SIndex, CCR.

#include <cstdint>
#include <string>
#include <vector>

#include "archive/records.h"
#include "import/work_records.h"

namespace qb::store {
class Session;
}

namespace qb::import {

enum StoreResult { StoreStored = 0, StoreDuplicate = 1, StoreFailed = 2 };

struct StoreOutcome {
  int result = StoreStored;
  bool isNew = false;          // a header was added (not replaced)
  uint32_t senderId = 0;
  uint32_t recipientId = 0;
  uint32_t threadNumber = 0;
};

class MessageStore {
 public:
  MessageStore(store::Session& s, bool allowReimport, uint32_t mailTopic);

  // Stores one work record with its text. kind: 1 forum, 2 mail,
  // 3 newsgroup; secSysId: the section (0 for mail); runDate and runTime:
  // when the import run started (the date and time of every stored text).
  StoreOutcome store(NHR nhr, const std::string& text, int kind, uint32_t secSysId, int32_t runDate,
                     int32_t runTime);

  // The database stored into next (called when the run turns to another
  // database): its owner's addresses, and the owner's last name of a mail
  // database found again from the next mail.
  void setDatabase(const store::Forums& db);

 private:
  StoreOutcome storeForum(NHR& w, const std::string& text, int kind, uint32_t sec, int32_t runDate,
                          int32_t runTime);
  StoreOutcome storeMail(NHR& w, const std::string& text, int32_t runDate, int32_t runTime);
  // Newsgroup message identifiers: gives the message its number from
  // MsgString (or registers it there). False when the message is not to be
  // stored; isNew tells whether its header is still to be added.
  bool resolveNewsNumber(NHR& w, bool& isNew, int& result);
  // Replied-to newsgroup message: fixes NHR:REFNUMBER; when the replied-to
  // header exists, gives its thread and its author. False on a write failure.
  bool resolveNewsReply(NHR& w, uint32_t& thread, std::string& threadAlpha, uint32_t& authorId,
                        std::string& authorLast);
  bool findOrCreateThread(uint32_t sec, const std::string& heading, uint32_t& number, std::string& alpha);
  bool headerExists(uint32_t number);
  bool idString(uint32_t number, std::string& id);
  bool person(const std::string& name, const std::string& address, uint32_t& id, std::string& lastName);
  bool writeText(uint32_t number, const std::string& text, bool isNew, int32_t runDate, int32_t runTime);
  // The carbon-copy work records of a mail, each recipient once.
  std::vector<CCT> copiesOf(uint32_t mailId);
  // Writes the copies of a stored mail, except those to the owner's own
  // addresses and those already there; false on a write failure.
  bool writeCopies(uint32_t mailId, const std::vector<CCT>& copies);
  bool ownerAddress(const std::string& address) const;

  store::Session& s_;
  bool allowReimport_;
  uint32_t mailTopic_;
  std::string ownerLastName_;
  std::vector<std::string> ownerAddresses_;  // in lower case
};

// A time value cut back to its minute (10:15:42 becomes 10:15:00); 0 stays 0.
int32_t cutToMinute(int32_t time);

}  // namespace qb::import
