#pragma once
// The layout of a CIM message file ("WinCIM", "DOSCIM", "CSNav"): one saved
// forum message or mail per file, in records of byte fields.
//
// The file starts with "VIS000" and the byte 0x1A, a 16-bit header length
// H and a record type: 1 mail, 2 forum message, 3 forum message of the
// second layout. readCimFile() decodes the whole file into a CimMessage;
// the converter (cim_converter.h) turns it into work records.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "import/formats/mail/mail_header.h"

namespace qb::import::cim {

enum class CimKind : uint8_t { Mail = 1, Forum = 2, Forum2 = 3 };

struct CimMessage {
  CimKind kind = CimKind::Mail;
  int32_t date = 0;
  int32_t time = 0;
  std::string subject;  // as stored ("Copy of:" still there)
  std::string senderName;
  std::string senderAddress;
  std::string text;  // as stored (before the text codes are converted)

  // Forum messages.
  uint32_t msgNumber = 0;
  uint32_t refNumber = 0;
  uint8_t section = 0;
  std::string sectionName;
  std::string forumName;  // "CIS:" removed
  std::string recipientName;
  std::string recipientAddress;

  // Mail: every recipient in file order, with its type "TO", "CC" or "BC"
  // (names and addresses as stored).
  std::vector<mail::Recipient> recipients;
};

enum class CimRead {
  Ok,
  NotCim,     // no "VIS000" signature or an unknown record type: nothing in it
  Truncated,  // the file ends inside the record: nothing is taken
  Abandoned,  // a mail whose recipient block is marked 4
};

// Counted strings keep their first 50 characters, recipient names 40 and
// addresses 60.
constexpr std::size_t kCountedKeep = 50;
constexpr std::size_t kNameKeep = 40;
constexpr std::size_t kAddressKeep = 60;
// The mail text is cut at this many characters.
constexpr std::size_t kMailTextKeep = 63998;
// Bytes of a file read at most: the records before the text are a few
// hundred bytes and a text keeps 64000, so the rest of a larger file is
// never needed.
constexpr std::size_t kMaxCimFile = 1 << 20;

bool hasCimSignature(std::string_view bytes);
CimRead readCimFile(std::string_view bytes, CimMessage& m);

}  // namespace qb::import::cim
