// Status changes of messages, threads, sections, persons and databases on
// archives built by the import engine.
#include "maintenance/message_status.h"

#include <gtest/gtest.h>

#include "merge_fixture.h"
#include "support/cli_run.h"

namespace qb::test {
namespace {

using maintenance::StatusChange;
using maintenance::StatusOrder;
using maintenance::StatusScope;

class StatusTest : public MergeFixture {
 protected:
  StatusTest() {
    import({"F|Pets|1|Cats|1|0|Cats|Al One|a@q.org|All|all@q.org|20000101|1",
            "F|Pets|1|Cats|2|1|Re: Cats|Bo Two|b@q.org|Al One|a@q.org|20000102|2",
            "F|Pets|1|Cats|3|0|Kittens|Bo Two|b@q.org|All|all@q.org|20000103|3",
            "F|Pets|2|Dogs|4|0|Dogs|Cy Three|c@q.org|All|all@q.org|20000104|4",
            "F|Pets|2|Dogs|5|4|Re: Dogs|Al One|a@q.org|Cy Three|c@q.org|20000105|5"});
    pets = snapshot("Pets");
  }

  // Runs a change to its end with a slice of one message per step.
  bool change(StatusOrder order, uint32_t* recoded = nullptr, std::string* error = nullptr) {
    StatusChange c(s, pets.db.ID, order);
    c.setSliceSize(1);
    int steps = 0;
    while (c.step()) EXPECT_LT(++steps, 1000);
    if (recoded) *recoded = c.recoded();
    if (error) *error = c.error();
    return !c.failed();
  }

  uint32_t threadOf(uint32_t message) {
    for (auto& m : pets.messages)
      if (m.MSGNUMBER == message) return m.THREADNUMBER;
    return 0;
  }
  std::map<uint32_t, uint8_t> messageStatus() {
    std::map<uint32_t, uint8_t> out;
    for (auto& m : snapshot("Pets").messages) out[m.MSGNUMBER] = m.DUMMY;
    return out;
  }

