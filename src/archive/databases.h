#pragma once
// Creating a database: its Forums record with a fresh identifier and the
// next free directory number, and its directory with the reference record.

#include <cstdint>
#include <string>

#include "archive/record_access.h"
#include "archive/session.h"

namespace qb::store {

// Adds a database of `kind` (1 forum, 2 mail, 3 newsgroup) named `name`:
// FOR:ID from NextNr, FOR:DIRNUMBER one more than the highest in use,
// FOR:CREATED today, FOR:WORDLISTINDEXNEEDSUPDATE 1; then creates its
// directory, writes the reference record and makes it current. The new
// record is left in the Forums buffer. Returns its FOR:ID, or 0 when it
// could not be added (reported in `errMode`; a name that exists in any
// letter case is refused with the duplicate-key message).
// Forums (2) and Control (8) are opened and closed here by open count.
uint32_t createDatabase(Session& s, uint8_t kind, const std::string& name, ErrMode errMode);

// The Forums record of database `forumId` into `out`; false when there is
// none. Forums (2) is opened and closed here by open count.
bool readDatabase(Session& s, uint32_t forumId, Forums& out);

// The highest FOR:DIRNUMBER in use; 0 when there is no database. Forums
// must be open.
uint32_t highestDirNumber(Session& s);

}  // namespace qb::store
