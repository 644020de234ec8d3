#pragma once
// Filing one mail of a CIM message file or of the filing cabinet, with its
// recipients:
//
//  - no recipient: one record; incoming mail has the owner as recipient with
//    the type "NN";
//  - one recipient: one record with that recipient's type; its recipient is
//    that recipient, or the owner for incoming mail;
//  - several recipients of an incoming mail: one record with the owner as
//    recipient and the first recipient's type, and a carbon-copy record for
//    every recipient;
//  - several recipients of an outgoing mail: one record per recipient, each
//    with a number of its own from the run's counter.
//
// Recipient names and addresses are cleaned up first (cis_identifier.h).
// `nhr` holds the sender, subject, date and time, and the direction set by
// the mailbox-owner rule.

#include <string>
#include <vector>

#include "import/converter.h"
#include "import/formats/mail/mail_converter.h"

namespace qb::import::cim {

bool appendCimMail(ImportContext& ctx, mail::MailTarget& target, NHR nhr,
                   const std::vector<mail::Recipient>& recipients, const std::string& text);

// The subject of a mail: one that begins with "Copy of:" loses its first
// nine characters.
std::string mailSubject(const std::string& stored);

}  // namespace qb::import::cim
