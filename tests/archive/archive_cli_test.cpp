// quillbox-cli init and databases on a fresh home.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "archive/archive_home.h"
#include "archive/databases.h"
#include "archive/record_access.h"
#include "archive/file_table.h"

using namespace qb::store;
namespace fs = std::filesystem;

namespace {

struct Result {
  int code;
  std::string out;
};

Result run(const std::string& args) {
  std::string cmd = std::string(QB_CLI) + " " + args + " 2>&1";
  Result r{-1, {}};
  if (FILE* p = ::popen(cmd.c_str(), "r")) {
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    int status = ::pclose(p);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  return r;
}

struct TempHome {
  std::string dir;
  TempHome() {
    std::string t = (fs::temp_directory_path() / "quillbox-cli-XXXXXX").string();
    dir = ::mkdtemp(t.data());
  }
  ~TempHome() {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
};

}  // namespace

TEST(ArchiveCli, InitThenListTheDatabases) {
  TempHome h;
  const std::string home = h.dir + "/home";
  Result r = run("--home " + home + " databases");
  EXPECT_NE(r.code, 0);
  EXPECT_NE(r.out.find("quillbox-cli init"), std::string::npos);

  r = run("--home " + home + " init --data-dir " + h.dir + "/data");
  ASSERT_EQ(r.code, 0) << r.out;
  EXPECT_TRUE(fs::is_directory(home + "/CFG"));
  EXPECT_TRUE(fs::is_directory(home + "/TEMP"));
  EXPECT_TRUE(fs::is_directory(h.dir + "/data"));
  EXPECT_TRUE(fs::exists(home + "/CFG/IDX002.TPS"));

  r = run("--home " + home + " databases --json");
  ASSERT_EQ(r.code, 0) << r.out;
  EXPECT_EQ(r.out, "[]\n");

  {
    qb::RecordingUI ui;
    Session s(ui);
    ASSERT_EQ(openHome(s, home), HomeStatus::Ready);
    EXPECT_EQ(s.FileDir, h.dir + "/data");
    ASSERT_NE(createDatabase(s, KindNewsgroup, "comp.lang.c \"quoted\"", ErrRelease), 0u);
    ASSERT_NE(createDatabase(s, KindForum, "Ham Radio", ErrRelease), 0u);
    OP_CLOSE(s, OpOpen, {FileNo::Forums});
    ASSERT_EQ(HoldRec(s, s.Forums(), Forums::ForumKey, HoldBy::Key), 1);  // the database just made
    s.Forums().rec.NOIMPORT = 1;
    s.Forums().rec.COUNTFLAG = 1;
    s.Forums().rec.MSGCOUNT = 12;
    ASSERT_EQ(UppDat(s, s.Forums(), UppChange, ErrRelease), 1);
    OP_CLOSE(s, OpClose, {FileNo::Forums});
  }
  EXPECT_TRUE(fs::exists(h.dir + "/data/F2/IDX022.DAT"));

  r = run("--home " + home + " databases");
  ASSERT_EQ(r.code, 0) << r.out;
  // Listed by name: Ham Radio first.
  auto ham = r.out.find("Ham Radio"), comp = r.out.find("comp.lang.c");
  ASSERT_NE(ham, std::string::npos) << r.out;
  ASSERT_NE(comp, std::string::npos) << r.out;
  EXPECT_LT(comp, ham) << "case-insensitive name order puts comp before Ham";
  std::string hamLine = r.out.substr(r.out.rfind('\n', ham) + 1);
  hamLine = hamLine.substr(0, hamLine.find('\n'));
  EXPECT_NE(hamLine.find("Forum"), std::string::npos) << hamLine;
  EXPECT_NE(hamLine.find("F2"), std::string::npos) << hamLine;
  EXPECT_NE(hamLine.find(" 12  No       No"), std::string::npos) << hamLine;

  r = run("--home " + home + " databases --json");
  ASSERT_EQ(r.code, 0) << r.out;
  EXPECT_NE(r.out.find("\"name\": \"comp.lang.c \\\"quoted\\\"\", \"kind\": \"Newsgroup\", \"directory\": \"F1\""),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("\"messages\": 12, \"counted\": false, \"import\": false"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("{\"id\": 250000, "), std::string::npos) << "init started the identifiers: " << r.out;

  r = run("--home " + home + " init --data-dir relative/dir/" + std::string(120, 'x'));
  EXPECT_NE(r.code, 0);
}
