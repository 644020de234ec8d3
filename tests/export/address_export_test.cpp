// Address books: the entry of each format, the persons the filters keep,
// and the messages at the end.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "export/address_export.h"
#include "support/database_builder.h"
#include "support/temp_archive.h"
#include "text/datetime.h"

namespace {

using namespace qb::exporting;
using namespace qb::store;
using qb::test::DatabaseBuilder;
using qb::test::TempArchive;
using qb::text::dayNumber;

Person person(const std::string& last, const std::string& first, const std::string& addr) {
  Person p;
  p.LASTNAME = last;
  p.FIRSTNAME = first;
  p.ADDRESS = addr;
  return p;
}

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

TEST(AddressEntry, EveryFormat) {
  // only a last name and a CompuServe number
  EXPECT_EQ(addressEntry(person("Quayle", "", "76543,210"), AddressGeneric), "Quayle 76543.210@compuserve.com\r\n");
  EXPECT_EQ(addressEntry(person("Quayle", "Robin", "robin@example.com"), AddressGeneric),
            "\"Robin Quayle\" robin@example.com\r\n");
  EXPECT_EQ(addressEntry(person("", "", "robin@example.com"), AddressEudora), "alias robin@example.com\r\n");
  EXPECT_EQ(addressEntry(person("M\u00fcller", "J\u00fcrgen", "76543,210"), AddressTapcis),
            "J\x81rgen M\x81ller 76543,210|\r\n");  // DOS code page
  EXPECT_EQ(addressEntry(person("Quayle", "Robin", "robin@example.com"), AddressTapcis),
            "Robin Quayle INTERNET:robin@example.com|\r\n");
  // neither name nor address: no entry; a name without an address neither
  EXPECT_EQ(addressEntry(person("", "", ""), AddressGeneric), "");
  EXPECT_EQ(addressEntry(person("Quayle", "", ""), AddressOzWin), "");
  // OzWin II: a name of 30 characters and an address of 20 give 54 bytes
  const std::string e = addressEntry(person("Abcdefghijklmnopqrst", "Alexandra", "12345678901234,56789"), AddressOzWin);
  ASSERT_EQ(e.size(), 54u);
  EXPECT_EQ(e[0], 30);
  EXPECT_EQ(e.substr(1, 30), "Alexandra Abcdefghijklmnopqrst");
  EXPECT_EQ(e[31], 20);
  EXPECT_EQ(e.substr(52), std::string(2, '\0'));
}

class AddressBook : public ::testing::Test {
 protected:
  void SetUp() override {
    a.addDatabase(KindMail, "Robin Quayle");
    DatabaseBuilder b(a);
    b.person(10, "Quayle", "Robin", "robin@example.com");
    b.person(11, "Thornbury", "Wilma", "74321,1234");
    b.person(12, "Smith", "Ann", "ann@example.org");
    b.person(13, "", "", "");
    b.mail(500, dayNumber(1998, 3, 2), 0, "A", 11, 10, 11, "x");
    b.mail(501, dayNumber(1998, 3, 5), 0, "B", 12, 10, 12, "x");
    b.topic(900, "Garden");
    b.filed(900, 500);
  }
  // Runs the export; the file's content, or "refused: ..." .
  std::string run(AddressRequest r, std::string* final = nullptr) {
    CopyAddress x(a.session(), r);
    std::string result;
    if (!x.start()) result = "refused: " + x.refusal().title + "|" + x.refusal().text;
    while (x.step()) {
    }
    const bool finished = x.finish();
    if (x.refusal().title != "Filename error" && x.refusal().title != "Date range filter error") {
      EXPECT_TRUE(finished) << x.error();
    }
    if (final) *final = x.finalMessage().title + "|" + x.finalMessage().text;
    return result.empty() ? slurp(x.path()) : result;
  }
  TempArchive a;
};

TEST_F(AddressBook, EveryPersonWithAnAddress) {
  AddressRequest r;
  std::string final;
  EXPECT_EQ(run(r, &final),
            "\"Robin Quayle\" robin@example.com\r\n\"Wilma Thornbury\" 74321.1234@compuserve.com\r\n"
            "\"Ann Smith\" ann@example.org\r\n");
  EXPECT_EQ(final, " Address export|3 addresses written to file.");
}

TEST_F(AddressBook, TopicAndDateFilters) {
  AddressRequest r;
  r.topicFilter = true;
  r.topicId = 900;
  EXPECT_EQ(run(r), "\"Wilma Thornbury\" 74321.1234@compuserve.com\r\n\"Robin Quayle\" robin@example.com\r\n");
  r = {};
  r.dateFilter = true;
  r.fromDate = r.toDate = dayNumber(1998, 3, 5);
  EXPECT_EQ(run(r), "\"Ann Smith\" ann@example.org\r\n\"Robin Quayle\" robin@example.com\r\n");
  // both: the persons of the topic's mail within the dates
  r.topicFilter = true;
  r.topicId = 900;
  EXPECT_EQ(run(r), "\"Robin Quayle\" robin@example.com\r\n");
}

TEST_F(AddressBook, FiltersThatShareNoPersonLeaveAnEmptyFile) {
  AddressRequest r;
  r.topicFilter = true;
  r.topicId = 900;
  r.dateFilter = true;
  r.fromDate = r.toDate = dayNumber(1999, 1, 1);
  EXPECT_EQ(run(r), "refused:  Warning!|No addresses passed filter.");
  EXPECT_EQ(slurp(a.session().TempDir + "/Address.Txt"), "");
}

TEST_F(AddressBook, DefaultNamesAndRefusals) {
  AddressRequest r;
  r.format = AddressOzWin;
  run(r);
  // Robin Quayle / INTERNET:robin@example.com, Wilma Thornbury / 74321,1234, Ann Smith / INTERNET:ann@example.org
  EXPECT_EQ(slurp(a.session().TempDir + "/Address.Ab").size(), (1 + 12 + 1 + 26 + 2) + (1 + 15 + 1 + 10 + 2) + (1 + 9 + 1 + 24 + 2u));
  r.fileName = "sub/book.txt";
  EXPECT_EQ(run(r), "refused: Filename error|Do not include the path, just the filename!");
  r = {};
  r.format = AddressEudora;
  r.dateFilter = true;
  r.fromDate = dayNumber(1999, 1, 2);
  r.toDate = dayNumber(1999, 1, 1);
  EXPECT_EQ(run(r), "refused: Date range filter error|A negative date range cannot be allowed.");
}

}  // namespace
