// Mail headers of the capture formats: direction, correspondents, the
// "INTERNET" address rule, times and where the text starts.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "import/formats/captures/capture_mail_header.h"
#include "text/datetime.h"

using qb::text::dayNumber;
using qb::text::timeValue;

using namespace qb::import;
using namespace qb::import::captures;
using qb::text::dayNumber;
using qb::text::timeValue;

namespace {

mail::MailOwner owner() {
  mail::MailOwner o;
  o.name = "Wilma Thornbury";
  o.address = "74321,1234";
  o.alternatives = {"75555,101", "Wilma@Example.com"};
  return o;
}

struct Parsed {
  bool ok = false;
  NHR nhr;
  std::size_t body = 0;
};

Parsed parse(CaptureFormat f, const std::vector<std::string>& lines) {
  Parsed p;
  p.ok = parseMailHeader(f, lines, owner(), p.nhr, p.body);
  return p;
}

}  // namespace

TEST(CaptureMail, AddressRule) {
  NameAddress a = mailAddress("\"Dana Whitlock\" INTERNET:dana@example.org");
  EXPECT_EQ(a.name, "Dana Whitlock");
  EXPECT_EQ(a.address, "dana@example.org");
  a = mailAddress("Dana Whitlock >INTERNET:dana@example.org");
  EXPECT_EQ(a.name, "Dana Whitlock");
  a = mailAddress("Dana \xB3 INTERNET dana@example.org");  // DOS bar, no colon
  EXPECT_EQ(a.name, "Dana");
  EXPECT_EQ(a.address, "dana@example.org");
  a = mailAddress("INTERNET:");
  EXPECT_EQ(a.name, "");
  EXPECT_EQ(a.address, "");
  a = mailAddress("Oskar Feldmann 76543,210");  // CompuServe form
  EXPECT_EQ(a.name, "Oskar Feldmann");
  EXPECT_EQ(a.address, "76543,210");
  a = mailAddress("Sysop");
  EXPECT_EQ(a.name, "Sysop");
  EXPECT_EQ(a.address, "");
}

TEST(CaptureMail, Times) {
  EXPECT_EQ(captureClock("9:05"), timeValue(9, 5, 0));
  EXPECT_EQ(captureClock("09:05"), timeValue(9, 5, 0));
  EXPECT_EQ(captureClock("21:17:44"), timeValue(21, 17, 44));
  EXPECT_EQ(captureClock("pm"), 0);
  EXPECT_EQ(dateLineTime("    14-Mar-95  10:40", true), timeValue(10, 40, 0));
  EXPECT_EQ(dateLineTime("    5-Mar-95 8:05:10", false), timeValue(8, 5, 10));  // date ends in column 12
  EXPECT_EQ(dateLineTime("     5-Mar-95    21:30", false), timeValue(21, 30, 0));
  EXPECT_EQ(dateLineTime("    14-Mar-95       10:40", true), 0);  // beyond the five columns
  EXPECT_EQ(dateLineTime("      ", false), 0);
}

TEST(CaptureMail, OzCISAndOzWinDirectionAndBody) {
  std::vector<std::string> in{"Date:  14-Mar-95 10:40", "From: Oskar Feldmann 76543,210", "Subj: Club meeting", "", "Wilma,"};
  Parsed oz = parse(CaptureFormat::OzCIS, in);
  ASSERT_TRUE(oz.ok);
  EXPECT_EQ(oz.nhr.MAILTYPE, 1);
  EXPECT_EQ(oz.nhr.S_NAME.str(), "Oskar Feldmann");
  EXPECT_EQ(oz.nhr.R_NAME.str(), "Wilma Thornbury");
  EXPECT_EQ(oz.nhr.R_CISADRESS.str(), "74321,1234");
  EXPECT_EQ(oz.nhr.HEADING.str(), "Club meeting");
  EXPECT_EQ(oz.nhr.DATE, dayNumber(1995, 3, 14));
  EXPECT_EQ(oz.nhr.TIME, timeValue(10, 40, 0));
  EXPECT_EQ(oz.body, 4u);
  // Received mail in "OzWin II" starts its text one line later.
  EXPECT_EQ(parse(CaptureFormat::OzWin2, in).body, 5u);
  EXPECT_EQ(parse(CaptureFormat::OzWin1, in).body, 4u);

  std::vector<std::string> out{"Date:  15-Okt-95 21:17", "MgTo: Oskar Feldmann 76543,210", "Subj: Re: Club meeting"};
  Parsed sent = parse(CaptureFormat::OzWin2, out);
  ASSERT_TRUE(sent.ok);
  EXPECT_EQ(sent.nhr.MAILTYPE, 2);
  EXPECT_EQ(sent.nhr.S_NAME.str(), "Wilma Thornbury");
  EXPECT_EQ(sent.nhr.R_CISADRESS.str(), "76543,210");
  EXPECT_EQ(sent.nhr.DATE, dayNumber(1995, 10, 15));
  EXPECT_EQ(sent.body, 4u);  // sent mail: no extra line

  EXPECT_FALSE(parse(CaptureFormat::OzCIS, {"Date:  14-Mar-95 10:40", "To: Oskar", "Subj: x"}).ok);
  EXPECT_FALSE(parse(CaptureFormat::OzCIS, {"Date:  14-Mar-95 10:40", "From: Oskar", "Subject: x"}).ok);
}

