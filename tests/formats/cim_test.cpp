// The CIM message files: the samples of the three formats (written from the
// record layouts by samples/cim/make_cim_samples.py), the text codes and
// the address clean-up.
#include <gtest/gtest.h>

#include "formats/cis_binary_support.h"
#include "import/formats/cim/cim_file.h"
#include "import/formats/cim/cim_text.h"
#include "import/import_run.h"
#include "import/formats/shared/cis_identifier.h"
#include "text/datetime.h"

namespace qb::cistest {
namespace {

using import::testing::Work;

void convertDir(Harness& h, const std::string& type, const std::string& dir) {
  for (const auto& e : std::filesystem::directory_iterator(sample(dir))) h.convert(type, e.path().string());
}

TEST(CimFiles, ForumMessagesOfEveryLayout) {
  struct Case {
    const char* type;
    const char* dir;
    const char* forum;
    uint32_t base;
  };
  for (Case c : {Case{"WinCIM", "cim/wincim", "STARGAZE", 990000}, Case{"DOSCIM", "cim/doscim", "HOMEBREW", 920000},
                 Case{"CSNav", "cim/csnav", "NOTES", 930000}}) {
    SCOPED_TRACE(c.type);
    Harness h;
    convertDir(h, c.type, c.dir);
    auto forum = h.ctx.of(c.forum);
    ASSERT_EQ(forum.size(), 4u);  // the damaged file and the text file yield nothing

    const Work* first = h.ctx.number(c.base + 1);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->nhr.REFNUMBER, 0u);
    EXPECT_EQ(first->nhr.SECTIONNUMBER, 3u);
    EXPECT_EQ(first->nhr.SEC_DESCRIPTION.str(), "Telescopes");
    EXPECT_EQ(first->nhr.HEADING.str(), "Choosing a first telescope");
    EXPECT_EQ(first->nhr.DATE, text::dayNumber(1995, 3, 13));  // stored year byte 25
    EXPECT_EQ(first->nhr.S_NAME.str(), "Greta Lindqvist");
    EXPECT_EQ(first->nhr.S_CISADRESS.str(), "72345,1012");  // stored with a dot
    // "@l" text: LF lines, blanks before a line end dropped, ends stripped.
    EXPECT_EQ(first->text, "I am thinking of a small refractor.\r\nWhich mount would you suggest?\r\n\r\nGreta");

    const Work* reply = h.ctx.number(c.base + 2);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->nhr.REFNUMBER, c.base + 1);
    EXPECT_EQ(reply->nhr.S_CISADRESS.str(), "71234,567");  // square brackets removed
    EXPECT_EQ(reply->nhr.R_NAME.str(), "Greta Lindqvist");
    EXPECT_EQ(reply->text, "An alt-az mount is simplest.\r\nA Dobsonian gives the most aperture per pound.");

    const Work* third = h.ctx.number(c.base + 3);
    ASSERT_TRUE(third);
    EXPECT_EQ(third->nhr.S_NAME.str(), "Sven Åkesson");  // quotes removed, DOS text translated to UTF-8
    EXPECT_EQ(third->nhr.S_CISADRESS.str(), "75432,210");
    EXPECT_NE(third->text.find("café"), std::string::npos);

    const Work* other = h.ctx.number(c.base + 10);
    ASSERT_TRUE(other);
    EXPECT_EQ(other->nhr.HEADING.str(), "Plössl or orthoscopic?");
    EXPECT_EQ(other->nhr.S_CISADRESS.str(), "amelie@example.fr");
    EXPECT_EQ(other->nhr.SECTIONNUMBER, 5u);
  }
}

