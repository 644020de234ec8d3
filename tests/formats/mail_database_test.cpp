// Mail databases: creating one with its owner in one transaction, refusing
// a name in use without leaving anything behind, changing name and
// addresses, and the maildb command.
#include <gtest/gtest.h>

#include <filesystem>

#include "import/formats/mail/mail_owner.h"
#include "text/datetime.h"
#include "archive/file_table.h"
#include "archive/maildb.h"
#include "support/cli_run.h"
#include "support/temp_archive.h"

using qb::text::today;

namespace qb::store {
namespace {

namespace fs = std::filesystem;

Forums forumsRecord(Session& s, uint32_t id) {
  OP_CLOSE(s, OpOpen, {FileNo::Forums});
  s.Forums().clear();
  s.Forums().rec.ID = id;
  EXPECT_EQ(s.Forums().get(Forums::ForumKey), Err::Ok);
  Forums f = s.Forums().rec;
  OP_CLOSE(s, OpClose, {FileNo::Forums});
  return f;
}

REF referenceOf(Session& s, const Forums& f) {
  s.selectDatabase(f);
  OP_CLOSE(s, OpOpen, {FileNo::Reference});
  s.REF().setFileOrder();
  EXPECT_EQ(s.REF().next(), Err::Ok);
  REF r = s.REF().rec;
  OP_CLOSE(s, OpClose, {FileNo::Reference});
  s.clearDatabase();
  return r;
}

int64_t forumsCount(Session& s) {
  OP_CLOSE(s, OpOpen, {FileNo::Forums});
  int64_t n = s.Forums().count();
  OP_CLOSE(s, OpClose, {FileNo::Forums});
  return n;
}

TEST(MailDatabase, CreatedWithOwnerAddressesAndReference) {
  test::TempArchive a;
  Session& s = a.session();
  uint32_t forum = a.addDatabase(KindForum, "Some forum");  // the current database
  uint32_t id = createMailDatabase(s, {"Robin Quayle", "robin@example.com", {"rq@example.org", "", "r@example.net"}});
  ASSERT_NE(id, 0u);
  EXPECT_EQ(s.ForumNumber, forum);  // the current database did not change

  Forums f = forumsRecord(s, id);
  EXPECT_EQ(f.TYPE, KindMail);
  EXPECT_EQ(f.DESCRIPTION.str(), "Robin Quayle");
  EXPECT_EQ(f.MAILADDRESS.str(), "robin@example.com");
  EXPECT_EQ(f.ALTADDRESS[0].str(), "rq@example.org");
  EXPECT_EQ(f.ALTADDRESS[1].str(), "r@example.net");  // blank entries do not end the list early
  EXPECT_TRUE(f.ALTADDRESS[2].blank());
  EXPECT_EQ(f.DIRNUMBER, 2u);
  EXPECT_EQ(f.CREATED, today());
  EXPECT_EQ(f.WORDLISTINDEXNEEDSUPDATE, 1);
  EXPECT_TRUE(fs::is_directory(a.path("F2")));

  // The owner is a person of the new database.
  s.selectDatabase(f);
  OP_CLOSE(s, OpOpen, {FileNo::Person});
  s.Person().clear();
  s.Person().rec.PERSONID = f.PERSONID;
  ASSERT_EQ(s.Person().get(Person::PersonKey), Err::Ok);
  EXPECT_EQ(s.Person().rec.ADDRESS.str(), "robin@example.com");
  EXPECT_EQ(s.Person().rec.LASTNAME.str(), "Quayle");
  EXPECT_EQ(s.Person().count(), 1);
  OP_CLOSE(s, OpClose, {FileNo::Person});
  s.clearDatabase();

  REF r = referenceOf(s, f);
  EXPECT_EQ(r.TYPE, KindMail);
  EXPECT_EQ(r.DESCRIPTION.str(), "Robin Quayle");
  EXPECT_EQ(static_cast<uint32_t>(r.PERSONID), f.PERSONID);
  EXPECT_EQ(r.ALTADDRESS[1].str(), "r@example.net");

  auto all = listMailDatabases(s);
  ASSERT_EQ(all.size(), 1u);
  EXPECT_EQ(all[0].ID, id);
  Forums found;
  EXPECT_TRUE(findMailDatabase(s, "ROBIN QUAYLE", found));
  EXPECT_FALSE(findMailDatabase(s, "Some forum", found));  // not a mail database
}

TEST(MailDatabase, NameInUseLeavesNothingBehind) {
  test::TempArchive a;
  Session& s = a.session();
  ASSERT_NE(createMailDatabase(s, {"Robin Quayle", "robin@example.com", {}}), 0u);
  int64_t before = forumsCount(s);
  EXPECT_EQ(createMailDatabase(s, {"robin quayle", "other@example.com", {}}), 0u);
  EXPECT_EQ(forumsCount(s), before);
  EXPECT_FALSE(fs::exists(a.path("F2")));
  EXPECT_TRUE(a.ui.saw("Record add error!\r\nA record with identical key already exists!\r\n"
                       "The last transaction is rolled back."));
  // The next database gets the directory that was given back.
  uint32_t id = createMailDatabase(s, {"Other Owner", "other@example.com", {}});
  ASSERT_NE(id, 0u);
  EXPECT_EQ(forumsRecord(s, id).DIRNUMBER, 2u);
}

TEST(MailDatabase, FieldsAreChecked) {
  EXPECT_EQ(checkMailDatabaseFields({"Name", "a@example.com", {}}), "");
  EXPECT_NE(checkMailDatabaseFields({" ", "a@example.com", {}}), "");
  EXPECT_NE(checkMailDatabaseFields({"Name", "", {}}), "");
  EXPECT_NE(checkMailDatabaseFields({std::string(41, 'n'), "a@example.com", {}}), "");
  EXPECT_NE(checkMailDatabaseFields({"Name", std::string(61, 'a'), {}}), "");
  EXPECT_NE(checkMailDatabaseFields({"Name", "a@example.com", std::vector<std::string>(11, "b@example.com")}), "");
  test::TempArchive a;
  EXPECT_EQ(createMailDatabase(a.session(), {"", "a@example.com", {}}), 0u);
}

TEST(MailDatabase, NameAndAddressesChanged) {
  test::TempArchive a;
  Session& s = a.session();
  uint32_t id = createMailDatabase(s, {"Robin Quayle", "robin@example.com", {"rq@example.org", "x@example.org"}});
  ASSERT_TRUE(updateMailDatabase(s, id, {"Robin Q.", "robin@example.net", {"new@example.org"}}));
  Forums f = forumsRecord(s, id);
  EXPECT_EQ(f.DESCRIPTION.str(), "Robin Q.");
  EXPECT_EQ(f.MAILADDRESS.str(), "robin@example.net");
  EXPECT_EQ(f.ALTADDRESS[0].str(), "new@example.org");
  EXPECT_TRUE(f.ALTADDRESS[1].blank());
  REF r = referenceOf(s, f);
  EXPECT_EQ(r.DESCRIPTION.str(), "Robin Q.");
  EXPECT_EQ(r.MAILADDRESS.str(), "robin@example.net");
  EXPECT_TRUE(r.ALTADDRESS[1].blank());
  uint32_t forum = a.addDatabase(KindForum, "Some forum");
  EXPECT_FALSE(updateMailDatabase(s, forum, {"Mail now", "a@example.com", {}}));
}

TEST(MailDatabase, OwnerAsTheConvertersSeeIt) {
  test::TempArchive a;
  Session& s = a.session();
  std::string name = "Robin Quayle and the Garden Club of Example";  // 44 characters
  ASSERT_NE(createMailDatabase(s, {name.substr(0, 40), "Robin@Example.com", {"rq@example.org"}}), 0u);
  import::mail::MailOwner o = import::mail::loadMailOwner(s, "robin quayle and the garden club of exam");
  EXPECT_EQ(o.name, name.substr(0, 40));
  EXPECT_EQ(o.address, "Robin@Example.com");
  EXPECT_TRUE(o.owns("robin@example.com"));
  EXPECT_TRUE(o.owns("RQ@EXAMPLE.ORG"));
  EXPECT_FALSE(o.owns("someone@example.org"));
  EXPECT_FALSE(o.owns(""));
  a.addDatabase(KindForum, "A forum");
  for (const char* missing : {"Nobody", "A forum"}) {
    o = import::mail::loadMailOwner(s, missing);
    EXPECT_EQ(o.name, "CSINET");
    EXPECT_EQ(o.address, "CSINET");
  }
}

TEST(MaildbCommand, CreateUpdateList) {
  test::TempArchive a;
  auto r = test::runCli(QB_CLI, a.home(),
                        {"maildb", "create", "Robin Quayle", "--address", "robin@example.com", "--alt", "rq@example.org"});
  ASSERT_EQ(r.code, 0) << r.err;
  r = test::runCli(QB_CLI, a.home(), {"maildb", "update", "robin quayle", "--alt", "a@example.org", "--alt", "b@example.org"});
  ASSERT_EQ(r.code, 0) << r.err;
  r = test::runCli(QB_CLI, a.home(), {"maildb", "list"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("Robin Quayle"), std::string::npos);
  EXPECT_NE(r.out.find("b@example.org"), std::string::npos);
  EXPECT_EQ(r.out.find("rq@example.org"), std::string::npos);
  r = test::runCli(QB_CLI, a.home(), {"maildb", "create", "Too Many", "--address", "a@example.com", "--alt", "1",
                                      "--alt", "2", "--alt", "3", "--alt", "4", "--alt", "5", "--alt", "6", "--alt",
                                      "7", "--alt", "8", "--alt", "9", "--alt", "10", "--alt", "11"});
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(test::runCli(QB_CLI, a.home(), {"maildb", "update", "Nobody", "--alt", "x@example.com"}).code, 1);
  EXPECT_EQ(test::runCli(QB_CLI, a.home(), {"maildb", "create", "No Address"}).code, 2);
}

}  // namespace
}  // namespace qb::store
