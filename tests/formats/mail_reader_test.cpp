// The mailbox readers (how each format is cut into messages and lines) and
// the mail header reader with the mailbox-owner rule.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "import/formats/mail/mail_eudora.h"
#include "import/formats/mail/mail_header.h"
#include "import/formats/mail/mail_reader.h"
#include "text/datetime.h"

namespace qb::import::mail {
namespace {

namespace fs = std::filesystem;

class TempDir {
 public:
  TempDir() {
    std::string t = (fs::temp_directory_path() / "qb-mail-XXXXXX").string();
    path_ = ::mkdtemp(t.data());
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  std::string write(const std::string& name, const std::string& bytes) const {
    std::string p = path_ + "/" + name;
    std::ofstream(p, std::ios::binary) << bytes;
    return p;
  }

 private:
  std::string path_;
};

using Message = std::vector<std::string>;

// Every message of a file as the reader hands it out.
std::vector<Message> readAll(const std::string& type, const std::string& path) {
  const ImportType* t = findImportType(type);
  auto r = t ? makeMailboxReader(t->id) : nullptr;
  EXPECT_TRUE(r) << type;
  std::vector<Message> out;
  std::string error;
  if (!r || !r->open(path, error)) return out;
  std::string line;
  while (r->nextMessage()) {
    Message m;
    while (r->nextLine(line)) m.push_back(line);
    out.push_back(m);
    if (out.size() > 10000) break;
  }
  return out;
}

// A Eudora table of contents listing `offsets`.
std::string toc(const std::vector<uint32_t>& offsets) {
  std::string t(kTocHeaderSize, '\0');
  for (uint32_t o : offsets) {
    std::string e(kTocEntrySize, '\0');
    for (int i = 0; i < 4; ++i) e[i] = static_cast<char>((o >> (8 * i)) & 0xFF);
    t += e;
  }
  return t;
}

MailOwner owner() { return MailOwner{"Robin Quayle", "Robin@Example.com", {"rq@example.org", "rquayle@example.net"}}; }

// Reads header lines into a work record with the test owner.
struct Read {
  bool ok = false;
  NHR nhr;
  MailHeaderReader h;
  explicit Read(const std::vector<std::string>& lines, HeaderStyle style = HeaderStyle::Mail) : h(style) {
    h.clear();
    for (auto& l : lines) h.line(l);
    ok = h.finish(nhr, owner());
  }
};

// ---- Eudora ----------------------------------------------------------------

const std::string kEudoraA =
    "From ???@??? Mon Mar 02 09:15:42 1998\r\n"
    "Date: Mon, 2 Mar 1998 09:15:42 +0100\r\n"
    "From: Hilde <hilde@example.com>\r\n"
    "Subject: First\r\n"
    "\r\n"
    "Quoted below:\r\n";
const std::string kQuoted = "From ???@??? Sun Mar 01 10:00:00 1998\r\n";
const std::string kEudoraB =
    "From ???@??? Tue Mar 03 18:30:05 1998\r\n"
    "To: Tomas <tomas@example.net>\r\n"
    "Subject: Second\r\n"
    "\r\n"
    "Sent text.\r\n";

TEST(EudoraReader, QuotedSeparatorNotInTheTableOfContentsIsText) {
  TempDir d;
  std::string box = kEudoraA + kQuoted + "end of first\r\n" + kEudoraB;
  std::string path = d.write("In.mbx", box);
  d.write("IN.TOC", toc({0, static_cast<uint32_t>(kEudoraA.size() + kQuoted.size() + 14)}));
  auto ms = readAll("Eudora", path);
  ASSERT_EQ(ms.size(), 2u);
  EXPECT_EQ(ms[0].front(), "From ???@??? Mon Mar 02 09:15:42 1998");
  EXPECT_EQ(ms[0][6], "From ???@??? Sun Mar 01 10:00:00 1998");
  EXPECT_EQ(ms[0].back(), "end of first");
  EXPECT_EQ(ms[1][1], "To: Tomas <tomas@example.net>");
}

TEST(EudoraReader, WithoutTableOfContentsEverySeparatorStartsAMail) {
  TempDir d;
  std::string path = d.write("In.mbx", kEudoraA + kQuoted + "end of first\r\n" + kEudoraB);
  EXPECT_EQ(readAll("Eudora", path).size(), 3u);
  // A table of contents without entries lists nothing either.
  d.write("In.toc", toc({}));
  EXPECT_EQ(readAll("Eudora", path).size(), 3u);
}

TEST(EudoraHeader, DateLineMakesTheMailIncoming) {
  Read r({"From ???@??? Mon Mar 02 09:15:42 1998", "Date: Mon, 2 Mar 1998 09:15:42 +0100",
          "From: Hilde Marwick <Hilde@Example.com>", "To: someone@example.org", "Subject: Re: First"},
         HeaderStyle::Eudora);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.nhr.MAILTYPE, Incoming);
  EXPECT_EQ(r.nhr.DATE, text::dayNumber(1998, 3, 2));
  EXPECT_EQ(r.nhr.TIME, text::timeValue(9, 15, 42));
  EXPECT_EQ(r.nhr.S_CISADRESS.str(), "hilde@example.com");
  EXPECT_EQ(r.nhr.R_CISADRESS.str(), "Robin@Example.com");
  EXPECT_EQ(r.nhr.R_NAME.str(), "Robin Quayle");
  EXPECT_EQ(r.nhr.HEADING.str(), "First");
}

TEST(EudoraHeader, WithoutDateLineTheOwnerSentItOnTheSeparatorsDate) {
  Read r({"From ???@??? Tue Mar  3 18:30:05 1998", "From: whoever@example.com", "To: Tomas <Tomas@Example.net>",
          "Subject: Second"},
         HeaderStyle::Eudora);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.nhr.MAILTYPE, Outgoing);
  EXPECT_EQ(r.nhr.DATE, text::dayNumber(1998, 3, 3));
  EXPECT_EQ(r.nhr.TIME, text::timeValue(18, 30, 5));
  EXPECT_EQ(r.nhr.S_NAME.str(), "Robin Quayle");
  EXPECT_EQ(r.nhr.S_CISADRESS.str(), "Robin@Example.com");
  EXPECT_EQ(r.nhr.R_CISADRESS.str(), "tomas@example.net");
  EXPECT_EQ(r.nhr.R_NAME.str(), "Tomas");
}

TEST(EudoraHeader, OwnRules) {
  // A one-digit day, no weekday; multipart/alternative is HTML, not
  // multipart; continuation lines of five blanks are passed over.
  Read r({"From ???@??? Mon Mar 02 09:15:42 1998", "Date: 2 Mar 98 07:05", "Subject: x",
          "Content-Type: multipart/alternative;", "     boundary=\"b1\""},
         HeaderStyle::Eudora);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.nhr.DATE, text::dayNumber(1998, 3, 2));
  EXPECT_EQ(r.nhr.TIME, text::timeValue(7, 5, 0));
  EXPECT_EQ(r.h.bodyKind(), text::BodyKind::Html);
  EXPECT_FALSE(r.h.mime().multipart());
  EXPECT_EQ(eudoraSeparatorDate("From ???@??? garbage").date, 0);
}

