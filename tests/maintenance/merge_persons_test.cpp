// Merging duplicate persons on archives built by the import engine.
#include "maintenance/merge_persons.h"

#include <gtest/gtest.h>

#include "archive/persons.h"
#include "merge_fixture.h"
#include "support/cli_run.h"

namespace qb::test {
namespace {

using maintenance::MergePersons;

// What a run decided, comparable between a dry run and a real run.
struct Decision {
  std::string address;
  uint32_t survivor;
  std::vector<uint32_t> merged;
  bool operator==(const Decision& o) const {
    return address == o.address && survivor == o.survivor && merged == o.merged;
  }
};

std::vector<Decision> decisions(const MergePersons& run) {
  std::vector<Decision> out;
  for (auto& g : run.groups()) {
    Decision d{text::foldCase(g.address), g.kept().id, {}};
    for (std::size_t i = 0; i < g.members.size(); ++i)
      if (i != g.survivor) d.merged.push_back(g.members[i].id);
    out.push_back(d);
  }
  return out;
}

class MergePersonsTest : public MergeFixture {
 protected:
  // Runs a merge to its end with a small slice, so that several steps and
  // transactions are taken.
  void merge(uint32_t forumId, bool dryRun, std::vector<Decision>* made = nullptr,
             maintenance::MergeCounters* counters = nullptr) {
    MergePersons run(s, forumId, dryRun);
    run.setSliceSize(2);
    int steps = 0;
    while (run.step()) ASSERT_LT(++steps, 10000);
    ASSERT_FALSE(run.failed()) << run.error();
    EXPECT_EQ(run.finalMessage(), "The Duplicate Removal Process has finished!");
    if (made) *made = decisions(run);
    if (counters) *counters = run.counters();
  }

