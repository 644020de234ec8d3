// The header block of a message or mail, the place of a row in its view,
// locating a mail by subject, and taking a filter away.

#include "browse/browse_fixture.h"

#include "archive/browse/browse_header.h"
#include "archive/browse/browse_lookup.h"

using namespace qb::store;

namespace qb::test {
namespace {

using Headers = BrowseFixture;

TEST_F(Headers, AForumMessageNamesItsPeopleForumSectionAndTheMessageItAnswers) {
  forum();
  const MessageHeader h = messageHeader(s(), false, 1004);
  ASSERT_TRUE(h.found);
  EXPECT_EQ(h.from.name, "Jane Smith");
  EXPECT_EQ(h.from.address, "jane@example.org");
  EXPECT_EQ(h.to.name, "");  // a person without a name: the address only
  EXPECT_EQ(h.to.address, "all@example.org");
  EXPECT_EQ(h.forum, "Pets");
  EXPECT_EQ(h.section, "03 Animals");
  EXPECT_EQ(h.subject, "Cats");
  EXPECT_EQ(h.number, 1004u);
  EXPECT_EQ(h.replyTo, 1002u);
  EXPECT_EQ(h.date, text::dayNumber(1998, 6, 4));
  EXPECT_EQ(messageHeader(s(), false, 1001).replyTo, 0u);
  EXPECT_FALSE(messageHeader(s(), false, 4242).found);
}

TEST_F(Headers, AMailHasItsTimeAndFurtherRecipients) {
  mailbox();
  {
    DatabaseBuilder db(a);
    db.copy(7002, "Ann Green", "ann@example.org");
    db.copy(7002, "Boss", "boss@example.org");
  }
  const MessageHeader h = messageHeader(s(), true, 7002);
  ASSERT_TRUE(h.found);
  EXPECT_EQ(h.from.name, "Jane Smith");
  EXPECT_EQ(h.to.name, "Ann Green");
  EXPECT_EQ(h.time, text::timeValue(10, 0));
  EXPECT_EQ(h.subject, "Budget");
  ASSERT_EQ(h.cc.size(), 2u);
  EXPECT_EQ(h.cc[1].name, "Boss");
  EXPECT_EQ(h.cc[1].address, "boss@example.org");
  EXPECT_TRUE(messageHeader(s(), true, 7001).cc.empty());  // another mail's copies are not its own
}

TEST_F(Headers, RowNumbersCountWithinTheViewAndItsFilter) {
  forum();
  BrowseState st = state(false, 6);  // by number, highest first
  {
    BrowseQuery q(s(), st, {});
    EXPECT_EQ(q.rowNumber(positionOf(false, 1006)), 1);
    EXPECT_EQ(q.rowNumber(positionOf(false, 1001)), 6);
  }
  st = state(false, 4);  // by sender
  ASSERT_TRUE(filterFromPosition(s(), positionOf(false, 1002), st));  // Jones: 1002, 1003, 1006
  BrowseQuery q(s(), st, {});
  const auto rows = ids(q.first(10));
  ASSERT_EQ(rows.size(), 3u);
  for (std::size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(q.rowNumber(positionOf(false, rows[i])), int64_t(i + 1));
  EXPECT_EQ(q.rowNumber(0), 0);
}

TEST_F(Headers, AMailIsFoundByTheBeginningOfItsSubject) {
  mailbox();
  BrowseQuery q(s(), state(true, 2), {});
  int64_t at = 0;
  auto rows = q.atSubject("lun", 10, &at);  // in any letter case
  ASSERT_NE(at, 0);
  EXPECT_EQ(at, positionOf(true, 7001));
  BrowseQuery dates(s(), state(true, 1), {});
  EXPECT_TRUE(dates.atSubject("Lunch", 10, &at).empty());  // only the subject view
  EXPECT_EQ(at, 0);
}

TEST_F(Headers, AFilterIsTakenAwayAndItsPickListStartsAtItself) {
  forum();
  BrowseState st = state(false, 4);
  ASSERT_TRUE(filterFromPosition(s(), positionOf(false, 1001), st));
  EXPECT_EQ(filterValue(st), 501u);
  EXPECT_EQ(filterPickText(s(), st), "Smith");
  const auto picks = pickList(s(), st.filter(), filterPickText(s(), st));
  ASSERT_FALSE(picks.empty());
  EXPECT_EQ(picks.front().id, 501u);
  clearFilter(st);
  EXPECT_FALSE(st.filterSet());
  EXPECT_EQ(filterValue(st), 0u);
  EXPECT_EQ(shown(st).size(), 6u);
  EXPECT_EQ(headerCount(s(), false), 6u);
}

}  // namespace
}  // namespace qb::test
