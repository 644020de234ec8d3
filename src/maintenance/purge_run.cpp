#include "maintenance/purge_run.h"

#include <algorithm>

#include "archive/config.h"
#include "archive/databases.h"
#include "archive/file_table.h"
#include "archive/paths.h"
#include "archive/record_access.h"
#include "index/word_list.h"
#include "maintenance/database_removal.h"
#include "maintenance/mail_duplicates.h"
#include "text/datetime.h"

namespace qb::maintenance {

using namespace qb::store;

namespace {

constexpr int kCommitAfter = 400;            // writes per transaction
constexpr uint64_t kMinFree = 5'000'000;     // bytes free after each commit
constexpr uint64_t kDeletionFree = 10'000'000;

// Step codes.
enum Step : int {
  StepIdle = 0,
  StepPartnerCount = 3,
  StepPartnerMails = 4,
  StepMailStatus = 5,
  StepCopies = 6,
  StepMailRecount = 7,
  StepFinish = 8,
  StepMailLinks = 9,
  StepTopicLinks = 11,
  StepTopicCounts = 12,
  StepWordIndex = 13,
  StepThreadCount = 15,
  StepThreadMessages = 16,
  StepMessageStatus = 17,
  StepPersonRecount = 18,
  StepThreadRecount = 19,
  StepSectionRecount = 20,
  StepLinks = 21,
  StepReceivers = 22,
  StepSections = 23,
  StepNextSection = 24,
  StepSectionThreads = 25,
  StepTimes = 97,
  StepDuplicates = 98,
  StepAgeRule = 99,
  StepMarkAged = 100,
};

}  // namespace

PurgeRun::PurgeRun(Session& s, PurgeOptions options) : s_(s), options_(options) {
  name_ = s.Description;
  while (!name_.empty() && name_.back() == ' ') name_.pop_back();
}

PurgeRun::~PurgeRun() {
  if (state_ == State::Running) end();
  closeFiles();
}

bool PurgeRun::unattended() const { return s_.suppressed(); }

std::string PurgeRun::title() const {
  const bool purge = options_.mode == PurgeMode::Purge;
  if (state_ == State::Running) return purge ? " Purging Messages .. Please Wait!" : " Counting Messages .. Please Wait!";
  if (unattended())
    return (purge ? " Scheduled Message Purging [" : " Scheduled Message Counting [") + name_ + "]";
  return purge ? " Message Purging " : " Message Counting ";
}

std::string PurgeRun::completionText() const {
  return "The time for completion was: " + std::to_string(static_cast<long long>(stats_.seconds + 0.5)) + " seconds";
}

bool PurgeRun::open() {
  if (opened_) return true;
  if (s_.ForumNumber == 0) return false;
  Forums db;
  if (!readDatabase(s_, s_.ForumNumber, db)) return false;
  forumId_ = db.ID;
  kind_ = db.TYPE;
  markedForDeletion_ = db.DUMMY == StatusDelete;
  ownerId_ = db.PERSONID;
  name_ = db.DESCRIPTION.str();
  while (!name_.empty() && name_.back() == ' ') name_.pop_back();
  if (kind_ == KindMail)
    files_ = {FileNo::Mail, FileNo::MsgText, FileNo::Person, FileNo::PLINK, FileNo::CCR, FileNo::Codes,
              FileNo::SIndex, FileNo::Forums};
  else
    files_ = {FileNo::MsgNmbr, FileNo::MsgText, FileNo::Threads, FileNo::Sections, FileNo::Person,
              FileNo::PLINK, FileNo::Codes, FileNo::SIndex, FileNo::Forums};
  OP_CLOSE(s_, OpOpen, files_);
  opened_ = true;
  stats_.before = static_cast<uint32_t>(kind_ == KindMail ? s_.Mail().count() : s_.MsgNmbr().count());
  stats_.after = stats_.before;
  // The slice size and the completion setting come from the settings,
  // loaded here when the session has not loaded them.
  int32_t probe = 0;
  if (!Konfig(s_, KonfigAction::GetDisplay, SetShowCompletion, probe)) {
    Konfig(s_, KonfigAction::LoadDisplay);
    SpeedVal(s_, SpeedAction::Compute);
  }
  sliceSize_ = options_.sliceSize > 0 ? options_.sliceSize : std::max(1, SpeedVal(s_, SpeedAction::BatchSize, SpeedCountPurge));
  return true;
}

void PurgeRun::closeFiles() {
  if (!opened_) return;
  if (s_.transaction().active()) (void)commitTransaction(s_);
  OP_CLOSE(s_, OpClose, files_);
  opened_ = false;
}

StartResult PurgeRun::start() {
  if (!open()) return StartResult::Failed;
  if (options_.mode == PurgeMode::Purge && markedForDeletion_ && !unattended()) {
    bool yes = removalAnswer_ == 1;
    if (removalAnswer_ == 0)
      yes = s_.ask("Do you really want to delete all messages in this database? If you do, the entire database "
                   "directory will be removed.",
                   " Database marked for deletion!", Button::Ok | Button::Cancel, Button::Cancel) == Button::Ok;
    if (!yes) return StartResult::Refused;
    closeFiles();
    if (!removeDatabase(s_, forumId_)) {
      stats_.failed = true;
      stats_.failure = "the database could not be removed";
      return StartResult::Failed;
    }
    stats_.databaseRemoved = true;
    stats_.deleted = stats_.before;
    stats_.after = 0;
    state_ = State::Finished;
    return StartResult::DatabaseRemoved;
  }
  started_ = std::chrono::steady_clock::now();
  state_ = State::Running;
  firstStep();
  if (report) report->begins(options_.mode == PurgeMode::Purge ? KindPurge : KindCount, forumId_);
  return StartResult::Started;
}

void PurgeRun::firstStep() {
  const bool mail = kind_ == KindMail;
  if (options_.mode == PurgeMode::Purge) {
    if (mail)
      go(StepTimes, "Preparing for mail duplicate elimination");
    else if (options_.ageWeeks > 0)
      go(StepAgeRule, "Marking aged threads for deletion");
    else
      go(StepThreadCount, "Deleting messages in obsolete threads");
  } else {
    // The count begins with the topics' counts, which links filed from the
    // export window leave behind.
    go(StepTopicCounts, "Updating key word index counts");
  }
}

void PurgeRun::firstCountStep() {
  if (kind_ == KindMail)
    go(StepMailRecount, "Updating message counts per person");
  else if (kind_ == KindNewsgroup)
    go(StepReceivers, "Updating message receiver information");
  else
    go(StepPersonRecount, "Updating message counts per person");
}

void PurgeRun::resetLists() {
  work_.clear();
  index_ = 0;
  threadMsgs_.clear();
  msgIndex_ = 0;
  threadStarted_ = false;
  threadKept_ = false;
  phase_ = 0;
}

void PurgeRun::go(int code, const std::string& caption) {
  step_ = code;
  caption_ = caption;
  resetLists();
  done_ = 0;
  total_ = 0;
}

void PurgeRun::setRange(int64_t total) {
  total_ = total;
  done_ = 0;
}

void PurgeRun::counted(int n) {
  slice_ += n;
  ++done_;
}

std::vector<KeyedFile*> PurgeRun::writtenFiles() {
  std::vector<KeyedFile*> out;
  for (FileNo f : files_) out.push_back(&s_.file(f));
  return out;
}

bool PurgeRun::ensureTransaction() {
  if (s_.transaction().active()) return true;
  if (!beginTransaction(s_, writtenFiles(), 5)) {
    fail("the database files could not be locked for writing");
    return false;
  }
  writes_ = 0;
  return true;
}

bool PurgeRun::commit() {
  if (!s_.transaction().active()) return true;
  if (!commitTransaction(s_)) {
    s_.lastWriteError = Err::IoError;
    failWrite();
    return false;
  }
  writes_ = 0;
  return true;
}

bool PurgeRun::spaceOk(uint64_t required) {
  if (CheckSpace(s_, required, s_.databaseDir()) == 0) return true;
  return false;
}

bool PurgeRun::write(KeyedFile& f, bool remove) {
  if (!UppDat(s_, f, remove ? UppDelete : UppChange, ErrRollback)) {
    failWrite();
    return false;
  }
  ++writes_;
  return true;
}

void PurgeRun::failWrite() {
  std::string cause = lastSystemError();
  if (cause.empty() || s_.lastWriteError != Err::DiskFull) cause = errorText(s_.lastWriteError);
  fail(cause + " (in " + s_.databaseDir() + ")");
}

void PurgeRun::fail(const std::string& cause) {
  if (state_ != State::Running) return;
  if (s_.transaction().active()) s_.transaction().rollback();
  stats_.failed = true;
  stats_.failure = cause;
  const bool purge = options_.mode == PurgeMode::Purge;
  s_.tell(std::string(purge ? "The purge" : "The count") + " was stopped: " + cause +
              ".\r\nThe open transaction was rolled back; what earlier transactions wrote stays. Run it again "
              "to finish the job.",
          purge ? " Obsolete Message Purging " : " Count Messages ");
  state_ = State::Finished;
  step_ = StepIdle;
  deleted_.clear();
  tally_.reset();
  closeFiles();
  if (report) report->aborted(purge ? KindPurge : KindCount, forumId_, cause);
}

void PurgeRun::end() {
  if (state_ != State::Running) return;
  if (s_.transaction().active() && !commitTransaction(s_)) stats_.failed = true;
  stats_.ended = true;
  state_ = State::Finished;
  step_ = StepIdle;
  closeFiles();
}

bool PurgeRun::messageExists(uint32_t id) {
  if (kind_ == KindMail) {
    auto& m = s_.Mail();
    m.clear();
    m.rec.MAILID = id;
    return m.get(Mail::IdKey) == Err::Ok;
  }
  auto& m = s_.MsgNmbr();
  m.clear();
  m.rec.MSGNUMBER = id;
  return m.get(MsgNmbr::IdKey) == Err::Ok;
}

int PurgeRun::deleteMessage(uint32_t id) {
  auto& txt = s_.MsgText();
  txt.clear();
  txt.rec.MSGNUMBER = id;
  if (txt.get(MsgText::IdKey) != Err::Ok) return 0;
  if (!messageExists(id)) return 0;
  KeyedFile& header = kind_ == KindMail ? static_cast<KeyedFile&>(s_.Mail()) : s_.MsgNmbr();
  if (!write(txt, true) || !write(header, true)) return -1;
  // The message's topic links and carbon copies go in the same transaction,
  // so that a purge stopped between two transactions leaves none behind.
  auto& sin = s_.SIndex();
  for (;;) {
    sin.clear();
    sin.rec.MSGNUMBER = id;
    sin.setAt(SIndex::MsgKey, 1);
    if (sin.next() != Err::Ok || sin.rec.MSGNUMBER != id) break;
    if (!write(sin, true)) return -1;
    ++stats_.topicLinksRemoved;
  }
  if (kind_ == KindMail) {
    auto& ccr = s_.CCR();
    for (;;) {
      ccr.clear();
      ccr.rec.MAILID = id;
      ccr.setAt(CCR::IdKey, 1);
      if (ccr.next() != Err::Ok || ccr.rec.MAILID != id) break;
      if (!write(ccr, true)) return -1;
      ++stats_.copiesRemoved;
    }
  }
  deleted_.push_back(id);
  ++stats_.deleted;
  stats_.after = stats_.before > stats_.deleted ? stats_.before - stats_.deleted : 0;
  return 1;
}

bool PurgeRun::deleteLinksOf(uint32_t personId) {
  auto& link = s_.PLINK();
  for (;;) {
    link.clear();
    link.rec.PERSONID = personId;
    link.setAt(PLINK::PersonKey);
    if (link.next() != Err::Ok || link.rec.PERSONID != personId) return true;
    if (!write(link, true)) return false;
    ++stats_.linksRemoved;
  }
}

// ---- the tick ---------------------------------------------------------------

bool PurgeRun::step() {
  if (state_ != State::Running) return false;
  if (!ensureTransaction()) return false;
  slice_ = 0;
  const int before = step_;
  switch (step_) {
    case StepAgeRule: ageRule(); break;
    case StepMarkAged: markAged(); break;
    case StepThreadCount: countStatusThreads(); break;
    case StepThreadMessages: deleteThreadMessages(false); break;
    case StepMessageStatus: deleteStatusMessages(); break;
    case StepSections: collectSections(); break;
    case StepNextSection: nextSection(); break;
    case StepSectionThreads: deleteThreadMessages(true); break;
    case StepTimes: normaliseTimes(); break;
    case StepDuplicates: markDuplicates(); break;
    case StepPartnerCount: countStatusPersons(); break;
    case StepPartnerMails: deletePartnerMails(); break;
    case StepMailStatus: deleteStatusMessages(); break;
    case StepCopies: removeOrphanCopies(); break;
    case StepMailLinks:
    case StepLinks: removeOrphanLinks(); break;
    case StepTopicLinks: removeOrphanTopicLinks(); break;
    case StepTopicCounts: recountTopics(); break;
    case StepWordIndex: purgeWordIndex(); break;
    case StepReceivers: repairReceivers(); break;
    case StepPersonRecount:
    case StepMailRecount: recountPersons(); break;
    case StepThreadRecount: recountThreads(); break;
    case StepSectionRecount: recountSections(); break;
    case StepFinish: finish(); break;
    default: break;
  }
  if (state_ != State::Running) return false;
  const bool stepEnded = step_ != before;
  const bool deletion = before == StepThreadMessages || before == StepMessageStatus || before == StepPartnerMails ||
                        before == StepMailStatus || before == StepSectionThreads;
  if (stepEnded || writes_ > kCommitAfter) {
    const bool wrote = writes_ > 0;
    if (!commit()) return false;
    if (wrote && !spaceOk(kMinFree)) {
      fail("too little free disk space in " + s_.databaseDir());
      return false;
    }
    // Deleting with less than 10,000,000 bytes free: the user may go on, or
    // the files are closed and opened again before the step reads on.
    if (wrote && deletion && !stepEnded && freeSpace(s_.databaseDir()) < kDeletionFree &&
        CheckSpace(s_, kDeletionFree, s_.databaseDir()) != 0) {
      OP_CLOSE(s_, OpClose, files_);
      OP_CLOSE(s_, OpOpen, files_);
    }
  }
  return state_ == State::Running;
}

// ---- age rule (99, 100) -------------------------------------------------------

void PurgeRun::ageRule() {
  const int32_t cutoff = text::today() - 7 * options_.ageWeeks;
  auto& msg = s_.MsgNmbr();
  std::vector<uint32_t> threads;
  std::unordered_set<uint32_t> seen;
  msg.clear();
  msg.rec.DATE = cutoff;
  msg.rec.MSGNUMBER = 0xFFFFFFFFu;
  msg.setAt(MsgNmbr::DateKey);
  while (msg.next() == Err::Ok)
    if (msg.rec.DATE != 0 && seen.insert(msg.rec.THREADNUMBER).second) threads.push_back(msg.rec.THREADNUMBER);
  auto& thr = s_.Threads();
  for (auto it = threads.rbegin(); it != threads.rend(); ++it) {
    thr.clear();
    thr.rec.THREADNUMBER = *it;
    if (thr.get(Threads::ThreadKey) != Err::Ok || thr.rec.DUMMY != StatusNormal) continue;
    // The thread's last message (highest number) decides.
    msg.clear();
    msg.rec.THREADALPHA = thr.rec.ALPHA;
    msg.rec.THREADNUMBER = *it;
    msg.rec.MSGNUMBER = 0xFFFFFFFFu;
    msg.setAt(MsgNmbr::Threadkey);
    if (msg.previous() == Err::Ok && msg.rec.THREADNUMBER == *it && msg.rec.DATE != 0 && msg.rec.DATE <= cutoff)
      work_.push_back(*it);
  }
  if (work_.empty()) {
    go(StepThreadCount, "Deleting messages in obsolete threads");
    return;
  }
  std::vector<uint32_t> chosen = std::move(work_);
  go(StepMarkAged, "Setting delete status to aged threads");
  work_ = std::move(chosen);
  setRange(static_cast<int64_t>(work_.size()));
}

void PurgeRun::markAged() {
  auto& thr = s_.Threads();
  while (index_ < work_.size() && sliceLeft()) {
    thr.clear();
    thr.rec.THREADNUMBER = work_[work_.size() - 1 - index_++];
    counted();
    if (thr.get(Threads::ThreadKey) != Err::Ok) continue;
    thr.rec.DUMMY = StatusDelete;
    if (!write(thr, false)) return;
    ++stats_.agedThreads;
  }
  if (index_ >= work_.size()) go(StepThreadCount, "Deleting messages in obsolete threads");
}

// ---- threads, messages and sections with delete status (15, 16, 17, 23-25) --

void PurgeRun::countStatusThreads() {
  auto& thr = s_.Threads();
  std::vector<uint32_t> list;
  thr.clear();
  thr.rec.DUMMY = StatusDelete;
  thr.setAt(Threads::StatusKey);
  while (thr.next() == Err::Ok && thr.rec.DUMMY == StatusDelete) list.push_back(thr.rec.THREADNUMBER);
  go(StepThreadMessages, "Deleting messages in obsolete threads");
  work_ = std::move(list);
  setRange(static_cast<int64_t>(work_.size()));
}

bool PurgeRun::emptyGroups(const std::function<void(uint32_t)>& listMessages,
                           const std::function<bool(uint32_t)>& removeGroup) {
  while (index_ < work_.size() && sliceLeft()) {
    const uint32_t group = work_[index_];
    if (!threadStarted_) {
      threadMsgs_.clear();
      msgIndex_ = 0;
      threadKept_ = false;
      threadStarted_ = true;
      listMessages(group);
    }
    while (msgIndex_ < threadMsgs_.size() && sliceLeft()) {
      const uint32_t id = threadMsgs_[msgIndex_++];
      if (!messageExists(id)) continue;
      const uint8_t status = kind_ == KindMail ? s_.Mail().rec.DUMMY : s_.MsgNmbr().rec.DUMMY;
      if (status == StatusKeep) {
        threadKept_ = true;
        slice_ += 1;
        continue;
      }
      int r = deleteMessage(id);
      if (r < 0) return false;
      if (r == 0) threadKept_ = true;  // a message without its text stays, and so does its group
      slice_ += r == 1 ? 2 : 1;
    }
    if (msgIndex_ < threadMsgs_.size()) return false;  // the slice ended inside the group
    if (!threadKept_ && !removeGroup(group)) return false;
    threadStarted_ = false;
    ++index_;
    ++done_;
  }
  return index_ >= work_.size();
}

// Empties the listed threads (16: threads with delete status; 25: the
// threads of a section being emptied): every message without keep status
// goes with its text; a thread that keeps no message goes too.
void PurgeRun::deleteThreadMessages(bool sectionsStep) {
  auto& thr = s_.Threads();
  auto& msg = s_.MsgNmbr();
  auto readThread = [&](uint32_t number) {
    thr.clear();
    thr.rec.THREADNUMBER = number;
    return thr.get(Threads::ThreadKey) == Err::Ok;
  };
  const bool done = emptyGroups(
      [&](uint32_t number) {
        if (!readThread(number)) return;
        msg.clear();
        msg.rec.THREADALPHA = thr.rec.ALPHA;
        msg.rec.THREADNUMBER = number;
        msg.setAt(MsgNmbr::Threadkey, 2);
        while (msg.next() == Err::Ok && msg.rec.THREADNUMBER == number) threadMsgs_.push_back(msg.rec.MSGNUMBER);
      },
      [&](uint32_t number) {
        if (!readThread(number)) return true;
        if (!write(thr, true)) return false;
        ++stats_.threadsDeleted;
        return true;
      });
  if (!done) return;
  if (sectionsStep) {
    ++sectionIndex_;
    step_ = StepNextSection;
    resetLists();
    return;
  }
  countStatusMessages();
}

void PurgeRun::countStatusMessages() {
  std::vector<uint32_t> list;
  if (kind_ == KindMail) {
    auto& m = s_.Mail();
    m.clear();
    m.rec.DUMMY = StatusDelete;
    m.setAt(Mail::StatusKey);
    while (m.next() == Err::Ok && m.rec.DUMMY == StatusDelete) list.push_back(m.rec.MAILID);
    go(StepMailStatus, "Deleting obsolete messages");
  } else {
    auto& m = s_.MsgNmbr();
    m.clear();
    m.rec.DUMMY = StatusDelete;
    m.setAt(MsgNmbr::StatusKey);
    while (m.next() == Err::Ok && m.rec.DUMMY == StatusDelete) list.push_back(m.rec.MSGNUMBER);
    go(StepMessageStatus, "Deleting obsolete messages");
  }
  work_ = std::move(list);
  setRange(static_cast<int64_t>(work_.size()));
}

void PurgeRun::deleteStatusMessages() {
  while (index_ < work_.size() && sliceLeft()) {
    const uint32_t id = work_[index_++];
    ++done_;
    if (!messageExists(id)) continue;
    const uint8_t status = kind_ == KindMail ? s_.Mail().rec.DUMMY : s_.MsgNmbr().rec.DUMMY;
    if (status != StatusDelete) continue;
    int r = deleteMessage(id);
    if (r < 0) return;
    slice_ += r == 1 ? 2 : 1;
  }
  if (index_ < work_.size()) return;
  if (kind_ == KindMail)
    go(StepCopies, "Removing orphan duplicates");
  else
    go(StepSections, "Deleting messages in obsolete sections");
}

void PurgeRun::collectSections() {
  auto& sec = s_.Sections();
  sections_.clear();
  sectionIndex_ = 0;
  sec.setFileOrder();
  while (sec.next() == Err::Ok) {
    if (sec.rec.DUMMY == StatusKeep) continue;
    if (sec.rec.DUMMY == StatusNormal && !markedForDeletion_) continue;
    sections_.push_back(sec.rec.SECSYSID);
  }
  if (sections_.empty()) {
    go(StepTopicLinks, "Removing orphaned search indexes");
    return;
  }
  step_ = StepNextSection;
  resetLists();
}

void PurgeRun::nextSection() {
  if (sectionIndex_ >= sections_.size()) {
    sections_.clear();
    go(StepTopicLinks, "Removing orphaned search indexes");
    return;
  }
  const uint32_t secId = sections_[sectionIndex_];
  auto& thr = s_.Threads();
  std::vector<uint32_t> list;
  thr.clear();
  thr.rec.SECSYSID = secId;
  thr.setAt(Threads::SecKey, 1);
  while (thr.next() == Err::Ok && thr.rec.SECSYSID == secId)
    if (thr.rec.DUMMY != StatusKeep) list.push_back(thr.rec.THREADNUMBER);
  step_ = StepSectionThreads;
  resetLists();
  work_ = std::move(list);
  setRange(static_cast<int64_t>(work_.size()));
}

// ---- mail duplicates (97, 98) -------------------------------------------------

void PurgeRun::normaliseTimes() {
  auto& m = s_.Mail();
  if (phase_ == 0) {
    m.setFileOrder();
    while (m.next() == Err::Ok)
      if (normaliseTime(m.rec.TIME) != m.rec.TIME) work_.push_back(m.rec.MAILID);
    setRange(static_cast<int64_t>(work_.size()));
    phase_ = 1;
  }
  while (index_ < work_.size() && sliceLeft()) {
    m.clear();
    m.rec.MAILID = work_[index_++];
    counted();
    if (m.get(Mail::IdKey) != Err::Ok) continue;
    const int32_t t = normaliseTime(m.rec.TIME);
    if (t == m.rec.TIME) continue;
    m.rec.TIME = t;
    if (!write(m, false)) return;
    ++stats_.timesNormalised;
  }
  if (index_ >= work_.size()) go(StepDuplicates, "Identifying duplicate mail messages");
}

void PurgeRun::markDuplicates() {
  auto& m = s_.Mail();
  if (phase_ == 0) {
    scan_ = findMailDuplicates(s_);
    work_ = scan_.toMark();
    setRange(static_cast<int64_t>(work_.size()));
    caption_ = "Set delete status on duplicates";
    phase_ = 1;
  }
  while (index_ < work_.size() && sliceLeft()) {
    m.clear();
    m.rec.MAILID = work_[index_++];
    counted();
    if (m.get(Mail::IdKey) != Err::Ok || m.rec.DUMMY != StatusNormal) continue;
    m.rec.DUMMY = StatusDelete;
    if (!write(m, false)) return;
    ++stats_.duplicatesMarked;
  }
  if (index_ < work_.size()) return;
  if (!commit()) return;
  if (!spaceOk(kMinFree)) {
    fail("too little free disk space in " + s_.databaseDir());
    return;
  }
  if (options_.duplicatesOnly) {
    go(StepFinish, "");
    return;
  }
  go(StepPartnerCount, "Deleting obsolete messages");
}

// ---- mail partners with delete status (3, 4, 5) ---------------------------------

void PurgeRun::countStatusPersons() {
  auto& per = s_.Person();
  std::vector<uint32_t> list;
  per.setFileOrder();
  while (per.next() == Err::Ok)
    if (per.rec.DUMMY == StatusDelete) list.push_back(per.rec.PERSONID);
  go(StepPartnerMails, "Deleting obsolete messages");
  work_ = std::move(list);
  setRange(static_cast<int64_t>(work_.size()));
}

void PurgeRun::deletePartnerMails() {
  auto& per = s_.Person();
  auto& mail = s_.Mail();
  auto readPerson = [&](uint32_t personId) {
    per.clear();
    per.rec.PERSONID = personId;
    return per.get(Person::PersonKey) == Err::Ok;
  };
  const bool done = emptyGroups(
      [&](uint32_t personId) {
        // Mail whose partner is this person under another name sort
        // elsewhere; the partner identifier decides.
        if (!readPerson(personId)) return;
        mail.clear();
        mail.rec.PAIRALPHA = per.rec.LASTNAME;
        mail.rec.PAIRID = personId;
        mail.setAt(Mail::PairKey, 2);
        while (mail.next() == Err::Ok && mail.rec.PAIRID == personId) threadMsgs_.push_back(mail.rec.MAILID);
      },
      [&](uint32_t personId) {
        if (!readPerson(personId)) return true;
        if (!write(per, true) || !deleteLinksOf(personId)) return false;
        ++stats_.personsDeleted;
        return true;
      });
  if (!done) return;
  countStatusMessages();
}

// ---- clean-ups (6, 9/21, 11, 12, 13) ----------------------------------------------

void PurgeRun::removeOrphanCopies() {
  auto& ccr = s_.CCR();
  if (phase_ == 0) {
    uint32_t last = 0;
    bool any = false;
    ccr.setFileOrder();
    std::vector<uint32_t> ids;
    ccr.clear();
    ccr.set(CCR::IdKey);
    while (ccr.next() == Err::Ok) {
      if (any && ccr.rec.MAILID == last) continue;
      any = true;
      last = ccr.rec.MAILID;
      ids.push_back(last);
    }
    for (uint32_t id : ids)
      if (!messageExists(id)) work_.push_back(id);
    setRange(static_cast<int64_t>(work_.size()));
    phase_ = 1;
  }
  while (index_ < work_.size() && sliceLeft()) {
    const uint32_t id = work_[index_];
    ccr.clear();
    ccr.rec.MAILID = id;
    ccr.setAt(CCR::IdKey, 1);
    if (ccr.next() == Err::Ok && ccr.rec.MAILID == id) {
      if (!write(ccr, true)) return;
      ++stats_.copiesRemoved;
      ++slice_;
      continue;
    }
    ++index_;
    ++done_;
  }
  if (index_ >= work_.size()) go(StepMailLinks, "Removing orphan duplicates");
}

void PurgeRun::removeOrphanLinks() {
  auto& link = s_.PLINK();
  auto& per = s_.Person();
  if (phase_ == 0) {
    std::unordered_map<uint32_t, bool> exists;
    link.clear();
    link.set(PLINK::PersonKey);
    while (link.next() == Err::Ok) {
      auto it = exists.find(link.rec.PERSONID);
      if (it == exists.end()) {
        per.clear();
        per.rec.PERSONID = link.rec.PERSONID;
        it = exists.emplace(link.rec.PERSONID, per.get(Person::PersonKey) == Err::Ok).first;
      }
      if (!it->second) work_.push_back(link.rec.PERSONID);
    }
    work_.erase(std::unique(work_.begin(), work_.end()), work_.end());
    setRange(static_cast<int64_t>(work_.size()));
    phase_ = 1;
  }
  while (index_ < work_.size() && sliceLeft()) {
    if (!deleteLinksOf(work_[index_++])) return;
    counted();
  }
  if (index_ < work_.size()) return;
  if (kind_ == KindMail)
    go(StepWordIndex, "Purging orphaned word indexes");
  else if (kind_ == KindNewsgroup)
    go(StepReceivers, "Updating message receiver information");
  else
    go(StepPersonRecount, "Updating message counts per person");
}

void PurgeRun::removeOrphanTopicLinks() {
  auto& sin = s_.SIndex();
  if (phase_ == 0) {
    // Links to messages that are gone.
    uint32_t last = 0;
    bool any = false;
    sin.clear();
    sin.set(SIndex::MsgKey);
    std::vector<uint32_t> numbers;
    while (sin.next() == Err::Ok) {
      if (any && sin.rec.MSGNUMBER == last) continue;
      any = true;
      last = sin.rec.MSGNUMBER;
      numbers.push_back(last);
    }
    for (uint32_t n : numbers)
      if (!messageExists(n)) work_.push_back(n);
    setRange(static_cast<int64_t>(work_.size()));
    phase_ = 1;
  }
  if (phase_ == 1) {
    while (index_ < work_.size() && sliceLeft()) {
      const uint32_t n = work_[index_];
      sin.clear();
      sin.rec.MSGNUMBER = n;
      sin.setAt(SIndex::MsgKey, 1);
      if (sin.next() == Err::Ok && sin.rec.MSGNUMBER == n) {
        if (!write(sin, true)) return;
        ++stats_.topicLinksRemoved;
        ++slice_;
        continue;
      }
      ++index_;
      ++done_;
    }
    if (index_ < work_.size()) return;
    if (!commit()) return;
    // Links to topics that are gone.
    std::unordered_set<uint32_t> topics;
    auto& codes = s_.Codes();
    codes.setFileOrder();
    while (codes.next() == Err::Ok) topics.insert(codes.rec.ID);
    work_.clear();
    index_ = 0;
    sin.clear();
    sin.set(SIndex::IdKey);
    bool any = false;
    uint32_t last = 0;
    while (sin.next() == Err::Ok) {
      if (any && sin.rec.ID == last) continue;
      any = true;
      last = sin.rec.ID;
      if (!topics.count(last)) work_.push_back(last);
    }
    setRange(static_cast<int64_t>(work_.size()));
    phase_ = 2;
  }
  while (index_ < work_.size() && sliceLeft()) {
    const uint32_t id = work_[index_];
    sin.clear();
    sin.rec.ID = id;
    sin.rec.MSGNUMBER = 0xFFFFFFFFu;
    sin.setAt(SIndex::IdKey);
    if (sin.next() == Err::Ok && sin.rec.ID == id) {
      if (!write(sin, true)) return;
      ++stats_.topicLinksRemoved;
      ++slice_;
      continue;
    }
    ++index_;
    ++done_;
  }
  if (index_ < work_.size()) return;
  go(StepTopicCounts, "Updating key word index counts");
}

void PurgeRun::recountTopics() {
  auto& codes = s_.Codes();
  auto& sin = s_.SIndex();
  if (phase_ == 0) {
    codes.setFileOrder();
    while (codes.next() == Err::Ok) work_.push_back(static_cast<uint32_t>(codes.position()));
    setRange(static_cast<int64_t>(work_.size()));
    phase_ = 1;
  }
  while (index_ < work_.size() && sliceLeft()) {
    const int64_t pos = work_[index_++];
    counted();
    if (codes.getPosition(pos) != Err::Ok) continue;
    const uint32_t id = codes.rec.ID;
    uint32_t n = 0;
    sin.clear();
    sin.rec.ID = id;
    sin.rec.MSGNUMBER = 0xFFFFFFFFu;
    sin.setAt(SIndex::IdKey);
    while (sin.next() == Err::Ok && sin.rec.ID == id) ++n;
    if (codes.getPosition(pos) != Err::Ok || codes.rec.COUNT == n) continue;
    codes.rec.COUNT = n;
    if (!write(codes, false)) return;
    ++stats_.topicsRecounted;
  }
  if (index_ < work_.size()) return;
  if (options_.mode == PurgeMode::Count)
    firstCountStep();
  else if (kind_ == KindMail)
    go(StepMailRecount, "Updating message counts per person");
  else
    go(StepWordIndex, "Purging orphaned word indexes");
}

void PurgeRun::purgeWordIndex() {
  if (!commit()) return;
  // The postings of the messages deleted now, and of any message deleted
  // by a run that did not get this far.
  std::vector<uint32_t> ids = std::move(deleted_);
  deleted_.clear();
  {
    Postings postings;
    if (index::openWordIndex(s_, postings, false) == Err::Ok) {
      for (uint32_t id : postings.indexedMessages())
        if (!messageExists(id)) ids.push_back(id);
      index::closeWordIndex(s_, postings);
    }
  }
  std::sort(ids.begin(), ids.end());
  ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
  index::PurgeResult r = index::removeDeletedPostings(s_, std::move(ids), kCommitAfter,
                                                      [this](const std::string& c) { caption_ = c; });
  if (!r.ok) {
    if (s_.transaction().active()) s_.transaction().rollback();
    fail("the word index could not be cleaned");
    return;
  }
  stats_.postingsRemoved += r.postingsRemoved;
  if (kind_ == KindMail)
    go(StepTopicLinks, "Removing orphaned search indexes");
  else
    go(StepLinks, "Removing orphan duplicates");
}

// ---- receivers of newsgroup replies (22) --------------------------------------------

void PurgeRun::repairReceivers() {
  auto& msg = s_.MsgNmbr();
  if (phase_ == 0) {
    std::unordered_map<uint32_t, uint32_t> senders;
    std::vector<std::pair<uint32_t, uint32_t>> replies;  // (message, replied-to)
    std::unordered_map<uint32_t, uint32_t> receivers;
    msg.setFileOrder();
    while (msg.next() == Err::Ok) {
      senders[msg.rec.MSGNUMBER] = msg.rec.FROMID;
      if (msg.rec.REFNUMBER != 0) {
        replies.emplace_back(msg.rec.MSGNUMBER, msg.rec.REFNUMBER);
        receivers[msg.rec.MSGNUMBER] = msg.rec.TOID;
      }
    }
    repairs_.clear();
    for (auto& [id, ref] : replies) {
      auto it = senders.find(ref);
      if (it != senders.end() && it->second != receivers[id]) repairs_.emplace_back(id, ref);
    }
    setRange(static_cast<int64_t>(repairs_.size()));
    phase_ = 1;
  }
  while (index_ < repairs_.size() && sliceLeft()) {
    auto [id, ref] = repairs_[index_++];
    counted();
    msg.clear();
    msg.rec.MSGNUMBER = ref;
    if (msg.get(MsgNmbr::IdKey) != Err::Ok) continue;
    const uint32_t fromId = msg.rec.FROMID;
    const auto fromAlpha = msg.rec.FROMALPHA;
    msg.clear();
    msg.rec.MSGNUMBER = id;
    if (msg.get(MsgNmbr::IdKey) != Err::Ok || msg.rec.TOID == fromId) continue;
    msg.rec.TOID = fromId;
    msg.rec.TOALPHA = fromAlpha;
    if (!write(msg, false)) return;
    ++stats_.receiversRepaired;
  }
  if (index_ < repairs_.size()) return;
  repairs_.clear();
  go(StepPersonRecount, "Updating message counts per person");
}

// ---- recounts (18, 19, 20, 7) --------------------------------------------------------

void PurgeRun::recountPersons() {
  auto& per = s_.Person();
  if (phase_ == 0) {
    tally_ = std::make_unique<MessageTally>();
    if (kind_ == KindMail) {
      auto& m = s_.Mail();
      m.setFileOrder();
      while (m.next() == Err::Ok) tally_->add(m.rec);
    } else {
      auto& m = s_.MsgNmbr();
      m.setFileOrder();
      while (m.next() == Err::Ok) tally_->add(m.rec);
    }
    per.setFileOrder();
    while (per.next() == Err::Ok) work_.push_back(per.rec.PERSONID);
    setRange(static_cast<int64_t>(work_.size()));
    phase_ = 1;
  }
  while (index_ < work_.size() && sliceLeft()) {
    const uint32_t id = work_[index_++];
    counted();
    per.clear();
    per.rec.PERSONID = id;
    if (per.get(Person::PersonKey) != Err::Ok) continue;
    const MessageTally::FromTo c = tally_->personCounts(id);
    // The owner of a mail database stays, with zero counts if need be.
    if (c.from == 0 && c.to == 0 && !(kind_ == KindMail && id == ownerId_)) {
      if (!write(per, true) || !deleteLinksOf(id)) return;
      ++stats_.personsDeleted;
      continue;
    }
    if (!applyCounts(*tally_, per.rec)) continue;
    if (!write(per, false)) return;
    ++stats_.personsRecounted;
  }
  if (index_ < work_.size()) return;
  stats_.persons = static_cast<uint32_t>(per.count());
  if (kind_ == KindMail) {
    recountSections();  // stores the database total
    return;
  }
  go(StepThreadRecount, "Updating message counts per thread");
}

template <class R>
bool PurgeRun::recountRecords(store::Table<R>& f, uint32_t R::*id, int key,
                              uint32_t (store::MessageTally::*countOf)(uint32_t) const, uint32_t& deleted,
                              uint32_t& recounted) {
  if (phase_ == 0) {
    f.setFileOrder();
    while (f.next() == Err::Ok) work_.push_back(f.rec.*id);
    setRange(static_cast<int64_t>(work_.size()));
    phase_ = 1;
  }
  while (index_ < work_.size() && sliceLeft()) {
    const uint32_t n = work_[index_++];
    counted();
    f.clear();
    f.rec.*id = n;
    if (f.get(key) != Err::Ok) continue;
    if (((*tally_).*countOf)(n) == 0) {
      if (!write(f, true)) return false;
      ++deleted;
      continue;
    }
    if (!applyCounts(*tally_, f.rec)) continue;
    if (!write(f, false)) return false;
    ++recounted;
  }
  return index_ >= work_.size();
}

void PurgeRun::recountThreads() {
  auto& thr = s_.Threads();
  if (!recountRecords(thr, &Threads::THREADNUMBER, Threads::ThreadKey, &store::MessageTally::threadCount,
                      stats_.threadsDeleted, stats_.threadsRecounted))
    return;
  stats_.threads = static_cast<uint32_t>(thr.count());
  go(StepSectionRecount, "Updating message counts per section");
}

void PurgeRun::recountSections() {
  if (kind_ != KindMail && !recountRecords(s_.Sections(), &Sections::SECSYSID, Sections::SysIdKey,
                                           &store::MessageTally::sectionCount, stats_.sectionsDeleted,
                                           stats_.sectionsRecounted))
    return;
  // The database total, with the counted flag cleared.
  auto& forums = s_.Forums();
  forums.clear();
  forums.rec.ID = forumId_;
  if (!HoldRec(s_, forums, Forums::ForumKey, HoldBy::Key)) {
    fail("the database record could not be read");
    return;
  }
  const uint32_t messages = tally_->messages;
  forums.rec.MSGCOUNT = messages;
  forums.rec.COUNTFLAG = 0;
  if (!write(forums, false)) return;
  stats_.after = messages;
  stats_.done = true;
  tally_.reset();
  go(StepFinish, "");
}

// ---- finish (8) ---------------------------------------------------------------------

void PurgeRun::finish() {
  if (!commit()) return;
  stats_.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
  const bool purge = options_.mode == PurgeMode::Purge;
  state_ = State::Finished;
  step_ = StepIdle;
  deleted_.clear();
  closeFiles();
  if (!unattended()) {
    if (options_.completionMessage && setting(s_, SetShowCompletion) == 1) {
      s_.beep();
      s_.tell(completionText(), purge ? " Obsolete Message Purging " : " Count Messages ", Icon::Information);
    }
    if (onRefresh) onRefresh(forumId_);
    return;
  }
  if (!report) return;
  NextMaintenance next = report->ended(purge ? KindPurge : KindCount, stats_.done, forumId_);
  if ((next.kind != KindPurge && next.kind != KindCount) || next.forumId == 0) return;
  // Another purge or count follows: its database becomes current and the
  // run starts again.
  Forums db;
  if (!readDatabase(s_, next.forumId, db)) return;
  s_.selectDatabase(db);
  options_.mode = next.kind == KindPurge ? PurgeMode::Purge : PurgeMode::Count;
  stats_ = PurgeStats{};
  if (!open()) return;
  start();
}

}  // namespace qb::maintenance
