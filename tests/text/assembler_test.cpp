// Line pieces and the text assembler.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/line_piece.h"
#include "text/text_assembler.h"

namespace qb::text {
namespace {

std::vector<LinePiece> lines(std::initializer_list<std::string_view> ls) {
  std::vector<LinePiece> out;
  for (auto l : ls) splitLine(l, out);
  return out;
}

TEST(LinePiece, LongLineIsCutIntoThreeFlaggedPiecesAndTheRestDropped) {
  std::string line;
  for (int i = 0; i < 1500; ++i) line.push_back(char('a' + i % 26));
  std::vector<LinePiece> out;
  EXPECT_EQ(splitLine(line, out), 3u);
  ASSERT_EQ(out.size(), 3u);
  EXPECT_EQ(out[0].view(), line.substr(0, 400));
  EXPECT_EQ(out[1].view(), line.substr(400, 400));
  EXPECT_EQ(out[2].view(), line.substr(800, 400));
  EXPECT_EQ(out[0].continued, 1);
  EXPECT_EQ(out[1].continued, 1);
  EXPECT_EQ(out[2].continued, 0);
}

TEST(LinePiece, ExactlyFourHundredIsOnePieceAndEmptyLineIsOneEmptyPiece) {
  std::vector<LinePiece> out;
  EXPECT_EQ(splitLine(std::string(400, 'x'), out), 1u);
  EXPECT_EQ(out[0].continued, 0);
  EXPECT_EQ(splitLine("", out), 1u);
  EXPECT_TRUE(out[1].empty());
  EXPECT_EQ(splitLine(std::string(401, 'x'), out), 2u);
  EXPECT_EQ(out[2].length, 400u);
  EXPECT_EQ(out[3].view(), "x");
}

TEST(LinePiece, RemovalMarkerAndStripping) {
  LinePiece p("hello");
  EXPECT_FALSE(p.removed());
  p.markRemoved();
  EXPECT_TRUE(p.removed());
  EXPECT_EQ(p.view(), "!!!Remove this!!!");
  EXPECT_EQ(stripTrailingBlanks("ab  "), "ab");
  EXPECT_EQ(stripTrailingBlanks("   "), "");
  EXPECT_EQ(stripCR("ab\r"), "ab");
}

TEST(TextAssembler, LeadingBlankLinesAreDroppedInnerOnesKept) {
  auto body = lines({"", "", "", "first", "", "second"});
  EXPECT_EQ(assembleText(body, BodyKind::Plain), "first\r\n\r\nsecond\r\n");
}

TEST(TextAssembler, ContinuedPieceJoinsWithoutLineEndExceptTheFirstPiece) {
  std::string longLine(400, 'a');
  longLine += "bc";
  auto body = lines({"top", longLine, "end"});
  EXPECT_EQ(assembleText(body, BodyKind::Plain), "top\r\n" + longLine + "\r\nend\r\n");
  // The first piece of a range always ends with CR LF, even when continued.
  auto alone = lines({longLine});
  EXPECT_EQ(assembleText(alone, BodyKind::Plain), std::string(400, 'a') + "\r\nbc\r\n");
}

TEST(TextAssembler, RemovedPiecesAreSkipped) {
  auto body = lines({"keep", "drop", "also"});
  body[1].markRemoved();
  EXPECT_EQ(assembleText(body, BodyKind::Plain), "keep\r\nalso\r\n");
  body[0].markRemoved();
  EXPECT_EQ(assembleText(body, BodyKind::Plain), "also\r\n");
}

TEST(TextAssembler, RangeIsInclusiveAndClamped) {
  auto q = lines({"a", "b", "c", "d"});
  EXPECT_EQ(assembleText(q, 1, 2, BodyKind::Plain), "b\r\nc\r\n");
  EXPECT_EQ(assembleText(q, 2, 99, BodyKind::Plain), "c\r\nd\r\n");
  EXPECT_EQ(assembleText(q, 3, 1, BodyKind::Plain), "");
  EXPECT_EQ(assembleText(q, 9, 12, BodyKind::Plain), "");
}

TEST(TextAssembler, CutAt64000WithFinalLineEnd) {
  // 200 lines of 398 characters + CR LF = 80000 bytes offered.
  std::vector<LinePiece> body;
  for (int i = 0; i < 200; ++i) splitLine(std::string(398, char('A' + i % 26)), body);
  std::string text = assembleText(body, BodyKind::Plain);
  ASSERT_EQ(text.size(), 64000u);
  EXPECT_EQ(text.substr(63998), "\r\n");
  // 159 whole lines (63600 bytes), then 398 bytes of line 160, then CR LF.
  EXPECT_EQ(text.substr(63600, 398), std::string(398, char('A' + 159 % 26)));
}

TEST(TextAssembler, PieceReachingExactly64000IsCutToo) {
  TextAssembler a;
  // 63990 bytes in lines of 8 + CR LF; the next piece of 8 + CR LF reaches 64000.
  for (int i = 0; i < 6399; ++i) ASSERT_TRUE(a.add("12345678"));
  EXPECT_EQ(a.joined().size(), 63990u);
  EXPECT_FALSE(a.add("abcdefgh"));
  EXPECT_TRUE(a.full());
  EXPECT_FALSE(a.add("ignored"));
  std::string text = a.finish(BodyKind::Plain);
  ASSERT_EQ(text.size(), 64000u);
  EXPECT_EQ(text.substr(63990), "abcdefgh\r\n");
}

TEST(TextAssembler, ContinuedPieceAtTheLimitStillEndsWithLineEnd) {
  TextAssembler a;
  a.add("a", true);  // the first piece gets CR LF although continued
  EXPECT_EQ(a.joined(), "a\r\n");
  for (int i = 0; i < 159; ++i) a.add(std::string(400, 'x'), true);
  EXPECT_TRUE(a.add(std::string(396, 'z'), true));
  EXPECT_EQ(a.joined().size(), 63999u);  // just below the limit, no line end
  EXPECT_FALSE(a.add("more", true));
  std::string text = a.finish(BodyKind::Plain);
  EXPECT_EQ(text.size(), 64000u);
  EXPECT_EQ(text.substr(63998), "\r\n");
}

TEST(TextAssembler, BodyKindsConvert) {
  auto html = lines({"<p>Hello <b>world</b></p>"});
  EXPECT_EQ(assembleText(html, BodyKind::Html), "Hello world\r\n\r\n");
  auto enriched = lines({"<bold>Hi</bold> <<there"});
  EXPECT_EQ(assembleText(enriched, BodyKind::Enriched), "Hi <there\r\n");
  // A plain body that starts like an HTML document is converted as well.
  auto sniffed = lines({"<html><body>Text here</body></html>"});
  EXPECT_EQ(assembleText(sniffed, BodyKind::Plain), "Text here");
  auto plain = lines({"Talking about <html> tags"});
  EXPECT_EQ(assembleText(plain, BodyKind::Plain), "Talking about <html> tags\r\n");
  auto word = lines({"HTML is <b>easy</b>, really"});
  EXPECT_EQ(assembleText(word, BodyKind::Plain), "HTML is <b>easy</b>, really\r\n");
}

TEST(TextAssembler, ReusedAfterFinish) {
  TextAssembler a;
  a.add("");
  a.add("one");
  EXPECT_EQ(a.finish(BodyKind::Plain), "one\r\n");
  a.add("");
  a.add("two");
  EXPECT_EQ(a.finish(BodyKind::Plain), "two\r\n");
}

}  // namespace
}  // namespace qb::text
