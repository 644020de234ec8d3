// End-to-end imports of the capture samples into a fresh archive: forum
// messages with their threads, sections and persons, and mail with its
// direction and correspondents.

#include <gtest/gtest.h>

#include <set>

#include "capture_archive.h"
#include "import/formats/captures/capture_converter.h"
#include "text/datetime.h"

using namespace qb;
using namespace qb::capturetest;

namespace {

// Each format's samples hold the same messages under the same numbers: the
// same forum captured by several programs, which one archive stores once.
struct Format {
  const char* type;
  const char* dir;
};
const Format kFormats[] = {
    {"OzCIS", "ozcis"},
    {"OzWin I", "ozwin1"},
    {"OzWin II", "ozwin2"},
    {"TAPCIS 5.x", "tapcis5"},
    {"TAPCIS 6.x", "tapcis6"},
    {"AUTOSIG", "autosig"},
    {"GoldenCompass", "goldencompass"},
    {"NavCIS Save format", "navcis"},
};

std::string personName(const store::Person& p) {
  return p.FIRSTNAME.blank() ? p.LASTNAME.str() : p.FIRSTNAME.str() + " " + p.LASTNAME.str();
}

}  // namespace

class CaptureImport : public ::testing::TestWithParam<Format> {};

TEST_P(CaptureImport, ForumSamplesMakeThreadsSectionsAndPersons) {
  const Format& f = GetParam();
  CaptureArchive a;
  import::RunStats st = a.import(f.type, sampleDir(f.dir));
  EXPECT_FALSE(st.failed);
  EXPECT_EQ(st.workRecords, 8u);
  EXPECT_EQ(st.imported, 8u);
  EXPECT_EQ(st.skipped, 0u);
  EXPECT_TRUE(a.ui().saw(import::captures::kNotMessageFile));

  ForumContents star = a.forum("STARGAZE");
  ASSERT_NE(star.forum.ID, 0u);
  EXPECT_EQ(star.forum.TYPE, store::KindForum);
  EXPECT_EQ(star.forum.MSGCOUNT, 5u);
  ASSERT_EQ(star.headers.size(), 5u);

  // 210001 <- 210005 <- 210009 is one thread; 210020 replies to a message
  // that is not in the archive and starts its own.
  const auto* m1 = star.header(210001);
  const auto* m2 = star.header(210005);
  const auto* m3 = star.header(210009);
  const auto* orphan = star.header(210020);
  const auto* other = star.header(210031);
  ASSERT_TRUE(m1 && m2 && m3 && orphan && other);
  EXPECT_EQ(m2->THREADNUMBER, m1->THREADNUMBER);
  EXPECT_EQ(m3->THREADNUMBER, m1->THREADNUMBER);
  EXPECT_EQ(m3->REFNUMBER, 210005u);
  EXPECT_NE(orphan->THREADNUMBER, m1->THREADNUMBER);
  EXPECT_NE(other->THREADNUMBER, orphan->THREADNUMBER);
  EXPECT_EQ(star.threads.size(), 3u);
  ASSERT_TRUE(star.thread(m1->THREADNUMBER));
  EXPECT_EQ(star.thread(m1->THREADNUMBER)->MSGCOUNT, 3u);
  EXPECT_EQ(star.thread(m1->THREADNUMBER)->heading(), "Choosing a first telescope");

  ASSERT_EQ(star.sections.size(), 2u);
  ASSERT_TRUE(star.section(m1->SECSYSID) && star.section(orphan->SECSYSID));
  EXPECT_EQ(star.section(m1->SECSYSID)->SECTIONNUMBER, 2u);
  EXPECT_EQ(star.section(m1->SECSYSID)->DESCRIPTION.str(), "Telescopes");
  EXPECT_EQ(star.section(m1->SECSYSID)->MSGCOUNT, 3u);
  EXPECT_EQ(star.section(orphan->SECSYSID)->DESCRIPTION.str(), "Astrophotography");
  EXPECT_EQ(star.section(orphan->SECSYSID)->MSGCOUNT, 2u);

  std::set<std::string> names;
  for (auto& p : star.persons) names.insert(personName(p));
  EXPECT_TRUE(names.count("Harold Pennyworth") && names.count("Greta Lindqvist") &&
              names.count("Jonas Kettering") && names.count("Marta Oyelaran"));
  ASSERT_TRUE(star.person(m1->FROMID));
  EXPECT_EQ(star.person(m1->FROMID)->ADDRESS.str(), "71234,567");
  EXPECT_EQ(star.person(m1->FROMID)->FROMCOUNT, 2u);
  EXPECT_EQ(star.person(m2->FROMID)->TOCOUNT, 1u);

  ForumContents brew = a.forum("HOMEBREW");
  EXPECT_EQ(brew.forum.MSGCOUNT, 3u);
  EXPECT_EQ(brew.threads.size(), 2u);
  EXPECT_EQ(brew.sections.size(), 2u);

  // Importing the same files again stores nothing new.
  import::RunStats again = a.import(f.type, sampleDir(f.dir));
  EXPECT_EQ(again.imported, 0u);
  EXPECT_EQ(again.skipped, 8u);
  EXPECT_EQ(a.forum("STARGAZE").forum.MSGCOUNT, 5u);
}

