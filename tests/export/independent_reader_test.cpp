// The mbox and Maildir exports, and the generic mailboxes, read back by
// parsers that are not ours: Python's `mailbox` and `email` modules, and
// notmuch indexing the Maildir. Counts, subjects, senders, dates and
// non-ASCII texts must survive.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "archive/browse/browse_context.h"
#include "export/copy_msg.h"
#include "export/export_formats.h"
#include "support/database_builder.h"
#include "support/temp_archive.h"
#include "text/datetime.h"

namespace {

namespace fs = std::filesystem;
using namespace qb::exporting;
using namespace qb::store;
using qb::test::DatabaseBuilder;
using qb::test::TempArchive;
using qb::text::dayNumber;
using qb::text::timeValue;

// Runs a shell command; its standard output, or nullopt-like "\x01" when it
// could not run.
std::string capture(const std::string& cmd, int* code = nullptr) {
  std::string out;
  FILE* p = ::popen(cmd.c_str(), "r");
  if (!p) return "\x01";
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  int status = ::pclose(p);
  if (code) *code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return out;
}

bool havePython() { return capture("python3 -c 'import mailbox, email' 2>/dev/null && echo yes") == "yes\n"; }

// One line per message: subject | sender's address | date (ISO) | body with
// its line ends as "/".
const char* kReader = R"PY(
import re, sys, mailbox, email.policy, email.utils
kind, path = sys.argv[1], sys.argv[2]
box = mailbox.mbox(path) if kind == 'mbox' else mailbox.Maildir(path, create=False)
rows = []
for key in box.keys():
    raw = box.get_bytes(key)
    if kind == 'mbox':
        # the separator line goes; mboxrd unquoting (Python's reader keeps
        # the quoting); the readers' formats end lines with CR LF
        raw = raw.split(b'\n', 1)[1] if raw.startswith(b'From ') else raw
        raw = re.sub(rb'(?m)^>(>*From )', rb'\1', raw.replace(b'\r\n', b'\n'))
    m = email.message_from_bytes(raw, policy=email.policy.default)
    body = m.get_body(('plain',))
    text = body.get_content() if body is not None else ''
    flags = box.get_message(key).get_flags() if kind == 'maildir' else ''
    addr = email.utils.parseaddr(str(m['from']))[1]
    date = email.utils.parsedate_to_datetime(m['date']).strftime('%Y-%m-%d %H:%M')
    rows.append('%s|%s|%s|%s|%s|%s' % (m['subject'], addr, date, text.rstrip('\n').replace('\n', '/'),
                                       m.get('references', ''), flags))
for r in sorted(rows):
    print(r)
)PY";

std::string readWithPython(const std::string& kind, const std::string& path) {
  const std::string script = fs::temp_directory_path() / "quillbox-reader.py";
  std::ofstream(script) << kReader;
  int code = 0;
  std::string out = capture("python3 '" + script + "' " + kind + " '" + path + "' 2>&1", &code);
  EXPECT_EQ(code, 0) << out;
  return out;
}

class ModernExport : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!havePython()) GTEST_SKIP() << "python3 with the mailbox and email modules is not installed";
    a.addDatabase(KindMail, "Robin Quayle");
    a.session().PersonID = 10;
    DatabaseBuilder b(a);
    b.person(10, "Quayle", "Robin", "robin@example.com");
    b.person(11, "Thornbury", "Wilma", "74321,1234");
    b.person(12, "M\u00fcller", "J\u00fcrgen", "jm@example.de");
    b.mail(500, dayNumber(1998, 3, 2), timeValue(9, 15), "Gr\u00fc\u00dfe aus M\u00fcnchen", 12, 10, 12,
           "Liebe Gr\u00fc\u00dfe,\r\nFrom the road: \u20ac 5.\r\n>From here on", 1);
    // a text of an older archive, in Windows-1252
    b.mail(501, dayNumber(1998, 3, 3), timeValue(18, 30), "Caf\xe9 bill", 10, 11, 11, "The caf\xe9 bill.", 2);
    b.mail(502, dayNumber(1998, 3, 4), timeValue(7, 5), "Plain", 11, 10, 11, std::string(1200, 'x') + " end");
    b.copy(500, "Ann Smith", "ann@example.org");
  }
  std::string exportTo(int format, const std::string& name) {
    ExportRequest r;
    r.format = format;
    r.inbox = name;
    CopyMsg run(a.session(), r);
    EXPECT_TRUE(run.start()) << run.error();
    while (run.step()) {
    }
    EXPECT_TRUE(run.finish()) << run.error();
    EXPECT_EQ(run.processed(), 3u);
    return a.session().TempDir + "/" + name;
  }
  TempArchive a;
};

