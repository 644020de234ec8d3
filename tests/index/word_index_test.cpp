// The index builder, the purge's clean-up, and the query evaluator, checked
// against brute-force scans of the same texts.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "archive/file_table.h"
#include "archive/word_files.h"
#include "index/index_builder.h"
#include "index/query.h"
#include "index/result_set.h"
#include "index/word_list.h"
#include "index_fixture.h"

using namespace qb;
using qb::test::IndexFixture;

namespace {

index::IndexStats runIndex(store::Session& s, index::IndexMode mode, int batch = 7) {
  index::IndexBuilder b(s, mode);
  b.setBatchSize(batch);
  EXPECT_TRUE(b.start()) << b.message();
  while (b.step(5)) {
  }
  EXPECT_FALSE(b.failed()) << b.message();
  return b.stats();
}

std::set<uint32_t> search(store::Session& s, const std::string& words, index::QueryOptions o = {}) {
  index::SearchRun run(s, words, o);
  if (!run.start()) return {};
  while (!run.finished()) {
    run.step(5);
    if (run.paused()) run.resume();
  }
  const auto& r = run.results();
  EXPECT_TRUE(std::is_sorted(r.rbegin(), r.rend())) << "hits are newest first";
  return {r.begin(), r.end()};
}

std::set<uint32_t> all(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b = {}) {
  std::set<uint32_t> out(a.begin(), a.end());
  out.insert(b.begin(), b.end());
  return out;
}

}  // namespace

TEST(WordIndex, FullPartialAndPurgeKeepTheInvariants) {
  IndexFixture f;
  auto first = f.addMessages(60);
  auto st = runIndex(f.s(), index::IndexMode::Full);
  EXPECT_EQ(st.messages, 60);
  f.checkIndex(all(first));
  EXPECT_EQ(f.s().WordListIndexNeedsUpdate, 0);

  // A partial run indexes only the new messages.
  auto second = f.addMessages(25);
  st = runIndex(f.s(), index::IndexMode::Partial);
  EXPECT_EQ(st.messages, 25);
  f.checkIndex(all(first, second));
  EXPECT_EQ(runIndex(f.s(), index::IndexMode::Partial).messages, 0);

  // The purge removes the postings of deleted messages; a word found only
  // in them disappears.
  f.addMessage(f.nextId, "xylophone telescope", 70000);
  uint32_t lonely = f.nextId++;
  runIndex(f.s(), index::IndexMode::Partial);
  std::vector<uint32_t> gone(first.begin(), first.begin() + 20);
  gone.push_back(lonely);
  gone.push_back(999);  // never indexed: changes nothing
  f.deleteMessages(gone);
  auto r = index::removeDeletedPostings(f.s(), gone, 3);
  EXPECT_TRUE(r.ok);
  EXPECT_GT(r.postingsRemoved, 0);
  EXPECT_GE(r.wordsRemoved, 1);
  std::set<uint32_t> left = all(first, second);
  for (uint32_t id : gone) left.erase(id);
  f.checkIndex(left);
  EXPECT_TRUE(search(f.s(), "xylophone").empty());
  EXPECT_EQ(f.s().WordListIndexNeedsUpdate, 0);

  // A full run gives the same index as the incremental runs.
  runIndex(f.s(), index::IndexMode::Full, 1000);
  f.checkIndex(left);
}

TEST(WordIndex, PurgeWithoutDeletedMessagesStillRebuildsTheCountKey) {
  IndexFixture f;
  auto ids = f.addMessages(10);
  runIndex(f.s(), index::IndexMode::Full);
  index::setWordListNeedsUpdate(f.s(), 1);
  auto r = index::removeDeletedPostings(f.s(), {});
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.postingsRemoved, 0);
  EXPECT_EQ(f.s().WordListIndexNeedsUpdate, 0);
  f.checkIndex(all(ids));
}

