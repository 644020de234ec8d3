// The import run: start, conversion phase, the converters' context, and the
// end of the run. The storing phase is in run_storing.cpp.
#include "import/import_run.h"

#include <filesystem>

#include "import/import_types.h"
#include "import/utf8_text.h"
#include "archive/config.h"
#include "text/datetime.h"
#include "archive/file_table.h"
#include "archive/paths.h"
#include "archive/record_access.h"
#include "archive/session.h"

namespace qb::import {
namespace {

using store::Err;

constexpr uint64_t kMinFreeBytes = 5000000;
// Work records between two flushes of the work files. A flush is a commit
// of each work file; they need no durability, so few are enough (the page
// cache bounds the memory whatever the number).
constexpr uint64_t kFlushEvery = 5000;
constexpr store::FileNo kWorkFiles[] = {store::FileNo::ImportWork, store::FileNo::CarbonCopyWork,
                                        store::FileNo::MessageIdWork};

const char* const kNoControl = "No access to Control File!\r\nImport will not proceed!\r\n";

}  // namespace

ImportRun::ImportRun(store::Session& s, ImportRequest request) : s_(s), request_(std::move(request)) {
  const ImportType* t =
      request_.typeName.empty() ? &importType(kDefaultImportType) : findImportType(request_.typeName);
  typeName_ = t ? t->name : request_.typeName;
  masks_ = !request_.pattern.empty() ? request_.pattern : t ? t->defaultMask : "*.*";
  // The CIM reader knows its files by their signature and passes over others.
  if (request_.allCimFiles && isCimType(typeName_)) masks_ = "*.*";
  saved_ = s.currentDatabase();
}

ImportRun::ImportRun(store::Session& s, ImportRequest request, std::unique_ptr<Converter> converter)
    : ImportRun(s, std::move(request)) {
  converter_ = std::move(converter);
}

ImportRun::~ImportRun() {
  if (phase_ == RunPhase::Done) return;
  try {
    if (s_.transaction().active()) s_.transaction().commit();
    cleanup();
  } catch (...) {
    // The program is stopping (a fatal stop); nothing more can be done.
  }
}

std::string ImportRun::caption() const {
  std::string n = typeName_;
  while (!n.empty() && n.back() == ' ') n.pop_back();
  return n + " Import Processing";
}

std::string ImportRun::title() const { return s_.DoTask != 0 ? "Scheduled import" : caption(); }

UserInterface& ImportRun::ui() { return s_.ui(); }
const std::string& ImportRun::fileName() const { return s_.FileTmpName; }

bool ImportRun::step() {
  if (phase_ == RunPhase::Done) return false;
  if (cancelRequested_ && !handleCancel()) return phase_ != RunPhase::Done;
  switch (phase_) {
    case RunPhase::Start: start(); break;
    case RunPhase::NextEntry: nextEntry(); break;
    case RunPhase::NextFile: nextFile(); break;
    case RunPhase::Convert: convert(); break;
    case RunPhase::CloseConversion: closeConversion(); break;
    case RunPhase::NextDatabase: nextDatabase(); break;
    case RunPhase::Store: storeBatch(); break;
    case RunPhase::PersonCount:
    case RunPhase::ThreadCount:
    case RunPhase::SectionCount: countStep(); break;
    case RunPhase::DatabaseCount: databaseCount(); break;
    case RunPhase::Register: registerStep(); break;
    case RunPhase::End: end(); break;
    case RunPhase::Done: break;
  }
  return phase_ != RunPhase::Done;
}

// Returns true when the step should go on as planned.
bool ImportRun::handleCancel() {
  cancelRequested_ = false;
  if (phase_ == RunPhase::End) return true;
  bool storing = phase_ >= RunPhase::NextDatabase;
  if (storing && !s_.suppressed()) {
    Button b = s_.ask(
        "Stopping at this stage will cause message counts \r\nper section, thread and person to be "
        "incorrect.\r\nIf you do quit, please run the Count Messages process to correct the numbers! Are you "
        "sure you want to quit?",
        "Import process interrupted", Button::Yes | Button::No, Button::No);
    if (b != Button::Yes) return true;
  }
  if (s_.DoTask == 2) s_.DoTask = 6;
  stats_.cancelled = true;
  // A failed commit has been rolled back; the run ends either way.
  if (s_.transaction().active()) static_cast<void>(store::commitTransaction(s_));
  phase_ = RunPhase::End;
  return false;
}

void ImportRun::fail() {
  stats_.failed = true;
  if (s_.transaction().active()) s_.transaction().rollback();
  phase_ = RunPhase::End;
}

void ImportRun::failWrite(store::Err e, const std::string& dir) {
  std::string cause = store::lastSystemError();
  if (cause.empty() || e != store::Err::DiskFull) cause = store::errorText(e);
  stats_.failure = cause + " (in " + dir + ")";
  s_.tell("The import was stopped: " + stats_.failure + ".\r\nThe open transaction was rolled back; what earlier "
          "transactions stored stays in the archive.",
          "Import Error");
  fail();
}

// ---- step 1: start -----------------------------------------------------------

void ImportRun::start() {
  if (!converter_) converter_ = makeConverter(typeName_);
  if (!converter_) {
    s_.tell("The import type " + typeName_ + " is not available!", "Warning!");
    stats_.failed = true;
    phase_ = RunPhase::End;
    return;
  }
  // The step size and the completion setting come from the settings of the
  // archive; they are loaded here when the session has not loaded them yet.
  int32_t probe = 0;
  if (!store::Konfig(s_, store::KonfigAction::GetDisplay, store::SetShowCompletion, probe)) {
    store::Konfig(s_, store::KonfigAction::LoadDisplay);
    store::SpeedVal(s_, store::SpeedAction::Compute);
  }
  stepSize_ = store::SpeedVal(s_, store::SpeedAction::BatchSize, store::SpeedImport);
  if (stepSize_ < 8) stepSize_ = 50;

  if (!runGuard_.acquire(s_)) {
    s_.tell("Another import is running on this archive!\r\nImport will not proceed!\r\n", "Warning!");
    stats_.failed = true;
    stats_.failure = "another import is running on this archive";
    phase_ = RunPhase::End;
    return;
  }
  // Counts left behind by a run that was killed are made right first.
  if (store::finishUnfinishedRun(s_, &runGuard_) < 0) {
    stats_.failed = true;
    stats_.failure = "the counts left by an unfinished import could not be written";
    phase_ = RunPhase::End;
    return;
  }
  store::OP_CLOSE(s_, store::OpOpen, {store::FileNo::Forums, store::FileNo::Control});
  mainOpen_ = true;
  auto& ctl = s_.Control();
  ctl.clear();
  ctl.rec.ID = 1;
  if (ctl.get(store::Control::IdKey) != Err::Ok || ctl.rec.NEXTNUMBER == 0 || ctl.lock(5) != Err::Ok) {
    s_.tell(kNoControl, "Warning!");
    stats_.failed = true;
    phase_ = RunPhase::End;
    return;
  }
  controlLocked_ = true;
  counter_ = ctl.rec.NEXTNUMBER;
  databases_.load(s_);

  // Another run on the same temporary directory holds the lock of its
  // import work file; its work files must not be deleted under it.
  store::OP_CLOSE(s_, store::OpOpen, {store::FileNo::ImportWork});
  Err busy = s_.file(store::FileNo::ImportWork).lock(1);
  if (busy == Err::Ok) s_.file(store::FileNo::ImportWork).unlock();
  store::OP_CLOSE(s_, store::OpCloseNow, {store::FileNo::ImportWork});
  if (busy != Err::Ok) {
    s_.tell("Another import is using the temporary directory " + s_.TempDir + "!\r\nImport will not proceed!\r\n",
            "Warning!");
    stats_.failed = true;
    phase_ = RunPhase::End;
    return;
  }
  store::OP_CLOSE(s_, store::OpDelete,
                  {store::FileNo::ImportWork, store::FileNo::CarbonCopyWork, store::FileNo::MessageIdWork});
  store::OP_CLOSE(s_, store::OpOpen,
                  {store::FileNo::ImportWork, store::FileNo::CarbonCopyWork, store::FileNo::MessageIdWork,
                   store::FileNo::SaveFile});
  workOpen_ = true;
  for (store::FileNo no : kWorkFiles) s_.file(no).stream();
  s_.file(store::FileNo::ImportWork).lock(1);

  runDate_ = text::today();
  runTime_ = text::clockNow();
  watch_.StartStop(1, 2);
  entries_ = sourceEntries(request_.selectionMethod, request_.sourcePath, request_.files);
  phase_ = RunPhase::NextEntry;
}

// ---- steps 2 to 4: source entries, files, conversion ---------------------------

void ImportRun::updateConversionProgress() {
  if (entries_.empty()) return;
  double inEntry = 0;
  if (!files_.empty()) {
    double done = fileIndex_ == 0 ? 0 : double(fileIndex_ - 1) + filePermille_ / 1000.0;
    inEntry = std::min(1.0, done / double(files_.size()));
  }
  double entriesDone = entryIndex_ == 0 ? 0 : double(entryIndex_ - 1) + inEntry;
  progress_.conversion = std::min(1.0, entriesDone / double(entries_.size()));
  progress_.workRecords = stats_.workRecords;
}

void ImportRun::nextEntry() {
  if (entryIndex_ >= entries_.size()) {
    phase_ = RunPhase::CloseConversion;
    return;
  }
  const SourceEntry& e = entries_[entryIndex_++];
  if (e.directory) {
    DirectoryListing l = listDirectory(e.path, masks_);
    if (!l.error.empty()) {
      ++stats_.missingFiles;
      s_.tell("The directory " + e.path + " cannot be read: " + l.error + "; it will be skipped!", " Import Error ");
    }
    for (const auto& [path, why] : l.passedOver) {
      ++stats_.specialFiles;
      s_.tell("The file " + path + " " + why + " and will be skipped!", " Import Error ");
    }
    files_ = std::move(l.files);
  } else {
    files_ = {e.path};
  }
  fileIndex_ = 0;
  phase_ = RunPhase::NextFile;
  updateConversionProgress();
}

void ImportRun::nextFile() {
  if (fileIndex_ >= files_.size()) {
    phase_ = RunPhase::NextEntry;
    return;
  }
  const std::string& name = files_[fileIndex_++];
  s_.FileTmpName = name;
  progress_.importingFrom = name;
  progress_.status.clear();
  filePermille_ = 0;
  if (std::string why = unreadableReason(name); !why.empty()) {
    ++stats_.missingFiles;
    s_.tell("The file " + name + " " + why + " and will be skipped!", " Import Error ");
    return;
  }
  ++stats_.files;
  command_ = 199;
  bool done = callConverter();
  if (command_ == 199) command_ = 99;
  if (workError_ != Err::Ok) {
    failWrite(workError_, s_.TempDir);
    return;
  }
  if (stopRequested_) {
    fail();
    return;
  }
  phase_ = done ? RunPhase::NextFile : RunPhase::Convert;
  updateConversionProgress();
}

// One converter call. A converter that throws is a fault in reading this
// file: the file is given up with a message and the run goes on.
bool ImportRun::callConverter() {
  try {
    return converter_->step(*this, command_);
  } catch (const FatalStop&) {
    throw;
  } catch (const std::exception& e) {
    s_.tell(s_.FileTmpName + " cannot be imported\r\n" + e.what() + "\r\nThis file will be skipped!", "Warning!");
    return true;
  }
}

bool ImportRun::tempSpaceOk() {
  if (tempSpaceConfirmed_) return true;
  uint64_t free = store::freeSpace(s_.TempDir);
  if (free >= kMinFreeBytes) return true;
  if (s_.suppressed()) return false;
  Button b = s_.ask("You have only " + std::to_string(free) + " bytes free on disk  " +
                        store::mountPoint(s_.TempDir) + " " +
                        "This may be too little for the temporary importfile. Running out of diskspace may "
                        "corrupt the currently accessed data file(s).Press OK if you want to continue and Cancel "
                        "if you want to abort the import!",
                    "Warning", Button::Ok | Button::Cancel, Button::Cancel);
  tempSpaceConfirmed_ = b == Button::Ok;
  return tempSpaceConfirmed_;
}

void ImportRun::convert() {
  bool done = callConverter();
  if (command_ == 199) command_ = 99;
  if (workError_ != Err::Ok) {
    failWrite(workError_, s_.TempDir);
    return;
  }
  if (stopRequested_) {
    fail();
    return;
  }
  if (done) {
    phase_ = RunPhase::NextFile;
  } else if (!tempSpaceOk()) {
    stats_.cancelled = true;
    stats_.spaceRefused = true;
    stats_.failure = "only " + std::to_string(store::freeSpace(s_.TempDir)) + " bytes are free in " + s_.TempDir;
    phase_ = RunPhase::End;
    return;
  }
  if (sinceFlush_ > kFlushEvery) {
    // A flush writes the buffered work records out and ends the buffering;
    // it starts again for the next ones.
    for (store::FileNo no : kWorkFiles) {
      if (Err e = s_.file(no).flush(); e != Err::Ok) {
        failWrite(e, s_.TempDir);
        return;
      }
      s_.file(no).stream();
    }
    sinceFlush_ = 0;
  }
  updateConversionProgress();
}

// ---- step 5: close the conversion ------------------------------------------------

void ImportRun::closeConversion() {
  progress_.status = "Building Temporary File Index!";
  progress_.conversion = 1;
  for (store::FileNo no : kWorkFiles)
    if (Err e = s_.file(no).flush(); e != Err::Ok) {
      releaseControl();
      failWrite(e, s_.TempDir);
      return;
    }

  auto& ctl = s_.Control();
  ctl.clear();
  ctl.rec.ID = 1;
  bool written = ctl.get(store::Control::IdKey) == Err::Ok;
  if (written) {
    ctl.rec.NEXTNUMBER = counter_;
    written = store::UppDat(s_, ctl, store::UppChange, store::ErrRelease) != 0;
  }
  releaseControl();
  if (!written) {
    fail();
    return;
  }
  struct Build {
    store::FileNo no;
    const char* title;
  };
  // The import work file has its key already (appendWork).
  for (Build b : {Build{store::FileNo::CarbonCopyWork, "CarbonCopy Key Build Error!"},
                  Build{store::FileNo::MessageIdWork, "TempID Key Build Error!"}}) {
    // A duplicate carbon-copy recipient stays out of the key: it is added once.
    Err e = s_.file(b.no).buildKeys();
    if (e != Err::Ok && e != Err::DuplicateKey) {
      s_.tell(std::string(store::errorText(e)) + "\r\n" + "Messages will not be imported!", b.title);
      failWrite(e, s_.TempDir);
      return;
    }
  }
  const uint64_t workSize = store::GetFSize(s_.TempDir + "/" + store::fileBaseName(store::FileNo::ImportWork));
  if (uint64_t free = store::CheckSpace(s_, workSize, s_.FileDir); free != 0) {
    stats_.cancelled = true;
    stats_.spaceRefused = true;
    stats_.failure = "only " + std::to_string(free) + " bytes are free in " + s_.FileDir + ", " +
                     std::to_string(workSize) + " are needed";
    phase_ = RunPhase::End;
    return;
  }
  // The storing phase only reads the work files: each is read inside one
  // transaction of its own, so that a read does not take and give back the
  // file's lock (and check its journal) every time.
  for (store::FileNo no : kWorkFiles)
    if (Err e = s_.file(no).stream(); e != Err::Ok) {
      failWrite(e, s_.TempDir);
      return;
    }
  received_ = databases_.received();
  if (s_.DoTask != 0 && registerForMaintenance)
    for (const RunDatabase* db : received_) registerForMaintenance(db->id);
  if (received_.empty()) {
    s_.tell("No messages found in selected file(s)!\r\nImport unsuccessful!", "Warning!");
    phase_ = RunPhase::End;
    return;
  }
  // From here on the archive is written: the marker tells a later run, the
  // count command and the next opening of the archive that counts may be
  // due should this run not come to its end.
  if (!store::markRunStarted(s_)) {
    failWrite(Err::IoError, s_.cfgDir());
    return;
  }
  markerWritten_ = true;
  progress_.status = "Importing messages";
  progress_.storing = true;
  dbIndex_ = 0;
  phase_ = RunPhase::NextDatabase;
}

void ImportRun::releaseControl() {
  if (controlLocked_) {
    s_.Control().unlock();
    controlLocked_ = false;
  }
}

// ---- the converters' context -------------------------------------------------------

Resolution ImportRun::resolveDatabase(const std::string& name, int kind, NHR& nhr, bool existsOnly) {
  // New databases take their identifiers from the run's counter: the run
  // holds the lock of Control and writes the counter back after the
  // conversion, so identifiers given now cannot be given twice.
  return databases_.resolve(name, kind, nhr, existsOnly, [this] { return nextId(); });
}

bool ImportRun::alreadyImported(uint32_t forumId, uint32_t msgNumber) {
  auto& reg = s_.SaveFile();
  reg.clear();
  reg.rec.FORUMNUMBER = forumId;
  reg.rec.MSGNUMBER = msgNumber;
  return reg.get(store::SaveFile::IDKEY) == Err::Ok;
}

uint32_t ImportRun::nextId() { return counter_++; }

// A work file that cannot be written stops the run after the converter's
// step (the first failure is kept and told once).
bool ImportRun::workWritten(Err e) {
  if (e == Err::Ok) return true;
  if (workError_ == Err::Ok) workError_ = e;
  return false;
}

bool ImportRun::appendWork(NHR& nhr, const std::string& text) {
  auto& work = s_.table<NHR>(store::FileNo::ImportWork);
  if (nhr.IMPDATE == 0) nhr.IMPDATE = runDate_;
  if (nhr.IMPTIME == 0) nhr.IMPTIME = runTime_;
  work.rec = nhr;
  utf8Fields(work.rec);
  work.memo() = utf8Text(text, store::kMaxMemo);
  // Written with its key: the text is written once, not rewritten by a key
  // build after the conversion. A second record of the same database and
  // number stays out, as a key build would keep only the first.
  Err e = work.add();
  if (e != Err::DuplicateKey && !workWritten(e)) return false;
  ++stats_.workRecords;
  ++sinceFlush_;
  ++workPerDatabase_[nhr.INTERNAL];
  if (databases_.find(nhr.INTERNAL)) databases_.noteReceived(nhr.INTERNAL);
  return true;
}

bool ImportRun::appendCC(const CCT& cc) {
  auto& f = s_.table<CCT>(store::FileNo::CarbonCopyWork);
  f.rec = cc;
  utf8Fields(f.rec);
  if (!workWritten(f.append())) return false;
  ++sinceFlush_;
  return true;
}

bool ImportRun::appendTid(const TID& tid) {
  auto& f = s_.table<TID>(store::FileNo::MessageIdWork);
  f.rec = tid;
  if (!workWritten(f.append())) return false;
  ++sinceFlush_;
  return true;
}

// ---- steps 11 and 12: register and end ------------------------------------------------

void ImportRun::registerStep() {
  if (!request_.allowReimport) {
    progress_.status = "Building SaveFile Index!\r\n";
    Err e = s_.SaveFile().buildKeys();
    if (e != Err::Ok && e != Err::DuplicateKey)
      s_.tell(std::string(store::errorText(e)) + "\r\n" + "Message SaveFile can not be built!", "Warning!");
  }
  phase_ = RunPhase::End;
}

void ImportRun::end() {
  stats_.elapsedSeconds = watch_.StartStop(2, 2);
  finalMessage_ = stats_.failed                ? "The import was stopped by an error!"
                  : stats_.imported > 0 ? "The import process has finished!"
                                        : "No messages to import!";
  progress_.status = finalMessage_;
  if (store::setting(s_, store::SetShowCompletion) == 1 && s_.DoTask != 2 && !stats_.failed) {
    s_.beep();
    s_.tell("The time for completion was: " + std::to_string(stats_.elapsedSeconds) + " seconds",
            " Import Processing ");
  }
  // A run that stopped early leaves its database flagged: it is recounted
  // now when it can be, else by the next run, `count` or the next opening.
  if (markerWritten_ && !stats_.failed) store::finishUnfinishedRun(s_, &runGuard_);
  cleanup();
  phase_ = RunPhase::Done;
  if (onEnd) onEnd(stats_);
}

void ImportRun::closeDatabaseFiles() {
  // Key indexes deferred by a run that stops early are built now when they
  // can be; else the next opening of the file builds them.
  if (!dbFiles_.empty() && s_.Mail().isOpen() && s_.Mail().deferredKeys() != 0 && !s_.transaction().active())
    static_cast<void>(s_.Mail().completeKeys());
  if (!dbFiles_.empty()) store::OP_CLOSE(s_, store::OpClose, dbFiles_);
  dbFiles_.clear();
}

// Closes every file of the run, deletes the work files and makes the
// database that was current before the run current again.
void ImportRun::cleanup() {
  if (s_.transaction().active()) s_.transaction().rollback();
  closeDatabaseFiles();
  releaseControl();
  if (workOpen_) {
    s_.file(store::FileNo::ImportWork).unlock();
    store::OP_CLOSE(s_, store::OpClose,
                    {store::FileNo::ImportWork, store::FileNo::CarbonCopyWork, store::FileNo::MessageIdWork,
                     store::FileNo::SaveFile});
    workOpen_ = false;
  }
  if (mainOpen_) {
    store::OP_CLOSE(s_, store::OpClose, {store::FileNo::Forums, store::FileNo::Control});
    mainOpen_ = false;
  }
  if (converter_) converter_.reset();
  store::OP_CLOSE(s_, store::OpDelete,
                  {store::FileNo::ImportWork, store::FileNo::CarbonCopyWork, store::FileNo::MessageIdWork});
  s_.restoreDatabase(saved_);
  runGuard_.release();
}

}  // namespace qb::import
