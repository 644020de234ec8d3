// The storing phase of the import run: database by database, the work
// records are stored into the archive in transactions committed after at
// most 400 writes; then carbon copies are added and the counts of persons,
// threads, sections and the database are raised.
#include <algorithm>

#include "import/import_run.h"
#include "text/datetime.h"
#include "archive/file_table.h"
#include "archive/paths.h"
#include "archive/record_access.h"
#include "archive/session.h"

namespace qb::import {
namespace {

using store::Err;

constexpr uint64_t kMinFreeBytes = 5000000;
constexpr uint64_t kCommitAfter = 400;
constexpr std::size_t kCountsPerStep = 200;

bool isMail(const RunDatabase* db) { return db->kind == store::KindMail; }

}  // namespace

// ---- step 6: next database -----------------------------------------------------

std::vector<store::KeyedFile*> ImportRun::storingFiles() {
  // PLINK is written when a stale alias is replaced by a new person.
  if (isMail(db_))
    return {&s_.Mail(), &s_.MsgText(), &s_.Person(), &s_.PLINK(), &s_.Control(), &s_.SIndex()};
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
    if (!store::UppDat(s_, forums, store::UppAdd, store::ErrRelease)) {
      fail();
      return;
    }
    result.created = true;
  } else {
    forums.rec.ID = db_->id;
    if (forums.get(store::Forums::ForumKey) != Err::Ok) return;  // removed meanwhile: passed over
  }
  dbRecord_ = forums.rec;
  store::createDatabaseDirectory(s_);

  if (isMail(db_))
    dbFiles_ = {store::FileNo::Mail, store::FileNo::MsgText, store::FileNo::SIndex, store::FileNo::PLINK, store::FileNo::CCR, store::FileNo::Person};
  else if (db_->kind == store::KindNewsgroup)
    dbFiles_ = {store::FileNo::MsgNmbr, store::FileNo::MsgText, store::FileNo::PLINK, store::FileNo::Threads, store::FileNo::Sections, store::FileNo::Person, store::FileNo::MsgString};
  else
    dbFiles_ = {store::FileNo::MsgNmbr, store::FileNo::MsgText, store::FileNo::PLINK, store::FileNo::Threads, store::FileNo::Sections, store::FileNo::Person};
  store::OP_CLOSE(s_, store::OpOpen, dbFiles_);
  result.before = static_cast<uint32_t>(isMail(db_) ? s_.Mail().count() : s_.MsgNmbr().count());
  stats_.databases.push_back(result);

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
  store_->clearOwner();

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
      fail();
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
  if (sinceCommit_ > kCommitAfter || done) {
    if (!store::commitTransaction(s_)) {
      stats_.imported -= storedSinceCommit_;
      result.stored -= static_cast<uint32_t>(storedSinceCommit_);
      fail();
      return;
    }
    sinceCommit_ = 0;
    storedSinceCommit_ = 0;
  }
  if (done) {
    if (isMail(db_) && s_.file(store::FileNo::CarbonCopyWork).count() > 0) {
      progress_.status = "Adding InBox CarbonCopies";
      cctStarted_ = false;
      phase_ = RunPhase::CarbonCopies;
    } else {
      startCount(RunPhase::PersonCount);
    }
    return;
  }
  if (!dataSpaceOk()) {
    // A failed commit has been rolled back; the run stops either way.
    if (s_.transaction().active()) static_cast<void>(store::commitTransaction(s_));
    stats_.cancelled = true;
    phase_ = RunPhase::End;
  }
}

// ---- step 8: carbon copies ---------------------------------------------------------------

bool ImportRun::ownerAddress(const std::string& address) const {
  std::string a = text::lower1252(address);
  if (a.empty()) return false;
  if (text::lower1252(dbRecord_.MAILADDRESS.str()) == a) return true;
  for (const auto& alt : dbRecord_.ALTADDRESS) {
    if (alt.blank()) break;
    if (text::lower1252(alt.str()) == a) return true;
  }
  return false;
}

