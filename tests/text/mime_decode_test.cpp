// The transfer encoding of the text part that the MIME body routine takes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/encodings.h"
#include "text/line_piece.h"
#include "text/mime.h"
#include "text/text_assembler.h"

namespace qb::text {
namespace {

std::vector<LinePiece> lines(std::initializer_list<std::string_view> ls) {
  std::vector<LinePiece> out;
  for (auto l : ls) splitLine(l, out);
  return out;
}

TEST(MimeEncoding, ReadFromTheLine) {
  EXPECT_EQ(transferEncoding("Content-Transfer-Encoding: base64"), TransferEncoding::Base64);
  EXPECT_EQ(transferEncoding("content-transfer-encoding:\tBASE64 "), TransferEncoding::Base64);
  EXPECT_EQ(transferEncoding("Content-Transfer-Encoding: Quoted-Printable"), TransferEncoding::QuotedPrintable);
  EXPECT_EQ(transferEncoding("Content-Transfer-Encoding: 7bit"), TransferEncoding::Identity);
  EXPECT_EQ(transferEncoding("Content-Transfer-Encoding:"), TransferEncoding::Identity);
  EXPECT_EQ(transferEncoding("Content-Type: text/plain; x=base64"), TransferEncoding::Identity);
}

TEST(MimeEncoding, AlternativeTakesTheBase64PlainPart) {
  auto body = lines({"--A", "Content-Type: text/plain; charset=us-ascii", "Content-Transfer-Encoding: base64", "",
                     "SGVsbG8gd29y", "bGQNCg==", "--A", "Content-Type: text/html",
                     "Content-Transfer-Encoding: quoted-printable", "", "<p>Hello</p>", "--A--"});
  TextForm part = markMimePart(body, "A");
  EXPECT_NE(part.kind, BodyKind::Html);
  EXPECT_EQ(part.encoding, TransferEncoding::Base64);
  std::string encoded;
  for (auto& p : body)
    if (!p.removed()) encoded += p.view();
  EXPECT_EQ(decodeBase64(encoded), "Hello world\r\n");
}

TEST(MimeEncoding, EncodingOfAPassedOverPartDoesNotCarryOver) {
  // The attachment is Base64; the text part after it has no encoding line.
  MimeBodyFilter f("B");
  EXPECT_FALSE(f.keep("--B"));
  EXPECT_FALSE(f.keep("Content-Type: application/octet-stream"));
  EXPECT_FALSE(f.keep("Content-Transfer-Encoding: base64"));
  EXPECT_FALSE(f.keep(""));
  EXPECT_FALSE(f.keep("AAAA"));
  EXPECT_FALSE(f.keep("--B"));
  EXPECT_FALSE(f.keep("Content-Type: text/plain"));
  EXPECT_FALSE(f.keep(""));
  EXPECT_EQ(f.encoding(), TransferEncoding::Identity);
  EXPECT_TRUE(f.keep("plain = text"));
}

TEST(MimeEncoding, NestedQuotedPrintableHtml) {
  MimeBodyFilter f("outer");
  EXPECT_FALSE(f.keep("preamble"));
  EXPECT_EQ(f.encoding(), TransferEncoding::Identity);
  EXPECT_FALSE(f.keep("--outer"));
  EXPECT_FALSE(f.keep("Content-Type: multipart/alternative;"));
  EXPECT_FALSE(f.keep("\tboundary=\"inner\""));
  EXPECT_FALSE(f.keep(""));
  EXPECT_FALSE(f.keep("--inner"));
  EXPECT_FALSE(f.keep("Content-Transfer-Encoding: quoted-printable"));
  EXPECT_FALSE(f.keep("Content-Type: text/html"));
  EXPECT_FALSE(f.keep(""));
  EXPECT_TRUE(f.keep("<p>a=3Db</p>"));
  EXPECT_TRUE(f.html());
  EXPECT_EQ(f.encoding(), TransferEncoding::QuotedPrintable);
}

TEST(MimeEncoding, SevenBitPartAndGarbageBase64) {
  auto plain = lines({"--C", "Content-Type: text/plain", "Content-Transfer-Encoding: 7bit", "", "as =3D is", "--C--"});
  TextForm part = markMimePart(plain, "C");
  EXPECT_EQ(part.encoding, TransferEncoding::Identity);
  EXPECT_EQ(assembleText(plain, BodyKind::Plain), "as =3D is\r\n");

  // A cut or damaged Base64 part gives what it holds, without a fault.
  auto bad = lines({"--C", "Content-Transfer-Encoding: base64", "", "SGk=!!\x01\xff", "SGVsbG8gd2", "--"});
  part = markMimePart(bad, "C");
  EXPECT_EQ(part.encoding, TransferEncoding::Base64);
  std::string encoded;
  for (auto& p : bad)
    if (!p.removed()) encoded += p.view();
  EXPECT_EQ(decodeBase64(encoded), "HiHello w");
}

}  // namespace
}  // namespace qb::text
