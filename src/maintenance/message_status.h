#pragma once
// Status changes: a message, thread, section, person (mail partner) or the
// database itself set to normal (0), keep (1) or delete (2). The status is
// written into the record's status byte (archive/browse/browse_status.h),
// where the browses show it as the row colour and the purge acts on it: a
// thread, section, partner or database marked delete has its messages
// purged except those marked keep. With `messages` the status is also
// written into every message of the thread, section, person or database
// ("Recode all messages related to the current").
//
// An engine object like the other long work of maintenance:
//
//   StatusChange change(session, forumId, {StatusScope::Thread, 1234, 2, true});
//   while (change.step()) draw(change.progress());
//   if (change.failed()) report(change.error());
//
// Recoding writes inside transactions committed after at most 400 writes.

#include <cstdint>
#include <string>
#include <vector>

#include "archive/session.h"

namespace qb::maintenance {

enum class StatusScope { Message, Thread, Section, Person, Database };

struct StatusOrder {
  StatusScope scope = StatusScope::Message;
  // MSG:MSGNUMBER or MAI:MAILID, THR:THREADNUMBER, SEC:SECSYSID,
  // PER:PERSONID; not used for the database.
  uint32_t id = 0;
  uint8_t status = 0;     // 0 normal, 1 keep, 2 delete
  bool messages = false;  // also every message of the thread, section, person or database
};

// "normal", "keep", "delete" (any letter case) as 0, 1, 2; -1 otherwise.
int statusFromName(const std::string& name);
// "Normal", "Keep", "Delete".
const char* statusName(uint8_t status);
// "message", "thread", "section", "person" ("partner" in a mail database), "database".
std::string scopeName(StatusScope scope, uint8_t kind);

class StatusChange {
 public:
  // Works on database `forumId`; the session's current database is put back
  // when the change ends.
  StatusChange(store::Session& s, uint32_t forumId, StatusOrder order);
  ~StatusChange();
  StatusChange(const StatusChange&) = delete;
  StatusChange& operator=(const StatusChange&) = delete;

  // One bounded step; false once the change has ended.
  bool step();
  // Stops recoding at the next step; what was written stays.
  void cancel() { cancelRequested_ = true; }
  void setSliceSize(int n) { slice_ = n > 0 ? n : 1; }

  bool failed() const { return failed_; }
  bool cancelled() const { return cancelled_; }
  const std::string& error() const { return error_; }
  uint8_t kind() const { return kind_; }
  // The status byte of the named record was written (or already held the status).
  bool marked() const { return marked_; }
  uint8_t previous() const { return previous_; }  // its status before
  // Messages of the set read and those whose status changed.
  uint32_t read() const { return read_; }
  uint32_t recoded() const { return recoded_; }
  uint32_t total() const { return static_cast<uint32_t>(positions_.size()); }
  // "Recoding message status ... please wait!" while running, then
  // "Message status recoded!" or "Process aborted!".
  std::string progressText() const;
  // The thread subject, section name, person name or database name named.
  const std::string& targetName() const { return targetName_; }

 private:
  enum class State { Start, Recode, Done };
  void start();
  bool mark();
  void gather();
  void recodeSlice();
  void fail(const std::string& why);
  void finish();

  store::Session& s_;
  uint32_t forumId_;
  StatusOrder order_;
  State state_ = State::Start;
  bool cancelRequested_ = false, cancelled_ = false, failed_ = false, marked_ = false;
  bool selected_ = false, filesOpen_ = false;
  store::Session::DatabaseSelection saved_;
  uint8_t kind_ = 0, previous_ = 0;
  int slice_ = 0;
  std::string error_, targetName_;
  std::string threadAlpha_;
  std::vector<int64_t> positions_;
  std::size_t next_ = 0;
  uint32_t read_ = 0, recoded_ = 0;
};

}  // namespace qb::maintenance