TEST(CimFiles, MailWithSeveralRecipientsInAndOut) {
  Harness h;
  convertDir(h, "WinCIM", "cim/wincim");
  auto mail = h.ctx.of(kOwnerDb);
  ASSERT_EQ(mail.size(), 5u);  // one incoming with copies, three outgoing, one without recipients

  // Incoming, three recipients: one record with the owner as recipient and
  // three carbon copies; "Copy of:" is dropped from the subject.
  const Work* in = h.subject("Star party in June");
  ASSERT_TRUE(in);
  EXPECT_EQ(in->nhr.MAILTYPE, 1);
  EXPECT_EQ(in->nhr.S_CISADRESS.str(), "greta@example.se");
  EXPECT_EQ(in->nhr.R_NAME.str(), kOwnerDb);
  EXPECT_EQ(in->nhr.R_CISADRESS.str(), kOwnerId);
  EXPECT_EQ(in->nhr.RECIPTYPE.str(), "TO");
  EXPECT_EQ(in->nhr.DATE, text::dayNumber(1995, 5, 3));
  EXPECT_EQ(in->nhr.TIME, text::timeValue(9, 5, 30));
  EXPECT_EQ(in->text, "The star party is on the 21st.\r\nBring warm clothes.");
  ASSERT_EQ(h.ctx.ccs.size(), 3u);
  for (auto& cc : h.ctx.ccs) EXPECT_EQ(cc.MAILID, in->nhr.REFNUMBER);
  EXPECT_EQ(h.ctx.ccs[0].R_CISADRESS.str(), "74321,1234");
  EXPECT_EQ(h.ctx.ccs[1].R_CISADRESS.str(), "71234,567");
  EXPECT_EQ(h.ctx.ccs[2].R_CISADRESS.str(), "amelie@example.fr");
  EXPECT_EQ(h.ctx.ccs[2].RECIPTYPE.str(), "CC");

  // Outgoing, three recipients: three records with three numbers.
  std::vector<const Work*> out;
  for (auto* w : mail)
    if (w->nhr.MAILTYPE == 2) out.push_back(w);
  ASSERT_EQ(out.size(), 3u);
  EXPECT_EQ(out[0]->nhr.R_CISADRESS.str(), "greta@example.se");
  EXPECT_EQ(out[0]->nhr.RECIPTYPE.str(), "TO");
  EXPECT_EQ(out[1]->nhr.R_CISADRESS.str(), "71234,567");
  EXPECT_EQ(out[1]->nhr.RECIPTYPE.str(), "CC");
  EXPECT_EQ(out[2]->nhr.R_NAME.str(), "Sven Åkesson");
  EXPECT_EQ(out[2]->nhr.RECIPTYPE.str(), "BC");
  EXPECT_NE(out[0]->nhr.MSGNUMBER, out[1]->nhr.MSGNUMBER);
  EXPECT_NE(out[1]->nhr.MSGNUMBER, out[2]->nhr.MSGNUMBER);
  for (auto* w : out) {
    EXPECT_EQ(w->nhr.S_NAME.str(), kOwnerDb);
    EXPECT_EQ(w->nhr.MSGNUMBER, w->nhr.REFNUMBER);
  }

  // No recipients: the owner with the type "NN".
  const Work* dues = h.subject("Club dues");
  ASSERT_TRUE(dues);
  EXPECT_EQ(dues->nhr.RECIPTYPE.str(), "NN");
  EXPECT_EQ(dues->nhr.S_CISADRESS.str(), "71234,567");
}

TEST(CimFiles, KindsNotSelectedOrNoMailDatabaseAreSkipped) {
  Harness h;
  h.ctx.req.kinds = import::KindForum;
  convertDir(h, "WinCIM", "cim/wincim");
  EXPECT_TRUE(h.ctx.of(kOwnerDb).empty());
  EXPECT_EQ(h.ctx.skips, 3);

  h.reset();
  h.ctx.req.kinds = import::KindAll;
  h.ctx.req.mailDatabase = "Nobody";
  convertDir(h, "WinCIM", "cim/wincim");
  EXPECT_EQ(h.ctx.skips, 3);
  EXPECT_EQ(h.ctx.work.size(), 4u);

  // Already imported forum messages are skipped unless re-import is allowed.
  h.reset();
  h.ctx.imported.insert({h.ctx.dbs["STARGAZE"].id, 990001});
  convertDir(h, "WinCIM", "cim/wincim");
  EXPECT_FALSE(h.ctx.number(990001));
  h.reset();
  h.ctx.req.allowReimport = true;
  h.ctx.imported.insert({h.ctx.dbs["STARGAZE"].id, 990001});
  convertDir(h, "WinCIM", "cim/wincim");
  EXPECT_TRUE(h.ctx.number(990001));
}

