#pragma once
// The import run: converts every message of the chosen source files into
// work records, then stores the work records database by database and
// recounts persons, threads, sections and databases.
//
// The run is an engine object driven from outside: each call of step()
// performs one bounded step (one converter call, or one batch of stored
// records) and returns whether more steps are to come. The desktop program
// calls it from a timer, the command line in a loop. cancel() stops the run
// at the next step; during the storing phase the user is asked first.
//
//   ImportRun run(session, request);
//   while (run.step()) draw(run.progress());
//   report(run.stats(), run.finalMessage());

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "import/converter.h"
#include "import/file_list.h"
#include "import/message_store.h"
#include "import/run_databases.h"
#include "archive/counts.h"
#include "archive/session.h"
#include "import/run_timing.h"
#include "store/keyed_file.h"
#include "archive/records.h"

namespace qb::import {

enum class RunPhase {
  Start,
  NextEntry,
  NextFile,
  Convert,
  CloseConversion,
  NextDatabase,
  Store,
  PersonCount,
  ThreadCount,
  SectionCount,
  DatabaseCount,
  Register,
  End,
  Done,
};

// What the run did to one database.
struct DatabaseResult {
  uint32_t id = 0;
  std::string name;
  uint8_t kind = 0;
  bool created = false;     // added by this run
  uint32_t before = 0;      // messages in the database before storing
  uint32_t workRecords = 0; // work records converted for it
  uint32_t stored = 0;
  uint32_t duplicates = 0;
  uint32_t after = 0;       // messages after storing (0 when not counted)
};

struct RunStats {
  uint64_t workRecords = 0;  // records in the import work file
  uint64_t imported = 0;     // messages stored
  uint64_t duplicates = 0;   // duplicates not stored
  uint64_t skipped = 0;      // messages the converters passed over
  uint32_t files = 0;        // source files read
  uint32_t missingFiles = 0;
  uint32_t elapsedSeconds = 0;
  uint32_t specialFiles = 0;  // entries of a directory that are no regular files, passed over
  bool cancelled = false;
  bool failed = false;       // ended by a failure (a write, a lock, a key build, ...)
  bool spaceRefused = false; // stopped because too little disk space was free
  std::string failure;       // why a failed or space-refused run stopped
  std::vector<DatabaseResult> databases;
};

// What a progress display shows.
struct RunProgress {
  std::string status;         // "Importing messages", "Counting messages per person", ...
  std::string importingFrom;  // the source file being converted
  std::string importingTo;    // the database being stored into
  // Conversion: fraction of the source entries done, 0..1. Storing: the
  // work records of the current database done and their number.
  double conversion = 0;
  uint64_t storeDone = 0;
  uint64_t storeTotal = 0;
  uint64_t workRecords = 0;
  uint64_t stored = 0;
  bool storing = false;
};

class ImportRun : public ImportContext {
 public:
  ImportRun(store::Session& s, ImportRequest request);
  // A run with a converter of the caller's instead of the one of the import
  // type table (the tests drive the run with a scripted converter).
  ImportRun(store::Session& s, ImportRequest request, std::unique_ptr<Converter> converter);
  ~ImportRun() override;  // an unfinished run is ended: files closed, work files deleted
  ImportRun(const ImportRun&) = delete;
  ImportRun& operator=(const ImportRun&) = delete;

  // One bounded step; false once the run has ended.
  bool step();
  // Stops the run at the next step. During the storing phase the user is
  // asked first (unattended runs stop without asking).
  void cancel() { cancelRequested_ = true; }

  RunPhase phase() const { return phase_; }
  bool finished() const { return phase_ == RunPhase::Done; }
  const RunStats& stats() const { return stats_; }
  const RunProgress& progress() const { return progress_; }
  // The import type's name + " Import Processing".
  std::string caption() const;
  // "Scheduled import" while task processing runs, else the caption.
  std::string title() const;
  // "The import process has finished!" or "No messages to import!" once
  // the run has ended.
  const std::string& finalMessage() const { return finalMessage_; }

  // Called for each database that received messages when the run is part
  // of task processing (DoTask not 0), for the task's maintenance.
  std::function<void(uint32_t forumId)> registerForMaintenance;
  // Called once when the run has ended (task log, refresh of the browses).
  std::function<void(const RunStats&)> onEnd;

