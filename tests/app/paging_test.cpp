// The page loader and the list model against the store: first and last
// pages, going on from either end, ranges of filtered views, positions kept
// on reload, and a database of a million messages scrolled without being
// read whole.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "app/app_archive.h"
#include "app/paged_model.h"
#include "archive/browse/browse_pager.h"
#include "text/datetime.h"
#include "archive/session.h"

using qb::text::dayNumber;

using namespace qb::store;
using qb::app::ListRow;
using qb::app::PagedListModel;
using Pager = qb::store::BrowsePager<ListRow>;

namespace {

struct Fixture : ::testing::Test {
  qb::test::TempArchive a;
  std::unique_ptr<qb::test::DatabaseBuilder> db;
  void SetUp() override {
    qb::test::ensureApplication();
    a.addDatabase(KindForum, "Paging forum");
    db = std::make_unique<qb::test::DatabaseBuilder>(a);
  }
  Session& s() { return a.session(); }
  std::unique_ptr<Pager> pager(int key) {
    auto p = std::make_unique<Pager>(s().MsgNmbr(), key);
    p->build = [this] {
      ListRow r;
      MsgRow m;
      m.MSGNUMBER = s().MsgNmbr().rec.MSGNUMBER;
      m.DATE = s().MsgNmbr().rec.DATE;
      r.data = m;
      return r;
    };
    return p;
  }
  static std::vector<uint32_t> ids(const std::vector<Pager::Entry>& rows) {
    std::vector<uint32_t> out;
    for (auto& e : rows) out.push_back(e.row.id());
    return out;
  }
  static std::vector<uint32_t> ids(const PagedListModel& m) {
    std::vector<uint32_t> out;
    for (int r = 0; r < m.rowCount(); ++r) out.push_back(m.row(r)->id());
    return out;
  }
  // Messages 1..n in two threads (odd: thread 1, even: thread 2), the date
  // rising with the number.
  void messages(uint32_t n) {
    db->section(900, 1, "General");
    db->thread(1, 900, "Alpha thread");
    db->thread(2, 900, "Beta thread");
    db->person(501, "Smith", "Jane", "jane@example.org");
    for (uint32_t i = 1; i <= n; ++i) db->message(i, 900, i % 2 ? 1 : 2, 0, 501, 501, dayNumber(2000, 1, 1) + i);
  }
};

using V = std::vector<uint32_t>;

}  // namespace

TEST_F(Fixture, FirstLastAndBothDirectionsInKeyOrder) {
  messages(10);
  auto p = pager(MsgNmbr::IdKey);  // highest number first
  EXPECT_EQ(ids(p->first(3)), (V{10, 9, 8}));
  EXPECT_EQ(ids(p->last(3)), (V{3, 2, 1}));
  auto first = p->first(3);
  EXPECT_EQ(ids(p->after(first.back().pos, 4)), (V{7, 6, 5, 4}));
  auto last = p->last(3);
  EXPECT_EQ(ids(p->before(last.front().pos, 2)), (V{5, 4}));
  EXPECT_TRUE(p->after(last.back().pos, 5).empty());
  EXPECT_TRUE(p->before(first.front().pos, 5).empty());
  // A page from a record near the end is filled up from before.
  EXPECT_EQ(ids(p->from(last[1].pos, 4)), (V{4, 3, 2, 1}));
}

TEST_F(Fixture, ThreadRangeAndTheNeighbouringThread) {
  messages(10);
  auto p = pager(MsgNmbr::Threadkey);
  auto& f = s().MsgNmbr();
  p->parts = 2;
  p->setRange = [&] {
    f.rec.THREADALPHA = "Alpha thre";
    f.rec.THREADNUMBER = 1;
  };
  p->inRange = [&] { return f.rec.THREADNUMBER == 1; };
  EXPECT_EQ(ids(p->first(10)), (V{1, 3, 5, 7, 9}));
  EXPECT_EQ(ids(p->last(2)), (V{7, 9}));
  ASSERT_TRUE(p->outside(1));
  EXPECT_EQ(f.rec.THREADNUMBER, 2u);  // the next thread in key order
  EXPECT_FALSE(p->outside(-1));       // nothing before the first thread
}

TEST_F(Fixture, LocatesADateInTheNewestFirstOrder) {
  messages(10);
  auto p = pager(MsgNmbr::DateKey);
  auto rows = p->at([&] { s().MsgNmbr().rec.DATE = dayNumber(2000, 1, 1) + 6; }, 1, 3);
  EXPECT_EQ(ids(rows), (V{6, 5, 4}));
  // A date before every message: the last page.
  rows = p->at([&] { s().MsgNmbr().rec.DATE = 10; }, 1, 3);
  EXPECT_EQ(ids(rows), (V{3, 2, 1}));
}

TEST_F(Fixture, ModelAppendsPrependsAndKeepsAWindow) {
  messages(40);
  auto p = pager(MsgNmbr::IdKey);
  PagedListModel m;
  m.pageSize = 5;
  m.maxRows = 10;
  m.setPager(p.get());
  m.showFirst();
  EXPECT_EQ(ids(m), (V{40, 39, 38, 37, 36}));
  EXPECT_TRUE(m.atStart());
  EXPECT_FALSE(m.atEnd());
  EXPECT_TRUE(m.canFetchMore({}));
  m.fetchMore({});
  m.fetchMore({});
  EXPECT_EQ(m.rowCount(), 10);
  EXPECT_EQ(m.row(0)->id(), 35u);  // the oldest page went
  EXPECT_FALSE(m.atStart());
  EXPECT_EQ(m.loadBefore(), 5);
  EXPECT_EQ(m.row(0)->id(), 40u);
  EXPECT_TRUE(m.atStart());
  m.showLast();
  EXPECT_EQ(ids(m), (V{5, 4, 3, 2, 1}));
  EXPECT_TRUE(m.atEnd());
  EXPECT_FALSE(m.canFetchMore({}));
  // Position kept on reload: a page starting at the row that was shown.
  const int64_t pos = m.positionOf(2);
  m.showFrom(pos);
  EXPECT_EQ(m.rowOfPosition(pos) >= 0, true);
  EXPECT_EQ(m.row(m.rowOfPosition(pos))->id(), 3u);
}