TEST_F(ModernExport, MboxIsReadByPythonsMailbox) {
  const std::string path = exportTo(FormatMbox, "all.mbox");
  std::string out = readWithPython("mbox", path);
  // sender of the café mail is the owner; the long line comes back whole
  EXPECT_NE(out.find("Caf\u00e9 bill|robin@example.com|1998-03-03 18:30|The caf\u00e9 bill.||"), std::string::npos)
      << out;
  EXPECT_NE(out.find("Gr\u00fc\u00dfe aus M\u00fcnchen|jm@example.de|1998-03-02 09:15|Liebe Gr\u00fc\u00dfe,/From the "
                     "road: \u20ac 5./>From here on||"),  // as stored, after mboxrd unquoting
            std::string::npos)
      << out;
  EXPECT_NE(out.find("Plain|74321.1234@compuserve.com|1998-03-04 07:05|" + std::string(1200, 'x') + " end||"),
            std::string::npos);
  // the raw file: mboxrd quoting of the body's From lines, MIME headers
  std::ifstream in(path, std::ios::binary);
  std::stringstream raw;
  raw << in.rdbuf();
  EXPECT_NE(raw.str().find("\n>>From here on\n"), std::string::npos);
  EXPECT_NE(raw.str().find("\n>From the road"), std::string::npos);
  EXPECT_NE(raw.str().find("Content-Type: text/plain; charset=utf-8\n"), std::string::npos);
  EXPECT_NE(raw.str().find("Subject: =?UTF-8?B?"), std::string::npos);
  EXPECT_NE(raw.str().find("Cc: Ann Smith <ann@example.org>\n"), std::string::npos);
  EXPECT_NE(raw.str().find("Content-Transfer-Encoding: quoted-printable\n"), std::string::npos);  // the long line
}

TEST_F(ModernExport, MaildirIsReadByPythonsMailboxWithFlags) {
  const std::string path = exportTo(FormatMaildir, "Robin.maildir");
  std::string out = readWithPython("maildir", path);
  EXPECT_NE(out.find("Caf\u00e9 bill|robin@example.com|1998-03-03 18:30|The caf\u00e9 bill.||ST\n"),
            std::string::npos)
      << out;  // delete status: trashed
  EXPECT_NE(out.find("Gr\u00fc\u00dfe aus M\u00fcnchen|jm@example.de|1998-03-02 09:15|"), std::string::npos);
  EXPECT_NE(out.find("||FS\n"), std::string::npos);  // keep status: flagged
  // a new export never empties a Maildir that holds mail
  ExportRequest r;
  r.format = FormatMaildir;
  r.inbox = "Robin.maildir";
  CopyMsg again(a.session(), r);
  ASSERT_TRUE(again.start());
  EXPECT_FALSE(again.step());
  EXPECT_FALSE(again.finish());
  EXPECT_NE(again.error().find("holds messages already"), std::string::npos);
}

