// Text parts of multipart mail sent as Base64 or quoted-printable reach the
// archive decoded; 7bit parts and Eudora's decoded bodies stay as they are.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "formats/capture_fake_context.h"
#include "formats/mail_test_support.h"
#include "archive/archive_home.h"

namespace qb::mailtest {
namespace {

using import::testing::FakeContext;

// One multipart/alternative mail whose plain part has the given encoding
// line and body lines (LF line ends).
std::string multipartMail(const std::string& separator, const std::string& encoding, const std::string& body) {
  return separator +
         "\nDate: Mon, 2 Mar 1998 09:15:42 +0100\n"
         "From: \"Hilde Marwick\" <hilde.marwick@example.com>\n"
         "To: \"Robin Quayle\" <robin@example.com>\n"
         "Subject: Parts\n"
         "MIME-Version: 1.0\n"
         "Content-Type: multipart/alternative; boundary=\"PART\"\n"
         "\n"
         "--PART\n"
         "Content-Type: text/plain; charset=us-ascii\n" +
         encoding + "\n\n" + body +
         "--PART\n"
         "Content-Type: text/html\n"
         "\n"
         "<p>html</p>\n"
         "--PART--\n";
}

class MimeDecode : public ::testing::Test {
 protected:
  void SetUp() override {
    ctx.req.kinds = import::KindAll;
    ctx.req.mailDatabase = kOwnerDb;
    ctx.addDatabase(kOwnerDb, 2);
    ASSERT_EQ(store::openHome(ctx.sess, mail.archive.home()), store::HomeStatus::Ready);
    std::filesystem::create_directories(mail.archive.home() + "/input");
  }
  // The text of the one mail that `type` reads from `bytes`.
  std::string text(const std::string& type, const std::string& bytes) {
    std::string path = mail.archive.home() + "/input/box";
    import::testing::writeFile(path, bytes);
    ctx.work.clear();
    import::testing::convertFile(ctx, type, path);
    EXPECT_EQ(ctx.work.size(), 1u);
    return ctx.work.empty() ? std::string() : ctx.work[0].text;
  }
  MailArchive mail;
  FakeContext ctx;
};

const std::string kNetscape = "From - Mon Mar 02 09:15:42 1998";

TEST_F(MimeDecode, Base64PlainPart) {
  // The empty line before the boundary, as mail programs write it.
  std::string body = "SGVsbG8sIFJvYmluLg0KU2Vjb25kIGxp\nbmUuDQo=\n\n";
  EXPECT_EQ(text("Netscape Mail", multipartMail(kNetscape, "Content-Transfer-Encoding: base64", body)),
            "Hello, Robin.\r\nSecond line.\r\n");
}

TEST_F(MimeDecode, Base64PlainPartInAFromLineMailbox) {
  std::string body = "SGVsbG8sIFJvYmluLg0KU2Vjb25kIGxp\nbmUuDQo=\n\n";
  std::string mbox = "From hilde.marwick@example.com Mon Mar 02 09:15:42 1998";
  EXPECT_EQ(text("Generic Mail Type 2", multipartMail(mbox, "Content-Transfer-Encoding: base64", body)),
            "Hello, Robin.\r\nSecond line.\r\n");
}

TEST_F(MimeDecode, QuotedPrintablePartWithSoftBreaks) {
  std::string body = "a long line that goes =\non here, and x=3D1\n";
  EXPECT_EQ(text("Netscape Mail", multipartMail(kNetscape, "Content-Transfer-Encoding: quoted-printable", body)),
            "a long line that goes on here, and x=1\r\n");
}

TEST_F(MimeDecode, SevenBitPartUnchanged) {
  std::string body = "SGVsbG8gd29ybGQ\nplain text\n";
  EXPECT_EQ(text("Netscape Mail", multipartMail(kNetscape, "Content-Transfer-Encoding: 7bit", body)),
            "SGVsbG8gd29ybGQ\r\nplain text\r\n");
}

TEST_F(MimeDecode, DamagedBase64PartGivesWhatItHolds) {
  std::string body = "SGk=\n\x01\xff!!\nSGVsbG8gd2\n";
  std::string mailText = multipartMail(kNetscape, "Content-Transfer-Encoding: base64", body);
  EXPECT_EQ(text("Netscape Mail", mailText).substr(0, 2), "Hi");
  // Cut inside the part: no fault, no text beyond what is there.
  EXPECT_EQ(text("Netscape Mail", mailText.substr(0, mailText.find("SGk=") + 3)), "Hi\r\n");
}

TEST_F(MimeDecode, EudoraBodiesAreNotDecodedAgain) {
  std::string body = "SGVsbG8=\n";
  std::string eudora = "From ???@??? Mon Mar 02 09:15:42 1998";
  std::string mixed = multipartMail(eudora, "Content-Transfer-Encoding: base64", body);
  mixed.replace(mixed.find("alternative"), 11, "mixed");  // Eudora passes alternative bodies on whole
  std::string got = text("Eudora", mixed);
  EXPECT_EQ(got.find("Hello"), std::string::npos);
  EXPECT_NE(got.find("SGVsbG8="), std::string::npos);
}

}  // namespace
}  // namespace qb::mailtest
