// Path procedures: testing and creating directories, the stored paths,
// deleting files by name and mask, sizes, free space, the data path.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "archive/archive_home.h"
#include "archive/file_table.h"
#include "archive/paths.h"
#include "support/temp_archive.h"

using namespace qb::store;
namespace fs = std::filesystem;

namespace {
void writeFile(const std::string& path, std::size_t bytes) {
  std::ofstream(path) << std::string(bytes, 'x');
}
}  // namespace

TEST(ArchivePaths, ExistPathTestsAndCreatesWithoutMovingTheWorkingDirectory) {
  qb::test::TempArchive a;
  Session& s = a.session();
  const fs::path cwd = fs::current_path();
  EXPECT_EQ(ExistPath(s, 1, 0, false, "relative/dir", "msg"), 0);
  EXPECT_TRUE(a.ui.entries.empty()) << "a relative path gives 0 without a message";
  EXPECT_EQ(ExistPath(s, 1, 0, false, a.home(), "msg"), 1);

  const std::string missing = a.path("missing");
  EXPECT_EQ(ExistPath(s, 1, 0, false, missing, "Second line"), 0);
  ASSERT_EQ(a.ui.entries.size(), 2u);  // beep and message
  EXPECT_EQ(a.ui.entries[1].text, "The specified path " + missing + " does not exist.\r\nSecond line");
  EXPECT_EQ(a.ui.entries[1].title, " Path Not Found");
  a.ui.entries.clear();

  EXPECT_EQ(ExistPath(s, 3, 0, true, missing, ""), 0) << "0 even though it has now been created";
  EXPECT_TRUE(fs::is_directory(missing));
  EXPECT_EQ(ExistPath(s, 3, 0, true, missing, ""), 1);
  EXPECT_TRUE(a.ui.entries.empty());

  s.DoTask = 2;  // unattended: no message, but still created
  EXPECT_EQ(ExistPath(s, 3, 0, false, a.path("missing2"), "x"), 0);
  EXPECT_TRUE(a.ui.entries.empty());
  EXPECT_TRUE(fs::is_directory(a.path("missing2")));
  s.DoTask = 0;

  // Modes 2 and 4 test the directory of a file number.
  a.addDatabase(KindForum, "Forum");
  EXPECT_EQ(ExistPath(s, 2, 3, true, "", ""), 1);
  s.Dirnamn = "F9";
  EXPECT_EQ(ExistPath(s, 4, 3, true, "", ""), 0);
  EXPECT_TRUE(fs::is_directory(a.path("F9")));

  // A directory that cannot be created (its parent is missing) stops.
  try {
    ExistPath(s, 3, 0, true, a.path("no/such/parent"), "");
    FAIL() << "no stop";
  } catch (const qb::FatalStop& f) {
    EXPECT_EQ(f.title(), " Directory Creation Error");
  }
  EXPECT_TRUE(a.ui.saw("Probable access rights violation"));
  EXPECT_EQ(fs::current_path(), cwd);
}

TEST(ArchivePaths, StoredPathsSurviveASecondStart) {
  qb::test::TempArchive a;
  Session& s = a.session();
  std::string p;
  EXPECT_EQ(AutoPath(s, 3, kTempPath, p), 1);
  EXPECT_EQ(p, a.home() + "/TEMP");
  EXPECT_EQ(AutoPath(s, 3, kDataPath, p), 1);
  EXPECT_EQ(p, a.home());

  fs::create_directory(a.path("data"));
  p = a.path("data");
  EXPECT_EQ(AutoPath(s, 2, kDataPath, p), 1);
  EXPECT_EQ(AutoPath(s, 4, kDataPath, p), 1);

  qb::RecordingUI ui2;
  auto second = a.newSession(ui2);
  EXPECT_EQ(second->FileDir, a.path("data"));
  EXPECT_EQ(second->MasIdxPath, a.path("data"));
  EXPECT_EQ(second->TempDir, a.home() + "/TEMP");

  std::string tooLong = "/" + std::string(120, 'd');
  EXPECT_EQ(AutoPath(s, 2, kDataPath, tooLong), 0) << "never cut: it would name another directory";
  EXPECT_EQ(AutoPath(s, 3, kDataPath, p), 1);
  EXPECT_EQ(p, a.path("data"));

  try {
    AutoPath(s, 2, 19, p);
    FAIL() << "no stop";
  } catch (const qb::FatalStop& f) {
    EXPECT_EQ(f.text(), "Internal Error - invalid xType");
  }
}

