// The table formats: the dBase reader against tables written and read back
// by Python's dbf module (python3-dbf), and the NavCIS, CISCOMM and OUI
// record rules over the samples (written by samples/tables/make_table_samples.py).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <map>

#include "formats/cis_binary_support.h"
#include "import/formats/tables/dbf_table.h"
#include "import/formats/tables/navcis_time.h"
#include "text/codepages.h"
#include "text/datetime.h"

namespace qb::cistest {
namespace {

using import::tables::DbfTable;
using import::tables::RecordState;

std::string unhex(const std::string& h) {
  std::string out;
  for (std::size_t i = 0; i + 1 < h.size(); i += 2) out += static_cast<char>(std::stoi(h.substr(i, 2), nullptr, 16));
  return out;
}

bool havePythonDbf() {
  return std::system("/usr/bin/python3 -c 'import dbf' >/dev/null 2>&1") == 0;
}

TEST(DbfReader, AgreesWithPythonDbf) {
  if (!havePythonDbf()) GTEST_SKIP() << "python3-dbf is not installed (apt-get install python3-dbf); skipped";
  Harness h;
  std::string dir = h.dir + "/fixture";
  std::string cmd = "/usr/bin/python3 -W ignore " + sample("tables/make_table_samples.py") + " --fixture " + dir;
  ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;

  std::ifstream expect(dir + "/expect.txt");
  std::string line;
  DbfTable table;
  std::string name;
  int compared = 0;
  uint32_t current = UINT32_MAX;
  RecordState state = RecordState::Unreadable;
  while (std::getline(expect, line)) {
    std::istringstream in(line);
    std::string first;
    in >> first;
    if (first == "table") {
      uint32_t count = 0;
      in >> name >> count;
      std::string error;
      ASSERT_TRUE(table.open(dir + "/" + name + ".DBF", error)) << name << ": " << error;
      EXPECT_EQ(table.recordCount(), count) << name;
      EXPECT_TRUE(table.memoOpen()) << name;
      EXPECT_EQ(table.dosCodePage(), name != "FOX") << name;
      current = UINT32_MAX;
      continue;
    }
    uint32_t record = static_cast<uint32_t>(std::stoul(first));
    std::string field, hex;
    int deleted = 0;
    in >> field >> deleted >> hex;
    if (record != current) {
      state = table.read(record);
      current = record;
      ASSERT_NE(state, RecordState::Unreadable) << name << " record " << record;
      EXPECT_EQ(state == RecordState::Deleted, deleted == 1) << name << " record " << record;
    }
    int f = table.field(field);
    ASSERT_GE(f, 0) << field;
    std::string want = unhex(hex);
    char type = table.fields()[static_cast<std::size_t>(f)].type;
    SCOPED_TRACE(name + " record " + std::to_string(record) + " field " + field);
    if (type == 'M') {
      EXPECT_EQ(table.memo(f), want.substr(0, DbfTable::kMaxMemo));
    } else if (type == 'N') {
      EXPECT_NEAR(std::atof(table.text(f).c_str()), std::atof(want.c_str()), 1e-9);
      if (want.find('.') == std::string::npos) {
        EXPECT_EQ(table.number(f), std::atol(want.c_str()));
      }
    } else if (type == 'L') {
      EXPECT_EQ(table.logical(f), want == "T");
    } else if (type == 'D') {
      EXPECT_EQ(table.text(f), want);
      if (!want.empty()) {
        EXPECT_EQ(table.date(f), text::dayNumber(std::stoi(want.substr(0, 4)), std::stoi(want.substr(4, 2)),
                                                 std::stoi(want.substr(6, 2))));
      }
    } else {
      EXPECT_EQ(table.text(f), want);
    }
    ++compared;
  }
  EXPECT_EQ(compared, 3 * 4 * 6);
}

TEST(DbfReader, DamagedHeadersAreRefused) {
  Harness h;
  std::string good = slurp(sample("tables/navcis17/HRECV.DBF"));
  ASSERT_GT(good.size(), 100u);
  DbfTable t;
  std::string error;
  auto openBytes = [&](const std::string& bytes) {
    import::testing::writeFile(h.dir + "/T.DBF", bytes);
    return t.open(h.dir + "/T.DBF", error);
  };
  EXPECT_TRUE(openBytes(good));
  EXPECT_FALSE(t.truncated());
  EXPECT_FALSE(openBytes(good.substr(0, 20)));
  std::string bad = good;
  bad[8] = bad[9] = '\xFF';  // header length beyond the file
  EXPECT_FALSE(openBytes(bad));
  bad = good;
  bad[10] = 2;  // record length shorter than the fields
  bad[11] = 0;
  EXPECT_FALSE(openBytes(bad));
  bad = good;
  bad[4] = bad[5] = bad[6] = bad[7] = '\x7F';  // two billion records claimed
  ASSERT_TRUE(openBytes(bad));
  EXPECT_TRUE(t.truncated());
  EXPECT_EQ(t.recordCount(), 8u);
}

TEST(NavCisTable, RecordRules) {
  // Each version's sample: a thread and a message of another forum, two
  // numbers that are skipped, and mail with the time forms.
  struct Case {
    const char* type;
    const char* path;
    uint32_t base;
    int year, month, day;
    const char* rootAddress;
    const char* section;
    const char* rootText;
    const char* replyAddress;
    const char* otherSubject;
    const char* mailSubject;
    const char* mailSender;
    int hour, minute;
    const char* mailText;
    int answerHour, answerMinute, answerSecond;
  };
  const Case cases[] = {
      {"NavCIS 1.6x", "tables/navcis16/RECV.DBF", 950000, 1996, 8, 2, "72345,1012", "Telescopes",
       "How often do you clean the mirror?\r\nMine looks dusty.", "71234,567", "Ölflaschen", "Telescope for sale",
       "greta@example.se", 9, 5, "My old 60 mm refractor is for sale.\r\nInterested?", 18, 30, 15},
      {"NavCIS 1.7x", "tables/navcis17/HRECV.DBF", 960000, 1997, 11, 14, "75020,331", "Observing",
       "Can I run two dew heaters from one car battery?\r\nThe corrector plate fogs up by midnight.", "76110,45",
       "Malzbier für Kinder", "Planetarium tickets", "dana@example.org", 8, 40,
       "I have two tickets for the new planetarium show.\r\nWould you like one?", 20, 5, 45},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    Harness h;
    h.convert(c.type, sample(c.path));
    EXPECT_EQ(h.ctx.of("STARGAZE").size(), 2u);
    EXPECT_EQ(h.ctx.of("HOMEBREW").size(), 1u);  // numbers 0 and 9000000 are skipped
    EXPECT_EQ(h.ctx.skips, 2);
    const auto* first = h.ctx.number(c.base + 1);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->nhr.DATE, text::dayNumber(c.year, c.month, c.day));
    EXPECT_EQ(first->nhr.TIME, 0);
    EXPECT_EQ(first->nhr.S_CISADRESS.str(), c.rootAddress);
    EXPECT_EQ(first->nhr.SEC_DESCRIPTION.str(), c.section);
    EXPECT_EQ(first->text, c.rootText);
    const auto* reply = h.ctx.number(c.base + 2);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->nhr.REFNUMBER, c.base + 1);
    EXPECT_EQ(reply->nhr.S_CISADRESS.str(), c.replyAddress);  // trailing CR LF removed
    EXPECT_EQ(reply->nhr.DUMMY, 1);                            // kept
    EXPECT_EQ(h.ctx.number(c.base + 101)->nhr.HEADING.str(), c.otherSubject);

