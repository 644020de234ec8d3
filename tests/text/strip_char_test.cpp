// StripChar: line ends and "@b"/"@l" codes at both ends, and the Internet
// header block of a mail.
#include <gtest/gtest.h>

#include "text/strip_char.h"

namespace qb::text {
namespace {

TEST(StripChar, BothEnds) {
  EXPECT_EQ(StripChar(StripKind::Forum, "\r\n@b@l\r\nText\r\nmore@b\r\n@l\n"), "Text\r\nmore");
  EXPECT_EQ(StripChar(StripKind::Forum, "@b@b"), "");
  EXPECT_EQ(StripChar(StripKind::Forum, ""), "");
  EXPECT_EQ(StripChar(StripKind::Forum, "\r\n\r\n"), "");
  // Codes inside the text and other characters at the ends stay.
  EXPECT_EQ(StripChar(StripKind::Forum, " a@bb "), " a@bb ");
  EXPECT_EQ(StripChar(StripKind::Forum, "x@"), "x@");
  EXPECT_EQ(StripChar(StripKind::Forum, "@x"), "@x");
}

TEST(StripChar, MailLosesItsInternetHeader) {
  std::string mail = "Received: from gateway\r\nFrom: joe@example.com\r\nSubject: Hi\r\n\r\nHello\r\nJoe\r\n";
  EXPECT_EQ(StripChar(StripKind::Mail, mail), "Hello\r\nJoe");
  // A forum message keeps it; so does a mail whose header never ends.
  EXPECT_EQ(StripChar(StripKind::Forum, mail), mail.substr(0, mail.size() - 2));
  EXPECT_EQ(StripChar(StripKind::Mail, "From: joe\r\nno blank line"), "From: joe\r\nno blank line");
  // An HTML body announced by the dropped header is turned into text.
  std::string html = "From: x@example.com\r\nContent-Type: text/html\r\n\r\n<p>Hi <b>there</b></p>";
  std::string out = StripChar(StripKind::Mail, html);
  EXPECT_EQ(out.find('<'), std::string::npos);
  EXPECT_NE(out.find("there"), std::string::npos);
}

}  // namespace
}  // namespace qb::text
