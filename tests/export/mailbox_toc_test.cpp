// Tables of contents of exported Eudora mailboxes: names, header and
// entries, checked against the layout of real tables of contents.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "export/mailbox_toc.h"

namespace {

namespace fs = std::filesystem;
using namespace qb::exporting;

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}
uint32_t u32(const std::string& b, std::size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(b[at + i]);
  return v;
}
uint16_t u16(const std::string& b, std::size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | (static_cast<uint8_t>(b[at + 1]) << 8));
}
std::string text(const std::string& b, std::size_t at, std::size_t n) {
  std::string t = b.substr(at, n);
  while (!t.empty() && (t.back() == ' ' || t.back() == '\0')) t.pop_back();
  return t.substr(0, t.find('\0'));
}

// The checks a table of contents must pass, real or ours: size, counts,
// and per entry the offset and length of the message in the mailbox and
// its subject.
void checkToc(const std::string& toc, const std::string& mbx, uint16_t expectedCount) {
  ASSERT_GE(toc.size(), kTocHeaderSize);
  ASSERT_EQ((toc.size() - kTocHeaderSize) % kTocEntrySize, 0u);
  const std::size_t n = (toc.size() - kTocHeaderSize) / kTocEntrySize;
  EXPECT_EQ(n, expectedCount);
  EXPECT_EQ(u16(toc, 72), expectedCount);   // MSGCOUNTER
  EXPECT_EQ(u16(toc, 102), expectedCount);  // TOTMSG
  EXPECT_EQ(toc.substr(54, 16), std::string(16, '\xFF'));  // DEFCOL
  for (std::size_t i = 0; i < n; ++i) {
    const std::string e = toc.substr(kTocHeaderSize + i * kTocEntrySize, kTocEntrySize);
    const uint32_t off = u32(e, 0), len = u32(e, 4);
    ASSERT_LT(off, mbx.size());
    EXPECT_EQ(mbx.compare(off, 12, "From ???@???"), 0) << "entry " << i;
    EXPECT_LE(off + len, mbx.size());
    if (i + 1 < n) {
      EXPECT_EQ(off + len, u32(toc, kTocHeaderSize + (i + 1) * kTocEntrySize)) << "entry " << i;
    }
    const std::string msg = mbx.substr(off, len);
    const std::size_t s = msg.find("\nSubject: ");
    ASSERT_NE(s, std::string::npos);
    std::string subject = msg.substr(s + 10, msg.find_first_of("\r\n", s + 1) - s - 10);
    EXPECT_EQ(text(e, 114, 64), subject.substr(0, 64)) << "entry " << i;
  }
}

const std::string kMailbox =
    "From ???@??? Wed Mar 05  9:05:03 1997\r\n"
    "Date: Wed, 05 Mar 1997 09:05:03\r\n"
    "From: Robin Quayle <robin@example.com>\r\n"
    "To: Wilma Thornbury <wilma@example.com>\r\n"
    "Subject: Lunch\r\n"
    "\r\n"
    "From ???@??? this line is text: the export knows where its mails begin\r\n"
    "\r\n"
    "From ???@??? Thu Jan 01  0:00:00 1970\r\n"
    "To: Ann Smith <ann@example.org>\r\n"
    "From: Robin Quayle <robin@example.com>\r\n"
    "Subject: Epoch\r\n"
    "\r\n"
    "text\r\n"
    "\r\n";

class Toc : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "quillbox-toc-XXXXXX").string();
    dir = ::mkdtemp(tmpl.data());
  }
  void TearDown() override { fs::remove_all(dir); }
  std::string write(const std::string& name, const std::string& content) {
    std::ofstream(dir + "/" + name, std::ios::binary) << content;
    return dir + "/" + name;
  }
  std::string dir;
};

TEST_F(Toc, NamesOfTheIndexFile) {
  EXPECT_EQ(tocPathOf("/t/InBox.Mbx"), "/t/InBox.TOC");
  EXPECT_EQ(tocPathOf("/t/OUT.MBX"), "/t/OUT.TOC");
  EXPECT_EQ(tocPathOf("/t/SaveMsg.Txt"), "");
  CreateTOC none(write("mail.txt", kMailbox), 1);
  EXPECT_FALSE(none.start());
  EXPECT_TRUE(none.error().empty());  // no index wanted, no error
}

