// The body routine of the Internet formats: transfer encodings, charsets,
// flowed text, and the MIME part choice it relies on.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/body_text.h"
#include "text/flowed.h"
#include "text/mime.h"

namespace qb::text {
namespace {

TextForm form(TransferEncoding e, std::string charset, BodyKind kind = BodyKind::Plain) {
  TextForm f;
  f.encoding = e;
  f.charset = std::move(charset);
  f.kind = kind;
  return f;
}

TEST(BodyText, DecodesAndConvertsToUtf8) {
  EXPECT_EQ(bodyText("Pawe=B3 z =A3odzi\n", form(TransferEncoding::QuotedPrintable, "iso-8859-2")),
            "Paweł z Łodzi\r\n");
  EXPECT_EQ(bodyText("8NLJ18XU\n", form(TransferEncoding::Base64, "koi8-r")), "Привет\r\n");
  EXPECT_EQ(bodyText("\xCF\xF0\xE8\xE2\xE5\xF2", form(TransferEncoding::Identity, "windows-1251")), "Привет\r\n");
  EXPECT_EQ(bodyText("<p>&eacute;t&eacute; \xC3\xA9</p>", form(TransferEncoding::Identity, "utf-8", BodyKind::Html)),
            "été é\r\n\r\n");
}

TEST(BodyText, EqualsAtALineEndIsTextOutsideQuotedPrintable) {
  const std::string body = "=====\nnext line\nlast =\n";
  EXPECT_EQ(bodyText(body, form(TransferEncoding::Identity, "")), "=====\r\nnext line\r\nlast =\r\n");
  EXPECT_EQ(bodyText(body, form(TransferEncoding::QuotedPrintable, "")), "====next line\r\nlast \r\n");
}

TEST(BodyText, LongLinesAreKeptWhole) {
  const std::string line(5000, 'x');
  EXPECT_EQ(bodyText(line + "\nend\n", form(TransferEncoding::Identity, "")), line + "\r\nend\r\n");
}

TEST(BodyText, CutAtTheMemoSizeOnACharacterBoundary) {
  std::string body;
  while (body.size() < 70000) body += "ŁŁŁŁŁŁŁŁŁ\n";
  std::string t = bodyText(body, form(TransferEncoding::Identity, "utf-8"));
  EXPECT_LE(t.size(), kMaxText);
  EXPECT_GT(t.size(), kMaxText - 20);
  EXPECT_EQ(t.substr(t.size() - 2), "\r\n");
}

TEST(Flowed, SoftLineBreaksJoinAndQuotesStayApart) {
  EXPECT_EQ(unwrapFlowed("This is \nflowed text.\nHard line.\n", false), "This is flowed text.\nHard line.\n");
  EXPECT_EQ(unwrapFlowed("Wo\r\nrd\r\n", false), "Wo\nrd\n");
  EXPECT_EQ(unwrapFlowed("Wo \nrd\n", true), "Word\n");
  // Quote depths: ">" lines join only with lines of their own depth.
  EXPECT_EQ(unwrapFlowed("> quoted \n> more\n>> deeper \nnew\n", false), "> quoted more\n>> deeper \nnew\n");
  // Space stuffing is removed; the signature separator is no soft break.
  EXPECT_EQ(unwrapFlowed(" From here\n-- \nsig\n", false), "From here\n-- \nsig\n");
}

TEST(ContentTypeValue, TypeAndParameters) {
  ContentType t = parseContentType(" Text/Plain; charset=\"KOI8-R\"; format=Flowed; DelSp=yes");
  EXPECT_EQ(t.type, "text/plain");
  EXPECT_EQ(t.charset, "KOI8-R");
  EXPECT_TRUE(t.flowed);
  EXPECT_TRUE(t.delsp);
  t = parseContentType("multipart/mixed;\r\n\tboundary=\"----=_NextPart; x\"");
  EXPECT_TRUE(t.multipart());
  EXPECT_EQ(t.boundary, "----=_NextPart; x");
  EXPECT_EQ(parseContentType("garbage").type, "");
}

std::vector<LinePiece> lines(std::initializer_list<std::string_view> ls) {
  std::vector<LinePiece> out;
  for (auto l : ls) splitLine(l, out);
  return out;
}

std::string kept(const std::vector<LinePiece>& body) {
  std::string s;
  for (auto& p : body)
    if (!p.removed()) s += std::string(p.view()) + "|";
  return s;
}

TEST(MimeChoice, PartHeadersAreUnfoldedAndTellCharsetAndFlow) {
  auto body = lines({"This is a multi-part message in MIME format.", "--b1", "Content-Type: text/plain;",
                     "  charset=koi8-r;", "\tformat=flowed", "Content-Transfer-Encoding:", " base64", "",
                     "8NLJ18XU", "--b1--", "epilogue"});
  TextForm f = markMimePart(body, "b1");
  EXPECT_EQ(f.charset, "koi8-r");
  EXPECT_TRUE(f.flowed);
  EXPECT_EQ(f.encoding, TransferEncoding::Base64);
  EXPECT_EQ(kept(body), "8NLJ18XU|");
}

TEST(MimeChoice, NestedMixedWithoutTextFallsBackToTheOuterLevel) {
  auto body = lines({"--outer", "Content-Type: multipart/mixed; boundary=inner", "", "--inner",
                     "Content-Type: image/gif", "", "GIF89a", "--inner--", "--outer",
                     "Content-Type: text/plain", "", "the text", "--outer--"});
  markMimePart(body, "outer");
  EXPECT_EQ(kept(body), "the text|");
}

TEST(MimeChoice, AttachedTextIsNotTheBodyAndThePreambleStandsInWhenNothingIsTaken) {
  auto body = lines({"--b", "Content-Type: text/plain; name=notes.txt", "Content-Disposition: attachment;",
                     " filename=notes.txt", "", "attached", "--b", "Content-Type: text/html", "", "<p>body</p>",
                     "--b--"});
  EXPECT_TRUE(markMimeBody(body, "b"));
  EXPECT_EQ(kept(body), "<p>body</p>|");

  auto only = lines({"Only a preamble.", "--b", "Content-Type: image/png", "", "PNG", "--b--"});
  markMimePart(only, "b");
  EXPECT_EQ(kept(only), "Only a preamble.|");
}

TEST(MimeChoice, BoundaryMustStartTheLine) {
  auto body = lines({"--b", "", "text mentioning --b inline", "--bb is another boundary", "--b--"});
  markMimePart(body, "b");
  EXPECT_EQ(kept(body), "text mentioning --b inline|--bb is another boundary|");
}

}  // namespace
}  // namespace qb::text