void ImportRun::carbonCopies() {
  auto& cct = s_.table<CCT>(store::FileNo::CarbonCopyWork);
  if (!cctKeysBuilt_) {
    cct.buildKeys();  // a duplicate recipient stays out of the key: it is added once
    cctKeysBuilt_ = true;
  }
  if (!cctStarted_) {
    cct.set(CCT::IDKEY);
    cctStarted_ = true;
    cctHaveMail_ = false;
    cctMailExists_ = false;
    sinceCommit_ = 0;
  }
  if (!s_.transaction().active() && !store::beginTransaction(s_, {&s_.Mail(), &s_.CCR()}, 5)) {
    fail();
    return;
  }
  auto& mail = s_.Mail();
  auto& ccr = s_.CCR();
  bool done = false;
  for (int i = 0; i < stepSize_ * 4; ++i) {
    if (cct.next() != Err::Ok) {
      done = true;
      break;
    }
    const CCT c = cct.rec;
    if (!cctHaveMail_ || c.MAILID != cctMailId_) {
      cctHaveMail_ = true;
      cctMailId_ = c.MAILID;
      mail.clear();
      mail.rec.MAILID = c.MAILID;
      cctMailExists_ = mail.get(store::Mail::IdKey) == Err::Ok;
      if (cctMailExists_ && mail.rec.CCR != 1) {
        mail.rec.CCR = 1;
        if (!store::UppDat(s_, mail, store::UppChange, store::ErrRollback)) {
          fail();
          return;
        }
        ++sinceCommit_;
      }
    }
    if (!cctMailExists_ || ownerAddress(c.R_CISADRESS.str())) continue;
    ccr.clear();
    ccr.rec.MAILID = c.MAILID;
    ccr.rec.R_NAME = c.R_NAME.str();
    ccr.rec.R_CISADRESS = c.R_CISADRESS.str();
    ccr.rec.RECIPTYPE = c.RECIPTYPE.str();
    if (!store::UppDat(s_, ccr, store::UppAppend, store::ErrRollback)) {
      fail();
      return;
    }
    ++sinceCommit_;
  }
  if (sinceCommit_ > kCommitAfter || done) {
    if (!store::commitTransaction(s_)) {
      fail();
      return;
    }
    sinceCommit_ = 0;
  }
  if (done) {
    ccr.buildKeys();  // a recipient listed twice for one mail is kept once
    cctStarted_ = false;
    startCount(RunPhase::PersonCount);
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
  if (!s_.transaction().active() && !store::beginTransaction(s_, {&file}, 5)) {
    fail();
    return;
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
    if (found && !store::UppDat(s_, file, store::UppChange, store::ErrRollback)) {
      fail();
      return;
    }
  }
  if (countIndex_ < countItems_.size()) return;
  if (!store::commitTransaction(s_)) {
    fail();
    return;
  }
  if (phase_ == RunPhase::PersonCount && !isMail(db_))
    startCount(RunPhase::ThreadCount);
  else if (phase_ == RunPhase::ThreadCount && db_->kind == store::KindForum)
    startCount(RunPhase::SectionCount);
  else
    phase_ = RunPhase::DatabaseCount;
}

// ---- step 10: database count -----------------------------------------------------------------

void ImportRun::databaseCount() {
  uint32_t count = static_cast<uint32_t>(isMail(db_) ? s_.Mail().count() : s_.MsgNmbr().count());
  auto& forums = s_.Forums();
  forums.clear();
  forums.rec.ID = db_->id;
  if (store::HoldRec(s_, forums, store::Forums::ForumKey, store::HoldBy::Key)) {
    forums.rec.MSGCOUNT = count;
    forums.rec.COUNTFLAG = 0;
    store::UppDat(s_, forums, store::UppChange, store::ErrRelease);
  }
  stats_.databases.back().after = count;
  closeDatabaseFiles();
  progress_.status = "Importing messages";
  phase_ = RunPhase::NextDatabase;
}

}  // namespace qb::import
