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

TEST(EncodedWord, DecodedIntoUtf8) {
  EXPECT_EQ(decodeEncodedWord("=?ISO-8859-1?Q?Andr=E9_M=FCller?="), "André Müller");
  EXPECT_EQ(decodeEncodedWord("Re: =?iso-8859-1?q?caf=e9?= ok"), "Re: café ok");
  EXPECT_EQ(decodeEncodedWord("=?ISO-8859-1?Q?a=3Db=41?="), "a=bA");
  EXPECT_EQ(decodeEncodedWord("=?ISO-8859-1?B?SGFsbG8gV2VsdA==?="), "Hallo Welt");
  // "Łódź" in ISO-8859-2: A3 F3 64 BC; nothing is folded to Latin-1 any more.
  EXPECT_EQ(decodeEncodedWord("=?ISO-8859-2?B?o/NkvA==?="), "Łódź");
  EXPECT_EQ(decodeEncodedWord("=?iso-8859-2?Q?=A9koda_=B9?="), "Škoda š");
  EXPECT_EQ(decodeEncodedWord("=?UTF-8?Q?Re=3A_Da_uma_olhada?="), "Re: Da uma olhada");
  EXPECT_EQ(decodeEncodedWord("=?KOI8-R?B?8NLJ18XU?="), "Привет");
  EXPECT_EQ(decodeEncodedWord("=?windows-1251?Q?=CF=F0=E8=E2=E5=F2?="), "Привет");
  EXPECT_EQ(decodeEncodedWord("=?utf-8*pl?Q?Pawe=C5=82?="), "Paweł");  // RFC 2231 language
  EXPECT_EQ(decodeEncodedWord("=?ISO-2022-JP?B?GyRCJEYkOSRIGyhC?="), "てすと");
}

TEST(EncodedWord, EveryWordIsDecodedAndAdjacentWordsJoin) {
  EXPECT_EQ(decodeEncodedWord("=?ISO-8859-1?Q?a=E4?= =?ISO-8859-1?Q?b=F6?="), "aäbö");
  // Blanks and a folded line end between two words vanish; blanks before
  // or after plain text stay.
  EXPECT_EQ(decodeEncodedWord("=?utf-8?q?one?=\r\n =?utf-8?q?_two?= three =?utf-8?q?four?="),
            "one two three four");
  // A UTF-8 character split across two words stays whole.
  EXPECT_EQ(decodeEncodedWord("=?UTF-8?B?xQ==?= =?UTF-8?B?gQ==?="), "Ł");
  // Words of different charsets.
  EXPECT_EQ(decodeEncodedWord("=?iso-8859-2?q?=A3?= =?koi8-r?q?=F0?="), "ŁП");
}

TEST(EncodedWord, MalformedWordsStayAndTextAroundIsConverted) {
  for (std::string_view s : {"=?ISO-8859-1?X?abc?=", "=?ISO-8859-1?Q?no end", "=?ISO-8859-1", "x =?",
                             "=?US-ASCII?Q", "no word at all", "=??Q?x?="})
    EXPECT_EQ(decodeEncodedWord(s), s);
  // An unknown charset is read by the unlabelled rule, never left half-decoded.
  EXPECT_EQ(decodeEncodedWord("=?x-unknown?Q?caf=E9?="), "café");
  // Raw 8-bit text around the words.
  EXPECT_EQ(decodeHeaderText("\xA3\xF3" "d\xBC =?utf-8?q?x?=", "iso-8859-2"), "Łódź x");
  EXPECT_EQ(decodeHeaderText("caf\xE9"), "café");
}

TEST(QuotedPrintableBody, DecodesPairsAndSoftBreaksOnly) {
  EXPECT_EQ(decodeQuotedPrintable("caf=E9 =e9 a=3Db=\r\ncontinued\r\nnext =\nline\n"),
            "caf\xE9 \xE9 a=bcontinued\nnext line\n");
  // An "=" without a pair stays, trailing blanks of an encoded line go.
  EXPECT_EQ(decodeQuotedPrintable("x=ZZ y=4   \nlast"), "x=ZZ y=4\nlast");
  EXPECT_EQ(decodeQuotedPrintable("a = \nb"), "a b");
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
