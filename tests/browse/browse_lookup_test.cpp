// What the browse windows show beside the rows: view counts, filter names,
// pick lists and the filter chosen from them, message text pages, the
// thread tree of a message, the files the windows hold open, and the list
// of mail databases.

#include "archive/browse/browse_databases.h"
#include "archive/browse/browse_lookup.h"
#include "archive/browse/browse_status.h"
#include "archive/browse/browse_thread.h"
#include "archive/maildb.h"
#include "browse/browse_fixture.h"

using namespace qb::store;
using qb::test::V;

namespace {

struct Lookups : qb::test::BrowseFixture {};

std::vector<uint32_t> pickIds(const std::vector<PickEntry>& list) {
  std::vector<uint32_t> out;
  for (auto& e : list) out.push_back(e.id);
  return out;
}

}  // namespace

TEST_F(Lookups, CountsComeFromTheFilterRecords) {
  forum();
  EXPECT_EQ(viewCount(s(), state(false, 1)), 6u);
  BrowseState st = state(false, 2);
  EXPECT_EQ(viewCount(s(), st), 6u);  // no filter value yet: the whole file
  st.msg.XTHREADNUMBER = 1;
  EXPECT_EQ(viewCount(s(), st), 3u);  // THR:MSGCOUNT
  st = state(false, 4);
  st.msg.XSENDID = 502;
  EXPECT_EQ(viewCount(s(), st), 3u);  // PER:FROMCOUNT
  st = state(false, 5);
  st.msg.XRECEIVEID = 503;
  EXPECT_EQ(viewCount(s(), st), 6u);  // PER:TOCOUNT
  st.msg.XRECEIVEID = 4242;
  EXPECT_EQ(viewCount(s(), st), 0u);  // a person that is gone
}

TEST_F(Lookups, MailCountsAddBothDirectionsForAPartner) {
  mailbox();
  EXPECT_EQ(viewCount(s(), state(true, 2)), 3u);
  BrowseState st = state(true, 3);
  st.box.XPAIRID = 602;
  EXPECT_EQ(viewCount(s(), st), 2u);  // FROMCOUNT + TOCOUNT
  st = state(true, 4);
  st.box.XSENDID = 601;
  EXPECT_EQ(viewCount(s(), st), 2u);
}

TEST_F(Lookups, FilterNames) {
  forum();
  BrowseState st = state(false, 2);
  EXPECT_EQ(filterName(s(), st, 1), "");
  st.msg.XTHREADNUMBER = 2;
  EXPECT_EQ(filterName(s(), st, 1), "Dogs");
  st = state(false, 3);
  st.msg.XSECSYSID = 901;
  EXPECT_EQ(filterName(s(), st, 1), "Birds");
  st = state(false, 4);
  st.msg.XSENDID = 501;
  EXPECT_EQ(filterName(s(), st, 1), "Smith,Jane");
  EXPECT_EQ(filterName(s(), st, 2), "Smith,Jane <jane@example.org>");
  st = state(false, 5);
  st.msg.XRECEIVEID = 503;
  EXPECT_EQ(filterName(s(), st, 1), "<all@example.org>");
  st.msg.XRECEIVEID = 4242;
  EXPECT_EQ(filterName(s(), st, 1), "");
  EXPECT_EQ(filterName(s(), state(false, 1), 1), "");
}

TEST_F(Lookups, MailPartnerNameShowsTheAlphaKeyAndThePerson) {
  mailbox();
  BrowseState st = state(true, 3);
  st.box.XPAIRID = 602;
  st.box.XPAIRALPHA = "Brown";
  EXPECT_EQ(filterName(s(), st, 1), "Brown - Brown,Bob");
}

TEST_F(Lookups, PickListsStartAtTheTypedText) {
  forum();
  // Threads by subject without regard to case: both threads of cats, then dogs.
  auto threads = pickList(s(), BrowseFilter::Thread, "");
  ASSERT_EQ(threads.size(), 3u);
  EXPECT_EQ(threads.back().id, 2u);
  EXPECT_EQ(threads.back().text, "Dogs");
  EXPECT_EQ(pickIds(pickList(s(), BrowseFilter::Thread, "d")), (V{2}));
  EXPECT_EQ(pickIds(pickList(s(), BrowseFilter::Section, "B")), (V{901}));
  EXPECT_EQ(pickList(s(), BrowseFilter::Section, "").front().text, "Animals");
  auto persons = pickList(s(), BrowseFilter::Sender, "Jo");
  ASSERT_EQ(persons.size(), 2u);
  EXPECT_EQ(persons[0].id, 502u);
  EXPECT_EQ(persons[0].text, "Jones,Tom <tom@example.org>");
  EXPECT_EQ(pickList(s(), BrowseFilter::Receiver, "", 1).size(), 1u);  // at most `max`
  EXPECT_TRUE(pickList(s(), BrowseFilter::Thread, "zz").empty());
  EXPECT_TRUE(pickList(s(), BrowseFilter::None, "").empty());
}

