#pragma once
// The filing cabinet file of "CompuServe 3.x" ("FCABINET.DAT"): one file
// that holds every filed forum message and mail.
//
// The file starts with "FCAB". Each message record starts with the marker
// "~CS~FCR~" and runs to the byte before the next marker (or to the end of
// the file); the first pass (cabinet_scan.h) finds them, and
// decodeCabinetRecord() reads one record's fields.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "import/formats/mail/mail_header.h"

namespace qb::import::cabinet {

constexpr std::string_view kSignature = "FCAB";
constexpr std::string_view kMarker = "~CS~FCR~";
// Records of this many bytes or fewer are not queued.
constexpr std::size_t kMinRecord = 120;
// Counted strings keep at most this many characters.
constexpr std::size_t kCountedKeep = 75;

enum class RecordKind : uint8_t { Forum = 2, Mail = 9 };

struct CabinetMessage {
  RecordKind kind = RecordKind::Forum;
  int32_t date = 0;
  int32_t time = 0;
  std::string subject;
  std::string senderName;
  std::string senderAddress;
  std::string sectionName;
  std::string forumName;  // as stored ("CIS:" still there)
  // Forum messages.
  uint8_t section = 0;
  std::string recipientName;
  std::string recipientAddress;
  uint32_t msgNumber = 0;
  uint32_t refNumber = 0;
  // Mail: the recipient entries in record order.
  std::vector<mail::Recipient> recipients;
  std::string text;  // as stored; empty when the text does not lie within the record
};

enum class CabinetRead {
  Ok,
  Unusable,   // too short, or the byte after the first ten is not 0
  OtherKind,  // a record that is neither forum message nor mail
};

// The 4-byte stamp: the low half a time (seconds / 2, minutes, hours in
// bits 0-4, 5-10, 11-15), the high half a date (day, month, year - 1970 in
// bits 0-4, 5-8, 9-15).
void decodeStamp(uint32_t stamp, int32_t& date, int32_t& time);

// The recipient type of a mail recipient entry: 2 is a carbon copy, 3 a
// blind copy, anything else a direct recipient.
const char* recipientType(uint8_t code);

CabinetRead decodeCabinetRecord(std::string_view record, CabinetMessage& m);

}  // namespace qb::import::cabinet