TEST(CaptureMail, TapcisSixOwnerRule) {
  std::vector<std::string> lines{"#: 4", "    16-Mar-95  07:30:15", "Sb: Re: Star party",
                                 "Fm: Wilma Thornbury 75555,101", "To: \"Dana Whitlock\" INTERNET:dana@example.org", ""};
  // The sender is one of the owner's alternative addresses: sent mail.
  Parsed p = parse(CaptureFormat::Tapcis6, lines);
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.nhr.MAILTYPE, 2);
  EXPECT_EQ(p.nhr.S_CISADRESS.str(), "74321,1234");
  EXPECT_EQ(p.nhr.R_NAME.str(), "Dana Whitlock");
  EXPECT_EQ(p.nhr.R_CISADRESS.str(), "dana@example.org");
  EXPECT_EQ(p.nhr.TIME, timeValue(7, 30, 15));
  EXPECT_EQ(p.body, 6u);
  lines[3] = "Fm: Wilma INTERNET:WILMA@example.COM";  // letter case does not matter
  EXPECT_EQ(parse(CaptureFormat::Autosig, lines).nhr.MAILTYPE, 2);

  lines[1] = "    16-Mar-95  07:30";
  lines[3] = "Fm: Oskar Feldmann 76543,210";
  p = parse(CaptureFormat::Autosig, lines);
  EXPECT_EQ(p.nhr.MAILTYPE, 1);
  EXPECT_EQ(p.nhr.S_NAME.str(), "Oskar Feldmann");
  EXPECT_EQ(p.nhr.R_NAME.str(), "Wilma Thornbury");
  EXPECT_EQ(p.nhr.TIME, timeValue(7, 30, 0));

  lines[4] = "Cc: nobody";
  EXPECT_FALSE(parse(CaptureFormat::Tapcis6, lines).ok);
}

TEST(CaptureMail, TapcisFiveAndGoldenCompassOutbox) {
  std::vector<std::string> sent{"#: 3 /Outbox", "    15-Mar-95  21:17", "Sb: Re: Club meeting",
                                "Fm: Wilma Thornbury 74321,1234", "To: Oskar Feldmann 76543,210", "", "Oskar,"};
  Parsed p = parse(CaptureFormat::Tapcis5, sent);
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.nhr.MAILTYPE, 2);
  EXPECT_EQ(p.nhr.S_NAME.str(), "Wilma Thornbury");
  EXPECT_EQ(p.nhr.R_NAME.str(), "Oskar Feldmann");
  EXPECT_EQ(p.body, 6u);  // the seventh line of the block
  EXPECT_EQ(p.nhr.TIME, timeValue(21, 17, 0));

  std::vector<std::string> received{"#: 1 /Inbox@b", "    7-Mar-95 9:15", "Sb: Club meeting@b",
                                    "Fm: Oskar Feldmann 76543,210@b", "Wilma,"};
  p = parse(CaptureFormat::GoldenCompass, received);
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.nhr.MAILTYPE, 1);
  EXPECT_EQ(p.nhr.HEADING.str(), "Club meeting");
  EXPECT_EQ(p.nhr.S_CISADRESS.str(), "76543,210");
  EXPECT_EQ(p.nhr.DATE, dayNumber(1995, 3, 7));
  EXPECT_EQ(p.nhr.TIME, timeValue(9, 15, 0));
  EXPECT_EQ(p.body, 5u);

  sent[4] = "";  // sent mail needs its "To:" line, received mail its "Fm:" line
  EXPECT_FALSE(parse(CaptureFormat::Tapcis5, sent).ok);
  received[3] = "To: x";
  EXPECT_FALSE(parse(CaptureFormat::GoldenCompass, received).ok);
}

TEST(CaptureMail, NavCIS) {
  std::vector<std::string> lines{"Subject:  Club meeting", "   From:  Oskar Feldmann 76543,210",
                                 "     To:  Wilma Thornbury 74321,1234", "   Date:  14-Mar-95 10:40", ""};
  Parsed p = parse(CaptureFormat::NavCIS, lines);
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.nhr.MAILTYPE, 1);
  EXPECT_EQ(p.nhr.HEADING.str(), "Club meeting");
  EXPECT_EQ(p.nhr.TIME, timeValue(10, 40, 0));
  EXPECT_EQ(p.body, 5u);
  lines[3] = "   Date:  14-Mar-95 1040";  // no colon in column 23: no time
  p = parse(CaptureFormat::NavCIS, lines);
  EXPECT_EQ(p.nhr.TIME, 0);
  EXPECT_EQ(p.nhr.DATE, dayNumber(1995, 3, 14));
  lines[1] = "   From:  Wilma Thornbury 74321,1234";
  lines[2] = "     To:  Oskar Feldmann 76543,210";
  p = parse(CaptureFormat::NavCIS, lines);
  EXPECT_EQ(p.nhr.MAILTYPE, 2);
  EXPECT_EQ(p.nhr.R_NAME.str(), "Oskar Feldmann");
}