TEST(ArchivePaths, MissingDataDirectoryIsReportedAtStart) {
  qb::test::TempArchive a;
  Session& s = a.session();
  fs::create_directory(a.path("data"));
  ASSERT_EQ(saveDataPath(s, a.path("data")), 1);
  EXPECT_EQ(s.FileDir, a.path("data"));
  fs::remove(a.path("data"));
  qb::RecordingUI ui2;
  Session second(ui2);
  EXPECT_EQ(openHome(second, a.home()), HomeStatus::DataPathMissing);

  EXPECT_FALSE(pathIsValid(s, a.path("nowhere")));
  ASSERT_FALSE(a.ui.entries.empty());
  EXPECT_EQ(a.ui.entries.back().text, "This path does not exist!\r\nPlease enter a valid path\r\n");
  EXPECT_EQ(a.ui.entries.back().title, a.path("nowhere"));
  EXPECT_TRUE(pathIsValid(s, a.home()));
}

TEST(ArchivePaths, MasksIgnoreCaseAndKnowTheDosForms) {
  EXPECT_TRUE(matchMask("*.MBX", "inbox.mbx"));
  EXPECT_FALSE(matchMask("*.MBX", "inbox.toc"));
  EXPECT_TRUE(matchMask("*.*", "README"));
  EXPECT_TRUE(matchMask("*.", "README"));
  EXPECT_FALSE(matchMask("*.", "read.me"));
  EXPECT_TRUE(matchMask("*.toc; *.MBX", "In.Mbx"));
  EXPECT_TRUE(matchMask("IDX00?.TPS", "idx003.tps"));
  EXPECT_FALSE(matchMask("IDX00?.TPS", "IDX0003.TPS"));
}

TEST(ArchivePaths, DeletingSizingAndFindingFiles) {
  qb::test::TempArchive a;
  Session& s = a.session();
  const std::string d = a.path("work");
  fs::create_directory(d);
  writeFile(d + "/A.TXT", 10);
  writeFile(d + "/b.txt", 20);
  writeFile(d + "/c.dat", 5);
  fs::create_directory(d + "/sub.txt");  // a directory is no file
  EXPECT_EQ(GetFSize(d + "/*.TXT"), 30u);
  EXPECT_EQ(GetFSize(d + "/*.*"), 35u);
  EXPECT_EQ(DOSFunc(s, 5, d, "*.dat"), 1);
  EXPECT_EQ(DOSFunc(s, 5, d, "*.mbx"), 0);
  EXPECT_EQ(DOSFunc(s, 3, d, "c.dat"), 1);
  EXPECT_EQ(DOSFunc(s, 3, d, "c.dat"), 1) << "a file that is not there counts as deleted";
  EXPECT_EQ(DOSFunc(s, 4, d, "*.txt"), 1);
  EXPECT_FALSE(fs::exists(d + "/A.TXT"));
  EXPECT_TRUE(fs::is_directory(d + "/sub.txt"));
  EXPECT_TRUE(a.ui.entries.empty());
}

TEST(ArchivePaths, CheckSpaceAsksOnlyWhenSpaceIsShort) {
  qb::test::TempArchive a;
  Session& s = a.session();
  EXPECT_EQ(CheckSpace(s, 5000000, a.home()), 0u);
  EXPECT_TRUE(a.ui.entries.empty());

  const uint64_t huge = ~uint64_t(0);
  uint64_t free = freeSpace(a.home());
  ASSERT_GT(free, 0u);
  EXPECT_NE(CheckSpace(s, huge, a.home()), 0u) << "Cancel is the default";
  ASSERT_EQ(a.ui.entries.back().kind, "ask");
  const std::string& text = a.ui.entries.back().text;
  EXPECT_EQ(text.rfind("You have only ", 0), 0u);
  EXPECT_NE(text.find(" bytes free on disk  " + mountPoint(a.home()) + " This may be too little"), std::string::npos);
  EXPECT_EQ(a.ui.entries.back().title, "Warning");

  a.ui.answers = {qb::Button::Ok};
  EXPECT_EQ(CheckSpace(s, huge, a.home()), 0u) << "the user chose to go on";

  a.ui.entries.clear();
  s.DoTask = 2;
  EXPECT_NE(CheckSpace(s, huge, a.home()), 0u);
  EXPECT_TRUE(a.ui.entries.empty());
}
