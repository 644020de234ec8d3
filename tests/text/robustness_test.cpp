// Random and hostile input never crashes, hangs or exceeds the memo size.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "text/codepages.h"
#include "text/encodings.h"
#include "text/enriched.h"
#include "text/html.h"
#include "text/line_piece.h"
#include "text/body_text.h"
#include "text/flowed.h"
#include "text/mime.h"
#include "text/unicode.h"
#include "text/month_date.h"
#include "text/text_assembler.h"

namespace qb::text {
namespace {

// Random bytes, weighted towards the characters the routines react to.
std::string randomText(std::mt19937& rng, std::size_t n) {
  static const std::string special = "<>&;=?\"/ \r\n\t-,:#BQbq_3D";
  std::string s(n, '\0');
  for (char& c : s) c = rng() % 3 == 0 ? special[rng() % special.size()] : static_cast<char>(rng() % 256);
  return s;
}

TEST(Robustness, RandomBytesThroughEveryRoutine) {
  std::mt19937 rng(20240601);
  for (int round = 0; round < 300; ++round) {
    std::string s = randomText(rng, rng() % 3000);
    EXPECT_LE(htmlToText(s).size(), kMaxText);
    enrichedToText(s);
    decodeEncodedWord(s);
    decodeEncodedWord("=?ISO-8859-2?Q?" + s + "?=");
    decodeBase64(s);
    std::string qp;
    undoQuotedPrintable(s, qp);
    readBoundary(s, rng() % 40);
    internetDate(s);
    captureDate(s, round % 2 == 0);
    dosToWindows(s);
    for (const char* cs : {"", "utf-8", "koi8-r", "shift_jis", "utf-16", "x-bogus"})
      EXPECT_TRUE(isUtf8(toUtf8(s, cs))) << cs;
    EXPECT_TRUE(isUtf8(foldCase(s)));
    EXPECT_TRUE(isUtf8(decodeHeaderText(s, "koi8-r")));
    EXPECT_TRUE(isUtf8(unwrapFlowed(s, round % 2 == 0)) || !isUtf8(s));
    decodeQuotedPrintable(s);
    for (auto enc : {TransferEncoding::Identity, TransferEncoding::QuotedPrintable, TransferEncoding::Base64}) {
      TextForm form;
      form.encoding = enc;
      form.charset = round % 2 ? "utf-8" : "";
      form.flowed = round % 3 == 0;
      form.kind = static_cast<BodyKind>(round % 3);
      std::string t = bodyText(s, form);
      EXPECT_LE(t.size(), kMaxText);
      EXPECT_TRUE(isUtf8(t));
    }

    std::vector<LinePiece> body;
    std::size_t pos = 0;
    while (pos < s.size()) {
      std::size_t end = s.find('\n', pos);
      if (end == std::string::npos) end = s.size();
      splitLine(std::string_view(s).substr(pos, end - pos), body);
      pos = end + 1;
    }
    dropEmbeddedHeader(body);
    markMimeBody(body, s.substr(0, 3));
    for (BodyKind k : {BodyKind::Plain, BodyKind::Html, BodyKind::Enriched})
      EXPECT_LE(assembleText(body, k).size(), kMaxText);
  }
}

TEST(Robustness, OversizedAndDegenerateInput) {
  std::string huge(200000, '<');
  EXPECT_EQ(htmlToText(huge), "");
  std::string amps(100000, '&');
  EXPECT_EQ(htmlToText("<p>" + amps).size(), kMaxText);
  std::string eqs(100000, '=');
  std::string out;
  EXPECT_TRUE(undoQuotedPrintable(eqs, out));
  EXPECT_EQ(out.size(), eqs.size() - 1);
  std::vector<LinePiece> body;
  splitLine(std::string(100000, 'x'), body);
  EXPECT_EQ(body.size(), 3u);
  EXPECT_EQ(enrichedToText(std::string(100000, '<')).size(), 50000u);
}

}  // namespace
}  // namespace qb::text
