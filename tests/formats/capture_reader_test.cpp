// Reading capture files: lines and GoldenCompass records, the forum/mail
// decision, and the queue with its carried-over start line.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "capture_fake_context.h"
#include "import/formats/captures/capture_kind.h"
#include "import/formats/captures/capture_lines.h"
#include "import/formats/captures/capture_reader.h"

using namespace qb::import::captures;
using qb::import::testing::writeFile;
namespace fs = std::filesystem;

namespace {

class CaptureFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("qb_capture_reader_" + std::to_string(::getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  std::string file(const std::string& name, const std::string& bytes) {
    std::string p = (dir / name).string();
    writeFile(p, bytes);
    return p;
  }
  std::vector<std::string> readAll(const std::string& path, CaptureLineReader::Mode mode) {
    CaptureLineReader r;
    std::string err;
    EXPECT_TRUE(r.open(path, mode, err)) << err;
    std::vector<std::string> out;
    std::string line;
    while (r.next(line)) out.push_back(line);
    return out;
  }
  fs::path dir;
};

FileKind scan(CaptureFormat f, const std::vector<std::string>& lines, bool mailTarget = false) {
  FileKindScanner s(f, mailTarget);
  for (auto& l : lines)
    if (s.feed(l)) break;
  return s.kind();
}

std::vector<std::string> cut(const std::string& record) {
  std::vector<std::string> out;
  cutGoldenCompassRecord(record, out);
  return out;
}

}  // namespace

TEST_F(CaptureFiles, LinesEndsBlanksAndLimits) {
  auto lines = readAll(file("a.msg", "one  \r\ntwo\nthree \r\n\r\nlast\x1A"), CaptureLineReader::Mode::Lines);
  EXPECT_EQ(lines, (std::vector<std::string>{"one", "two", "three", "", "last"}));

  std::string huge(100000, 'x');
  lines = readAll(file("b.msg", "a\r\n" + huge + "\r\nb\r\n"), CaptureLineReader::Mode::Lines);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1].size(), kMaxLineLength);
  EXPECT_EQ(lines[2], "b");

  EXPECT_TRUE(readAll(file("c.msg", ""), CaptureLineReader::Mode::Lines).empty());

  CaptureLineReader r;
  std::string err;
  EXPECT_FALSE(r.open((dir / "missing.msg").string(), CaptureLineReader::Mode::Lines, err));
  EXPECT_FALSE(err.empty());
}

TEST_F(CaptureFiles, GoldenCompassRecords) {
  EXPECT_EQ(cut(""), (std::vector<std::string>{""}));
  EXPECT_EQ(cut("@lText@l"), (std::vector<std::string>{"Text"}));
  EXPECT_EQ(cut("Sb: Subject@b"), (std::vector<std::string>{"Sb: Subject"}));
  EXPECT_EQ(cut("ab@b\n"), (std::vector<std::string>{"ab"}));
  EXPECT_EQ(cut("one\ntwo\nthree"), (std::vector<std::string>{"one", "two", "three"}));
  EXPECT_EQ(cut("one@b\ntwo\n@lthree"), (std::vector<std::string>{"one", "two", "three"}));
  EXPECT_EQ(cut("one@b\n@ltwo"), (std::vector<std::string>{"one", "two"}));
  EXPECT_EQ(cut("x@b\n@lone"), (std::vector<std::string>{"x", "one"}));
  EXPECT_EQ(cut("@b\n@lone"), (std::vector<std::string>{"", "", "one"}));  // at the start: two empty lines
  EXPECT_EQ(cut("one@l\r\ntwo"), (std::vector<std::string>{"one", "two"}));
  EXPECT_EQ(cut("a\n\nb"), (std::vector<std::string>{"a", "", "b"}));

  // Records end at CR LF; a line feed alone stays inside the record.
  auto lines = readAll(file("gc.msg", "#: 1 S1/A@b\r\n@lfirst\nsecond@l\r\nthird\r\n"),
                       CaptureLineReader::Mode::GoldenCompassRecords);
  EXPECT_EQ(lines, (std::vector<std::string>{"#: 1 S1/A", "first", "second", "third"}));
}

TEST(CaptureKind, OzCISAndOzWin) {
  EXPECT_EQ(scan(CaptureFormat::OzCIS, {"", "junk", "#: 1 S1/A", "    1-Jan-95", "Sb: x"}), FileKind::Forum);
  EXPECT_EQ(scan(CaptureFormat::OzWin2, {"Date:  01-Jan-95 10:00", "From: Ann 71111,222"}), FileKind::Mail);
  EXPECT_EQ(scan(CaptureFormat::OzWin1, {"Date:  01-Jan-95 10:00", "MgTo: Ann 71111,222"}), FileKind::Mail);
  // The scan stops at the first start line, right or wrong.
  EXPECT_EQ(scan(CaptureFormat::OzCIS, {"#: 1 S1/A", "Sb: x", "#: 2 S1/A", "d", "Sb: y"}), FileKind::Unknown);
  EXPECT_EQ(scan(CaptureFormat::OzCIS, {"Date:  01-Jan-95", "Subj: x"}), FileKind::Unknown);
  EXPECT_EQ(scan(CaptureFormat::OzCIS, {"Date: 01-Jan-95", "From: x"}), FileKind::Unknown);  // one blank
  EXPECT_EQ(scan(CaptureFormat::OzCIS, {"no", "messages"}), FileKind::Unknown);
}

