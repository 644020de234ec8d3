// The news store readers on files written by the tests: separation,
// soft line breaks, the raw window's block ends, candidate headers, index
// entries, message database chains, what each run takes, and damaged input.

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <filesystem>
#include <random>
#include <string>

#include "import/formats/news/news_converter.h"
#include "import/formats/news/news_dbx.h"
#include "import/formats/news/news_virtualaccess.h"
#include "news_fake_context.h"
#include "text/datetime.h"

namespace qb::import {
namespace {

using testing::convertFile;
using testing::NewsContext;
using testing::writeFile;
using news::readVirtualAccessTitle;

class NewsReaders : public ::testing::Test {
 protected:
  std::string dir;
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() /
          ("qb-news-" + std::to_string(::getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir);
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  // Writes `bytes` to a file and converts it with `type`.
  NewsContext& convert(NewsContext& ctx, const std::string& type, const std::string& bytes,
                       const std::string& name = "store") {
    std::string path = dir + "/" + name;
    writeFile(path, bytes);
    convertFile(ctx, type, path);
    return ctx;
  }
};

std::string article(const std::string& id, const std::string& subject, const std::string& body,
                    const std::string& eol = "\r\n", const std::string& group = "alt.test") {
  return "From: Ada Thornfield <ada@example.com>" + eol + "Newsgroups: " + group + eol + "Subject: " + subject +
         eol + "Date: Tue, 03 Mar 1998 10:15:00 +0100" + eol + "Message-ID: " + id + eol + eol + body + eol;
}

std::vector<std::string> subjects(const NewsContext& ctx) {
  std::vector<std::string> s;
  for (auto& w : ctx.work) s.push_back(w.nhr.HEADING.str());
  return s;
}

// ---- separator files ----------------------------------------------------------

TEST_F(NewsReaders, AgentFileWhoseFirstFromLineHasNoAtIsEqualsSeparated) {
  NewsContext ctx;
  convert(ctx, "Agent News",
          "From Agent archive of alt.test\r\n========\r\n" + article("<1@x>", "one", "first") + "========\r\n" +
              article("<2@x>", "two", "From the garden, with love"));
  EXPECT_EQ(subjects(ctx), (std::vector<std::string>{"one", "two"}));
  EXPECT_EQ(ctx.work[1].text, "From the garden, with love\r\n");
}

TEST_F(NewsReaders, AgentFileOfFromLines) {
  NewsContext ctx;
  convert(ctx, "Unix News",
          "From ada@example.com Tue Mar 03 10:15:00 1998\n" + article("<1@x>", "one", "a\n========\nb", "\n") +
              "From bram@example.org Tue Mar 03 11:00:00 1998\n" + article("<2@x>", "two", "c", "\n"));
  ASSERT_EQ(subjects(ctx), (std::vector<std::string>{"one", "two"}));
  // Eight "=" are text in a "From " file; an "=" at a line end of a body
  // that is not quoted-printable is text too.
  EXPECT_EQ(ctx.work[0].text, "a\r\n========\r\nb\r\n");
}

TEST_F(NewsReaders, QuotedPrintableOnlyWhereDeclared) {
  const std::string body = "joined=\r\nline, 2+2=3D4, =41, tail=20\r\nnext\r\nlast=";
  NewsContext ctx;
  convert(ctx, "Agent News",
          "========\r\n" +
              article("<1@x>\r\nContent-Type: text/plain; charset=iso-8859-2\r\n"
                      "Content-Transfer-Encoding: quoted-printable",
                      "qp", body + "\r\n=A3=F3d=BC") +
              "========\r\n" + article("<2@x>", "plain", body));
  ASSERT_EQ(ctx.work.size(), 2u) << "a soft break before a separator does not swallow it";
  EXPECT_EQ(ctx.work[0].text, "joinedline, 2+2=4, A, tail \r\nnext\r\nlast\u0141\u00F3d\u017A\r\n");
  EXPECT_EQ(ctx.work[1].text, "joined=\r\nline, 2+2=3D4, =41, tail=20\r\nnext\r\nlast=\r\n");
  // Encoded words are header business: in a body they are text, in the
  // subject they are decoded.
  NewsContext ctx2;
  convert(ctx2, "Agent News",
          "========\r\n" + article("<3@x>", "=?ISO-8859-1?Q?Caf=E9?=", "x =?ISO-8859-1?Q?a?=\r\nnext"));
  ASSERT_EQ(ctx2.work.size(), 1u);
  EXPECT_EQ(ctx2.work[0].text, "x =?ISO-8859-1?Q?a?=\r\nnext\r\n");
  EXPECT_EQ(ctx2.work[0].nhr.HEADING.str(), "Café");
}

TEST_F(NewsReaders, SeparatorAcrossTheEndOfAWindowBlock) {
  // The separator line of the second article straddles byte 10000, and so
  // does the one of the third at byte 20000.
  for (std::size_t shift : {0, 3, 7}) {
    std::string first = "========\r\n" + article("<1@x>", "one", "");
    std::string filler(10000 - 4 + shift - first.size() - 2, 'a');
    std::string data = first + filler + "\r\n";
    data += "========\r\n" + article("<2@x>", "two", "");
    data += std::string(20000 - 4 - data.size(), 'b') + "\r\n";
    data += "========\r\n" + article("<3@x>", "three", "end");
    NewsContext ctx;
    convert(ctx, "Agent News", data);
    EXPECT_EQ(subjects(ctx), (std::vector<std::string>{"one", "two", "three"})) << shift;
  }
}

TEST_F(NewsReaders, NewsSpoolFileIsOneArticle) {
  NewsContext ctx;
  convert(ctx, "Unix News", "Path: news.example.com!not-for-mail\n" + article("<s@x>", "spool", "text", "\n"));
  EXPECT_EQ(subjects(ctx), (std::vector<std::string>{"spool"}));
  NewsContext none;
  convert(none, "Unix News", "just some text\nwithout any header\n");
  EXPECT_TRUE(none.work.empty());
}

TEST_F(NewsReaders, WinvnSeparatorsNeedAnAt) {
  NewsContext ctx;
  convert(ctx, "Winvn",
          "From ada@example.com Tue Mar 03 10:15:00 1998\r\n" +
              article("<1@x>", "one", "From here on, a line without at sign\r\nstays") +
              "From bram@example.org Tue Mar 03 11:00:00 1998\r\n" + article("<2@x>", "two", "b"));
  ASSERT_EQ(subjects(ctx), (std::vector<std::string>{"one", "two"}));
  EXPECT_EQ(ctx.work[0].text, "From here on, a line without at sign\r\nstays\r\n");
}

// ---- VirtualAccess ---------------------------------------------------------------

TEST(VirtualAccessTitle, ReadsForumSectionNumberDateAndReference) {
  auto t = readVirtualAccessTitle("ibmpro/S3_Utilities #12345, from Ugo Ferris, 180 chars, 03-Mar-98 10:15",
                                  "Comment to 12340.");
  EXPECT_EQ(t.forum, "IBMPRO");
  EXPECT_EQ(t.section, 3u);
  EXPECT_EQ(t.sectionName, "Utilities");
  EXPECT_EQ(t.number, 12345u);
  EXPECT_EQ(t.date, text::dayNumber(1998, 3, 3));
  EXPECT_EQ(t.reference, 12340u);
  t = readVirtualAccessTitle("IBMPRO/General #50000, from X, 9 chars, 04-Mar-1998 11:00", "Comment to 12340.");
  EXPECT_EQ(t.section, 0u);
  EXPECT_EQ(t.sectionName, "General");
  EXPECT_EQ(t.date, text::dayNumber(1998, 3, 4));
  EXPECT_EQ(t.reference, 0u) << "more than 30000 below the number";
  EXPECT_EQ(readVirtualAccessTitle("IBMPRO/S3_Help Desk #1, from X", "").number, 0u);
  EXPECT_EQ(readVirtualAccessTitle("IBMPRO/S3_Utilities #12a45, from X", "").number, 0u);
}

TEST_F(NewsReaders, VirtualAccessMixesForumNewsAndMail) {
  NewsContext ctx;
  std::string data =
      "==========\r\nIBMPRO/S3_Utilities #12345, from Ugo Ferris, 180 chars, 03-Mar-98 10:15\r\n"
      "Comment to 12340.\r\n----------\r\nSubject: Disk utilities\r\nFrom: Ugo Ferris 71234,567\r\n"
      "To: Tara Quill 76543,210\r\n\r\nforum text\r\n"
      "==========\r\n==========\r\ncomp.example.modems, from Tara, 40 chars\r\n----------\r\n" +
      article("<n@x>", "news", "news text") +
      "==========\r\nno dashes after this title\r\nFrom: x@y\r\n\r\ndropped\r\n"
      "==========\r\nIBMPRO/S3_Utilities, from X, 10 chars\r\n----------\r\nSubject: no number\r\n\r\nx\r\n"
      "==========\r\nMail from Wes\r\n----------\r\nFrom: wes@example.org\r\nTo: tara@example.com\r\n"
      "Subject: lunch\r\n\r\nmail text\r\n";
  convert(ctx, "VirtualAccess", data);
  ASSERT_EQ(ctx.work.size(), 2u);
  const NHR& f = ctx.work[0].nhr;
  EXPECT_EQ(f.FOR_DESCRIPTION.str(), "IBMPRO");
  EXPECT_EQ(f.MSGNUMBER, 12345u);
  EXPECT_EQ(f.REFNUMBER, 12340u);
  EXPECT_EQ(f.SECTIONNUMBER, 3u);
  EXPECT_EQ(f.SEC_DESCRIPTION.str(), "Utilities");
  EXPECT_EQ(f.S_NAME.str(), "Ugo Ferris");
  EXPECT_EQ(f.S_CISADRESS.str(), "71234,567");
  EXPECT_EQ(f.R_CISADRESS.str(), "76543,210");
  EXPECT_EQ(ctx.work[0].text, "forum text\r\n");
  EXPECT_EQ(ctx.work[1].nhr.FOR_DESCRIPTION.str(), "alt.test");
  EXPECT_EQ(ctx.skips, 3) << "no title dashes, no number, mail without a mail database";
}

// ---- Gravity -------------------------------------------------------------------

TEST_F(NewsReaders, GravityQuotedHeaderStaysInTheBody) {
  NewsContext ctx;
  std::string quoted =
      "I got this by mail:\r\n\r\nFrom: Dario <dario@example.org>\r\nDate: Thu, 05 Mar 1998 10:00:00 +0100\r\n"
      "Subject: spring fair\r\nMessage-ID: <q@x>\r\n\r\nquoted body";
  convert(ctx, "Gravity", "leading junk\r\n" + article("<1@x>", "one", quoted) + article("<2@x>", "two", "b"));
  ASSERT_EQ(subjects(ctx), (std::vector<std::string>{"one", "two"}));
  EXPECT_NE(ctx.work[0].text.find("Subject: spring fair\r\nMessage-ID: <q@x>\r\n\r\nquoted body"),
            std::string::npos);
}

// ---- news cache and news folder files ------------------------------------------------

std::string indexEntry(const std::string& id, const std::string& subject, const std::string& sender,
                       const std::string& refs, const std::string& group) {
  std::string e = "\xBC";
  e += std::string(21, '\x01');
  for (auto& t : {id, subject, sender, refs, "news.example.com " + group + ":7"}) e += t + std::string(1, '\0');
  return e;
}

TEST_F(NewsReaders, NewsCacheIndexEntriesStandInForMissingLines) {
  NewsContext ctx;
  std::string body = "Date: 03-Mar-98 10:15\r\nSubject: own subject\r\n\r\ntext\r\n";
  std::string data = std::string("NCH\0\0\0", 6) +
                     indexEntry("<i1@x>", "index subject", "Fay <fay@example.com>", "<a@x> <b@x>", "comp.db") +
                     std::string(4, '\0') + body + std::string(3, '\0') +
                     indexEntry("<i2@x>", "second", "Gus <gus@example.org>", "", "comp.nets") + "\0\0" +
                     article("<own@x>", "has all", "t2");
  convert(ctx, "IE News", data);
  ASSERT_EQ(ctx.work.size(), 2u);
  const NHR& a = ctx.work[0].nhr;
  EXPECT_EQ(ctx.idOf(a.MSGNUMBER), "<i1@x>");
  EXPECT_EQ(ctx.idOf(a.REFNUMBER), "<b@x>");
  EXPECT_EQ(a.FOR_DESCRIPTION.str(), "comp.db");
  EXPECT_EQ(a.HEADING.str(), "own subject");
  EXPECT_EQ(a.S_CISADRESS.str(), "fay@example.com");
  EXPECT_EQ(ctx.work[0].text, "text\r\n");
  EXPECT_EQ(ctx.idOf(ctx.work[1].nhr.MSGNUMBER), "<own@x>");
}

TEST_F(NewsReaders, NetscapeFolderArticlesAndAQuotedHeader) {
  NewsContext ctx;
  std::string quoted = "Forwarded:\r\nFrom: Dario <dario@example.org>\r\nSubject: fair\r\n\r\nquoted";
  std::string data = std::string("\0\x01\x02\x03", 4) + article("<1@x>", "one", quoted) + std::string(3, '\0') +
                     article("<2@x>", "two", "b");
  convert(ctx, "Netscape News", data);
  ASSERT_EQ(subjects(ctx), (std::vector<std::string>{"one", "two"}));
  EXPECT_EQ(ctx.work[0].text,
            "Forwarded:\r\nFrom: Dario <dario@example.org>\r\nSubject: fair\r\n\r\nquoted\r\n");
}

// ---- message databases ---------------------------------------------------------------

struct DbxBlock {
  uint32_t at;
  std::string data;
  uint32_t next;
};

// A message database of 0x2000 bytes of header and the given blocks (each
// 16 + 512 bytes at its offset).
std::string dbxFile(const std::vector<DbxBlock>& blocks, uint32_t size) {
  std::string f(size, '\0');
  for (auto& b : blocks) {
    uint32_t h[4] = {b.at, 512, static_cast<uint32_t>(b.data.size()), b.next};
    std::memcpy(&f[b.at], h, 16);
    std::memcpy(&f[b.at + 16], b.data.data(), b.data.size());
  }
  return f;
}

TEST_F(NewsReaders, MessageDatabaseFollowsChainsBothWays) {
  // The message's blocks: the first, then one further on whose data begins
  // with a header-like line (not a message of its own), then one back.
  const uint32_t b = 0x2000, step = 528;
  std::string head = "From: a@example.com\r\nNewsgroups: alt.test\r\nSubject: chained\r\nMessage-ID: <d1@x>\r\n\r\n";
  std::string p1 = head + "first\r\n" + std::string(512 - head.size() - 9, 'x') + "\r\n";
  std::string p2 = "Content-Type: text/plain is what this body talks about\r\n" + std::string(300, 'y');
  std::string p3 = "\r\nthe end\r\n";
  std::string f = dbxFile({{b, p1, b + 3 * step},
                           {b + step, article("<d2@x>", "second", "s"), 0},
                           {b + 2 * step, p3, 0},
                           {b + 3 * step, p2, b + 2 * step}},
                          b + 4 * step);
  NewsContext ctx;
  convert(ctx, "Outlook Express 5 News", f, "store.dbx");
  ASSERT_EQ(subjects(ctx), (std::vector<std::string>{"chained", "second"}));
  EXPECT_EQ(ctx.work[0].text, "first\r\n" + std::string(512 - head.size() - 9, 'x') + "\r\n" + p2 + p3);
}

TEST_F(NewsReaders, MessageDatabaseChainsThatLoopOrLeaveTheFileEnd) {
  const uint32_t b = 0x2000, step = 528;
  std::string text = article("<l@x>", "loop", "start\r\n" + std::string(700, 'z'));
  ASSERT_LE(text.size(), 1024u);
  std::string f = dbxFile({{b, text.substr(0, 512), b + step},
                           {b + step, text.substr(512), b},  // back to the first block
                           {b + 2 * step, article("<p@x>", "past", "p"), 0x7FFFFFF0}},
                          b + 3 * step);
  NewsContext ctx;
  convert(ctx, "Outlook Express 5 News", f, "loop.dbx");
  ASSERT_EQ(subjects(ctx), (std::vector<std::string>{"loop", "past"}));
  EXPECT_EQ(ctx.work[0].text, "start\r\n" + std::string(700, 'z') + "\r\n");
  EXPECT_EQ(ctx.work[1].text, "p\r\n");
}

// ---- what a run takes ------------------------------------------------------------------

TEST_F(NewsReaders, ArticlesSkippedByTheRunsChoices) {
  std::string data = "========\r\n" + article("<1@x>", "one", "a") + "========\r\n" +
                     "From: x@example.com\r\nSubject: mail\r\nDate: 03-Mar-98 10:15\r\n\r\nm\r\n";
  NewsContext noNews;
  noNews.req.kinds = KindForum | KindMail;
  convert(noNews, "Agent News", data);
  EXPECT_TRUE(noNews.work.empty());
  EXPECT_EQ(noNews.skips, 2) << "news not selected; mail without a mail database";

  NewsContext createOnly;
  createOnly.req.createOnly = true;
  convert(createOnly, "Agent News", data);
  EXPECT_TRUE(createOnly.work.empty());
  EXPECT_EQ(createOnly.dbs.count("ALT.TEST"), 1u) << "the newsgroup database is still created";

  NewsContext closed;
  closed.addDatabase("alt.test", 3, false);
  convert(closed, "Agent News", data);
  EXPECT_TRUE(closed.work.empty());
}

TEST_F(NewsReaders, ArticleWithoutMessageIdGetsAStandIn) {
  NewsContext ctx;
  std::string art = "From: a@example.com\r\nNewsgroups: alt.test\r\nSubject: no id\r\n\r\nx\r\n";
  convert(ctx, "Agent News", "========\r\n" + art + "========\r\n" + art);
  ASSERT_EQ(ctx.work.size(), 2u);
  std::string id = ctx.idOf(ctx.work[0].nhr.MSGNUMBER);
  EXPECT_NE(id.find("@no-message-id>"), std::string::npos);
  EXPECT_EQ(ctx.idOf(ctx.work[1].nhr.MSGNUMBER), id) << "the same article gets the same identifier";
}

// ---- damaged and foreign input ------------------------------------------------------------

const char* kNewsTypes[] = {"Agent News",    "Unix News", "VirtualAccess",          "IE News", "Outlook Express 4 News",
                            "Netscape News", "Gravity",   "Outlook Express 5 News", "Winvn"};

TEST_F(NewsReaders, DamagedInputEndsCleanly) {
  std::mt19937 rng(5);
  std::string random(300000, '\0');
  for (auto& c : random) c = static_cast<char>(rng());
  std::string sample = "========\r\n" + article("<1@x>", "one", std::string(3000, 'a'));
  std::vector<std::pair<std::string, std::string>> inputs = {
      {"empty", ""},
      {"random", random},
      {"truncated", sample.substr(0, sample.size() / 2)},
      {"long line", "========\r\nFrom: a@x\r\nNewsgroups: g\r\n\r\n" + std::string(100000, 'q')},
      {"soft breaks only", "========\r\nNewsgroups: g\r\n\r\n" + [] {
         std::string s;
         for (int i = 0; i < 50000; ++i) s += "=\r\n";
         return s;
       }()},
      {"headers only", [] {
         std::string s;
         for (int i = 0; i < 20000; ++i) s += "From: a@example.com\r\nSubject: s\r\nDate: x\r\n";
         return s;
       }()},
      {"block headers", [] {
         std::string s(64 * 528, '\0');
         for (uint32_t i = 0; i < 64; ++i) {
           uint32_t h[4] = {i * 528, 512, 600, i * 528};  // lengths too big, chains onto themselves
           std::memcpy(&s[i * 528], h, 16);
         }
         return s;
       }()},
  };
  for (const char* type : kNewsTypes) {
    for (auto& [what, bytes] : inputs) {
      NewsContext ctx;
      convert(ctx, type, bytes, "input.dbx");
      EXPECT_LE(ctx.work.size(), 40000u) << type << " / " << what;
      for (auto& w : ctx.work) EXPECT_LE(w.text.size(), 64000u) << type << " / " << what;
    }
  }
}

TEST_F(NewsReaders, TruncatedSamplesEndCleanly) {
  for (auto& entry : std::filesystem::recursive_directory_iterator(testing::newsSample(""))) {
    if (!entry.is_regular_file() || entry.path().extension() == ".py") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (const char* type : kNewsTypes) {
      NewsContext ctx;
      convert(ctx, type, bytes.substr(0, bytes.size() * 2 / 3), "cut");
      EXPECT_LE(ctx.work.size(), 12u) << type << " / " << entry.path();
    }
  }
}

}  // namespace
}  // namespace qb::import
