#include "maintenance/message_status.h"

#include <algorithm>

#include "archive/browse/browse_status.h"
#include "archive/config.h"
#include "archive/databases.h"
#include "archive/file_table.h"
#include "archive/record_access.h"
#include "maintenance/key_range.h"
#include "text/strings.h"

namespace qb::maintenance {

using store::Err;
using store::FileNo;

namespace {

constexpr int kDefaultSlice = 200;
constexpr int kCommitAfter = 400;

std::vector<FileNo> filesOf(uint8_t kind) {
  if (kind == store::KindMail) return {FileNo::Mail, FileNo::Person};
  return {FileNo::MsgNmbr, FileNo::Threads, FileNo::Sections, FileNo::Person};
}

}  // namespace

int statusFromName(const std::string& name) {
  const std::string n = text::upperAscii(name);
  if (n == "NORMAL") return 0;
  if (n == "KEEP") return 1;
  if (n == "DELETE") return 2;
  return -1;
}

const char* statusName(uint8_t status) {
  switch (status) {
    case 0: return "Normal";
    case 1: return "Keep";
    case 2: return "Delete";
    default: return "?";
  }
}

std::string scopeName(StatusScope scope, uint8_t kind) {
  switch (scope) {
    case StatusScope::Message: return kind == store::KindMail ? "mail" : "message";
    case StatusScope::Thread: return "thread";
    case StatusScope::Section: return kind == store::KindNewsgroup ? "newsgroup" : "section";
    case StatusScope::Person: return kind == store::KindMail ? "partner" : "person";
    case StatusScope::Database: return "database";
  }
  return {};
}

StatusChange::StatusChange(store::Session& s, uint32_t forumId, StatusOrder order)
    : s_(s), forumId_(forumId), order_(order) {}

StatusChange::~StatusChange() { finish(); }

std::string StatusChange::progressText() const {
  if (state_ != State::Done) return "Recoding message status ... please wait!";
  return failed_ || cancelled_ ? "Process aborted!" : "Message status recoded!";
}

bool StatusChange::step() {
  if (state_ == State::Done) return false;
  if (cancelRequested_) {
    cancelled_ = true;
    finish();
    return false;
  }
  if (state_ == State::Start)
    start();
  else
    recodeSlice();
  return state_ != State::Done;
}

void StatusChange::start() {
  if (order_.status > 2) return fail("The status must be normal, keep or delete.");
  store::Forums db;
  if (!store::readDatabase(s_, forumId_, db)) return fail("The database does not exist.");
  if (db.NODIR) return fail("The database has no directory.");
  kind_ = db.TYPE;
  saved_ = s_.currentDatabase();
  s_.selectDatabase(db);
  selected_ = true;
  store::OP_CLOSE(s_, store::OpOpen, filesOf(kind_));
  filesOpen_ = true;
  if (slice_ <= 0) {
    int32_t n = store::SpeedVal(s_, store::SpeedAction::BatchSize, store::SpeedCountPurge);
    slice_ = n > 0 ? n : kDefaultSlice;
  }
  if (!mark()) return;
  if (order_.messages && order_.scope != StatusScope::Message) gather();
  if (positions_.empty()) return finish();
  state_ = State::Recode;
}

// Finds the named record, then writes its status byte (unless it already
// holds the status).
bool StatusChange::mark() {
  const bool mail = kind_ == store::KindMail;
  const uint32_t id = order_.id;
  store::StatusTarget target = store::StatusTarget::Message;
  bool found = false;
  switch (order_.scope) {
    case StatusScope::Message:
      if (mail) {
        auto& m = s_.Mail();
        m.clear();
        m.rec.MAILID = id;
        found = m.get(store::Mail::IdKey) == Err::Ok;
        previous_ = m.rec.DUMMY;
        targetName_ = m.rec.SUBJECT.str();
        target = store::StatusTarget::Mail;
      } else {
        auto& m = s_.MsgNmbr();
        m.clear();
        m.rec.MSGNUMBER = id;
        found = m.get(store::MsgNmbr::IdKey) == Err::Ok;
        previous_ = m.rec.DUMMY;
        target = store::StatusTarget::Message;
      }
      break;
    case StatusScope::Thread: {
      if (mail) {
        fail("A mail database has no threads.");
        return false;
      }
      auto& t = s_.Threads();
      t.clear();
      t.rec.THREADNUMBER = id;
      found = t.get(store::Threads::ThreadKey) == Err::Ok;
      previous_ = t.rec.DUMMY;
      threadAlpha_ = t.rec.ALPHA.str();
      targetName_ = t.rec.heading();
      target = store::StatusTarget::Thread;
      break;
    }
    case StatusScope::Section: {
      if (mail) {
        fail("A mail database has no sections.");
        return false;
      }
      auto& t = s_.Sections();
      t.clear();
      t.rec.SECSYSID = id;
      found = t.get(store::Sections::SysIdKey) == Err::Ok;
      previous_ = t.rec.DUMMY;
      targetName_ = t.rec.DESCRIPTION.str();
      target = store::StatusTarget::Section;
      break;
    }
    case StatusScope::Person: {
      auto& p = s_.Person();
      p.clear();
      p.rec.PERSONID = id;
      found = p.get(store::Person::PersonKey) == Err::Ok;
      previous_ = p.rec.DUMMY;
      targetName_ = text::trimRightSpaces(p.rec.FIRSTNAME.str() + " " + p.rec.LASTNAME.str());
      target = store::StatusTarget::Partner;
      break;
    }
    case StatusScope::Database: {
      store::Forums db;
      found = store::readDatabase(s_, forumId_, db);
      previous_ = db.DUMMY;
      targetName_ = db.DESCRIPTION.str();
      target = store::StatusTarget::Database;
      break;
    }
  }
  if (!found) {
    fail("There is no " + scopeName(order_.scope, kind_) + " " + std::to_string(id) + " in the database.");
    return false;
  }
  if (previous_ != order_.status &&
      !store::setStatus(s_, target, order_.scope == StatusScope::Database ? forumId_ : id, order_.status)) {
    fail("The status of the " + scopeName(order_.scope, kind_) + " could not be written.");
    return false;
  }
  marked_ = true;
  return true;
}

// The messages of the named thread, section, person or database, gathered
// before any is written.
void StatusChange::gather() {
  const bool mail = kind_ == store::KindMail;
  const uint32_t id = order_.id;
  switch (order_.scope) {
    case StatusScope::Message: break;
    case StatusScope::Thread: {
      auto& m = s_.MsgNmbr();
      positions_ = rangeOf(m, store::MsgNmbr::Threadkey, &store::MsgNmbr::THREADALPHA, &store::MsgNmbr::THREADNUMBER,
                           store::FixedString<10>(threadAlpha_), id);
      break;
    }
    case StatusScope::Section: {
      auto& m = s_.MsgNmbr();
      m.clear();
      m.rec.SECSYSID = id;
      if (m.setAt(store::MsgNmbr::SECkey, 1) == Err::Ok)
        while (m.next() == Err::Ok && m.rec.SECSYSID == id) positions_.push_back(m.position());
      break;
    }
    case StatusScope::Person: {
      auto& p = s_.Person();
      p.clear();
      p.rec.PERSONID = id;
      if (p.get(store::Person::PersonKey) != Err::Ok) break;
      const std::string last = p.rec.LASTNAME.str();
      if (mail) {
        // A partner's mails, as the purge takes them.
        positions_ = rangeOf(s_.Mail(), store::Mail::PairKey, &store::Mail::PAIRALPHA, &store::Mail::PAIRID,
                             store::FixedString<25>(last), id);
      } else {
        // The messages the person sent and those addressed to it.
        auto& m = s_.MsgNmbr();
        positions_ = rangeOf(m, store::MsgNmbr::FromKey, &store::MsgNmbr::FROMALPHA, &store::MsgNmbr::FROMID,
                             store::FixedString<10>(last), id);
        auto to = rangeOf(m, store::MsgNmbr::ToKey, &store::MsgNmbr::TOALPHA, &store::MsgNmbr::TOID,
                          store::FixedString<10>(last), id);
        positions_.insert(positions_.end(), to.begin(), to.end());
        std::sort(positions_.begin(), positions_.end());
        positions_.erase(std::unique(positions_.begin(), positions_.end()), positions_.end());
      }
      break;
    }
    case StatusScope::Database: {
      store::KeyedFile& f = mail ? static_cast<store::KeyedFile&>(s_.Mail()) : s_.MsgNmbr();
      f.setFileOrder();
      while (f.next() == Err::Ok) positions_.push_back(f.position());
      break;
    }
  }
}

void StatusChange::recodeSlice() {
  const bool mail = kind_ == store::KindMail;
  store::KeyedFile& f = mail ? static_cast<store::KeyedFile&>(s_.Mail()) : s_.MsgNmbr();
  int handled = 0, writes = 0;
  auto commit = [&]() {
    if (s_.transaction().active() && !store::commitTransaction(s_)) {
      fail("The transaction could not be committed.");
      return false;
    }
    writes = 0;
    return true;
  };
  while (next_ < positions_.size() && handled < slice_) {
    const int64_t pos = positions_[next_++];
    ++handled;
    if (!s_.transaction().active() && !store::beginTransaction(s_, {&f}, 5)) return fail("Transaction Frame Error!");
    if (f.getPosition(pos) != Err::Ok) continue;  // deleted meanwhile
    ++read_;
    uint8_t& status = mail ? s_.Mail().rec.DUMMY : s_.MsgNmbr().rec.DUMMY;
    if (status == order_.status) continue;
    status = order_.status;
    if (!store::UppDat(s_, f, store::UppChange, store::ErrRollback))
      return fail("The status of a message could not be written.");
    ++recoded_;
    if (++writes >= kCommitAfter && !commit()) return;
  }
  if (!commit()) return;
  if (next_ >= positions_.size()) finish();
}

void StatusChange::fail(const std::string& why) {
  failed_ = true;
  error_ = why;
  if (s_.transaction().active()) s_.transaction().rollback();
  finish();
}

void StatusChange::finish() {
  if (s_.transaction().active()) (void)store::commitTransaction(s_);
  if (filesOpen_) {
    store::OP_CLOSE(s_, store::OpClose, filesOf(kind_));
    filesOpen_ = false;
  }
  if (selected_) {
    s_.restoreDatabase(saved_);
    selected_ = false;
    // The database's own status shows in the current selection too.
    if (marked_ && order_.scope == StatusScope::Database && s_.ForumNumber == forumId_)
      s_.ForumCheck = order_.status;
  }
  state_ = State::Done;
}

}  // namespace qb::maintenance
