// Header lines, name texts, wrapping and character sets of the readers'
// export formats, by value.
#include <gtest/gtest.h>

#include "archive/records.h"
#include "export/export_formats.h"
#include "export/export_sink.h"
#include "text/datetime.h"
#include "text/unicode.h"

namespace {

using namespace qb::exporting;
using qb::store::KindForum;
using qb::store::KindMail;
using qb::store::KindNewsgroup;
using qb::text::dayNumber;
using qb::text::timeValue;

ExportMessage forumMessage(uint32_t ref) {
  ExportMessage m;
  m.kind = KindForum;
  m.number = 4711;
  m.ref = ref;
  m.date = dayNumber(1997, 3, 5);
  m.subject = "Telescope mirrors";
  m.from = {"Quayle", "Robin", "76543,210"};
  m.to = {"All", "", ""};
  m.sectionNumber = 7;
  m.sectionDesc = "Optics";
  m.database = "STARGAZE";
  m.text = "First line\r\nSecond line";
  return m;
}

ExportMessage mailMessage() {
  ExportMessage m;
  m.kind = KindMail;
  m.number = 250123;
  m.date = dayNumber(1997, 3, 5);  // a Wednesday
  m.time = timeValue(9, 5, 3);
  m.subject = "Lunch";
  m.from = {"Quayle", "Robin", "robin@example.com"};
  m.to = {"Thornbury", "Wilma", "74321,1234"};
  m.text = "See you.";
  return m;
}

TEST(ExportHeaders, ForumTapcisWritesTheReplyIntoTheSubject) {
  auto reply = headerLines(forumMessage(4700), FormatTapcis, false);
  ASSERT_EQ(reply.size(), 5u);
  EXPECT_EQ(reply[0], "#: 4711 S7/Optics  [STARGAZE]");
  EXPECT_EQ(reply[1], "    05-Mar-97 00:00:00 ");
  EXPECT_EQ(reply[2], "Sb: #4700-Telescope mirrors");
  EXPECT_EQ(reply[3], "Fm: Robin Quayle 76543,210");
  EXPECT_EQ(reply[4], "To: All ");
  EXPECT_EQ(headerLines(forumMessage(0), FormatTapcis, false)[2], "Sb: Telescope mirrors");
}

TEST(ExportHeaders, ForumOzWinNamesTheReferenceInElevenColumns) {
  auto l = headerLines(forumMessage(4700), FormatOzWin, false);
  ASSERT_EQ(l.size(), 6u);
  EXPECT_EQ(l[0], "#: 4711 S7/Optics  (CIS:STARGAZE)");
  EXPECT_EQ(l[2], "Sb: Telescope mirrors");
  EXPECT_EQ(l[5], "Replies:      TID:           Par:4700       Chd:           Sib:");
  EXPECT_EQ(headerLines(forumMessage(0), FormatOzWin, false)[5],
            "Replies:      TID:           Par:           Chd:           Sib:");
}

TEST(ExportHeaders, SingleMessageHeaderOfAForumMessage) {
  auto l = singleHeaderLines(forumMessage(4700));
  EXPECT_EQ(l[3], "Date: 05-Mar-97");
  EXPECT_EQ(l[4], "Forum: STARGAZE/07 Optics");
  EXPECT_EQ(l[5], "MsgNo: 4711 (reply to 4700)");
}

TEST(ExportHeaders, NewsgroupArticleInUnixNews) {
  ExportMessage m = forumMessage(0);
  m.kind = KindNewsgroup;
  m.database = "comp.lang.c";
  m.messageId = "<a1@example.com>";
  m.from = {"Quayle", "", "robin@example.com"};
  auto l = headerLines(m, FormatUnixNews, false);
  ASSERT_EQ(l.size(), 6u);
  EXPECT_EQ(l[0], "From ???@??? Wed Mar 05 00:00:00 1997");
  EXPECT_EQ(l[1], "From: Quayle <robin@example.com>");
  EXPECT_EQ(l[3], "Date: 05-Mar-1997 00:00:00 ");
  m.ref = 12;
  m.refId = "<a0@example.com>";
  EXPECT_EQ(headerLines(m, FormatUnixNews, false).back(), "References: <a0@example.com>");
}

TEST(ExportHeaders, MailFormatsByDirection) {
  ExportMessage m = mailMessage();
  auto in = headerLines(m, FormatEudora, false);
  ASSERT_EQ(in.size(), 5u);
  EXPECT_EQ(in[0], "From ???@??? Wed Mar 05  9:05:03 1997");
  EXPECT_EQ(in[1], "Date: Wed, 05 Mar 1997 09:05:03");  // the hour with two digits
  EXPECT_EQ(in[2], "From: Robin Quayle <robin@example.com>");
  EXPECT_EQ(in[3], "To: Wilma Thornbury <74321.1234@compuserve.com>");
  auto out = headerLines(m, FormatEudora, true);
  ASSERT_EQ(out.size(), 4u);  // sent mail carries no Date line
  EXPECT_EQ(out[1], "To: Wilma Thornbury <74321.1234@compuserve.com>");

  auto g1 = headerLines(m, FormatGeneric1, false);
  EXPECT_EQ(g1[0], "From: Robin Quayle <robin@example.com>");
  EXPECT_EQ(g1[2], "Subject: Lunch");
  auto g2 = headerLines(m, FormatGeneric2, false);
  EXPECT_EQ(g2[0], "From ???@??? Wed Mar 05  9:05:03 1997");
  EXPECT_EQ(g2.size(), 5u);

  auto tap = headerLines(m, FormatTapcis, false);
  EXPECT_EQ(tap[0], "#: 250123 S0/CompuServe Mail  [MAIL]");
  EXPECT_EQ(tap[1], "    05-Mar-97  09:05:03");
  EXPECT_EQ(tap[3], "Fm: Robin Quayle > INTERNET:robin@example.com");
  EXPECT_EQ(tap[4], "To: Wilma Thornbury 74321,1234");

  auto ozIn = headerLines(m, FormatOzWin, false);
  EXPECT_EQ(ozIn[0], "Date:  05-Mar-97 09:05:03  MsgID:             ToID: ");
  EXPECT_EQ(ozIn[1], "From:  Robin Quayle\u00B3>INTERNET:robin@example.com");
  auto ozOut = headerLines(m, FormatOzWin, true);
  EXPECT_EQ(ozOut[0], "Date:  05-Mar-97 09:05:03  MsgID: OUTBOX");
  EXPECT_EQ(ozOut[1], "MgTo:  Wilma Thornbury 74321,1234");
}

TEST(ExportHeaders, NameTexts) {
  EXPECT_EQ(nameText({"", "", "76543,210"}, NameUse::Forum), "76543,210");
  EXPECT_EQ(nameText({"Quayle", "", "76543,210"}, NameUse::Forum), "Quayle 76543,210");
  // a first name without a last name counts as no name
  EXPECT_EQ(nameText({"", "Robin", "r@x.org"}, NameUse::Internet), "r@x.org");
  EXPECT_EQ(nameText({"", "", "r@x.org"}, NameUse::Tapcis), "INTERNET:r@x.org");
  EXPECT_EQ(nameText({"Quayle", "", "r@x.org"}, NameUse::OzWinReceiver), "Quayle >INTERNET:r@x.org");
  // "Name Unknown " is dropped, then the brackets around what is left
  EXPECT_EQ(nameText({"Unknown", "Name", "r@x.org"}, NameUse::Internet), "r@x.org");
}

TEST(ExportText, WrapColumnAndBlanks) {
  EXPECT_EQ(wrapLine("abcde fghij", 11), (std::vector<std::string>{"abcde fghij"}));
  EXPECT_EQ(wrapLine("abcde fghijk", 11), (std::vector<std::string>{"abcde", "fghijk"}));
  EXPECT_EQ(wrapLine("abcd  fghijk", 11), (std::vector<std::string>{"abcd", "fghijk"}));
  EXPECT_EQ(wrapLine("abcdefghijklmnop", 5), (std::vector<std::string>{"abcde", "fghij", "klmno", "p"}));
}

TEST(ExportText, MessageLayoutWithWrapAndHardReturns) {
  ExportMessage m = mailMessage();
  m.text = "one two three\r\nfour";
  EXPECT_EQ(classicMessageText(m, FormatGeneric1, false, true, 8),
            "From: Robin Quayle <robin@example.com>\r\nDate: Wed, 05 Mar 1997 09:05:03\r\nSubject: Lunch\r\n"
            "To: Wilma Thornbury <74321.1234@compuserve.com>\r\n\r\none two\r\nthree\r\nfour\r\n\r\n");
  const std::string hard = classicMessageText(m, FormatGeneric1, false, false, 8);
  EXPECT_NE(hard.find("\r\n\r\none two three\r\nfour\r\n\r\n"), std::string::npos);
}

TEST(ExportText, CharacterSetsOfTheFormats) {
  ExportMessage m = mailMessage();
  m.subject = "Caf\u00e9 \u2026 \u20ac \u4e2d";  // é … € and a character neither set has
  m.text = "na\u00efve";
  // Windows-1252 for the mailbox formats
  const std::string eudora = classicMessageText(m, FormatEudora, false, false, 78);
  EXPECT_NE(eudora.find("Subject: Caf\xe9 \x85 \x80 ?\r\n"), std::string::npos);
  EXPECT_NE(eudora.find("na\xefve"), std::string::npos);
  // DOS code page 437 for TAPCIS: é 0x82, … as the bullet 0xF9, ï 0x8B
  const std::string tapcis = classicMessageText(m, FormatTapcis, false, false, 78);
  EXPECT_NE(tapcis.find("Sb: Caf\x82 \xf9 E ?\r\n"), std::string::npos);
  EXPECT_NE(tapcis.find("na\x8bve"), std::string::npos);
  // the OzWin vertical line is the byte 0xB3
  EXPECT_NE(classicMessageText(m, FormatOzWin, false, false, 78).find("Robin Quayle\xb3>INTERNET:"), std::string::npos);
}

TEST(ExportText, OlderTextsInWindows1252PassThrough) {
  // not valid UTF-8: an archive text of an older version, taken as Windows-1252
  EXPECT_EQ(qb::text::fromUtf8("Caf\xe9", "windows-1252"), "Caf\xe9");
  EXPECT_EQ(qb::text::archiveUtf8("Caf\xe9"), "Caf\u00e9");
  std::size_t lost = 0;
  EXPECT_EQ(qb::text::fromUtf8("\u4e2d\u00e9", "windows-1252", &lost), "?\xe9");
  EXPECT_EQ(lost, 1u);
}

TEST(ExportFormats, ListsNumbersAndDefaultNames) {
  EXPECT_EQ(formatNumber(KindMail, "generic mail type 2"), FormatGeneric2);
  EXPECT_EQ(formatNumber(KindNewsgroup, "Unix News"), FormatUnixNews);
  EXPECT_EQ(formatNumber(KindForum, "Eudora"), 0);
  EXPECT_EQ(formatNumber(KindForum, "mbox"), FormatMbox);
  std::string in, out;
  defaultFileNames(KindForum, FormatOzWin, "  STARGAZE FORUM ", in, out);
  EXPECT_EQ(in, "STARGAZE.SAV");
  defaultFileNames(KindMail, FormatOzWin, "x", in, out);
  EXPECT_EQ(in + "|" + out, "CISMAIL.IN|CISMAIL.OUT");
  defaultFileNames(KindMail, FormatTapcis, "x", in, out);
  EXPECT_EQ(in + "|" + out, "SaveMail.Txt|");
  defaultFileNames(KindMail, FormatEudora, "x", in, out);
  EXPECT_EQ(in + "|" + out, "InBox.Mbx|OutBox.Mbx");
  defaultFileNames(KindNewsgroup, FormatUnixNews, "x", in, out);
  EXPECT_EQ(in, "SaveMsg.Txt");
  defaultFileNames(KindMail, FormatMbox, "Robin/Quayle", in, out);
  EXPECT_EQ(in, "Robin_Quayle.mbox");
}

}  // namespace