TEST(CimFiles, SignatureTypeAndAbandonedRecipientBlock) {
  import::cim::CimMessage m;
  EXPECT_EQ(import::cim::readCimFile("", m), import::cim::CimRead::NotCim);
  EXPECT_EQ(import::cim::readCimFile(std::string("VIS000\x1A\x05\x00\x07", 10), m), import::cim::CimRead::NotCim);
  std::string mail = slurp(sample("cim/wincim/MAIL01.MSG"));
  ASSERT_EQ(import::cim::readCimFile(mail, m), import::cim::CimRead::Ok);
  EXPECT_EQ(m.recipients.size(), 3u);
  // The byte that marks the recipient block as abandoned: after the
  // fixed fields, both "TO" lists and the short that follows them.
  for (std::size_t i = 0; i < mail.size(); ++i) {
    std::string changed = mail;
    if (changed[i] != '\0') continue;
    changed[i] = 4;
    if (import::cim::readCimFile(changed, m) == import::cim::CimRead::Abandoned) return;
  }
  ADD_FAILURE() << "no byte abandons the mail";
}

TEST(CimText, CodesAndLineEnds) {
  using import::cim::convertCimText;
  using text::StripKind;
  // Paragraph rule: "@b" removed, LF after it becomes CR LF, CR LF stays.
  EXPECT_EQ(convertCimText("One.@b\nTwo.@b\r\nThree.@b", StripKind::Forum), "One.\r\nTwo.\r\nThree.");
  // Line-feed rule when the paragraph rule changes nothing.
  EXPECT_EQ(convertCimText("a   \nb\n\n\nc\n", StripKind::Forum), "a\r\nb\r\n\r\n\r\nc");
  // "@l": the line-feed rule first.
  EXPECT_EQ(convertCimText("@la\nb", StripKind::Forum), "a\r\nb");
  // Nothing to convert: the text stays as it is, ends included.
  EXPECT_EQ(convertCimText("plain text ", StripKind::Forum), "plain text ");
  // A mail that begins with a gateway's Internet header loses it.
  EXPECT_EQ(convertCimText("From: x@example.com\nSubject: hi\n\nBody line\n", StripKind::Mail), "Body line");
  EXPECT_EQ(convertCimText("From: x@example.com\nSubject: hi\n\nBody line\n", StripKind::Forum),
            "From: x@example.com\r\nSubject: hi\r\n\r\nBody line");
}

TEST(CimAddress, CleanUp) {
  using import::cleanCisAddress;
  using import::cleanCisName;
  EXPECT_EQ(cleanCisAddress("72345.1012"), "72345,1012");
  EXPECT_EQ(cleanCisAddress("72345. 1012"), "72345,1012");
  EXPECT_EQ(cleanCisAddress("72345, 1012"), "72345,1012");
  EXPECT_EQ(cleanCisAddress("[72345,1012]"), "72345,1012");
  EXPECT_EQ(cleanCisAddress("INTERNET:joe@example.com"), "joe@example.com");
  EXPECT_EQ(cleanCisAddress(">internet joe@example.com"), "joe@example.com");
  EXPECT_EQ(cleanCisAddress("joe.smith@example.com"), "joe.smith@example.com");  // dots of Internet addresses stay
  EXPECT_EQ(cleanCisAddress(""), "");
  EXPECT_EQ(cleanCisName("\"Joe Smith\"", "1,2"), "Joe Smith");
  EXPECT_EQ(cleanCisName("joe@example.com", "joe@example.com"), "");
  EXPECT_EQ(cleanCisName("Joe", "joe@example.com"), "Joe");
}

}  // namespace
}  // namespace qb::cistest

namespace qb::cistest {
namespace {

// The run's option to take every file of the directory: the reader keeps
// the CIM files whatever their names and passes over the others.
TEST(CimFiles, AllCimFilesOfADirectory) {
  Harness h;
  std::string dir = h.dir + "/saved";
  std::filesystem::create_directories(dir);
  std::filesystem::copy_file(sample("cim/wincim/STARGA01.THD"), dir + "/FIRST.SAV");
  std::filesystem::copy_file(sample("cim/wincim/MAIL01.MSG"), dir + "/LETTER");
  std::filesystem::copy_file(sample("cim/wincim/README.PLX"), dir + "/NOTES.TXT");
  auto run = [&](bool all) {
    import::ImportRequest req;
    req.typeName = "WinCIM";
    req.selectionMethod = 1;
    req.sourcePath = dir;
    req.mailDatabase = kOwnerDb;
    req.allCimFiles = all;
    import::ImportRun r(h.archive.session(), req);
    while (r.step()) {
    }
    return r.stats();
  };
  EXPECT_EQ(run(false).files, 0u);  // no name matches the default masks
  import::RunStats st = run(true);
  EXPECT_EQ(st.files, 3u);
  EXPECT_EQ(st.imported, 2u);
  EXPECT_FALSE(st.failed);
}

}  // namespace
}  // namespace qb::cistest
