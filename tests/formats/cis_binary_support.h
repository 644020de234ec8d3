#pragma once
// Helpers of the tests of the CIM message files, the filing cabinet and the
// table formats: a converter run outside the import run on an archive that
// has the mail database of the samples' owner (Wilma Thornbury,
// 74321,1234), and the paths of the samples.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "archive/maildb.h"
#include "formats/capture_fake_context.h"
#include "support/temp_archive.h"

namespace qb::cistest {

inline const char* kOwnerDb = "Wilma Thornbury";
inline const char* kOwnerId = "74321,1234";

// samples/<dir> of the source tree.
inline std::string sample(const std::string& path) { return std::string(QB_SOURCE_DIR) + "/samples/" + path; }

inline std::string slurp(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

class Harness {
 public:
  Harness() {
    store::MailDatabaseFields f{kOwnerDb, kOwnerId, {"wilma@example.com"}};
    EXPECT_NE(store::createMailDatabase(archive.session(), f), 0u);
    ctx.archiveSession = &archive.session();
    ctx.req.kinds = import::KindAll;
    ctx.req.mailDatabase = kOwnerDb;
    ctx.addDatabase(kOwnerDb, 2);
    dir = archive.home() + "/input";
    std::filesystem::create_directories(dir);
  }
  // Converts one file; returns the steps taken.
  int convert(const std::string& type, const std::string& path, int maxSteps = 200000) {
    return import::testing::convertFile(ctx, type, path, maxSteps, 60);
  }
  // Converts `bytes` written to a file of the given name.
  int convertBytes(const std::string& type, const std::string& bytes, const std::string& name = "input.dat") {
    std::string path = dir + "/" + name;
    import::testing::writeFile(path, bytes);
    return convert(type, path);
  }
  void reset() {
    ctx.work.clear();
    ctx.ccs.clear();
    ctx.skips = 0;
    ctx.imported.clear();
  }
  // The work record with this subject (the first one), or null.
  const import::testing::Work* subject(const std::string& s) const {
    for (auto& w : ctx.work)
      if (w.nhr.HEADING.str() == s) return &w;
    return nullptr;
  }

  test::TempArchive archive;
  import::testing::FakeContext ctx;
  std::string dir;
};

}  // namespace qb::cistest
