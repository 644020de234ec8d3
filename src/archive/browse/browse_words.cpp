#include "archive/browse/browse_words.h"

#include <unistd.h>

#include "archive/browse/browse_pager.h"
#include "archive/postings.h"
#include "text/strings.h"

namespace qb::store {

bool lookUpIndexedWord(Session& s, const std::string& word, WordList& out) {
  if (word.empty() || openWordFile(s, 28) != Err::Ok) return false;
  auto& w = wordListFile(s);
  w.clear();
  w.rec.THEWORD = word;
  bool found = w.get(WordList::by_theWord) == Err::Ok;
  if (!found) {
    w.clear();
    w.rec.THEWORD = word;
    w.setAt(WordList::by_theWord);
    found = w.next() == Err::Ok && text::startsWith(w.rec.THEWORD.str(), word);
  }
  if (found) out = w.rec;
  closeWordFile(s, 28);
  return found;
}

bool indexedWordById(Session& s, uint32_t wordId, WordList& out) {
  if (openWordFile(s, 28) != Err::Ok) return false;
  auto& w = wordListFile(s);
  w.clear();
  w.rec.WORDID = static_cast<int32_t>(wordId);
  bool found = w.get(WordList::by_WordId) == Err::Ok;
  if (found) out = w.rec;
  closeWordFile(s, 28);
  return found;
}

std::vector<std::pair<std::string, int32_t>> indexedWordsFrom(Session& s, const std::string& word, int max) {
  std::vector<std::pair<std::string, int32_t>> out;
  if (openWordFile(s, 28) != Err::Ok) return out;
  auto& w = wordListFile(s);
  w.clear();
  w.rec.THEWORD = word;
  w.setAt(WordList::by_theWord);
  while (static_cast<int>(out.size()) < max && w.next() == Err::Ok) out.emplace_back(w.rec.THEWORD.str(), w.rec.WORDCOUNT);
  closeWordFile(s, 28);
  return out;
}

// ---- WordView ----------------------------------------------------------------

WordView::WordView(Session& s) : s_(s), file_(std::make_unique<Table<Search>>()) {
  path_ = text::trimRight(s.TempDir) + "/WORDVIEW-" + std::to_string(::getpid()) + ".TPS";
}

WordView::~WordView() {
  file_->close();
  KeyedFile::remove(path_);
}

bool WordView::fill(uint32_t wordId) {
  std::vector<uint32_t> ids;
  bool ok = true;
  if (wordId) {
    Postings p;
    ok = p.open(s_) == Err::Ok;
    if (ok) ids = p.messagesOf(wordId);
  }
  file_->close();
  KeyedFile::remove(path_);
  file_->setDurable(false);
  if (file_->create(path_) != Err::Ok || file_->open(path_, Access::ReadWriteExclusive) != Err::Ok) return false;
  file_->stream();
  uint32_t sort = 0;
  for (auto it = ids.rbegin(); it != ids.rend(); ++it) {
    file_->clear();
    file_->rec.SORT = ++sort;
    file_->rec.ID = *it;
    if (file_->append() != Err::Ok) ok = false;
  }
  file_->flush();
  Err r = file_->buildKeys();
  return ok && (r == Err::Ok || r == Err::DuplicateKey);
}

// ---- SetQuery -------------------------------------------------------------------

namespace {
bool readMessage(Session& s, uint32_t id, bool mail) {
  if (mail) {
    auto& m = s.Mail();
    m.clear();
    m.rec.MAILID = id;
    return m.get(Mail::IdKey) == Err::Ok;
  }
  auto& m = s.MsgNmbr();
  m.clear();
  m.rec.MSGNUMBER = id;
  return m.get(MsgNmbr::IdKey) == Err::Ok;
}
}  // namespace

SetQuery::SetQuery(Session& s, bool mail, Kind kind, uint32_t id, const RowOptions& options)
    : s_(s), mail_(mail), kind_(kind), id_(id), options_(options) {
  std::function<uint32_t()> idOf;
  if (kind == Kind::KeyWord) {
    words_ = std::make_unique<WordView>(s);
    ok_ = words_->fill(id);
    auto& f = words_->table();
    pager_ = std::make_unique<BrowsePager<BrowseRow>>(f, Search::SortKey);
    idOf = [&f] { return f.rec.ID; };
  } else if (kind == Kind::Topic) {
    auto& f = s.SIndex();
    pager_ = std::make_unique<BrowsePager<BrowseRow>>(f, SIndex::IdKey);
    pager_->parts = 1;
    pager_->setRange = [&f, id] { f.rec.ID = id; };
    pager_->inRange = [&f, id] { return f.rec.ID == id; };
    idOf = [&f] { return f.rec.MSGNUMBER; };
  } else {
    openWordFile(s, 32);
    auto& f = searchFile(s);
    pager_ = std::make_unique<BrowsePager<BrowseRow>>(f, Search::SortKey);
    idOf = [&f] { return f.rec.ID; };
  }
  // The message of a row is read first; a message deleted since is passed
  // over, the one found is in its file's buffer for the row.
  pager_->passOver = [&s, idOf, mail] { return !readMessage(s, idOf(), mail); };
  pager_->build = [this, &s] {
    return mail_ ? BrowseRow{buildMailRow(s, s.Mail().rec, options_)}
                 : BrowseRow{buildMsgRow(s, s.MsgNmbr().rec, options_)};
  };
}

SetQuery::~SetQuery() = default;

std::vector<SetQuery::Entry> SetQuery::first(int n) { return pager_->first(n); }
std::vector<SetQuery::Entry> SetQuery::last(int n) { return pager_->last(n); }
std::vector<SetQuery::Entry> SetQuery::after(int64_t pos, int n) { return pager_->after(pos, n); }
std::vector<SetQuery::Entry> SetQuery::before(int64_t pos, int n) { return pager_->before(pos, n); }
std::vector<SetQuery::Entry> SetQuery::from(int64_t pos, int n) { return pager_->from(pos, n); }

uint32_t SetQuery::count() {
  switch (kind_) {
    case Kind::KeyWord: return static_cast<uint32_t>(words_->table().count());
    case Kind::Search: return static_cast<uint32_t>(searchFile(s_).count());
    case Kind::Topic: {
      if (!id_) return 0;
      auto& si = s_.SIndex();
      si.clear();
      si.rec.ID = id_;
      si.setAt(SIndex::IdKey, 1);
      uint32_t n = 0;
      while (si.next() == Err::Ok && si.rec.ID == id_) ++n;
      return n;
    }
  }
  return 0;
}

int64_t SetQuery::positionOf(uint32_t messageId) {
  Table<Search>* f = kind_ == Kind::KeyWord ? &words_->table() : kind_ == Kind::Search ? &searchFile(s_) : nullptr;
  if (!f) return 0;
  f->clear();
  f->rec.ID = messageId;
  return f->get(Search::IdKey) == Err::Ok ? f->position() : 0;
}

}  // namespace qb::store
