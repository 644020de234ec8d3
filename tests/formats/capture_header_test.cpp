// Forum headers of the capture formats: message numbers, forum and section
// names, the reference check, subjects, dates and the format differences.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "import/formats/captures/capture_forum_header.h"
#include "text/datetime.h"

using qb::text::dayNumber;

using namespace qb::import::captures;
using qb::text::dayNumber;

namespace {

std::vector<std::string> block(std::string start, std::string date, std::string sb, std::string fm = "Fm: Ann Lee 71111,222",
                               std::string to = "To: Bob Ray 72222,333", std::string sep = "") {
  return {start, date, sb, fm, to, sep};
}

ForumHeader parsed(CaptureFormat f, const std::vector<std::string>& lines, bool expectOk = true) {
  ForumHeader h;
  EXPECT_EQ(parseForumHeader(f, lines, "CHOSEN", h), expectOk) << lines[0];
  return h;
}

}  // namespace

TEST(CaptureHeader, MessageNumberLimits) {
  std::size_t s = 0;
  EXPECT_EQ(startLineNumber("#: 8999999 S1/General", s), 8999999u);
  EXPECT_EQ(s, 11u);
  EXPECT_EQ(startLineNumber("#: 9000000 S1/General", s), 0u);
  EXPECT_EQ(startLineNumber("#: 12a45 S1/General", s), 0u);
  EXPECT_EQ(startLineNumber("#: 0 S1/General", s), 0u);
  EXPECT_EQ(startLineNumber("#:", s), 0u);
  EXPECT_EQ(startLineNumber("#: 1234", s), 1234u);  // no section at all
  // A rejected number rejects the whole block.
  parsed(CaptureFormat::OzCIS, block("#: 9000000 S1/General", "    01-Jan-95", "Sb: x"), false);
  parsed(CaptureFormat::OzCIS, block("#: 8999999 S1/General", "    01-Jan-95", "Sb: x"), true);
}

TEST(CaptureHeader, ForumAndSectionFromStartLine) {
  auto lines = block("#: 123 S5/Help Desk (CIS:IBMPRO)", "    01-Jan-95", "Sb: Printer trouble");
  ForumHeader oz = parsed(CaptureFormat::OzWin2, lines);
  EXPECT_EQ(oz.forum, "IBMPRO");
  EXPECT_EQ(oz.sectionNumber, 5u);
  EXPECT_EQ(oz.sectionName, "Help Desk");
  EXPECT_EQ(oz.number, 123u);

  ForumHeader tap = parsed(CaptureFormat::Tapcis6, lines);
  EXPECT_EQ(tap.forum, "CHOSEN");
  EXPECT_EQ(tap.sectionNumber, 5u);

  // Empty parentheses, or none: the chosen forum.
  EXPECT_EQ(parsed(CaptureFormat::OzCIS, block("#: 124 S5/Help ()", "", "Sb: a")).forum, "CHOSEN");
  EXPECT_EQ(parsed(CaptureFormat::OzCIS, block("#: 124 S5/Help", "", "Sb: a")).forum, "CHOSEN");
  // "cis:" is removed in any letter case.
  EXPECT_EQ(parsed(CaptureFormat::OzCIS, block("#: 124 S5/Help (cis:Garden)", "", "Sb: a")).forum, "Garden");
}

TEST(CaptureHeader, SectionRules) {
  uint32_t n = 99;
  std::string name;
  parseSection("S3/Utilities", n, name);
  EXPECT_EQ(n, 3u);
  EXPECT_EQ(name, "Utilities");
  parseSection("S12/Long Section", n, name);
  EXPECT_EQ(n, 12u);
  parseSection("(X) S7/Marked", n, name);  // one-letter mark dropped
  EXPECT_EQ(n, 7u);
  EXPECT_EQ(name, "Marked");
  parseSection("S/Nameless", n, name);  // "/" in column 2: no number
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(name, "Nameless");
  parseSection("S4/A section name that goes on far beyond thirty", n, name);
  EXPECT_EQ(name, "A section name that goes on");  // 30 characters of section text
  // A mark in front of the section is not taken for the forum name.
  ForumHeader h = parsed(CaptureFormat::OzCIS, block("#: 125 (X) S2/Chat", "", "Sb: a"));
  EXPECT_EQ(h.forum, "CHOSEN");
  EXPECT_EQ(h.sectionNumber, 2u);
  EXPECT_EQ(h.sectionName, "Chat");
}