  // ---- ImportContext -----------------------------------------------------
  const ImportRequest& request() const override { return request_; }
  store::Session& session() override { return s_; }
  UserInterface& ui() override;
  const std::string& fileName() const override;
  Resolution resolveDatabase(const std::string& name, int kind, NHR& nhr, bool existsOnly = false) override;
  bool alreadyImported(uint32_t forumId, uint32_t msgNumber) override;
  uint32_t nextId() override;
  bool appendWork(NHR& nhr, const std::string& text) override;
  bool appendCC(const CCT& cc) override;
  bool appendTid(const TID& tid) override;
  void skipped() override { ++stats_.skipped; }
  void progress(int permille) override { filePermille_ = permille; }
  void stopRun() override { stopRequested_ = true; }
  void status(const std::string& text) override { progress_.status = text; }

  // The run's identifier counter (for tests).
  uint32_t counter() const { return counter_; }

 private:
  // Steps of the conversion phase.
  void start();
  void nextEntry();
  void nextFile();
  void convert();
  void closeConversion();
  bool callConverter();
  bool tempSpaceOk();
  bool workWritten(store::Err e);
  // Steps of the storing phase.
  void nextDatabase();
  void storeBatch();
  bool sectionFor(const NHR& nhr, uint32_t& secSysId);
  bool dataSpaceOk();
  bool flagDatabase(bool isNew);
  void countStep();
  void databaseCount();
  void startCount(RunPhase phase);
  std::vector<store::KeyedFile*> storingFiles();
  void registerStep();
  void end();
  // Cancelling and cleaning up.
  bool handleCancel();
  void fail();
  // A failed write: the cause (the store's or the system's text) and the
  // directory of the files being written, told once.
  void failWrite(store::Err e, const std::string& dir);
  void releaseControl();
  void closeDatabaseFiles();
  void cleanup();
  void updateConversionProgress();

  store::Session& s_;
  ImportRequest request_;
  RunPhase phase_ = RunPhase::Start;
  bool cancelRequested_ = false;
  bool stopRequested_ = false;  // a converter found its source unusable
  RunStats stats_;
  RunProgress progress_;
  std::string finalMessage_;
  StopWatch watch_;

  // Conversion.
  std::string typeName_;
  std::string masks_;
  std::unique_ptr<Converter> converter_;
  std::vector<SourceEntry> entries_;
  std::size_t entryIndex_ = 0;
  std::vector<std::string> files_;
  std::size_t fileIndex_ = 0;
  uint8_t command_ = 199;
  int filePermille_ = 0;
  uint32_t counter_ = 0;
  bool mainOpen_ = false;  // Forums and Control opened by the run
  bool controlLocked_ = false;
  bool workOpen_ = false;
  bool tempSpaceConfirmed_ = false;
  store::Err workError_ = store::Err::Ok;
  uint64_t sinceFlush_ = 0;
  RunDatabases databases_;
  std::map<uint32_t, uint32_t> workPerDatabase_;
  int32_t runDate_ = 0;
  int32_t runTime_ = 0;

  // Storing.
  std::vector<const RunDatabase*> received_;
  std::size_t dbIndex_ = 0;
  const RunDatabase* db_ = nullptr;
  uint64_t storedSinceCommit_ = 0;  // taken back when a failing write rolls the transaction back
  store::Forums dbRecord_;
  std::vector<store::FileNo> dbFiles_;
  std::unique_ptr<MessageStore> store_;
  std::map<std::pair<uint32_t, std::string>, uint32_t> sectionCache_;
  struct Sent {
    uint32_t from = 0, to = 0;
  };
  std::map<uint32_t, Sent> personCounts_;
  std::map<uint32_t, uint32_t> threadCounts_;
  std::map<uint32_t, uint32_t> sectionCounts_;
  // The count being written (persons, threads or sections) and how far.
  std::vector<std::pair<uint32_t, Sent>> countItems_;
  std::size_t countIndex_ = 0;
  bool countStarted_ = false;
  uint64_t sinceCommit_ = 0;
  int stepSize_ = 50;
  bool dataSpaceConfirmed_ = false;
  // The database's counts were already due before this run stored into it:
  // they are recounted from its messages instead of raised.
  bool countsDue_ = false;
  // The run holds the archive's run lock and, once storing began, has left
  // the run marker (removed when every count is written).
  store::RunGuard runGuard_;
  bool markerWritten_ = false;

  // The current database of the session before the run, restored at its end.
  store::Session::DatabaseSelection saved_;
};

}  // namespace qb::import
