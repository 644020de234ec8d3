#pragma once
// Counting and purging one database, as an engine object driven from
// outside: the purge window's timer or the command line's loop calls step()
// until it returns false, and shows progress() and caption() meanwhile.
//
//   purge  deletes what has delete status (messages, threads, sections,
//          persons and mail partners; in a mail database first the copies
//          found by the duplicate elimination), optionally the threads whose
//          last message is older than an age limit, then removes what no
//          longer belongs to anything (carbon copies, person links, topic
//          links, word-index postings) and recounts;
//   count  recounts the topics' links, repairs the receivers of newsgroup
//          replies and recounts persons, threads, sections and the database
//          total; persons, threads and sections without messages go.
//
// A message or mail is deleted with its text, its topic links and its
// carbon copies in one transaction; the postings of the word index (a file
// of its own) follow in the purge's word-index step, which also takes those
// of messages deleted by an earlier purge that was stopped.
//
// The work is cut into steps, each numbered by its code (stepCode()). A
// tick handles at most the speed setting's number of records; writes go
// into one transaction committed after about 400 writes, followed by a
// check of the free space in the database directory. A failed write rolls
// its transaction back, is told, and ends the run; what earlier transactions
// committed stays, and a following purge or count finishes the job.
//
//   PurgeRun run(session, {PurgeMode::Purge, ageWeeks});
//   if (run.start() == StartResult::Started)
//     while (run.step()) draw(run.done(), run.total(), run.caption());

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "archive/counts.h"
#include "archive/session.h"
#include "maintenance/mail_duplicates.h"
#include "maintenance/task_report.h"

namespace qb::maintenance {

enum class PurgeMode { Purge, Count };

struct PurgeOptions {
  PurgeMode mode = PurgeMode::Purge;
  int ageWeeks = 0;           // age rule: threads older than this many weeks go; 0 = off
  int sliceSize = 0;          // records per tick; 0 = the count/purge speed setting
  bool completionMessage = true;  // tell the time of completion when the setting asks for it
  // Mail databases: stop once the duplicates have delete status (nothing
  // is deleted or recounted).
  bool duplicatesOnly = false;
};

struct PurgeStats {
  uint32_t before = 0;   // messages before the run
  uint32_t deleted = 0;  // messages deleted in this run
  uint32_t after = 0;    // messages after the run
  uint32_t agedThreads = 0;
  uint32_t duplicatesMarked = 0;
  uint32_t timesNormalised = 0;
  uint32_t threadsDeleted = 0;
  uint32_t sectionsDeleted = 0;
  uint32_t personsDeleted = 0;
  uint32_t copiesRemoved = 0;      // carbon-copy records of deleted mail
  uint32_t linksRemoved = 0;       // person links of deleted persons
  uint32_t topicLinksRemoved = 0;  // topic links of deleted messages or topics
  uint32_t topicsRecounted = 0;
  uint32_t receiversRepaired = 0;
  uint32_t personsRecounted = 0, threadsRecounted = 0, sectionsRecounted = 0;
  int64_t postingsRemoved = 0;
  uint32_t threads = 0, persons = 0;  // threads and persons of the database at the end
  double seconds = 0;
  bool done = false;          // the last counting step stored the totals
  bool failed = false;
  bool ended = false;         // stopped by the end button before its end
  bool databaseRemoved = false;
  std::string failure;        // why a failed run stopped
};

enum class StartResult {
  Started,          // step() does the work now
  Refused,          // the question about a database marked for deletion was answered Cancel
  DatabaseRemoved,  // the whole database was removed
  Failed,           // the files could not be opened, the database is gone, ...
};

class PurgeRun {
 public:
  // Works on the session's current database.
  PurgeRun(store::Session& s, PurgeOptions options);
  ~PurgeRun();  // an unfinished run commits its tick and closes its files
  PurgeRun(const PurgeRun&) = delete;
  PurgeRun& operator=(const PurgeRun&) = delete;

  // Opens the database's files and fills the counters (stats().before).
  // False when there is no current database.
  bool open();
  // Starts the run (opening first when needed). A purge of a database
  // marked for deletion asks first, unless unattended (then every section
  // without keep status is emptied); `removeWhenMarked` answers the
  // question in advance (the command line's --yes).
  StartResult start();
  void answerRemoval(bool yes) { removalAnswer_ = yes ? 1 : 2; }
  // One tick; false once the run has ended (finished, failed or ended).
  bool step();
  // The end button: commits the tick's transaction, closes the files and
  // ends the run. Counts may be partly updated then.
  void end();

