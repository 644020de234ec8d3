// The rows of the browse views: the key order of every view, the range of
// each filter, locating by date and number, stepping to the neighbouring
// filter value, and the filter taken from a highlighted row.

#include "browse/browse_fixture.h"
#include "text/strings.h"

using namespace qb::store;
using qb::test::V;

namespace {

struct Views : qb::test::BrowseFixture {};

}  // namespace

TEST_F(Views, MessageViewsSortTheWholeDatabase) {
  forum();
  EXPECT_EQ(shown(state(false, 1)), (V{1006, 1005, 1004, 1003, 1002, 1001}));  // newest first
  EXPECT_EQ(shown(state(false, 6)), (V{1006, 1005, 1004, 1003, 1002, 1001}));  // highest number first
  const V byThread = shown(state(false, 2));
  ASSERT_EQ(byThread.size(), 6u);
  // Within a thread by number; "Dogs" after both threads of cats.
  EXPECT_EQ(V(byThread.begin(), byThread.begin() + 3), (V{1001, 1002, 1004}));
  EXPECT_EQ(V(byThread.end() - 2, byThread.end()), (V{1003, 1005}));
  EXPECT_EQ(shown(state(false, 4)), (V{1006, 1003, 1002, 1005, 1004, 1001}));  // Jones before Smith
  EXPECT_EQ(shown(state(false, 3)).size(), 6u);
  EXPECT_EQ(shown(state(false, 5)).size(), 6u);
}

TEST_F(Views, ViewsWithoutAKeyAndOutOfRangeNumbers) {
  // The word, topic and search views come with the word index.
  for (int v : {7, 8, 9}) EXPECT_FALSE(browseView(false, v).available);
  for (int v : {6, 7, 8}) EXPECT_FALSE(browseView(true, v).available);
  EXPECT_EQ(browseView(false, 2).filter, BrowseFilter::Thread);
  EXPECT_EQ(browseView(true, 3).filter, BrowseFilter::Partner);
  // A view number outside the table is view 1, never a read past it.
  EXPECT_EQ(&browseView(false, 0), &browseView(false, 1));
  EXPECT_EQ(&browseView(true, 9), &browseView(true, 1));
  BrowseState st = state(false, 3);
  EXPECT_EQ(st.msg.SORTORDER, 3);
  EXPECT_FALSE(st.filterSet());
}

TEST_F(Views, EachFilterLimitsToItsRange) {
  forum();
  BrowseState st = state(false, 2);
  st.msg.XTHREADNUMBER = 1;
  st.msg.XTHREADALPHA = "CATS";  // the alpha key compares without case
  EXPECT_TRUE(st.filterSet());
  EXPECT_EQ(shown(st), (V{1001, 1002, 1004}));

  st = state(false, 3);
  st.msg.XSECSYSID = 901;
  EXPECT_EQ(shown(st), (V{1006}));

  st = state(false, 4);
  st.msg.XSENDID = 502;
  st.msg.XSENDERALPHA = "Jones";
  EXPECT_EQ(shown(st), (V{1006, 1003, 1002}));

  st = state(false, 5);
  st.msg.XRECEIVEID = 503;
  EXPECT_EQ(shown(st).size(), 6u);

  // A filter value with no messages: an empty view, not the whole file.
  st = state(false, 4);
  st.msg.XSENDID = 999;
  st.msg.XSENDERALPHA = "Nobody";
  BrowseQuery q(s(), st, {});
  EXPECT_TRUE(q.filtered());
  EXPECT_TRUE(q.first(10).empty());
  EXPECT_TRUE(q.last(10).empty());
}

TEST_F(Views, MailViewsAndFilters) {
  mailbox();
  EXPECT_EQ(shown(state(true, 1)), (V{7003, 7002, 7001}));
  EXPECT_EQ(shown(state(true, 2)), (V{7002, 7001, 7003}));  // Budget, Lunch, Re: Lunch
  BrowseState st = state(true, 3);
  st.box.XPAIRID = 602;
  st.box.XPAIRALPHA = "Brown";
  EXPECT_EQ(shown(st), (V{7003, 7001}));
  st = state(true, 4);
  st.box.XSENDID = 601;
  st.box.XSENDERALPHA = "Smith";
  EXPECT_EQ(shown(st), (V{7003, 7002}));
  st = state(true, 5);
  st.box.XRECEIVEID = 601;
  st.box.XRECEIVERALPHA = "Smith";
  EXPECT_EQ(shown(st), (V{7001}));
}

TEST_F(Views, RowsCarryTheirRecordsAndColours) {
  mailbox();
  RowOptions o;
  BrowseQuery q(s(), state(true, 1), o);
  auto rows = q.first(1);
  ASSERT_EQ(rows.size(), 1u);
  const auto& m = std::get<MailRow>(rows[0].row);
  EXPECT_EQ(m.SUBJECT, "Re: Lunch");
  EXPECT_EQ(m.FROMSTRING, "Smith,Jane");
  EXPECT_EQ(m.colour, RowColour::Keep);
  // A status write of the database shows with the next read.
  o.forumCheck = StatusDelete;
  q.setOptions(o);
  EXPECT_EQ(std::get<MailRow>(q.first(2)[1].row).colour, RowColour::Delete);
  EXPECT_EQ(std::get<MailRow>(q.first(1)[0].row).colour, RowColour::Keep);  // the mail's keep shields
}

