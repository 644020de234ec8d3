// Persons: splitting names, finding or creating a person by name and
// address (letter case, aliases, stale aliases), and recounting a person's
// mail and messages.
#include <gtest/gtest.h>

#include "archive/config.h"
#include "archive/file_table.h"
#include "archive/persons.h"
#include "archive/record_access.h"
#include "support/temp_archive.h"

using namespace qb::store;

namespace {

std::pair<std::string, std::string> parse(std::string_view name, std::size_t len = 25) {
  std::string last, first;
  ParseName(name, len, last, len, first);
  return {last, first};
}

using Names = std::pair<std::string, std::string>;

struct PersonDb {
  qb::test::TempArchive a;
  Session& s = a.session();
  explicit PersonDb(uint8_t kind = KindMail) {
    a.addDatabase(kind, "People");
    Konfig(s, KonfigAction::LoadGeneral);
    OP_CLOSE(s, OpOpen, {FileNo::Person, FileNo::PLINK});
  }
  ~PersonDb() { OP_CLOSE(s, OpClose, {FileNo::Person, FileNo::PLINK}); }
  uint32_t add(const std::string& name, const std::string& address) {
    EXPECT_EQ(AddPers(s, name, address), 0) << name;
    return s.Person().rec.PERSONID;
  }
  int64_t persons() { return s.Person().count(); }
};

}  // namespace

TEST(PersonsParseName, LastWordIsTheLastName) {
  EXPECT_EQ(parse("Mary Ann Jones"), (Names{"Jones", "Mary Ann"}));
  EXPECT_EQ(parse("Madonna"), (Names{"Madonna", ""}));
  EXPECT_EQ(parse("X"), (Names{"X", ""}));
  EXPECT_EQ(parse("John Smith   "), (Names{"Smith", "John"}));
  EXPECT_EQ(parse(" Smith"), (Names{" Smith", ""}));  // a blank in the first place splits nothing
  EXPECT_EQ(parse(""), (Names{"", ""}));
}

TEST(PersonsParseName, GenerationSuffixStaysWithTheLastName) {
  EXPECT_EQ(parse("John Smith III"), (Names{"Smith III", "John"}));
  EXPECT_EQ(parse("John Smith V"), (Names{"Smith V", "John"}));
  EXPECT_EQ(parse("Jones IV"), (Names{"Jones IV", ""}));
  EXPECT_EQ(parse("Smith ii"), (Names{"ii", "Smith"}));  // lower-case i is no suffix
  EXPECT_EQ(parse("Smith Vi"), (Names{"Vi", "Smith"}));
  // the same suffixes written with a lower-case l
  EXPECT_EQ(parse("John Smith lll"), (Names{"Smith lll", "John"}));
  EXPECT_EQ(parse("John Smith l"), (Names{"Smith l", "John"}));
  EXPECT_EQ(parse("John Smith ll"), (Names{"Smith ll", "John"}));
  EXPECT_EQ(parse("Jones lV"), (Names{"Jones lV", ""}));
  EXPECT_EQ(parse("John Smith lI"), (Names{"lI", "John Smith"}));
}

TEST(PersonsParseName, PartsAreCutToTheirLengths) {
  EXPECT_EQ(parse("Bartholomew Alexander Maximilian Featherstonehaugh-Wolfeschlegel"),
            (Names{"Featherstonehaugh-Wolfesc", "Bartholomew Alexander Max"}));
  EXPECT_EQ(parse("Anne Marie Smith", 4), (Names{"Smit", "Anne"}));  // cut, trailing blank dropped
}

