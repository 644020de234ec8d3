#pragma once
// Choosing the database that becomes current: at start-up (the one active
// last, else the first in file order whose directory can be entered) and
// from the database selection list, whose rows are built here.

#include <cstdint>
#include <string>
#include <vector>

#include "archive/maildb.h"
#include "archive/records.h"
#include "archive/session.h"

namespace qb::store {

// Activating a Forums record: when its directory can be entered the
// database becomes current (Session::selectDatabase) and true is returned.
bool activateForum(Session& s, const Forums& f);

// The start-up database: setting 6 (the last active one) when it exists and
// activates, else the first record in file order that activates. False (no
// database current) when none does or there are no databases. Opens and
// closes Forums.
bool chooseStartupDatabase(Session& s);

// Remembers the current database as the one to start with (setting 6).
void rememberDatabase(Session& s);

// A row of the database selection list.
struct DatabaseRow {
  std::string DESCRIPTION, DBTYPE, DIRNAMN, COUNTSTRING, ALLOWIMPORT;
  uint32_t MSGCOUNT = 0, ID = 0, DIRNUMBER = 0;
  uint8_t NOIMPORT = 0, STATUS = 0;
};
enum class DatabaseOrder { ByName, ByDirectory };
// Every database in the chosen order. Opens and closes Forums.
std::vector<DatabaseRow> databaseRows(Session& s, DatabaseOrder order);
DatabaseRow databaseRow(const Forums& f);

// Makes the database `forumId` current as the selection list does (with
// the reference record update). False when its record cannot be read.
bool chooseDatabase(Session& s, uint32_t forumId);

// Adds a forum database named `name` (createDatabase; a failure such as a
// name in use is reported) while the current database stays current.
// Returns its FOR:ID, or 0.
uint32_t addForumDatabase(Session& s, const std::string& name);

// A row whose description is "Unknown:" followed by its directory name
// cannot be renamed.
bool renamable(const DatabaseRow& r);

// A row of the list of mail databases: its FOR:ID and the fields the user
// edits (name, default address, the alternative addresses that are set).
struct MailDatabaseRow {
  uint32_t ID = 0;
  MailDatabaseFields fields;
};
// The mail databases in name order.
std::vector<MailDatabaseRow> mailDatabaseRows(Session& s);

}  // namespace qb::store
