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

}  // namespace
}  // namespace qb::text
