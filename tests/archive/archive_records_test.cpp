// The archive records: byte sizes, key declarations, the thread subject
// group, and the orders that the archive relies on.
#include <gtest/gtest.h>

#include "archive/file_table.h"
#include "archive/record_access.h"
#include "archive/records.h"
#include "support/temp_archive.h"

using namespace qb::store;

namespace {

template <class R>
void expectSize(uint32_t size) {
  EXPECT_EQ(R::layout().size, size) << R::layout().name;
  R r{};
  EXPECT_EQ(toImage(r).size(), size) << R::layout().name;
}

// "IdKey:U P -MSGNUMBER" style description of a key, for compact checks.
std::string describe(const Layout& l, int k) {
  const Key& key = l.keys.at(static_cast<std::size_t>(k));
  std::string s = key.name + ":" + (key.unique ? "U" : "D") + (key.primary ? "P" : "") + (key.nocase ? "I" : "");
  for (auto& p : key.parts) s += std::string(" ") + (p.descending ? "-" : "") + p.field;
  return s;
}

}  // namespace

TEST(ArchiveRecords, SizesAreTheDeclaredOnes) {
  expectSize<Forums>(811);
  expectSize<Sections>(113);
  expectSize<Threads>(113);
  expectSize<MsgNmbr>(60);
  expectSize<MsgText>(12);
  expectSize<MsgString>(64);
  expectSize<Codes>(59);
  expectSize<SIndex>(8);
  expectSize<SaveFile>(8);
  expectSize<Person>(227);
  expectSize<PLINK>(104);
  expectSize<Mail>(124);
  expectSize<CCR>(106);
  expectSize<Control>(205);
  expectSize<Neo>(104);
  expectSize<REF>(766);
  EXPECT_TRUE(MsgText::layout().memo);
  EXPECT_TRUE(REF::layout().keys.empty());
}

TEST(ArchiveRecords, KeysAreDeclaredInOrderWithTheirAttributes) {
  const Layout& m = MsgNmbr::layout();
  EXPECT_EQ(describe(m, MsgNmbr::IdKey), "IdKey:UP -MSGNUMBER");
  EXPECT_EQ(describe(m, MsgNmbr::Threadkey), "Threadkey:DI THREADALPHA THREADNUMBER MSGNUMBER");
  EXPECT_EQ(describe(m, MsgNmbr::SECkey), "SECkey:DI SECSYSID THREADALPHA THREADNUMBER MSGNUMBER");
  EXPECT_EQ(describe(m, MsgNmbr::FromKey), "FromKey:DI FROMALPHA FROMID -MSGNUMBER");
  EXPECT_EQ(describe(m, MsgNmbr::ToKey), "ToKey:DI TOALPHA TOID -MSGNUMBER");
  EXPECT_EQ(describe(m, MsgNmbr::DateKey), "DateKey:D -DATE -MSGNUMBER");
  EXPECT_EQ(describe(m, MsgNmbr::StatusKey), "StatusKey:D DUMMY");

  const Layout& f = Forums::layout();
  EXPECT_EQ(describe(f, Forums::ForumKey), "ForumKey:UP ID");
  EXPECT_EQ(describe(f, Forums::AlphaKey), "AlphaKey:UI DESCRIPTION");
  EXPECT_EQ(describe(f, Forums::DirKey), "DirKey:U DIRNUMBER");
  EXPECT_EQ(describe(f, Forums::TypeKey), "TypeKey:D TYPE");

  const Layout& a = Mail::layout();
  EXPECT_EQ(describe(a, Mail::IdKey), "IdKey:UP -MAILID");
  EXPECT_EQ(describe(a, Mail::PairKey), "PairKey:DI PAIRALPHA PAIRID -DATE -TIME -MAILID");
  EXPECT_EQ(describe(a, Mail::SubjectKey), "SubjectKey:DI SUBJECT -DATE -TIME -MAILID");
  EXPECT_EQ(describe(a, Mail::StatusKey), "StatusKey:D DUMMY");

  EXPECT_EQ(describe(Threads::layout(), Threads::SecKey), "SecKey:DI SECSYSID ALPHA");
  EXPECT_EQ(describe(SIndex::layout(), SIndex::IdKey), "IdKey:UP ID -MSGNUMBER");
  EXPECT_EQ(describe(PLINK::layout(), PLINK::StringKey), "StringKey:UPI PERSONSTRING");
  EXPECT_EQ(describe(Person::layout(), Person::NameKey), "NameKey:DI LASTNAME FIRSTNAME");
  EXPECT_EQ(describe(CCR::layout(), CCR::IdKey), "IdKey:UPI MAILID R_CISADRESS R_NAME");
  EXPECT_EQ(describe(MsgString::layout(), MsgString::IDStringKey), "IDStringKey:UI IDSTRING");
  EXPECT_EQ(describe(Codes::layout(), Codes::ClassKey), "ClassKey:UI TYPE INDEX");
  EXPECT_EQ(describe(SaveFile::layout(), SaveFile::IDKEY), "IDKEY:UP FORUMNUMBER MSGNUMBER");
}

