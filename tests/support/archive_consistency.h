#pragma once
// The consistency of one database after a purge or count, checked by brute
// force against its records:
//   - the counts (FOR:MSGCOUNT, PER:FROMCOUNT/TOCOUNT, THR:MSGCOUNT,
//     SEC:MSGCOUNT) equal a recount of the messages, and the database is
//     marked as counted;
//   - no person, thread or section without messages (the owner of a mail
//     database excepted);
//   - no orphan: every text has its message and every message its text; a
//     message's thread and a thread's section exist; every carbon copy has
//     its mail, every person link its person, every topic link its message
//     and topic, every word-index posting its message.
//
//   auto problems = qb::test::checkDatabase(session, forumId);
//   EXPECT_TRUE(problems.empty()) << problems[0];

#include <cstdint>
#include <string>
#include <vector>

#include "archive/session.h"

namespace qb::test {

struct ConsistencyOptions {
  bool counts = true;    // check the stored counts and that nothing is left empty
  bool postings = true;  // check the word-index postings
};

// At most `max` problems of database `forumId`, each a line of text; empty
// when the database is consistent.
std::vector<std::string> checkDatabase(store::Session& s, uint32_t forumId, ConsistencyOptions options = {},
                                       std::size_t max = 20);

// The same for every database of the archive at `home`, opened in a session
// of its own.
std::vector<std::string> checkArchive(const std::string& home, ConsistencyOptions options = {});

// Files of the archive at `home` (below it, every *.TPS store file) whose
// SQLite integrity check does not answer "ok", with what it answered. A
// file left with a hot journal by a killed process is rolled back first,
// as any opening does.
std::vector<std::string> integrityProblems(const std::string& home);

}  // namespace qb::test
