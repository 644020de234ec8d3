// quillbox-cli import, list and show, run as a program on a fresh home.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

struct Result {
  int code = -1;
  std::string out, err;
};

class Cli : public ::testing::Test {
 protected:
  Cli() {
    std::string tmpl = (fs::temp_directory_path() / "quillbox-cli-XXXXXX").string();
    home = ::mkdtemp(tmpl.data());
    EXPECT_EQ(run("init").code, 0);
  }
  ~Cli() override { fs::remove_all(home); }

  static std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }

  Result run(const std::string& args) {
    std::string out = home + "/.out", err = home + "/.err";
    std::string cmd = std::string("'") + QB_CLI + "' --home '" + home + "' " + args + " >'" + out + "' 2>'" + err + "'";
    int status = std::system(cmd.c_str());
    Result r;
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = slurp(out);
    r.err = slurp(err);
    return r;
  }

  static std::string sample(const std::string& rel) { return std::string(QB_SOURCE_DIR) + "/samples/" + rel; }

  std::string home;
};

TEST_F(Cli, ImportsListsAndShowsCaptures) {
  Result r = run("import --format OzCIS --dir '" + sample("captures/ozcis") + "'");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("Work records:      8"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Imported:          8"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Forum \"STARGAZE\" (new): 0 before"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("The import process has finished!"), std::string::npos);
  // The file that holds no messages is told on stderr.
  EXPECT_NE(r.err.find("Not a Forum message or mail file!"), std::string::npos);

  Result again = run("import --format 12 --dir '" + sample("captures/ozcis") + "'");
  EXPECT_EQ(again.code, 1);
  EXPECT_NE(again.out.find("No messages to import!"), std::string::npos);
  EXPECT_NE(again.out.find("Skipped:           8"), std::string::npos);

  Result list = run("list stargaze --by number --json");
  EXPECT_EQ(list.code, 0) << list.err;
  std::size_t rows = 0;
  for (std::size_t p = 0; (p = list.out.find("\"number\":", p)) != std::string::npos; ++p) ++rows;
  EXPECT_EQ(rows, 5u);
  // Newest number first.
  std::size_t first = list.out.find("\"number\": ");
  uint32_t n1 = std::stoul(list.out.substr(first + 10));
  std::size_t second = list.out.find("\"number\": ", first + 1);
  EXPECT_GT(n1, std::stoul(list.out.substr(second + 10)));

  Result show = run("show STARGAZE " + std::to_string(n1));
  EXPECT_EQ(show.code, 0) << show.err;
  EXPECT_NE(show.out.find("Number:    " + std::to_string(n1)), std::string::npos) << show.out;
  EXPECT_EQ(show.out.find('\r'), std::string::npos);

  EXPECT_EQ(run("show STARGAZE 1").code, 2);
  EXPECT_EQ(run("show NOSUCH 1").code, 2);
  EXPECT_EQ(run("list STARGAZE --by partner").code, 2);
}

TEST_F(Cli, ShowsTextsAsUtf8) {
  ASSERT_EQ(run("import --format OzCIS '" + sample("captures/ozcis/STARGAZE.MSG") + "'").code, 0);
  Result list = run("list STARGAZE --json");
  std::size_t at = list.out.find("dark site");
  ASSERT_NE(at, std::string::npos) << list.out;
  std::size_t num = list.out.rfind("\"number\": ", at);
  Result show = run("show STARGAZE " + std::to_string(std::stoul(list.out.substr(num + 10))) + " --json");
  EXPECT_NE(show.out.find("Gr\xC3\xBC\xC3\x9F" "e"), std::string::npos) << show.out;
}

TEST_F(Cli, MissingFileIsToldAndOthersImported) {
  Result r = run("import --format OzCIS '" + home + "/nothere.msg' '" + sample("captures/ozcis/HOMEBREW.OBS") + "'");
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.err.find("nothere.msg does not exist and will be skipped!"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("(1 missing)"), std::string::npos);
}

TEST_F(Cli, BadCommandLines) {
  EXPECT_EQ(run("import --dir /tmp").code, 2);
  EXPECT_EQ(run("import --format NoSuchFormat --dir /tmp").code, 2);
  EXPECT_EQ(run("import --format OzCIS").code, 2);
  EXPECT_EQ(run("import --format OzCIS --dir /tmp file.msg").code, 2);
  EXPECT_EQ(run("import --format OzCIS --dir '" + home + "/none'").code, 2);
  EXPECT_EQ(run("import --format OzCIS --kinds letters --dir /tmp").code, 2);
  EXPECT_EQ(run("import --format Eudora --mail-db Nobody --dir /tmp").code, 2);
  EXPECT_EQ(run("import --format Eudora --topic Bills --dir /tmp").code, 2);
  Result formats = run("import --list-formats");
  EXPECT_EQ(formats.code, 0);
  EXPECT_NE(formats.out.find(" 17  WinCIM"), std::string::npos);
  EXPECT_EQ(formats.out.find("Reserv"), std::string::npos);
}

TEST_F(Cli, MailWithTopic) {
  ASSERT_EQ(run("maildb create 'Robin Quayle' --address robin@example.com").code, 0);
  Result r = run("import --format Eudora --dir '" + sample("mail/eudora") + "' --mail-db 'robin quayle' --topic Garden");
  EXPECT_EQ(r.code, 0) << r.err << r.out;
  Result list = run("list 'Robin Quayle' --by subject");
  EXPECT_EQ(list.code, 0);
  EXPECT_NE(list.out.find(" in "), std::string::npos) << list.out;
}

}  // namespace
