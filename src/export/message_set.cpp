#include "export/message_set.h"

#include "archive/browse/browse_rows.h"
#include "archive/file_table.h"
#include "export/export_message.h"
#include "text/strings.h"
#include "text/unicode.h"

namespace qb::exporting {

using namespace qb::store;
using text::archiveUtf8;
using text::equalsNoCase;
using text::trim;

namespace {
IndexedSets* gIndexedSets = wordIndexSets();

std::string personName(Session& s, uint32_t id) {
  if (!id || !lookUpPerson(s, id)) return {};
  return archiveUtf8(trim(browseName(s.Person().rec, 2)));
}

// The topic (COD:TYPE 2) with identifier `id`; the Codes file is small.
std::string topicName(Session& s, uint32_t id) {
  if (!id) return {};
  auto& c = s.Codes();
  if (c.set(Codes::ClassKey) != Err::Ok) return {};
  while (c.next() == Err::Ok)
    if (c.rec.TYPE == 2 && c.rec.ID == id) return archiveUtf8(trim(c.rec.INDEX.str()));
  return {};
}
}  // namespace

CurrentValues currentValuesOpen(Session& s);

void setIndexedSets(IndexedSets* provider) { gIndexedSets = provider; }
IndexedSets* indexedSets() { return gIndexedSets; }

int scopeFromName(const std::string& name) {
  const std::string n = text::lowerAscii(name);
  if (n == "message") return ScopeMessage;
  if (n == "sender") return ScopeSender;
  if (n == "receiver") return ScopeReceiver;
  if (n == "thread") return ScopeThread;
  if (n == "section") return ScopeSection;
  if (n == "whole" || n == "database" || n == "forum" || n == "newsgroup") return ScopeDatabase;
  if (n == "keyword") return ScopeKeyWord;
  if (n == "topic") return ScopeTopic;
  if (n == "search") return ScopeSearch;
  if (n == "partner") return ScopePartner;
  return -1;
}

CurrentValues currentValues(Session& s) {
  std::vector<int> files = exportFiles(s.ForumType);
  files.push_back(1);
  OP_CLOSE(s, OpOpen, files);
  CurrentValues v = currentValuesOpen(s);
  OP_CLOSE(s, OpClose, files);
  return v;
}

CurrentValues currentValuesOpen(Session& s) {
  CurrentValues v;
  v.database = archiveUtf8(trim(s.Description));
  uint32_t wordId = 0, topicId = 0;
  if (s.ForumType == KindMail) {
    MailBrowseContext c;
    MailContext(s, 3, c);
    v.message = c.XMAILID;
    wordId = c.XSINDEXID;
    topicId = c.XTOPICSID;
    auto& f = s.Mail();
    f.clear();
    f.rec.MAILID = c.XMAILID;
    if (c.XMAILID && f.get(Mail::IdKey) == Err::Ok) {
      const Mail m = f.rec;
      v.sender = personName(s, m.FROMID);
      v.receiver = personName(s, m.TOID);
      v.partner = personName(s, m.PAIRID);
    }
  } else {
    BrowseContext c;
    Context(s, 3, c);
    v.message = c.XMSGID;
    wordId = c.XSINDEXID;
    topicId = c.XTOPICSID;
    auto& f = s.MsgNmbr();
    f.clear();
    f.rec.MSGNUMBER = c.XMSGID;
    if (c.XMSGID && f.get(MsgNmbr::IdKey) == Err::Ok) {
      const MsgNmbr m = f.rec;
      v.sender = personName(s, m.FROMID);
      v.receiver = personName(s, m.TOID);
      if (lookUpThread(s, m.THREADNUMBER)) v.thread = archiveUtf8(s.Threads().rec.heading());
      if (lookUpSection(s, m.SECSYSID)) v.section = archiveUtf8(trim(s.Sections().rec.DESCRIPTION.str()));
    }
  }
  if (wordId && gIndexedSets) v.keyword = gIndexedSets->wordText(s, wordId);
  v.topic = topicName(s, topicId);
  v.searchResult = gIndexedSets != nullptr;
  return v;
}

MessageSet::MessageSet(Session& s, int scope) : s_(s), scope_(scope), mail_(s.ForumType == KindMail) {}
MessageSet::~MessageSet() = default;

bool MessageSet::fromContext() {
  key_ = SetKey{};
  if (mail_) {
    MailBrowseContext c;
    MailContext(s_, 3, c);
    key_.message = c.XMAILID;
    key_.wordId = c.XSINDEXID;
    key_.topicId = c.XTOPICSID;
    auto& f = s_.Mail();
    f.clear();
    f.rec.MAILID = c.XMAILID;
    if (c.XMAILID && f.get(Mail::IdKey) == Err::Ok) {
      const Mail m = f.rec;
      if (scope_ == ScopeSender) key_.alpha = m.FROMALPHA.str(), key_.id = m.FROMID;
      if (scope_ == ScopeReceiver) key_.alpha = m.TOALPHA.str(), key_.id = m.TOID;
      if (scope_ == ScopePartner) key_.alpha = m.PAIRALPHA.str(), key_.id = m.PAIRID;
    } else {  // no highlighted mail: the browse's filters
      if (scope_ == ScopeSender) key_.alpha = c.XSENDERALPHA.str(), key_.id = c.XSENDID;
      if (scope_ == ScopeReceiver) key_.alpha = c.XRECEIVERALPHA.str(), key_.id = c.XRECEIVEID;
      if (scope_ == ScopePartner) key_.alpha = c.XPAIRALPHA.str(), key_.id = c.XPAIRID;
    }
  } else {
    BrowseContext c;
    Context(s_, 3, c);
    key_.message = c.XMSGID;
    key_.wordId = c.XSINDEXID;
    key_.topicId = c.XTOPICSID;
    auto& f = s_.MsgNmbr();
    f.clear();
    f.rec.MSGNUMBER = c.XMSGID;
    if (c.XMSGID && f.get(MsgNmbr::IdKey) == Err::Ok) {
      const MsgNmbr m = f.rec;
      if (scope_ == ScopeSender) key_.alpha = m.FROMALPHA.str(), key_.id = m.FROMID;
      if (scope_ == ScopeReceiver) key_.alpha = m.TOALPHA.str(), key_.id = m.TOID;
      if (scope_ == ScopeThread) key_.alpha = m.THREADALPHA.str(), key_.id = m.THREADNUMBER;
      key_.secsysid = m.SECSYSID;
    } else {
      if (scope_ == ScopeSender) key_.alpha = c.XSENDERALPHA.str(), key_.id = c.XSENDID;
      if (scope_ == ScopeReceiver) key_.alpha = c.XRECEIVERALPHA.str(), key_.id = c.XRECEIVEID;
      if (scope_ == ScopeThread) key_.alpha = c.XTHREADALPHA.str(), key_.id = c.XTHREADNUMBER;
      key_.secsysid = c.XSECSYSID;
    }
  }
  switch (scope_) {
    case ScopeClipboard: case ScopeSingle: case ScopeMessage:
      if (!key_.message) why_ = "No message is highlighted in the browse.";
      break;
    case ScopeSender: case ScopeReceiver: case ScopeThread: case ScopePartner:
      if (!key_.id) why_ = "The browse shows no current message to take the set from.";
      break;
    case ScopeSection:
      if (!key_.secsysid) why_ = "The browse shows no current message to take the section from.";
      break;
    case ScopeKeyWord:
      if (!key_.wordId) why_ = "No key word is chosen in the browse.";
      break;
    case ScopeTopic:
      if (!key_.topicId) why_ = "No topic is chosen in the browse.";
      break;
    default: break;
  }
  return why_.empty();
}

bool MessageSet::begin() {
  started_ = false;
  singleDone_ = false;
  lastPos_ = 0;
  lastId_ = 0;
  cursor_.reset();
  backwards_ = false;
  fileKey_ = -1;
  const bool bad = (mail_ && (scope_ == ScopeThread || scope_ == ScopeSection)) ||
                   (!mail_ && scope_ == ScopePartner) || scope_ < 0 || scope_ > ScopePartner;
  if (bad) {
    why_ = "This set is not offered for this kind of database.";
    return false;
  }
  if (scope_ == ScopeKeyWord || scope_ == ScopeSearch) {
    if (!gIndexedSets) {
      why_ = "The word index is not available: key word and search result sets cannot be read.";
      return false;
    }
    cursor_ = scope_ == ScopeKeyWord ? gIndexedSets->word(s_, key_.wordId) : gIndexedSets->searchResult(s_);
    if (!cursor_) {
      why_ = "The word index of this database cannot be read.";
      return false;
    }
    return true;
  }
  if (scope_ == ScopeTopic) {
    auto& f = s_.SIndex();
    f.clear();
    f.rec.ID = key_.topicId;
    return f.setAt(SIndex::IdKey, 1) == Err::Ok || (why_ = "The topic entries cannot be read.", false);
  }
  if (scope_ <= ScopeMessage) return true;

  Err e = Err::Ok;
  if (mail_) {
    auto& f = s_.Mail();
    f.clear();
    backwards_ = true;
    switch (scope_) {
      case ScopeSender: fileKey_ = Mail::FromKey; f.rec.FROMALPHA = key_.alpha; f.rec.FROMID = key_.id; break;
      case ScopeReceiver: fileKey_ = Mail::ToKey; f.rec.TOALPHA = key_.alpha; f.rec.TOID = key_.id; break;
      case ScopePartner: fileKey_ = Mail::PairKey; f.rec.PAIRALPHA = key_.alpha; f.rec.PAIRID = key_.id; break;
      default: fileKey_ = Mail::DateKey; break;
    }
    e = fileKey_ == Mail::DateKey ? f.set(fileKey_) : f.setAt(fileKey_, 2);
  } else {
    auto& f = s_.MsgNmbr();
    f.clear();
    int parts = 2;
    switch (scope_) {
      case ScopeSender: fileKey_ = MsgNmbr::FromKey; f.rec.FROMALPHA = key_.alpha; f.rec.FROMID = key_.id; break;
      case ScopeReceiver: fileKey_ = MsgNmbr::ToKey; f.rec.TOALPHA = key_.alpha; f.rec.TOID = key_.id; break;
      case ScopeThread:
        fileKey_ = MsgNmbr::Threadkey;
        f.rec.THREADALPHA = key_.alpha;
        f.rec.THREADNUMBER = key_.id;
        break;
      case ScopeSection: fileKey_ = MsgNmbr::SECkey; f.rec.SECSYSID = key_.secsysid; parts = 1; break;
      default: fileKey_ = MsgNmbr::DateKey; backwards_ = true; parts = 0; break;
    }
    e = parts ? f.setAt(fileKey_, parts) : f.set(fileKey_);
  }
  if (e != Err::Ok) {
    why_ = "The messages of this database cannot be read.";
    return false;
  }
  return true;
}

bool MessageSet::sameSet() {
  if (mail_) {
    const Mail& m = s_.Mail().rec;
    switch (scope_) {
      case ScopeSender: return m.FROMID == key_.id && equalsNoCase(m.FROMALPHA.str(), key_.alpha);
      case ScopeReceiver: return m.TOID == key_.id && equalsNoCase(m.TOALPHA.str(), key_.alpha);
      case ScopePartner: return m.PAIRID == key_.id && equalsNoCase(m.PAIRALPHA.str(), key_.alpha);
      default: return true;
    }
  }
  const MsgNmbr& m = s_.MsgNmbr().rec;
  switch (scope_) {
    case ScopeSender: return m.FROMID == key_.id && equalsNoCase(m.FROMALPHA.str(), key_.alpha);
    case ScopeReceiver: return m.TOID == key_.id && equalsNoCase(m.TOALPHA.str(), key_.alpha);
    case ScopeThread: return m.THREADNUMBER == key_.id && equalsNoCase(m.THREADALPHA.str(), key_.alpha);
    case ScopeSection: return m.SECSYSID == key_.secsysid;
    default: return true;
  }
}

bool MessageSet::nextRecord() {
  KeyedFile& f = mail_ ? static_cast<KeyedFile&>(s_.Mail()) : static_cast<KeyedFile&>(s_.MsgNmbr());
  if (keep_ && started_ && lastPos_) {
    // back to the record read last, then on from it
    if (f.setAtPosition(fileKey_, lastPos_) != Err::Ok || f.next() != Err::Ok) return false;
  }
  Err e = backwards_ ? f.previous() : f.next();
  started_ = true;
  if (e != Err::Ok || !sameSet()) return false;
  lastPos_ = f.position();
  return true;
}

bool MessageSet::next(uint32_t& id) {
  // single messages
  if (scope_ <= ScopeMessage) {
    if (singleDone_) return false;
    singleDone_ = true;
    id = key_.message;
    if (mail_) {
      auto& f = s_.Mail();
      f.clear();
      f.rec.MAILID = id;
      return f.get(Mail::IdKey) == Err::Ok;
    }
    auto& f = s_.MsgNmbr();
    f.clear();
    f.rec.MSGNUMBER = id;
    return f.get(MsgNmbr::IdKey) == Err::Ok;
  }
  // sets of entries that name their messages: a message that is gone is
  // passed over
  if (scope_ == ScopeTopic || cursor_) {
    for (;;) {
      if (cursor_) {
        if (!cursor_->next(id)) return false;
      } else {
        auto& x = s_.SIndex();
        if (keep_ && started_) {
          // back to the entry read last (it may have been removed meanwhile:
          // then the next one is read)
          x.clear();
          x.rec.ID = key_.topicId;
          x.rec.MSGNUMBER = lastId_;
          if (x.setAt(SIndex::IdKey) != Err::Ok) return false;
        }
        started_ = true;
        Err e = x.next();
        if (e == Err::Ok && keep_ && x.rec.ID == key_.topicId && x.rec.MSGNUMBER == lastId_ && lastId_) e = x.next();
        if (e != Err::Ok || x.rec.ID != key_.topicId) return false;
        lastId_ = x.rec.MSGNUMBER;
        id = x.rec.MSGNUMBER;
      }
      if (mail_) {
        auto& f = s_.Mail();
        f.clear();
        f.rec.MAILID = id;
        if (f.get(Mail::IdKey) == Err::Ok) return true;
      } else {
        auto& f = s_.MsgNmbr();
        f.clear();
        f.rec.MSGNUMBER = id;
        if (f.get(MsgNmbr::IdKey) == Err::Ok) return true;
      }
    }
  }
  if (!nextRecord()) return false;
  id = mail_ ? s_.Mail().rec.MAILID : s_.MsgNmbr().rec.MSGNUMBER;
  return true;
}

uint32_t MessageSet::sizeHint() {
  if (scope_ <= ScopeMessage) return 1;
  if (scope_ == ScopeDatabase) {
    int64_t n = mail_ ? s_.Mail().count() : s_.MsgNmbr().count();
    return n > 0 ? static_cast<uint32_t>(n) : 0;
  }
  return 0;
}

}  // namespace qb::exporting