    // Mail: HRE:INTERNAL 0 even with a forum name; the time forms.
    auto mail = h.ctx.of(kOwnerDb);
    ASSERT_EQ(mail.size(), 3u);
    EXPECT_EQ(mail[0]->nhr.HEADING.str(), c.mailSubject);
    EXPECT_EQ(mail[0]->nhr.MAILTYPE, 1);
    EXPECT_EQ(mail[0]->nhr.S_CISADRESS.str(), c.mailSender);
    EXPECT_EQ(mail[0]->nhr.TIME, text::timeValue(c.hour, c.minute, 0));
    EXPECT_EQ(mail[0]->text, c.mailText);
    EXPECT_EQ(mail[1]->nhr.MAILTYPE, 2);
    EXPECT_EQ(mail[1]->nhr.TIME, text::timeValue(c.answerHour, c.answerMinute, c.answerSecond));
    EXPECT_EQ(mail[1]->nhr.R_CISADRESS.str(), c.mailSender);
    EXPECT_EQ(mail[2]->nhr.TIME, 0);   // the time is unreadable
    EXPECT_EQ(mail[2]->nhr.DUMMY, 2);  // deleted
  }
}

TEST(NavCisTable, TimeForms) {
  using import::tables::navCisTime;
  EXPECT_EQ(navCisTime("9:05"), text::timeValue(9, 5, 0));
  EXPECT_EQ(navCisTime("09:05 "), text::timeValue(9, 5, 0));
  EXPECT_EQ(navCisTime("9:05:07"), text::timeValue(9, 5, 7));
  EXPECT_EQ(navCisTime("21:10:59"), text::timeValue(21, 10, 59));
  EXPECT_EQ(navCisTime("21:10:59 pm"), 0);
  EXPECT_EQ(navCisTime("2110"), 0);
  EXPECT_EQ(navCisTime(""), 0);
  EXPECT_EQ(navCisTime("ab:cd"), 0);
}

