#pragma once
// The header block a browse shows above the text of the highlighted
// message: who wrote it to whom (with the further recipients of a mail),
// when, where (forum and section, or newsgroup), its number and the number
// of the message it answers. The files of the browse (browse_files.h) must
// be open.

#include <cstdint>
#include <string>
#include <vector>

namespace qb::store {

class Session;

struct HeaderPerson {
  std::string name;     // first and last name, blank when the person has none
  std::string address;  // PER:ADDRESS (CCR:R_CISADRESS for a further recipient)
};

struct MessageHeader {
  bool found = false;  // false: no header record for the id (all fields empty)
  bool mail = false;
  HeaderPerson from, to;
  std::vector<HeaderPerson> cc;  // further recipients of a mail (CCR)
  int32_t date = 0;              // day number, 0 none
  int32_t time = 0;              // mail only: clock value, 0 none
  std::string subject;           // mail subject, or the thread's heading
  std::string forum;             // forum databases: the database's name
  std::string section;           // forum databases: "07 Description"
  std::string newsgroup;         // newsgroup databases: the newsgroup
  uint32_t number = 0;           // MSG:MSGNUMBER or MAI:MAILID
  uint32_t replyTo = 0;          // MSG:REFNUMBER when it names another message
};

// The header of message (MSG:MSGNUMBER) or mail (MAI:MAILID) `id` of the
// current database.
MessageHeader messageHeader(Session& s, bool mail, uint32_t id);

}  // namespace qb::store
