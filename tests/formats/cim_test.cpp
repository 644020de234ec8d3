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
  // Each layout's sample forum: a thread of three and a message of another
  // section, each message showing one of the address and text forms.
  struct Case {
    const char* type;
    const char* dir;
    const char* forum;
    uint32_t base;
    int year, month, day;
    uint32_t section;
    const char* sectionName;
    const char* subject;
    const char* rootName;
    const char* rootAddress;
    const char* rootText;
    const char* replyAddress;
    const char* replyText;
    const char* thirdName;
    const char* thirdAddress;
    const char* thirdWord;
    const char* otherSubject;
    const char* otherAddress;
    uint32_t otherSection;
  };
  const Case cases[] = {
      {"WinCIM", "cim/wincim", "STARGAZE", 990000, 1996, 1, 14, 4, "Observing", "Charts for variable stars",
       "Greta Lindqvist", "72345,1012",
       "Where do you get charts for variable stars?\r\nThe ones in my atlas are too coarse.\r\n\r\nGreta",
       "71234,567", "The association sends them for a stamped envelope.\r\nAsk for the ones with the comparison stars marked.",
       "Sven Åkesson", "75432,210", "café", "Plössl or orthoscopic?", "amelie@example.fr", 6},
      {"DOSCIM", "cim/doscim", "HOMEBREW", 920000, 1995, 5, 8, 3, "Hops", "Hops for a pale ale", "Ilse Brandt",
       "76002,77", "Which hops do you use for a pale ale?\r\nThe shop here sells only two kinds.\r\n\r\nIlse",
       "70001,234", "Cascade if you can get it.\r\nOtherwise any hop that smells of citrus.", "Tomás Brandt",
       "77777,123", "Königstraße", "Cider from Gravensteiner Äpfel", "dana@example.org", 5},
      {"CSNav", "cim/csnav", "NOTES", 930000, 1997, 4, 2, 1, "Club news", "Open night at the observatory",
       "Marta Oyelaran", "76110,45",
       "The observatory is open to the public on the 19th.\r\nWho can help with the visitors?\r\n\r\nMarta",
       "75020,331", "I can take the first shift.\r\nI will bring the red torches.", "Sven Åkesson", "75432,210",
       "crêpes", "Hale-Bopp lecture in Besançon", "amelie@example.fr", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    Harness h;
    convertDir(h, c.type, c.dir);
    auto forum = h.ctx.of(c.forum);
    ASSERT_EQ(forum.size(), 4u);  // the damaged file and the text file yield nothing

    const Work* first = h.ctx.number(c.base + 1);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->nhr.REFNUMBER, 0u);
    EXPECT_EQ(first->nhr.SECTIONNUMBER, c.section);
    EXPECT_EQ(first->nhr.SEC_DESCRIPTION.str(), c.sectionName);
    EXPECT_EQ(first->nhr.HEADING.str(), c.subject);
    EXPECT_EQ(first->nhr.DATE, text::dayNumber(c.year, c.month, c.day));  // stored as years since 1970
    EXPECT_EQ(first->nhr.S_NAME.str(), c.rootName);
    EXPECT_EQ(first->nhr.S_CISADRESS.str(), c.rootAddress);  // stored with a dot
    // "@l" text: LF lines, blanks before a line end dropped, ends stripped.
    EXPECT_EQ(first->text, c.rootText);

    const Work* reply = h.ctx.number(c.base + 2);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->nhr.REFNUMBER, c.base + 1);
    EXPECT_EQ(reply->nhr.S_CISADRESS.str(), c.replyAddress);  // square brackets removed
    EXPECT_EQ(reply->nhr.R_NAME.str(), c.rootName);
    EXPECT_EQ(reply->text, c.replyText);

    const Work* third = h.ctx.number(c.base + 3);
    ASSERT_TRUE(third);
    EXPECT_EQ(third->nhr.REFNUMBER, c.base + 2);
    EXPECT_EQ(third->nhr.S_NAME.str(), c.thirdName);  // quotes removed, DOS text translated to UTF-8
    EXPECT_EQ(third->nhr.S_CISADRESS.str(), c.thirdAddress);
    EXPECT_NE(third->text.find(c.thirdWord), std::string::npos);

    const Work* other = h.ctx.number(c.base + 10);
    ASSERT_TRUE(other);
    EXPECT_EQ(other->nhr.HEADING.str(), c.otherSubject);
    EXPECT_EQ(other->nhr.S_CISADRESS.str(), c.otherAddress);
    EXPECT_EQ(other->nhr.SECTIONNUMBER, c.otherSection);
  }
}

