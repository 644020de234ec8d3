#pragma once
// Merging duplicate persons of one database: persons whose addresses are
// equal without regard to letter case form a group; one member survives,
// the messages (forum, newsgroup) or mails of the others are moved to it,
// their identity strings (and the links that pointed to them) become PLINK
// links to it, so that a later import of the same name and address finds
// the survivor, and they are deleted. Then every person is recounted
// (archive/counts.h) and persons left without any message are removed.
//
// The merge is an engine object driven from outside, like the import run:
//
//   MergePersons run(session, forumId);          // or dryRun = true
//   while (run.step()) draw(run.progress());
//   report(run.groups(), run.counters());
//
// Each step does a bounded amount of work (the merge speed setting). All
// writes for one group (messages, links, deleted persons, the survivor's
// counts) are in one transaction, so a run that is killed leaves every group
// either merged or untouched. A dry run finds exactly the groups and
// survivors a real run would, and writes nothing.

#include <cstdint>
#include <set>
#include <map>
#include <string>
#include <vector>

#include "archive/session.h"

namespace qb::store {
enum class UppAction;
}

namespace qb::maintenance {

// One person of a group.
struct MergeMember {
  uint32_t id = 0;
  std::string personString;  // PER:PERSONSTRING
  std::string lastName;      // PER:LASTNAME (after address repair)
  std::string firstName;
  std::string address;       // PER:ADDRESS (after address repair)
  uint32_t sent = 0;         // messages (mails) it sent
  int32_t newestDate = 0;    // date and time of its newest sent message
  int32_t newestTime = 0;
};

// Persons sharing one address.
struct MergeGroup {
  std::string address;              // the shared address, as the first member has it
  std::vector<MergeMember> members;  // in identifier order, the survivor among them
  std::size_t survivor = 0;          // index of the survivor in members
  std::string reason;                // why the survivor stays
  const MergeMember& kept() const { return members[survivor]; }
};

// The figures of the merge window.
struct MergeCounters {
  uint32_t before = 0;           // persons before the run
  uint32_t withoutMessages = 0;  // removed: neither sent nor received anything
  uint32_t merged = 0;           // duplicates merged into a survivor
  uint32_t remaining() const {
    uint32_t gone = withoutMessages + merged;
    return before > gone ? before - gone : 0;
  }
};

struct MergeProgress {
  std::string caption;  // "Identifying duplicate Forum Members", ...
  uint64_t done = 0;
  uint64_t total = 0;
};

class MergePersons {
 public:
  // Works on database `forumId`; the session's current database is put back
  // when the run ends.
  MergePersons(store::Session& s, uint32_t forumId, bool dryRun = false);
  ~MergePersons();  // an unfinished run is ended: open work committed, files closed
  MergePersons(const MergePersons&) = delete;
  MergePersons& operator=(const MergePersons&) = delete;

  // One bounded step; false once the run has ended.
  bool step();
  // Stops the run at the next step. Groups already merged stay merged; the
  // counts of persons may then be out of date until the next count.
  void cancel() { cancelRequested_ = true; }
  // Records handled per step (default: the merge speed setting).
  void setSliceSize(int n) { slice_ = n > 0 ? n : 1; }

  bool finished() const { return state_ == State::Done; }
  bool failed() const { return failed_; }
  bool cancelled() const { return cancelled_; }
  bool dryRun() const { return dryRun_; }
  const std::string& error() const { return error_; }
  uint8_t kind() const { return kind_; }
  const std::string& databaseName() const { return dbName_; }
  const MergeProgress& progress() const { return progress_; }
  const MergeCounters& counters() const { return counters_; }
  // The groups found (complete once the survivors are chosen).
  const std::vector<MergeGroup>& groups() const { return groups_; }
  // Persons whose address was taken from their identity string.
  uint32_t repaired() const { return repaired_; }
  // "The Duplicate Removal Process has finished!" once the run has ended.
  const std::string& finalMessage() const { return finalMessage_; }
  uint32_t elapsedSeconds() const;

 private:
  enum class State { Start, Repair, Group, Count, Choose, Merge, Recount, Remove, Links, Done };
  struct Repair {
    std::string address, lastName, firstName;
    std::string filedAs;  // the last name its messages still carry (a dry run rewrites nothing)
  };
  void start();
  void findRepairs();
  void repairSlice();
  bool repairPerson(uint32_t id, const Repair& r);
  void group();
  void countSlice();
  void choose();
  void mergeSlice();
  bool mergeGroup(const MergeGroup& g);
  void recount();
  void removeSlice();
  void cleanLinks();
  void finish();
  void fail(const std::string& why);
  bool begin();
  bool commit();
  bool write(store::KeyedFile& f, store::UppAction action);
  bool endTick(bool stageDone);
  void closeFiles();
  bool dryRunWithoutMessages();

  store::Session& s_;
  uint32_t forumId_;
  bool dryRun_;
  State state_ = State::Start;
  bool cancelRequested_ = false, cancelled_ = false, failed_ = false;
  bool filesOpen_ = false, selected_ = false;
  store::Session::DatabaseSelection saved_;
  int slice_ = 0;
  uint8_t kind_ = 0;
  uint32_t owner_ = 0;  // the owner's person of a mail database
  std::string dbName_, error_, finalMessage_;
  MergeProgress progress_;
  MergeCounters counters_;
  uint32_t repaired_ = 0;
  std::vector<uint32_t> repairIds_;
  std::map<uint32_t, Repair> repairs_;  // dry run: the repaired values, not written
  std::vector<MergeGroup> groups_;
  std::size_t next_ = 0, nextMember_ = 0;
  std::vector<uint32_t> removeIds_;
  int64_t started_ = 0;
  int writes_ = 0;  // writes since the transaction began
};

// Window texts by kind of database (1 forum, 2 mail, 3 newsgroup).
struct MergeTexts {
  std::string header;     // "Merge Duplicate Forum Members"
  std::string existing;   // "Existing Forum Members in database:"
  std::string obsolete;   // "Obsolete Forum Members removed:"
  std::string merged;     // "Duplicate Forum Members merged:"
  std::string remaining;  // "Remaining Forum Members:"
  std::string persons;    // "Forum Members"
};
MergeTexts mergeTexts(uint8_t kind);
// " Duplicate Merging [name]" or, unattended, " Scheduled Duplicate Merging [name]".
std::string mergeTitle(const std::string& description, bool unattended);

}  // namespace qb::maintenance