TEST(WordIndex, RecountRepairsCounts) {
  IndexFixture f;
  auto ids = f.addMessages(30);
  runIndex(f.s(), index::IndexMode::Full);
  ASSERT_EQ(store::openWordFile(f.s(), 28), store::Err::Ok);
  auto& wl = store::wordListFile(f.s());
  wl.set(store::WordList::by_WordId);
  ASSERT_EQ(wl.next(), store::Err::Ok);
  wl.rec.WORDCOUNT += 5;
  ASSERT_EQ(wl.put(), store::Err::Ok);
  store::closeWordFile(f.s(), 28);
  runIndex(f.s(), index::IndexMode::Recount);
  f.checkIndex(all(ids));
}

TEST(WordIndex, CancelledRunLeavesAConsistentIndex) {
  IndexFixture f;
  auto ids = f.addMessages(80);
  {
    index::IndexBuilder b(f.s(), index::IndexMode::Full);
    b.setBatchSize(10);
    ASSERT_TRUE(b.start());
    while (b.stats().messages < 35 && b.step(0)) {
    }
    b.cancel();
    while (b.step(5)) {
    }
    EXPECT_TRUE(b.cancelled());
  }
  store::Postings p;
  ASSERT_EQ(index::openWordIndex(f.s(), p, false), store::Err::Ok);
  auto done = p.indexedMessages();
  index::closeWordIndex(f.s(), p);
  EXPECT_FALSE(done.empty());
  EXPECT_LT(done.size(), ids.size());
  f.checkIndex(all(done));
  runIndex(f.s(), index::IndexMode::Partial);
  f.checkIndex(all(ids));
}

TEST(WordIndex, IndexingRunHoldsTheFilesExclusively) {
  IndexFixture f;
  f.addMessages(5);
  index::IndexBuilder b(f.s(), index::IndexMode::Full);
  ASSERT_TRUE(b.start());
  EXPECT_EQ(f.s().IndexingInProgress, 1);
  qb::RecordingUI ui;
  auto other = f.archive.newSession(ui);
  other->selectDatabase([&] {
    store::OP_CLOSE(f.s(), store::OpOpen, {2});
    auto& fo = f.s().Forums();
    fo.clear();
    fo.rec.ID = f.s().ForumNumber;
    fo.get(store::Forums::ForumKey);
    store::Forums rec = fo.rec;
    store::OP_CLOSE(f.s(), store::OpClose, {2});
    return rec;
  }());
  store::Postings p;
  EXPECT_EQ(index::openWordIndex(*other, p, false), store::Err::AccessDenied);
  EXPECT_EQ(other->IndexingInProgress, 1);
  index::SearchRun run(*other, "telescope");
  EXPECT_FALSE(run.start());
  while (b.step(5)) {
  }
  EXPECT_EQ(f.s().IndexingInProgress, 0);
  EXPECT_EQ(index::openWordIndex(*other, p, false), store::Err::Ok);
  index::closeWordIndex(*other, p);
}

TEST(WordIndex, AutomaticStopWordsAboveAQuarterOfTheMessages) {
  IndexFixture f;
  for (int i = 0; i < 120; ++i) f.addMessage(f.nextId++, "zebra common" + std::string(i % 3 == 0 ? " lemon" : ""), 70000);
  f.addMessage(f.nextId++, "rare quartz", 70000);
  auto st = runIndex(f.s(), index::IndexMode::Full, 50);
  EXPECT_EQ(st.stopWordsAdded, 3);  // ZEBRA, COMMON, LEMON (41 of 121)
  index::StopList stops;
  stops.load(f.s());
  EXPECT_TRUE(stops.contains("ZEBRA"));
  EXPECT_TRUE(stops.contains("LEMON"));
  EXPECT_FALSE(stops.contains("QUARTZ"));
  EXPECT_EQ(search(f.s(), "quartz").size(), 1u);
  EXPECT_TRUE(search(f.s(), "zebra").empty());
}