TEST_F(Lookups, APickBecomesTheFilter) {
  forum();
  BrowseState st = state(false, 2);
  ASSERT_TRUE(pickFilter(s(), 2, st));
  EXPECT_EQ(st.msg.XTHREADNUMBER, 2u);
  EXPECT_EQ(shown(st), (V{1003, 1005}));
  EXPECT_FALSE(pickFilter(s(), 4242, st));  // a thread that is gone
  EXPECT_EQ(st.msg.XTHREADNUMBER, 2u);
  st = state(false, 4);
  ASSERT_TRUE(pickFilter(s(), 501, st));
  EXPECT_EQ(st.msg.XSENDERALPHA.str(), "Smith");
  EXPECT_EQ(shown(st), (V{1005, 1004, 1001}));
  BrowseState plain = state(false, 1);
  EXPECT_FALSE(pickFilter(s(), 501, plain));
}

TEST_F(Lookups, MailPickSetsTheFilterOfTheView) {
  mailbox();
  BrowseState st = state(true, 5);
  ASSERT_TRUE(pickFilter(s(), 603, st));
  EXPECT_EQ(st.box.XRECEIVEID, 603u);
  EXPECT_EQ(st.box.XPAIRID, 0u);
  EXPECT_EQ(shown(st), (V{7002}));
}

TEST_F(Lookups, MessagePagesAndMissingText) {
  mailbox();
  const std::string subject = "Re: Lunch";
  auto pages = messagePages(s(), 7003, &subject);
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(pages[0], "Subject: Re: Lunch\r\n\r\nYes.");
  pages = messagePages(s(), 4242, nullptr);
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(pages[0], "");
}

TEST_F(Lookups, ThreadNodesOfAMessage) {
  forum();
  openBrowseFiles(s(), BrowseFiles::ThreadTree);
  EXPECT_EQ(threadOfMessage(s(), 1004), 1u);
  EXPECT_EQ(threadOfMessage(s(), 4242), 0u);
  EXPECT_EQ(threadOfMessage(s(), 0), 0u);
  auto lines = threadTreeLines(s(), 1, 2, 10);
  ASSERT_EQ(lines.size(), 4u);  // the blank first line and the thread's three messages
  EXPECT_EQ(lines[1].MSGNMBR, 1001u);
  EXPECT_EQ(lines[1].DISPLAY, "Jane Smith 1001");
  EXPECT_EQ(lines[2].MSGNMBR, 1002u);
  EXPECT_EQ(lines[2].LEVEL, 1);
  EXPECT_EQ(lines[3].MSGNMBR, 1004u);
  EXPECT_EQ(lines[3].LEVEL, 2);
  // The other thread whose alpha differs only in case stays out.
  lines = threadTreeLines(s(), 3, 1, 10);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1].MSGNMBR, 1006u);
  EXPECT_TRUE(threadTreeLines(s(), 0, 1, 10).empty());
  closeBrowseFiles(s(), BrowseFiles::ThreadTree);
}

TEST_F(Lookups, AMissingThreadRecordShowsItsMessagesUnderAnEmptyAlpha) {
  a.addDatabase(KindForum, "Loose");
  {
    qb::test::DatabaseBuilder db(a);
    db.person(501, "Smith", "Jane", "jane@example.org");
    // No thread record 7: the messages carry an empty alpha key.
    db.message(11, 900, 7, 0, 501, 501, 70000);
    db.message(12, 900, 7, 11, 501, 501, 70001);
  }
  openBrowseFiles(s(), BrowseFiles::ThreadTree);
  auto lines = threadTreeLines(s(), 7, 1, 10);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[2].MSGNMBR, 12u);
  EXPECT_EQ(lines[2].LEVEL, 1);
  closeBrowseFiles(s(), BrowseFiles::ThreadTree);
}

TEST_F(Lookups, BrowseFilesAreCountedAndTheStatusIsReadAsStored) {
  forum();
  openBrowseFiles(s(), BrowseFiles::ThreadTree);  // shares MsgNmbr, Threads, Person
  closeBrowseFiles(s(), BrowseFiles::ThreadTree);
  EXPECT_EQ(shown(state(false, 1)).size(), 6u);  // still open for the browse
  ASSERT_TRUE(setStatus(s(), StatusTarget::Database, s().ForumNumber, StatusKeep));
  s().ForumCheck = StatusNormal;  // as if another copy of the program wrote it
  EXPECT_EQ(refreshDatabaseStatus(s()), StatusKeep);
  EXPECT_EQ(s().ForumCheck, StatusKeep);
  closeArchiveFiles(s());
  forumOpen = false;
  EXPECT_EQ(s().openCount(3), 0);
  EXPECT_EQ(s().openCount(7), 0);
}

TEST_F(Lookups, MailDatabaseRowsHoldTheFieldsTheUserEdits) {
  MailDatabaseFields f{"Ann Green", "ann@example.org", {"ann@work.example", "a.green@example.net"}};
  ASSERT_NE(createMailDatabase(s(), f), 0u);
  ASSERT_NE(createMailDatabase(s(), {"Bob Brown", "bob@example.org", {}}), 0u);
  auto rows = mailDatabaseRows(s());
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].fields.name, "Ann Green");
  EXPECT_EQ(rows[0].fields.address, "ann@example.org");
  EXPECT_EQ(rows[0].fields.alternatives, f.alternatives);
  EXPECT_TRUE(rows[1].fields.alternatives.empty());
  EXPECT_NE(rows[0].ID, rows[1].ID);
}
