#pragma once
// Message counts of a database and the marker of an unfinished import run.
//
// The counts (FOR:MSGCOUNT, PER:FROMCOUNT and PER:TOCOUNT, THR:MSGCOUNT,
// SEC:MSGCOUNT) are recomputed here from the messages themselves, in one
// transaction that also clears FOR:COUNTFLAG, so a database is either counted
// or still flagged. An import run flags each database before it stores into
// it and records in the Control file that it is running; a run that was
// killed leaves both behind, and the next run, the `count` command or the
// next opening of the archive recounts the flagged databases.
//
//   RunGuard guard;
//   if (!guard.acquire(s)) ...            // another run is active
//   finishUnfinishedRun(s);               // counts left by a killed run
//   markRunStarted(s); ... markRunEnded(s);

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "archive/session.h"
#include "store/file_lock.h"

namespace qb::store {

// What a recount changed.
struct RecountTotals {
  uint32_t messages = 0;  // messages of the database (the new FOR:MSGCOUNT)
  uint32_t persons = 0;   // person records whose counts changed
  uint32_t threads = 0;   // thread records whose counts changed
  uint32_t sections = 0;  // section records whose counts changed
};

// The messages of one database tallied in one pass over its message file:
// messages from and to each person, per thread and per section. The
// recount below and the count steps of the purge both count this way.
struct MessageTally {
  struct FromTo {
    uint32_t from = 0, to = 0;
  };
  std::unordered_map<uint32_t, FromTo> persons;
  std::unordered_map<uint32_t, uint32_t> threads;
  std::unordered_map<uint32_t, uint32_t> sections;
  uint32_t messages = 0;

  void add(const MsgNmbr& m);
  void add(const Mail& m);
  FromTo personCounts(uint32_t personId) const;
  uint32_t threadCount(uint32_t threadNumber) const;
  uint32_t sectionCount(uint32_t secSysId) const;
};

// Store the tally's counts in a record; true when they differed (the record
// is then to be written back).
bool applyCounts(const MessageTally& t, Person& p);
bool applyCounts(const MessageTally& t, Threads& r);
bool applyCounts(const MessageTally& t, Sections& r);

// Recounts database `forumId` from its messages: persons (messages from and
// to them), threads and (forum databases) sections, then FOR:MSGCOUNT, with
// FOR:COUNTFLAG cleared, all in one transaction. Records without messages
// are kept with zero counts. The current database of the session is put back
// afterwards. False when the database does not exist or a write failed (told;
// the transaction is rolled back and the flag stays set).
bool recountDatabase(Session& s, uint32_t forumId, RecountTotals* totals = nullptr);

// The databases whose counts are due (FOR:COUNTFLAG set), by identifier.
std::vector<uint32_t> databasesToCount(Session& s);

// The lock an import run holds from its start to its end (CFG/IMPORT.lck),
// so that a run marker left behind can be told from a run still going on.
class RunGuard {
 public:
  // False when another run of this archive holds it.
  bool acquire(Session& s);
  void release() { lock_.close(); }
  bool held() const { return lock_.isOpen(); }

 private:
  FileLock lock_;
};

// Whether an import run is going on in another process.
bool runActive(Session& s);

// The run marker (Control record kRunMarkerId): written when a run begins to
// store, removed when its counts are written. True on success.
constexpr uint8_t kRunMarkerId = 30;
bool markRunStarted(Session& s);
bool markRunEnded(Session& s);
bool runMarkerFound(Session& s);

// When a run marker is left and no run is going on (other than the caller's,
// when it holds `own`): recounts every flagged database and removes the
// marker. Returns the number of databases recounted; -1 when a recount
// failed (the marker stays for the next try).
int finishUnfinishedRun(Session& s, const RunGuard* own = nullptr);

}  // namespace qb::store
