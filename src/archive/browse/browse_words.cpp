#include "archive/browse/browse_words.h"

#include <unistd.h>

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

WordView::WordView(Session& s) : s_(s), file_(std::make_unique<Table<Search>>()) {
  path_ = text::trimRight(s.TempDir) + "/WORDVIEW-" + std::to_string(::getpid()) + ".TPS";
}

WordView::~WordView() {
  file_->close();
  KeyedFile::remove(path_);
}

bool WordView::fill(uint32_t wordId) {
  Postings p;
  if (p.open(s_) != Err::Ok) return false;
  std::vector<uint32_t> ids = p.messagesOf(wordId);
  p.close();
  file_->close();
  KeyedFile::remove(path_);
  if (file_->create(path_) != Err::Ok && file_->create(path_) != Err::FileExists) return false;
  file_->setDurable(false);
  if (file_->open(path_, Access::ReadWriteExclusive) != Err::Ok) return false;
  file_->stream();
  uint32_t sort = 0;
  for (auto it = ids.rbegin(); it != ids.rend(); ++it) {
    file_->clear();
    file_->rec.SORT = ++sort;
    file_->rec.ID = *it;
    if (file_->append() != Err::Ok) {
      file_->flush();
      return false;
    }
  }
  file_->flush();
  Err r = file_->buildKeys();
  wordId_ = wordId;
  return r == Err::Ok || r == Err::DuplicateKey;
}

bool readViewMessage(Session& s, uint32_t id, bool mail) {
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

int64_t topicViewCount(Session& s, uint32_t codeId) {
  auto& si = s.SIndex();
  si.clear();
  si.rec.ID = codeId;
  si.setAt(SIndex::IdKey, 1);
  int64_t n = 0;
  while (si.next() == Err::Ok && si.rec.ID == codeId) ++n;
  return n;
}

}  // namespace qb::store
