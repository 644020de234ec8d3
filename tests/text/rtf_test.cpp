// RTF bodies to text: plain RTF with code-page bytes and Unicode escapes,
// RTF that encapsulates HTML, dropped destinations, and damaged input.
#include <gtest/gtest.h>

#include <random>

#include "text/rtf.h"

namespace qb::text {
namespace {

TEST(Rtf, PlainDocument) {
  RtfText t = rtfToText(
      "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}{\\colortbl;\\red0\\green0\\blue0;}"
      "{\\*\\generator Riched20;}\\viewkind4\\uc1\\pard\\f0\\fs20 Caf\\'e9 au lait\\par\n"
      "Second\\tab line \\u8364?5 \\{braces\\}\\line\n"
      "{\\*\\unknowndest dropped}\\ldblquote q\\rdblquote\\par}");
  EXPECT_FALSE(t.html);
  EXPECT_EQ(t.text, "Caf\xC3\xA9 au lait\r\nSecond\tline \xE2\x82\xAC" "5 {braces}\r\n\xE2\x80\x9Cq\xE2\x80\x9D\r\n");
}

TEST(Rtf, CodePageOfTheDocument) {
  // Code page 1251: 0xCF 0xF0 0xE8 is "При".
  RtfText t = rtfToText("{\\rtf1\\ansi\\ansicpg1251 \\'cf\\'f0\\'e8\\par}");
  EXPECT_EQ(t.text, "\xD0\x9F\xD1\x80\xD0\xB8\r\n");
  // \uc2: two replacement characters after each \u.
  t = rtfToText("{\\rtf1\\uc2 A\\u-4064??B}");
  EXPECT_EQ(t.text, "A\xEF\x80\xA0" "B");
}

TEST(Rtf, EncapsulatedHtmlIsGivenBack) {
  RtfText t = rtfToText(
      "{\\rtf1\\ansi\\ansicpg1252\\fromhtml1 \\deff0{\\fonttbl{\\f0\\fswiss Arial;}}\n"
      "{\\*\\htmltag19 <html>}{\\*\\htmltag34 <head>}\\htmlrtf {\\f0 rendering only}\\htmlrtf0 \n"
      "{\\*\\htmltag50 <body>}Hello \\'e9t\\'e9{\\*\\htmltag116 <br>}\\htmlrtf \\par \\htmlrtf0 \n"
      "{\\*\\htmltag58 </body>}}");
  EXPECT_TRUE(t.html);
  EXPECT_EQ(t.text, "<html><head><body>Hello \xC3\xA9t\xC3\xA9<br></body>");
}

TEST(RtfRobustness, DamagedInputEndsCleanly) {
  EXPECT_EQ(rtfToText("").text, "");
  EXPECT_EQ(rtfToText("}}}{\\").text, "");
  EXPECT_EQ(rtfToText("{\\rtf1 text \\'4").text, "text ");
  std::string deep(100000, '{');
  EXPECT_EQ(rtfToText(deep + "x").text, "");
  std::mt19937 rng(3);
  for (int round = 0; round < 200; ++round) {
    std::string s;
    for (int i = 0; i < 2000; ++i) s += "{}\\'u0123456789abcdefpar x"[rng() % 26];
    RtfText t = rtfToText(s);
    EXPECT_LE(t.text.size(), 64004u);
  }
  std::string big = "{\\rtf1 ";
  for (int i = 0; i < 20000; ++i) big += "word\\par ";
  EXPECT_LE(rtfToText(big).text.size(), 64000u);
}

}  // namespace
}  // namespace qb::text