TEST(PersonsAddPers, IdentityIgnoresLetterCaseButNotTheAddress) {
  PersonDb db;
  EXPECT_EQ(identityString("John Smith  ", "jsmith@example.org"), "JOHN SMITH JSMITH@EXAMPLE.ORG");
  uint32_t john = db.add("John Smith", "jsmith@example.org");
  EXPECT_GE(john, kFirstIdentifier);
  Person& p = db.s.Person().rec;
  EXPECT_EQ(p.PERSONSTRING.str(), "JOHN SMITH JSMITH@EXAMPLE.ORG");
  EXPECT_EQ(p.LASTNAME.str(), "Smith");
  EXPECT_EQ(p.FIRSTNAME.str(), "John");
  EXPECT_EQ(p.ADDRESS.str(), "jsmith@example.org");  // as met
  EXPECT_EQ(p.FROMCOUNT, 0u);

  EXPECT_EQ(db.add("john smith", "JSmith@Example.org"), john);
  EXPECT_NE(db.add("John Smith", "john@other.example"), john);
  EXPECT_EQ(db.persons(), 2);
  EXPECT_TRUE(db.a.ui.entries.empty());
}

TEST(PersonsGroupName, ListsAndServicesAreNotPersons) {
  // by the mailbox of the address, with or without a service prefix
  EXPECT_TRUE(isGroupName("Observatory News", "INTERNET:news@example.net"));
  EXPECT_TRUE(isGroupName("Weekly Letter", "Newsletter@example.com"));
  EXPECT_TRUE(isGroupName("Garden Friends", "owner-garden@lists.example.org"));
  EXPECT_TRUE(isGroupName("Garden Friends", "garden-request@lists.example.org"));
  EXPECT_TRUE(isGroupName("Rail Fans", "RAILFANS-L@listserv.example.edu"));
  // by the last word of the name
  EXPECT_TRUE(isGroupName("Harbour Digest", "editor@harbour.example"));
  EXPECT_TRUE(isGroupName("Parish bulletin", "office@parish.example"));
  // persons, also those whose mailbox merely contains a role word
  EXPECT_FALSE(isGroupName("John Smith", "jsmith@example.org"));
  EXPECT_FALSE(isGroupName("Ann Newsome", "news.ann@example.org"));
  EXPECT_TRUE(isGroupName("Quilters Mailing List", "quilt@example.org"));
  EXPECT_FALSE(isGroupName("Lisa List", "lisa@example.org"));
  EXPECT_FALSE(isGroupName("Paul Newsom", "paul-l.newsom@example.org"));
  EXPECT_FALSE(isGroupName("All", ""));  // one word: nothing to split anyway
}

TEST(PersonsAddPers, AGroupNameIsKeptWhole) {
  PersonDb db;
  db.add("Observatory News", "INTERNET:news@example.net");
  EXPECT_EQ(db.s.Person().rec.LASTNAME.str(), "Observatory News");
  EXPECT_EQ(db.s.Person().rec.FIRSTNAME.str(), "");
  db.add("Anna Weber", "INTERNET:anna@example.net");
  EXPECT_EQ(db.s.Person().rec.LASTNAME.str(), "Weber");
  EXPECT_EQ(db.s.Person().rec.FIRSTNAME.str(), "Anna");
  db.add("The Quite Long Name Of Some Weekly Newsletter", "letters@example.net");
  EXPECT_EQ(db.s.Person().rec.LASTNAME.str(), "The Quite Long Name Of So");  // cut to the field
}

TEST(PersonsAddPers, IdentityStringIsCutTo100) {
  std::string longAddress(120, 'a');
  EXPECT_EQ(identityString("Al", longAddress).size(), 100u);
  PersonDb db;
  uint32_t id = db.add("Al", longAddress);
  EXPECT_EQ(db.add("AL", longAddress + "b"), id);  // equal in the first 100 characters
}