TEST(CiscommTable, TableKindFollowsTheTarget) {
  Harness h;
  // Mail goes into the mail database: the mail table.
  h.ctx.req.messageKind = 2;
  h.convert("CISCOMM", sample("tables/ciscomm/mail/MAIL.DBF"));
  auto mail = h.ctx.of(kOwnerDb);
  ASSERT_EQ(mail.size(), 2u);
  EXPECT_EQ(mail[0]->nhr.MAILTYPE, 1);
  EXPECT_EQ(mail[0]->nhr.TIME, text::timeValue(8, 15, 0));
  EXPECT_EQ(mail[0]->nhr.DATE, text::dayNumber(1994, 12, 1));
  EXPECT_EQ(mail[0]->nhr.S_CISADRESS.str(), "76543,21");
  EXPECT_EQ(mail[0]->text, "Here is the recipe for Käsekuchen.");  // code page 850 translated
  EXPECT_EQ(mail[1]->nhr.MAILTYPE, 2);
  EXPECT_EQ(mail[1]->nhr.R_CISADRESS.str(), "76543,21");

  // A forum table read into a mail database is refused.
  h.reset();
  h.convert("CISCOMM", sample("tables/ciscomm/forum/BAKING.DBF"));
  EXPECT_TRUE(h.ctx.work.empty());

  // A forum target: the forum table, named after the file or as chosen.
  h.reset();
  h.ctx.req.messageKind = 1;
  h.ctx.req.forumName = "Bakers";
  h.convert("CISCOMM", sample("tables/ciscomm/forum/BAKING.DBF"));
  auto forum = h.ctx.of("Bakers");
  ASSERT_EQ(forum.size(), 2u);  // message number 0 is skipped
  EXPECT_EQ(h.ctx.skips, 1);
  EXPECT_EQ(forum[1]->nhr.REFNUMBER, 970001u);
  EXPECT_EQ(forum[1]->nhr.S_CISADRESS.str(), "77777,123");
  EXPECT_EQ(forum[1]->nhr.S_NAME.str(), "Tomás Brandt");
  EXPECT_EQ(forum[1]->nhr.SECTIONNUMBER, 4u);
  EXPECT_EQ(forum[1]->text, "Rye flour works best, süß.");
}

TEST(OuiTable, MailAndNewsByTheirHeaders) {
  Harness h;
  h.convert("OUI", sample("tables/oui/MESSAGE.DBF"));
  auto mail = h.ctx.of(kOwnerDb);
  ASSERT_EQ(mail.size(), 2u);
  EXPECT_EQ(mail[0]->nhr.HEADING.str(), "Committee meeting");
  EXPECT_EQ(mail[0]->nhr.S_CISADRESS.str(), "ida.voss@example.org");
  EXPECT_EQ(mail[0]->text, "The committee meets on Friday.\r\n");
  EXPECT_EQ(mail[1]->text.find("<"), std::string::npos);  // HTML turned into text
  EXPECT_NE(mail[1]->text.find("attached"), std::string::npos);
  auto news = h.ctx.of("sci.example.astro");
  ASSERT_EQ(news.size(), 2u);
  EXPECT_EQ(news[0]->nhr.HEADING.str(), "Dew shields");
  EXPECT_EQ(news[1]->nhr.HEADING.str(), "Dew shields");  // "Re:" dropped
  EXPECT_NE(news[0]->nhr.MSGNUMBER, 0u);
  EXPECT_NE(news[1]->nhr.REFNUMBER, 0u);  // threaded by its References line when stored
}

}  // namespace
}  // namespace qb::cistest
