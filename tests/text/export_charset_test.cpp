// Encoding archive texts for export files, and the Base64 and
// quoted-printable encoders of the Internet formats.
#include <gtest/gtest.h>

#include <random>

#include "text/encodings.h"
#include "text/unicode.h"

namespace {

using namespace qb::text;

TEST(Utf8Encode, CharsetsAndLosses) {
  EXPECT_EQ(fromUtf8("Gr\u00fc\u00dfe \u20ac", "windows-1252"), "Gr\xfc\xdf" "e \x80");
  EXPECT_EQ(fromUtf8("Gr\u00fc\u00dfe \u20ac", "ISO-8859-1"), "Gr\xfc\xdf" "e ?");
  EXPECT_EQ(fromUtf8("Gr\u00fc\u00dfe", "us-ascii"), "Gr??e");
  EXPECT_EQ(fromUtf8("\u00e9\u2500", "ibm437"), "\x82?");
  EXPECT_EQ(fromUtf8("\xf0\x9f\x98\x80", "utf-8"), "\xf0\x9f\x98\x80");  // four bytes kept
  EXPECT_EQ(fromUtf8("x", "koi8-r"), "x");                              // unknown: unchanged
  // overlong forms and surrogates are no UTF-8: their bytes are Windows-1252 characters
  EXPECT_EQ(fromUtf8("\xc0\xaf", "windows-1252"), "\xc0\xaf");
  EXPECT_EQ(fromUtf8("\xed\xa0\x80", "utf-8"), "\u00ed\u00a0\u20ac");
}

TEST(Utf8Encode, Base64AndQuotedPrintable) {
  EXPECT_EQ(encodeBase64(""), "");
  EXPECT_EQ(encodeBase64("f"), "Zg==");
  EXPECT_EQ(encodeBase64("fo"), "Zm8=");
  EXPECT_EQ(encodeBase64("foobar"), "Zm9vYmFy");
  EXPECT_EQ(decodeBase64(encodeBase64("\x01\xff\x80 any bytes")), "\x01\xff\x80 any bytes");
  EXPECT_EQ(encodeQuotedPrintable("a=b caf\xc3\xa9 \nend\t\n"), "a=3Db caf=C3=A9=20\nend=09\n");
  const std::string longLine(200, 'x');
  const std::string qp = encodeQuotedPrintable(longLine + "\n");
  std::size_t start = 0;
  while (start < qp.size()) {
    std::size_t end = qp.find('\n', start);
    EXPECT_LE(end - start, 76u);
    start = end + 1;
  }
}

TEST(Utf8EncodeRobustness, RandomBytes) {
  std::mt19937 rng(7);
  for (int round = 0; round < 2000; ++round) {
    std::string s(rng() % 64, '\0');
    for (auto& c : s) c = static_cast<char>(rng());
    for (const char* cs : {"windows-1252", "ibm437", "us-ascii", "utf-8", "iso-8859-1"}) {
      std::size_t lost = 0;
      const std::string out = fromUtf8(s, cs, &lost);
      if (std::string(cs) != "utf-8") {
        EXPECT_LE(out.size(), s.size());
      }
    }
    std::size_t i = 0;
    while (i < s.size()) nextUtf8(s, i);
    EXPECT_EQ(i, s.size());
    encodeQuotedPrintable(s);
    EXPECT_EQ(decodeBase64(encodeBase64(s)), s);
  }
}

}  // namespace
