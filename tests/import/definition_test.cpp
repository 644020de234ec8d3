// Predefined imports saved from the import wizard: every selection method
// and a range of formats come back as the same order, the saved definition
// reproduces the same file list, targets are kept by identifier and a
// vanished target is reported.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "archive/batch_records.h"
#include "archive/file_table.h"
#include "archive/maildb.h"
#include "archive/session.h"
#include "import/file_list.h"
#include "import/import_definition.h"
#include "import/import_types.h"
#include "support/temp_archive.h"

using namespace qb::import;
namespace fs = std::filesystem;

namespace {

struct Definitions : ::testing::Test {
  qb::test::TempArchive a;
  std::string problem;
  std::string src;

  void SetUp() override {
    src = a.home() + "/source";
    for (const char* f : {"a.MBX", "b.mbx", "c.txt", "d.THD", "e.MSG", "noext", "sub/f.MBX", "sub/g.PLX",
                          "sub/deeper/h.mbx", "x.ato"}) {
      fs::create_directories(fs::path(src + "/" + f).parent_path());
      std::ofstream(src + "/" + f) << "x";
    }
  }

  // The files a run of the request reads, as the run lists them.
  static std::vector<std::string> fileList(const ImportRequest& r) {
    const ImportType* t = findImportType(r.typeName);
    std::string masks = !r.pattern.empty() ? r.pattern : t ? t->defaultMask : "*.*";
    if (r.allCimFiles) masks = "*.*";
    std::vector<std::string> out;
    for (const SourceEntry& e : sourceEntries(r.selectionMethod, r.sourcePath, r.files)) {
      if (!e.directory) {
        out.push_back(e.path);
        continue;
      }
      for (auto& f : matchingFiles(e.path, masks)) out.push_back(f);
    }
    return out;
  }

  // Saves the order, loads it back, and checks both through the set-up.
  ImportOrder roundTrip(ImportOrder o) {
    const uint32_t id = saveImportDefinition(a.session(), o, kSavedFromWizard, problem);
    EXPECT_NE(id, 0u) << problem;
    ImportOrder back;
    EXPECT_TRUE(loadImportDefinition(a.session(), id, back, problem)) << problem;
    std::string detail;
    EXPECT_EQ(checkImportOrder(o, detail), ImportProblem::None) << detail;
    ImportOrder checked = back;
    EXPECT_EQ(checkImportOrder(checked, detail), ImportProblem::None) << detail;
    EXPECT_EQ(fileList(checked.request), fileList(o.request));
    EXPECT_FALSE(fileList(o.request).empty());
    return back;
  }

  ImportOrder order(const std::string& format, int method) {
    ImportOrder o;
    o.format = format;
    o.request.selectionMethod = method;
    if (method == 2)
      o.request.files = {src + "/a.MBX", src + "/sub/g.PLX"};
    else
      o.request.sourcePath = src;
    return o;
  }
};

}  // namespace

TEST_F(Definitions, EveryMethodAndFormatComesBackWithTheSameFiles) {
  for (const char* format : {"Eudora", "WinCIM", "Generic Mail Type 1", "Unix News", "AUTOSIG"}) {
    for (int method : {0, 1, 2}) {
      SCOPED_TRACE(std::string(format) + " method " + std::to_string(method));
      ImportOrder o = order(format, method);
      o.request.allowReimport = method == 1;
      o.request.kinds = method == 0 ? KindAll : KindMail | KindNews;
      ImportOrder back = roundTrip(o);
      EXPECT_EQ(back.format, findImportType(format)->name);
      EXPECT_EQ(back.request.selectionMethod, method);
      EXPECT_EQ(back.request.allowReimport, method == 1);
      EXPECT_EQ(back.request.kinds, o.request.kinds);
      EXPECT_FALSE(back.request.createOnly);
      if (method == 2) {
        EXPECT_EQ(back.request.files, o.request.files);
      }
    }
  }
}

TEST_F(Definitions, MasksCimChoiceLongPathsAndNewForumsAreKept) {
  ImportOrder o = order("Eudora", 0);
  o.request.pattern = "*.txt;noext";
  o.request.createOnly = true;
  ImportOrder back = roundTrip(o);
  EXPECT_EQ(back.request.pattern, "*.txt;noext");
  EXPECT_TRUE(back.request.createOnly);

  o = order("WinCIM", 1);
  o.request.allCimFiles = true;
  o.request.forumName = "A forum not yet there";
  back = roundTrip(o);
  EXPECT_TRUE(back.request.allCimFiles);
  EXPECT_EQ(back.request.forumName, "A forum not yet there");

  // A directory longer than the batch record's room.
  std::string deep = src;
  while (deep.size() <= 120) deep += "/a-rather-long-directory-name";
  fs::create_directories(deep);
  std::ofstream(deep + "/x.MBX") << "x";
  o = order("Eudora", 1);
  o.request.sourcePath = deep;
  back = roundTrip(o);
  EXPECT_EQ(back.request.sourcePath, fs::absolute(deep).lexically_normal().string());
}