  Snapshot pets;
};

TEST_F(StatusTest, MessageAndMarksWithoutMessages) {
  ASSERT_TRUE(change({StatusScope::Message, 2, 1}));
  auto st = messageStatus();
  EXPECT_EQ(st[2], 1);
  EXPECT_EQ(st[1], 0);

  // A thread, a section or a person marked: only its own status byte.
  const uint32_t thread = threadOf(1);
  ASSERT_TRUE(change({StatusScope::Thread, thread, 2}));
  uint32_t section = 0;
  for (auto& m : pets.messages)
    if (m.MSGNUMBER == 4) section = m.SECSYSID;
  ASSERT_TRUE(change({StatusScope::Section, section, 1}));
  const uint32_t bo = pets.personAt("b@q.org")->PERSONID;
  ASSERT_TRUE(change({StatusScope::Person, bo, 2}));
  Snapshot x = snapshot("Pets");
  for (auto& t : x.threads) EXPECT_EQ(t.DUMMY, t.THREADNUMBER == thread ? 2 : 0);
  for (auto& sec : x.sections) EXPECT_EQ(sec.DUMMY, sec.SECSYSID == section ? 1 : 0);
  for (auto& p : x.persons) EXPECT_EQ(p.DUMMY, p.PERSONID == bo ? 2 : 0);
  EXPECT_EQ(messageStatus(), st);  // no message changed
  expectConsistent(x);

  // What does not exist fails and changes nothing.
  std::string why;
  EXPECT_FALSE(change({StatusScope::Message, 99, 2}, nullptr, &why));
  EXPECT_NE(why.find("no message 99"), std::string::npos) << why;
  EXPECT_FALSE(change({StatusScope::Thread, 12345, 2}));
  EXPECT_EQ(messageStatus(), st);
}

TEST_F(StatusTest, RecodingTheMessagesOfAThreadSectionPersonAndDatabase) {
  const uint32_t thread = threadOf(1);
  uint32_t recoded = 0;
  ASSERT_TRUE(change({StatusScope::Thread, thread, 2, true}, &recoded));
  EXPECT_EQ(recoded, 2u);
  auto st = messageStatus();
  EXPECT_EQ(st[1], 2);
  EXPECT_EQ(st[2], 2);
  EXPECT_EQ(st[3], 0);  // another thread of the section
  EXPECT_EQ(st[4], 0);

  uint32_t section = 0;
  for (auto& m : pets.messages)
    if (m.MSGNUMBER == 4) section = m.SECSYSID;
  ASSERT_TRUE(change({StatusScope::Section, section, 1, true}, &recoded));
  EXPECT_EQ(recoded, 2u);
  st = messageStatus();
  EXPECT_EQ(st[4], 1);
  EXPECT_EQ(st[5], 1);
  EXPECT_EQ(st[1], 2);

  // A person's messages: those sent and those received.
  const uint32_t al = pets.personAt("a@q.org")->PERSONID;
  ASSERT_TRUE(change({StatusScope::Person, al, 0, true}, &recoded));
  st = messageStatus();
  EXPECT_EQ(st[1], 0);  // sent
  EXPECT_EQ(st[2], 0);  // received
  EXPECT_EQ(st[5], 0);  // sent
  EXPECT_EQ(st[4], 1);
  EXPECT_EQ(recoded, 3u);

  // The database: its own status and, when it is the current one, the
  // session's copy; with --messages every message.
  s.selectDatabase(forum("Pets"));
  ASSERT_TRUE(change({StatusScope::Database, 0, 1, true}, &recoded));
  EXPECT_EQ(forum("Pets").DUMMY, 1);
  EXPECT_EQ(s.ForumCheck, 1);
  for (auto& [n, v] : messageStatus()) EXPECT_EQ(v, 1) << n;
  // Nothing left to change: the second run writes nothing.
  ASSERT_TRUE(change({StatusScope::Database, 0, 1, true}, &recoded));
  EXPECT_EQ(recoded, 0u);
  expectConsistent(snapshot("Pets"));
}

TEST_F(StatusTest, MailPartnerAndRefusals) {
  const uint32_t mdb = mailDatabase("Jane Doe", "jane@home.org");
  import({"M|Jane Doe|1|One|Bob Ray|bob@x.org|Jane Doe|jane@home.org|20020304|101542|a|",
          "M|Jane Doe|2|Two|Jane Doe|jane@home.org|Bob Ray|bob@x.org|20020305|090000|b|",
          "M|Jane Doe|1|Three|Sue Kim|sue@x.org|Jane Doe|jane@home.org|20020306|090000|c|"});
  Snapshot before = snapshot("Jane Doe");
  const uint32_t bob = before.personAt("bob@x.org")->PERSONID;
  StatusChange c(s, mdb, {StatusScope::Person, bob, 2, true});
  while (c.step()) {
  }
  ASSERT_FALSE(c.failed()) << c.error();
  EXPECT_EQ(c.recoded(), 2u);
  Snapshot after = snapshot("Jane Doe");
  for (auto& m : after.mails) EXPECT_EQ(m.DUMMY, m.PAIRID == bob ? 2 : 0) << m.SUBJECT.str();
  EXPECT_EQ(after.person(bob)->DUMMY, 2);

  StatusChange thread(s, mdb, {StatusScope::Thread, 1, 2});
  while (thread.step()) {
  }
  EXPECT_TRUE(thread.failed());
  EXPECT_NE(thread.error().find("no threads"), std::string::npos);
}

TEST_F(StatusTest, CommandLineForms) {
  const std::string home = archive.home();
  auto r = runCli(QB_CLI, home, {"status", "Pets", "3", "keep"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(messageStatus()[3], 1);
  EXPECT_EQ(runCli(QB_CLI, home, {"status", "Pets", "3", "KEEP"}).code, 1);  // already so
  r = runCli(QB_CLI, home, {"status", "Pets", "--thread", "Dogs", "delete", "--messages"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(messageStatus()[4], 2);
  r = runCli(QB_CLI, home, {"status", "Pets", "--section", "Cats", "keep"});
  EXPECT_EQ(r.code, 0) << r.err;
  r = runCli(QB_CLI, home, {"status", "Pets", "--person", "Bo Two", "delete", "--messages"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("2 of 2 messages recoded to Delete"), std::string::npos) << r.out;
  // Marking the whole database delete asks first; without --yes nothing happens.
  EXPECT_EQ(runCli(QB_CLI, home, {"status", "Pets", "--database", "delete"}).code, 1);
  EXPECT_EQ(forum("Pets").DUMMY, 0);
  EXPECT_EQ(runCli(QB_CLI, home, {"--yes", "status", "Pets", "--database", "delete"}).code, 0);
  EXPECT_EQ(forum("Pets").DUMMY, 2);

  EXPECT_EQ(runCli(QB_CLI, home, {"status", "Pets", "77", "keep"}).code, 2);
  EXPECT_EQ(runCli(QB_CLI, home, {"status", "Pets", "3", "forever"}).code, 2);
  EXPECT_EQ(runCli(QB_CLI, home, {"status", "Pets", "--person", "Nobody", "keep"}).code, 2);
  EXPECT_EQ(runCli(QB_CLI, home, {"status", "Pets", "3", "keep", "--messages"}).code, 2);
  EXPECT_EQ(runCli(QB_CLI, home, {"status", "Pets", "--thread"}).code, 2);
}

}  // namespace
}  // namespace qb::test
