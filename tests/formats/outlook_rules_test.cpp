// The rules of the Outlook import over scripted data files: records per
// "To" recipient, carbon copies, the owner rules, sender fallbacks, dates,
// folder selections, batches and the start checks.
#include <gtest/gtest.h>

#include <set>

#include "formats/outlook_support.h"
#include "import/formats/outlook/outlook_folders.h"
#include "import/formats/outlook/outlook_mail.h"
#include "text/datetime.h"

namespace qb::outlooktest {
namespace {

using import::outlook::RecipientBcc;
using import::outlook::RecipientCc;
using import::outlook::RecipientTo;

OutlookRecipient to(const std::string& address, const std::string& name) { return {RecipientTo, address, name}; }
OutlookRecipient cc(const std::string& address, const std::string& name) { return {RecipientCc, address, name}; }

TEST(OutlookRules, ThreeToAndTwoCcGiveThreeRecordsWithThreeNumbers) {
  Harness h;
  Script s;
  s.add("Personal Folders::Sent Items",
        {mailItem("Plans", {to("a@example.org", "Ann"), cc("c@example.org", "Cid"), to("b@example.org", "Ben"),
                            cc("d@example.org", "Dee"), to("e@example.org", "Eve"), {RecipientBcc, "x@y", "X"}},
                  "robin@example.com", "Robin")});
  h.run(s);
  ASSERT_EQ(h.ctx.work.size(), 3u);
  std::set<uint32_t> numbers;
  for (auto& w : h.ctx.work) {
    numbers.insert(w.nhr.MSGNUMBER);
    EXPECT_EQ(w.nhr.MSGNUMBER, w.nhr.REFNUMBER);
    EXPECT_EQ(w.nhr.MAILTYPE, 2) << "the owner sent it";
    EXPECT_EQ(w.nhr.S_CISADRESS.str(), "robin@example.com");
    EXPECT_EQ(w.nhr.S_NAME.str(), "Robin Quayle");
    EXPECT_EQ(w.nhr.FOR_DESCRIPTION.str(), "Robin Quayle");
    EXPECT_EQ(w.nhr.HEADING.str(), "Plans");
    EXPECT_EQ(w.text, "Hello\r\n");
  }
  EXPECT_EQ(numbers.size(), 3u);
  EXPECT_EQ(h.ctx.work[0].nhr.R_CISADRESS.str(), "a@example.org");
  EXPECT_EQ(h.ctx.work[1].nhr.R_NAME.str(), "Ben");
  EXPECT_EQ(h.ctx.work[2].nhr.R_CISADRESS.str(), "e@example.org");
  // The Cc recipients are carbon copies of the first record, once.
  ASSERT_EQ(h.ctx.ccs.size(), 2u);
  for (auto& c : h.ctx.ccs) {
    EXPECT_EQ(c.MAILID, h.ctx.work[0].nhr.MSGNUMBER);
    EXPECT_EQ(c.RECIPTYPE.str(), "CC");
  }
  EXPECT_EQ(h.ctx.ccs[1].R_CISADRESS.str(), "d@example.org");
  EXPECT_FALSE(h.ctx.stopped);
}

TEST(OutlookRules, DirectoryInternalSenderIsFiledWithTheOwnersAddress) {
  import::mail::MailOwner owner{"Robin Quayle", "robin@example.com", {}};
  auto recs = import::outlook::mailRecords(
      mailItem("Budget", {to("pat@example.net", "Pat")}, "/O=QUAYLE/OU=FIRST/CN=RECIPIENTS/CN=ROBIN", "Robin Q."),
      owner);
  ASSERT_EQ(recs.size(), 1u);
  EXPECT_EQ(recs[0].nhr.S_CISADRESS.str(), "robin@example.com");
  EXPECT_EQ(recs[0].nhr.S_NAME.str(), "Robin Quayle");
  EXPECT_EQ(recs[0].nhr.MAILTYPE, 2);
  EXPECT_EQ(recs[0].nhr.R_CISADRESS.str(), "pat@example.net");

  // Mail from someone else comes in: the recipient side becomes the owner.
  recs = import::outlook::mailRecords(mailItem("Hi", {to("Someone@Example.com", "S")}, "Pat@Example.NET"), owner);
  ASSERT_EQ(recs.size(), 1u);
  EXPECT_EQ(recs[0].nhr.MAILTYPE, 1);
  EXPECT_EQ(recs[0].nhr.S_CISADRESS.str(), "pat@example.net");
  EXPECT_EQ(recs[0].nhr.R_CISADRESS.str(), "robin@example.com");
  EXPECT_EQ(recs[0].nhr.R_NAME.str(), "Robin Quayle");
}

TEST(OutlookRules, SenderFallbacks) {
  import::mail::MailOwner owner{"Robin Quayle", "robin@example.com", {}};
  struct Case {
    std::string address, replyName, senderName, wantAddress, wantName;
  } cases[] = {
      {"", "Pat Doe", "Patricia", "pat doe", "Unknown"},  // the name becomes the address (lower case)
      {"", "", "Patricia", "unknown", "Patricia"},
      {"", "", "", "unknown", "Unknown"},
      {"pat@example.net", "", "", "pat@example.net", ""},
      // A name standing for the address keeps its characters (only ASCII is lowered).
      {"", "\xC5\x81ukasz Nowak", "", "\xC5\x81ukasz nowak", "Unknown"},
  };
  for (const Case& c : cases) {
    OutlookItem item = mailItem("S", {to("robin@example.com", "R")}, c.address, c.replyName);
    item.senderName = c.senderName;
    auto recs = import::outlook::mailRecords(item, owner);
    ASSERT_EQ(recs.size(), 1u);
    EXPECT_EQ(recs[0].nhr.S_CISADRESS.str(), c.wantAddress) << c.address << "/" << c.replyName;
    EXPECT_EQ(recs[0].nhr.S_NAME.str(), c.wantName) << c.address << "/" << c.replyName;
  }
}

TEST(OutlookRules, CreationTimeIsSplitAtItsFirstBlank) {
  int32_t d = -1, t = -1;
  import::outlook::creationDateTime("2010-03-15 17:12:05", d, t);
  EXPECT_EQ(d, text::dayNumber(2010, 3, 15));
  EXPECT_EQ(t, text::timeValue(17, 12, 5));
  import::outlook::creationDateTime("15.03.2010 09:05", d, t);
  EXPECT_EQ(d, text::dayNumber(2010, 3, 15));
  EXPECT_EQ(t, text::timeValue(9, 5));
  for (const char* bad : {"2010-03-15T17:12:05", "", "2010-03-15", "2010-13-15 10:00", "someday 10:00",
                          "2010-03-15 25:00"}) {
    import::outlook::creationDateTime(bad, d, t);
    EXPECT_EQ(d, 0) << bad;
    EXPECT_EQ(t, 0) << bad;
  }
}

TEST(OutlookRules, ItemsWithoutToRecipientsOrThatAreNoMailGiveNoRecord) {
  Harness h;
  OutlookItem contact;
  contact.mail = false;
  contact.subject = "Pat Doe";
  Script s;
  s.add("Personal Folders::Inbox", {mailItem("Only copies", {cc("c@example.org", "Cid")}), contact,
                                    mailItem("No one", {}), mailItem("Taken", {to("robin@example.com", "R")})});
  h.run(s);
  ASSERT_EQ(h.ctx.work.size(), 1u);
  EXPECT_EQ(h.ctx.work[0].nhr.HEADING.str(), "Taken");
  EXPECT_TRUE(h.ctx.ccs.empty());
  EXPECT_EQ(h.ctx.skips, 1) << "the contact";
}

TEST(OutlookRules, FieldsAreCutAtACharacterBoundary) {
  import::mail::MailOwner owner{"Robin Quayle", "robin@example.com", {}};
  std::string subject = std::string(99, 's') + "\xC3\xA9t\xC3\xA9";  // "été" across the 100th byte
  std::string name = std::string(59, 'n') + "\xC5\x81";            // "Ł" across the 60th byte
  OutlookItem item = mailItem(subject, {to("pat@example.net", name)}, "robin@example.com");
  item.body = std::string(63999, 'b') + "\xE2\x82\xAC";
  auto recs = import::outlook::mailRecords(item, owner);
  ASSERT_EQ(recs.size(), 1u);
  EXPECT_EQ(recs[0].nhr.HEADING.str(), std::string(99, 's'));
  EXPECT_EQ(recs[0].nhr.R_NAME.str(), std::string(59, 'n'));
  std::string body = import::outlook::bodyText(item.body);
  EXPECT_LE(body.size(), 64000u);
  EXPECT_EQ(body.substr(0, 10), std::string(10, 'b'));
  EXPECT_NE(static_cast<unsigned char>(body.back()) & 0xC0, 0x80u) << "ends inside the euro sign";
}

TEST(OutlookRules, BodyLineEndsAndBlankLines) {
  EXPECT_EQ(import::outlook::bodyText("\r\n \n\nFirst\nSecond\r\n\r\n\r\n"), "First\r\nSecond\r\n");
  EXPECT_EQ(import::outlook::bodyText(" \r\n"), "");
}

TEST(OutlookRules, AtMostTenItemsPerStepAndProgress) {
  Harness h;
  std::vector<OutlookItem> items;
  for (int i = 0; i < 25; ++i) items.push_back(mailItem("M" + std::to_string(i), {to("robin@example.com", "R")}));
  Script s;
  s.add("Personal Folders::Inbox", items);
  s.add("Personal Folders::Archive", std::vector<OutlookItem>(items.begin(), items.begin() + 5));
  currentScript() = &s;
  import::outlook::OutlookConverter conv(openScript);
  uint8_t command = 199;
  std::vector<std::size_t> perStep;
  bool done = false;
  while (!done && perStep.size() < 100) {
    std::size_t before = h.ctx.work.size();
    done = conv.step(h.ctx, command);
    perStep.push_back(h.ctx.work.size() - before);
    if (!done) {
      EXPECT_LT(h.ctx.lastProgress, 1000);
    }
  }
  EXPECT_EQ(h.ctx.work.size(), 30u);
  for (std::size_t n : perStep) EXPECT_LE(n, 10u);
  EXPECT_EQ(perStep.size(), 4u) << "30 items in batches of ten";
  EXPECT_EQ(h.ctx.lastProgress, 1000);
}

TEST(OutlookRules, SelectionIsResolvedAtEveryRun) {
  Script s;
  s.add("Personal Folders", {});
  s.add("Personal Folders::Inbox", {mailItem("In", {to("robin@example.com", "R")})});
  s.add("Personal Folders::Contacts", {}, false);
  s.add("Personal Folders::Inbox::Old", {mailItem("Old", {to("robin@example.com", "R")})});
  using import::outlook::resolveSelection;
  EXPECT_EQ(resolveSelection(s.folders, ""), (std::vector<std::size_t>{0, 1, 3})) << "every mail folder";
  EXPECT_EQ(resolveSelection(s.folders, "Personal Folders::Inbox::Old ## personal folders::INBOX##Gone::Away"),
            (std::vector<std::size_t>{1, 3}));
  EXPECT_EQ(import::outlook::missingFolders(s.folders, "Personal Folders::Inbox##Gone::Away"),
            (std::vector<std::string>{"Gone::Away"}));
  EXPECT_EQ(import::outlook::joinSelection(import::outlook::splitSelection("A::B## ##C")), "A::B##C");

  // A run with one selected folder left reads that folder only.
  Harness h;
  h.ctx.req.outlookFolders = "Personal Folders::Inbox::Old##Personal Folders::Deleted";
  h.run(s);
  ASSERT_EQ(h.ctx.work.size(), 1u);
  EXPECT_EQ(h.ctx.work[0].nhr.HEADING.str(), "Old");
  EXPECT_FALSE(h.ctx.stopped);
}

TEST(OutlookRules, StartChecksStopTheRun) {
  {
    Harness h;
    Script s;
    s.add("Personal Folders::Inbox", {mailItem("In", {to("robin@example.com", "R")})});
    h.ctx.req.outlookFolders = "Personal Folders::Deleted##Archive";
    h.run(s);
    EXPECT_TRUE(h.ctx.stopped);
    EXPECT_TRUE(h.told("Selected Outlook folders no longer exist."));
    EXPECT_TRUE(h.ctx.work.empty());
  }
  for (bool unreadable : {true, false}) {
    Harness h;
    Script s;
    s.fail = true;
    s.error = {unreadable, "the reason"};
    h.run(s);
    EXPECT_TRUE(h.ctx.stopped);
    std::string want = std::string(unreadable ? "Fatal error. Outlook cannot be initialized." : "Outlook cannot be run") +
                       "\r\n/nowhere/Outlook.pst\r\nthe reason";
    EXPECT_TRUE(h.told(want)) << want;
  }
}

TEST(OutlookRules, WithoutAMailDatabaseTheItemsAreSkippedUnread) {
  Harness h;
  h.ctx.req.mailDatabase = "Nobody";
  Script s;
  s.add("Personal Folders::Inbox", std::vector<OutlookItem>(7, mailItem("In", {to("robin@example.com", "R")})));
  currentScript() = &s;
  h.run(s);
  EXPECT_TRUE(h.ctx.work.empty());
  EXPECT_EQ(h.ctx.skips, 7);
  EXPECT_FALSE(h.ctx.stopped);
}

}  // namespace
}  // namespace qb::outlooktest
