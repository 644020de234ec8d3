// Purge and count scenarios on archives stored by the import engine: what
// goes, what stays, and after every run a database whose counts equal a
// recount of its records and that holds no orphan.
#include <gtest/gtest.h>

#include <filesystem>

#include "archive/config.h"
#include "archive/file_table.h"
#include "archive/maildb.h"
#include "archive/postings.h"
#include "index/index_builder.h"
#include "purge_fixture.h"
#include "text/datetime.h"

namespace qb::test {
namespace {

using namespace qb::store;
using maintenance::PurgeMode;
using maintenance::PurgeOptions;
using maintenance::StartResult;

std::string F(const std::string& section, int secNo, int number, int ref, const std::string& subject,
              const std::string& from, const std::string& text, const std::string& date = "20050301") {
  return "F|Pets|" + std::to_string(secNo) + "|" + section + "|" + std::to_string(number) + "|" +
         std::to_string(ref) + "|" + subject + "|" + from + "|" + from + "@x||" + "|" + date + "|" + text;
}

void buildIndex(Session& s) {
  index::IndexBuilder b(s, index::IndexMode::Full);
  ASSERT_TRUE(b.start()) << b.message();
  while (b.step()) {
  }
  ASSERT_FALSE(b.failed()) << b.message();
}

std::set<uint32_t> indexedMessages(Session& s) {
  Postings p;
  EXPECT_EQ(p.open(s), Err::Ok);
  auto v = p.indexedMessages();
  return {v.begin(), v.end()};
}

class PurgeScenario : public PurgeFixture {};

// Threads, messages and sections with delete status in a forum, a kept
// message in a deleted thread, a kept thread in a deleted section, topics
// and the word index.
TEST_F(PurgeScenario, ForumDeletesWhatIsMarkedAndKeepsWhatIsKept) {
  import({F("Cats", 1, 1, 0, "Feeding", "Ann Ash", "feeding one"), F("Cats", 1, 2, 1, "Feeding", "Bob Birch", "feeding two"),
          F("Cats", 1, 3, 1, "Feeding", "Cid Cole", "feeding three"),
          F("Cats", 1, 4, 0, "Sleeping", "Ann Ash", "sleeping one"), F("Cats", 1, 5, 4, "Sleeping", "Dan Dorn", "sleeping two"),
          F("Dogs", 2, 6, 0, "Walks", "Eve Elm", "walks one"), F("Dogs", 2, 7, 6, "Walks", "Eve Elm", "walks two"),
          F("Dogs", 2, 8, 0, "Bones", "Fay Fox", "bones one")});
  ASSERT_NE(use("Pets").ID, 0u);
  buildIndex(s);
  const uint32_t f1 = messageByText("feeding one"), f2 = messageByText("feeding two"),
                 s1 = messageByText("sleeping one"), b1 = messageByText("bones one");
  setThreadStatus(threadBySubject("Feeding"), StatusDelete);
  setMessageStatus(f2, StatusKeep);
  setMessageStatus(messageByText("sleeping two"), StatusDelete);
  setSectionStatus(sectionByName("Dogs"), StatusDelete);
  setThreadStatus(threadBySubject("Bones"), StatusKeep);
  {
    // A topic with a message that goes and one that stays, and a link to a
    // topic that no longer exists.
    OP_CLOSE(s, OpOpen, {FileNo::Codes, FileNo::SIndex});
    auto& c = s.Codes();
    c.clear();
    c.rec.TYPE = 2;
    c.rec.INDEX = "Favourites";
    c.rec.ID = 900;
    ASSERT_EQ(c.add(), Err::Ok);
    auto& si = s.SIndex();
    for (auto [topic, msg] : {std::pair{900u, f1}, {900u, s1}, {901u, b1}}) {
      si.clear();
      si.rec.ID = topic;
      si.rec.MSGNUMBER = msg;
      ASSERT_EQ(si.add(), Err::Ok);
    }
    OP_CLOSE(s, OpClose, {FileNo::Codes, FileNo::SIndex});
  }
  const uint32_t dan = personByLastName("Dorn"), eve = personByLastName("Elm"), cid = personByLastName("Cole");
  ASSERT_NE(dan, 0u);

  auto st = purge();
  EXPECT_FALSE(st.failed) << st.failure;
  EXPECT_TRUE(st.done);
  EXPECT_EQ(st.before, 8u);
  EXPECT_EQ(st.deleted, 5u);
  EXPECT_EQ(st.after, 3u);
  EXPECT_EQ(texts(), (std::set<std::string>{"feeding two", "sleeping one", "bones one"}));
  // The deleted thread keeps its kept message; the deleted section its kept
  // thread; the emptied thread goes.
  auto th = threads();
  EXPECT_EQ(th.size(), 3u);
  EXPECT_EQ(th[threadBySubject("Feeding")], 1u);
  EXPECT_EQ(sections()[sectionByName("Dogs")], 1u);
  // Persons left without messages go.
  auto ps = persons();
  EXPECT_FALSE(ps.count(dan));
  EXPECT_FALSE(ps.count(eve));
  EXPECT_FALSE(ps.count(cid));
  EXPECT_TRUE(ps.count(personByLastName("Ash")));
  EXPECT_EQ(st.topicLinksRemoved, 2u);  // the deleted message's, the missing topic's
  EXPECT_EQ(indexedMessages(s), (std::set<uint32_t>{f2, s1, b1}));
  EXPECT_GT(st.postingsRemoved, 0);
  expectConsistent();

  // A second purge finds nothing to delete and changes nothing.
  auto again = purge();
  EXPECT_EQ(again.deleted, 0u);
  EXPECT_EQ(again.personsRecounted + again.threadsRecounted + again.sectionsRecounted + again.topicsRecounted, 0u);
  EXPECT_EQ(texts().size(), 3u);
  expectConsistent();
}

TEST_F(PurgeScenario, DatabaseMarkedForDeletion) {
  import({F("Cats", 1, 1, 0, "Feeding", "Ann Ash", "feeding one"), F("Dogs", 2, 2, 0, "Walks", "Eve Elm", "walks one"),
          F("Birds", 3, 3, 0, "Songs", "Fay Fox", "songs one")});
  ASSERT_NE(use("Pets").ID, 0u);
  setSectionStatus(sectionByName("Cats"), StatusKeep);
  setSectionStatus(sectionByName("Dogs"), StatusDelete);
  setDatabaseStatus(StatusDelete);
  const std::string dir = s.databaseDir();

  // Interactive: the question, answered Cancel, leaves everything.
  StartResult started;
  auto st = run(PurgeOptions{}, &started);
  EXPECT_EQ(started, StartResult::Refused);
  ASSERT_FALSE(archive.ui.entries.empty());
  EXPECT_EQ(archive.ui.entries.back().title, " Database marked for deletion!");
  EXPECT_EQ(texts().size(), 3u);

  // Unattended: every section without keep status is emptied.
  s.DoTask = 2;
  st = run(PurgeOptions{}, &started);
  s.DoTask = 0;
  EXPECT_EQ(started, StartResult::Started);
  EXPECT_EQ(texts(), (std::set<std::string>{"feeding one"}));
  EXPECT_EQ(sections().size(), 1u);
  expectConsistent();

  // Interactive, answered OK: the database and its directory go.
  archive.ui.answers = {Button::Ok};
  const uint32_t id = s.ForumNumber;
  st = run(PurgeOptions{}, &started);
  EXPECT_EQ(started, StartResult::DatabaseRemoved);
  EXPECT_FALSE(std::filesystem::exists(dir));
  OP_CLOSE(s, OpOpen, {FileNo::Forums});
  s.Forums().clear();
  s.Forums().rec.ID = id;
  EXPECT_NE(s.Forums().get(Forums::ForumKey), Err::Ok);
  OP_CLOSE(s, OpClose, {FileNo::Forums});
}

TEST_F(PurgeScenario, AgeRuleTakesThreadsWhoseLastMessageIsOldEnough) {
  import({F("Cats", 1, 1, 0, "Old", "Ann Ash", "old one", daysAgo(30)),
          F("Cats", 1, 2, 1, "Old", "Bob Birch", "old two", daysAgo(15)),
          F("Cats", 1, 3, 0, "Recent", "Ann Ash", "recent one", daysAgo(30)),
          F("Cats", 1, 4, 3, "Recent", "Bob Birch", "recent two", daysAgo(13)),
          F("Cats", 1, 5, 0, "Kept", "Ann Ash", "kept one", daysAgo(40))});
  ASSERT_NE(use("Pets").ID, 0u);
  setThreadStatus(threadBySubject("Kept"), StatusKeep);
  int32_t on = 1;
  ASSERT_TRUE(Konfig(s, KonfigAction::SetDisplay, SetShowCompletion, on));
  auto st = purge(2);
  EXPECT_EQ(st.agedThreads, 1u);
  // The setting asks for the time of completion.
  ASSERT_FALSE(archive.ui.entries.empty());
  EXPECT_EQ(archive.ui.entries.back().title, " Obsolete Message Purging ");
  EXPECT_EQ(archive.ui.entries.back().text.rfind("The time for completion was: ", 0), 0u);
  EXPECT_EQ(texts(), (std::set<std::string>{"recent one", "recent two", "kept one"}));
  EXPECT_EQ(threads().size(), 2u);
  expectConsistent();
}

TEST_F(PurgeScenario, NewsgroupReceiversRepairedOnceAndCountsSettle) {
  import({"N|alt.pets|<1@x>||Hi|Ann Ash|ann@x|20010102|101500|first",
          "N|alt.pets|<2@x>|<1@x>|Re: Hi|Bob Birch|bob@x|20010102|111500|second",
          "N|alt.pets|<3@x>|<2@x>|Re: Hi|Ann Ash|ann@x|20010102|121500|third",
          "N|alt.pets|<4@x>||Lonely|Cid Cole|cid@x|20010103|101500|fourth"});
  ASSERT_NE(use("alt.pets").ID, 0u);
  const uint32_t third = messageByText("third"), ann = personByLastName("Ash"), bob = personByLastName("Birch");
  // The reply's receiver is wrong: the sender of the message it replies to
  // (Bob) is the right one.
  OP_CLOSE(s, OpOpen, {FileNo::MsgNmbr});
  auto& m = s.MsgNmbr();
  m.clear();
  m.rec.MSGNUMBER = third;
  ASSERT_EQ(m.get(MsgNmbr::IdKey), Err::Ok);
  m.rec.TOID = ann;
  m.rec.TOALPHA = "Ash";
  ASSERT_EQ(m.put(), Err::Ok);
  OP_CLOSE(s, OpClose, {FileNo::MsgNmbr});
  // A thread whose one message is deleted disappears in the count.
  setMessageStatus(messageByText("fourth"), StatusDelete);

  auto st = count();
  EXPECT_TRUE(st.done);
  EXPECT_EQ(st.receiversRepaired, 1u);
  EXPECT_EQ(st.deleted, 0u);  // counting deletes no message
  OP_CLOSE(s, OpOpen, {FileNo::MsgNmbr});
  m.clear();
  m.rec.MSGNUMBER = third;
  ASSERT_EQ(m.get(MsgNmbr::IdKey), Err::Ok);
  EXPECT_EQ(m.rec.TOID, bob);
  OP_CLOSE(s, OpClose, {FileNo::MsgNmbr});
  expectConsistent();

  auto again = count();
  EXPECT_EQ(again.receiversRepaired + again.personsRecounted + again.threadsRecounted + again.sectionsRecounted +
                again.personsDeleted + again.threadsDeleted + again.sectionsDeleted,
            0u);

  // The purge then takes the marked message, its thread and its sender.
  const uint32_t cid = personByLastName("Cole");
  auto p = purge();
  EXPECT_EQ(p.deleted, 1u);
  EXPECT_FALSE(persons().count(cid));
  EXPECT_EQ(threads().size(), 1u);
  expectConsistent();
}

class MailScenario : public PurgeFixture {
 protected:
  void SetUp() override {
    MailDatabaseFields fields{"Jane Doe", "jane@home.org", {}};
    ASSERT_NE(createMailDatabase(s, fields), 0u);
    ASSERT_NE(use("Jane Doe").ID, 0u);
  }
  static std::string M(int dir, const std::string& subject, const std::string& who, const std::string& addr,
                       const std::string& time, const std::string& text, const std::string& cc = "") {
    std::string from = dir == 1 ? who + "|" + addr : "Jane Doe|jane@home.org";
    std::string to = dir == 1 ? "Jane Doe|jane@home.org" : who + "|" + addr;
    return "M|Jane Doe|" + std::to_string(dir) + "|" + subject + "|" + from + "|" + to + "|20020304|" + time + "|" +
           text + "|" + cc;
  }
};

TEST_F(MailScenario, PartnerWithDeleteStatusGoesUnlessAMailIsKept) {
  import({M(1, "One", "Bob Ray", "bob@x.org", "100000", "bob one", "Carl Sun,carl@y.org"),
          M(1, "Two", "Bob Ray", "bob@x.org", "110000", "bob two"),
          M(2, "Three", "Bob Ray", "bob@x.org", "120000", "bob three"),
          M(1, "Four", "Dora Day", "dora@x.org", "130000", "dora one", "Carl Sun,carl@y.org"),
          M(1, "Five", "Eli Eng", "eli@x.org", "140000", "eli one")});
  ASSERT_NE(use("Jane Doe").ID, 0u);
  const uint32_t bob = personByLastName("Ray"), dora = personByLastName("Day");
  setPersonStatus(bob, StatusDelete);
  setMessageStatus(messageByText("bob two"), StatusKeep);
  setPersonStatus(dora, StatusDelete);
  setMessageStatus(messageByText("eli one"), StatusDelete);
  auto st = purge();
  EXPECT_FALSE(st.failed) << st.failure;
  EXPECT_EQ(texts(), (std::set<std::string>{"bob two"}));
  auto ps = persons();
  EXPECT_TRUE(ps.count(bob));  // saved by its kept mail
  EXPECT_FALSE(ps.count(dora));
  EXPECT_FALSE(ps.count(personByLastName("Eng")));
  EXPECT_TRUE(ps.count(s.PersonID));  // the owner stays
  EXPECT_EQ(st.copiesRemoved, 2u);
  expectConsistent();
}

TEST_F(MailScenario, DuplicatesByMinuteSubjectPartnersAndText) {
  const std::string base = "Dear Jane, the quarterly report is attached. Regards";
  std::vector<std::string> lines;
  for (int i = 0; i < 14; ++i)
    lines.push_back(M(1, "Report " + std::to_string(i), "Bob Ray", "bob@x.org",
                      std::to_string(100000 + i * 100), "text " + std::to_string(i)));
  import(lines);
  ASSERT_NE(use("Jane Doe").ID, 0u);
  auto id = [&](int i) { return messageByText("text " + std::to_string(i)); };
  auto t = [](int h, int m, int sec) { return text::timeValue(h, m, sec); };
  std::vector<uint32_t> ids;
  for (int i = 0; i < 14; ++i) ids.push_back(id(i));
  // A: three copies in one minute, subjects in other letter case.
  setMail(ids[0], t(10, 15, 7), base, "Report");
  setMail(ids[1], t(10, 15, 42), base, "REPORT");
  setMail(ids[2], t(10, 15, 30), base, "report");
  // B: texts differing in their first 30 characters.
  setMail(ids[3], t(11, 0, 0), "Alpha " + base, "Budget");
  setMail(ids[4], t(11, 0, 0), "Omega " + base, "Budget");
  // C: a signature of 19 characters more is a copy, D: of 20 is not.
  setMail(ids[5], t(12, 0, 0), base, "Sig");
  setMail(ids[6], t(12, 0, 0), base + std::string(19, '-'), "Sig");
  setMail(ids[7], t(13, 0, 0), base, "Sig20");
  setMail(ids[8], t(13, 0, 0), base + std::string(20, '-'), "Sig20");
  // E: the copy with keep status keeps it.
  setMail(ids[9], t(14, 0, 0), base, "Keep");
  setMail(ids[10], t(14, 0, 0), base, "Keep");
  setMessageStatus(ids[9], StatusKeep);
  // F: 10:15:58 and 10:16:01 lie in different minutes.
  setMail(ids[11], t(10, 15, 58), base, "Minute");
  setMail(ids[12], t(10, 16, 1), base, "Minute");
  // The dry run names what the real run marks.
  OP_CLOSE(s, OpOpen, {FileNo::Mail, FileNo::MsgText});
  auto scan = maintenance::findMailDuplicates(s);
  OP_CLOSE(s, OpClose, {FileNo::Mail, FileNo::MsgText});
  auto predicted = scan.toMark();
  std::set<uint32_t> predictedSet(predicted.begin(), predicted.end());
  // Of A the highest identifier survives (the import numbered them in
  // order); of C the later, longer text survives.
  ASSERT_TRUE(ids[0] < ids[1] && ids[1] < ids[2] && ids[5] < ids[6]);
  EXPECT_EQ(predictedSet, (std::set<uint32_t>{ids[0], ids[1], ids[5]}));
  EXPECT_EQ(scan.groups.size(), 3u);  // A, C, E (E's copy is kept)

  PurgeOptions o;
  o.duplicatesOnly = true;
  o.sliceSize = 2;
  auto st = run(o);
  EXPECT_EQ(st.duplicatesMarked, predicted.size());
  std::set<uint32_t> marked;
  for (auto [mid, status] : messages())
    if (status == StatusDelete) marked.insert(mid);
  EXPECT_EQ(marked, predictedSet);
  // Times now start their minute; the purge deletes the copies.
  EXPECT_EQ(messages().size(), 14u);
  auto p = purge();
  EXPECT_EQ(p.deleted, predicted.size());
  EXPECT_EQ(p.duplicatesMarked, 0u);
  expectConsistent();
}

}  // namespace
}  // namespace qb::test
