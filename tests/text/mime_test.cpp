// MIME boundary reader, MIME body routine and the embedded-header routine.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/line_piece.h"
#include "text/mime.h"
#include "text/text_assembler.h"

namespace qb::text {
namespace {

std::vector<LinePiece> lines(std::initializer_list<std::string_view> ls) {
  std::vector<LinePiece> out;
  for (auto l : ls) splitLine(l, out);
  return out;
}

// The text that a multipart body gives after the MIME body routine.
std::string mimeText(std::vector<LinePiece> body, std::string_view boundary) {
  bool html = markMimeBody(body, boundary);
  return assembleText(body, html ? BodyKind::Html : BodyKind::Plain);
}

TEST(Boundary, FromTheContentTypeLine) {
  EXPECT_EQ(readBoundary("Content-Type: multipart/mixed; boundary=\"----=_NextPart_000\"",
                         kMultipartLineColumn),
            "----=_NextPart_000");
  EXPECT_EQ(readBoundary("Content-Type: multipart/mixed; BOUNDARY=AbC123  ", kMultipartLineColumn),
            "AbC123");
  EXPECT_EQ(readBoundary("Content-Type: multipart/related; boundary=\"b1\"; type=\"text/html\"",
                         kMultipartLineColumn),
            "b1");
  EXPECT_EQ(readBoundary("Content-Type: multipart/mixed; boundary=xyz; charset=x", kMultipartLineColumn),
            "xyz");
  EXPECT_EQ(readBoundary("\tboundary=\"cont\"", 0), "cont");
}

TEST(Boundary, NothingFound) {
  EXPECT_EQ(readBoundary("boundary=", 0), "");          // shorter than 10 characters
  EXPECT_EQ(readBoundary("Content-Type: multipart/mixed;", kMultipartLineColumn), "");
  EXPECT_EQ(readBoundary("  boundary=\"\"", 0), "");
  EXPECT_EQ(readBoundary("x boundary=abc", 5), "");     // the search starts after it
  EXPECT_EQ(readBoundary("short", 99), "");
  std::string longValue = "boundary=" + std::string(300, 'q');
  EXPECT_EQ(readBoundary(longValue, 0).size(), kMaxBoundary);
}

TEST(Boundary, DescriptionTakesContinuationLines) {
  MimeDescription d;
  d.headerLine("boundary=\"not-yet-multipart\"");
  EXPECT_FALSE(d.hasBoundary());
  d.multipartLine("Content-Type: multipart/alternative;");
  EXPECT_TRUE(d.multipart());
  EXPECT_FALSE(d.hasBoundary());
  d.headerLine(" x=1");                   // nine characters or fewer: passed over
  d.headerLine("\tboundary=\"abc\"");
  EXPECT_EQ(d.boundary(), "abc");
  d.headerLine("\tboundary=\"other\"");  // the first one found stays
  EXPECT_EQ(d.boundary(), "abc");
  d.clear();
  EXPECT_FALSE(d.multipart());
}

TEST(MimeBody, AlternativeWithPlainFirstKeepsThePlainPart) {
  auto body = lines({"This is a multi-part message in MIME format.", "", "--XX",
                     "Content-Type: text/plain; charset=iso-8859-1", "Content-Transfer-Encoding: 8bit", "",
                     "Plain text.", "", "--XX", "Content-Type: text/html", "", "<p>HTML text.</p>", "--XX--"});
  // The preamble is no part of the text.
  EXPECT_EQ(mimeText(body, "XX"), "Plain text.\r\n\r\n");
}

TEST(MimeBody, AlternativeWithHtmlFirstKeepsAndConvertsTheHtmlPart) {
  auto body = lines({"--XX", "Content-Type: text/html; charset=us-ascii", "",
                     "<html><body><p>Hello <b>there</b></p></body></html>", "--XX",
                     "Content-Type: text/plain", "", "Hello there", "--XX--"});
  std::vector<LinePiece> copy = body;
  EXPECT_TRUE(markMimeBody(copy, "XX"));
  EXPECT_EQ(mimeText(body, "XX"), "Hello there\r\n\r\n");
}

TEST(MimeBody, MixedKeepsTheTextAndDropsTheAttachment) {
  auto body = lines({"--mix", "Content-Type: text/plain", "", "See attachment.", "--mix",
                     "Content-Type: application/octet-stream; name=\"a.bin\"",
                     "Content-Transfer-Encoding: base64", "", "AAECAwQF", "--mix--", "epilogue"});
  EXPECT_EQ(mimeText(body, "mix"), "See attachment.\r\n");
}

TEST(MimeBody, AttachmentFirstThenText) {
  auto body = lines({"--b", "Content-Type: image/gif", "", "R0lGODlh", "--b", "Content-Type: text/plain", "",
                     "The text.", "--b--"});
  EXPECT_EQ(mimeText(body, "b"), "The text.\r\n");
}

TEST(MimeBody, NestedAlternativeIsWalkedWithItsOwnBoundary) {
  auto body = lines({"--outer", "Content-Type: multipart/alternative; boundary=\"inner\"", "",
                     "--inner", "Content-Type: text/plain", "", "Inner plain.", "--inner",
                     "Content-Type: text/html", "", "<p>Inner html</p>", "--inner--", "--outer",
                     "Content-Type: application/pdf", "", "JVBERi0=", "--outer--"});
  EXPECT_EQ(mimeText(body, "outer"), "Inner plain.\r\n");
}

TEST(MimeBody, NestedBoundaryOnAContinuationLine) {
  auto body = lines({"--outer", "Content-Type: multipart/related;", "\ttype=\"text/html\";",
                     "\tboundary=\"inner\"", "", "--inner", "Content-Type: text/html", "",
                     "<html>Related html</html>", "--inner", "Content-Type: image/png", "", "iVBO",
                     "--inner--", "--outer--"});
  EXPECT_EQ(mimeText(body, "outer"), "Related html");
}

TEST(MimeBody, MissingFinalBoundaryKeepsTheTextToTheEnd) {
  auto body = lines({"--b", "Content-Type: text/plain", "", "line one", "line two"});
  EXPECT_EQ(mimeText(body, "b"), "line one\r\nline two\r\n");
}

TEST(MimeBody, PartWithoutTypeIsPlainTextAndUnknownTypeIsDropped) {
  auto untyped = lines({"--b", "Content-Transfer-Encoding: 7bit", "", "untyped text", "--b--"});
  EXPECT_EQ(mimeText(untyped, "b"), "untyped text\r\n");
  auto other = lines({"--b", "Content-Type: message/rfc822", "", "From: x", "--b--"});
  EXPECT_EQ(mimeText(other, "b"), "");
}

TEST(MimeBody, EmptyBoundaryOrNoBoundaryLineChangesNothing) {
  auto body = lines({"just", "text"});
  EXPECT_FALSE(markMimeBody(body, ""));
  EXPECT_FALSE(markMimeBody(body, "zz"));
  EXPECT_EQ(assembleText(body, BodyKind::Plain), "just\r\ntext\r\n");
}

TEST(MimeBody, LineFilterForStreamingReaders) {
  MimeBodyFilter f("B");
  EXPECT_FALSE(f.keep("preamble"));
  EXPECT_EQ(f.preamble(), "preamble\n");
  EXPECT_FALSE(f.keep("--B"));
  EXPECT_FALSE(f.keep("Content-Type: TEXT/HTML"));
  EXPECT_FALSE(f.keep(""));
  EXPECT_TRUE(f.keep("<b>x</b>"));
  EXPECT_TRUE(f.html());
  EXPECT_FALSE(f.keep("--B--"));
  EXPECT_FALSE(f.keep("after"));
}

TEST(EmbeddedHeader, GatewayHeaderIsDropped) {
  auto body = lines({"Received: from gateway", "From: someone@example.com", "Subject: hi", "",
                     "Hello from the net.", "Bye"});
  EmbeddedHeader h = dropEmbeddedHeader(body);
  EXPECT_EQ(h.kind, BodyKind::Plain);
  EXPECT_EQ(h.firstBody, 4u);
  EXPECT_EQ(assembleText(body, h.firstBody, body.size() - 1, h.kind), "Hello from the net.\r\nBye\r\n");
}

TEST(EmbeddedHeader, HtmlAndMultipartHeaders) {
  auto html = lines({"FROM: a@b.c", "Content-Type: text/html", "", "<p>Web mail</p>"});
  EmbeddedHeader h = dropEmbeddedHeader(html);
  EXPECT_EQ(h.kind, BodyKind::Html);
  EXPECT_EQ(h.firstBody, 3u);

  auto multi = lines({"Date: Tue, 3 Mar 1998 10:15:00 +0100", "Content-Type: multipart/alternative;",
                      "  boundary=\"zz\"", "", "--zz", "Content-Type: text/plain", "", "Plain part.", "--zz",
                      "Content-Type: text/html", "", "<p>Html</p>", "--zz--"});
  h = dropEmbeddedHeader(multi);
  EXPECT_EQ(h.kind, BodyKind::Plain);
  EXPECT_EQ(h.firstBody, 7u);  // after the empty line and the marked part header
  EXPECT_EQ(assembleText(multi, h.firstBody, multi.size() - 1, h.kind), "Plain part.\r\n");
}

TEST(EmbeddedHeader, OrdinaryBodiesStay) {
  auto plain = lines({"Hi Bob,", "From: me"});
  EXPECT_EQ(dropEmbeddedHeader(plain).firstBody, 0u);
  auto noEnd = lines({"From: someone", "who never ends the header"});
  EXPECT_EQ(dropEmbeddedHeader(noEnd).firstBody, 0u);
  std::vector<LinePiece> none;
  EXPECT_EQ(dropEmbeddedHeader(none).firstBody, 0u);
}

}  // namespace
}  // namespace qb::text