TEST(CaptureHeader, ReferenceCheck) {
  EXPECT_TRUE(referenceOk("12340", 12345));
  EXPECT_TRUE(referenceOk("12345", 12345));
  EXPECT_TRUE(referenceOk("100", 30100));
  EXPECT_FALSE(referenceOk("100", 30101));
  EXPECT_FALSE(referenceOk("12346", 12345));
  EXPECT_FALSE(referenceOk("0", 12345));
  EXPECT_FALSE(referenceOk("12a", 12345));

  std::string subject;
  uint32_t ref = 1;
  parseSubject("Sb: #12340-Re: plans", 12345, false, subject, ref);
  EXPECT_EQ(ref, 12340u);
  EXPECT_EQ(subject, "Re: plans");
  parseSubject("Sb: #12340-Re: plans", 50000, false, subject, ref);
  EXPECT_EQ(ref, 0u);
  EXPECT_EQ(subject, "12340-Re: plans");
  parseSubject("Sb: 12340 Re: plans", 12345, false, subject, ref);  // no number sign, blank separator
  EXPECT_EQ(ref, 12340u);
  EXPECT_EQ(subject, "Re: plans");
  parseSubject("Sb: #1234567-too long", 12345, false, subject, ref);  // no separator in reach
  EXPECT_EQ(ref, 0u);
  EXPECT_EQ(subject, "1234567-too long");
  parseSubject("Sb: 1995 budget", 2100, false, subject, ref);  // a year, not a parent
  EXPECT_EQ(ref, 1995u);
  parseSubject("Sb: 1995 budget", 88000, false, subject, ref);
  EXPECT_EQ(ref, 0u);
  EXPECT_EQ(subject, "1995 budget");
  parseSubject("Sb: Plain subject @b", 10, true, subject, ref);
  EXPECT_EQ(subject, "Plain subject");
}

TEST(CaptureHeader, DateLines) {
  const int32_t mar5 = dayNumber(1995, 3, 5);
  auto dateOf = [](CaptureFormat f, const std::string& line) {
    return parsed(f, block("#: 5 S1/A", line, "Sb: x")).date;
  };
  EXPECT_EQ(dateOf(CaptureFormat::OzCIS, "     5-Mar-95"), mar5);  // blank, then a one-digit day
  EXPECT_EQ(dateOf(CaptureFormat::OzCIS, "    05-MAR-95"), mar5);
  EXPECT_EQ(dateOf(CaptureFormat::OzCIS, "    5-Mar-95 10:00"), mar5);
  EXPECT_EQ(dateOf(CaptureFormat::Autosig, "     05-Mar-95"), mar5);
  EXPECT_EQ(dateOf(CaptureFormat::OzWin2, "    04-Okt-95"), dayNumber(1995, 10, 4));
  EXPECT_EQ(dateOf(CaptureFormat::GoldenCompass, "    20-Dez-95"), dayNumber(1995, 12, 20));
  EXPECT_EQ(dateOf(CaptureFormat::Tapcis6, "    15-M\xE4r-95"), dayNumber(1995, 3, 15));
  EXPECT_EQ(dateOf(CaptureFormat::Tapcis5, "    05-mai-95"), dayNumber(1995, 5, 5));
  EXPECT_EQ(dateOf(CaptureFormat::Tapcis5, "    5-Mar-95"), 0);  // TAPCIS 5.x: exactly DD-MMM-YY
  EXPECT_EQ(dateOf(CaptureFormat::OzCIS, "      "), 0);
  EXPECT_EQ(dateOf(CaptureFormat::OzCIS, "    05-Xyz-95"), 0);
}

TEST(CaptureHeader, OzWinIIParentLine) {
  auto lines = block("#: 210009 S2/Telescopes (CIS:STARGAZE)", "    13-Mar-95", "Sb: #210005-Choosing a scope",
                     "Fm: Ann Lee 71111,222", "To: Bob Ray 72222,333", "Par: 210001  Rpl: 210012");
  ForumHeader h = parsed(CaptureFormat::OzWin2, lines);
  EXPECT_EQ(h.reference, 210001u);  // the "Par:" line wins over the subject
  EXPECT_EQ(h.subject, "#210005-Choosing a scope");  // and the subject is taken whole
  EXPECT_EQ(h.bodyOffset, 6u);
  // The same block in OzWin I reads the subject.
  ForumHeader w1 = parsed(CaptureFormat::OzWin1, lines);
  EXPECT_EQ(w1.reference, 210005u);
  EXPECT_EQ(w1.subject, "Choosing a scope");
  // "Par:" beyond column 40 is not a thread link.
  lines[5] = std::string(40, ' ') + "Par: 210001";
  EXPECT_EQ(parsed(CaptureFormat::OzWin2, lines).reference, 210005u);
  uint32_t ref = 7;
  EXPECT_TRUE(ozWinParent("Par: none", ref));
  EXPECT_EQ(ref, 0u);
}

