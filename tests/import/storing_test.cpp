// Message storing through whole runs: threads, replies, newsgroup numbers,
// mail duplicates and times.
#include "import/dup_string.h"
#include "run_fixture.h"
#include "text/datetime.h"
#include "archive/maildb.h"

namespace qb::test {
namespace {

std::string forumLine(int number, int ref, const std::string& subject, const std::string& section = "General",
                      const std::string& text = "Text") {
  return "F|Writers|1|" + section + "|" + std::to_string(number) + "|" + std::to_string(ref) + "|" + subject +
         "|John Smith|12345,678|All||19960315|" + text;
}

TEST_F(RunFixture, ReplyToItselfIsStoredWithoutReference) {
  run(request({script("a.scr", {forumLine(5, 5, "Self")})}));
  Db db(s, forum("Writers"));
  auto h = db.headers();
  ASSERT_EQ(h.size(), 1u);
  EXPECT_EQ(h[0].REFNUMBER, 0u);
}

TEST_F(RunFixture, ThreadsBySubjectSectionAndReply) {
  std::string longSubject(130, 'x');
  longSubject.replace(0, 12, "Long subject");
  run(request({script("a.scr", {
                                   forumLine(1, 0, "Weather"),
                                   forumLine(2, 0, "Weather"),           // same subject, same section: joins
                                   forumLine(3, 0, "Weather", "Other"),  // other section: a thread of its own
                                   forumLine(4, 0, "Weatherman"),        // same first 10 characters
                                   forumLine(5, 0, "WEATHER"),           // another letter case
                                   forumLine(6, 0, "WEATHER"),
                                   forumLine(7, 1, "Something else"),    // a reply joins its parent's thread
                                   forumLine(8, 99, "Orphan reply"),     // parent not in the archive
                                   forumLine(9, 0, longSubject),
                               })}));
  Db db(s, forum("Writers"));
  std::map<uint32_t, uint32_t> threadOf;
  for (auto& m : db.headers()) threadOf[m.MSGNUMBER] = m.THREADNUMBER;
  EXPECT_EQ(threadOf[1], threadOf[2]);
  EXPECT_NE(threadOf[1], threadOf[3]);
  EXPECT_NE(threadOf[1], threadOf[4]);
  EXPECT_NE(threadOf[1], threadOf[5]);
  EXPECT_EQ(threadOf[5], threadOf[6]);
  EXPECT_EQ(threadOf[7], threadOf[1]);
  auto threads = db.threads();
  EXPECT_EQ(threads.size(), 6u);
  for (auto& t : threads) {
    if (t.THREADNUMBER == threadOf[1]) { EXPECT_EQ(t.MSGCOUNT, 3u); }
    if (t.THREADNUMBER == threadOf[4]) { EXPECT_EQ(t.ALPHA.str(), "Weatherman"); }
    if (t.THREADNUMBER == threadOf[9]) {
      EXPECT_EQ(t.heading(), longSubject.substr(0, 100));
      EXPECT_EQ(t.ALPHA.str(), "Long subje");
    }
  }
  for (auto& m : db.headers()) {
    if (m.MSGNUMBER == 9) { EXPECT_EQ(m.THREADALPHA.str(), "Long subje"); }
    if (m.MSGNUMBER == 8) { EXPECT_EQ(m.REFNUMBER, 99u); }
  }
  // A parent that arrives later stays in its own thread.
  run(request({script("b.scr", {forumLine(99, 0, "Parent")})}));
  Db again(s, forum("Writers"));
  uint32_t t99 = 0, t8 = 0;
  for (auto& m : again.headers()) {
    if (m.MSGNUMBER == 99) t99 = m.THREADNUMBER;
    if (m.MSGNUMBER == 8) t8 = m.THREADNUMBER;
  }
  EXPECT_NE(t99, t8);
}

TEST_F(RunFixture, EncodedWordsInNamesAndSubjectsAreDecoded) {
  run(request({script("a.scr", {"F|Writers|1|General|1|0|=?ISO-8859-1?Q?Gr=FC=DFe?=|=?ISO-8859-1?Q?J=F6rg?= "
                                "Meier|12345,678|All||19960315|T"})}));
  Db db(s, forum("Writers"));
  auto th = db.threads();
  ASSERT_EQ(th.size(), 1u);
  EXPECT_EQ(th[0].heading(), "Grüße");
  bool found = false;
  for (auto& p : db.persons()) found = found || p.FIRSTNAME.str() == "Jörg";
  EXPECT_TRUE(found);
}

TEST_F(RunFixture, NewsgroupReplyReservesTheNumberOfItsUnknownParent) {
  run(request({script("r.scr", {"N|alt.test|<reply@x>|<parent@x>|Re: Q|Bob Ray|bob@x|20010102|101500|answer"})}));
  store::Forums f = forum("alt.test");
  uint32_t reserved = 0;
  {
    Db db(s, f);
    auto h = db.headers();
    ASSERT_EQ(h.size(), 1u);
    reserved = h[0].REFNUMBER;
    EXPECT_NE(reserved, 0u);
    EXPECT_EQ(db.ids().size(), 2u);
  }
  // The parent comes in a later run: it takes the reserved number.
  run(request({script("p.scr", {"N|alt.test|<parent@x>||Q|Ann Lee|ann@x|20010101|090000|question"})}));
  Db db(s, forum("alt.test"));
  bool parentThere = false;
  for (auto& m : db.headers())
    if (m.MSGNUMBER == reserved) parentThere = true;
  EXPECT_TRUE(parentThere);
  EXPECT_EQ(db.text(reserved), "question");
  EXPECT_EQ(db.ids().size(), 2u);
  // Importing the parent again stores nothing.
  auto st = run(request({inDir + "/p.scr"}));
  EXPECT_EQ(st.duplicates, 1u);
}

TEST_F(RunFixture, NewsgroupReplyToKnownMessageJoinsItsThreadAndAddressesItsAuthor) {
  run(request({script("n.scr", {"N|alt.test|<parent@x>||Question|Ann Lee|ann@x|20010101|090000|q",
                                "N|alt.test|<reply@x>|<parent@x>|Different subject|Bob Ray|bob@x|20010102|101500|a"})}));
  Db db(s, forum("alt.test"));
  auto h = db.headers();
  ASSERT_EQ(h.size(), 2u);
  const store::MsgNmbr& parent = h[0].REFNUMBER == 0 ? h[0] : h[1];
  const store::MsgNmbr& reply = h[0].REFNUMBER == 0 ? h[1] : h[0];
  EXPECT_EQ(reply.REFNUMBER, parent.MSGNUMBER);
  EXPECT_EQ(reply.THREADNUMBER, parent.THREADNUMBER);
  EXPECT_EQ(reply.TOID, parent.FROMID);
  EXPECT_EQ(reply.TOALPHA.str(), "Lee");
}

class MailStoring : public RunFixture {
 protected:
  MailStoring() {
    store::MailDatabaseFields fields{"Jane Doe", "jane@home.org", {}};
    EXPECT_NE(store::createMailDatabase(s, fields), 0u);
  }
  std::string mail(const std::string& subject, const std::string& time, const std::string& text) {
    return "M|Jane Doe|1|" + subject + "|Bob Ray|bob@x.org|Jane Doe|jane@home.org|20020304|" + time + "|" + text + "|";
  }
};

TEST_F(MailStoring, TimeIsCutToTheMinute) {
  run(request({script("m.scr", {mail("Hello", "101542", "Hi")})}));
  Db db(s, forum("Jane Doe"));
  auto m = db.mails();
  ASSERT_EQ(m.size(), 1u);
  EXPECT_EQ(m[0].TIME, text::timeValue(10, 15));
  EXPECT_EQ(text::formatTime(m[0].TIME), "10:15");
  EXPECT_EQ(import::cutToMinute(text::timeValue(10, 15, 42)), text::timeValue(10, 15));
  EXPECT_EQ(import::cutToMinute(0), 0);
}

TEST_F(MailStoring, DuplicateMailIsNotStoredTwice) {
  std::string body(100, 'b');
  auto first = run(request({script("m.scr", {mail("Hello", "101500", body)})}));
  EXPECT_EQ(first.imported, 1u);
  // Same minute, subject in another case, text longer by 19 characters: a duplicate.
  auto again = run(request({script("m2.scr", {mail("HELLO", "101559", body + std::string(19, 'x'))})}));
  EXPECT_EQ(again.imported, 0u);
  EXPECT_EQ(again.duplicates, 1u);
  // Longer by 20 characters: another mail.
  auto other = run(request({script("m3.scr", {mail("Hello", "101500", body + std::string(20, 'x'))})}));
  EXPECT_EQ(other.imported, 1u);
  Db db(s, forum("Jane Doe"));
  auto mails = db.mails();
  ASSERT_EQ(mails.size(), 2u);
  EXPECT_EQ(forum("Jane Doe").MSGCOUNT, 2u);
  // Mode 2 compares two stored texts.
  EXPECT_EQ(import::DupString(s, 2, mails[0].MAILID, mails[0].MAILID), 1);
  EXPECT_EQ(import::DupString(s, 2, mails[0].MAILID, mails[1].MAILID), 0);
  EXPECT_EQ(import::DupString(s, 2, mails[0].MAILID, 12345), 0);  // no such text
}

}  // namespace
}  // namespace qb::test
