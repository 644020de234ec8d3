// Damaged and foreign input for every mail format: empty, truncated,
// random and oversized files end the file without a crash or a hang, and
// every text stays within the message text's size.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "formats/capture_fake_context.h"
#include "formats/mail_test_support.h"
#include "archive/archive_home.h"

namespace qb::mailtest {
namespace {

using import::testing::FakeContext;

const char* kTypes[][2] = {{"Eudora", "eudora/In.mbx"},
                           {"Netscape Mail", "netscape/Inbox"},
                           {"IE Mail", "iemail/Inbox.mbx"},
                           {"Outlook Express 4 Mail", "oe4mail/Inbox.mbx"},
                           {"Outlook Express 5 Mail", "oe5mail/Inbox.dbx"},
                           {"Pegasus", "pegasus/Inbox.pmm"},
                           {"Becky Mail", "becky/Inbox.mbx"},
                           {"Agent Mail", "agent/Mail.txt"},
                           {"Generic Mail Type 1", "generic1/mailbox.txt"},
                           {"Generic Mail Type 2", "generic2/mbox"},
                           {"AOL", "aol/Robin Quayle.pfc"}};

std::string slurp(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

// A converter run outside the import run, on an archive that has the mail
// database, so that the owner is read as in a real run.
class Harness {
 public:
  Harness() {
    ctx.req.kinds = import::KindAll;
    ctx.req.mailDatabase = kOwnerDb;
    ctx.addDatabase(kOwnerDb, 2);
    EXPECT_EQ(store::openHome(ctx.sess, mail.archive.home()), store::HomeStatus::Ready);
    dir = mail.archive.home() + "/input";
    std::filesystem::create_directories(dir);
  }
  // Converts `bytes` as a file of `type`; checks the bounds of every step.
  void convert(const std::string& type, const std::string& bytes, const std::string& name = "box") {
    std::string path = dir + "/" + name;
    import::testing::writeFile(path, bytes);
    ctx.work.clear();
    import::testing::convertFile(ctx, type, path, 100000, 20);
    for (auto& w : ctx.work) EXPECT_LE(w.text.size(), 64000u);
  }
  MailArchive mail;
  FakeContext ctx;
  std::string dir;
};

TEST(MailRobustness, EmptyFilesHoldNoMail) {
  Harness h;
  for (auto& t : kTypes) {
    h.convert(t[0], "");
    EXPECT_TRUE(h.ctx.work.empty()) << t[0];
  }
  EXPECT_EQ(h.ctx.skips, 0);
}

TEST(MailRobustness, TruncatedSamples) {
  Harness h;
  for (auto& t : kTypes) {
    std::string whole = slurp(sampleDir(t[1]));
    ASSERT_FALSE(whole.empty()) << t[1];
    h.convert(t[0], whole);
    const std::size_t all = h.ctx.work.size();
    EXPECT_GE(all, 6u) << t[0];
    // A cut file never yields more mail than the whole one.
    for (std::size_t cut = 1; cut < whole.size(); cut += whole.size() / 40 + 1) {
      h.convert(t[0], whole.substr(0, cut));
      EXPECT_LE(h.ctx.work.size(), all) << t[0] << " cut at " << cut;
    }
  }
}

TEST(MailRobustness, RandomBytesAndMarkers) {
  Harness h;
  std::mt19937 rng(20260);
  // Random data with the markers of every format strewn in, so that the
  // readers' paths through separators, tags and header lines are taken.
  const std::string markers[] = {"From ???@??? Mon Mar 02 09:15:42 1998\r\n", "\r\nFrom - Mon\r\n",
                                 std::string("\x7F\x00\x7F", 3), "\r\n\x1A", "AOLFAOLH", "AOLFRS",
                                 "\r\n----------------------- Headers\r\n", "\nFrom: a@example.com\n",
                                 "\nDate: Mon, 2 Mar 1998\n", "\nSubject: x\n", "\nTo: b@example.com\n",
                                 "\nContent-Type: multipart/mixed; boundary=", "\n\n", "=\r\n", "From x@y.z\n"};
  for (int round = 0; round < 3; ++round) {
    std::string bytes;
    while (bytes.size() < 300000) {
      if (rng() % 4 == 0) {
        bytes += markers[rng() % std::size(markers)];
      } else {
        std::size_t n = rng() % 200;
        for (std::size_t i = 0; i < n; ++i) bytes.push_back(static_cast<char>(rng() & 0xFF));
      }
    }
    for (auto& t : kTypes) h.convert(t[0], bytes);
  }
}

TEST(MailRobustness, OversizedLinesAndMails) {
  Harness h;
  std::string header = "From: a@example.com\r\nDate: Mon, 2 Mar 1998 09:15:42 +0100\r\nSubject: big\r\n\r\n";
  std::string hugeLine(4000000, 'x');  // no line end for 4 MB
  std::string manyLines;
  for (int i = 0; i < 200000; ++i) manyLines += "line of a very long mail\r\n";
  for (auto& t : kTypes) {
    std::string type = t[0];
    if (type == "Outlook Express 5 Mail") continue;  // the message database has its own block limits
    std::string sep = type == "Eudora"          ? "From ???@??? Mon Mar 02 09:15:42 1998\r\n"
                      : type == "Netscape Mail" ? "From - Mon Mar 02 09:15:42 1998\r\n"
                      : type == "Generic Mail Type 2" ? "From a@example.com Mon Mar 02 09:15:42 1998\r\n"
                      : type == "IE Mail" || type == "Outlook Express 4 Mail" ? std::string("\x7F\x00\x7F\x00", 4)
                      : type == "AOL" ? std::string("AOLFAOLH") + std::string(16, ' ')
                                      : "";
    std::string end = type == "AOL" ? "\r\n----------------------- Headers\r\n" + header + "AOLFRS" : "";
    std::string body1 = type == "AOL" ? hugeLine + "\r\n" : header + hugeLine + "\r\n";
    std::string body2 = type == "AOL" ? manyLines : header + manyLines;
    h.convert(type, sep + body1 + end + (type == "Pegasus" ? "\x1A" : "") + sep + body2 + end);
    ASSERT_EQ(h.ctx.work.size(), 2u) << type;
    // The "From " line reader shared with the news formats keeps 1200
    // characters of a line; the mail readers keep whole lines.
    EXPECT_GE(h.ctx.work[0].text.size(), type == "Generic Mail Type 2" ? 1200u : 60000u) << type;
    EXPECT_GE(h.ctx.work[1].text.size(), 60000u) << type;
  }
}

}  // namespace
}  // namespace qb::mailtest
