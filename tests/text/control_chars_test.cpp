// Control characters made visible for terminals and windows.
#include <gtest/gtest.h>

#include "text/control_chars.h"

namespace {

using qb::text::ControlStyle;
using qb::text::visibleControls;

TEST(ControlChars, EscapedForTerminals) {
  EXPECT_EQ(visibleControls("a\x1b]0;title\x07z", ControlStyle::Escape), "a\\x1B]0;title\\x07z");
  EXPECT_EQ(visibleControls(std::string("nul\0del\x7f", 8), ControlStyle::Escape), "nul\\x00del\\x7F");
  // C1 controls in UTF-8 (U+009B is the one-byte CSI); other characters stay.
  EXPECT_EQ(visibleControls("\xc2\x9b" "2J \xc3\xa9\xc2\xa0", ControlStyle::Escape), "\\u009B2J \xc3\xa9\xc2\xa0");
  // Tab and line ends are kept, except on one line.
  EXPECT_EQ(visibleControls("a\tb\r\nc", ControlStyle::Escape), "a\tb\r\nc");
  EXPECT_EQ(visibleControls("a\tb\r\nc", ControlStyle::Escape, true), "a\tb\\x0D\\x0Ac");
  EXPECT_EQ(visibleControls("", ControlStyle::Escape), "");
  // A text that ends in the middle of a sequence is left as it is.
  EXPECT_EQ(visibleControls("x\xc2", ControlStyle::Escape), "x\xc2");
}

TEST(ControlChars, PlaceholdersForWindows) {
  EXPECT_EQ(visibleControls("a\x1b" "b", ControlStyle::Placeholder), "a\xe2\x90\x9b" "b");  // U+241B
  EXPECT_EQ(visibleControls("\x07\x7f", ControlStyle::Placeholder), "\xe2\x90\x87\xe2\x90\xa1");
  EXPECT_EQ(visibleControls("\xc2\x85", ControlStyle::Placeholder), "\xef\xbf\xbd");
  EXPECT_EQ(visibleControls("line\nnext\ttab", ControlStyle::Placeholder), "line\nnext\ttab");
}

}  // namespace