TEST_F(Toc, EntriesOfAnOutbox) {
  const std::string mbx = write("OutBox.Mbx", kMailbox);
  const std::size_t second = kMailbox.find("From ???@??? Thu");
  CreateTOC toc(mbx, 2, {0, second}, 0);
  ASSERT_TRUE(toc.start());
  while (toc.step()) {
  }
  ASSERT_TRUE(toc.finish()) << toc.error();
  const std::string t = slurp(dir + "/OutBox.TOC");
  checkToc(t, kMailbox, 2);
  EXPECT_EQ(text(t, 8, 32), "OutBox");
  EXPECT_EQ(u16(t, 40), 1);  // the box type of an outbox
  const std::string e1 = t.substr(kTocHeaderSize, kTocEntrySize), e2 = t.substr(kTocHeaderSize + kTocEntrySize);
  EXPECT_EQ(u32(e1, 8), 857552700u);  // 1997-03-05 09:05 (seconds are not counted)
  EXPECT_EQ(u16(e1, 12), 5);          // outbox
  EXPECT_EQ(text(e1, 18, 32), "09:05 03/05/1997 +0000");
  EXPECT_EQ(text(e1, 50, 64), "Wilma Thornbury");  // the receiver's name for an outbox
  EXPECT_EQ(u32(e2, 8), 0u);                       // 1970-01-01 00:00, from the separator line
  EXPECT_EQ(text(e2, 50, 64), "Ann Smith");
}

TEST_F(Toc, WithoutKnownStartsEverySeparatorStartsAMail) {
  const std::string one = kMailbox.substr(0, kMailbox.find("From ???@??? this"));
  CreateTOC toc(write("InBox.MBX", one), 1);
  ASSERT_TRUE(toc.start());
  while (toc.step()) {
  }
  ASSERT_TRUE(toc.finish());
  const std::string t = slurp(dir + "/InBox.TOC");
  checkToc(t, one, 1);
  EXPECT_EQ(u32(t, kTocHeaderSize), 0u);
  EXPECT_EQ(text(t, kTocHeaderSize + 50, 64), "Robin Quayle");  // the sender for an inbox
}

TEST_F(Toc, RealTablesOfContentsHaveTheSameLayout) {
  const std::string real = std::string(QB_SOURCE_DIR) + "/../shared/realworld/eudora/win_eudora71/";
  if (!fs::exists(real + "In.toc")) GTEST_SKIP() << "the real-world samples are not beside the checkout";
  const std::string toc = slurp(real + "In.toc"), mbx = slurp(real + "In.mbx");
  checkToc(toc, mbx, 5);
  EXPECT_EQ(text(toc, 8, 32), "In");
  EXPECT_EQ(slurp(real + "Out.toc").size(), kTocHeaderSize);  // an empty mailbox: the header alone
}

}  // namespace

namespace {

TEST_F(Toc, RobustnessAgainstForeignBytes) {
  // random bytes, a truncated header, separator lines without anything
  std::string junk;
  uint32_t x = 12345;
  for (int i = 0; i < 20000; ++i) {
    x = x * 1103515245u + 12345u;
    junk += static_cast<char>(x >> 16);
    if (i % 997 == 0) junk += "\nFrom ???@???";
  }
  for (const std::string& content : {junk, std::string("From ???@???"), std::string("From ???@??? \nDate:"),
                                     std::string()}) {
    CreateTOC toc(write("Junk.MBX", content), 1);
    ASSERT_TRUE(toc.start());
    int steps = 0;
    while (toc.step()) ++steps;
    EXPECT_TRUE(toc.finish());
    const std::string t = slurp(dir + "/Junk.TOC");
    EXPECT_EQ(t.size(), kTocHeaderSize + steps * kTocEntrySize);
  }
  int d, m, y, h, mi;
  EXPECT_EQ(tocSeconds("", d, m, y, h, mi), -1);
  EXPECT_EQ(tocSeconds("99:99 Feb 31 2001", d, m, y, h, mi), -1);
}

}  // namespace