TEST_F(Views, PagesGoOnFromEitherEndAndFromARow) {
  forum();
  BrowseQuery q(s(), state(false, 6), {});
  auto top = q.first(2);
  EXPECT_EQ(ids(top), (V{1006, 1005}));
  EXPECT_EQ(ids(q.after(top.back().pos, 2)), (V{1004, 1003}));
  auto bottom = q.last(2);
  EXPECT_EQ(ids(bottom), (V{1002, 1001}));
  EXPECT_EQ(ids(q.before(bottom.front().pos, 10)), (V{1006, 1005, 1004, 1003}));
  EXPECT_EQ(ids(q.from(positionOf(false, 1002), 3)), (V{1003, 1002, 1001}));  // filled up from before
}

TEST_F(Views, LocatesByDateAndNumber) {
  forum();
  const int32_t d = qb::text::dayNumber(1998, 6, 1);
  BrowseQuery byDate(s(), state(false, 1), {});
  int64_t at = 0;
  auto rows = byDate.atDate(d + 2, 2, &at);
  EXPECT_EQ(at, positionOf(false, 1003));
  EXPECT_EQ(ids(rows), (V{1003, 1002}));
  // A date older than every message: the last page, nothing located.
  rows = byDate.atDate(d - 100, 2, &at);
  EXPECT_EQ(at, 0);
  EXPECT_EQ(ids(rows), (V{1002, 1001}));

  BrowseQuery byNumber(s(), state(false, 6), {});
  rows = byNumber.atNumber(1004, 3, &at);
  EXPECT_EQ(at, positionOf(false, 1004));
  EXPECT_EQ(ids(rows).front(), 1004u);
  // A number is located only in the number view.
  EXPECT_TRUE(byDate.atNumber(1004, 3, &at).empty());
  EXPECT_EQ(at, 0);
}

TEST_F(Views, NeighbouringThreadsAndPersons) {
  forum();
  BrowseState st = state(false, 2);
  st.msg.XTHREADNUMBER = 2;
  st.msg.XTHREADALPHA = "Dogs";
  BrowseQuery q(s(), st, {});
  EXPECT_FALSE(q.neighbour(1, st));  // "Dogs" is the last thread
  EXPECT_EQ(st.msg.XTHREADNUMBER, 2u);
  ASSERT_TRUE(q.neighbour(-1, st));
  EXPECT_NE(st.msg.XTHREADNUMBER, 2u);  // one of the two threads of cats
  EXPECT_EQ(qb::text::upper1252(st.msg.XTHREADALPHA.str()), "CATS");

  st = state(false, 4);
  st.msg.XSENDID = 502;
  st.msg.XSENDERALPHA = "Jones";
  BrowseQuery bySender(s(), st, {});
  ASSERT_TRUE(bySender.neighbour(1, st));
  EXPECT_EQ(st.msg.XSENDID, 501u);
  EXPECT_EQ(st.msg.XSENDERALPHA.str(), "Smith");
  EXPECT_EQ(shown(st), (V{1005, 1004, 1001}));

  // Without a filter value there is no neighbour.
  BrowseState whole = state(false, 2);
  BrowseQuery all(s(), whole, {});
  EXPECT_FALSE(all.filtered());
  EXPECT_FALSE(all.neighbour(1, whole));
}

TEST_F(Views, FilterFromTheHighlightedRow) {
  forum();
  BrowseState st = state(false, 3);
  ASSERT_TRUE(filterFromPosition(s(), positionOf(false, 1006), st));
  EXPECT_EQ(st.msg.XSECSYSID, 901u);
  st = state(false, 2);
  ASSERT_TRUE(filterFromPosition(s(), positionOf(false, 1005), st));
  EXPECT_EQ(st.msg.XTHREADNUMBER, 2u);
  EXPECT_EQ(shown(st), (V{1003, 1005}));
  // A view without a filter, and a row that is gone, change nothing.
  BrowseState plain = state(false, 1);
  EXPECT_FALSE(filterFromPosition(s(), positionOf(false, 1005), plain));
  EXPECT_FALSE(filterFromPosition(s(), 987654, st));
  EXPECT_EQ(st.msg.XTHREADNUMBER, 2u);
  EXPECT_EQ(positionOf(false, 4242), 0);
}

TEST_F(Views, MailFilterFromTheHighlightedRow) {
  mailbox();
  BrowseState st = state(true, 3);
  ASSERT_TRUE(filterFromPosition(s(), positionOf(true, 7002), st));
  EXPECT_EQ(st.box.XPAIRID, 603u);
  EXPECT_EQ(st.box.XPAIRALPHA.str(), "Green");
  EXPECT_EQ(shown(st), (V{7002}));
}

TEST_F(Views, TheStateIsStoredForTheThreadTree) {
  BrowseState st = state(false, 4);
  st.setCurrent(1003);
  st.setCount(2);
  st.store(s());
  BrowseContext c;
  Context(s(), 3, c);
  EXPECT_EQ(c.XMSGID, 1003u);
  EXPECT_EQ(c.SORTORDER, 4);
  EXPECT_EQ(c.MAXNUMBER, 2u);
  BrowseState m = state(true, 2);
  m.setCurrent(7002);
  m.store(s());
  MailBrowseContext mc;
  MailContext(s(), 3, mc);
  EXPECT_EQ(mc.XMAILID, 7002u);
  Context(s(), 3, c);
  EXPECT_EQ(c.XMSGID, 1003u);  // the message browse's context is its own
}
