// AISINB: the whole-word substring matcher.
#include <gtest/gtest.h>

#include <string>

#include "text/aisinb.h"

using qb::text::AISINB;
using qb::text::findWord;

TEST(Aisinb, EmptyOrTooLongNeedleYieldsZero) {
  EXPECT_EQ(AISINB(false, "", "ABC"), 0);
  EXPECT_EQ(AISINB(false, "ABCD", "ABC"), 0);
  EXPECT_EQ(AISINB(true, "", ""), 0);
}

TEST(Aisinb, HaystackBeyondSigned16BitsYieldsZero) {
  std::string hay(32767, 'x');
  hay.replace(100, 3, "WIN");
  EXPECT_EQ(AISINB(false, "WIN", hay), 101);
  hay += 'x';  // 32,768 characters
  EXPECT_EQ(AISINB(false, "WIN", hay), 0);
  // The unlimited form used on whole message texts still finds it.
  EXPECT_EQ(findWord(false, "WIN", hay), 100u);
}

TEST(Aisinb, CaseMatters) {
  EXPECT_EQ(AISINB(false, "Win", "WINDOWS"), 0);
  EXPECT_EQ(AISINB(false, "WIN", "WINDOWS"), 1);
}

TEST(Aisinb, WholeWordLetterClass) {
  EXPECT_EQ(AISINB(true, "INI", "WIN.INI"), 5);
  EXPECT_EQ(AISINB(true, "WIN", "WIN95"), 1);  // digits other than 1 are no word characters
  EXPECT_EQ(AISINB(true, "WIN", "WIN1"), 0);   // the digit 1 is
  EXPECT_EQ(AISINB(true, "WIN", "TWIN WIN"), 6);
  EXPECT_EQ(AISINB(true, "WIN", "TWIN"), 0);
  EXPECT_EQ(AISINB(true, "WIN", "WIN\x81"), 0);  // codes 128-133 are letters
  EXPECT_EQ(AISINB(true, "WIN", "WIN\x86"), 1);
}

TEST(Aisinb, WholeWordDigitClass) {
  EXPECT_EQ(AISINB(true, "95", "WIN95"), 4);
  EXPECT_EQ(AISINB(true, "95", "1995"), 0);
  EXPECT_EQ(AISINB(true, "95", "1995 95"), 6);
}

TEST(Aisinb, PlainSearch) {
  EXPECT_EQ(AISINB(false, "WIN", "TWIN"), 2);
  EXPECT_EQ(AISINB(false, "XAB", "ABC XAB"), 5);
  EXPECT_EQ(AISINB(false, "AB", "AB"), 1);
  EXPECT_EQ(AISINB(false, "ANA", "BANANA"), 2);  // the leftmost occurrence
  EXPECT_EQ(AISINB(false, "ABC   ", "XXABC   "), 3);  // trailing blanks do not count
}

TEST(Aisinb, AgreesWithNaiveSearch) {
  // Skip distances must never jump over an occurrence.
  const std::string alphabet = "AB1 .";
  unsigned seed = 7;
  auto rnd = [&seed](unsigned n) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % n;
  };
  for (int round = 0; round < 3000; ++round) {
    std::string hay, needle;
    for (unsigned i = 0, n = 1 + rnd(30); i < n; ++i) hay += alphabet[rnd(5)];
    for (unsigned i = 0, n = 1 + rnd(4); i < n; ++i) needle += alphabet[rnd(3)];
    std::size_t expect = hay.find(needle);
    int16_t got = AISINB(false, needle, hay);
    std::string trimmed = hay;
    while (!trimmed.empty() && trimmed.back() == ' ') trimmed.pop_back();
    expect = trimmed.find(needle);
    EXPECT_EQ(got, expect == std::string::npos ? 0 : static_cast<int16_t>(expect + 1)) << needle << " in " << hay;
  }
}
