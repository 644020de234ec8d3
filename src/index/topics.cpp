#include "index/topics.h"

#include <algorithm>

#include "archive/config.h"
#include "archive/file_table.h"
#include "archive/record_access.h"
#include "index/word_form.h"
#include "text/aisinb.h"
#include "text/datetime.h"
#include "text/display_text.h"
#include "text/strings.h"

namespace qb::index {

using store::Err;

namespace {

// Opens the listed files for the scope of a call.
struct Open {
  Open(store::Session& s, std::initializer_list<int> files) : s_(s), files_(files) {
    store::OP_CLOSE(s_, store::OpOpen, files_);
  }
  ~Open() { store::OP_CLOSE(s_, store::OpClose, files_); }
  store::Session& s_;
  std::vector<int> files_;
};

bool readCode(store::Session& s, uint32_t id, store::Codes& out) {
  auto& c = s.Codes();
  c.set(store::Codes::ClassKey);
  while (c.next() == Err::Ok)
    if (c.rec.ID == id) {
      out = c.rec;
      return true;
    }
  return false;
}

// Holds the code `id` in the Codes buffer; false when it is gone.
bool holdCode(store::Session& s, uint32_t id) {
  store::Codes c;
  if (!readCode(s, id, c)) return false;
  auto& f = s.Codes();
  f.clear();
  f.rec.TYPE = c.TYPE;
  f.rec.INDEX = c.INDEX;
  return store::HoldRec(s, f, store::Codes::ClassKey, store::HoldBy::Key) == 1;
}

bool changeCount(store::Session& s, uint32_t id, int delta) {
  if (!holdCode(s, id)) return false;
  auto& f = s.Codes();
  int64_t n = static_cast<int64_t>(f.rec.COUNT) + delta;
  f.rec.COUNT = static_cast<uint32_t>(std::max<int64_t>(0, n));
  return store::UppDat(s, f, store::UppChange, store::ErrRelease) == 1;
}

}  // namespace

std::vector<store::Codes> listCodes(store::Session& s, uint8_t type) {
  Open o(s, {1});
  std::vector<store::Codes> out;
  auto& c = s.Codes();
  c.clear();
  c.rec.TYPE = type;
  c.setAt(store::Codes::ClassKey, 1);
  while (c.next() == Err::Ok && c.rec.TYPE == type) out.push_back(c.rec);
  return out;
}

bool findCode(store::Session& s, uint8_t type, const std::string& text, store::Codes& out) {
  Open o(s, {1});
  auto& c = s.Codes();
  c.clear();
  c.rec.TYPE = type;
  c.rec.INDEX = text;
  if (c.get(store::Codes::ClassKey) != Err::Ok) return false;
  out = c.rec;
  return true;
}

uint32_t addCode(store::Session& s, uint8_t type, const std::string& text, bool matchCase, bool wholeWord) {
  Open o(s, {1, 8});
  auto& c = s.Codes();
  if (!store::beginTransaction(s, {&c, &s.Control()})) return 0;
  c.clear();
  c.rec.TYPE = type;
  c.rec.INDEX = text;
  if (c.duplicate(store::Codes::ClassKey)) {
    // Reported in the shared words, before an identifier is spent.
    (void)store::UppDat(s, c, store::UppAdd, store::ErrRollback);
    return 0;
  }
  uint32_t id = store::NextNr(s);
  if (id == 0) {
    s.transaction().rollback();
    return 0;
  }
  c.clear();
  c.rec.TYPE = type;
  c.rec.INDEX = text;
  c.rec.ID = id;
  c.rec.CHARCASE = type == KeyWordCode && matchCase ? 1 : 0;
  c.rec.WORDONLY = type == KeyWordCode && wholeWord ? 1 : 0;
  if (!store::UppDat(s, c, store::UppAdd, store::ErrRollback)) return 0;
  return store::commitTransaction(s) ? id : 0;
}

bool changeCode(store::Session& s, uint8_t type, uint32_t id, const std::string& text, bool matchCase,
                bool wholeWord) {
  Open o(s, {1});
  if (!holdCode(s, id)) return false;
  auto& c = s.Codes();
  c.rec.INDEX = text;
  c.rec.CHARCASE = type == KeyWordCode && matchCase ? 1 : 0;
  c.rec.WORDONLY = type == KeyWordCode && wholeWord ? 1 : 0;
  return store::UppDat(s, c, store::UppChange, store::ErrRelease) == 1;
}

bool deleteCode(store::Session& s, uint8_t type, uint32_t id) {
  Open o(s, {1, 9});
  auto& c = s.Codes();
  auto& si = s.SIndex();
  if (!store::beginTransaction(s, {&si, &c})) return false;
  si.clear();
  si.rec.ID = id;
  si.setAt(store::SIndex::IdKey, 1);
  while (si.next() == Err::Ok && si.rec.ID == id)
    if (!store::UppDat(s, si, store::UppDelete, store::ErrRollback)) return false;
  store::Codes code;
  if (!readCode(s, id, code) || code.TYPE != type) {
    s.transaction().rollback();
    return false;
  }
  c.clear();
  c.rec.TYPE = code.TYPE;
  c.rec.INDEX = code.INDEX;
  if (c.get(store::Codes::ClassKey) != Err::Ok || !store::UppDat(s, c, store::UppDelete, store::ErrRollback)) {
    if (s.transaction().active()) s.transaction().rollback();
    return false;
  }
  return store::commitTransaction(s);
}

CodeLookup lookUpCode(store::Session& s, uint8_t type, const std::string& typed) {
  Open o(s, {1});
  CodeLookup r;
  auto& c = s.Codes();
  c.clear();
  c.rec.TYPE = type;
  c.rec.INDEX = typed;
  c.setAt(store::Codes::ClassKey);
  bool next = c.next() == Err::Ok && c.rec.TYPE == type;
  if (next && !typed.empty() && text::startsWithNoCase(c.rec.INDEX.str(), typed)) {
    r.found = true;
    r.code = c.rec;
    // Unique when the code after it does not begin with the typed text too.
    r.unique = !(c.next() == Err::Ok && c.rec.TYPE == type && text::startsWithNoCase(c.rec.INDEX.str(), typed));
    return r;
  }
  // The code before the position.
  c.clear();
  c.rec.TYPE = type;
  c.rec.INDEX = typed;
  c.setAt(store::Codes::ClassKey);
  if (c.previous() == Err::Ok && c.rec.TYPE == type) {
    r.found = true;
    r.code = c.rec;
  } else if (next) {
    c.clear();
    c.rec.TYPE = type;
    c.setAt(store::Codes::ClassKey, 1);
    if (c.next() == Err::Ok && c.rec.TYPE == type) {
      r.found = true;
      r.code = c.rec;
    }
  }
  return r;
}

bool isAttached(store::Session& s, uint32_t codeId, uint32_t messageId) {
  Open o(s, {9});
  auto& si = s.SIndex();
  si.clear();
  si.rec.ID = codeId;
  si.rec.MSGNUMBER = messageId;
  return si.get(store::SIndex::IdKey) == Err::Ok;
}

std::vector<TopicState> topicsOf(store::Session& s, uint32_t messageId) {
  std::vector<TopicState> out;
  for (const store::Codes& c : listCodes(s, TopicCode)) out.push_back({c, isAttached(s, c.ID, messageId)});
  return out;
}

bool toggleTopic(store::Session& s, uint32_t topicId, uint32_t messageId) {
  Open o(s, {1, 9});
  auto& si = s.SIndex();
  if (isAttached(s, topicId, messageId)) {
    si.clear();
    si.rec.ID = topicId;
    si.rec.MSGNUMBER = messageId;
    if (store::HoldRec(s, si, store::SIndex::IdKey, store::HoldBy::Key) != 1) return true;
    if (!store::UppDat(s, si, store::UppDelete, store::ErrRelease)) return true;
    changeCount(s, topicId, -1);
    return false;
  }
  si.clear();
  si.rec.ID = topicId;
  si.rec.MSGNUMBER = messageId;
  if (!store::UppDat(s, si, store::UppAdd, store::ErrRelease)) return false;
  changeCount(s, topicId, +1);
  return true;
}

bool attachCode(store::Session& s, uint32_t codeId, uint32_t messageId) {
  if (isAttached(s, codeId, messageId)) return true;
  Open o(s, {9});
  auto& si = s.SIndex();
  si.clear();
  si.rec.ID = codeId;
  si.rec.MSGNUMBER = messageId;
  return store::UppDat(s, si, store::UppAdd, store::ErrRelease) == 1;
}

bool detachCode(store::Session& s, uint32_t codeId, uint32_t messageId) {
  Open o(s, {9});
  auto& si = s.SIndex();
  si.clear();
  si.rec.ID = codeId;
  si.rec.MSGNUMBER = messageId;
  if (si.get(store::SIndex::IdKey) != Err::Ok) return true;
  return store::UppDat(s, si, store::UppDelete, store::ErrRelease) == 1;
}

namespace {
uint32_t countLinks(store::Session& s, uint32_t id) {
  auto& si = s.SIndex();
  si.clear();
  si.rec.ID = id;
  si.setAt(store::SIndex::IdKey, 1);
  uint32_t n = 0;
  while (si.next() == Err::Ok && si.rec.ID == id) ++n;
  return n;
}
}  // namespace

bool recountCodes(store::Session& s) {
  Open o(s, {1, 9});
  std::vector<store::Codes> all;
  auto& c = s.Codes();
  c.set(store::Codes::ClassKey);
  while (c.next() == Err::Ok) all.push_back(c.rec);
  for (const store::Codes& code : all) {
    uint32_t n = countLinks(s, code.ID);
    if (n == code.COUNT) continue;
    c.clear();
    c.rec.TYPE = code.TYPE;
    c.rec.INDEX = code.INDEX;
    if (store::HoldRec(s, c, store::Codes::ClassKey, store::HoldBy::Key) != 1) return false;
    c.rec.COUNT = n;
    if (!store::UppDat(s, c, store::UppChange, store::ErrRelease)) return false;
  }
  return true;
}

std::vector<uint32_t> messagesOfCode(store::Session& s, uint32_t codeId) {
  Open o(s, {9});
  std::vector<uint32_t> out;
  auto& si = s.SIndex();
  si.clear();
  si.rec.ID = codeId;
  si.setAt(store::SIndex::IdKey, 1);
  while (si.next() == Err::Ok && si.rec.ID == codeId) out.push_back(si.rec.MSGNUMBER);
  return out;
}

// ---- KeywordRun ------------------------------------------------------------------

KeywordRun::KeywordRun(store::Session& s, uint32_t codeId) : s_(s), only_(codeId) {}

KeywordRun::~KeywordRun() {
  if (open_) store::OP_CLOSE(s_, store::OpClose, {4, 9});
}

bool KeywordRun::start() {
  if (s_.Dirnamn.empty()) {
    message_ = "No database is selected.";
    failed_ = done_ = true;
    return false;
  }
  for (const store::Codes& c : listCodes(s_, KeyWordCode))
    if ((only_ == 0 || c.ID == only_) && !c.INDEX.blank()) codes_.push_back(c);
  if (codes_.empty()) {
    message_ = only_ ? "There is no such key word." : "There are no key words to apply.";
    failed_ = done_ = true;
    return false;
  }
  for (const store::Codes& c : codes_) folded_.push_back(indexForm(text::displayText(c.INDEX.str())));
  int32_t speed = store::SpeedVal(s_, store::SpeedAction::BatchSize, store::SpeedKeywords);
  if (speed > 0) perStep_ = speed;
  store::OP_CLOSE(s_, store::OpOpen, {4, 9});
  open_ = true;
  total_ = s_.MsgText().count();
  s_.MsgText().set(store::MsgText::IdKey);
  return true;
}

bool KeywordRun::step() {
  if (done_) return false;
  auto& txt = s_.MsgText();
  auto& si = s_.SIndex();
  for (int n = 0; n < perStep_; ++n) {
    if (txt.next() != Err::Ok) return finish() && false;
    ++doneCount_;
    const uint32_t id = txt.rec.MSGNUMBER;
    const std::string text = text::displayText(txt.memo());
    std::string folded;
    for (std::size_t i = 0; i < codes_.size(); ++i) {
      const store::Codes& c = codes_[i];
      bool hit;
      if (c.CHARCASE) {
        hit = text::findWord(c.WORDONLY, text::displayText(c.INDEX.str()), text) != std::string::npos;
      } else {
        if (folded.empty()) folded = indexForm(text);
        hit = text::findWord(c.WORDONLY, folded_[i], folded) != std::string::npos;
      }
      if (!hit) continue;
      si.clear();
      si.rec.ID = c.ID;
      si.rec.MSGNUMBER = id;
      if (si.get(store::SIndex::IdKey) == Err::Ok) continue;
      si.clear();
      si.rec.ID = c.ID;
      si.rec.MSGNUMBER = id;
      if (!store::UppDat(s_, si, store::UppAdd, store::ErrRelease)) {
        failed_ = true;
        message_ = "A key word link cannot be added.";
        return finish() && false;
      }
      ++added_;
    }
  }
  return true;
}

bool KeywordRun::finish() {
  done_ = true;
  store::OP_CLOSE(s_, store::OpClose, {4, 9});
  open_ = false;
  Open o(s_, {1, 9});
  auto& c = s_.Codes();
  for (const store::Codes& code : codes_) {
    uint32_t n = countLinks(s_, code.ID);
    c.clear();
    c.rec.TYPE = code.TYPE;
    c.rec.INDEX = code.INDEX;
    if (store::HoldRec(s_, c, store::Codes::ClassKey, store::HoldBy::Key) != 1) continue;
    c.rec.COUNT = n;
    c.rec.DATE = text::today();
    c.rec.TIME = text::clockNow();
    (void)store::UppDat(s_, c, store::UppChange, store::ErrRelease);
  }
  return true;
}

}  // namespace qb::index
