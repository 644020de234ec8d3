// The filing cabinet of "CompuServe 3.x": the sample file (written from the
// record layout by samples/cim/make_cim_samples.py), the first pass and its
// record boundary, the stamp, and the owner rules of its mail.
#include <gtest/gtest.h>

#include "formats/cis_binary_support.h"
#include "import/formats/cabinet/cabinet_record.h"
#include "import/formats/cabinet/cabinet_scan.h"
#include "text/datetime.h"

namespace qb::cistest {
namespace {

using import::cabinet::CabinetScanner;

// A record of `size` bytes: the marker and filler.
std::string record(std::size_t size) {
  std::string r(import::cabinet::kMarker);
  r.resize(size, 'x');
  return r;
}

std::vector<import::cabinet::RecordSpan> scan(Harness& h, const std::string& bytes) {
  std::string path = h.dir + "/scan.dat";
  import::testing::writeFile(path, bytes);
  CabinetScanner s;
  EXPECT_TRUE(s.open(path));
  int calls = 0;
  while (!s.scan(1000))
    if (++calls > 100000) break;
  return s.queue();
}

TEST(Cabinet, SampleFile) {
  Harness h;
  int steps = h.convert("CompuServe 3.x", sample("cim/cabinet/FCABINET.DAT"));
  EXPECT_GE(steps, 2);
  auto forum = h.ctx.of("ASTROFORUM");
  ASSERT_EQ(forum.size(), 4u);
  const auto* first = h.ctx.number(940001);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->nhr.HEADING.str(), "Planisphere for the southern sky");
  EXPECT_EQ(first->nhr.S_CISADRESS.str(), "76543,210");  // stored with a dot
  EXPECT_EQ(first->nhr.SECTIONNUMBER, 2u);
  EXPECT_EQ(first->nhr.SEC_DESCRIPTION.str(), "Star charts");
  EXPECT_EQ(first->nhr.DATE, text::dayNumber(1998, 1, 10));
  EXPECT_EQ(first->nhr.TIME, text::timeValue(20, 15, 42));
  EXPECT_EQ(first->text, "I travel to Namibia in March.\r\nWhich planisphere shows the southern sky?\r\n\r\nOskar");
  EXPECT_EQ(h.ctx.number(940002)->nhr.REFNUMBER, 940001u);

  // Mail: stamp year value 28 is 1998; "Copy of:" dropped; incoming with
  // three recipients gives the owner as recipient and three copies.
  const auto* in = h.subject("Eclipse trip");
  ASSERT_TRUE(in);
  EXPECT_EQ(in->nhr.DATE, text::dayNumber(1998, 2, 11));
  EXPECT_EQ(in->nhr.MAILTYPE, 1);
  EXPECT_EQ(in->nhr.S_CISADRESS.str(), "greta@example.se");
  EXPECT_EQ(in->nhr.R_CISADRESS.str(), kOwnerId);
  EXPECT_EQ(in->text, "The bus leaves at six.\r\nBring the filters.");
  ASSERT_EQ(h.ctx.ccs.size(), 3u);
  EXPECT_EQ(h.ctx.ccs[2].RECIPTYPE.str(), "CC");
  EXPECT_EQ(h.ctx.ccs[2].R_CISADRESS.str(), "amelie@example.fr");

  // An empty sender address: sent by the owner, one record per recipient.
  std::vector<const import::testing::Work*> out;
  for (auto& w : h.ctx.work)
    if (w.nhr.HEADING.str() == "Re: Eclipse trip") out.push_back(&w);
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0]->nhr.MAILTYPE, 2);
  EXPECT_EQ(out[0]->nhr.S_NAME.str(), kOwnerDb);
  EXPECT_EQ(out[0]->nhr.S_CISADRESS.str(), kOwnerId);
  EXPECT_EQ(out[0]->nhr.R_CISADRESS.str(), "greta@example.se");
  EXPECT_EQ(out[1]->nhr.R_CISADRESS.str(), "75432,210");
  EXPECT_EQ(out[1]->nhr.RECIPTYPE.str(), "CC");
  EXPECT_EQ(out[0]->text, "Count me in.\r\nWilma");
}

TEST(Cabinet, WithoutSignatureTheFileIsSkippedWithAWarning) {
  Harness h;
  h.convert("CompuServe 3.x", sample("cim/cabinet/DAMAGED.DAT"));
  EXPECT_TRUE(h.ctx.work.empty());
  ASSERT_FALSE(h.archive.ui.entries.empty());
  EXPECT_EQ(h.archive.ui.entries.back().title, "Warning!");
  EXPECT_NE(h.archive.ui.entries.back().text.find(" is not a CompuServe 3.x or 4.x file!\r\nThis file will be skipped!"),
            std::string::npos);
}

TEST(Cabinet, FirstPassQueuesRecordsLongerThan120Bytes) {
  Harness h;
  auto q = scan(h, "FCAB" + std::string(20, '\0') + record(120) + record(121) + record(5000) + record(121));
  ASSERT_EQ(q.size(), 3u);
  EXPECT_EQ(q[0].start, 24u + 120);
  EXPECT_EQ(q[0].end - q[0].start, 121u);
  EXPECT_EQ(q[1].end - q[1].start, 5000u);
  EXPECT_EQ(q[2].end - q[2].start, 121u);  // the last record runs to the end of the file
  // A marker that crosses the blocks the file is read in is still found.
  std::string big = "FCAB" + std::string(9996, 'y') + record(200) + std::string(30000, 'z') + record(300);
  q = scan(h, big);
  ASSERT_EQ(q.size(), 2u);
  EXPECT_EQ(q[0].start, 10000u);
  EXPECT_EQ(q[0].end, 10000u + 200 + 30000);
}

TEST(Cabinet, OneRecordFileAndPhases) {
  Harness h;
  std::string whole = slurp(sample("cim/cabinet/FCABINET.DAT"));
  std::size_t first = whole.find(import::cabinet::kMarker);
  std::size_t second = whole.find(import::cabinet::kMarker, first + 1);
  h.convertBytes("CompuServe 3.x", "FCAB" + whole.substr(first, second - first));
  ASSERT_EQ(h.ctx.work.size(), 1u);
  EXPECT_EQ(h.ctx.work[0].nhr.MSGNUMBER, 940001u);
}

TEST(Cabinet, Stamp) {
  int32_t date = 0, time = 0;
  uint32_t stamp = (28u << 25) | (12u << 21) | (31u << 16) | (23u << 11) | (59u << 5) | 29u;
  import::cabinet::decodeStamp(stamp, date, time);
  EXPECT_EQ(date, text::dayNumber(1998, 12, 31));
  EXPECT_EQ(time, text::timeValue(23, 59, 58));
  import::cabinet::decodeStamp(0, date, time);
  EXPECT_EQ(date, 0);  // day 0 of month 0: no date
}

}  // namespace
}  // namespace qb::cistest