TEST_P(CaptureImport, MailSamplesGoToTheMailDatabase) {
  const Format& f = GetParam();
  CaptureArchive a;
  a.createMailDatabase();
  import::RunStats st = a.import(f.type, sampleDir(std::string("mail/") + f.dir));
  EXPECT_FALSE(st.failed);
  EXPECT_EQ(st.imported, 5u);
  EXPECT_EQ(st.skipped, 0u);
  auto mails = a.mails();
  ASSERT_EQ(mails.size(), 5u);

  // Received from a forum member.
  EXPECT_EQ(mails[0].mail.SUBJECT.str(), "Club meeting");
  EXPECT_EQ(personName(mails[0].from), "Oskar Feldmann");
  EXPECT_EQ(mails[0].from.ADDRESS.str(), "76543,210");
  EXPECT_EQ(mails[0].mail.TOID, a.forumRecord(kOwnerDb).PERSONID);
  EXPECT_EQ(mails[0].text.rfind("Wilma,\r\n\r\nthe club meets", 0), 0u);

  // Received through the Internet gateway: the name loses its quotes, the
  // gateway's header is not part of the text.
  EXPECT_EQ(personName(mails[1].from), "Dana Whitlock");
  EXPECT_EQ(mails[1].from.ADDRESS.str(), "dana@example.org");
  EXPECT_EQ(mails[1].text.rfind("Hi Wilma,", 0), 0u) << mails[1].text;
  EXPECT_EQ(mails[1].text.find("Received:"), std::string::npos);

  // Sent by the owner.
  EXPECT_EQ(mails[2].mail.FROMID, a.forumRecord(kOwnerDb).PERSONID);
  EXPECT_EQ(personName(mails[2].to), "Oskar Feldmann");
  EXPECT_EQ(mails[2].mail.PAIRID, mails[0].mail.FROMID);

  // Sent (in TAPCIS, AUTOSIG and NavCIS files from the owner's second
  // address): the partner is the recipient.
  EXPECT_EQ(mails[3].mail.FROMID, a.forumRecord(kOwnerDb).PERSONID);
  EXPECT_EQ(mails[3].to.ADDRESS.str(), "dana@example.org");
  EXPECT_EQ(mails[3].mail.PAIRID, mails[3].mail.TOID);

  // Gateway mail in HTML is turned into text.
  EXPECT_EQ(mails[4].text.find("<b>"), std::string::npos);
  EXPECT_NE(mails[4].text.find("new dome"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Formats, CaptureImport, ::testing::ValuesIn(kFormats),
                         [](const auto& info) {
                           std::string n = info.param.dir;
                           return n;
                         });

TEST(CaptureImportMail, MailIsSkippedWithoutAMailDatabase) {
  CaptureArchive a;
  import::RunStats st = a.import("OzCIS", sampleDir("mail/ozcis"));
  EXPECT_EQ(st.imported, 0u);
  EXPECT_EQ(st.skipped, 5u);
}

TEST(CaptureImport, OneForumCapturedByEveryProgramIsStoredOnce) {
  // The samples of every format in one archive, as the demo archive holds
  // them: the same messages under the same numbers, each stored once.
  CaptureArchive a;
  unsigned imported = 0;
  for (const Format& f : kFormats) {
    import::RunStats st = a.import(f.type, sampleDir(f.dir));
    EXPECT_FALSE(st.failed) << f.type;
    imported += st.imported;
  }
  EXPECT_EQ(imported, 8u);  // by the first program; the others find them stored
  ForumContents star = a.forum("STARGAZE");
  EXPECT_EQ(star.forum.MSGCOUNT, 5u);
  EXPECT_EQ(star.headers.size(), 5u);
  EXPECT_EQ(star.threads.size(), 3u);
  EXPECT_EQ(a.forum("HOMEBREW").headers.size(), 3u);
}