// ---- the mail header reader and the owner rule ------------------------------

TEST(MailHeader, AlternativeAddressIsTheOwnerSending) {
  Read r({"From: Robin <RQ@example.org>", "To: Tomas Brandt <tomas@example.net>", "Subject: Invoice",
          "Date: Tue, 3 Mar 1998 18:30:00 +0100"});
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.nhr.MAILTYPE, Outgoing);
  EXPECT_EQ(r.nhr.S_CISADRESS.str(), "Robin@Example.com");  // the main address, as recorded
  EXPECT_EQ(r.nhr.S_NAME.str(), "Robin Quayle");
  EXPECT_EQ(r.nhr.R_CISADRESS.str(), "tomas@example.net");
  EXPECT_EQ(r.nhr.R_NAME.str(), "Tomas Brandt");
}

TEST(MailHeader, ForeignSenderMakesTheMailIncoming) {
  Read r({"FROM: \"Ida Voss\" <Ida.Voss@Example.org>", "to: robin@example.com (X)", "subject: RE: re: Hello"});
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.nhr.MAILTYPE, Incoming);
  EXPECT_EQ(r.nhr.S_CISADRESS.str(), "ida.voss@example.org");
  EXPECT_EQ(r.nhr.S_NAME.str(), "Ida Voss");
  EXPECT_EQ(r.nhr.R_NAME.str(), "Robin Quayle");
  EXPECT_EQ(r.nhr.HEADING.str(), "re: Hello");
  EXPECT_EQ(r.nhr.DATE, 0);
  EXPECT_EQ(r.nhr.TIME, 0);
  EXPECT_EQ(r.nhr.RECIPTYPE.str(), "TO");
}

