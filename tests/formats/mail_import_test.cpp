// End-to-end imports of the mail samples: every format's sample goes
// through the import run into the mail database of its owner and is checked
// for direction, partner, recipient type, carbon copies, the texts of the
// MIME variants and encodings, and the duplicate that is not stored twice.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "formats/mail_test_support.h"
#include "text/datetime.h"

namespace qb::mailtest {
namespace {

struct Format {
  const char* type;
  const char* dir;
};

class SampleImport : public ::testing::TestWithParam<Format> {};

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

const StoredMail* on(const std::vector<StoredMail>& ms, int day) {
  for (auto& m : ms)
    if (m.mail.DATE == text::dayNumber(1998, 3, day)) return &m;
  return nullptr;
}

std::vector<std::string> copiesOf(const StoredMail& m) {
  std::vector<std::string> out;
  for (auto& c : m.copies) out.push_back(c.R_CISADRESS.str() + " " + c.RECIPTYPE.str());
  std::sort(out.begin(), out.end());
  return out;
}

TEST_P(SampleImport, DirectionPartnersCopiesAndTexts) {
  const Format f = GetParam();
  const bool eudora = std::string(f.type) == "Eudora";
  // Mail of their own: Eudora's minutes, the forward of the formats that
  // keep mail one after another.
  const std::string dir = f.dir;
  const unsigned own = eudora || dir == "becky" || dir == "agent" || dir == "generic1" ? 1 : 0;
  MailArchive a;
  import::RunStats st = a.import(f.type, sampleDir(f.dir));
  EXPECT_FALSE(st.failed);
  EXPECT_EQ(st.workRecords, 8u + own);
  EXPECT_EQ(st.imported, 7u + own);
  EXPECT_EQ(st.duplicates, 1u);  // the copy of the first mail
  EXPECT_EQ(st.skipped, 0u);

  auto ms = a.mails();
  ASSERT_EQ(ms.size(), 7u + own);

  // Received, with two carbon copies; its second copy was not stored again.
  const StoredMail* m1 = ms[0].mail.TIME < ms[1].mail.TIME ? &ms[0] : &ms[1];
  EXPECT_EQ(m1->mail.SUBJECT.str(), "Garden club meeting");
  EXPECT_EQ(m1->mail.TIME, text::timeValue(9, 15, 0));  // cut to the minute
  EXPECT_EQ(m1->fromAddress, "hilde.marwick@example.com");
  EXPECT_EQ(m1->from, "Hilde Marwick");
  EXPECT_EQ(m1->toAddress, "robin@example.com");
  EXPECT_EQ(m1->partner, "Marwick");
  EXPECT_EQ(m1->mail.RECIPTYPE.str(), "TO");
  EXPECT_EQ(m1->mail.CCR, 1);
  EXPECT_EQ(copiesOf(*m1), (std::vector<std::string>{"ida.voss@example.org CC", "tomas@example.net CC"}));
  EXPECT_TRUE(contains(m1->text, "Could you bring the spade?"));
  if (eudora) {
    // A line that looks like Eudora's separator is text of its mail.
    const StoredMail* minutes = on(ms, 8);
    ASSERT_TRUE(minutes);
    EXPECT_EQ(minutes->mail.SUBJECT.str(), "Minutes of the garden club");
    EXPECT_TRUE(contains(minutes->text, "\r\nFrom ???@??? Sun Mar 01 10:00:00 1998\r\nIt is part")) << minutes->text;
  } else if (own) {
    // A quoted header block of two kinds is text of its mail.
    const StoredMail* forward = on(ms, 9);
    ASSERT_TRUE(forward);
    EXPECT_EQ(forward->mail.SUBJECT.str(), "Fwd: Garden club meeting");
    EXPECT_EQ(forward->partner, "Voss");
    EXPECT_TRUE(contains(forward->text,
                         "From: Hilde Marwick <hilde.marwick@example.com>\r\nSubject: Garden club meeting\r\n\r\n> Ida"))
        << forward->text;
  }

  // The owner's answer: sent, the partner is the recipient.
  const StoredMail* m2 = m1 == &ms[0] ? &ms[1] : &ms[0];
  EXPECT_EQ(m2->fromAddress, "robin@example.com");
  EXPECT_EQ(m2->from, "Robin Quayle");
  EXPECT_EQ(m2->toAddress, "hilde.marwick@example.com");
  EXPECT_EQ(m2->partner, "Marwick");
  EXPECT_EQ(m2->mail.CCR, 0);

  // Sent from an alternative address: filed under the owner's main address.
  const StoredMail* m3 = on(ms, 3);
  ASSERT_TRUE(m3);
  EXPECT_EQ(m3->fromAddress, "robin@example.com");
  EXPECT_EQ(m3->toAddress, "tomas@example.net");
  EXPECT_EQ(m3->partner, "Brandt");
  EXPECT_TRUE(contains(m3->text, "the café bill is already paid. Total = 42.")) << m3->text;

  // Plain part first; ISO-8859-1 encoded subject.
  const StoredMail* m4 = on(ms, 4);
  ASSERT_TRUE(m4);
  EXPECT_EQ(m4->mail.SUBJECT.str(), "Grüße aus München");
  EXPECT_EQ(m4->partner, "Voss");
  EXPECT_TRUE(contains(m4->text, "Greetings from Munich"));
  EXPECT_FALSE(contains(m4->text, "<"));
  if (!eudora) {
    EXPECT_TRUE(contains(m4->text, "the plain part comes first."));
    EXPECT_FALSE(contains(m4->text, "the HTML part"));
  }

  // HTML part first, converted; ISO-8859-2 encoded name and subject keep
  // their Polish letters.
  const StoredMail* m5 = on(ms, 5);
  ASSERT_TRUE(m5);
  EXPECT_EQ(m5->from, "Paweł Nowak");
  EXPECT_EQ(m5->mail.SUBJECT.str(), "Wizyta w Łodzi");
  EXPECT_TRUE(contains(m5->text, "Visit to the botanical garden next week.\r\nSee the plan [http://www.example.net/garden]"))
      << m5->text;
  EXPECT_FALSE(contains(m5->text, "not taken"));

  // Mixed with an attachment; the owner only among the copies.
  const StoredMail* m6 = on(ms, 6);
  ASSERT_TRUE(m6);
  EXPECT_EQ(m6->mail.RECIPTYPE.str(), "CC");
  EXPECT_EQ(m6->partner, "Brandt");
  EXPECT_EQ(copiesOf(*m6), (std::vector<std::string>{"garden-club@example.com TO"}));
  EXPECT_TRUE(contains(m6->text, "Beds one to four get tulips, the rest gets herbs.")) << m6->text;
  EXPECT_FALSE(contains(m6->text, "JVBERi"));  // no attachment data
  EXPECT_FALSE(contains(m6->text, "Content-Type"));

  // A Base64 body, readable; a further recipient of a received mail.
  const StoredMail* m7 = on(ms, 7);
  ASSERT_TRUE(m7);
  EXPECT_TRUE(contains(m7->text, "Base64 bodies are decoded by some programs only.\r\nThis one came that way."))
      << m7->text;
  EXPECT_EQ(copiesOf(*m7), (std::vector<std::string>{"ida.voss@example.org TO"}));
}

INSTANTIATE_TEST_SUITE_P(
    Mail, SampleImport,
    ::testing::Values(Format{"Eudora", "eudora"}, Format{"Netscape Mail", "netscape"}, Format{"IE Mail", "iemail"},
                      Format{"Outlook Express 4 Mail", "oe4mail"}, Format{"Outlook Express 5 Mail", "oe5mail"},
                      Format{"Pegasus", "pegasus"}, Format{"Becky Mail", "becky"}, Format{"Agent Mail", "agent"},
                      Format{"Generic Mail Type 1", "generic1"}, Format{"Generic Mail Type 2", "generic2"},
                      Format{"AOL", "aol"}),
    [](const ::testing::TestParamInfo<Format>& i) { return std::string(i.param.dir); });

TEST(MailImport, ImportingTheSameMailboxAgainStoresNothingNew) {
  MailArchive a;
  a.import("Generic Mail Type 1", sampleDir("generic1"));
  import::RunStats again = a.import("Generic Mail Type 1", sampleDir("generic1"));
  EXPECT_EQ(again.imported, 0u);
  EXPECT_EQ(again.duplicates, 9u);
  EXPECT_EQ(a.mails().size(), 8u);  // with its own forward
}

TEST(MailImport, TheFormatsShareTheirMailWhichIsStoredOnce) {
  // The samples of every format in one mail database, as the demo archive
  // holds them: the mail they share is stored once, each mail of a
  // format's own once.
  MailArchive a;
  for (auto [type, dir] : {std::pair{"Eudora", "eudora"}, {"Netscape Mail", "netscape"}, {"IE Mail", "iemail"},
                           {"Outlook Express 4 Mail", "oe4mail"}, {"Outlook Express 5 Mail", "oe5mail"},
                           {"Pegasus", "pegasus"}, {"Becky Mail", "becky"}, {"Agent Mail", "agent"},
                           {"Generic Mail Type 1", "generic1"}, {"Generic Mail Type 2", "generic2"}, {"AOL", "aol"}})
    EXPECT_FALSE(a.import(type, sampleDir(dir)).failed) << type;
  // No mail twice: one sender, subject and minute are one mail.
  std::map<std::string, int> seen;
  for (auto& m : a.mails())
    ++seen[m.fromAddress + " " + m.mail.SUBJECT.str() + " " + std::to_string(m.mail.DATE) + " " +
           std::to_string(m.mail.TIME)];
  for (auto& [mail, n] : seen) EXPECT_EQ(n, 1) << mail;
  // 7 shared, Eudora's plan with the drawing and minutes, the forward.
  EXPECT_EQ(a.mails().size(), 10u);
}

TEST(MailImport, WithoutAMailDatabaseEveryMailIsSkipped) {
  MailArchive a;
  import::ImportRequest req;
  req.typeName = "Pegasus";
  req.selectionMethod = 1;
  req.sourcePath = sampleDir("pegasus");
  req.mailDatabase = "No Such Mail";
  import::ImportRun run(a.archive.session(), req);
  while (run.step()) {
  }
  EXPECT_EQ(run.stats().skipped, 8u);
  EXPECT_EQ(run.stats().imported, 0u);
  EXPECT_TRUE(a.mails().empty());
}

}  // namespace
}  // namespace qb::mailtest
