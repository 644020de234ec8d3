#include "import/message_store.h"

#include "import/dup_string.h"
#include "text/encodings.h"
#include "text/unicode.h"
#include "archive/persons.h"
#include "archive/record_access.h"
#include "archive/records.h"
#include "archive/session.h"

namespace qb::import {
namespace {

using store::Err;

// A header text with an encoded word ("=?charset?B|Q?text?=") decoded; the
// first such word only.
template <std::size_t N>
void decodeField(store::FixedString<N>& field) {
  std::string v = field.str();
  if (v.find("=?") != std::string::npos) field = text::decodeEncodedWord(v);
}

std::string first10(const std::string& s) { return s.substr(0, std::min<std::size_t>(10, s.size())); }

std::string trimRight(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

}  // namespace

int32_t cutToMinute(int32_t time) {
  int32_t rest = time % 6000;
  return rest == 0 ? time : time - rest + 1;
}

MessageStore::MessageStore(store::Session& s, bool allowReimport, uint32_t mailTopic)
    : s_(s), allowReimport_(allowReimport), mailTopic_(mailTopic) {}

StoreOutcome MessageStore::store(NHR nhr, const std::string& text, int kind, uint32_t secSysId, int32_t runDate,
                                 int32_t runTime) {
  decodeField(nhr.S_NAME);
  decodeField(nhr.R_NAME);
  decodeField(nhr.HEADING);
  if (kind == store::KindMail) return storeMail(nhr, text, runDate, runTime);
  return storeForum(nhr, text, kind, secSysId, runDate, runTime);
}

// ---- forum and newsgroup messages ------------------------------------------

bool MessageStore::headerExists(uint32_t number) {
  auto& msg = s_.MsgNmbr();
  msg.clear();
  msg.rec.MSGNUMBER = number;
  return msg.get(store::MsgNmbr::IdKey) == Err::Ok;
}

bool MessageStore::idString(uint32_t number, std::string& id) {
  auto& tid = s_.table<TID>(store::FileNo::MessageIdWork);
  tid.clear();
  tid.rec.MSGNUMBER = number;
  if (tid.get(TID::IDKEY) != Err::Ok) return false;
  id = tid.rec.IDSTRING.str();
  return true;
}

bool MessageStore::person(const std::string& name, const std::string& address, uint32_t& id,
                          std::string& lastName) {
  if (store::AddPers(s_, name, address) != 0) return false;
  id = s_.Person().rec.PERSONID;
  lastName = s_.Person().rec.LASTNAME.str();
  return true;
}

bool MessageStore::resolveNewsNumber(NHR& w, bool& isNew, int& result) {
  std::string id;
  if (!idString(w.MSGNUMBER, id)) {
    result = StoreDuplicate;  // no identifier: not stored
    return false;
  }
  auto& mst = s_.MsgString();
  mst.clear();
  mst.rec.IDSTRING = id;
  if (mst.get(store::MsgString::IDStringKey) == Err::Ok) {
    w.MSGNUMBER = mst.rec.MSGNUMBER;
    isNew = !headerExists(w.MSGNUMBER);
    if (!isNew && !allowReimport_) {
      result = StoreDuplicate;
      return false;
    }
    return true;
  }
  mst.clear();
  mst.rec.IDSTRING = id;
  mst.rec.MSGNUMBER = w.MSGNUMBER;
  if (!store::UppDat(s_, mst, store::UppAdd, store::ErrRollback)) {
    result = StoreFailed;
    return false;
  }
  isNew = true;
  return true;
}

bool MessageStore::resolveNewsReply(NHR& w, uint32_t& thread, std::string& threadAlpha, uint32_t& authorId,
                                    std::string& authorLast) {
  if (w.REFNUMBER == 0) return true;
  std::string id;
  if (!idString(w.REFNUMBER, id)) {
    w.REFNUMBER = 0;
    return true;
  }
  auto& mst = s_.MsgString();
  mst.clear();
  mst.rec.IDSTRING = id;
  if (mst.get(store::MsgString::IDStringKey) != Err::Ok) {
    // Reserve the number for the replied-to message, should it come later.
    mst.clear();
    mst.rec.IDSTRING = id;
    mst.rec.MSGNUMBER = w.REFNUMBER;
    return store::UppDat(s_, mst, store::UppAdd, store::ErrRollback) != 0;
  }
  w.REFNUMBER = mst.rec.MSGNUMBER;
  if (w.REFNUMBER == w.MSGNUMBER) {  // a message never refers to itself
    w.REFNUMBER = 0;
    return true;
  }
  if (!headerExists(w.REFNUMBER)) return true;
  thread = s_.MsgNmbr().rec.THREADNUMBER;
  threadAlpha = s_.MsgNmbr().rec.THREADALPHA.str();
  auto& per = s_.Person();
  per.clear();
  per.rec.PERSONID = s_.MsgNmbr().rec.FROMID;
  if (per.get(store::Person::PersonKey) == Err::Ok) {
    std::string first = per.rec.FIRSTNAME.str(), last = per.rec.LASTNAME.str();
    w.R_NAME = first.empty() ? last : first + " " + last;
    w.R_CISADRESS = per.rec.ADDRESS.str();
    authorId = per.rec.PERSONID;
    authorLast = last;
  }
  return true;
}

bool MessageStore::findOrCreateThread(uint32_t sec, const std::string& heading, uint32_t& number,
                                      std::string& alpha) {
  auto& thr = s_.Threads();
  std::string subject = trimRight(store::FixedString<100>(heading).str());
  thr.clear();
  thr.rec.SECSYSID = sec;
  thr.rec.setHeading(subject);
  const store::FixedString<10> prefix = thr.rec.ALPHA;
  const std::string foldedPrefix = text::foldCase(prefix.str());
  // The key is case-insensitive: threads whose prefixes differ only in
  // letter case lie together, so all of them are read and the subject is
  // compared exactly.
  if (thr.setAt(store::Threads::SecKey) == Err::Ok) {
    while (thr.next() == Err::Ok && thr.rec.SECSYSID == sec &&
           text::foldCase(thr.rec.ALPHA.str()) == foldedPrefix) {
      if (thr.rec.heading() == subject) {
        number = thr.rec.THREADNUMBER;
        alpha = thr.rec.ALPHA.str();
        return true;
      }
    }
  }
  uint32_t n = store::NextNr(s_);
  if (n == 0) {
    s_.tell("Transaction Frame Error!", "Warning!");
    if (s_.transaction().active()) s_.transaction().rollback();
    return false;
  }
  thr.clear();
  thr.rec.THREADNUMBER = n;
  thr.rec.SECSYSID = sec;
  thr.rec.setHeading(subject);
  thr.rec.MSGCOUNT = 0;
  if (!store::UppDat(s_, thr, store::UppAdd, store::ErrRollback)) return false;
  number = n;
  alpha = prefix.str();
  return true;
}

bool MessageStore::writeText(uint32_t number, const std::string& text, bool isNew, int32_t runDate,
                             int32_t runTime) {
  auto& txt = s_.MsgText();
  txt.clear();
  txt.rec.MSGNUMBER = number;
  if (!isNew) {
    if (txt.get(store::MsgText::IdKey) != Err::Ok) return true;  // no text to replace
    txt.memo() = text.substr(0, std::min(text.size(), store::kMaxMemo));
    txt.rec.DATE = runDate;
    txt.rec.TIME = runTime;
    return store::UppDat(s_, txt, store::UppChange, store::ErrRollback) != 0;
  }
  txt.memo() = text.substr(0, std::min(text.size(), store::kMaxMemo));
  txt.rec.DATE = runDate;
  txt.rec.TIME = runTime;
  return store::UppDat(s_, txt, store::UppAdd, store::ErrRollback) != 0;
}

StoreOutcome MessageStore::storeForum(NHR& w, const std::string& text, int kind, uint32_t sec, int32_t runDate,
                                      int32_t runTime) {
  StoreOutcome out;
  out.result = StoreFailed;
  bool isNew = true;
  if (kind == store::KindNewsgroup) {
    int result = StoreFailed;
    if (!resolveNewsNumber(w, isNew, result)) {
      out.result = result;
      return out;
    }
  } else {
    isNew = !headerExists(w.MSGNUMBER);
  }
  if (w.REFNUMBER == w.MSGNUMBER) w.REFNUMBER = 0;

  // Thread: that of the replied-to message, else by subject.
  uint32_t thread = 0, authorId = 0;
  std::string alpha, authorLast;
  if (kind == store::KindNewsgroup) {
    if (!resolveNewsReply(w, thread, alpha, authorId, authorLast)) return out;
  } else if (w.REFNUMBER != 0 && headerExists(w.REFNUMBER)) {
    thread = s_.MsgNmbr().rec.THREADNUMBER;
    alpha = s_.MsgNmbr().rec.THREADALPHA.str();
  }
  if (thread == 0 && !findOrCreateThread(sec, w.HEADING.str(), thread, alpha)) return out;

  uint32_t fromId = 0, toId = authorId;
  std::string fromLast, toLast = authorLast;
  if (!person(w.S_NAME.str(), w.S_CISADRESS.str(), fromId, fromLast)) return out;
  // The author of a replied-to newsgroup message is taken as he is, so that
  // a name shortened in his record cannot make a second person of him.
  if (toId == 0 && !person(w.R_NAME.str(), w.R_CISADRESS.str(), toId, toLast)) return out;

  auto& msg = s_.MsgNmbr();
  if (!isNew && !headerExists(w.MSGNUMBER)) isNew = true;  // gone meanwhile
  if (isNew) msg.clear();
  auto& m = msg.rec;
  m.MSGNUMBER = w.MSGNUMBER;
  m.SECSYSID = sec;
  m.REFNUMBER = w.REFNUMBER;
  m.THREADNUMBER = thread;
  m.THREADALPHA = alpha;
  m.FROMID = fromId;
  m.FROMALPHA = first10(fromLast);
  m.TOID = toId;
  m.TOALPHA = first10(toLast);
  m.DATE = w.DATE;
  m.DUMMY = 0;
  if (!store::UppDat(s_, msg, isNew ? store::UppAdd : store::UppChange, store::ErrRollback)) return out;
  if (!writeText(w.MSGNUMBER, text, isNew, runDate, runTime)) return out;

  if (kind == store::KindForum) {
    auto& reg = s_.SaveFile();
    reg.clear();
    reg.rec.FORUMNUMBER = w.INTERNAL;
    reg.rec.MSGNUMBER = w.MSGNUMBER;
    if (!allowReimport_) {
      if (!store::UppDat(s_, reg, store::UppAppend, store::ErrRollback)) return out;
    } else if (reg.get(store::SaveFile::IDKEY) != Err::Ok) {
      reg.clear();
      reg.rec.FORUMNUMBER = w.INTERNAL;
      reg.rec.MSGNUMBER = w.MSGNUMBER;
      if (!store::UppDat(s_, reg, store::UppAdd, store::ErrRollback)) return out;
    }
  }
  out.result = StoreStored;
  out.isNew = isNew;
  out.senderId = fromId;
  out.recipientId = toId;
  out.threadNumber = thread;
  return out;
}

// ---- mail ------------------------------------------------------------------

StoreOutcome MessageStore::storeMail(NHR& w, const std::string& text, int32_t runDate, int32_t runTime) {
  StoreOutcome out;
  out.result = StoreFailed;
  if (w.R_NAME.blank()) w.R_NAME = "Name Unknown";
  if (w.S_NAME.blank()) w.S_NAME = "Name Unknown";

  // The owner's last name, kept for the run: that of the owner's side of
  // the first mail (the recipient of an incoming, the sender of an outgoing
  // mail), split as a new person's name would be.
  auto ownerLast = [&](const std::string& ownerSideName) {
    if (ownerLastName_.empty()) {
      std::string first;
      store::ParseName(ownerSideName, 25, ownerLastName_, 25, first);
    }
    return ownerLastName_;
  };

  uint32_t fromId = 0, toId = 0;
  std::string fromLast, toLast;
  if (w.MAILTYPE == 1) {
    toId = s_.PersonID;
    toLast = ownerLast(w.R_NAME.str());
  } else if (!person(w.R_NAME.str(), w.R_CISADRESS.str(), toId, toLast)) {
    return out;
  }
  if (w.MAILTYPE == 2) {
    fromId = s_.PersonID;
    fromLast = ownerLast(w.S_NAME.str());
  } else if (!person(w.S_NAME.str(), w.S_CISADRESS.str(), fromId, fromLast)) {
    return out;
  }
  uint32_t pairId = 0;
  std::string pairLast;
  if (w.MAILTYPE == 1) {
    pairId = fromId;
    pairLast = fromLast;
  } else if (w.MAILTYPE == 2) {
    pairId = toId;
    pairLast = toLast;
  }
  w.TIME = cutToMinute(w.TIME);

  // Duplicate: a mail of the same minute, subject (any case), sender and
  // recipient with an equal text.
  auto& mail = s_.Mail();
  const std::string subject = text::upper1252(store::FixedString<50>(w.HEADING.str()).str());
  mail.clear();
  mail.rec.DATE = w.DATE;
  mail.rec.TIME = w.TIME;
  if (mail.setAt(store::Mail::DateKey, 2) == Err::Ok) {
    while (mail.next() == Err::Ok && mail.rec.DATE == w.DATE && mail.rec.TIME == w.TIME) {
      if (text::upper1252(mail.rec.SUBJECT.str()) == subject && mail.rec.FROMID == fromId &&
          mail.rec.TOID == toId && DupString(s_, mail.rec.MAILID, text)) {
        out.result = StoreDuplicate;
        return out;
      }
    }
  }

  mail.clear();
  auto& m = mail.rec;
  m.MAILID = w.REFNUMBER;
  m.SUBJECT = w.HEADING.str();
  m.PAIRID = pairId;
  m.PAIRALPHA = pairLast;
  m.FROMID = fromId;
  m.FROMALPHA = first10(fromLast);
  m.TOID = toId;
  m.TOALPHA = first10(toLast);
  m.DATE = w.DATE;
  m.TIME = w.TIME;
  m.RECIPTYPE = w.RECIPTYPE.str();
  m.CCR = 0;
  m.DUMMY = 0;
  if (!store::UppDat(s_, mail, store::UppAdd, store::ErrRollback)) return out;
  if (!writeText(w.REFNUMBER, text, true, runDate, runTime)) return out;

  if (mailTopic_ != 0) {
    auto& sin = s_.SIndex();
    sin.clear();
    sin.rec.ID = mailTopic_;
    sin.rec.MSGNUMBER = w.REFNUMBER;
    if (sin.get(store::SIndex::IdKey) != Err::Ok) {
      sin.clear();
      sin.rec.ID = mailTopic_;
      sin.rec.MSGNUMBER = w.REFNUMBER;
      if (!store::UppDat(s_, sin, store::UppAdd, store::ErrRollback)) return out;
    }
  }
  out.result = StoreStored;
  out.isNew = true;
  out.senderId = fromId;
  out.recipientId = toId;
  return out;
}

}  // namespace qb::import
