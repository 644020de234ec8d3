#pragma once
// Mail in capture files: the mail headers of the eight capture formats, the
// mail address rule with its "INTERNET" gateway addresses, and the times of
// the mail date lines.
//
//  - OzCIS and OzWin: "Date:  " (date in columns 8-16, time from column 18),
//    then "MgTo:" (sent mail, the recipient) or "From:" (received mail, the
//    sender), then "Subj:"; the text starts at offset 4, for received mail
//    in "OzWin II" files at offset 5.
//  - TAPCIS 6.x and AUTOSIG: the forum layout ("#:", date line with the time
//    from column 16, "Sb:", "Fm:", "To:", text at offset 6); the direction
//    comes from the mailbox-owner rule on the sender's address.
//  - TAPCIS 5.x and GoldenCompass: the forum layout; a start line holding
//    "/Outbox" is sent mail (recipient from "To:", text at offset 6), any
//    other is received mail (sender from "Fm:", text at offset 5).
//  - NavCIS Save format: "Subject:  ", "   From:  ", "     To:  ",
//    "   Date:  " (time from column 21 when column 23 is ":"), text at
//    offset 5; mail from one of the owner's addresses is sent mail.
//
// Received mail gets the owner as recipient, sent mail the owner as sender.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "import/addresses.h"
#include "import/formats/captures/capture_format.h"
#include "import/formats/mail/mail_owner.h"
#include "import/work_records.h"

namespace qb::import::captures {

// Splits a correspondent text of a capture mail into name and address: a
// gateway address after "INTERNET" (with or without its colon) with the name
// before it (trailing ">", blanks and DOS vertical bars removed, enclosing
// double quotes removed); any other text by FindCISAdress.
NameAddress mailAddress(std::string_view text);

// A clock time H:MM, HH:MM (seconds 00) or HH:MM:SS at the start of `text`
// (a one-digit hour read with a leading zero); 0 when there is none.
int32_t captureClock(std::string_view text);

// The time on a TAPCIS 5.x or GoldenCompass date line: within the five
// columns after the date, the first non-blank character starts the time.
int32_t dateLineTime(std::string_view dateLine, bool tapcis5);

// Fills the mail fields of `nhr` (HEADING, sender, recipient, DATE, TIME,
// MAILTYPE) from the first six lines of a mail block (missing lines empty).
// `bodyOffset` receives the line offset of the text. False when the mail is
// dropped (a header line missing or misplaced).
bool parseMailHeader(CaptureFormat f, std::span<const std::string> lines, const mail::MailOwner& owner, NHR& nhr,
                     std::size_t& bodyOffset);

}  // namespace qb::import::captures
