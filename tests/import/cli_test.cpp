// quillbox-cli import, list and show, run as a program on a fresh home.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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
  EXPECT_NE(r.out.find("(1 skipped: missing or not readable)"), std::string::npos) << r.out;
}

// What is wrong with a file is told as it is; entries of a directory that
// are no regular files are passed over, told and counted.
TEST_F(Cli, FileMessagesSayWhatIsWrong) {
  const std::string good = sample("captures/ozcis/HOMEBREW.OBS");
  fs::create_directory(home + "/adir");
  fs::create_symlink(home + "/loop2", home + "/loop1");
  fs::create_symlink(home + "/loop1", home + "/loop2");
  fs::create_symlink(home + "/gone", home + "/dangling");
  Result r = run("import --format OzCIS '" + home + "/adir' /dev/null '" + home + "/loop1' '" + home +
                 "/dangling' '" + good + "'");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.err.find("adir is a directory and will be skipped!"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("/dev/null is not a regular file and will be skipped!"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("loop1 is a symbolic link loop and will be skipped!"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("dangling is a symbolic link to nothing"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("(4 skipped: missing or not readable)"), std::string::npos) << r.out;

  // Inside --dir: a FIFO and a link loop that match the mask are counted.
  const std::string dir = home + "/src";
  fs::create_directory(dir);
  fs::copy_file(good, dir + "/HOMEBREW.OBS");
  ASSERT_EQ(::mkfifo((dir + "/PIPE.MSG").c_str(), 0600), 0);
  fs::create_symlink(dir + "/LOOP.MSG", dir + "/LOOP.MSG");
  Result d = run("import --format OzCIS --reimport --dir '" + dir + "'");
  EXPECT_EQ(d.code, 0) << d.err;
  EXPECT_NE(d.err.find("PIPE.MSG is not a regular file and will be skipped!"), std::string::npos) << d.err;
  EXPECT_NE(d.err.find("LOOP.MSG is a symbolic link loop and will be skipped!"), std::string::npos) << d.err;
  EXPECT_NE(d.out.find("Special files:     2 skipped"), std::string::npos) << d.out;

  // Permissions do not hold for root.
  if (::geteuid() != 0) {
    fs::permissions(dir, fs::perms::none);
    Result u = run("import --format OzCIS --dir '" + dir + "'");
    fs::permissions(dir, fs::perms::owner_all);
    EXPECT_EQ(u.code, 1);
    EXPECT_NE(u.err.find("cannot be read: permission denied"), std::string::npos) << u.err;
  }
}

// Control characters of subjects, names and texts never reach the terminal
// raw: `list`, `show`, `databases` and the import's statistics escape them;
// --json escapes them as JSON does.
TEST_F(Cli, ControlCharactersAreEscaped) {
  const std::string box = home + "/evil.mbx";
  {
    std::ofstream out(box, std::ios::binary);
    out << "From evil@example.net Thu Mar  3 10:00:00 2005\n"
           "From: \"Eve \x1b[2J Evil\" <evil@example.net>\n"
           "To: Robin Quayle <robin@example.com>\n"
           "Subject: Hello \x1b]0;owned\x07 there\n"
           "Date: 3 Mar 2005 10:00:00 +0000\n\n"
           "Text with a bell \x07 and an escape \x1b[31m.\n\tIndented line.\n\n";
  }
  ASSERT_EQ(run("maildb create 'Robin \x1b[5mQuayle' --address robin@example.com").code, 0);
  Result r = run("import --format 'Generic Mail Type 2' --mail-db 'Robin \x1b[5mQuayle' '" + box + "'");
  ASSERT_EQ(r.code, 0) << r.err << r.out;
  EXPECT_EQ(r.out.find('\x1b'), std::string::npos) << r.out;
  Result dbs = run("databases");
  EXPECT_EQ(dbs.out.find('\x1b'), std::string::npos);
  EXPECT_NE(dbs.out.find("Robin \\x1B[5mQuayle"), std::string::npos) << dbs.out;
  Result list = run("list 'Robin \x1b[5mQuayle'");
  EXPECT_EQ(list.code, 0) << list.err;
  EXPECT_EQ(list.out.find('\x1b'), std::string::npos);
  EXPECT_EQ(list.out.find('\x07'), std::string::npos);
  EXPECT_NE(list.out.find("Hello \\x1B]0;owned\\x07 there"), std::string::npos) << list.out;
  Result json = run("list 'Robin \x1b[5mQuayle' --json");
  EXPECT_NE(json.out.find("\\u001b]0;owned\\u0007"), std::string::npos) << json.out;
  std::size_t num = json.out.find("\"id\": ");
  ASSERT_NE(num, std::string::npos) << json.out;
  Result show = run("show 'Robin \x1b[5mQuayle' " + std::to_string(std::stoul(json.out.substr(num + 6))));
  EXPECT_EQ(show.code, 0) << show.err;
  EXPECT_EQ(show.out.find('\x1b'), std::string::npos) << show.out;
  EXPECT_NE(show.out.find("a bell \\x07 and an escape \\x1B[31m."), std::string::npos) << show.out;
  EXPECT_NE(show.out.find("\n\tIndented line."), std::string::npos) << show.out;  // tab and line ends kept
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

// Too little free space (made so through QB_TEST_FREE_SPACE): the run stops
// before it writes to the archive, exits with 4 and says why even with
// --quiet; --yes goes on and stores everything.
TEST_F(Cli, TooLittleFreeSpaceStopsWithExitCode4) {
  ASSERT_EQ(run("maildb create 'Robin Quayle' --address robin@example.com").code, 0);
  const std::string import = "import --format Eudora --dir '" + sample("mail/eudora") + "' --mail-db 'Robin Quayle'";
  ::setenv("QB_TEST_FREE_SPACE", "1000", 1);
  Result refused = run("--quiet " + import);
  Result forced = run("--quiet --yes " + import);
  ::unsetenv("QB_TEST_FREE_SPACE");
  EXPECT_EQ(refused.code, 4) << refused.out << refused.err;
  EXPECT_NE(refused.err.find("too little free disk space"), std::string::npos) << refused.err;
  EXPECT_NE(refused.err.find("only 1000 bytes are free"), std::string::npos) << refused.err;
  EXPECT_EQ(refused.out.find("The import process has finished!"), std::string::npos) << refused.out;
  // Nothing was stored by the refused run: the forced one stores every mail,
  // and a third finds them all there already.
  EXPECT_EQ(forced.code, 0) << forced.out << forced.err;
  EXPECT_NE(forced.out.find("\"Robin Quayle\": 0 before"), std::string::npos) << forced.out;
  Result again = run(import);
  EXPECT_EQ(again.code, 1) << again.out << again.err;
  EXPECT_NE(again.out.find("Imported:          0"), std::string::npos) << again.out;
  // With enough space the same import is not refused.
  ::setenv("QB_TEST_FREE_SPACE", "100000000000", 1);
  Result plenty = run("--quiet " + import);
  ::unsetenv("QB_TEST_FREE_SPACE");
  EXPECT_EQ(plenty.code, 1) << plenty.err;
}

}  // namespace