TEST_F(Definitions, TargetsAreKeptByIdentifierAndAVanishedOneIsReported) {
  auto& s = a.session();
  const uint32_t forum = a.addDatabase(qb::store::KindForum, "Existing Forum");
  const uint32_t mail = qb::store::createMailDatabase(s, {"Jane Owner", "jane@example.org", {}});
  ASSERT_NE(mail, 0u);
  ImportOrder o = order("Eudora", 1);
  o.request.mailDatabase = "jane OWNER";  // any letter case
  o.request.forumName = "existing forum";
  o.topic = "Bills";
  const uint32_t id = saveImportDefinition(s, o, kSavedFromWizard, problem);
  ASSERT_NE(id, 0u) << problem;

  auto& batches = qb::store::batchFile(s);
  qb::store::OP_CLOSE(s, qb::store::OpOpen, {qb::store::FileNo::Batches});
  batches.clear();
  batches.rec.ID = id;
  ASSERT_EQ(batches.get(qb::store::Batches::IdKey), qb::store::Err::Ok);
  EXPECT_EQ(batches.rec.DESCRIPTION.str(), "Saved from ImportWizard");
  EXPECT_EQ(batches.rec.MAILBOX, mail);
  EXPECT_EQ(batches.rec.DATABASE, forum);
  EXPECT_NE(batches.rec.MAILTOPIC, 0u);  // the topic was added to the mail database
  EXPECT_EQ(batches.rec.FILETYPE, findImportType("Eudora")->number());
  qb::store::OP_CLOSE(s, qb::store::OpClose, {qb::store::FileNo::Batches});

  ImportOrder back;
  ASSERT_TRUE(loadImportDefinition(s, id, back, problem)) << problem;
  EXPECT_EQ(back.request.mailDatabase, "Jane Owner");
  EXPECT_EQ(back.request.forumName, "Existing Forum");
  EXPECT_EQ(back.topic, "Bills");
  // The loaded order is prepared like one from the wizard.
  PreparedImport prepared = prepareImport(s, back);
  ASSERT_TRUE(prepared.run) << importProblemText(prepared.problem, prepared.detail);
  EXPECT_EQ(prepared.run->request().mailTopic, batches.rec.MAILTOPIC);
  prepared.run.reset();

  // Renaming keeps the definition; removing the forum breaks it.
  qb::store::OP_CLOSE(s, qb::store::OpOpen, {qb::store::FileNo::Forums});
  auto& forums = s.Forums();
  forums.clear();
  forums.rec.ID = forum;
  ASSERT_EQ(forums.get(qb::store::Forums::ForumKey), qb::store::Err::Ok);
  forums.rec.DESCRIPTION = "Renamed Forum";
  ASSERT_EQ(forums.put(), qb::store::Err::Ok);
  ASSERT_TRUE(loadImportDefinition(s, id, back, problem)) << problem;
  EXPECT_EQ(back.request.forumName, "Renamed Forum");
  ASSERT_EQ(forums.get(qb::store::Forums::ForumKey), qb::store::Err::Ok);
  ASSERT_EQ(forums.del(), qb::store::Err::Ok);
  qb::store::OP_CLOSE(s, qb::store::OpClose, {qb::store::FileNo::Forums});
  EXPECT_FALSE(loadImportDefinition(s, id, back, problem));
  EXPECT_NE(problem.find("no longer exists"), std::string::npos) << problem;
}

TEST_F(Definitions, UnsoundOrdersAreNotSavedAndDefinitionsCanBeListedAndRemoved) {
  ImportOrder o = order("Eudora", 1);
  o.request.sourcePath = src + "/missing";
  EXPECT_EQ(saveImportDefinition(a.session(), o, kSavedFromWizard, problem), 0u);
  EXPECT_EQ(problem, "there is no directory " + src + "/missing");
  o = order("Eudora", 1);
  o.request.mailDatabase = "Nobody";
  EXPECT_EQ(saveImportDefinition(a.session(), o, kSavedFromWizard, problem), 0u);
  EXPECT_EQ(problem, "there is no mail database \"Nobody\"");
  EXPECT_TRUE(listImportDefinitions(a.session()).empty());

  const uint32_t one = saveImportDefinition(a.session(), order("Eudora", 2), kSavedFromWizard, problem);
  const uint32_t two = saveImportDefinition(a.session(), order("WinCIM", 2), "Second", problem);
  ASSERT_NE(one, 0u);
  ASSERT_NE(two, 0u);
  auto rows = listImportDefinitions(a.session());
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1].description, "Second");
  EXPECT_EQ(rows[1].format, "WinCIM");
  ASSERT_TRUE(deleteImportDefinition(a.session(), one));
  EXPECT_FALSE(deleteImportDefinition(a.session(), one));
  ImportOrder back;
  EXPECT_FALSE(loadImportDefinition(a.session(), one, back, problem));
  // The other definition keeps its files.
  ASSERT_TRUE(loadImportDefinition(a.session(), two, back, problem));
  EXPECT_EQ(back.request.files.size(), 2u);
}