TEST(CaptureHeader, SenderRecipientAndRejections) {
  ForumHeader h = parsed(CaptureFormat::Tapcis5,
                         block("#: 45012 S2/Hardware Help @b", "    03-Feb-95  09:14", "Sb: #44990-Modem strings @b",
                               "Fm: Tobias Wren 70001,234 @b", "To: Ilse Brandt 76002,77 (X)"));
  EXPECT_EQ(h.sectionName, "Hardware Help");
  EXPECT_EQ(h.reference, 44990u);
  EXPECT_EQ(h.subject, "Modem strings");
  EXPECT_EQ(h.sender.name, "Tobias Wren");
  EXPECT_EQ(h.sender.address, "70001,234");
  EXPECT_EQ(h.recipient.name, "Ilse Brandt");
  EXPECT_EQ(h.recipient.address, "76002,77");
  EXPECT_EQ(h.date, dayNumber(1995, 2, 3));
  EXPECT_EQ(addressText("Fm: Sysop Team 70000,1 (X)", false), "Sysop Team 70000,1");
  EXPECT_EQ(addressText("To: All", false), "All");

  // Each of "Sb:", "Fm:" and "To:" must stand at its offset.
  parsed(CaptureFormat::OzCIS, block("#: 5 S1/A", "    01-Jan-95", "Subject: x"), false);
  parsed(CaptureFormat::OzCIS, block("#: 5 S1/A", "    01-Jan-95", "Sb: x", "From: a"), false);
  parsed(CaptureFormat::OzCIS, block("#: 5 S1/A", "    01-Jan-95", "Sb: x", "Fm: a", ""), false);
  std::vector<std::string> shortBlock{"#: 5 S1/A", "    01-Jan-95"};
  ForumHeader none;
  EXPECT_FALSE(parseForumHeader(CaptureFormat::OzCIS, shortBlock, "F", none));
}

TEST(CaptureHeader, NavCISBlock) {
  std::vector<std::string> lines{
      "Subject:  #210001 Re: Choosing a first telescope              Msg Number: 210005",
      "   From:  Greta Lindqvist 72345,1012",
      "     To:  Harold Pennyworth 71234,567",
      "  Forum:  CIS:STARGAZE Sec: 2-Telescopes",
      "   Date:  13-Mar-95 14:22",
      ""};
  ForumHeader h = parsed(CaptureFormat::NavCIS, lines);
  EXPECT_EQ(h.number, 210005u);
  EXPECT_EQ(h.reference, 210001u);
  EXPECT_EQ(h.subject, "Re: Choosing a first telescope");
  EXPECT_EQ(h.forum, "STARGAZE");
  EXPECT_EQ(h.sectionNumber, 2u);
  EXPECT_EQ(h.sectionName, "Telescopes");
  EXPECT_EQ(h.sender.address, "72345,1012");
  EXPECT_EQ(h.recipient.name, "Harold Pennyworth");
  EXPECT_EQ(h.date, dayNumber(1995, 3, 13));

  // "##" before the subject; a parent too far below: no reference, the
  // subject keeps the number.
  lines[0] = "Subject:  #10 #Old thread  Msg Number: 90000";
  h = parsed(CaptureFormat::NavCIS, lines);
  EXPECT_EQ(h.reference, 0u);
  EXPECT_EQ(h.subject, "10 #Old thread");
  lines[0] = "Subject:  #89990 #Old thread  Msg Number: 90000";
  h = parsed(CaptureFormat::NavCIS, lines);
  EXPECT_EQ(h.reference, 89990u);
  EXPECT_EQ(h.subject, "Old thread");

  // Without a forum name: the chosen forum, no section.
  lines[3] = "  Forum:  Sec: 2-Telescopes";
  h = parsed(CaptureFormat::NavCIS, lines);
  EXPECT_EQ(h.forum, "CHOSEN");
  EXPECT_EQ(h.sectionNumber, 0u);

  // No message number, or no forum line: rejected.
  lines[3] = "  Forum:  STARGAZE Sec: 2-Telescopes";
  lines[0] = "Subject:  Short";
  parsed(CaptureFormat::NavCIS, lines, false);
  lines[0] = "Subject:  Fine  Msg Number: 9000000";
  parsed(CaptureFormat::NavCIS, lines, false);
  lines[0] = "Subject:  Fine  Msg Number: 77";
  lines[3] = "   Date:  13-Mar-95";
  parsed(CaptureFormat::NavCIS, lines, false);
}