  bool finished() const { return state_ == State::Finished; }
  bool running() const { return state_ == State::Running; }
  int stepCode() const { return step_; }
  const std::string& caption() const { return caption_; }
  int64_t done() const { return done_; }
  int64_t total() const { return total_; }
  const PurgeStats& stats() const { return stats_; }
  // The duplicate groups found by a purge of a mail database.
  const DuplicateScan& duplicates() const { return scan_; }
  PurgeMode mode() const { return options_.mode; }
  uint8_t databaseKind() const { return kind_; }
  const std::string& databaseName() const { return name_; }
  bool unattended() const;

  // " Message Purging " / " Message Counting ", " Scheduled Message
  // Purging [name]" when unattended, " Purging Messages .. Please Wait!"
  // while running.
  std::string title() const;
  // The message shown at the end: "The time for completion was: N seconds".
  std::string completionText() const;

  // Told once when an interactive run has finished: the open browse of the
  // database refreshes.
  std::function<void(uint32_t forumId)> onRefresh;
  // The task processing's report of unattended runs (not owned).
  TaskReport* report = nullptr;

 private:
  enum class State { Idle, Running, Finished };

  // Steps.
  void ageRule();
  void markAged();
  void countStatusThreads();
  // One slice of emptying the groups listed in work_ (threads, or the
  // partners of a mail database): `listMessages` puts a group's messages
  // into threadMsgs_; every one without keep status goes with its text, and
  // `removeGroup` deletes a group that keeps none (false: a write failed).
  // True once every group is done.
  bool emptyGroups(const std::function<void(uint32_t)>& listMessages,
                   const std::function<bool(uint32_t)>& removeGroup);
  void deleteThreadMessages(bool sectionsStep);
  void countStatusMessages();
  void deleteStatusMessages();
  void collectSections();
  void nextSection();
  void normaliseTimes();
  void markDuplicates();
  void countStatusPersons();
  void deletePartnerMails();
  void removeOrphanCopies();
  void removeOrphanLinks();
  void removeOrphanTopicLinks();
  void recountTopics();
  void purgeWordIndex();
  void repairReceivers();
  void recountPersons();
  void recountThreads();
  void recountSections();
  // One slice of a thread or section recount: the records of `f` (listed by
  // `id` on the first call) that hold no message any more are deleted, the
  // others get the tally's counts. True once every record is done; false
  // while records are left or after a failed write.
  template <class R>
  bool recountRecords(store::Table<R>& f, uint32_t R::*id, int key,
                      uint32_t (store::MessageTally::*countOf)(uint32_t) const, uint32_t& deleted,
                      uint32_t& recounted);
  void finish();

  // Step plumbing.
  void go(int code, const std::string& caption);
  void setRange(int64_t total);
  bool sliceLeft() const { return slice_ <= sliceSize_; }
  void counted(int n = 1);
  bool ensureTransaction();
  bool commit();
  bool spaceOk(uint64_t required);
  bool write(store::KeyedFile& f, bool remove);
  void fail(const std::string& cause);
  void failWrite();
  void closeFiles();
  void firstStep();
  void firstCountStep();
  void resetLists();
  // Deletes a message or mail with its text: 1 deleted, 0 left alone
  // (its text is missing), -1 a write failed.
  int deleteMessage(uint32_t id);
  bool messageExists(uint32_t id);
  // Deletes the person links of a person (its identity strings).
  bool deleteLinksOf(uint32_t personId);
  std::vector<store::KeyedFile*> writtenFiles();

  store::Session& s_;
  PurgeOptions options_;
  State state_ = State::Idle;
  bool opened_ = false;
  int removalAnswer_ = 0;  // 0 ask, 1 yes, 2 no
  uint32_t forumId_ = 0;
  uint8_t kind_ = 0;
  bool markedForDeletion_ = false;
  uint32_t ownerId_ = 0;
  std::string name_;
  std::vector<store::FileNo> files_;
  int step_ = 0;
  int phase_ = 0;  // sub-phase of the current step
  std::string caption_;
  int64_t done_ = 0, total_ = 0;
  int sliceSize_ = 100;
  int slice_ = 0;
  int writes_ = 0;
  PurgeStats stats_;
  std::chrono::steady_clock::time_point started_{};

  // Lists of the run.
  std::vector<uint32_t> deleted_;  // messages deleted in this run
  std::vector<uint32_t> work_;     // the current step's records, by identifier
  std::size_t index_ = 0;
  std::vector<uint32_t> threadMsgs_;  // messages of the thread being emptied
  std::size_t msgIndex_ = 0;
  bool threadKept_ = false;
  bool threadStarted_ = false;
  std::vector<uint32_t> sections_;  // sections to empty
  std::size_t sectionIndex_ = 0;
  std::vector<std::pair<uint32_t, uint32_t>> repairs_;  // (message, replied-to message)
  std::unique_ptr<store::MessageTally> tally_;
  DuplicateScan scan_;
};

}  // namespace qb::maintenance