TEST(MailHeader, CarbonCopiesAndRecipientType) {
  // Incoming, the owner only among the copies: received as "CC"; the other
  // recipients become carbon copies, the owner's own addresses do not.
  Read in({"From: Tomas <tomas@example.net>", "To: Club <club@example.com>,", "\tIda <ida@example.org>",
           "Cc: Robin <robin@example.com>, \"Smith, John\" <js@example.com>", "Subject: Plan"});
  ASSERT_TRUE(in.ok);
  EXPECT_EQ(in.nhr.RECIPTYPE.str(), "CC");
  ASSERT_EQ(in.h.copies().size(), 3u);
  EXPECT_EQ(in.h.copies()[0].address, "club@example.com");
  EXPECT_EQ(in.h.copies()[0].type, "TO");
  EXPECT_EQ(in.h.copies()[1].address, "ida@example.org");
  EXPECT_EQ(in.h.copies()[2].name, "Smith, John");
  EXPECT_EQ(in.h.copies()[2].type, "CC");

  // Outgoing to two: the first is the recipient, the second a copy.
  Read out({"From: robin@example.com", "To: a@example.com, b@example.com", "Cc: rquayle@example.net"});
  ASSERT_TRUE(out.ok);
  EXPECT_EQ(out.nhr.R_CISADRESS.str(), "a@example.com");
  ASSERT_EQ(out.h.copies().size(), 1u);
  EXPECT_EQ(out.h.copies()[0].address, "b@example.com");
}

TEST(MailHeader, BodyKinds) {
  EXPECT_EQ(Read({"Content-Type: text/html; charset=x"}).h.bodyKind(), text::BodyKind::Html);
  EXPECT_EQ(Read({"Content-Type: text/enriched"}).h.bodyKind(), text::BodyKind::Enriched);
  Read mp({"Content-Type: multipart/mixed;", "\tboundary=\"=_b\"", "From: x@example.com"});
  ASSERT_TRUE(mp.ok);
  EXPECT_EQ(mp.h.mime().boundary(), "=_b");
  EXPECT_EQ(mp.nhr.S_CISADRESS.str(), "x@example.com");  // lines after the boundary line still count
  EXPECT_EQ(Read({"Content-Transfer-Encoding: BASE64"}).h.form().encoding, text::TransferEncoding::Base64);
  text::TextForm f = Read({"Content-Type: text/plain;", " charset=koi8-r; format=flowed"}).h.form();
  EXPECT_EQ(f.charset, "koi8-r");
  EXPECT_TRUE(f.flowed);
}

TEST(MailHeader, DigestIsNotMultipartInAnyCase) {
  Read r({"From: list@example.com", "content-type: Multipart/Digest"});
  ASSERT_TRUE(r.ok);  // a multipart mail without a boundary would be skipped
  EXPECT_FALSE(r.h.mime().multipart());
}

TEST(MailHeader, SkippedMessages) {
  EXPECT_FALSE(Read({"From: a@example.com", "Newsgroups: comp.example", "Subject: news"}).ok);
  EXPECT_FALSE(Read({"From: a@example.com", "Content-Type: multipart/mixed", "Subject: no boundary"}).ok);
}

TEST(MailHeader, AddressLists) {
  EXPECT_EQ(splitAddressList("a@x.com, \"B, C\" <b@y.org>,(x, y) c@z.net"),
            (std::vector<std::string>{"a@x.com", "\"B, C\" <b@y.org>", "(x, y) c@z.net"}));
  EXPECT_EQ(splitAddressList("Smith, John <js@example.com>"), (std::vector<std::string>{"Smith, John <js@example.com>"}));
  EXPECT_TRUE(splitAddressList("  ").empty());
}

// ---- the other readers ------------------------------------------------------

TEST(FromDashReader, StatusLinesPassedOverAndLinesHandedOutAsTheyStand) {
  TempDir d;
  std::string path = d.write("Inbox",
                             "From - Mon Mar 02 09:15:42 1998\r\nX-Mozilla-Status: 0001\r\nFrom: a@example.com\r\n"
                             "\r\nline one=\r\n and =E9 =3D=\r\nFrom - Tue Mar 03 10:00:00 1998\r\nTo: b@x.org\r\n");
  auto ms = readAll("Netscape Mail", path);
  ASSERT_EQ(ms.size(), 2u);
  // Quoted-printable is undone later, by the body routine, where a header
  // declares it.
  EXPECT_EQ(ms[0], (Message{"From: a@example.com", "", "line one=", " and =E9 =3D="}));
  EXPECT_EQ(ms[1], (Message{"To: b@x.org"}));
}

