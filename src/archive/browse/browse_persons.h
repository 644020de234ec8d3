#pragma once
// The rows of the persons browse ("BrowsePerson"): the forum members, mail
// partners or newsgroup participants of the current database with what they
// sent and received and their keep status.

#include <cstdint>
#include <string>
#include <vector>

#include "archive/session.h"

namespace qb::store {

struct PersonRow {
  uint32_t id = 0;
  std::string lastName, firstName, address;  // archive texts
  uint32_t sent = 0, received = 0;           // PER:FROMCOUNT, PER:TOCOUNT
  uint8_t status = 0;                        // PER:DUMMY
  bool owner = false;                        // the owner of a mail database
};
enum class PersonOrder { ByName, ByAddress };
// Every person of the current database in name (last, first) or address
// order. Opens and closes Person.
std::vector<PersonRow> personRows(Session& s, PersonOrder order);

}  // namespace qb::store