namespace qb::exporting {

namespace {

bool isNumber(const std::string& v) {
  if (v.empty() || v.size() > 9) return false;
  for (char c : v)
    if (c < '0' || c > '9') return false;
  return true;
}

std::string fullName(const Person& p) {
  const std::string f = archiveUtf8(trim(p.FIRSTNAME.str())), l = archiveUtf8(trim(p.LASTNAME.str()));
  return f.empty() ? l : l.empty() ? f : f + " " + l;
}

}  // namespace

uint32_t topicIdOf(Session& s, const std::string& name) {
  auto& c = s.Codes();
  c.clear();
  c.rec.TYPE = 2;
  c.rec.INDEX = name;
  if (c.get(Codes::ClassKey) == Err::Ok) return c.rec.ID;
  // texts of older archives are Windows-1252: compare what they show
  if (c.set(Codes::ClassKey) != Err::Ok) return 0;
  while (c.next() == Err::Ok)
    if (c.rec.TYPE == 2 && text::equalsNoCase(archiveUtf8(trim(c.rec.INDEX.str())), name)) return c.rec.ID;
  return 0;
}

bool resolveSetKey(Session& s, int scope, const std::string& value, SetKey& key, std::string& why) {
  key = SetKey{};
  const std::string v = trim(value);
  const bool mail = s.ForumType == KindMail;
  switch (scope) {
    case ScopeMessage:
    case ScopeSingle:
      if (!isNumber(v)) return why = "give the message number", false;
      key.message = static_cast<uint32_t>(std::stoul(v));
      return true;
    case ScopeThread: {
      auto& t = s.Threads();
      t.clear();
      if (isNumber(v)) {
        t.rec.THREADNUMBER = static_cast<uint32_t>(std::stoul(v));
        if (t.get(Threads::ThreadKey) == Err::Ok) {
          key.alpha = t.rec.ALPHA.str();
          key.id = t.rec.THREADNUMBER;
          return true;
        }
      }
      if (t.set(Threads::ThreadKey) == Err::Ok)
        while (t.next() == Err::Ok)
          if (text::equalsNoCase(archiveUtf8(t.rec.heading()), v)) {
            key.alpha = t.rec.ALPHA.str();
            key.id = t.rec.THREADNUMBER;
            return true;
          }
      return why = "there is no thread \"" + v + "\"", false;
    }
    case ScopeSection: {
      auto& t = s.Sections();
      if (t.set(Sections::SysIdKey) == Err::Ok)
        while (t.next() == Err::Ok)
          if ((isNumber(v) && t.rec.SECTIONNUMBER == std::stoul(v)) ||
              text::equalsNoCase(archiveUtf8(trim(t.rec.DESCRIPTION.str())), v)) {
            key.secsysid = t.rec.SECSYSID;
            return true;
          }
      return why = "there is no section \"" + v + "\"", false;
    }
    case ScopeSender:
    case ScopeReceiver:
    case ScopePartner: {
      auto& p = s.Person();
      bool found = false;
      if (isNumber(v)) {
        p.clear();
        p.rec.PERSONID = static_cast<uint32_t>(std::stoul(v));
        found = p.get(Person::PersonKey) == Err::Ok;
      }
      if (!found && p.set(Person::PersonKey) == Err::Ok)
        while (!found && p.next() == Err::Ok)
          found = text::equalsNoCase(archiveUtf8(trim(p.rec.ADDRESS.str())), v) ||
                  text::equalsNoCase(fullName(p.rec), v);
      if (!found) return why = "there is no person \"" + v + "\"", false;
      key.id = p.rec.PERSONID;
      // the alpha of a person in the headers: the start of the last name
      const std::string last = p.rec.LASTNAME.str();
      key.alpha = scope == ScopePartner && mail ? last.substr(0, 25) : last.substr(0, 10);
      return true;
    }
    case ScopeTopic:
      key.topicId = topicIdOf(s, v);
      return key.topicId || (why = "there is no topic \"" + v + "\"", false);
    case ScopeKeyWord:
      if (!gIndexedSets) return why = "key word sets need the word index, which is not available", false;
      key.wordId = gIndexedSets->wordId(s, v);
      return key.wordId || (why = "the word index does not hold \"" + v + "\"", false);
    default:
      return true;
  }
}

}  // namespace qb::exporting

namespace qb::exporting {

std::vector<TopicEntry> topicList(Session& s) {
  std::vector<TopicEntry> out;
  OP_CLOSE(s, OpOpen, {1});
  auto& c = s.Codes();
  c.clear();
  c.rec.TYPE = 2;
  if (c.setAt(Codes::ClassKey, 1) == Err::Ok)
    while (c.next() == Err::Ok && c.rec.TYPE == 2) out.push_back({c.rec.ID, archiveUtf8(trim(c.rec.INDEX.str()))});
  OP_CLOSE(s, OpClose, {1});
  return out;
}

}  // namespace qb::exporting
