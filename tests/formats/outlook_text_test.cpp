// Texts of Outlook items: recipients from the transport header or the
// display lists, and HTML bodies.
#include <gtest/gtest.h>

#include "import/formats/outlook/outlook_text.h"

namespace qb::import::outlook {
namespace {

TEST(OutlookText, RecipientsFromTheTransportHeader) {
  std::string header =
      "Received: from mx.example.org\r\n"
      "From: Pat Doe <pat@example.net>\r\n"
      "To: \"Quayle, Robin\" <Robin@Example.com>,\r\n"
      "\tAnn <ann@example.org>\r\n"
      "CC: cid@example.org (Cid)\r\n"
      "Subject: To: not a recipient line\r\n"
      "\r\n"
      "To: body text, not a header\r\n";
  auto r = recipientsOf(header, "Robin Quayle; Ann", "Cid");
  ASSERT_EQ(r.size(), 3u);
  EXPECT_EQ(r[0].type, RecipientTo);
  EXPECT_EQ(r[0].address, "robin@example.com");
  EXPECT_EQ(r[0].name, "Quayle, Robin");
  EXPECT_EQ(r[1].address, "ann@example.org");
  EXPECT_EQ(r[1].name, "Ann");
  EXPECT_EQ(r[2].type, RecipientCc);
  EXPECT_EQ(r[2].address, "cid@example.org");
  EXPECT_EQ(r[2].name, "Cid");
}

TEST(OutlookText, RecipientsFromTheDisplayLists) {
  // No header, or one without a "To:" line (mail sent from this file).
  for (const char* header : {"", "From: robin@example.com\r\nSubject: x\r\n"}) {
    auto r = recipientsOf(header, "Pat Doe; Ann@Example.org ;; ", "\xC5\x81ukasz");
    ASSERT_EQ(r.size(), 3u) << header;
    EXPECT_EQ(r[0].address, "Pat Doe");
    EXPECT_EQ(r[0].name, "Pat Doe");
    EXPECT_EQ(r[1].address, "ann@example.org");
    EXPECT_EQ(r[1].name, "Ann@Example.org");
    EXPECT_EQ(r[2].type, RecipientCc);
    EXPECT_EQ(r[2].name, "\xC5\x81ukasz");
  }
  EXPECT_TRUE(recipientsOf("", "", "").empty());
}

TEST(OutlookText, HtmlBodies) {
  std::string html =
      "<html><head><style>p {color: red}</style><!--[if gte mso 9]><xml><w:WordDocument>"
      "<w:Zoom>0</w:Zoom></w:WordDocument></xml><![endif]--></head>"
      "<body><p>Caf&eacute; &#8364;5</p><p>\xC5\x81\xC3\xB3""d\xC5\xBA</p><!-- unclosed";
  std::string text = htmlBodyText(html);
  EXPECT_EQ(text.find("Zoom"), std::string::npos) << text;
  EXPECT_EQ(text.find('0'), std::string::npos) << "the hidden settings: " << text;
  EXPECT_NE(text.find("Caf\xC3\xA9 \xE2\x82\xAC" "5"), std::string::npos) << text;
  EXPECT_NE(text.find("\xC5\x81\xC3\xB3""d\xC5\xBA"), std::string::npos) << text;
  EXPECT_EQ(text.find("unclosed"), std::string::npos) << text;
}

}  // namespace
}  // namespace qb::import::outlook
