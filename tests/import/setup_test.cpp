// Setting up an import run from what the user chose: the checks before the
// archive is opened and their order, the mail database and its topic, the
// current database left as it was, and a prepared run that imports.

#include <gtest/gtest.h>

#include <filesystem>

#include "archive/databases.h"
#include "archive/maildb.h"
#include "archive/session.h"
#include "import/import_setup.h"
#include "import/import_types.h"
#include "support/temp_archive.h"

using namespace qb::import;

namespace {

struct Setup : ::testing::Test {
  qb::test::TempArchive a;
  std::string detail;

  ImportOrder order(const std::string& format, const std::string& dir) {
    ImportOrder o;
    o.format = format;
    o.request.selectionMethod = 1;
    o.request.sourcePath = dir;
    return o;
  }
};

}  // namespace

TEST_F(Setup, ChecksComeInTheirOrderBeforeTheArchive) {
  ImportOrder o = order("NoSuchFormat", "");
  EXPECT_EQ(checkImportOrder(o, detail), ImportProblem::UnknownFormat);
  EXPECT_EQ(detail, "NoSuchFormat");
  EXPECT_EQ(importProblemText(ImportProblem::UnknownFormat, detail), "there is no source format \"NoSuchFormat\"");

  // A format of the table that has no converter yet.
  for (const ImportType& t : importTypes())
    if (t.offered() && !makeConverter(t.name)) {
      o = order(t.name, a.home());
      EXPECT_EQ(checkImportOrder(o, detail), ImportProblem::FormatNotAvailable);
      EXPECT_EQ(detail, t.name);
      break;
    }

  o = order("Eudora", "");
  EXPECT_EQ(checkImportOrder(o, detail), ImportProblem::NoSelection);
  EXPECT_EQ(o.request.typeName, "Eudora");
  o.request.selectionMethod = 2;  // files chosen, but none given
  EXPECT_EQ(checkImportOrder(o, detail), ImportProblem::NoSelection);

  o = order("Eudora", a.home() + "/none");
  o.topic = "Bills";  // the missing directory is told first
  EXPECT_EQ(checkImportOrder(o, detail), ImportProblem::NoDirectory);
  EXPECT_EQ(detail, a.home() + "/none");

  o = order("Eudora", a.home());
  o.topic = "Bills";
  EXPECT_EQ(checkImportOrder(o, detail), ImportProblem::TopicWithoutMailDatabase);
}

TEST_F(Setup, TheOrderIsCompletedForTheRun) {
  std::filesystem::create_directories(a.home() + "/in/sub");
  ImportOrder o = order("Eudora", a.home() + "/in/sub/../sub/.");
  o.request.kinds = KindMail;
  ASSERT_EQ(checkImportOrder(o, detail), ImportProblem::None);
  EXPECT_EQ(o.request.sourcePath, a.home() + "/in/sub/");
  EXPECT_EQ(o.request.messageKind, 2);
  o.request.kinds = KindForum;
  ASSERT_EQ(checkImportOrder(o, detail), ImportProblem::None);
  EXPECT_EQ(o.request.messageKind, 1);
  // A format by its number.
  const ImportType* eudora = findImportType("Eudora");
  ASSERT_NE(eudora, nullptr);
  o.format = std::to_string(eudora->number());
  ASSERT_EQ(checkImportOrder(o, detail), ImportProblem::None);
  EXPECT_EQ(o.request.typeName, "Eudora");
}

TEST_F(Setup, MailDatabaseAndTopic) {
  ImportOrder o = order("Eudora", a.home());
  o.request.mailDatabase = "Robin Quayle";
  PreparedImport p = prepareImport(a.session(), o);
  EXPECT_EQ(p.run, nullptr);
  EXPECT_EQ(p.problem, ImportProblem::NoMailDatabase);
  EXPECT_EQ(p.detail, "Robin Quayle");

  ASSERT_NE(qb::store::createMailDatabase(a.session(), {"Robin Quayle", "robin@example.com", {}}), 0u);
  const uint32_t forum = a.addDatabase(qb::store::KindForum, "Pets");  // current now
  o.request.mailDatabase = "robin QUAYLE";
  o.topic = "Garden";
  p = prepareImport(a.session(), o);
  ASSERT_NE(p.run, nullptr) << importProblemText(p.problem, p.detail);
  EXPECT_EQ(p.run->request().mailDatabase, "Robin Quayle");  // as stored
  const uint32_t topic = p.run->request().mailTopic;
  EXPECT_NE(topic, 0u);
  EXPECT_EQ(a.session().ForumNumber, forum);  // the current database is kept
  p.run.reset();
  // The topic is added once and found again.
  p = prepareImport(a.session(), o);
  ASSERT_NE(p.run, nullptr);
  EXPECT_EQ(p.run->request().mailTopic, topic);
}

TEST_F(Setup, APreparedRunImports) {
  const std::string file = std::string(QB_SOURCE_DIR) + "/samples/captures/ozcis/STARGAZE.MSG";
  if (!std::filesystem::exists(file)) GTEST_SKIP() << "the sample " << file << " is not there";
  ImportOrder o;
  o.format = "OzCIS";
  o.request.selectionMethod = 2;
  o.request.files = {file};
  PreparedImport p = prepareImport(a.session(), o);
  ASSERT_NE(p.run, nullptr) << importProblemText(p.problem, p.detail);
  while (p.run->step()) {
  }
  EXPECT_FALSE(p.run->stats().failed);
  EXPECT_GT(p.run->stats().imported, 0u);
}
