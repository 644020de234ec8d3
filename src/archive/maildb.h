#pragma once
// Mail databases: creating one for an owner (its directory, the owner's
// Person record, its Forums record with the owner's default and alternative
// addresses, and its reference record, all in one transaction), changing its
// name and addresses, and listing them.

#include <cstdint>
#include <string>
#include <vector>

#include "archive/records.h"
#include "archive/session.h"

namespace qb::store {

constexpr std::size_t kMailDbNameLength = 40;  // " Mail database name "
constexpr std::size_t kMailAddressLength = 60;
constexpr std::size_t kMaxAltAddresses = 10;

struct MailDatabaseFields {
  std::string name;                       // the database's name, also the owner's name
  std::string address;                    // the owner's default mail address
  std::vector<std::string> alternatives;  // up to ten further addresses of the owner
};

// What is wrong with the fields, as a message for the user; empty when they
// can be saved. A name and a default address are needed; the name has at
// most 40 characters, every address at most 60, and there are at most ten
// alternative addresses.
std::string checkMailDatabaseFields(const MailDatabaseFields& fields);

// Creates a mail database: the next free directory, and in one transaction
// the owner's Person record (AddPers with the name and the default address),
// the Forums record (FOR:ID from NextNr, kind 2, created today, the owner as
// FOR:PERSONID, name and addresses) and the reference record. Any failure
// rolls the transaction back (reported as record access reports it) and
// removes the directory again. Returns the new FOR:ID, or 0. The current
// database of the session is the same afterwards.
uint32_t createMailDatabase(Session& s, const MailDatabaseFields& fields);

// Writes a changed name and changed addresses into the mail database
// `forumId`, with its reference record, in one transaction. False when the
// database is not a mail database, its record is held elsewhere, or a write
// failed (reported).
bool updateMailDatabase(Session& s, uint32_t forumId, const MailDatabaseFields& fields);

// The mail databases in name order.
std::vector<Forums> listMailDatabases(Session& s);
// The mail database named `name` (any letter case); false when none.
bool findMailDatabase(Session& s, const std::string& name, Forums& out);

}  // namespace qb::store