TEST(Query, ResultsEqualBruteForce) {
  IndexFixture f;
  f.addMessages(150);
  // Below 100 messages no word becomes a stop word; above, common words
  // would: keep them with the option off.
  auto o = index::loadIndexOptions(f.s());
  o.autoStopWords = false;
  ASSERT_TRUE(index::saveIndexOptions(f.s(), o));
  runIndex(f.s(), index::IndexMode::Full, 40);

  EXPECT_EQ(search(f.s(), "telescope"), f.bruteAll({"TELESCOPE"}));
  EXPECT_EQ(search(f.s(), "TELESCOPE Mirror lens"), f.bruteAll({"TELESCOPE", "MIRROR", "LENS"}));
  EXPECT_EQ(search(f.s(), "comet orbit", {true, false}), f.bruteAny({"COMET", "ORBIT"}));
  EXPECT_EQ(search(f.s(), "telesc*"), f.brutePrefix("TELESC"));
  EXPECT_EQ(search(f.s(), "grüsse"), f.bruteAll({"GRÜSSE"}));
  EXPECT_EQ(search(f.s(), "STRASSE"), f.bruteAll({"STRASSE"}));
  EXPECT_EQ(search(f.s(), "win.ini"), f.bruteAll({"WIN.INI"}));
  EXPECT_TRUE(search(f.s(), "telescope unheardof").empty());
  EXPECT_EQ(search(f.s(), "telescope unheardof", {true, false}), f.bruteAll({"TELESCOPE"}));
  // A stop word is left out of an AND.
  EXPECT_EQ(search(f.s(), "the telescope"), f.bruteAll({"TELESCOPE"}));

  // Phrase: brute force over the token sequence.
  index::Tokeniser tok(index::WordRules::standard());
  std::set<uint32_t> phrase;
  for (auto& [id, text] : f.texts) {
    std::vector<std::string> seq;
    tok.words(text, true, [&seq](const index::Token& t) { seq.push_back(t.word); });
    for (std::size_t i = 0; i + 1 < seq.size(); ++i)
      if (seq[i] == "STAR" && seq[i + 1] == "PARTY") phrase.insert(id);
  }
  EXPECT_EQ(search(f.s(), "star party", {false, true}), phrase);
  EXPECT_LE(phrase.size(), f.bruteAll({"STAR", "PARTY"}).size());
}

TEST(Query, SplittingMarksFilteredWordsAndPrefixes) {
  index::StopList stops;
  index::Tokeniser tok(index::WordRules::standard());
  // An empty stop list but for "THE": load from a fresh archive instead.
  IndexFixture f;
  stops.load(f.s());
  auto w = index::splitSearchString("The telesc* " + std::string(50, 'x') + " Grüße", tok, stops);
  ASSERT_EQ(w.size(), 4u);
  EXPECT_EQ(w[0].WSWORD, "THE");
  EXPECT_EQ(w[0].FILTERED, 1);
  EXPECT_EQ(w[1].WSWORD, "TELESC");
  EXPECT_TRUE(w[1].prefix);
  EXPECT_EQ(w[2].FILTERED, 2);
  EXPECT_EQ(w[3].WSWORD, "GRÜSSE");
  index::SearchRun run(f.s(), "the and");
  EXPECT_FALSE(run.start());
  EXPECT_NE(run.message().find("stop word"), std::string::npos);
}

TEST(Query, PausesAfterTheConfiguredNumberOfEntries) {
  IndexFixture f;
  f.addMessages(90);
  runIndex(f.s(), index::IndexMode::Full);
  index::SearchRun run(f.s(), "telescope lens mirror focus", {true, false});
  ASSERT_TRUE(run.start());
  run.setPauseAfter(5);
  int pauses = 0;
  while (!run.finished()) {
    run.step(50);
    if (run.paused()) {
      ++pauses;
      run.resume();
    }
  }
  EXPECT_GE(pauses, 2);
  EXPECT_EQ(std::set<uint32_t>(run.results().begin(), run.results().end()),
            f.bruteAny({"TELESCOPE", "LENS", "MIRROR", "FOCUS"}));
  // Cancelling at a pause keeps what was found.
  index::SearchRun second(f.s(), "telescope lens", {true, false});
  ASSERT_TRUE(second.start());
  second.setPauseAfter(1);
  while (!second.paused() && !second.finished()) second.step(50);
  second.cancel();
  EXPECT_TRUE(second.cancelled());
  EXPECT_FALSE(second.results().empty());
}

