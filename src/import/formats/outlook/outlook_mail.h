#pragma once
// The rules that turn one Outlook mail item into import work records.
//
//  - Sender: the reply address and name of the item; an address beginning
//    with "/" (a directory-internal address) is replaced by the owner's
//    address and name. Without an address a non-empty name becomes the
//    address and the name "Unknown"; without both the address is "Unknown"
//    and the name the item's sender name (or "Unknown").
//  - Date and time: the creation time text is split at its first blank; the
//    part before is read as the date (YYYY-MM-DD), the part after as the
//    time (HH:MM or HH:MM:SS); no blank, or a part that cannot be read, gives
//    0 for both.
//  - One record per "To" recipient, with that recipient's address and name;
//    the mailbox-owner rule decides the direction. An item without a "To"
//    recipient gives no record. The "Cc" recipients become carbon copies of
//    the item's first record.
//  - Fields are cut to their widths at a character boundary (UTF-8); the
//    body to 64000 bytes the same way.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "import/formats/mail/mail_header.h"
#include "import/formats/mail/mail_owner.h"
#include "import/formats/outlook/outlook_source.h"
#include "import/work_records.h"

namespace qb::import::outlook {

struct MailRecord {
  NHR nhr;
  std::vector<mail::Recipient> copies;
};

// The work records of a mail item (their numbers and target not yet set).
std::vector<MailRecord> mailRecords(const OutlookItem& item, const mail::MailOwner& owner);

// Date and time of a creation time text; both 0 when it cannot be read.
void creationDateTime(std::string_view text, int32_t& date, int32_t& time);

// The body as stored: line ends made CR LF, blank lines before the text
// dropped, at most 64000 bytes ending at a character boundary.
std::string bodyText(std::string_view body);

}  // namespace qb::import::outlook