  // A forum in which one member writes under three names with one address
  // in three letter cases, one member only receives, and one person has
  // nothing in common with the others.
  void forumWithDuplicates() {
    import({"F|Pets|1|Cats|1001|0|Cats|John Smith|jsmith@x.org|All|all@x.org|19980101|first",
            "F|Pets|1|Cats|1002|1001|Re: Cats|J. Smith|JSMITH@X.ORG|John Smith|jsmith@x.org|19990101|second",
            "F|Pets|1|Cats|1003|1002|Re: Cats|Ann Lee|ann@y.org|Jack Smith|JSmith@x.org|19990201|third",
            "F|Pets|2|Dogs|1004|0|Dogs|Ann Lee|ann@y.org|Johnny Smith|jsmith@X.org|19970101|fourth"});
  }
};

TEST_F(MergePersonsTest, ForumGroupCaseBlindNewestSenderSurvivesAndEverythingMoves) {
  forumWithDuplicates();
  Snapshot before = snapshot("Pets");
  ASSERT_EQ(before.persons.size(), 6u);  // four Smiths, Ann Lee, All
  const uint32_t jSmith = before.personAt("JSMITH@X.ORG")->PERSONID;
  std::vector<Decision> made;
  maintenance::MergeCounters c;
  merge(before.db.ID, false, &made, &c);

  ASSERT_EQ(made.size(), 1u);
  EXPECT_EQ(made[0].survivor, jSmith);  // newest sent message (1999) of the two senders
  EXPECT_EQ(made[0].merged.size(), 3u);
  EXPECT_EQ(c.before, 6u);
  EXPECT_EQ(c.merged, 3u);
  EXPECT_EQ(c.withoutMessages, 0u);
  EXPECT_EQ(c.remaining(), 3u);

  Snapshot after = snapshot("Pets");
  expectConsistent(after);
  ASSERT_EQ(after.persons.size(), 3u);
  for (auto& m : after.messages) {
    if (m.MSGNUMBER == 1001 || m.MSGNUMBER == 1002) {
      EXPECT_EQ(m.FROMID, jSmith);
    }
    if (m.MSGNUMBER == 1002 || m.MSGNUMBER == 1003 || m.MSGNUMBER == 1004) {
      EXPECT_EQ(m.TOID, jSmith);
    }
  }
  EXPECT_EQ(after.person(jSmith)->FROMCOUNT, 2u);
  EXPECT_EQ(after.person(jSmith)->TOCOUNT, 3u);
  // The three old identity strings now lead to the survivor.
  ASSERT_EQ(after.links.size(), 3u);
  for (auto& l : after.links) EXPECT_EQ(l.PERSONID, jSmith);

  // The next import of the old names finds the survivor: no new person.
  EXPECT_EQ(import({"F|Pets|1|Cats|1005|0|Mice|john smith|jsmith@x.org|Johnny Smith|jsmith@X.org|20000101|fifth"}), 1u);
  Snapshot again = snapshot("Pets");
  EXPECT_EQ(again.persons.size(), 3u);
  for (auto& m : again.messages)
    if (m.MSGNUMBER == 1005) {
      EXPECT_EQ(m.FROMID, jSmith);
      EXPECT_EQ(m.TOID, jSmith);
    }
  expectConsistent(again);

  // A second merge finds nothing to do.
  merge(again.db.ID, false, &made, &c);
  EXPECT_TRUE(made.empty());
  EXPECT_EQ(c.merged, 0u);
}

TEST_F(MergePersonsTest, SurvivorChoiceRules) {
  // Group a: a sender with a blank name gives way to a later sender with an
  // older message. Group b: nobody sent anything; the last survives.
  // Group c: one sender among receivers survives.
  import({"F|Club|1|Main|1|0|Hello||bob@a.org|All|all@a.org|20050101|blank name, newest",
          "F|Club|1|Main|2|0|Hello|Bob Ray|BOB@a.org|All|all@a.org|20000101|older",
          "F|Club|1|Main|3|0|Hi|Sue Kim|sue@a.org|Carl Orr|carl@a.org|20000101|x",
          "F|Club|1|Main|4|0|Hi|Sue Kim|sue@a.org|C. Orr|CARL@A.ORG|20000102|y",
          "F|Club|1|Main|5|0|Yo|Dee Fox|dee@a.org|All|all@a.org|20000101|z",
          "F|Club|1|Main|6|0|Yo|Sue Kim|sue@a.org|D. Fox|DEE@a.org|20000103|w"});
  Snapshot before = snapshot("Club");
  auto idOf = [&](const std::string& personString) {
    for (auto& p : before.persons)
      if (p.PERSONSTRING.str() == personString) return p.PERSONID;
    ADD_FAILURE() << personString;
    return 0u;
  };
  std::vector<Decision> made;
  merge(before.db.ID, false, &made);
  ASSERT_EQ(made.size(), 3u);  // in address order: bob, carl, dee
  EXPECT_EQ(made[0].survivor, idOf("BOB RAY BOB@A.ORG"));
  EXPECT_EQ(made[1].survivor, std::max(idOf("CARL ORR CARL@A.ORG"), idOf("C. ORR CARL@A.ORG")));
  EXPECT_EQ(made[2].survivor, idOf("DEE FOX DEE@A.ORG"));
  expectConsistent(snapshot("Club"));
}

TEST_F(MergePersonsTest, MailPartnersCarbonCopiesAndTheOwner) {
  const uint32_t mdb = mailDatabase("Jane Doe", "jane@home.org");
  ASSERT_NE(mdb, 0u);
  import({"M|Jane Doe|1|Hello|Bob Ray|bob@x.org|Jane Doe|jane@home.org|20020304|101542|Hi|Carl Sun,carl@y.org",
          "M|Jane Doe|2|Re: Hello|Jane Doe|jane@home.org|Robert Ray|BOB@X.ORG|20020305|090000|Hi Bob|Carl Sun,carl@y.org",
          "M|Jane Doe|1|Later|Robert Ray|Bob@X.org|Jane Doe|jane@home.org|20030101|120000|news|",
          "M|Jane Doe|1|Self|J. Doe|JANE@HOME.ORG|Jane Doe|jane@home.org|20040101|120000|note to self|",
          // Two without an address: a shared last name is no shared address.
          "M|Jane Doe|1|Wood|Tom Wood||Jane Doe|jane@home.org|20040102|120000|t|",
          "M|Jane Doe|1|Wood|Ann Wood||Jane Doe|jane@home.org|20040103|120000|a|"});
  Snapshot before = snapshot("Jane Doe");
  const uint32_t owner = before.db.PERSONID;
  ASSERT_NE(owner, 0u);
  const std::size_t copies = before.copies.size();
  ASSERT_GT(copies, 0u);
  std::vector<Decision> made;
  merge(mdb, false, &made);
  ASSERT_EQ(made.size(), 2u);
  // The partner group: Robert Ray sent the newest mail.
  EXPECT_EQ(made[0].address, "bob@x.org");
  const uint32_t robert = made[0].survivor;
  uint32_t robertFound = 0;
  for (auto& p : before.persons)
    if (p.PERSONSTRING.str() == "ROBERT RAY BOB@X.ORG") robertFound = p.PERSONID;
  EXPECT_EQ(robert, robertFound);
  // The owner's group: the owner stays although J. Doe sent the newer mail.
  EXPECT_EQ(made[1].survivor, owner);

  Snapshot after = snapshot("Jane Doe");
  expectConsistent(after);
  EXPECT_EQ(after.copies.size(), copies);  // carbon copies stay with their mails
  EXPECT_TRUE(after.person(owner));
  for (auto& m : after.mails) {
    if (m.SUBJECT.str() == "Wood") continue;
    if (m.SUBJECT.str() == "Self") {
      EXPECT_EQ(m.FROMID, owner);
      continue;
    }
    EXPECT_EQ(m.PAIRID, robert) << m.SUBJECT.str();
    EXPECT_EQ(m.PAIRALPHA.str(), "Ray");
  }
  // Imports of the merged names land on the survivors.
  import({"M|Jane Doe|1|Again|Bob Ray|bob@x.org|J. Doe|JANE@HOME.ORG|20050101|080000|again|"});
  Snapshot again = snapshot("Jane Doe");
  EXPECT_EQ(again.persons.size(), after.persons.size());
  expectConsistent(again);
}

TEST_F(MergePersonsTest, DryRunFindsWhatTheRunDoesAndWritesNothing) {
  forumWithDuplicates();
  // A member whose address is written only in its name: the merge takes it
  // from there first.
  import({"F|Pets|2|Dogs|1006|0|Bones|Ned Cole 12345,678||Ann Lee|ann@y.org|19990301|x",
          "F|Pets|2|Dogs|1007|0|Bones|Edward Cole|12345,678|Ann Lee|ann@y.org|19990302|y",
          "F|Pets|2|Dogs|1008|0|Nobody|Ed Nil|nil@z.org|Ned C|12345,678|19990303|z",
          // Two whose only address is in their names.
          "F|Pets|2|Dogs|1009|0|x|Ida Lu 55555,111||Ann Lee|ann@y.org|19990304|a",
          "F|Pets|2|Dogs|1010|0|x|Ida Wu 55555,111||Ann Lee|ann@y.org|19990305|b"});
  Snapshot before = snapshot("Pets");
  std::vector<Decision> dry, real;
  maintenance::MergeCounters dryCounters, realCounters;
  merge(before.db.ID, true, &dry, &dryCounters);
  Snapshot untouched = snapshot("Pets");
  ASSERT_EQ(untouched.persons.size(), before.persons.size());
  for (std::size_t i = 0; i < before.persons.size(); ++i)
    EXPECT_EQ(store::toImage(untouched.persons[i]), store::toImage(before.persons[i]));
  EXPECT_TRUE(untouched.links.empty());

  merge(before.db.ID, false, &real, &realCounters);
  EXPECT_EQ(dry, real);
  ASSERT_EQ(real.size(), 3u);  // the three at 12345,678, the two at 55555,111, the Smiths
  EXPECT_EQ(real[0].merged.size(), 2u);
  EXPECT_EQ(real[1].merged.size(), 1u);
  EXPECT_EQ(dryCounters.merged, realCounters.merged);
  EXPECT_EQ(dryCounters.withoutMessages, realCounters.withoutMessages);
  expectConsistent(snapshot("Pets"));
}

TEST_F(MergePersonsTest, StoppedRunLeavesEveryGroupWholeAndCountsRight) {
  import({"F|Big|1|S|1|0|a|Al One|a@q.org|All|all@q.org|20000101|1",
          "F|Big|1|S|2|0|b|Alan One|A@Q.ORG|All|all@q.org|20000102|2",
          "F|Big|1|S|3|0|c|Bo Two|b@q.org|All|all@q.org|20000101|3",
          "F|Big|1|S|4|0|d|Bo Zwei|B@q.org|Al 1|a@Q.org|20000102|4",
          "F|Big|1|S|5|0|e|Cy Three|c@q.org|Bo 2|B@Q.ORG|20000101|5",
          "F|Big|1|S|6|0|f|Cy Drei|C@q.org|All|all@q.org|20000102|6"});
  const uint32_t id = forum("Big").ID;
  const Snapshot before = snapshot("Big");
  {
    // Killed while its transaction is open: nothing of the merged groups
    // is left behind.
    MergePersons run(s, id);
    run.setSliceSize(1);
    while (run.step() && run.counters().merged == 0) {
    }
    ASSERT_GT(run.counters().merged, 0u);
    ASSERT_TRUE(s.transaction().active());
    s.transaction().rollback();
  }
  Snapshot killed = snapshot("Big");
  ASSERT_EQ(killed.persons.size(), before.persons.size());
  for (std::size_t i = 0; i < before.persons.size(); ++i)
    EXPECT_EQ(store::toImage(killed.persons[i]), store::toImage(before.persons[i]));
  EXPECT_TRUE(killed.links.empty());
  expectConsistent(killed, false);
  {
    MergePersons run(s, id);
    run.setSliceSize(1);
    // Until the first group is merged, then stop.
    while (run.step() && run.counters().merged == 0) {
    }
    ASSERT_GT(run.counters().merged, 0u);
    run.cancel();
    EXPECT_FALSE(run.step());
    EXPECT_TRUE(run.cancelled());
  }
  Snapshot partial = snapshot("Big");
  expectConsistent(partial, false);
  std::vector<Decision> made;
  merge(id, false, &made);
  EXPECT_FALSE(made.empty());
  Snapshot done = snapshot("Big");
  expectConsistent(done);
  EXPECT_EQ(done.persons.size(), 4u);  // one each of a, b, c and All
}

TEST_F(MergePersonsTest, CommandLineDryRunAndExitCodes) {
  forumWithDuplicates();
  import({"F|Solo|1|S|1|0|a|Al One|a@q.org|All|all@q.org|20000101|1"});
  auto dry = runCli(QB_CLI, archive.home(), {"merge-persons", "Pets", "--dry-run", "--json"});
  EXPECT_EQ(dry.code, 0) << dry.err;
  EXPECT_NE(dry.out.find("\"dryRun\": true"), std::string::npos);
  EXPECT_NE(dry.out.find("\"merged\": 3"), std::string::npos) << dry.out;
  EXPECT_NE(dry.out.find("shares the address"), std::string::npos);
  EXPECT_EQ(snapshot("Pets").persons.size(), 6u);

  auto real = runCli(QB_CLI, archive.home(), {"merge-persons", "Pets"});
  EXPECT_EQ(real.code, 0) << real.err;
  EXPECT_NE(real.out.find("Duplicate Forum Members merged: 3"), std::string::npos) << real.out;
  EXPECT_EQ(snapshot("Pets").persons.size(), 3u);
  expectConsistent(snapshot("Pets"));

  EXPECT_EQ(runCli(QB_CLI, archive.home(), {"merge-persons", "Solo"}).code, 1);
  EXPECT_EQ(runCli(QB_CLI, archive.home(), {"merge-persons", "Nowhere"}).code, 2);
  EXPECT_EQ(runCli(QB_CLI, archive.home(), {"merge-persons", "Pets", "--bogus"}).code, 2);
}

}  // namespace
}  // namespace qb::test
