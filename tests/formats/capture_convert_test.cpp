// The capture converters over whole files: the samples of every format, the
// message kinds a run takes, and damaged or foreign input.

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

#include "capture_fake_context.h"
#include "import/formats/captures/capture_converter.h"
#include "text/datetime.h"
#include "archive/maildb.h"
#include "support/temp_archive.h"

using namespace qb::import;
using namespace qb::import::captures;
using qb::import::testing::convertFile;
using qb::import::testing::FakeContext;
using qb::import::testing::writeFile;
namespace fs = std::filesystem;

namespace {

// Each format's samples hold the same messages under the same numbers.
struct SampleFormat {
  const char* type;
  const char* dir;
};
const SampleFormat kSamples[] = {
    {"OzCIS", "ozcis"},
    {"OzWin I", "ozwin1"},
    {"OzWin II", "ozwin2"},
    {"TAPCIS 5.x", "tapcis5"},
    {"TAPCIS 6.x", "tapcis6"},
    {"AUTOSIG", "autosig"},
    {"GoldenCompass", "goldencompass"},
    {"NavCIS Save format", "navcis"},
};

std::string sampleDir(const char* dir) { return std::string(QB_SOURCE_DIR) + "/samples/captures/" + dir; }

int convertDir(FakeContext& ctx, const SampleFormat& s) {
  int files = 0;
  std::vector<fs::path> paths;
  for (auto& e : fs::directory_iterator(sampleDir(s.dir)))
    if (e.is_regular_file()) paths.push_back(e.path());
  std::sort(paths.begin(), paths.end());
  for (auto& p : paths) {
    convertFile(ctx, s.type, p.string());
    ++files;
  }
  return files;
}

class CaptureTemp : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("qb_capture_convert_" + std::to_string(::getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  std::string file(const std::string& name, const std::string& bytes) {
    std::string p = (dir / name).string();
    writeFile(p, bytes);
    return p;
  }
  fs::path dir;
};

}  // namespace

TEST(CaptureSamples, EveryFormatGivesTheSameMessages) {
  for (const auto& s : kSamples) {
    SCOPED_TRACE(s.type);
    FakeContext ctx;
    convertDir(ctx, s);
    EXPECT_EQ(ctx.work.size(), 8u);
    EXPECT_EQ(ctx.skips, 0);
    EXPECT_TRUE(ctx.recorder.saw(kNotMessageFile));  // the notes file holds no messages
    EXPECT_EQ(ctx.of("STARGAZE").size(), 5u);
    EXPECT_EQ(ctx.of("HOMEBREW").size(), 3u);

    const auto* first = ctx.number(210001);
    const auto* reply = ctx.number(210005);
    const auto* orphan = ctx.number(210020);
    const auto* umlauts = ctx.number(210031);
    const auto* brew = ctx.number(88121);
    ASSERT_TRUE(first && reply && orphan && umlauts && brew);
    EXPECT_EQ(first->nhr.REFNUMBER, 0u);
    EXPECT_EQ(first->nhr.HEADING.str(), "Choosing a first telescope");
    EXPECT_EQ(first->nhr.S_NAME.str(), "Harold Pennyworth");
    EXPECT_EQ(first->nhr.S_CISADRESS.str(), "71234,567");
    EXPECT_EQ(first->nhr.R_NAME.str(), "All");
    EXPECT_EQ(first->nhr.SECTIONNUMBER, 2u);
    EXPECT_EQ(first->nhr.SEC_DESCRIPTION.str(), "Telescopes");
    EXPECT_EQ(first->nhr.DATE, qb::text::dayNumber(1995, 3, 12));
    EXPECT_EQ(first->nhr.TIME, 0);
    EXPECT_EQ(first->text.substr(0, 18), "I have saved up fo");
    EXPECT_NE(first->text.find("\r\n\r\nAny advice"), std::string::npos);

    EXPECT_EQ(reply->nhr.REFNUMBER, 210001u);
    EXPECT_EQ(reply->nhr.HEADING.str(), "Choosing a first telescope");
    EXPECT_EQ(reply->nhr.R_CISADRESS.str(), "71234,567");
    EXPECT_EQ(ctx.number(210009)->nhr.REFNUMBER, 210005u);
    EXPECT_EQ(ctx.number(210009)->nhr.DATE, qb::text::dayNumber(1995, 4, 5));  // a one-digit day

    EXPECT_EQ(orphan->nhr.REFNUMBER, 209950u);  // its parent is not in the capture
    EXPECT_EQ(orphan->nhr.SECTIONNUMBER, 5u);
    EXPECT_EQ(orphan->nhr.SEC_DESCRIPTION.str(), "Astrophotography");
    EXPECT_EQ(orphan->nhr.DATE, qb::text::dayNumber(1995, 10, 4));
    // The long line keeps its first 1200 characters.
    std::size_t longAt = orphan->text.find("This paragraph");
    ASSERT_NE(longAt, std::string::npos);
    EXPECT_EQ(orphan->text.find("\r\n", longAt) - longAt, 1200u);

    EXPECT_EQ(umlauts->nhr.DATE, qb::text::dayNumber(1995, 3, 15));
    // Code page 850 through Windows-1252 into UTF-8.
    EXPECT_EQ(umlauts->nhr.HEADING.str(), "Grüße from the dark site");
    EXPECT_NE(umlauts->text.find("Grüße aus München!"), std::string::npos);

    EXPECT_EQ(brew->nhr.REFNUMBER, 88120u);
    EXPECT_EQ(ctx.number(88130)->nhr.DATE, qb::text::dayNumber(1995, 12, 20));
    EXPECT_EQ(ctx.number(88130)->nhr.SECTIONNUMBER, 4u);
  }
}

TEST(CaptureSamples, ForumNameChosenForTheImport) {
  FakeContext ctx;
  ctx.req.forumName = "ASTRO";
  convertFile(ctx, "TAPCIS 6.x", sampleDir("tapcis6") + "/STARGAZE.MSG");
  EXPECT_EQ(ctx.of("ASTRO").size(), 5u);
  // The OzCIS start line names its forum; the chosen name is not used.
  FakeContext oz;
  oz.req.forumName = "ASTRO";
  convertFile(oz, "OzCIS", sampleDir("ozcis") + "/STARGAZE.MSG");
  EXPECT_EQ(oz.of("STARGAZE").size(), 5u);
}

TEST(CaptureSamples, PassedOverMessagesAreCountedAsSkipped) {
  const std::string file = sampleDir("ozwin2") + "/STARGAZE.MSG";
  {
    FakeContext ctx;  // forum messages not taken
    ctx.req.kinds = KindMail;
    convertFile(ctx, "OzWin II", file);
    EXPECT_TRUE(ctx.work.empty());
    EXPECT_EQ(ctx.skips, 5);
  }
  {
    FakeContext ctx;  // databases only: resolved, not converted
    ctx.req.createOnly = true;
    convertFile(ctx, "OzWin II", file);
    EXPECT_TRUE(ctx.work.empty());
    EXPECT_EQ(ctx.skips, 5);
    EXPECT_EQ(ctx.dbs.count("STARGAZE"), 1u);
  }
  {
    FakeContext ctx;  // already imported, re-import not allowed
    ctx.addDatabase("STARGAZE", 1);
    uint32_t id = ctx.dbs["STARGAZE"].id;
    ctx.imported = {{id, 210001}, {id, 210005}};  // two of the sample's numbers
    convertFile(ctx, "OzWin II", file);
    EXPECT_EQ(ctx.work.size(), 3u);
    EXPECT_EQ(ctx.skips, 2);
    ctx.work.clear();
    ctx.skips = 0;
    ctx.req.allowReimport = true;
    convertFile(ctx, "OzWin II", file);
    EXPECT_EQ(ctx.work.size(), 5u);
  }
  {
    FakeContext ctx;  // a database closed to imports, or a mail database
    ctx.addDatabase("STARGAZE", 1, false);
    convertFile(ctx, "OzWin II", file);
    EXPECT_EQ(ctx.skips, 5);
    FakeContext mail;
    mail.addDatabase("STARGAZE", 2);
    convertFile(mail, "OzWin II", file);
    EXPECT_EQ(mail.skips, 5);
    EXPECT_TRUE(mail.work.empty());
  }
}

TEST_F(CaptureTemp, RejectedHeadersAndTextBeforeTheFirstMessage) {
  std::string text =
      "Session log\r\n#: abc S1/General\r\n    01-Jan-95\r\nSb: bad number\r\nFm: A 70000,1\r\nTo: B\r\n\r\n"
      "lost text\r\n"
      "#: 77 S1/General\r\n    01-Jan-95\r\nSb: good\r\nFm: A 70000,1\r\nTo: B\r\n\r\n\r\n\r\nkept\r\n"
      "#: 78 S1/General\r\n    01-Jan-95\r\nSubject: no Sb line\r\nFm: A\r\nTo: B\r\n\r\nlost too\r\n"
      "#: 79 S1/General\r\n    01-Jan-95\r\nSb: short\r\nFm: A\r\nTo: B\r\n";
  FakeContext ctx;
  convertFile(ctx, "TAPCIS 6.x", file("GENERAL.MSG", text));
  ASSERT_EQ(ctx.work.size(), 2u);
  EXPECT_EQ(ctx.work[0].nhr.MSGNUMBER, 77u);
  EXPECT_EQ(ctx.work[0].text, "kept\r\n");  // blank lines before the text dropped
  EXPECT_EQ(ctx.work[1].nhr.MSGNUMBER, 79u);
  EXPECT_EQ(ctx.work[1].text, "");  // the file ends inside the header
  EXPECT_EQ(ctx.work[0].nhr.FOR_DESCRIPTION.str(), "GENERAL");
  EXPECT_EQ(ctx.skips, 0);
}

TEST_F(CaptureTemp, DamagedAndForeignInput) {
  std::mt19937 rng(4711);
  std::string random(200000, '\0');
  for (auto& c : random) c = static_cast<char>(rng() & 0xFF);
  std::string binary;
  for (int i = 0; i < 5000; ++i) binary += std::string("\0\x01\x02\xFF#:\x1A", 8);
  const std::string sample = [] {
    std::ifstream f(sampleDir("ozcis") + "/STARGAZE.MSG", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
  }();
  const std::string navSample = [] {
    std::ifstream f(sampleDir("navcis") + "/FORUMS.SAV", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
  }();

  for (const auto& s : kSamples) {
    SCOPED_TRACE(s.type);
    const std::string& base = std::string(s.type) == "NavCIS Save format" ? navSample : sample;
    struct Case {
      const char* name;
      std::string bytes;
    } cases[] = {
        {"EMPTY.MSG", ""},
        {"TRUNC.MSG", base.substr(0, base.size() / 2 + 7)},
        {"HEADCUT.MSG", base.substr(0, base.find("Sb:", 200))},
        {"RANDOM.MSG", random},
        {"LONGLINE.MSG", std::string(100000, 'z') + "\r\n#: 12"},
        {"BINARY.SAV", binary},
    };
    for (auto& c : cases) {
      SCOPED_TRACE(c.name);
      FakeContext ctx;
      convertFile(ctx, s.type, file(c.name, c.bytes));
      for (auto& w : ctx.work) {
        EXPECT_GT(w.nhr.MSGNUMBER, 0u);
        EXPECT_LE(w.text.size(), 64000u);
      }
    }
  }
}

TEST_F(CaptureTemp, UnreadableFileIsSkippedWithItsMessage) {
  FakeContext ctx;
  const std::string missing = (dir / "GONE.MSG").string();
  convertFile(ctx, "OzCIS", missing);
  ASSERT_EQ(ctx.recorder.entries.size(), 1u);
  EXPECT_EQ(ctx.recorder.entries[0].title, "Warning!");
  EXPECT_EQ(ctx.recorder.entries[0].text.rfind(missing + " cannot be opened\r\n", 0), 0u);
  EXPECT_NE(ctx.recorder.entries[0].text.find("\r\nThis file will be skipped!"), std::string::npos);
  // Unattended runs show nothing.
  FakeContext quiet;
  quiet.sess.DoTask = 2;
  convertFile(quiet, "OzCIS", missing);
  convertFile(quiet, "OzCIS", sampleDir("ozcis") + "/NOTES.MSG");
  EXPECT_TRUE(quiet.recorder.entries.empty());
}

TEST_F(CaptureTemp, ManyMessagesTakeManySmallSteps) {
  std::string text;
  for (int m = 1; m <= 3000; ++m)
    text += "#: " + std::to_string(m) + " S1/General (CIS:BIG)\r\n    01-Jan-95\r\nSb: Message " +
            std::to_string(m) + "\r\nFm: A 70000,1\r\nTo: B\r\n\r\nText of the message.\r\n";
  FakeContext ctx;
  int steps = convertFile(ctx, "OzWin I", file("BIG.MSG", text), 100000, kMessagesPerStep);
  EXPECT_EQ(ctx.work.size(), 3000u);
  EXPECT_GE(steps, 3000 / kMessagesPerStep);
  EXPECT_EQ(ctx.lastProgress, 1000);
  EXPECT_EQ(ctx.work.back().nhr.MSGNUMBER, 3000u);
}

TEST_F(CaptureTemp, DamagedMailFilesEndCleanly) {
  qb::test::TempArchive archive;
  qb::store::MailDatabaseFields owner{"Wilma Thornbury", "74321,1234", {}};
  ASSERT_NE(qb::store::createMailDatabase(archive.session(), owner), 0u);
  std::mt19937 rng(99);
  std::string random(100000, '\0');
  for (auto& c : random) c = static_cast<char>(rng() & 0xFF);

  for (const auto& s : kSamples) {
    SCOPED_TRACE(s.type);
    std::string sampleFile;
    for (auto& e : fs::directory_iterator(sampleDir((std::string("mail/") + s.dir).c_str()))) sampleFile = e.path();
    std::ifstream in(sampleFile, std::ios::binary);
    const std::string sample((std::istreambuf_iterator<char>(in)), {});
    const std::pair<const char*, std::string> cases[] = {
        {"WHOLE.MSG", sample},
        {"EMPTY.MSG", ""},
        {"HALF.MSG", sample.substr(0, sample.size() / 2 + 3)},
        {"HEADER.MSG", sample.substr(0, 70)},
        {"RANDOM.MSG", sample.substr(0, 300) + random},
        {"LONG.MSG", sample.substr(0, 200) + std::string(100000, 'q') + "\r\n" + sample.substr(200)},
    };
    for (auto& [name, bytes] : cases) {
      SCOPED_TRACE(name);
      FakeContext ctx;
      ctx.archiveSession = &archive.session();
      ctx.req.mailDatabase = "Wilma Thornbury";
      ctx.addDatabase("Wilma Thornbury", 2);
      convertFile(ctx, s.type, file(name, bytes));
      EXPECT_LE(ctx.work.size(), 5u);
      if (std::string(name) == "WHOLE.MSG") {
        EXPECT_EQ(ctx.work.size(), 5u);
      }
      for (auto& w : ctx.work) {
        EXPECT_TRUE(w.nhr.MAILTYPE == 1 || w.nhr.MAILTYPE == 2);
        EXPECT_EQ(w.nhr.RECIPTYPE.str(), "TO");
        EXPECT_EQ(w.nhr.MSGNUMBER, w.nhr.REFNUMBER);
      }
    }
  }
}
