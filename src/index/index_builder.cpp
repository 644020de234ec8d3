#include "index/index_builder.h"

#include <algorithm>
#include <chrono>

#include "archive/file_table.h"
#include "archive/word_files.h"
#include "index/word_list.h"
#include "text/display_text.h"
#include "text/unicode.h"

namespace qb::index {

using store::Err;

namespace {
constexpr const char* kStaleMark = "counts";
constexpr int64_t kAutoStopMinimum = 100;  // messages a database needs before words become stop words
}  // namespace

IndexBuilder::IndexBuilder(store::Session& s, IndexMode mode) : s_(s), mode_(mode) {}

IndexBuilder::~IndexBuilder() { release(); }

bool IndexBuilder::fail(const std::string& text) {
  if (batchOpen_) postings_.rollback();
  batchOpen_ = false;
  message_ = text;
  state_ = State::Failed;
  release();
  return false;
}

void IndexBuilder::release() {
  if (textsOpen_) store::OP_CLOSE(s_, store::OpClose, {4});
  textsOpen_ = false;
  if (filesOpen_) {
    closeWordIndex(s_, postings_);
    s_.IndexingInProgress = 0;
  }
  filesOpen_ = false;
}

bool IndexBuilder::start() {
  if (s_.Dirnamn.empty() || s_.ForumNumber == 0) return fail("No database is selected.");
  options_ = loadIndexOptions(s_);
  tokeniser_ = std::make_unique<Tokeniser>(loadRuleSet(s_, options_.ruleSet), options_.tokens);
  if (!stops_.load(s_)) return fail("The stop-word list cannot be opened.");
  hasFooter_ = s_.ForumType != store::KindMail;

  Err r = openWordIndex(s_, postings_, true);
  if (r == Err::AccessDenied) return fail("The word index of \"" + s_.Description + "\" is in use by another indexing run.");
  if (r != Err::Ok)
    return fail("The word index of \"" + s_.Description + "\" cannot be opened: " + store::errorText(r) + ".");
  filesOpen_ = true;
  s_.IndexingInProgress = 1;
  auto& wl = store::wordListFile(s_);

  if (mode_ == IndexMode::Full) {
    caption_ = "Emptying the word index";
    if (wl.empty() != Err::Ok || postings_.clear() != Err::Ok) return fail("The word index cannot be emptied.");
    words_.assign(1, Word{});
    ids_.clear();
  } else {
    if (!loadWords()) return fail("The word list cannot be read.");
    if (!postings_.mark(kStaleMark).empty() || mode_ == IndexMode::Recount) {
      if (!recount()) return false;
    }
  }
  if (mode_ == IndexMode::Recount) {
    state_ = State::Finishing;
    return true;
  }
  if (mode_ == IndexMode::Partial) indexed_ = postings_.indexedMessages();
  store::OP_CLOSE(s_, store::OpOpen, {4});
  textsOpen_ = true;
  total_ = s_.MsgText().count();
  s_.MsgText().set(store::MsgText::IdKey);
  caption_ = "Indexing words";
  state_ = State::Indexing;
  return true;
}

bool IndexBuilder::loadWords() {
  words_.assign(1, Word{});
  ids_.clear();
  auto& wl = store::wordListFile(s_);
  wl.setFileOrder();
  while (wl.next() == Err::Ok) {
    auto id = static_cast<uint32_t>(wl.rec.WORDID);
    if (id == 0 || id > 100000000) continue;
    if (words_.size() <= id) words_.resize(id + 1);
    Word& w = words_[id];
    w.text = wl.rec.THEWORD.str();
    w.count = wl.rec.WORDCOUNT;
    w.pos = wl.position();
    ids_[w.text] = id;
  }
  return true;
}

// Counts from the postings. Postings of a word the list does not know mean
// a run broke before it wrote its words: the index is emptied, so that the
// next partial run indexes every message again.
bool IndexBuilder::recount() {
  caption_ = "Recounting words";
  std::vector<int64_t> counts(words_.size(), 0);
  bool orphans = false;
  Err r = postings_.eachWordCount([&](uint32_t id, int64_t n) {
    if (id < words_.size() && words_[id].pos != 0) counts[id] = n;
    else if (n > 0) orphans = true;
  });
  if (r != Err::Ok) return fail("The postings cannot be read.");
  if (orphans) {
    auto& wl = store::wordListFile(s_);
    if (wl.empty() != Err::Ok || postings_.clear() != Err::Ok) return fail("The word index cannot be emptied.");
    words_.assign(1, Word{});
    ids_.clear();
    message_ = "The word index was incomplete and has been emptied; the next partial run indexes every message.";
    return true;
  }
  for (std::size_t id = 1; id < words_.size(); ++id) {
    auto n = static_cast<int32_t>(counts[id]);
    if (words_[id].pos != 0 && words_[id].count != n) {
      words_[id].count = n;
      words_[id].changed = true;
    }
  }
  return true;
}

bool IndexBuilder::step(int budgetMs) {
  if (finished()) return false;
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(budgetMs);
  if (state_ == State::Indexing) {
    auto& txt = s_.MsgText();
    int n = 0;
    for (;;) {
      if (cancelled_) {
        if (batchOpen_) postings_.rollback();
        batchOpen_ = false;
        batch_.clear();
        inBatch_ = 0;
        state_ = State::Finishing;
        break;
      }
      if (txt.next() != Err::Ok) {
        if (!flushBatch()) return false;
        state_ = State::Finishing;
        break;
      }
      ++done_;
      uint32_t id = txt.rec.MSGNUMBER;
      if (mode_ == IndexMode::Partial && std::binary_search(indexed_.begin(), indexed_.end(), id)) continue;
      indexMessage(id, txt.memo());
      if (failed()) return false;
      if (inBatch_ >= batchSize_ && !flushBatch()) return false;
      if (++n % 16 == 0 && std::chrono::steady_clock::now() >= until) return true;
    }
    return true;
  }
  if (state_ == State::Finishing) {
    if (textsOpen_) store::OP_CLOSE(s_, store::OpClose, {4});
    textsOpen_ = false;
    if (!cancelled_ && options_.autoStopWords && !applyAutoStopWords()) return false;
    if (!writeCounts()) return false;
    postings_.setMark(kStaleMark, "");
    stats_.words = store::wordListFile(s_).count();
    release();
    state_ = State::Done;
    caption_ = "Done";
    return false;
  }
  return false;
}

void IndexBuilder::indexMessage(uint32_t id, const std::string& memo) {
  if (!batchOpen_) {
    if (postings_.begin() != Err::Ok) {
      fail("The word index cannot be written (it is locked).");
      return;
    }
    batchOpen_ = true;
    // Until the counts are written at the end, the list's counts are stale.
    postings_.setMark(kStaleMark, "stale");
  }
  // Texts are UTF-8; one that is not (an older archive) is Windows-1252.
  std::string converted;
  std::string_view text = memo;
  if (!text::isUtf8(memo)) {
    converted = text::utf8From1252(memo);
    text = converted;
  }
  scratch_.clear();
  tokeniser_->words(text, hasFooter_, [this](const Token& t) {
    if (stops_.contains(t.word)) return;
    auto it = ids_.find(t.word);
    uint32_t wid;
    if (it == ids_.end()) {
      wid = static_cast<uint32_t>(words_.size());
      words_.push_back(Word{t.word, 0, 0, false});
      ids_.emplace(t.word, wid);
      ++stats_.newWords;
    } else {
      wid = it->second;
    }
    scratch_.push_back(wid);
  });
  std::sort(scratch_.begin(), scratch_.end());
  scratch_.erase(std::unique(scratch_.begin(), scratch_.end()), scratch_.end());
  if (postings_.addMessage(id, scratch_) != Err::Ok) {
    fail("The word index cannot be written.");
    return;
  }
  for (uint32_t w : scratch_) batch_[w].push_back(id);
  ++inBatch_;
  ++stats_.messages;
}

bool IndexBuilder::flushBatch() {
  if (!batchOpen_) return true;
  for (auto& [w, ids] : batch_) {
    if (postings_.addPostings(w, ids) != Err::Ok) return fail("The word index cannot be written.");
  }
  // A partial run writes the words new to the list with their batch, so
  // that the list knows every word the postings refer to.
  if (mode_ == IndexMode::Partial) {
    auto& wl = store::wordListFile(s_);
    wl.stream();
    for (auto& [w, ids] : batch_) {
      Word& word = words_[w];
      if (word.pos != 0) continue;
      wl.clear();
      wl.rec.WORDID = static_cast<int32_t>(w);
      wl.rec.THEWORD = word.text;
      wl.rec.WORDCOUNT = 0;
      if (wl.append() != Err::Ok) {
        wl.flush();
        return fail("The word list cannot be written.");
      }
      word.pos = wl.position();
      word.changed = true;
    }
    if (wl.flush() != Err::Ok) return fail("The word list cannot be written.");
  }
  if (postings_.commit() != Err::Ok) {
    batchOpen_ = false;
    return fail("The word index cannot be written.");
  }
  batchOpen_ = false;
  for (auto& [w, ids] : batch_) {
    words_[w].count += static_cast<int32_t>(ids.size());
    words_[w].changed = true;
    stats_.postings += static_cast<int64_t>(ids.size());
  }
  batch_.clear();
  inBatch_ = 0;
  return true;
}

bool IndexBuilder::applyAutoStopWords() {
  int64_t messages = postings_.messageCount();
  if (messages < kAutoStopMinimum) return true;
  std::vector<uint32_t> common;
  for (std::size_t id = 1; id < words_.size(); ++id)
    if (static_cast<int64_t>(words_[id].count) * 4 > messages) common.push_back(static_cast<uint32_t>(id));
  if (common.empty()) return true;
  caption_ = "Adding stop words";
  std::unordered_map<uint32_t, int32_t> removed;
  if (postings_.begin() != Err::Ok) return fail("The word index cannot be written (it is locked).");
  if (postings_.removeWords(common, removed) != Err::Ok || postings_.commit() != Err::Ok) {
    postings_.rollback();
    return fail("The word index cannot be written.");
  }
  for (auto& [id, n] : removed) stats_.postings -= n;
  for (uint32_t id : common) {
    stops_.add(s_, words_[id].text);
    words_[id].count = 0;
    words_[id].changed = true;
    ++stats_.stopWordsAdded;
  }
  return true;
}

bool IndexBuilder::writeCounts() {
  caption_ = "Writing the word list";
  auto& wl = store::wordListFile(s_);
  wl.stream();
  for (std::size_t id = 1; id < words_.size(); ++id) {
    Word& w = words_[id];
    if (!w.changed) continue;
    if (w.pos == 0) {
      if (w.count <= 0) continue;
      wl.clear();
      wl.rec.WORDID = static_cast<int32_t>(id);
      wl.rec.THEWORD = w.text;
      wl.rec.WORDCOUNT = w.count;
      if (wl.append() != Err::Ok) return fail("The word list cannot be written.");
      w.pos = wl.position();
    } else {
      if (wl.getPosition(w.pos) != Err::Ok) continue;
      if (w.count <= 0) {
        if (wl.del() != Err::Ok) return fail("The word list cannot be written.");
        w.pos = 0;
      } else {
        wl.rec.WORDCOUNT = w.count;
        if (wl.put() != Err::Ok) return fail("The word list cannot be written.");
      }
    }
    w.changed = false;
  }
  if (wl.flush() != Err::Ok) return fail("The word list cannot be written.");
  caption_ = "Rebuilding word list";
  Err r = wl.buildKeys();
  if (r != Err::Ok && r != Err::DuplicateKey) return fail("The keys of the word list cannot be built.");
  setWordListNeedsUpdate(s_, 0);
  return true;
}

}  // namespace qb::index