TEST(CimFiles, MailWithSeveralRecipientsInAndOut) {
  // Each layout's sample mail: received with copies, the owner's answer to
  // three, and a mail without recipients.
  struct Case {
    const char* type;
    const char* dir;
    const char* subject;
    const char* sender;
    int year, month, day, hour, minute, second;
    const char* text;
    const char* copyTo;
    const char* carbonCopy;
    const char* answerTo;
    const char* answerCopy;
    const char* blindCopy;
    const char* lonely;
    const char* lonelySender;
  };
  const Case cases[] = {
      {"WinCIM", "cim/wincim", "Star party in June", "greta@example.se", 1995, 5, 3, 9, 5, 30,
       "The star party is on the 21st.\r\nBring warm clothes.", "71234,567", "amelie@example.fr", "greta@example.se",
       "71234,567", "Sven Åkesson", "Club dues", "71234,567"},
      {"DOSCIM", "cim/doscim", "Messier marathon", "amelie@example.fr", 1996, 3, 9, 21, 10, 5,
       "We try all the Messier objects on the night of the 23rd.\r\nThe château has a dark field behind it.",
       "75432,210", "greta@example.se", "amelie@example.fr", "75432,210", "Harold Pennyworth",
       "Loan telescope returned", "72345,1012"},
      {"CSNav", "cim/csnav", "Hale-Bopp photographs", "jonas@example.de", 1997, 4, 6, 19, 45, 10,
       "My pictures of the comet are back from the lab.\r\nThe blue tail shows on every frame.", "76110,45",
       "76543,210", "jonas@example.de", "76110,45", "Greta Lindqvist", "Swap meet in May", "76543,210"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    Harness h;
    convertDir(h, c.type, c.dir);
    auto mail = h.ctx.of(kOwnerDb);
    ASSERT_EQ(mail.size(), 5u);  // one incoming with copies, three outgoing, one without recipients

    // Incoming, three recipients: one record with the owner as recipient and
    // three carbon copies; "Copy of:" is dropped from the subject.
    const Work* in = h.subject(c.subject);
    ASSERT_TRUE(in);
    EXPECT_EQ(in->nhr.MAILTYPE, 1);
    EXPECT_EQ(in->nhr.S_CISADRESS.str(), c.sender);
    EXPECT_EQ(in->nhr.R_NAME.str(), kOwnerDb);
    EXPECT_EQ(in->nhr.R_CISADRESS.str(), kOwnerId);
    EXPECT_EQ(in->nhr.RECIPTYPE.str(), "TO");
    EXPECT_EQ(in->nhr.DATE, text::dayNumber(c.year, c.month, c.day));
    EXPECT_EQ(in->nhr.TIME, text::timeValue(c.hour, c.minute, c.second));
    EXPECT_EQ(in->text, c.text);
    ASSERT_EQ(h.ctx.ccs.size(), 3u);
    for (auto& cc : h.ctx.ccs) EXPECT_EQ(cc.MAILID, in->nhr.REFNUMBER);
    EXPECT_EQ(h.ctx.ccs[0].R_CISADRESS.str(), kOwnerId);  // stored with a dot
    EXPECT_EQ(h.ctx.ccs[1].R_CISADRESS.str(), c.copyTo);
    EXPECT_EQ(h.ctx.ccs[2].R_CISADRESS.str(), c.carbonCopy);
    EXPECT_EQ(h.ctx.ccs[2].RECIPTYPE.str(), "CC");

    // Outgoing, three recipients: three records with three numbers.
    std::vector<const Work*> out;
    for (auto* w : mail)
      if (w->nhr.MAILTYPE == 2) out.push_back(w);
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0]->nhr.R_CISADRESS.str(), c.answerTo);
    EXPECT_EQ(out[0]->nhr.RECIPTYPE.str(), "TO");
    EXPECT_EQ(out[1]->nhr.R_CISADRESS.str(), c.answerCopy);
    EXPECT_EQ(out[1]->nhr.RECIPTYPE.str(), "CC");
    EXPECT_EQ(out[2]->nhr.R_NAME.str(), c.blindCopy);
    EXPECT_EQ(out[2]->nhr.RECIPTYPE.str(), "BC");
    EXPECT_NE(out[0]->nhr.MSGNUMBER, out[1]->nhr.MSGNUMBER);
    EXPECT_NE(out[1]->nhr.MSGNUMBER, out[2]->nhr.MSGNUMBER);
    for (auto* w : out) {
      EXPECT_EQ(w->nhr.S_NAME.str(), kOwnerDb);
      EXPECT_EQ(w->nhr.MSGNUMBER, w->nhr.REFNUMBER);
      EXPECT_EQ(w->nhr.HEADING.str(), "Re: " + std::string(c.subject));
    }

    // No recipients: the owner with the type "NN".
    const Work* lonely = h.subject(c.lonely);
    ASSERT_TRUE(lonely);
    EXPECT_EQ(lonely->nhr.RECIPTYPE.str(), "NN");
    EXPECT_EQ(lonely->nhr.S_CISADRESS.str(), c.lonelySender);
  }
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