TEST(PersonsAddPers, AliasFindsTheMergedPersonAndAStaleAliasIsRemoved) {
  PersonDb db;
  Session& s = db.s;
  uint32_t kept = db.add("Jim Beam", "jim@example.org");
  auto link = [&](const std::string& ident, uint32_t id) {
    s.PLINK().clear();
    s.PLINK().rec.PERSONSTRING = ident;
    s.PLINK().rec.PERSONID = id;
    ASSERT_EQ(UppDat(s, s.PLINK(), UppAdd, ErrRelease), 1);
  };
  link("JAMES BEAM JIM@EXAMPLE.ORG", kept);
  link("GONE PERSON GONE@EXAMPLE.ORG", 12345);

  EXPECT_EQ(db.add("James Beam", "jim@example.org"), kept);
  EXPECT_EQ(db.persons(), 1);

  uint32_t fresh = db.add("Gone Person", "gone@example.org");
  EXPECT_NE(fresh, 12345u);
  EXPECT_EQ(s.Person().rec.LASTNAME.str(), "Person");
  EXPECT_EQ(db.persons(), 2);
  EXPECT_EQ(s.PLINK().count(), 1);  // the stale alias is gone
  s.PLINK().clear();
  s.PLINK().rec.PERSONSTRING = "GONE PERSON GONE@EXAMPLE.ORG";
  EXPECT_NE(s.PLINK().get(PLINK::StringKey), Err::Ok);
  EXPECT_EQ(db.add("gone person", "gone@example.org"), fresh);
}

TEST(PersonsAddPers, FailedAddRollsBackAndReportsFailure) {
  PersonDb db;
  Session& s = db.s;
  db.add("First One", "one@example.org");
  // The next identifier collides with the person just added.
  OP_CLOSE(s, OpOpen, {FileNo::Control});
  s.Control().clear();
  s.Control().rec.ID = 1;
  ASSERT_EQ(s.Control().get(Control::IdKey), Err::Ok);
  s.Control().rec.NEXTNUMBER = s.Person().rec.PERSONID;
  ASSERT_EQ(s.Control().put(), Err::Ok);
  ASSERT_TRUE(beginTransaction(s, {&s.Person(), &s.PLINK(), &s.Control()}));
  EXPECT_EQ(AddPers(s, "Second Two", "two@example.org"), 1);
  EXPECT_FALSE(s.transaction().active());
  ASSERT_EQ(db.a.ui.entries.size(), 1u);
  EXPECT_NE(db.a.ui.entries[0].text.find("The last transaction is rolled back."), std::string::npos);
  EXPECT_EQ(db.persons(), 1);
  OP_CLOSE(s, OpClose, {FileNo::Control});
}

namespace {

struct MailDb : PersonDb {
  MailDb() : PersonDb(KindMail) { OP_CLOSE(s, OpOpen, {FileNo::Mail}); }
  ~MailDb() { OP_CLOSE(s, OpClose, {FileNo::Mail}); }
  uint32_t next = 1;
  void mail(uint32_t fromId, const std::string& fromAlpha, uint32_t toId, const std::string& toAlpha) {
    auto& m = s.Mail();
    m.clear();
    m.rec.MAILID = next++;
    m.rec.FROMID = fromId;
    m.rec.FROMALPHA = fromAlpha;
    m.rec.TOID = toId;
    m.rec.TOALPHA = toAlpha;
    ASSERT_EQ(m.add(), Err::Ok);
  }
};

}  // namespace

