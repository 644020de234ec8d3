// The list locator: which keys it takes, appending within the delay and
// starting anew after a pause, with the clock given by the test.
#include <gtest/gtest.h>

#include "archive/config.h"

using qb::store::Locator;

namespace {

// A locator whose delay setting reads `delay` (or cannot be read).
struct Typing {
  Locator loc;
  int32_t delay = 15;
  bool readable = true;
  int reads = 0;
  std::string dest;
  int key(int code, int32_t now, std::size_t length = 20) {
    return loc.IncrementStep(code, now, length, dest, [this](int32_t& d) {
      ++reads;
      d = delay;
      return readable;
    });
  }
};

constexpr int A = 'A', B = 'B', C = 'C';

}  // namespace

TEST(ConfigLocator, KeysWithinTheDelayAppendAndAPauseStartsAnew) {
  Typing t;
  EXPECT_EQ(t.key(A, 1000), 1);
  EXPECT_EQ(t.dest, "A");
  EXPECT_EQ(t.key(B, 1150), 1);  // 1.5 seconds: still within
  EXPECT_EQ(t.dest, "AB");
  EXPECT_EQ(t.key(C, 1301), 1);  // 1.51 seconds after B
  EXPECT_EQ(t.dest, "C");
  EXPECT_EQ(t.reads, 2);  // the delay is read when a new text starts
}

TEST(ConfigLocator, ADelayAbove35ActsAs15) {
  Typing t;
  t.delay = 40;
  t.key(A, 5000);
  t.key(B, 5150);
  EXPECT_EQ(t.dest, "AB");
  t.key(C, 5301);
  EXPECT_EQ(t.dest, "C");

  Typing longer;
  longer.delay = 35;
  longer.key(A, 5000);
  longer.key(B, 5350);
  EXPECT_EQ(longer.dest, "AB");

  Typing unreadable;
  unreadable.delay = 2;
  unreadable.readable = false;  // 15 when the setting cannot be read
  unreadable.key(A, 0);
  unreadable.key(B, 150);
  EXPECT_EQ(unreadable.dest, "AB");
}

TEST(ConfigLocator, WhichKeysAreTakenAndAsWhatCharacter) {
  Typing t;
  EXPECT_EQ(t.key(97, 10), 1);  // keypad 1
  EXPECT_EQ(t.key(304 + 2, 20), 1);  // shifted '2'
  EXPECT_EQ(t.key(32, 30), 1);
  EXPECT_EQ(t.key(1328 + 9, 40), 1);
  EXPECT_EQ(t.dest, "12 9");
  for (int other : {13, 27, 91, 106, 303, 347, 1327, 1338})
    EXPECT_EQ(t.key(other, 50), 0) << other;
  EXPECT_EQ(t.dest, "12 9");
  EXPECT_EQ(t.loc.text(), "12 9");
}

TEST(ConfigLocator, TextIsKeptToTenAndCutToTheDestination) {
  Typing t;
  for (int i = 0; i < 12; ++i) t.key('A' + i, 100 + i);
  EXPECT_EQ(t.dest, "ABCDEFGHIJ");
  t.key(A, 1000);
  t.key(B, 1001, 1);
  EXPECT_EQ(t.dest, "A");
  EXPECT_EQ(t.loc.text(), "AB");
}

TEST(ConfigLocator, KeysAcrossMidnightCountByElapsedTime) {
  Typing t;
  t.key(A, 8639990);  // 23:59:59.90
  t.key(B, 50);       // 0.6 seconds later
  EXPECT_EQ(t.dest, "AB");
  t.key(C, 8639900);  // hours later, at an earlier clock time
  t.key(A, 10000);
  EXPECT_EQ(t.dest, "A");
}
