// End-to-end imports of the news samples into a fresh archive: each of the
// nine readers, with threads through Message-IDs, the number a reply
// reserves for a parent stored after it, persons, cross-posts, MIME, HTML,
// encoded words and quoted-printable bodies.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "capture_archive.h"
#include "news_fake_context.h"

namespace qb::capturetest {
namespace {

struct NewsSample {
  const char* type;
  const char* dir;
  const char* group1;  // the thread of replies, the encoded word, the quoting reply
  const char* group2;  // the reply before its parent, MIME and HTML
  const char* author;  // address of the thread's first article
  const char* replier;
};

const NewsSample kSamples[] = {
    {"Agent News", "agent", "alt.example.gardening", "rec.example.birds", "ada@example.com", "bram@example.org"},
    {"Unix News", "unix", "comp.example.compilers", "comp.example.editors", "hale@example.com", "ines@example.org"},
    {"VirtualAccess", "virtualaccess", "comp.example.modems", "comp.example.printers", "tara@example.com",
     "ugo@example.org"},
    {"IE News", "ienews", "comp.example.databases", "comp.example.networks", "fay@example.com", "gus@example.org"},
    {"Outlook Express 4 News", "oe4news", "rec.example.cooking", "rec.example.baking", "jana@example.com",
     "kurt@example.org"},
    {"Netscape News", "netscape", "comp.example.browsers", "alt.example.webdesign", "xena@example.com",
     "yuri@example.org"},
    {"Outlook Express 5 News", "oe5news", "microsoft.example.outlook", "alt.example.photography", "bea@example.com",
     "cai@example.org"},
    {"Gravity", "gravity", "rec.example.astronomy", "sci.example.optics", "pia@example.com", "quinn@example.org"},
    {"Winvn", "winvn", "misc.example.travel", "rec.example.trains", "lena@example.com", "milo@example.org"},
};

// The stored header whose text holds `words`.
const store::MsgNmbr* byText(const ForumContents& c, const std::string& words) {
  for (auto& [number, text] : c.texts)
    if (text.find(words) != std::string::npos) return c.header(number);
  return nullptr;
}

class NewsImport : public ::testing::TestWithParam<NewsSample> {};

TEST_P(NewsImport, SampleThreadsPersonsAndTexts) {
  const NewsSample& s = GetParam();
  CaptureArchive a;
  a.createMailDatabase();
  auto stats = a.import(s.type, qb::import::testing::newsSample(s.dir));
  ASSERT_FALSE(stats.failed);
  EXPECT_EQ(stats.duplicates, 0u);

  ForumContents g1 = a.forum(s.group1);
  ForumContents g2 = a.forum(s.group2);
  ASSERT_EQ(g1.forum.TYPE, store::KindNewsgroup);
  ASSERT_EQ(g1.headers.size(), 7u) << s.type;
  ASSERT_EQ(g2.headers.size(), 4u) << s.type;

  // A thread of three, the last reply in the other file.
  const store::MsgNmbr* root = byText(g1, "just starting out");
  const store::MsgNmbr* reply = byText(g1, "Start small");
  const store::MsgNmbr* reply2 = byText(g1, "Agreed with both");
  ASSERT_TRUE(root && reply && reply2);
  EXPECT_EQ(root->REFNUMBER, 0u);
  EXPECT_EQ(reply->REFNUMBER, root->MSGNUMBER);
  EXPECT_EQ(reply2->REFNUMBER, reply->MSGNUMBER);
  EXPECT_EQ(reply->THREADNUMBER, root->THREADNUMBER);
  // A reply stored before its parent starts a thread by its own subject
  // ("Re: ..."), as forum replies do; stored after it, it joins the parent's.
  if (reply2->THREADNUMBER != root->THREADNUMBER) {
    ASSERT_TRUE(g1.thread(reply2->THREADNUMBER));
    EXPECT_EQ(g1.thread(reply2->THREADNUMBER)->heading().substr(0, 4), "Re: ");
  }

  // Persons: the authors with their addresses; a reply is addressed to the
  // author of its parent.
  const store::Person* author = g1.person(root->FROMID);
  const store::Person* replier = g1.person(reply->FROMID);
  ASSERT_TRUE(author && replier);
  EXPECT_EQ(author->ADDRESS.str(), s.author);
  EXPECT_EQ(replier->ADDRESS.str(), s.replier);
  EXPECT_EQ(reply->TOID, root->FROMID);

  // The reply stored before its parent reserved the parent's number.
  const store::MsgNmbr* child = byText(g2, "Count me in");
  const store::MsgNmbr* parent = byText(g2, "We plan to meet");
  ASSERT_TRUE(child && parent);
  EXPECT_EQ(child->REFNUMBER, parent->MSGNUMBER);
  EXPECT_EQ(child->THREADNUMBER, parent->THREADNUMBER);

  // The cross-posted article is stored once, in the first group.
  EXPECT_TRUE(byText(g1, "open to both groups"));
  EXPECT_FALSE(byText(g2, "open to both groups"));

  // Multipart: the plain part only; HTML: converted.
  const store::MsgNmbr* mime = byText(g2, "The pictures are on the club page.");
  ASSERT_TRUE(mime);
  EXPECT_EQ(g2.texts[mime->MSGNUMBER].find("<b>"), std::string::npos);
  EXPECT_EQ(g2.texts[mime->MSGNUMBER].find("Content-Type"), std::string::npos);
  const store::MsgNmbr* html = byText(g2, "Lovely pictures");
  ASSERT_TRUE(html);
  EXPECT_EQ(g2.texts[html->MSGNUMBER].find("<p>"), std::string::npos);

  // The encoded-word subject is decoded in its thread's heading.
  const store::MsgNmbr* cafe = byText(g1, "See you at the caf");
  ASSERT_TRUE(cafe);
  ASSERT_TRUE(g1.thread(cafe->THREADNUMBER));
  EXPECT_EQ(g1.thread(cafe->THREADNUMBER)->heading(), "Café evening");

  // The body that quotes a header block is one article.
  const store::MsgNmbr* quoting = byText(g1, "I got this by mail earlier");
  ASSERT_TRUE(quoting);
  EXPECT_NE(g1.texts[quoting->MSGNUMBER].find("Stand numbers are handed out"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Readers, NewsImport, ::testing::ValuesIn(kSamples),
                         [](const ::testing::TestParamInfo<NewsSample>& i) {
                           std::string n = i.param.dir;
                           return n;
                         });

TEST(NewsImportDetails, SoftLineBreaksOfTheSeparatedFiles) {
  CaptureArchive a;
  a.import("Agent News", qb::import::testing::newsSample("agent"));
  ForumContents g = a.forum("alt.example.gardening");
  const store::MsgNmbr* qp = byText(g, "wrapped by the sender");
  ASSERT_TRUE(qp);
  EXPECT_NE(g.texts[qp->MSGNUMBER].find("program at this point; the price is 2+2=4 euro."), std::string::npos);
}

TEST(NewsImportDetails, VirtualAccessForumMessagesAndMail) {
  CaptureArchive a;
  a.createMailDatabase();
  a.import("VirtualAccess", qb::import::testing::newsSample("virtualaccess"));
  ForumContents f = a.forum("IBMPRO");
  ASSERT_EQ(f.forum.TYPE, store::KindForum);
  ASSERT_EQ(f.headers.size(), 3u);
  const store::MsgNmbr* first = f.header(12340);
  const store::MsgNmbr* comment = f.header(12345);
  ASSERT_TRUE(first && comment);
  EXPECT_EQ(comment->REFNUMBER, 12340u);
  EXPECT_EQ(comment->THREADNUMBER, first->THREADNUMBER);
  const store::Sections* sec = f.section(first->SECSYSID);
  ASSERT_TRUE(sec);
  EXPECT_EQ(sec->SECTIONNUMBER, 3u);
  EXPECT_EQ(sec->DESCRIPTION.str(), "Utilities");
  ASSERT_TRUE(f.person(comment->FROMID));
  EXPECT_EQ(f.person(comment->FROMID)->ADDRESS.str(), "71234,567");

  auto mails = a.mails();
  ASSERT_EQ(mails.size(), 1u);
  EXPECT_EQ(mails[0].mail.SUBJECT.str(), "Lunch on Friday");
  EXPECT_EQ(mails[0].from.ADDRESS.str(), "wes@example.org");
}

TEST(NewsImportDetails, NewsgroupChoiceAndRedirection) {
  CaptureArchive a;
  uint32_t target = a.archive.addDatabase(store::KindNewsgroup, "alt.example.archive");
  a.archive.addDatabase(store::KindNewsgroup, "rec.example.kept");
  uint32_t redirected = a.archive.addDatabase(store::KindNewsgroup, "rec.example.redirected");
  {
    store::Session& s = a.session();
    store::OP_CLOSE(s, store::OpOpen, {store::FileNo::Forums});
    auto& f = s.Forums();
    f.clear();
    f.rec.DESCRIPTION = "rec.example.redirected";
    ASSERT_EQ(f.get(store::Forums::AlphaKey), store::Err::Ok);
    f.rec.REDIRNOW = target;
    ASSERT_EQ(f.put(), store::Err::Ok);
    store::OP_CLOSE(s, store::OpClose, {store::FileNo::Forums});
  }
  std::string dir = std::filesystem::temp_directory_path() / ("qb-news-choice-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  auto art = [](const std::string& groups, const std::string& id, const std::string& text) {
    return "========\r\nFrom: a@example.com\r\nNewsgroups: " + groups + "\r\nSubject: s\r\nMessage-ID: " + id +
           "\r\n\r\n" + text + "\r\n";
  };
  qb::import::testing::writeFile(dir + "/groups.txt",
                                 art("alt.example.none, rec.example.kept", "<k@x>", "to the second name") +
                                     art("rec.example.redirected,rec.example.kept", "<r@x>", "to the target"));
  auto stats = a.import("Agent News", dir + "/groups.txt");
  std::filesystem::remove_all(dir);
  EXPECT_EQ(stats.imported, 2u);
  EXPECT_TRUE(byText(a.forum("rec.example.kept"), "to the second name"));
  EXPECT_EQ(a.forumRecord("alt.example.none").ID, 0u) << "no database for a name not chosen";
  ForumContents t = a.forum("alt.example.archive");
  const store::MsgNmbr* moved = byText(t, "to the target");
  ASSERT_TRUE(moved);
  ASSERT_TRUE(t.section(moved->SECSYSID));
  EXPECT_EQ(t.section(moved->SECSYSID)->DESCRIPTION.str(), "rec.example.redirected");
  EXPECT_EQ(moved->SECSYSID, redirected);
}

TEST(NewsImportDetails, ImportingAgainStoresNothingNew) {
  CaptureArchive a;
  auto first = a.import("Outlook Express 5 News", qb::import::testing::newsSample("oe5news"));
  EXPECT_EQ(first.imported, 11u);
  auto again = a.import("Outlook Express 5 News", qb::import::testing::newsSample("oe5news"));
  EXPECT_EQ(again.imported, 0u);
  EXPECT_EQ(again.duplicates, 11u);
  EXPECT_EQ(a.forum("microsoft.example.outlook").headers.size(), 7u);
}

}  // namespace
}  // namespace qb::capturetest