TEST(ArchiveRecords, FieldOffsetsFollowTheRecordLayout) {
  const Layout& f = Forums::layout();
  EXPECT_EQ(f.field("DESCRIPTION")->offset, 4u);
  EXPECT_EQ(f.field("MAILADDRESS")->offset, 134u);
  EXPECT_EQ(f.field("ALTADDRESS[1]")->offset, 198u);
  EXPECT_EQ(f.field("ALTADDRESS[10]")->offset, 738u);
  EXPECT_EQ(f.field("INDEXTYPE")->offset, 810u);
  EXPECT_EQ(Threads::layout().field("BETA")->offset, 18u);
  EXPECT_EQ(Control::layout().field("CTLFIELD")->offset, 5u);
  EXPECT_EQ(REF::layout().field("ALTADDRESS[1]")->offset, 166u);
}

TEST(ArchiveRecords, ThreadSubjectIsOneHundredCharactersSplitAfterTen) {
  Threads t;
  std::string subject(120, 'x');
  subject.replace(0, 12, "Hello World!");
  t.setHeading(subject);
  EXPECT_EQ(t.ALPHA.str(), "Hello Worl");
  EXPECT_EQ(t.BETA.str().size(), 90u);
  EXPECT_EQ(t.heading(), subject.substr(0, 100));
  t.setHeading("Short one");  // a shorter subject clears what was there
  EXPECT_EQ(t.heading(), "Short one");
  EXPECT_TRUE(t.BETA.blank());
  // A blank at the end of the first ten characters stays inside the subject.
  t.setHeading("Ten chars and more");
  EXPECT_EQ(t.heading(), "Ten chars and more");
}

TEST(ArchiveRecords, NewControlRecordHasAZeroSettingsBlock) {
  Control c;
  for (char ch : c.CTLFIELD.bytes) ASSERT_EQ(ch, '\0');
}

TEST(ArchiveRecords, TwoDatabaseNamesDifferingOnlyInCaseCannotBothExist) {
  qb::test::TempArchive a;
  Session& s = a.session();
  ASSERT_NE(a.addDatabase(KindForum, "Ham Radio Forum"), 0u);
  a.ui.entries.clear();
  OP_CLOSE(s, OpOpen, {FileNo::Forums});
  auto& f = s.Forums();
  f.clear();
  f.rec.ID = 999999;
  f.rec.DIRNUMBER = 77;
  f.rec.DESCRIPTION = "HAM radio FORUM";
  EXPECT_EQ(UppDat(s, f, UppAdd, ErrRelease), 0);
  ASSERT_EQ(a.ui.entries.size(), 1u);
  EXPECT_EQ(a.ui.entries[0].text, "Record add error!\r\nA record with identical key already exists!");
  EXPECT_EQ(f.count(), 1);
  OP_CLOSE(s, OpClose, {FileNo::Forums});
}

TEST(ArchiveRecords, HeadersReadNewestFirstByNumberAndByDate) {
  qb::test::TempArchive a;
  Session& s = a.session();
  a.addDatabase(KindForum, "Forum");
  OP_CLOSE(s, OpOpen, {FileNo::MsgNmbr});
  auto& m = s.MsgNmbr();
  struct { uint32_t no; int32_t date; } rows[] = {{5, 100}, {9, 100}, {7, 300}, {1, 200}};
  for (auto r : rows) {
    m.clear();
    m.rec.MSGNUMBER = r.no;
    m.rec.DATE = r.date;
    ASSERT_EQ(UppDat(s, m, UppAdd, ErrRelease), 1);
  }
  std::vector<uint32_t> byId, byDate;
  m.set(MsgNmbr::IdKey);
  while (m.next() == Err::Ok) byId.push_back(m.rec.MSGNUMBER);
  m.set(MsgNmbr::DateKey);
  while (m.next() == Err::Ok) byDate.push_back(m.rec.MSGNUMBER);
  EXPECT_EQ(byId, (std::vector<uint32_t>{9, 7, 5, 1}));
  EXPECT_EQ(byDate, (std::vector<uint32_t>{7, 1, 9, 5}));
  OP_CLOSE(s, OpClose, {FileNo::MsgNmbr});
}