TEST(RecordMarkerReader, RecordFieldsAndPaddingAreNoText) {
  TempDir d;
  std::string rec1 = std::string("\x7F\x00\x7F\x00\x7F\x00\x00\x00\x40\x00\x00\x00\x21\x00\x00\x00", 16) +
                     "Received: x\r\nFrom: a@example.com\r\n\r\nbody\r\n" + std::string("\x7F\x00", 2) + "junk";
  std::string rec2 = std::string("\x7F\x00\x7F\x00\x02\x00\x00\x00\x20\x00\x00\x00\x10\x00\x00\x00", 16) +
                     "Subject: two\r\n\r\nsecond" + std::string(7, '\0');
  std::string path = d.write("Inbox.mbx", "JMF6" + std::string(60, '\0') + rec1 + rec2);
  auto ms = readAll("Outlook Express 4 Mail", path);
  ASSERT_EQ(ms.size(), 2u);
  EXPECT_EQ(ms[0], (Message{"From: a@example.com", "", "body"}));
  EXPECT_EQ(ms[1], (Message{"Subject: two", "", "second"}));
}

TEST(PegasusReader, FolderHeaderPassedOverAndSeparatorsAfterAnyLineEnd) {
  TempDir d;
  std::string path = d.write("Inbox.pmm", std::string("PMM\0Folder: not a header\x01\x02\0\0", 28) +
                                              "Subject: one\r\n\r\nbody 1\r\n\x1A" + "From: b@example.com\n\nbody 2\r\x1A" +
                                              "To: c@example.com\r\n\r\nbody 3\r\n\x1A");
  auto ms = readAll("Pegasus", path);
  ASSERT_EQ(ms.size(), 3u);
  EXPECT_EQ(ms[0], (Message{"Subject: one", "", "body 1"}));
  EXPECT_EQ(ms[1], (Message{"From: b@example.com", "", "body 2"}));
  EXPECT_EQ(ms[2], (Message{"To: c@example.com", "", "body 3"}));
  EXPECT_TRUE(readAll("Pegasus", d.write("empty.pmm", std::string("PMM\0\0\0no colon here", 18))).empty());
}

TEST(CandidateReader, ThreeOfFourKindsStartAMail) {
  TempDir d;
  std::string path = d.write("mailbox.txt",
                             "noise before the first mail\n"
                             "From: a@example.com\nDate: Mon, 2 Mar 1998 09:00:00\nSubject: one\n\n"
                             "quoted:\nFrom: b@example.com\nSubject: not a mail\n\nstill one\n"
                             "From: c@example.com\nDate: Tue, 3 Mar 1998 09:00:00\nSubject: two\n\nbody two\n");
  auto ms = readAll("Generic Mail Type 1", path);
  ASSERT_EQ(ms.size(), 2u);
  ASSERT_EQ(ms[0].size(), 9u);
  EXPECT_EQ(ms[0][4], "quoted:");
  EXPECT_EQ(ms[0][5], "From: b@example.com");
  EXPECT_EQ(ms[0][8], "still one");
  EXPECT_EQ(ms[1].front(), "From: c@example.com");
  EXPECT_EQ(ms[1].back(), "body two");
}

TEST(AolReader, TagsPartsAndHeaders) {
  const std::string noText("\x4E\x00\x00\x00\x0C\x00\x02\x10\x01\x0D\x00\x07\x36\x00\x00\x00", 16);
  const std::string other("\x20\x00\x00\x00\x0C\x00\x02\x00\x00\x0D\x00\x07\x10\x00\x00\x00", 16);
  const std::string headers = "----------------------- Headers --------------------------------\r\n";
  std::string file = "AOLVFC" + std::string("AOLFAOLH") + noText + "AOLFRS" +  // no "Headers" yet: no end
                     "AOLFAOLH" + other + "Body line\r\n\r\n" + headers +
                     "Return-Path: <x>\r\nFrom: a@example.com\r\nSubject: one\r\n\r\n" + "AOLFxxxx" + "AOLFRS" +
                     "AOLFAOLH" + other + "Second body\r\n" + headers + "To: b@example.com\r\n" + "AOLFRS";
  TempDir d;
  auto ms = readAll("AOL", d.write("box", file));
  ASSERT_EQ(ms.size(), 2u);
  EXPECT_EQ(ms[0], (Message{"Return-Path: <x>", "From: a@example.com", "Subject: one", "", "Body line", ""}));
  EXPECT_EQ(ms[1], (Message{"To: b@example.com", "", "Second body"}));
}

TEST(MailboxReaders, LongLinesAreKeptWhole) {
  TempDir d;
  std::string longLine(30000, 'x');
  std::string path = d.write("m.txt", "From: a@example.com\nDate: x\nSubject: y\n\n" + longLine + "\nend\n");
  auto ms = readAll("Agent Mail", path);
  ASSERT_EQ(ms.size(), 1u);
  EXPECT_EQ(ms[0][4], longLine);
  EXPECT_EQ(ms[0][5], "end");
}

}  // namespace
}  // namespace qb::import::mail
