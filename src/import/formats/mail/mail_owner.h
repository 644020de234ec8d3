#pragma once
// The mailbox owner of a mail database and the mailbox-owner rule, which
// decides whether a mail was received or sent by the archive's user and puts
// the owner on that side of the mail.
//
// The owner's name is the mail database's name (its first 40 characters);
// the owner's addresses are the default address and up to ten alternative
// addresses, all compared in lower case. When the database cannot be read,
// name and address are both "CSINET".

#include <string>
#include <string_view>
#include <vector>

#include "import/work_records.h"

namespace qb::store {
class Session;
struct Forums;
}  // namespace qb::store

namespace qb::import::mail {

constexpr std::size_t kOwnerNameLength = 40;
constexpr const char* kUnknownOwner = "CSINET";

enum MailDirection : uint8_t { Incoming = 1, Outgoing = 2 };

struct MailOwner {
  std::string name;
  std::string address;                    // the default address as written
  std::vector<std::string> alternatives;  // up to ten, up to the first blank one

  // Is `address` (in any letter case) one of the owner's addresses?
  bool owns(std::string_view address) const;
};

// The owner recorded in a mail database's Forums record.
MailOwner ownerOf(const store::Forums& f);
// The owner of the mail database named `database` (any letter case); the
// "CSINET" owner when there is no such mail database or Forums cannot be
// read.
MailOwner loadMailOwner(store::Session& s, const std::string& database);

// The mailbox-owner rule over the sender and recipient of `nhr`: a sender
// address that is one of the owner's makes the mail outgoing, the sender the
// owner (main address and name) and the recipient address lower case;
// otherwise the mail is incoming, the recipient is the owner and the sender
// address lower case. Sets NHR:MAILTYPE and returns the direction.
MailDirection applyOwnerRule(NHR& nhr, const MailOwner& owner);

// Puts the owner on one side of the mail and lower-cases the other side's
// address, for readers whose direction is known otherwise (Eudora).
void setDirection(NHR& nhr, const MailOwner& owner, MailDirection direction);

std::string lowerAddress(std::string_view address);

}  // namespace qb::import::mail
