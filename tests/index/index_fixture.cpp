#include "index_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "archive/file_table.h"
#include "archive/word_files.h"
#include "index/index_settings.h"
#include "index/tokeniser.h"
#include "index/word_list.h"

namespace qb::test {

namespace {
const char* kVocabulary[] = {
    "telescope", "Telescopes", "lens",   "mirror",  "Grüße",   "GRÜSSE", "straße", "focus",   "eyepiece",
    "WIN.INI",   "Windows.",   "modem",  "baud",    "2400",    "1995",   "the",    "and",     "that",
    "nebula",    "galaxy",     "comet",  "planet",  "saturn",  "rings",  "jupiter", "moons",  "mount",
    "tripod",    "filter",     "solar",  "eclipse", "shadow",  "Star",   "party",  "Saturday", "club",
    "meeting",   "coffee",     "naïve",  "café",    "résumé",  "zebra",  "quartz", "lemon",   "orbit"};
constexpr int kVocabularySize = sizeof(kVocabulary) / sizeof(kVocabulary[0]);
}  // namespace

IndexFixture::IndexFixture(uint8_t kind) { archive.addDatabase(kind, "Index test"); }

std::vector<uint32_t> IndexFixture::addMessages(int n) {
  std::vector<uint32_t> ids;
  for (int i = 0; i < n; ++i) {
    std::string text;
    int words = 3 + static_cast<int>((seed = seed * 1103515245u + 12345u) >> 16) % 25;
    for (int w = 0; w < words; ++w) {
      seed = seed * 1103515245u + 12345u;
      // Skewed picks: the first words are common, the last rare.
      unsigned r = (seed >> 16) % 1000;
      int k = static_cast<int>((r * r / 1000) * kVocabularySize / 1000);
      text += kVocabulary[k];
      text += (w % 9 == 8) ? "\r\n" : " ";
    }
    uint32_t id = nextId++;
    addMessage(id, text, 70000 + static_cast<int32_t>(id % 97));
    ids.push_back(id);
  }
  return ids;
}

void IndexFixture::addMessage(uint32_t id, const std::string& text, int32_t date) {
  store::Session& ss = s();
  store::OP_CLOSE(ss, store::OpOpen, {3, 4, 13});
  if (ss.ForumType == store::KindMail) {
    auto& m = ss.Mail();
    m.clear();
    m.rec.MAILID = id;
    m.rec.DATE = date;
    m.rec.SUBJECT = "Subject " + std::to_string(id % 7);
    m.rec.FROMALPHA = std::string(1, static_cast<char>('A' + id % 5));
    m.rec.FROMID = id % 5;
    EXPECT_EQ(m.add(), store::Err::Ok);
  } else {
    auto& m = ss.MsgNmbr();
    m.clear();
    m.rec.MSGNUMBER = id;
    m.rec.DATE = date;
    m.rec.THREADALPHA = std::string(1, static_cast<char>('A' + id % 5));
    m.rec.THREADNUMBER = id % 5 + 1;
    EXPECT_EQ(m.add(), store::Err::Ok);
  }
  auto& t = ss.MsgText();
  t.clear();
  t.rec.MSGNUMBER = id;
  t.memo() = text;
  EXPECT_EQ(t.add(), store::Err::Ok);
  store::OP_CLOSE(ss, store::OpClose, {3, 4, 13});
  texts[id] = text;
}

void IndexFixture::deleteMessages(const std::vector<uint32_t>& ids) {
  store::Session& ss = s();
  store::OP_CLOSE(ss, store::OpOpen, {3, 4, 13});
  for (uint32_t id : ids) {
    auto& t = ss.MsgText();
    t.clear();
    t.rec.MSGNUMBER = id;
    if (t.get(store::MsgText::IdKey) == store::Err::Ok) t.del();
    if (ss.ForumType == store::KindMail) {
      auto& m = ss.Mail();
      m.clear();
      m.rec.MAILID = id;
      if (m.get(store::Mail::IdKey) == store::Err::Ok) m.del();
    } else {
      auto& m = ss.MsgNmbr();
      m.clear();
      m.rec.MSGNUMBER = id;
      if (m.get(store::MsgNmbr::IdKey) == store::Err::Ok) m.del();
    }
    texts.erase(id);
  }
  store::OP_CLOSE(ss, store::OpClose, {3, 4, 13});
}

std::map<uint32_t, std::set<std::string>> IndexFixture::bruteWords() const {
  std::set<std::string> stops(index::initialStopWords().begin(), index::initialStopWords().end());
  index::Tokeniser tok(index::WordRules::standard());
  std::map<uint32_t, std::set<std::string>> out;
  for (auto& [id, text] : texts) {
    auto& set = out[id];
    tok.words(text, true, [&](const index::Token& t) {
      if (!stops.count(t.word)) set.insert(t.word);
    });
  }
  return out;
}

std::set<uint32_t> IndexFixture::bruteAll(const std::vector<std::string>& words) const {
  std::set<uint32_t> out;
  for (auto& [id, set] : bruteWords())
    if (std::all_of(words.begin(), words.end(), [&set](const std::string& w) { return set.count(w) != 0; }))
      out.insert(id);
  return out;
}

std::set<uint32_t> IndexFixture::bruteAny(const std::vector<std::string>& words) const {
  std::set<uint32_t> out;
  for (auto& [id, set] : bruteWords())
    if (std::any_of(words.begin(), words.end(), [&set](const std::string& w) { return set.count(w) != 0; }))
      out.insert(id);
  return out;
}

std::set<uint32_t> IndexFixture::brutePrefix(const std::string& prefix) const {
  std::set<uint32_t> out;
  for (auto& [id, set] : bruteWords())
    for (const std::string& w : set)
      if (w.compare(0, prefix.size(), prefix) == 0) out.insert(id);
  return out;
}

void IndexFixture::checkIndex(const std::set<uint32_t>& indexedMessages) {
  store::Session& ss = s();
  store::Postings p;
  ASSERT_EQ(index::openWordIndex(ss, p, false), store::Err::Ok);
  auto& wl = store::wordListFile(ss);
  std::map<uint32_t, std::string> byId;
  std::set<std::string> seen;
  wl.set(store::WordList::by_WordId);
  int64_t totalCount = 0;
  while (wl.next() == store::Err::Ok) {
    std::string w = wl.rec.THEWORD.str();
    EXPECT_TRUE(seen.insert(w).second) << "duplicate word " << w;
    EXPECT_GT(wl.rec.WORDCOUNT, 0) << w;
    auto ids = p.messagesOf(static_cast<uint32_t>(wl.rec.WORDID));
    EXPECT_EQ(static_cast<std::size_t>(wl.rec.WORDCOUNT), ids.size()) << w;
    EXPECT_TRUE(std::adjacent_find(ids.begin(), ids.end(), std::greater_equal<uint32_t>()) == ids.end())
        << "postings of " << w << " not ascending or duplicated";
    byId[static_cast<uint32_t>(wl.rec.WORDID)] = w;
    totalCount += wl.rec.WORDCOUNT;
  }
  EXPECT_EQ(totalCount, p.postingCount());
  auto brute = bruteWords();
  std::vector<uint32_t> indexed = p.indexedMessages();
  EXPECT_EQ(std::set<uint32_t>(indexed.begin(), indexed.end()), indexedMessages);
  for (uint32_t id : indexedMessages) {
    std::vector<uint32_t> words;
    ASSERT_TRUE(p.wordsOf(id, words)) << id;
    std::set<std::string> got;
    for (uint32_t w : words) {
      ASSERT_TRUE(byId.count(w)) << "posting of a word not in the list";
      got.insert(byId[w]);
      auto msgs = p.messagesOf(w);
      EXPECT_TRUE(std::binary_search(msgs.begin(), msgs.end(), id));
    }
    EXPECT_EQ(got, brute[id]) << "message " << id;
  }
  index::closeWordIndex(ss, p);
}

}  // namespace qb::test
