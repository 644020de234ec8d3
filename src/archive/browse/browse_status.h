#pragma once
// Status writes of the browses: 0 normal, 1 keep, 2 delete into the status
// byte of a message, mail, thread, section, person (mail partner) or
// database. Each write holds the record by its unique key (HoldRec) and puts
// it (UppDat); when either fails nothing changes and false is returned.
// The files written must be open.

#include <cstdint>

#include "archive/session.h"

namespace qb::store {

enum class StatusTarget { Message, Thread, Section, Database, Mail, Partner };

// `id`: MSG:MSGNUMBER, THR:THREADNUMBER, SEC:SECSYSID, FOR:ID, MAI:MAILID
// or PER:PERSONID. A database write also sets ForumCheck when it is the
// current database. Forums (file 2) is opened and closed here.
bool setStatus(Session& s, StatusTarget target, uint32_t id, uint8_t status);

// The import flag of a database (FOR:NOIMPORT); written only when it
// changes. False when the record cannot be held or written.
bool setImportAllowed(Session& s, uint32_t forumId, bool allowed);
// A new name (FOR:DESCRIPTION) for a database; false on failure (reported,
// e.g. a name in use). Updates Description when it is the current one.
bool renameDatabase(Session& s, uint32_t forumId, const std::string& name);

}  // namespace qb::store
