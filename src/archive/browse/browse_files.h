#pragma once
// The files a browse window holds open while it is shown, opened and
// closed by open count, and the closing of every archive file when the
// frame lets go of the current database.

#include <cstdint>

namespace qb::store {

class Session;

enum class BrowseFiles {
  Messages,    // the message browse: MsgNmbr, MsgText, Person, Sections, Threads
  Mail,        // the mail browse: Mail, MsgText, Person, CCR
  ThreadTree,  // the thread tree: MsgNmbr, Threads, Person
};

void openBrowseFiles(Session& s, BrowseFiles which);
void closeBrowseFiles(Session& s, BrowseFiles which);

// Reads the current database's status as stored now into ForumCheck (a
// status write by another copy of the program shows); returns it.
uint8_t refreshDatabaseStatus(Session& s);

// Closes every file of the archive and of the current database whatever
// its open count (the frame changing or leaving the database).
void closeArchiveFiles(Session& s);

}  // namespace qb::store
