// quillbox-cli settings: listing, showing and changing one setting, and
// refusing bad input with a message on stderr and a non-zero exit.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/cli_run.h"

using qb::test::runCli;

TEST(ConfigCli, ListShowAndChangeSettings) {
  namespace fs = std::filesystem;
  std::string tmpl = (fs::temp_directory_path() / "quillbox-settings-XXXXXX").string();
  ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
  const std::string home = tmpl + "/home";

  auto r = runCli(QB_CLI, home, {"settings"});
  EXPECT_NE(r.code, 0);
  EXPECT_NE(r.err.find("quillbox-cli init"), std::string::npos);
  ASSERT_EQ(runCli(QB_CLI, home, {"init"}).code, 0);

  r = runCli(QB_CLI, home, {"settings"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("  10  Date format"), std::string::npos);
  EXPECT_NE(r.out.find("17 (Windows setting)"), std::string::npos);
  EXPECT_NE(r.out.find("Arial, 8"), std::string::npos);
  EXPECT_NE(r.out.find("  18  Data directory"), std::string::npos);

  r = runCli(QB_CLI, home, {"settings", "10", "6"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("6 (dd-mm-yyyy)"), std::string::npos);
  EXPECT_EQ(runCli(QB_CLI, home, {"settings", "3", "2.5"}).code, 0);
  EXPECT_EQ(runCli(QB_CLI, home, {"settings", "25", "#00FF80"}).code, 0);
  EXPECT_EQ(runCli(QB_CLI, home, {"settings", "35", "DejaVu Sans,10"}).code, 0);
  r = runCli(QB_CLI, home, {"settings"});
  EXPECT_NE(r.out.find("6 (dd-mm-yyyy)"), std::string::npos);
  EXPECT_NE(r.out.find("2.5 (seconds)"), std::string::npos);
  EXPECT_NE(r.out.find("#00FF80"), std::string::npos);
  EXPECT_NE(r.out.find("DejaVu Sans, 10"), std::string::npos);

  for (std::vector<std::string> bad : {std::vector<std::string>{"settings", "10", "5"},
                                       {"settings", "5", "1"},
                                       {"settings", "30", "fast"},
                                       {"settings", "18", "/elsewhere"},
                                       {"settings", "14", std::string(200, 'x')},
                                       {"settings", "1", "2", "3"}}) {
    r = runCli(QB_CLI, home, bad);
    EXPECT_NE(r.code, 0) << bad[1];
    EXPECT_FALSE(r.err.empty()) << bad[1];
    EXPECT_TRUE(r.out.empty()) << bad[1];
  }
  std::error_code ec;
  fs::remove_all(tmpl, ec);
}