TEST_F(Fixture, RanksPlaceThePageInTheWholeList) {
  messages(40);
  auto p = pager(MsgNmbr::IdKey);  // highest number first
  EXPECT_EQ(p->total(), 40);
  EXPECT_EQ(p->rankOf(p->first(1).front().pos), 0);
  EXPECT_EQ(p->rankOf(p->last(1).front().pos), 39);
  EXPECT_EQ(ids(p->atRank(10, 3)), (V{30, 29, 28}));
  EXPECT_EQ(ids(p->atRank(39, 3)), (V{3, 2, 1}));  // filled up from before at the end
  EXPECT_EQ(ids(p->atRank(500, 2)), (V{2, 1}));    // past the end: the last page
  // Within the range of a thread, counted in the thread only.
  auto t = pager(MsgNmbr::Threadkey);
  auto& f = s().MsgNmbr();
  t->parts = 2;
  t->setRange = [&] {
    f.rec.THREADALPHA = "Beta threa";
    f.rec.THREADNUMBER = 2;
  };
  t->inRange = [&] { return f.rec.THREADNUMBER == 2; };
  EXPECT_EQ(t->total(), 20);
  EXPECT_EQ(t->rankOf(t->last(1).front().pos), 19);
  EXPECT_EQ(ids(t->atRank(5, 2)), (V{12, 14}));
  EXPECT_EQ(t->rankOf(p->last(2).front().pos), 0);  // message 2 is the first of thread 2
  EXPECT_EQ(t->rankOf(p->last(1).front().pos), -1);  // message 1 is not of the thread

  // The model keeps the rank of its first row through every way of loading.
  PagedListModel m;
  m.pageSize = 5;
  m.maxRows = 10;
  m.setPager(p.get());
  m.showFirst();
  EXPECT_EQ(m.total(), 40);
  EXPECT_EQ(m.rankOfRow(0), 0);
  m.fetchMore({});
  m.fetchMore({});  // the first page went
  EXPECT_EQ(m.rankOfRow(0), 5);
  EXPECT_EQ(m.row(0)->id(), 35u);
  m.loadBefore();
  EXPECT_EQ(m.rankOfRow(0), 0);
  m.showLast();
  EXPECT_EQ(m.rankOfRow(0), 35);
  EXPECT_EQ(m.loadBefore(), 5);
  EXPECT_EQ(m.rankOfRow(0), 30);
  EXPECT_EQ(m.row(0)->id(), 10u);
  m.showAtRank(17);
  EXPECT_EQ(m.rankOfRow(0), 17);
  EXPECT_EQ(m.row(0)->id(), 23u);
  m.showFrom(m.positionOf(3));
  EXPECT_EQ(m.rankOfRow(0), 20);
  EXPECT_EQ(m.row(0)->id(), 20u);
}

TEST_F(Fixture, ReloadShowsRecordsAddedMeanwhile) {
  messages(4);
  auto p = pager(MsgNmbr::IdKey);
  PagedListModel m;
  m.setPager(p.get());
  m.showFirst();
  EXPECT_EQ(m.rowCount(), 4);
  db->message(5, 900, 1, 0, 501, 501, dayNumber(2001, 1, 1));
  m.showFirst();
  EXPECT_EQ(ids(m), (V{5, 4, 3, 2, 1}));
}

TEST_F(Fixture, AMillionMessagesAreScrolledWithoutReadingThemAll) {
  const uint32_t n = 1000000;
  db->manyMessages(n, 900, 501, 502);
  db->person(501, "Smith", "Jane", "jane@example.org");
  db->thread(1, 900, "T1");
  auto p = pager(MsgNmbr::DateKey);
  // Rows as the browse builds them: with the thread, section and persons.
  RowOptions opts;
  p->build = [&] {
    ListRow r;
    r.data = buildMsgRow(s(), s().MsgNmbr().rec, opts);
    return r;
  };
  PagedListModel m;
  m.setPager(p.get());
  using clock = std::chrono::steady_clock;
  auto t0 = clock::now();
  m.showFirst();
  auto t1 = clock::now();
  m.showLast();
  auto t2 = clock::now();
  EXPECT_EQ(m.row(m.rowCount() - 1)->id(), 1u);  // the oldest message is last
  // Scroll a hundred pages back from the end, then jump to the start.
  for (int i = 0; i < 100; ++i) m.loadBefore();
  EXPECT_LE(m.rowCount(), m.maxRows);
  m.showFirst();
  EXPECT_EQ(m.row(0)->id(), n);
  EXPECT_LT(m.rowsRead(), 10000);  // about a hundred pages, never the file
  std::printf("[ figures ] 1,000,000 messages: first page %.1f ms, jump to the end %.1f ms\n",
              std::chrono::duration<double, std::milli>(t1 - t0).count(),
              std::chrono::duration<double, std::milli>(t2 - t1).count());
}
