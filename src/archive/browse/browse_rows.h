#pragma once
// Display rows of the message browse and the mail browse: each row is built
// from the header record in the buffer and the records it points to
// (thread, section, persons), with its status colour.

#include <cstdint>
#include <string>

#include "archive/records.h"
#include "archive/session.h"

namespace qb::store {

// The colour a row is drawn in, from the keep status of the message and of
// what it belongs to.
enum class RowColour { None, Keep, Delete };

// m: the message (mail); t: its thread (mail: its partner); s: its section
// (mail: 0); d: the database (ForumCheck). A keep on the message shields it
// from a delete on its thread, section or database; a delete on the message
// wins over everything.
RowColour rowColour(uint8_t m, uint8_t t, uint8_t s, uint8_t d);

// A person shown in a browse column (setting 38): "<address>" when the
// person has no name; "Last,First <address>" with format 2; else
// "Last,First".
std::string browseName(const Person& p, int nameFormat);

struct MsgRow {
  int32_t DATE = 0;
  std::string HEADER, FROMSTRING, TOSTRING, SECDESC;
  uint32_t FROMID = 0, TOID = 0, SECSYSID = 0, THREADNUMBER = 0, MSGNUMBER = 0, REFNUMBER = 0;
  uint8_t MSGCHECK = 0, THREADCHECK = 0, SECTIONCHECK = 0;
  RowColour colour = RowColour::None;
};

struct MailRow {
  int32_t DATE = 0, TIME = 0;
  std::string SUBJECT, FROMSTRING, TOSTRING, RECIPTYPE, PAIRALPHA;
  std::string PAIRSTRING;  // the mail partner as the browse names persons
  uint32_t MAILID = 0, FROMID = 0, TOID = 0, PAIRID = 0;
  uint8_t MAILCHECK = 0, PAIRCHECK = 0, CCRCHECK = 0;
  RowColour colour = RowColour::None;
};

// Options read once when a browse opens.
struct RowOptions {
  int nameFormat = 1;   // setting 38
  uint8_t targetNG = 0; // TargetNG of the database
  uint8_t forumCheck = 0;
};

// Builds the row of the MsgNmbr record `m`; reads Threads, Sections and
// Person (which must be open); missing records give blank fields.
MsgRow buildMsgRow(Session& s, const MsgNmbr& m, const RowOptions& o);
// Builds the row of the Mail record `m`; reads Person (open).
MailRow buildMailRow(Session& s, const Mail& m, const RowOptions& o);

// Reads a record by a unique key into the file's buffer; false (buffer
// cleared, key value kept) when it is missing.
bool lookUpPerson(Session& s, uint32_t id);
bool lookUpThread(Session& s, uint32_t number);
bool lookUpSection(Session& s, uint32_t secsysid);

}  // namespace qb::store