TEST(PersonsRecount, MailCountsAndResults) {
  MailDb db;
  Session& s = db.s;
  uint32_t me = db.add("Owner Person", "me@example.org");
  uint32_t ann = db.add("Ann Featherstonehaugh", "ann@example.org");
  Person annRec = s.Person().rec;
  // Ann's alpha is the first 10 characters of her last name, any letter case.
  db.mail(ann, "FEATHERSTO", me, "Person");
  db.mail(ann, "featherSto", me, "Person");
  db.mail(me, "Person", ann, "Featherstonehaugh");  // cut to 10 when stored
  db.mail(ann + 1000, "Featherste", me, "Person");  // another person, another alpha
  db.mail(ann + 1000, "Featherstonehaugh", me, "Person");  // same alpha, another person

  s.Person().rec = annRec;
  EXPECT_EQ(CFromToMail(s, 0), RecountChanged);
  EXPECT_EQ(s.Person().rec.FROMCOUNT, 2u);
  EXPECT_EQ(s.Person().rec.TOCOUNT, 1u);
  EXPECT_EQ(CFromToMail(s, 0), RecountUnchanged);

  uint32_t nobody = db.add("No Mail", "none@example.org");
  (void)nobody;
  EXPECT_EQ(CFromToMail(s, 0), RecountNone);
  s.Person().rec.FROMCOUNT = 7;
  EXPECT_EQ(CFromToMail(s, 1), RecountChanged);  // the owner is kept with zero counts
  EXPECT_EQ(s.Person().rec.FROMCOUNT, 0u);
  EXPECT_EQ(CFromToMail(s, 4), RecountUnchanged);
}

TEST(PersonsRecount, MessageCountsOfForumDatabases) {
  PersonDb db(KindForum);
  Session& s = db.s;
  uint32_t bob = db.add("Bob Stone", "70000,1");
  OP_CLOSE(s, OpOpen, {FileNo::MsgNmbr});
  auto& m = s.MsgNmbr();
  for (uint32_t i = 1; i <= 3; ++i) {
    m.clear();
    m.rec.MSGNUMBER = i;
    m.rec.FROMID = i < 3 ? bob : 5;
    m.rec.FROMALPHA = i < 3 ? "stone" : "Other";
    m.rec.TOID = i == 3 ? bob : 5;
    m.rec.TOALPHA = i == 3 ? "Stone" : "Other";
    ASSERT_EQ(m.add(), Err::Ok);
  }
  EXPECT_EQ(CFromToMsg(s), RecountChanged);
  EXPECT_EQ(s.Person().rec.FROMCOUNT, 2u);
  EXPECT_EQ(s.Person().rec.TOCOUNT, 1u);
  EXPECT_EQ(CFromToMsg(s), RecountUnchanged);
  db.add("Silent Sam", "70000,2");
  EXPECT_EQ(CFromToMsg(s), RecountNone);
  OP_CLOSE(s, OpClose, {FileNo::MsgNmbr});
}

TEST(PersonsAddPers, NoIdentifierLeftIsReportedAndRolledBack) {
  PersonDb db;
  Session& s = db.s;
  OP_CLOSE(s, OpOpen, {FileNo::Control});
  s.Control().clear();
  s.Control().rec.ID = 1;
  ASSERT_EQ(s.Control().get(Control::IdKey), Err::Ok);
  s.Control().rec.NEXTNUMBER = UINT32_MAX;  // the generator is exhausted
  ASSERT_EQ(s.Control().put(), Err::Ok);
  ASSERT_TRUE(beginTransaction(s, {&s.Person(), &s.PLINK(), &s.Control()}));
  EXPECT_EQ(AddPers(s, "Late Comer", "late@example.org"), 1);
  EXPECT_FALSE(s.transaction().active());
  ASSERT_FALSE(db.a.ui.entries.empty());
  const auto& last = db.a.ui.entries.back();
  EXPECT_EQ(last.text, "A new person ID could not be generated \r\nThe last transaction is rolled back.");
  EXPECT_EQ(last.title, fileTitle(s.Person()));
  EXPECT_EQ(db.persons(), 0);

  // Unattended: the same without a word.
  db.a.ui.entries.clear();
  s.DoTask = 2;
  ASSERT_TRUE(beginTransaction(s, {&s.Person(), &s.PLINK(), &s.Control()}));
  EXPECT_EQ(AddPers(s, "Late Comer", "late@example.org"), 1);
  EXPECT_FALSE(s.transaction().active());
  EXPECT_TRUE(db.a.ui.entries.empty());
  OP_CLOSE(s, OpClose, {FileNo::Control});
}
