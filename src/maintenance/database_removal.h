#pragma once
// Removing a whole database that was marked for deletion: its directory
// (with every file in it, and the word-index directory when the index lies
// elsewhere) and its Forums record.

#include <cstdint>
#include <string>

#include "archive/session.h"

namespace qb::maintenance {

// Removes database `forumId`. Its files must not be open in this session
// (they are closed here when they are). When it was the current database,
// no database is current afterwards. False when the record could not be
// deleted (told); a directory that cannot be removed completely is told and
// the record stays, so that a later try can finish.
bool removeDatabase(store::Session& s, uint32_t forumId);

}  // namespace qb::maintenance
