// Code page 850 and ISO-8859-2 tables.
#include <gtest/gtest.h>

#include "text/codepages.h"

namespace qb::text {
namespace {

TEST(DosToWindows, LettersMapToTheirWindowsBytes) {
  EXPECT_EQ(dosToWindows(0x81), 0xFC);  // u umlaut
  EXPECT_EQ(dosToWindows(0x84), 0xE4);  // a umlaut
  EXPECT_EQ(dosToWindows(0x8E), 0xC4);  // A umlaut
  EXPECT_EQ(dosToWindows(0x99), 0xD6);  // O umlaut
  EXPECT_EQ(dosToWindows(0xE1), 0xDF);  // sharp s
  EXPECT_EQ(dosToWindows(0x9C), 0xA3);  // pound
  EXPECT_EQ(dosToWindows(0x9F), 0x83);  // florin
  EXPECT_EQ(dosToWindows(0xB8), 0xA9);  // copyright
  EXPECT_EQ(dosToWindows(0xF5), 0xA7);  // section
  EXPECT_EQ(dosToWindows('A'), 'A');
}

TEST(DosToWindows, ListedDifferences) {
  for (int c : {0xB0, 0xB1, 0xB2, 0xB3, 0xB4, 0xB9, 0xBA, 0xBB, 0xBC, 0xBF, 0xC0, 0xC1, 0xC2, 0xC3,
                0xC4, 0xC5, 0xC8, 0xC9, 0xCA, 0xCB, 0xCC, 0xCD, 0xCE, 0xD9, 0xDA, 0xDB, 0xDC, 0xDF,
                0xFE, 0xD5, 0xF7, 0xF8, 0xFF})
    EXPECT_EQ(dosToWindows(uint8_t(c)), ' ') << std::hex << c;
  EXPECT_EQ(dosToWindows(0xF2), '=');
}

TEST(DosToWindows, EveryOtherHighByteStaysHigh) {
  int blanks = 0;
  for (int c = 0x80; c < 0x100; ++c) {
    uint8_t w = dosToWindows(uint8_t(c));
    if (w == ' ') {
      ++blanks;
    } else if (c != 0xF2) {
      EXPECT_GE(w, 0x80) << std::hex << c;
    }
  }
  EXPECT_EQ(blanks, 33);
}

TEST(DosToWindows, PieceAndStringInPlace) {
  LinePiece p(std::string_view("Gr\x81\xE1" "e"));
  dosToWindows(p);
  EXPECT_EQ(p.view(), "Gr\xFC\xDF" "e");
  std::string s = "\xC9\xCD\xBB box";
  dosToWindows(s);
  EXPECT_EQ(s, "    box");
}

TEST(Latin2Fold, TableRules) {
  EXPECT_EQ(latin2Fold(0xA9), 138);  // S caron
  EXPECT_EQ(latin2Fold(0xB9), 154);  // s caron
  EXPECT_EQ(latin2Fold(0xAE), 0x8E); // Z caron exists in Windows-1252
  EXPECT_EQ(latin2Fold(0xA1), 'A');  // A ogonek
  EXPECT_EQ(latin2Fold(0xB3), 'l');  // l stroke
  EXPECT_EQ(latin2Fold(0xC0), 'R');  // R acute
  EXPECT_EQ(latin2Fold(0xE8), 'c');  // c caron
  EXPECT_EQ(latin2Fold(0xF5), 'o');  // o double acute
  EXPECT_EQ(latin2Fold(0xE9), 0xE9); // e acute
  EXPECT_EQ(latin2Fold(0xDF), 0xDF); // sharp s
  EXPECT_EQ(latin2Fold(0xD7), 0xD7); // multiplication sign
  for (int c : {0xA2, 0xB2, 0xB7, 0xBD, 0xFF}) EXPECT_EQ(latin2Fold(uint8_t(c)), '?');
  EXPECT_EQ(latin2Fold(0x9F), 0x9F);  // below the table: unchanged
  std::string s = "\xA3\xF3\x64\xBC";  // Lodz with stroke, acute, dot
  latin2Fold(s);
  EXPECT_EQ(s, "L\xF3" "dz");
}

TEST(Charset, NamesAndArchiveConversion) {
  EXPECT_EQ(charsetFromName("ISO-8859-2"), Charset::Latin2);
  EXPECT_EQ(charsetFromName(" \"iso-8859-1\" "), Charset::Latin1);
  EXPECT_EQ(charsetFromName("us-ascii"), Charset::UsAscii);
  EXPECT_EQ(charsetFromName("utf-8"), Charset::Other);
  std::string utf8 = "\xC3\xA9t\xC3\xA9";
  toArchiveText(Charset::Other, utf8);
  EXPECT_EQ(utf8, "\xC3\xA9t\xC3\xA9");  // passed through as it is
  std::string l2 = "\xB9";
  toArchiveText(Charset::Latin2, l2);
  EXPECT_EQ(l2, "\x9A");
}

}  // namespace
}  // namespace qb::text