TEST(Query, HitPositionsSelectTheWordsInTheText) {
  index::Tokeniser tok(index::WordRules::standard());
  index::StopList none;
  std::string text = "A telescope, two Telescopes and a star party. Star\r\nparty!";
  auto words = index::splitSearchString("telesc* party", tok, none);
  auto hits = index::hitPositions(text, words, false, tok);
  std::vector<std::string> got;
  for (auto& h : hits) got.push_back(text.substr(h.STARTPOS, h.ENDPOS - h.STARTPOS));
  EXPECT_EQ(got, (std::vector<std::string>{"telescope", "Telescopes", "party", "party"}));
  auto phrase = index::hitPositions(text, index::splitSearchString("star party", tok, none), true, tok);
  ASSERT_EQ(phrase.size(), 2u);
  EXPECT_EQ(text.substr(phrase[1].STARTPOS, phrase[1].ENDPOS - phrase[1].STARTPOS), "Star\r\nparty");
}

TEST(ResultSet, StoreAndResortWithDeletedMessages) {
  IndexFixture f(store::KindMail);
  auto ids = f.addMessages(12);
  // Newest first is the order of the evaluator; sort by date.
  std::vector<uint32_t> hits(ids.rbegin(), ids.rend());
  ASSERT_TRUE(index::storeResultSet(f.s(), hits));
  EXPECT_EQ(index::loadResultSet(f.s()), hits);

  f.deleteMessages({ids[3], ids[7]});
  auto sorted = index::resortResults(f.s(), hits, index::ResultOrder::Subject);
  EXPECT_EQ(sorted.size(), hits.size() - 2);
  // Subject ascending, then date descending; equal keys keep their order.
  store::OP_CLOSE(f.s(), store::OpOpen, {13});
  std::vector<std::pair<std::string, int32_t>> keys;
  for (uint32_t id : sorted) {
    auto& m = f.s().Mail();
    m.clear();
    m.rec.MAILID = id;
    ASSERT_EQ(m.get(store::Mail::IdKey), store::Err::Ok);
    keys.emplace_back(m.rec.SUBJECT.str(), -m.rec.DATE);
  }
  store::OP_CLOSE(f.s(), store::OpClose, {13});
  EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end()));
  ASSERT_TRUE(index::storeResultSet(f.s(), sorted));
  EXPECT_EQ(index::loadResultSet(f.s()), sorted);
  ASSERT_TRUE(index::storeResultSet(f.s(), {}));
  EXPECT_TRUE(index::loadResultSet(f.s()).empty());
}

TEST(ResultSet, MenuMarksTheCurrentOrder) {
  EXPECT_EQ(index::resultOrderMenu(true, index::ResultOrder::Partner),
            "Sort by date|+Sort by partner|Sort by sender|Sort by receiver|Sort by subject");
  EXPECT_EQ(index::resultOrderMenu(false, index::ResultOrder::Date),
            "+Sort by date|Sort by thread|Sort by section|Sort by sender|Sort by receiver");
}

TEST(Postings, CompactFormRoundTrips) {
  std::vector<uint32_t> ids = {0, 1, 2, 127, 128, 300000, 300001, 4000000000u};
  std::string blob;
  store::Postings::encode(ids, blob);
  std::vector<uint32_t> back;
  store::Postings::decode(blob, 0, back);
  EXPECT_EQ(back, ids);
  // Damaged bytes decode to something without running away.
  std::string junk(64, '\xFF');
  back.clear();
  store::Postings::decode(junk, 0, back);
  EXPECT_TRUE(back.empty());
}

TEST(WordIndex, OlderWindows1252TextsAreFoundByTheirUtf8Form) {
  IndexFixture f;
  f.addMessage(500001, "Viele Gr\xFC\xDF" "e aus K\xF6ln", 70000);
  f.addMessage(500002, "Viele Grüße aus Köln", 70000);
  runIndex(f.s(), index::IndexMode::Full);
  EXPECT_EQ(search(f.s(), "GRÜSSE köln"), (std::set<uint32_t>{500001, 500002}));
}