TEST(CaptureKind, TargetDecidesForTapcisLikeFormats) {
  for (auto f : {CaptureFormat::Tapcis5, CaptureFormat::Tapcis6, CaptureFormat::Autosig,
                 CaptureFormat::GoldenCompass}) {
    EXPECT_EQ(scan(f, {"", "#: 1 S1/A"}), FileKind::Forum);
    EXPECT_EQ(scan(f, {"", "#: 1 S1/A"}, true), FileKind::Mail);
    EXPECT_EQ(scan(f, {"Date:  01-Jan-95", "From: x"}), FileKind::Unknown);
  }
}

TEST(CaptureKind, NavCISFourLines) {
  const std::vector<std::string> forum{"Subject:  Hello  Msg Number: 5", "   From:  Ann", "     To:  Bob",
                                       "  Forum:  GARDEN Sec: 1-A"};
  EXPECT_EQ(scan(CaptureFormat::NavCIS, forum), FileKind::Forum);
  EXPECT_EQ(scan(CaptureFormat::NavCIS, {"Subject:  x", "Subject:  Hello", "   From:  Ann", "     To:  Bob",
                                          "   Date:  01-Jan-95 10:00"}),
            FileKind::Mail);
  EXPECT_EQ(scan(CaptureFormat::NavCIS, {"Subject:  Hello", "   From:  Ann", "", "  Forum:  GARDEN"}),
            FileKind::Unknown);
}

TEST_F(CaptureFiles, QueueCarriesTheNextStartLine) {
  // 40 messages of 100 body lines: the first fill stops at the start line
  // after 2500 pieces and carries it over.
  std::string text = "leading text\r\n";
  for (int m = 1; m <= 40; ++m) {
    text += "#: " + std::to_string(m) + " S1/A\r\n";
    for (int i = 0; i < 100; ++i) text += "body " + std::to_string(i) + "\r\n";
  }
  CaptureReader r(CaptureFormat::OzWin1);
  std::string err;
  ASSERT_TRUE(r.open(file("q.msg", text), err));
  r.start(FileKind::Forum);
  ASSERT_TRUE(r.fill(1000000));
  EXPECT_GE(r.queuedPieces(), kQueuePieces);
  EXPECT_LT(r.queuedPieces(), kQueuePieces + 101);
  CaptureReader::Block b;
  int blocks = 0, lastStart = 0;
  std::vector<int> starts;
  while (r.nextBlock(b)) {
    ++blocks;
    EXPECT_EQ(b.size(), 101u);
    starts.push_back(std::stoi(r.lineText(b.first).substr(3)));
  }
  EXPECT_EQ(starts.front(), 1);  // the leading text belongs to no message
  lastStart = starts.back();
  EXPECT_FALSE(r.finished());
  ASSERT_TRUE(r.fill(1000000));
  ASSERT_TRUE(r.nextBlock(b));
  EXPECT_EQ(r.lineText(b.first), "#: " + std::to_string(lastStart + 1) + " S1/A");  // the carried line
  int total = blocks + 1;
  for (;;) {
    while (r.nextBlock(b)) ++total;
    if (!r.fill(1000000)) break;
  }
  EXPECT_EQ(total, 40);
  EXPECT_TRUE(r.finished());
}

TEST_F(CaptureFiles, QueueBoundsAndPieces) {
  // A message far longer than the queue keeps a bounded number of pieces.
  std::string text = "#: 1 S1/A\r\n";
  for (int i = 0; i < 30000; ++i) text += "line\r\n";
  text += "#: 2 S1/A\r\n" + std::string(1500, 'y') + "\r\n";
  CaptureReader r(CaptureFormat::OzWin1);
  std::string err;
  ASSERT_TRUE(r.open(file("big.msg", text), err));
  r.start(FileKind::Forum);
  int steps = 0;
  while (!r.fill(5000)) ++steps;
  EXPECT_GE(steps, 2);  // bounded reading per call
  EXPECT_LE(r.queuedPieces(), kMaxMessagePieces + 1);
  CaptureReader::Block b;
  ASSERT_TRUE(r.nextBlock(b));
  EXPECT_FALSE(r.nextBlock(b));
  ASSERT_TRUE(r.fill(5000));
  ASSERT_TRUE(r.nextBlock(b));
  auto pieces = r.pieces(b.first + 1, b.end);  // a 1500-character line: three pieces, 1200 kept
  ASSERT_EQ(pieces.size(), 3u);
  EXPECT_EQ(pieces[0].continued, 1);
  EXPECT_EQ(pieces[1].continued, 1);
  EXPECT_EQ(pieces[2].continued, 0);
  EXPECT_EQ(pieces[2].length, 400u);
}

TEST_F(CaptureFiles, CodePageTranslationByFormat) {
  std::string text = "#: 1 S1/A\r\nM\x81nchen \x84\xE1\r\n";
  for (auto [f, expect] : {std::pair{CaptureFormat::OzCIS, std::string("M\xFCnchen \xE4\xDF")},
                           std::pair{CaptureFormat::Tapcis5, std::string("M\xFCnchen \xE4\xDF")},
                           std::pair{CaptureFormat::OzWin2, std::string("M\x81nchen \x84\xE1")},
                           std::pair{CaptureFormat::GoldenCompass, std::string("M\x81nchen \x84\xE1")}}) {
    CaptureReader r(f);
    std::string err;
    ASSERT_TRUE(r.open(file("cp.msg", text), err));
    r.start(FileKind::Forum);
    ASSERT_TRUE(r.fill(100));
    EXPECT_EQ(r.lineText(1), expect) << formatName(f);
  }
}
