// The Internet header reader: classifier, address rules, identifiers and
// TID records, newsgroup choice, dates, subjects, header end and MIME.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "import/formats/shared/internet_header.h"
#include "news_fake_context.h"
#include "text/datetime.h"

namespace qb::import {
namespace {

using testing::NewsContext;

std::vector<text::LinePiece> queue(const std::vector<std::string>& lines) {
  std::vector<text::LinePiece> q;
  for (auto& l : lines) text::splitLine(l, q);
  return q;
}

struct Read {
  NHR nhr;
  HeaderResult r;
  std::vector<text::LinePiece> q;
  std::string body(const std::string& sep = "|") const {
    std::string s;
    for (std::size_t i = r.firstBody; i < q.size(); ++i) {
      if (q[i].removed()) continue;
      if (!s.empty()) s += sep;
      s += std::string(q[i].view());
    }
    return s;
  }
};

Read readHeader(NewsContext& ctx, const std::vector<std::string>& lines, HeaderOptions opt = {}) {
  Read out;
  out.q = queue(lines);
  InternetHeaderReader reader(ctx);
  out.r = reader.read(out.q, 0, out.nhr, opt);
  return out;
}

TEST(HeaderClassifier, KnowsTheHeaderNamesOfItsTable) {
  EXPECT_EQ(classifyHeader("From: a@example.com"), HdrFrom);
  EXPECT_EQ(classifyHeader("date: Tue, 3 Mar 1998"), HdrDate);
  EXPECT_EQ(classifyHeader("To: b@example.org"), HdrTo);
  EXPECT_EQ(classifyHeader("SUBJECT: x"), HdrSubject);
  EXPECT_EQ(classifyHeader("Newsgroups: a.b"), HdrNewsgroups);
  EXPECT_EQ(classifyHeader("Message-ID: <x@y>"), HdrMessageId);
  for (const char* other : {"Comments: c", "Content-Type: text/plain", "Content-Transfer-Encoding: 7bit",
                            "In-Reply-To: <x>", "MIME-Version: 1.0", "Path: a!b", "Received: from x",
                            "Reply-To: a@b", "Return-Path: <a@b>", "Sender: a@b", "Status: RO", "URL: http://x",
                            "X-Newsreader: Something 1.0", "From someone@example.com Tue Mar 03 10:15:00 1998",
                            "From - Tue Mar 03 10:15:00 1998"})
    EXPECT_EQ(classifyHeader(other), HdrOther) << other;
  // Not in the table, or not quite a header name.
  for (const char* none : {"", "References: <x>", "Lines: 4", "Organization: x", "X-Flag:none",
                           "From nobody in particular", "Subjects: x", "Hello world", "> From: quoted"})
    EXPECT_EQ(classifyHeader(none), HdrNone) << none;
}

TEST(NewsAddressRule, SplitsTheCommonForms) {
  auto a = newsAddress("Ada Thornfield <Ada@Example.COM>");
  EXPECT_EQ(a.name, "Ada Thornfield");
  EXPECT_EQ(a.address, "ada@example.com");
  a = newsAddress("bram@example.org (Bram Okonjo)");
  EXPECT_EQ(a.name, "Bram Okonjo");
  EXPECT_EQ(a.address, "bram@example.org");
  a = newsAddress("\"Okonjo, Bram\" <bram@example.org>");
  EXPECT_EQ(a.name, "Okonjo, Bram");
  a = newsAddress("Cleo Marsh cleo@example.com");
  EXPECT_EQ(a.name, "Cleo Marsh");
  EXPECT_EQ(a.address, "cleo@example.com");
  a = newsAddress("  dario@example.org  ");
  EXPECT_EQ(a.name, "");
  EXPECT_EQ(a.address, "dario@example.org");
  a = newsAddress("Just A Name");
  EXPECT_EQ(a.name, "");
  EXPECT_EQ(a.address, "just a name");
  EXPECT_EQ(newsAddress(std::string(100, 'x') + "@example.com").address.size(), 60u);
}

TEST(OtherAddressRule, SplitsGatewayAndCompuServeForms) {
  auto a = otherAddress("Tara Quill <Tara@Example.com>");
  EXPECT_EQ(a.name, "Tara Quill");
  EXPECT_EQ(a.address, "tara@example.com");
  a = otherAddress("<tara@example.com>");  // our choice: no name rather than "<tara"
  EXPECT_EQ(a.name, "");
  EXPECT_EQ(a.address, "tara@example.com");
  a = otherAddress("John Smith INTERNET:JS@example.com");
  EXPECT_EQ(a.name, "John Smith");
  EXPECT_EQ(a.address, "js@example.com");
  a = otherAddress("INTERNET:js@example.com");
  EXPECT_EQ(a.name, "");
  EXPECT_EQ(a.address, "js@example.com");
  a = otherAddress("Ugo Ferris ugo@example.org");
  EXPECT_EQ(a.name, "Ugo Ferris");
  EXPECT_EQ(a.address, "ugo@example.org");
  a = otherAddress("\"Vera Stone\" <vera@example.com>");
  EXPECT_EQ(a.name, "Vera Stone");
  a = otherAddress("Jane Doe 76543,210");
  EXPECT_EQ(a.name, "Jane Doe");
  EXPECT_EQ(a.address, "76543,210");
  a = otherAddress("Jane Doe [76543.210]");
  EXPECT_EQ(a.name, "Jane Doe");
  EXPECT_EQ(a.address, "76543,210");
  EXPECT_EQ(addressRuleFor(ImportTypeId::Gravity), AddressRule::News);
  EXPECT_EQ(addressRuleFor(ImportTypeId::NetscapeNews), AddressRule::Other);
}

TEST(HeaderReader, TwoReferencesGiveOneTidRecordForTheLast) {
  NewsContext ctx;
  auto r = readHeader(ctx, {"From: a@example.com", "Newsgroups: alt.test", "Message-ID: <3@example.com>",
                            "References: <1@example.com> <2@example.com>", "", "text"});
  ASSERT_EQ(ctx.tids.size(), 2u);
  EXPECT_NE(r.nhr.MSGNUMBER, 0u);
  EXPECT_NE(r.nhr.REFNUMBER, 0u);
  EXPECT_NE(r.nhr.MSGNUMBER, r.nhr.REFNUMBER);
  EXPECT_EQ(ctx.idOf(r.nhr.MSGNUMBER), "<3@example.com>");
  EXPECT_EQ(ctx.idOf(r.nhr.REFNUMBER), "<2@example.com>");
  EXPECT_EQ(r.nhr.R_NAME.str(), "Unknown");
  EXPECT_EQ(r.nhr.R_CISADRESS.str(), "Unknown");
}

TEST(HeaderReader, ReferencesRunOnInFurtherPiecesAndFoldedLines) {
  NewsContext ctx;
  // 40 identifiers of 20 characters: the line is cut into pieces, and only
  // its end matters.
  std::string refs = "References:";
  for (int i = 10; i < 50; ++i) refs += " <r" + std::to_string(i) + "@example.com>   ";
  auto r = readHeader(ctx, {"Newsgroups: alt.test", refs, "\t<last@example.com>", "Subject: s", "", "text"});
  EXPECT_EQ(ctx.idOf(r.nhr.REFNUMBER), "<last@example.com>");
  EXPECT_EQ(r.nhr.HEADING.str(), "s");  // the line after the folded one is read again

  EXPECT_EQ(lastReference("<a@x> <b@x>"), "<b@x>");
  EXPECT_EQ(lastReference("<a@x>"), "<a@x>");
  EXPECT_EQ(lastReference("<a@x> <b@x> <cut-sh"), "<b@x>");
}

TEST(HeaderReader, SubjectLosesOneReplyPrefix) {
  EXPECT_EQ(headingOf("Re: Re: hello"), "Re: hello");
  EXPECT_EQ(headingOf("  RE:hello"), "hello");
  EXPECT_EQ(headingOf("re:   hello"), "hello");
  EXPECT_EQ(headingOf("Regarding hello"), "Regarding hello");
  NewsContext ctx;
  auto r = readHeader(ctx, {"Newsgroups: alt.test", "Subject: Re: Re: hello", "", "x"});
  EXPECT_EQ(r.nhr.HEADING.str(), "Re: hello");
}

TEST(HeaderReader, ReadsTheDateForms) {
  NewsContext ctx;
  const int32_t march3 = text::dayNumber(1998, 3, 3);
  auto r = readHeader(ctx, {"Newsgroups: a", "Date: Tue, 3 Mar 1998 10:15:00 +0100", "", "x"});
  EXPECT_EQ(r.nhr.DATE, march3);
  EXPECT_EQ(r.nhr.TIME, text::timeValue(10, 15, 0));
  r = readHeader(ctx, {"Newsgroups: a", "Date: 03-Mar-98 10:15", "", "x"});
  EXPECT_EQ(r.nhr.DATE, march3);
  EXPECT_EQ(r.nhr.TIME, text::timeValue(10, 15, 0));
  r = readHeader(ctx, {"Newsgroups: a", "Date: Tuesday, March 03, 1998 22:05:09 GMT", "", "x"});
  EXPECT_EQ(r.nhr.DATE, march3);
  EXPECT_EQ(r.nhr.TIME, text::timeValue(22, 5, 9));
  r = readHeader(ctx, {"Newsgroups: a", "", "x"});
  EXPECT_EQ(r.nhr.DATE, 0);
  EXPECT_EQ(r.nhr.TIME, 0);
}

TEST(HeaderReader, NewsgroupChoiceTakesTheFirstNameWithADatabase) {
  NewsContext ctx;
  ctx.addDatabase("rec.example.birds", 3);
  auto r = readHeader(ctx, {"Newsgroups: alt.example.none, rec.example.birds,comp.other", "", "x"});
  EXPECT_EQ(r.nhr.FOR_DESCRIPTION.str(), "rec.example.birds");
  r = readHeader(ctx, {"Newsgroups: alt.example.none,comp.other", "", "x"});
  EXPECT_EQ(r.nhr.FOR_DESCRIPTION.str(), "alt.example.none");
  r = readHeader(ctx, {"Newsgroups: alt.example.single", "", "x"});
  EXPECT_EQ(r.nhr.FOR_DESCRIPTION.str(), "alt.example.single");
  EXPECT_EQ(ctx.dbs.size(), 1u) << "the choice creates no database";
}

TEST(HeaderReader, DecidesTheKindAndWhereTheBodyStarts) {
  NewsContext ctx;
  auto news = readHeader(ctx, {"From: a@example.com", "Newsgroups: a.b", "Lines: 12", "", "", "body"});
  EXPECT_EQ(news.r.kind, MessageKind::News);
  EXPECT_EQ(news.r.lines, 12);
  EXPECT_EQ(news.body(), "body");
  HeaderOptions forums;
  forums.forums = true;
  auto forum = readHeader(ctx, {"Subject: Disk utilities", "From: Tara Quill 76543,210", "To: All", "", "b"}, forums);
  EXPECT_EQ(forum.r.kind, MessageKind::Forum);
  // A store of mail and news alone has no forum messages: a mail may begin
  // with its subject.
  auto mailFirst = readHeader(ctx, {"Subject: Disk utilities", "From: Tara Quill <t@example.com>", "", "b"});
  EXPECT_EQ(mailFirst.r.kind, MessageKind::Mail);
  auto mail = readHeader(ctx, {"From: a@example.com", "Subject: s", "Date: 03-Mar-98 10:15", "", "b"});
  EXPECT_EQ(mail.r.kind, MessageKind::Mail);
  EXPECT_EQ(mail.body(), "b");
}

TEST(HeaderReader, NearMissesDoNothing) {
  NewsContext ctx;
  auto r = readHeader(ctx, {"Newsgroups: a", "Subject: real", "Subjects: not this", "Reply-To: x@y",
                            "Message-Type: news", "Lines-Count: 99", "", "x"});
  EXPECT_EQ(r.nhr.HEADING.str(), "real");
  EXPECT_EQ(r.r.lines, 0);
  EXPECT_TRUE(ctx.tids.empty());
}

TEST(HeaderReader, ABlankLineEndsAMailHeaderOnlyWhenEnoughWasSeen) {
  NewsContext ctx;
  // Without a date, the first blank line is passed over and "To:" is read.
  auto r = readHeader(ctx, {"From: a@example.com", "Subject: s", "", "To: b@example.org", "", "body"});
  EXPECT_TRUE(r.r.sawTo);
  EXPECT_EQ(r.nhr.R_CISADRESS.str(), "b@example.org");
  EXPECT_EQ(r.body(), "body");
  // A header that never ends that way ends at its first blank line: the
  // body is kept.
  r = readHeader(ctx, {"From: a@example.com", "Subject: s", "", "first body line", "second"});
  EXPECT_EQ(r.body(), "first body line|second");
  // A line of blanks is a folded header line, not the end of the header.
  r = readHeader(ctx, {"Newsgroups: a", "Subject: folded", "  ", "Message-ID: <m@x>", "", "b"});
  EXPECT_EQ(ctx.idOf(r.nhr.MSGNUMBER), "<m@x>");
}

TEST(HeaderReader, HtmlAndMultipartBodies) {
  NewsContext ctx;
  auto html = readHeader(ctx, {"Newsgroups: a", "Content-Type: text/html", "", "<p>x</p>"});
  EXPECT_TRUE(html.r.html);
  // The boundary on a continuation line; the plain part is kept.
  auto mp = readHeader(ctx, {"Newsgroups: a", "Content-Type: multipart/alternative;", "\tboundary=\"zz\"", "",
                             "preamble", "--zz", "Content-Type: text/plain", "", "plain text", "--zz",
                             "Content-Type: text/html", "", "<b>html</b>", "--zz--"});
  EXPECT_TRUE(mp.r.multipart);
  EXPECT_EQ(mp.r.boundary, "zz");
  EXPECT_FALSE(mp.r.html);
  EXPECT_EQ(mp.body(), "plain text");  // the preamble is no part of any body
}

TEST(HeaderReader, IndexEntryStandsInForMissingLines) {
  NewsContext ctx;
  NewsIndexEntry x{"<idx@example.com>", "From the index", "Fay Corrin <fay@example.com>",
                   "<older@example.com> <parent@example.com>", "comp.example.databases"};
  HeaderOptions opt;
  opt.index = &x;
  auto r = readHeader(ctx, {"Date: 03-Mar-98 10:15", "", "body"}, opt);
  EXPECT_EQ(r.r.kind, MessageKind::News);
  EXPECT_EQ(ctx.idOf(r.nhr.MSGNUMBER), "<idx@example.com>");
  EXPECT_EQ(ctx.idOf(r.nhr.REFNUMBER), "<parent@example.com>");
  EXPECT_EQ(r.nhr.FOR_DESCRIPTION.str(), "comp.example.databases");
  EXPECT_EQ(r.nhr.HEADING.str(), "From the index");
  EXPECT_EQ(r.nhr.S_CISADRESS.str(), "fay@example.com");
  // Header lines win over the index.
  ctx.tids.clear();
  r = readHeader(ctx, {"Message-ID: <own@example.com>", "Subject: own", "", "b"}, opt);
  EXPECT_EQ(ctx.idOf(r.nhr.MSGNUMBER), "<own@example.com>");
  EXPECT_EQ(r.nhr.HEADING.str(), "own");
}

TEST(HeaderReader, MailSidesOfTheMailboxOwner) {
  NewsContext ctx;
  HeaderOptions opt;
  opt.owner = MailboxSide{"Wilma Thornbury", "wilma@example.com"};
  auto in = readHeader(ctx, {"From: Bob <bob@example.org>", "Subject: s", "Date: 03-Mar-98 10:15", "", "b"}, opt);
  EXPECT_FALSE(in.r.outgoing);
  EXPECT_EQ(in.nhr.MAILTYPE, 1);
  EXPECT_EQ(in.nhr.S_CISADRESS.str(), "bob@example.org");
  EXPECT_EQ(in.nhr.R_NAME.str(), "Wilma Thornbury");
  auto out = readHeader(ctx, {"From: You", "To: Bob <bob@example.org> (X)", "Subject: s", "", "b"}, opt);
  EXPECT_TRUE(out.r.outgoing);
  EXPECT_EQ(out.nhr.MAILTYPE, 2);
  EXPECT_EQ(out.nhr.S_CISADRESS.str(), "wilma@example.com");
  EXPECT_EQ(out.nhr.R_NAME.str(), "Bob");
  EXPECT_EQ(out.nhr.R_CISADRESS.str(), "bob@example.org");
}

}  // namespace
}  // namespace qb::import
