#include "index/query.h"

#include <algorithm>
#include <chrono>

#include "archive/file_table.h"
#include "archive/word_files.h"
#include "index/word_form.h"
#include "index/word_list.h"
#include "text/display_text.h"
#include "text/strings.h"

namespace qb::index {

using store::Err;

std::vector<QueryWord> splitSearchString(const std::string& str, const Tokeniser& tok, const StopList& stops) {
  std::vector<QueryWord> out;
  std::size_t at = 0;
  while (at < str.size()) {
    while (at < str.size() && text::isBlank(str[at])) ++at;
    std::size_t end = at;
    while (end < str.size() && !text::isBlank(str[end])) ++end;
    if (end == at) break;
    std::string_view chunk(str.data() + at, end - at);
    bool any = false;
    tok.queryWords(chunk, [&](const Token& t) {
      any = true;
      QueryWord w;
      w.WSWORD = t.word;
      w.prefix = t.end < chunk.size() && chunk[t.end] == '*';
      if (!w.prefix && stops.contains(t.word)) w.FILTERED = 1;
      out.push_back(std::move(w));
    });
    if (!any) {
      std::string_view raw = chunk;
      while (!raw.empty() && raw.back() == '*') raw.remove_suffix(1);
      if (!raw.empty()) {
        QueryWord w;
        w.WSWORD = indexForm(raw).substr(0, kMaxWordBytes);
        w.FILTERED = 2;
        out.push_back(std::move(w));
      }
    }
    at = end;
  }
  return out;
}

SearchRun::SearchRun(store::Session& s, std::string searchString, QueryOptions options)
    : s_(s), searchString_(std::move(searchString)), options_(options) {}

SearchRun::~SearchRun() {
  if (open_) closeWordIndex(s_, postings_);
}

bool SearchRun::fail(const std::string& text) {
  message_ = text;
  state_ = State::Failed;
  if (open_) closeWordIndex(s_, postings_);
  open_ = false;
  return false;
}

bool SearchRun::start() {
  if (s_.Dirnamn.empty() || s_.ForumNumber == 0) return fail("No database is selected.");
  if (options_.phrase) options_.any = false;  // a phrase needs all of its words
  IndexOptions o = loadIndexOptions(s_);
  pauseAfter_ = o.searchPause;
  tokeniser_ = std::make_unique<Tokeniser>(loadRuleSet(s_, o.ruleSet), o.tokens);
  StopList stops;
  stops.load(s_);
  words_ = splitSearchString(searchString_, *tokeniser_, stops);
  Err r = openWordIndex(s_, postings_, false);
  if (r == Err::AccessDenied) return fail("The word index is being built. Search again when indexing is done.");
  if (r != Err::Ok) return fail(std::string("The word index cannot be opened: ") + store::errorText(r) + ".");
  open_ = true;

  for (const QueryWord& w : words_) {
    if (w.FILTERED) continue;
    QueryTerm t;
    t.CONDITION = options_.any ? "OR" : "AND";
    t.THEWORD = w.WSWORD;
    t.prefix = w.prefix;
    auto& wl = store::wordListFile(s_);
    if (w.prefix) {
      wl.clear();
      wl.rec.THEWORD = w.WSWORD;
      wl.setAt(store::WordList::by_theWord);
      while (wl.next() == Err::Ok && text::startsWith(wl.rec.THEWORD.str(), w.WSWORD)) {
        t.expansion.push_back(wl.rec.WORDID);
        t.WORDCOUNT += wl.rec.WORDCOUNT;
      }
      t.MARKFLAG = t.expansion.empty() ? 0 : 1;
    } else {
      store::WordList found;
      if (findWord(s_, w.WSWORD, found)) {
        t.WORDID = found.WORDID;
        t.WORDCOUNT = found.WORDCOUNT;
        t.MARKFLAG = 1;
      }
    }
    // The same word twice adds nothing.
    bool dup = std::any_of(terms_.begin(), terms_.end(),
                           [&t](const QueryTerm& e) { return e.THEWORD == t.THEWORD && e.prefix == t.prefix; });
    if (!dup) terms_.push_back(std::move(t));
  }
  if (terms_.empty()) {
    std::string why = words_.empty() ? "Type the words to search for."
                                     : "Every word of the search is a stop word or not indexed by the word rules.";
    return fail(why);
  }
  if (!options_.any) {
    // Rarest first; a word that is not indexed means no hits at all.
    std::stable_sort(terms_.begin(), terms_.end(),
                     [](const QueryTerm& a, const QueryTerm& b) { return a.WORDCOUNT < b.WORDCOUNT; });
    if (terms_.front().MARKFLAG == 0) {
      finish();
      return true;
    }
  }
  state_ = State::Postings;
  return true;
}

std::vector<uint32_t> SearchRun::postingsOf(const QueryTerm& t) {
  if (!t.prefix) return t.WORDID ? postings_.messagesOf(static_cast<uint32_t>(t.WORDID)) : std::vector<uint32_t>{};
  std::vector<uint32_t> all;
  for (int32_t id : t.expansion) {
    auto more = postings_.messagesOf(static_cast<uint32_t>(id));
    std::vector<uint32_t> merged;
    merged.reserve(all.size() + more.size());
    std::set_union(all.begin(), all.end(), more.begin(), more.end(), std::back_inserter(merged));
    all.swap(merged);
  }
  return all;
}

bool SearchRun::step(int budgetMs) {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(budgetMs);
  auto pauseDue = [this] {
    if (sincePause_ < pauseAfter_) return false;
    resumeTo_ = state_;
    state_ = State::Paused;
    return true;
  };
  while (state_ == State::Postings) {
    if (next_ >= terms_.size() || (!options_.any && !first_ && candidates_.empty())) {
      if (options_.phrase && !candidates_.empty()) {
        state_ = State::Phrase;
        next_ = candidates_.size();
        results_.clear();
        break;
      }
      results_.assign(candidates_.rbegin(), candidates_.rend());
      finish();
      return false;
    }
    std::vector<uint32_t> list = postingsOf(terms_[next_++]);
    scanned_ += static_cast<int64_t>(list.size());
    sincePause_ += static_cast<int64_t>(list.size());
    if (first_) {
      candidates_.swap(list);
      first_ = false;
    } else {
      std::vector<uint32_t> out;
      if (options_.any)
        std::set_union(candidates_.begin(), candidates_.end(), list.begin(), list.end(), std::back_inserter(out));
      else
        std::set_intersection(candidates_.begin(), candidates_.end(), list.begin(), list.end(),
                              std::back_inserter(out));
      candidates_.swap(out);
    }
    if (pauseDue()) return true;
    if (std::chrono::steady_clock::now() >= until) return true;
  }
  if (state_ == State::Phrase) {
    // Candidates are checked newest first, so hits come out in result order.
    store::OP_CLOSE(s_, store::OpOpen, {4});
    auto& txt = s_.MsgText();
    int n = 0;
    while (next_ > 0) {
      uint32_t id = candidates_[--next_];
      txt.clear();
      txt.rec.MSGNUMBER = id;
      if (txt.get(store::MsgText::IdKey) == Err::Ok &&
          containsPhrase(text::displayText(txt.memo()), words_, *tokeniser_))
        results_.push_back(id);
      ++scanned_;
      ++sincePause_;
      if (pauseDue()) break;
      if (++n % 8 == 0 && std::chrono::steady_clock::now() >= until) break;
    }
    store::OP_CLOSE(s_, store::OpClose, {4});
    if (state_ == State::Phrase && next_ == 0) {
      finish();
      return false;
    }
    return true;
  }
  return !finished();
}

void SearchRun::resume() {
  if (state_ != State::Paused) return;
  sincePause_ = 0;
  state_ = resumeTo_;
}

void SearchRun::cancel() {
  if (finished()) return;
  // What was found so far stays available.
  if (state_ != State::Phrase && resumeTo_ != State::Phrase) results_.assign(candidates_.rbegin(), candidates_.rend());
  state_ = State::Cancelled;
  if (open_) closeWordIndex(s_, postings_);
  open_ = false;
}

void SearchRun::finish() {
  state_ = State::Done;
  if (open_) closeWordIndex(s_, postings_);
  open_ = false;
}

namespace {

// The words of a phrase, in order; a word dropped by the word rules cannot
// be matched and is left out.
std::vector<const QueryWord*> phraseWords(const std::vector<QueryWord>& words) {
  std::vector<const QueryWord*> out;
  for (const QueryWord& w : words)
    if (w.FILTERED != 2) out.push_back(&w);
  return out;
}

bool matches(const QueryWord& q, const std::string& word) {
  return q.prefix ? text::startsWith(word, q.WSWORD) : word == q.WSWORD;
}

// Calls f(begin, end) for every occurrence of the phrase.
template <class F>
void eachPhrase(const std::string& text, const std::vector<QueryWord>& words, const Tokeniser& tok, F f) {
  auto phrase = phraseWords(words);
  if (phrase.empty()) return;
  std::vector<Token> tokens;
  tok.words(text, false, [&tokens](const Token& t) { tokens.push_back(t); });
  for (std::size_t i = 0; i + phrase.size() <= tokens.size(); ++i) {
    std::size_t k = 0;
    while (k < phrase.size() && matches(*phrase[k], tokens[i + k].word)) ++k;
    if (k == phrase.size()) f(tokens[i].begin, tokens[i + k - 1].end);
  }
}

}  // namespace

bool containsPhrase(const std::string& text, const std::vector<QueryWord>& words, const Tokeniser& tok) {
  bool found = false;
  eachPhrase(text, words, tok, [&found](std::size_t, std::size_t) { found = true; });
  return found;
}

std::vector<HitRange> hitPositions(const std::string& text, const std::vector<QueryWord>& words, bool phrase,
                                   const Tokeniser& tok) {
  std::vector<HitRange> out;
  if (phrase) {
    eachPhrase(text, words, tok, [&out](std::size_t b, std::size_t e) { out.push_back({b, e}); });
    return out;
  }
  tok.words(text, false, [&](const Token& t) {
    for (const QueryWord& q : words)
      if (!q.FILTERED && matches(q, t.word)) {
        out.push_back({t.begin, t.end});
        break;
      }
  });
  return out;
}

}  // namespace qb::index