TEST_F(ModernExport, NotmuchIndexesTheMaildir) {
  if (capture("command -v notmuch >/dev/null 2>&1 && echo yes") != "yes\n")
    GTEST_SKIP() << "notmuch is not installed (apt-get install notmuch)";
  const std::string path = exportTo(FormatMaildir, "nm");
  const std::string cfg = a.home() + "/notmuch-config";
  std::ofstream(cfg) << "[database]\npath=" << path << "\n[user]\nname=Test\nprimary_email=t@example.com\n"
                     << "[new]\ntags=unread;inbox;\n[maildir]\nsynchronize_flags=true\n";
  const std::string env = "NOTMUCH_CONFIG='" + cfg + "' ";
  int code = 0;
  std::string out = capture(env + "notmuch new 2>&1", &code);
  ASSERT_EQ(code, 0) << out;
  EXPECT_EQ(capture(env + "notmuch count '*'"), "3\n");
  EXPECT_EQ(capture(env + "notmuch count 'subject:\"Gr\u00fc\u00dfe\"'"), "1\n");
  EXPECT_EQ(capture(env + "notmuch count 'from:jm@example.de'"), "1\n");
  EXPECT_EQ(capture(env + "notmuch count 'tag:flagged'"), "1\n");
}

TEST(GenericMailboxes, EudoraAndGeneric2AreReadAsMbox) {
  if (!havePython()) GTEST_SKIP() << "python3 with the mailbox and email modules is not installed";
  TempArchive a;
  a.addDatabase(KindMail, "Robin Quayle");
  a.session().PersonID = 10;
  {
    DatabaseBuilder b(a);
    b.person(10, "Quayle", "Robin", "robin@example.com");
    b.person(11, "Thornbury", "Wilma", "wilma@example.com");
    b.mail(500, dayNumber(1998, 3, 2), timeValue(9, 15), "First", 11, 10, 11, "one");
    b.mail(501, dayNumber(1998, 3, 3), timeValue(18, 30), "Second", 11, 10, 11, "two\r\nlines");
  }
  for (int format : {FormatEudora, FormatGeneric2}) {
    ExportRequest r;
    r.format = format;
    CopyMsg run(a.session(), r);
    ASSERT_TRUE(run.start());
    while (run.step()) {
    }
    ASSERT_TRUE(run.finish());
    std::string out = readWithPython("mbox", a.session().TempDir + "/InBox.Mbx");
    EXPECT_EQ(out,
              "First|wilma@example.com|1998-03-02 09:15|one||\n"
              "Second|wilma@example.com|1998-03-03 18:30|two/lines||\n")
        << formatName(KindMail, format);
  }
}

TEST(ForumThreads, ReferencesSurviveInMbox) {
  if (!havePython()) GTEST_SKIP() << "python3 with the mailbox and email modules is not installed";
  TempArchive a;
  a.addDatabase(KindNewsgroup, "comp.example.compilers");
  {
    DatabaseBuilder b(a);
    b.section(11, 1, "comp.example.compilers");
    b.person(1, "Voss", "Hale", "hale@example.com");
    b.person(2, "Pardo", "Ines", "ines@example.org");
    b.thread(1, 11, "Parser generators");
    b.message(100, 11, 1, 0, 1, 0, dayNumber(1998, 3, 3), "Which one?");
    b.message(101, 11, 1, 100, 2, 1, dayNumber(1998, 3, 4), "Start small.");
    b.message(102, 11, 1, 101, 1, 2, dayNumber(1998, 3, 5), "Thanks.");
    b.messageId(100, "<a1@example.com>");
    b.messageId(101, "<a2@example.com>");
    b.messageId(102, "<a3@example.com>");
  }
  ExportRequest r;
  r.format = FormatMbox;
  r.inbox = "news.mbox";
  CopyMsg run(a.session(), r);
  ASSERT_TRUE(run.start());
  while (run.step()) {
  }
  ASSERT_TRUE(run.finish());
  std::string out = readWithPython("mbox", a.session().TempDir + "/news.mbox");
  EXPECT_EQ(out,
            "Parser generators|hale@example.com|1998-03-03 00:00|Which one?||\n"
            "Re: Parser generators|hale@example.com|1998-03-05 00:00|Thanks.|<a1@example.com> <a2@example.com>|\n"
            "Re: Parser generators|ines@example.org|1998-03-04 00:00|Start small.|<a1@example.com>|\n");
}

}  // namespace
