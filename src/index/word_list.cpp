#include "index/word_list.h"

#include <unordered_map>

#include "archive/file_table.h"
#include "archive/record_access.h"

namespace qb::index {

using store::Err;

store::Err openWordIndex(store::Session& s, store::Postings& postings, bool exclusive) {
  auto mode = exclusive ? store::Access::ReadWriteExclusive : store::Access::ReadWriteShared;
  if (Err r = store::openWordFile(s, 28, mode); r != Err::Ok) return r;
  if (Err r = postings.open(s, exclusive); r != Err::Ok) {
    store::closeWordFile(s, 28);
    return r;
  }
  return Err::Ok;
}

void closeWordIndex(store::Session& s, store::Postings& postings) {
  postings.close();
  store::closeWordFile(s, 28);
}

bool setWordListNeedsUpdate(store::Session& s, int32_t value) {
  s.WordListIndexNeedsUpdate = value;
  if (s.ForumNumber == 0) return true;
  store::OP_CLOSE(s, store::OpOpen, {2});
  auto& f = s.Forums();
  f.clear();
  f.rec.ID = s.ForumNumber;
  bool ok = store::HoldRec(s, f, store::Forums::ForumKey, store::HoldBy::Key) == 1;
  if (ok) {
    f.rec.WORDLISTINDEXNEEDSUPDATE = value;
    ok = store::UppDat(s, f, store::UppChange, store::ErrRelease) == 1;
  }
  store::OP_CLOSE(s, store::OpClose, {2});
  return ok;
}

bool rebuildCountKey(store::Session& s) {
  auto& w = store::wordListFile(s);
  if (w.lock(5) != Err::Ok) return false;
  w.stream();
  Err r = w.buildKey(store::WordList::by_WordCount);
  w.flush();
  w.unlock();
  if (r != Err::Ok && r != Err::DuplicateKey) return false;
  return setWordListNeedsUpdate(s, 0);
}

bool findWord(store::Session& s, const std::string& word, store::WordList& out) {
  auto& w = store::wordListFile(s);
  w.clear();
  w.rec.THEWORD = word;
  if (w.get(store::WordList::by_theWord) != Err::Ok) return false;
  out = w.rec;
  return true;
}

PurgeResult removeDeletedPostings(store::Session& s, std::vector<uint32_t> ids, int batch,
                                  const std::function<void(const std::string&)>& caption) {
  PurgeResult res;
  auto tell = [&caption](const char* c) {
    if (caption) caption(c);
  };
  store::Postings postings;
  if (Err r = openWordIndex(s, postings, false); r != Err::Ok) {
    s.tell("The word index cannot be opened.\r\n" + store::errorLine(r), "Purging orphaned word indexes");
    return res;
  }
  auto& words = store::wordListFile(s);
  std::unordered_map<uint32_t, int32_t> removed;
  if (!ids.empty()) {
    tell("Purging orphaned word indexes");
    if (postings.begin() != Err::Ok || postings.removeMessages(ids, removed) != Err::Ok ||
        postings.commit() != Err::Ok) {
      postings.rollback();
      s.tell("The postings of deleted messages cannot be removed.", "Purging orphaned word indexes");
      closeWordIndex(s, postings);
      return res;
    }
    ids.clear();
    ids.shrink_to_fit();
  }
  for (auto& [w, n] : removed) res.postingsRemoved += n;
  if (!removed.empty()) {
    tell("Updating index counts per indexed word");
    if (batch < 1) batch = 400;
    store::Transaction& t = s.transaction();
    if (!store::beginTransaction(s, {&words})) {
      closeWordIndex(s, postings);
      return res;
    }
    int inBatch = 0;
    words.setFileOrder();
    while (words.next() == Err::Ok) {
      auto it = removed.find(static_cast<uint32_t>(words.rec.WORDID));
      if (it == removed.end()) continue;
      words.rec.WORDCOUNT -= it->second;
      bool ok;
      if (words.rec.WORDCOUNT <= 0) {
        ok = store::UppDat(s, words, store::UppDelete, store::ErrRollback) == 1;
        ++res.wordsRemoved;
      } else {
        ok = store::UppDat(s, words, store::UppChange, store::ErrRollback) == 1;
        ++res.wordsChanged;
      }
      if (!ok) {
        closeWordIndex(s, postings);
        return res;
      }
      if (++inBatch >= batch) {
        if (!store::commitTransaction(s) || !store::beginTransaction(s, {&words})) {
          closeWordIndex(s, postings);
          return res;
        }
        inBatch = 0;
      }
    }
    if (t.active() && !store::commitTransaction(s)) {
      closeWordIndex(s, postings);
      return res;
    }
  }
  tell("Flushing buffers");
  tell("Rebuilding word list");
  rebuildCountKey(s);
  closeWordIndex(s, postings);
  res.ok = true;
  return res;
}

}  // namespace qb::index
