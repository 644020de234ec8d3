// Hex pairs, quoted-printable lines, encoded words and Base64.
#include <gtest/gtest.h>

#include <string>

#include "text/encodings.h"

namespace qb::text {
namespace {

std::string qp(std::string_view line, bool* soft = nullptr) {
  std::string out;
  bool s = undoQuotedPrintable(line, out);
  if (soft) *soft = s;
  return out;
}

TEST(HexPair, DecodedPairs) {
  EXPECT_EQ(hexPair('3', 'D'), '=');
  EXPECT_EQ(hexPair('2', '0'), ' ');
  EXPECT_EQ(hexPair('0', '9'), ' ');
  EXPECT_EQ(hexPair('2', 'C'), ',');
  EXPECT_EQ(hexPair('E', '9'), 0xE9);
  EXPECT_EQ(hexPair('8', '0'), 0x80);
  EXPECT_EQ(hexPair('F', 'F'), 0xFF);
}

TEST(HexPair, EverythingElseStays) {
  EXPECT_EQ(hexPair('4', '1'), -1);  // plain ASCII letters are not decoded
  EXPECT_EQ(hexPair('e', '9'), -1);  // lower case is not decoded
  EXPECT_EQ(hexPair('E', 'g'), -1);
  EXPECT_EQ(hexPair('7', 'F'), -1);
  EXPECT_EQ(hexPair('G', '0'), -1);
  EXPECT_EQ(hexPair('3', 'd'), -1);
}

TEST(QuotedPrintable, PairsInALine) {
  EXPECT_EQ(qp("caf=E9 =3D =41 =e9 a=2Cb"), "caf\xE9 = =41 =e9 a,b");
  EXPECT_EQ(qp("x=ZZ y=4"), "x=ZZ y=4");
}

TEST(QuotedPrintable, SoftLineBreaks) {
  bool soft = false;
  EXPECT_EQ(qp("joined=", &soft), "joined");
  EXPECT_TRUE(soft);
  EXPECT_EQ(qp("trailing=20", &soft), "trailing ");
  EXPECT_TRUE(soft);
  EXPECT_EQ(qp("a =3D b", &soft), "a = b");
  EXPECT_FALSE(soft);
  EXPECT_EQ(qp("=", &soft), "");
  EXPECT_TRUE(soft);
}

TEST(QuotedPrintable, EqualsAfterQuestionMarkStays) {
  bool soft = true;
  // The end of an encoded word at the line end is no soft break, and its
  // pairs are left for the encoded-word decoder.
  EXPECT_EQ(qp("Subject: =?ISO-8859-1?Q?=E9t=E9?=", &soft), "Subject: =?ISO-8859-1?Q?=E9t\xE9?=");
  EXPECT_FALSE(soft);
}

TEST(EncodedWord, QuotedLatin1) {
  EXPECT_EQ(decodeEncodedWord("=?ISO-8859-1?Q?Andr=E9_M=FCller?="), "Andr\xE9 M\xFCller");
  EXPECT_EQ(decodeEncodedWord("Re: =?iso-8859-1?q?caf=E9?= ok"), "Re: caf\xE9 ok");
  // Blanks before the word collapse into one.
  EXPECT_EQ(decodeEncodedWord("Re:   =?iso-8859-1?q?x?="), "Re: x");
  EXPECT_EQ(decodeEncodedWord("=?ISO-8859-1?Q?a=3Db=41?="), "a=b=41");
}

TEST(EncodedWord, Base64AndLatin2) {
  EXPECT_EQ(decodeEncodedWord("=?ISO-8859-1?B?SGFsbG8gV2VsdA==?="), "Hallo Welt");
  // "Łódź" in ISO-8859-2: A3 F3 64 BC.
  EXPECT_EQ(decodeEncodedWord("=?ISO-8859-2?B?o/NkvA==?="), "L\xF3" "dz");
  EXPECT_EQ(decodeEncodedWord("=?iso-8859-2?Q?=A9koda_=B9?="), "\x8Akoda \x9A");
  EXPECT_EQ(decodeEncodedWord("=?US-ASCII?Q?plain_text?="), "plain text");
}

TEST(EncodedWord, OnlyTheFirstWordIsDecoded) {
  EXPECT_EQ(decodeEncodedWord("=?ISO-8859-1?Q?a=E4?= =?ISO-8859-1?Q?b=F6?="),
            "a\xE4 =?ISO-8859-1?Q?b=F6?=");
}

TEST(EncodedWord, OtherCharsetsAndMalformedWordsStay) {
  for (std::string_view s : {"=?UTF-8?Q?caf=C3=A9?=", "=?windows-1252?Q?x?=", "=?ISO-8859-1?X?abc?=",
                             "=?ISO-8859-1?Q?no end", "=?ISO-8859-1", "x =?", "=?US-ASCII?Q",
                             "=?ISO-8859-7?Q?abc?=", "no word at all"})
    EXPECT_EQ(decodeEncodedWord(s), s);
}

TEST(Base64, StandardDecoding) {
  EXPECT_EQ(decodeBase64("SGVsbG8="), "Hello");
  EXPECT_EQ(decodeBase64("SGVsbG8h"), "Hello!");
  EXPECT_EQ(decodeBase64("SGk="), "Hi");
  EXPECT_EQ(decodeBase64("QQ=="), "A");  // padding yields no bytes
  EXPECT_EQ(decodeBase64(""), "");
  EXPECT_EQ(decodeBase64("/+/+"), "\xFF\xEF\xFE");
}

TEST(Base64, LineBreaksGarbageAndTruncation) {
  EXPECT_EQ(decodeBase64("SGVs\r\nbG8g\r\nV29y\r\nbGQ="), "Hello World");
  EXPECT_EQ(decodeBase64("SG Vs*bG8~"), "Hello");
  EXPECT_EQ(decodeBase64("SGVsbG"), "Hell");  // incomplete last group
  EXPECT_EQ(decodeBase64("S"), "");
  EXPECT_EQ(decodeBase64("QQ==QQ=="), "AA");  // concatenated groups
  std::string out = "x";
  appendBase64("eQ==", out);
  EXPECT_EQ(out, "xy");
}

}  // namespace
}  // namespace qb::text
