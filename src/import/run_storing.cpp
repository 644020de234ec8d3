// The storing phase of the import run: database by database, the work
// records are stored into the archive, each message with everything that
// belongs to it (text, carbon copies, register and topic entries, persons),
// in transactions of many messages; then the counts of persons, threads,
// sections and the database are raised in one transaction that also clears
// the database's count flag. A run that stops before leaves the flag set and
// the database is recounted from its messages (archive/counts.h).
#include <algorithm>

#include "import/import_run.h"
#include "import/store_batches.h"
#include "text/datetime.h"
#include "archive/file_table.h"
#include "archive/paths.h"
#include "archive/record_access.h"
#include "archive/session.h"

namespace qb::import {
namespace {

using store::Err;

constexpr uint64_t kMinFreeBytes = 5000000;
constexpr std::size_t kCountsPerStep = 200;

bool isMail(const RunDatabase* db) { return db->kind == store::KindMail; }

// The Mail keys whose indexes a large import builds after storing (pair,
// sender, recipient, subject, status); the identifier and date keys stay,
// as the storing itself reads them.
constexpr unsigned kDeferredMailKeys = (1u << store::Mail::PairKey) | (1u << store::Mail::FromKey) |
                                       (1u << store::Mail::ToKey) | (1u << store::Mail::SubjectKey) |
                                       (1u << store::Mail::StatusKey);

}  // namespace

// ---- step 6: next database -----------------------------------------------------

std::vector<store::KeyedFile*> ImportRun::storingFiles() {
  // PLINK is written when a stale alias is replaced by a new person.
  if (isMail(db_))
    return {&s_.Mail(), &s_.MsgText(), &s_.Person(), &s_.PLINK(), &s_.Control(), &s_.SIndex(), &s_.CCR()};
  std::vector<store::KeyedFile*> f = {&s_.MsgNmbr(),  &s_.MsgText(), &s_.Person(), &s_.PLINK(),
                                      &s_.Sections(), &s_.Threads(), &s_.Control()};
  if (db_->kind == store::KindNewsgroup)
    f.push_back(&s_.MsgString());
  else
    f.push_back(&s_.SaveFile());
  return f;
}

void ImportRun::nextDatabase() {
  closeDatabaseFiles();
  if (dbIndex_ >= received_.size()) {
    phase_ = RunPhase::Register;
    return;
  }
  db_ = received_[dbIndex_++];
  auto& forums = s_.Forums();
  DatabaseResult result;
  result.id = db_->id;
  result.name = db_->name;
  result.kind = db_->kind;
  result.workRecords = workPerDatabase_.count(db_->id) ? workPerDatabase_[db_->id] : 0;
  forums.clear();
  if (db_->isNew) {
    auto& f = forums.rec;
    f.ID = db_->id;
    f.DESCRIPTION = db_->name;
    f.DIRNUMBER = db_->dirNumber;
    f.CREATED = text::today();
    f.TYPE = db_->kind;
    f.WORDLISTINDEXNEEDSUPDATE = 1;
    f.INDEXTYPE = 1;  // every new database takes part in word indexing
    f.COUNTFLAG = 1;  // counted when the run has stored its messages
    if (Err e = forums.add(); e != Err::Ok) {
      failWrite(e, s_.cfgDir());
      return;
    }
    result.created = true;
    countsDue_ = false;
  } else {
    forums.rec.ID = db_->id;
    if (forums.get(store::Forums::ForumKey) != Err::Ok) return;  // removed meanwhile: passed over
    // Counts that were due already are recounted from the messages; else
    // the database is flagged before its first message is stored.
    countsDue_ = forums.rec.COUNTFLAG != 0;
    if (!countsDue_) {
      forums.rec.COUNTFLAG = 1;
      if (Err e = forums.put(); e != Err::Ok) {
        failWrite(e, s_.cfgDir());
        return;
      }
    }
  }
  dbRecord_ = forums.rec;
  store::createDatabaseDirectory(s_);

  if (isMail(db_))
    dbFiles_ = {store::FileNo::Mail,  store::FileNo::MsgText, store::FileNo::SIndex,
                store::FileNo::PLINK, store::FileNo::CCR,     store::FileNo::Person};
  else if (db_->kind == store::KindNewsgroup)
    dbFiles_ = {store::FileNo::MsgNmbr,  store::FileNo::MsgText, store::FileNo::PLINK,    store::FileNo::Threads,
                store::FileNo::Sections, store::FileNo::Person,  store::FileNo::MsgString};
  else
    dbFiles_ = {store::FileNo::MsgNmbr, store::FileNo::MsgText,  store::FileNo::PLINK,
                store::FileNo::Threads, store::FileNo::Sections, store::FileNo::Person};
  store::OP_CLOSE(s_, store::OpOpen, dbFiles_);
  result.before = static_cast<uint32_t>(isMail(db_) ? s_.Mail().count() : s_.MsgNmbr().count());
  stats_.databases.push_back(result);
  // An import that at least doubles a mail database builds five of its
  // Mail key indexes in one sorted pass after storing instead of one entry
  // per mail (a smaller one keeps them up as it goes: building them anew
  // costs as much as the whole file). Should this fail, the keys are simply
  // kept up per mail.
  if (isMail(db_) && result.workRecords > result.before)
    static_cast<void>(s_.Mail().deferKeys(kDeferredMailKeys));

  sectionCache_.clear();
  if (!isMail(db_)) {
    auto& secs = s_.Sections();
    secs.setFileOrder();
    while (secs.next() == Err::Ok)
      sectionCache_[{secs.rec.SECTIONNUMBER, secs.rec.DESCRIPTION.str()}] = secs.rec.SECSYSID;
  }
  personCounts_.clear();
  threadCounts_.clear();
  sectionCounts_.clear();
  if (!store_) store_ = std::make_unique<MessageStore>(s_, request_.allowReimport, request_.mailTopic);
  store_->setDatabase(dbRecord_);

  auto& work = s_.table<NHR>(store::FileNo::ImportWork);
  work.clear();
  work.rec.INTERNAL = db_->id;
  work.rec.MSGNUMBER = 0;
  work.setAt(NHR::MSGKEY);
  progress_.importingTo = db_->name;
  progress_.status = "Importing messages";
  progress_.storeDone = 0;
  progress_.storeTotal = result.workRecords;
  sinceCommit_ = 0;
  storedSinceCommit_ = 0;
  dataSpaceConfirmed_ = false;
  phase_ = RunPhase::Store;
}

// ---- step 7: store messages ----------------------------------------------------------

bool ImportRun::sectionFor(const NHR& nhr, uint32_t& secSysId) {
  std::pair<uint32_t, std::string> key{nhr.SECTIONNUMBER, nhr.SEC_DESCRIPTION.str()};
  auto it = sectionCache_.find(key);
  if (it != sectionCache_.end()) {
    secSysId = it->second;
    return true;
  }
  auto& secs = s_.Sections();
  if (db_->kind == store::KindNewsgroup) {
    // A newsgroup section is the newsgroup's own database entry; a renamed
    // newsgroup keeps its section under the new name.
    secSysId = nhr.SECTIONNUMBER;
    secs.clear();
    secs.rec.SECSYSID = secSysId;
    if (secs.get(store::Sections::SysIdKey) == Err::Ok) {
      secs.rec.DESCRIPTION = key.second;
      if (!store::UppDat(s_, secs, store::UppChange, store::ErrRollback)) return false;
    } else {
      secs.clear();
      secs.rec.SECTIONNUMBER = nhr.SECTIONNUMBER;
      secs.rec.SECSYSID = secSysId;
      secs.rec.DESCRIPTION = key.second;
      if (!store::UppDat(s_, secs, store::UppAdd, store::ErrRollback)) return false;
    }
  } else {
    secSysId = store::NextNr(s_);
    if (secSysId == 0) return false;
    secs.clear();
    secs.rec.SECTIONNUMBER = nhr.SECTIONNUMBER;
    secs.rec.SECSYSID = secSysId;
    secs.rec.DESCRIPTION = key.second;
    if (!store::UppDat(s_, secs, store::UppAdd, store::ErrRollback)) return false;
  }
  sectionCache_[key] = secSysId;
  return true;
}

bool ImportRun::dataSpaceOk() {
  if (dataSpaceConfirmed_) return true;
  uint64_t free = store::freeSpace(s_.FileDir);
  if (free >= kMinFreeBytes) return true;
  if (s_.suppressed()) return false;
  Button b = s_.ask("You have only " + std::to_string(free) + " bytes free on disk  " +
                        store::mountPoint(s_.FileDir) + " " +
                        "This may be too little to allow import. Running out of diskspace may corrupt the "
                        "currently accessed data file(s).Press OK if you want to continue and Cancel if you want "
                        "to abort the import!",
                    "Warning", Button::Ok | Button::Cancel, Button::Cancel);
  dataSpaceConfirmed_ = b == Button::Ok;
  return dataSpaceConfirmed_;
}

void ImportRun::storeBatch() {
  if (!s_.transaction().active() && !store::beginTransaction(s_, storingFiles(), 5)) {
    stats_.failure = "the database files could not be locked for writing";
    fail();
    return;
  }
  auto& work = s_.table<NHR>(store::FileNo::ImportWork);
  DatabaseResult& result = stats_.databases.back();
  const int kind = db_->kind;
  bool done = false;
  for (int i = 0; i < stepSize_; ++i) {
    if (work.next() != Err::Ok || work.rec.INTERNAL != db_->id) {
      done = true;
      break;
    }
    NHR nhr = work.rec;
    const std::string text = work.memo();
    uint32_t sec = 0;
    StoreOutcome o;
    if (kind != store::KindMail && !sectionFor(nhr, sec))
      o.result = StoreFailed;
    else
      o = store_->store(nhr, text, kind, sec, runDate_, runTime_);
    ++progress_.storeDone;
    ++sinceCommit_;
    if (o.result == StoreFailed) {
      // The failing write rolled the open transaction back: what it held is
      // not in the archive.
      stats_.imported -= storedSinceCommit_;
      result.stored -= static_cast<uint32_t>(storedSinceCommit_);
      failWrite(s_.lastWriteError, s_.databaseDir());
      return;
    }
    if (o.result == StoreDuplicate) {
      ++stats_.duplicates;
      ++result.duplicates;
      continue;
    }
    ++stats_.imported;
    ++result.stored;
    ++storedSinceCommit_;
    if (kind == store::KindMail || o.isNew) {
      ++personCounts_[o.senderId].from;
      ++personCounts_[o.recipientId].to;
    }
    if (kind != store::KindMail && o.isNew) {
      ++threadCounts_[o.threadNumber];
      ++sectionCounts_[sec];
    }
  }
  progress_.stored = stats_.imported;
  if (sinceCommit_ > kMessagesPerCommit || done) {
    if (Err e = s_.transaction().commit(); e != Err::Ok) {
      if (s_.transaction().active()) s_.transaction().rollback();
      stats_.imported -= storedSinceCommit_;
      result.stored -= static_cast<uint32_t>(storedSinceCommit_);
      failWrite(e, s_.databaseDir());
      return;
    }
    sinceCommit_ = 0;
    storedSinceCommit_ = 0;
  }
  if (done) {
    if (isMail(db_) && s_.Mail().deferredKeys() != 0) {
      progress_.status = "Building the key indexes";
      if (Err e = s_.Mail().completeKeys(); e != Err::Ok) {
        failWrite(e, s_.databaseDir());
        return;
      }
    }
    if (countsDue_)
      phase_ = RunPhase::DatabaseCount;
    else
      startCount(RunPhase::PersonCount);
    return;
  }
  if (!dataSpaceOk()) {
    // A failed commit has been rolled back; the run stops either way.
    if (s_.transaction().active()) static_cast<void>(store::commitTransaction(s_));
    stats_.cancelled = true;
    stats_.spaceRefused = true;
    stats_.failure = "only " + std::to_string(store::freeSpace(s_.FileDir)) + " bytes are free in " + s_.FileDir;
    phase_ = RunPhase::End;
  }
}

// ---- step 9: counts per person, thread and section ------------------------------------------

void ImportRun::startCount(RunPhase phase) {
  phase_ = phase;
  countItems_.clear();
  countIndex_ = 0;
  countStarted_ = false;
  if (phase == RunPhase::PersonCount) {
    progress_.status = "Counting messages per person";
    for (auto& [id, n] : personCounts_) countItems_.push_back({id, n});
  } else {
    const auto& counts = phase == RunPhase::ThreadCount ? threadCounts_ : sectionCounts_;
    progress_.status =
        phase == RunPhase::ThreadCount ? "Counting messages per thread" : "Counting messages per section";
    for (auto& [id, n] : counts) countItems_.push_back({id, Sent{n, 0}});
  }
}

void ImportRun::countStep() {
  store::KeyedFile& file = phase_ == RunPhase::PersonCount   ? static_cast<store::KeyedFile&>(s_.Person())
                           : phase_ == RunPhase::ThreadCount ? static_cast<store::KeyedFile&>(s_.Threads())
                                                             : static_cast<store::KeyedFile&>(s_.Sections());
  // One transaction holds every count of the database and its count flag.
  if (!s_.transaction().active()) {
    std::vector<store::KeyedFile*> files = {&s_.Person(), &s_.Forums()};
    if (!isMail(db_)) {
      files.push_back(&s_.Threads());
      files.push_back(&s_.Sections());
    }
    if (!store::beginTransaction(s_, files, 5)) {
      stats_.failure = "the database files could not be locked for writing";
      fail();
      return;
    }
  }
  for (std::size_t n = 0; n < kCountsPerStep && countIndex_ < countItems_.size(); ++n, ++countIndex_) {
    const auto& [id, c] = countItems_[countIndex_];
    bool found = false;
    if (phase_ == RunPhase::PersonCount) {
      auto& per = s_.Person();
      per.clear();
      per.rec.PERSONID = id;
      if ((found = per.get(store::Person::PersonKey) == Err::Ok)) {
        per.rec.FROMCOUNT += c.from;
        per.rec.TOCOUNT += c.to;
      }
    } else if (phase_ == RunPhase::ThreadCount) {
      auto& thr = s_.Threads();
      thr.clear();
      thr.rec.THREADNUMBER = id;
      if ((found = thr.get(store::Threads::ThreadKey) == Err::Ok)) thr.rec.MSGCOUNT += c.from;
    } else {
      auto& secs = s_.Sections();
      secs.clear();
      secs.rec.SECSYSID = id;
      if ((found = secs.get(store::Sections::SysIdKey) == Err::Ok)) secs.rec.MSGCOUNT += c.from;
    }
    if (found) {
      if (Err e = file.put(); e != Err::Ok) {
        failWrite(e, s_.databaseDir());
        return;
      }
    }
  }
  if (countIndex_ < countItems_.size()) return;
  if (phase_ == RunPhase::PersonCount && !isMail(db_))
    startCount(RunPhase::ThreadCount);
  else if (phase_ == RunPhase::ThreadCount && db_->kind == store::KindForum)
    startCount(RunPhase::SectionCount);
  else
    phase_ = RunPhase::DatabaseCount;
}

// ---- step 10: database count -----------------------------------------------------------------

void ImportRun::databaseCount() {
  if (countsDue_) {
    // Counts that were due before this run (or were left by a run that
    // did not finish) are recounted from the messages.
    progress_.status = "Counting messages per person";
    store::RecountTotals totals;
    if (!store::recountDatabase(s_, db_->id, &totals)) {
      failWrite(Err::IoError, s_.databaseDir());
      return;
    }
    stats_.databases.back().after = totals.messages;
  } else {
    uint32_t count = static_cast<uint32_t>(isMail(db_) ? s_.Mail().count() : s_.MsgNmbr().count());
    auto& forums = s_.Forums();
    forums.clear();
    forums.rec.ID = db_->id;
    Err e = forums.get(store::Forums::ForumKey);
    if (e == Err::Ok) {
      forums.rec.MSGCOUNT = count;
      forums.rec.COUNTFLAG = 0;
      e = forums.put();
    }
    if (e == Err::Ok) e = s_.transaction().commit();
    if (e != Err::Ok) {
      if (s_.transaction().active()) s_.transaction().rollback();
      failWrite(e, s_.databaseDir());
      return;
    }
    stats_.databases.back().after = count;
  }
  closeDatabaseFiles();
  progress_.status = "Importing messages";
  phase_ = RunPhase::NextDatabase;
}

}  // namespace qb::import
