// Files by number: names, open counts, the reactions of an open, the
// reference record and creating a database.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>

#include "archive/databases.h"
#include "archive/file_table.h"
#include "archive/record_access.h"
#include "support/temp_archive.h"

using namespace qb::store;
namespace fs = std::filesystem;

namespace {

// A record with the name of Codes but another layout, as an older program
// version would have written it.
struct OldCodes {
  uint8_t TYPE = 0;
  FixedString<30> INDEX;
  template <class V>
  void visit(V& v) {
    v("TYPE", TYPE);
    v("INDEX", INDEX);
  }
  static const Layout& layout() {
    static const Layout l = declareLayout<OldCodes>("Codes", "COD", 31, false,
                                                    {key("ClassKey", {asc("TYPE"), asc("INDEX")}, Unique)});
    return l;
  }
};

void writeOldCodes(const std::string& path, int records) {
  Table<OldCodes> t;
  ASSERT_EQ(t.create(path), Err::Ok);
  ASSERT_EQ(t.open(path), Err::Ok);
  for (int i = 0; i < records; ++i) {
    t.clear();
    t.rec.TYPE = static_cast<uint8_t>(i);
    ASSERT_EQ(t.add(), Err::Ok);
  }
  t.close();
}

}  // namespace

TEST(ArchiveFiles, NamesFollowTheFileTable) {
  qb::test::TempArchive a;
  Session& s = a.session();
  a.addDatabase(KindForum, "Forum");
  EXPECT_EQ(s.Dirnamn, "F1");
  EXPECT_EQ(buildFileName(s, 2), a.home() + "/CFG/IDX002.TPS");
  EXPECT_EQ(buildFileName(s, 3), a.home() + "/F1/IDX003.TPS");
  EXPECT_EQ(buildFileName(s, 22), a.home() + "/F1/IDX022.DAT");
  EXPECT_EQ(buildFileName(s, 10), a.home() + "/TEMP/IDX010.TPS");
  EXPECT_EQ(buildFileName(s, 28), a.home() + "/F1/IDX028.DAT");
  s.MasIdxPath = "/elsewhere/idx";
  EXPECT_EQ(buildFileName(s, 29), "/elsewhere/idx/F1/IDX029.TPS");
  s.FileTmpName = "/some/where/MESSAGES.TXT";
  EXPECT_EQ(buildFileName(s, 11), "/some/where/MESSAGES.TXT");
  for (int unassigned : {14, 15, 16, 36, 37, 38, 0, 44}) EXPECT_EQ(fileEntry(unassigned), nullptr) << unassigned;
}

TEST(ArchiveFiles, OpenCountsNestOpensAndCloses) {
  qb::test::TempArchive a;
  Session& s = a.session();
  a.addDatabase(KindForum, "Forum");
  OP_CLOSE(s, OpOpen, {FileNo::MsgNmbr, FileNo::MsgText});
  EXPECT_TRUE(s.MsgNmbr().isOpen());
  EXPECT_TRUE(s.MsgText().isOpen());
  EXPECT_EQ(s.FileName, a.home() + "/F1/IDX004.TPS");
  OP_CLOSE(s, OpOpen, {FileNo::MsgNmbr});
  OP_CLOSE(s, OpClose, {FileNo::MsgNmbr});
  EXPECT_TRUE(s.MsgNmbr().isOpen()) << "opened twice, closed once";
  EXPECT_EQ(s.openCount(3), 1);
  OP_CLOSE(s, OpClose, {FileNo::MsgNmbr});
  EXPECT_FALSE(s.MsgNmbr().isOpen());

  OP_CLOSE(s, OpOpen, {FileNo::MsgText});
  OP_CLOSE(s, OpOpen, {FileNo::MsgText});
  OP_CLOSE(s, OpCloseNow, {FileNo::MsgText});
  EXPECT_FALSE(s.MsgText().isOpen()) << "action 4 closes whatever the count";
  EXPECT_EQ(s.openCount(4), 0);

  // The list ends at the first 0; 28 is passed over.
  OP_CLOSE(s, OpOpen, {28, 5, 0, 6});
  EXPECT_EQ(s.openCount(28), 0);
  EXPECT_FALSE(fs::exists(a.home() + "/F1/IDX028.DAT"));
  EXPECT_TRUE(s.Person().isOpen());
  EXPECT_FALSE(s.Sections().isOpen());
  OP_CLOSE(s, OpClose, {FileNo::Person});
  EXPECT_TRUE(a.ui.entries.empty());
}

TEST(ArchiveFiles, UndefinedNumberStopsTheProgram) {
  qb::test::TempArchive a;
  try {
    OP_CLOSE(a.session(), OpOpen, {2, 15});
    FAIL() << "no stop";
  } catch (const qb::FatalStop& f) {
    EXPECT_EQ(f.text(), "File no 15 not defined!\r\nQuillbox will terminate!");
    EXPECT_EQ(f.title(), "Program Failure!");
  }
  ASSERT_FALSE(a.ui.entries.empty());
  EXPECT_EQ(a.ui.entries[0].text, "File no 15 not defined!\r\nQuillbox will terminate!");
}

TEST(ArchiveFiles, MissingForumsFileIsCreatedEmpty) {
  qb::test::TempArchive a;
  Session& s = a.session();
  fs::remove(a.path("CFG/IDX002.TPS"));
  OP_CLOSE(s, OpOpen, {FileNo::Forums});
  EXPECT_TRUE(fs::exists(a.path("CFG/IDX002.TPS")));
  EXPECT_EQ(s.Forums().count(), 0);
  OP_CLOSE(s, OpClose, {FileNo::Forums});
  EXPECT_TRUE(a.ui.entries.empty());
}

TEST(ArchiveFiles, MissingDatabaseDirectoryStopsWithPathNotFound) {
  qb::test::TempArchive a;
  Session& s = a.session();
  a.addDatabase(KindForum, "Forum");
  fs::remove_all(a.home() + "/F1");
  try {
    OP_CLOSE(s, OpOpen, {FileNo::MsgNmbr});
    FAIL() << "no stop";
  } catch (const qb::FatalStop& f) {
    EXPECT_EQ(f.text(), "The path " + a.home() + "/F1 does not exist.\r\nQuillbox will terminate.");
    EXPECT_EQ(f.title(), "Path Not Found");
  }
  EXPECT_TRUE(a.ui.saw("Check your directory setup in Preferences and run File/Rebuild."));
}

TEST(ArchiveFiles, DatabaseFileWithoutCurrentDatabaseIsRefused) {
  qb::test::TempArchive a;
  EXPECT_THROW(OP_CLOSE(a.session(), OpOpen, {FileNo::MsgNmbr}), qb::FatalStop);
  EXPECT_FALSE(fs::exists(a.path("IDX003.TPS")));
}

TEST(ArchiveFiles, ChangedLayoutIsRecreatedWhenEmptyAndStopsOtherwise) {
  qb::test::TempArchive a;
  Session& s = a.session();
  a.addDatabase(KindForum, "Forum");
  const std::string codes = a.home() + "/F1/IDX001.TPS";
  writeOldCodes(codes, 0);
  OP_CLOSE(s, OpOpen, {FileNo::Codes});
  EXPECT_TRUE(s.Codes().isOpen());
  EXPECT_TRUE(a.ui.entries.empty()) << "recreated silently";
  OP_CLOSE(s, OpClose, {FileNo::Codes});

  fs::remove(codes);
  writeOldCodes(codes, 3);
  try {
    OP_CLOSE(s, OpOpen, {FileNo::Codes});
    FAIL() << "no stop";
  } catch (const qb::FatalStop& f) {
    EXPECT_EQ(f.text(), "The file " + codes +
                            " cannot be opened\r\nas the file definition is incorrect.\r\nQuillbox will terminate.");
    EXPECT_EQ(f.title(), " File Open Error - Invalid record declaration");
  }
  EXPECT_EQ(KeyedFile::storedCount(codes), 3) << "the data is left alone";

  // MsgNmbr is never recreated, even when empty; a probe marks the archive
  // as not to be left.
  const std::string headers = a.home() + "/F1/IDX003.TPS";
  fs::copy_file(codes, headers);
  EXPECT_THROW(OP_CLOSE(s, OpProbe, {FileNo::MsgNmbr}), qb::FatalStop);
  EXPECT_EQ(s.IndexingInProgress, 1);
}

TEST(ArchiveFiles, DamagedKeysAreRebuiltWithAMessage) {
  qb::test::TempArchive a;
  Session& s = a.session();
  a.addDatabase(KindForum, "Forum");
  OP_CLOSE(s, OpOpen, {FileNo::MsgNmbr});
  for (uint32_t n : {3u, 1u, 2u}) {
    s.MsgNmbr().clear();
    s.MsgNmbr().rec.MSGNUMBER = n;
    ASSERT_EQ(UppDat(s, s.MsgNmbr(), UppAdd, ErrRelease), 1);
  }
  OP_CLOSE(s, OpClose, {FileNo::MsgNmbr});
  const std::string path = a.home() + "/F1/IDX003.TPS";
  {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT name FROM sqlite_master WHERE type='index' AND sql IS NOT NULL", -1, &st,
                       nullptr);
    std::vector<std::string> names;
    while (sqlite3_step(st) == SQLITE_ROW) names.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    ASSERT_FALSE(names.empty());
    for (auto& n : names) sqlite3_exec(db, ("DROP INDEX \"" + n + "\"").c_str(), nullptr, nullptr, nullptr);
    sqlite3_close(db);
  }
  OP_CLOSE(s, OpOpen, {FileNo::MsgNmbr});
  ASSERT_EQ(a.ui.entries.size(), 1u);
  EXPECT_EQ(a.ui.entries[0].text, "The file " + path +
                                      " cannot be opened\r\ndue to corrupted indices.\r\nAutomatic rebuild will take place.");
  EXPECT_EQ(a.ui.entries[0].title, "File Open Error - Bad keys");
  std::vector<uint32_t> order;
  s.MsgNmbr().set(MsgNmbr::IdKey);
  while (s.MsgNmbr().next() == Err::Ok) order.push_back(s.MsgNmbr().rec.MSGNUMBER);
  EXPECT_EQ(order, (std::vector<uint32_t>{3, 2, 1}));
  OP_CLOSE(s, OpClose, {FileNo::MsgNmbr});
}

TEST(ArchiveFiles, EmptyPackProbeAndDelete) {
  qb::test::TempArchive a;
  Session& s = a.session();
  a.addDatabase(KindForum, "Forum");
  OP_CLOSE(s, OpOpen, {FileNo::Sections});
  s.Sections().clear();
  s.Sections().rec.SECSYSID = 4;
  ASSERT_EQ(UppDat(s, s.Sections(), UppAdd, ErrRelease), 1);
  OP_CLOSE(s, OpClose, {FileNo::Sections});

  OP_CLOSE(s, OpPack, {FileNo::Sections});
  EXPECT_EQ(KeyedFile::storedCount(a.home() + "/F1/IDX006.TPS"), 1);
  OP_CLOSE(s, OpEmpty, {FileNo::Sections});
  EXPECT_EQ(KeyedFile::storedCount(a.home() + "/F1/IDX006.TPS"), 0);
  EXPECT_FALSE(s.Sections().isOpen());
  OP_CLOSE(s, OpProbe, {FileNo::Threads});
  EXPECT_TRUE(fs::exists(a.home() + "/F1/IDX007.TPS"));
  EXPECT_FALSE(s.Threads().isOpen());
  OP_CLOSE(s, OpOpen, {FileNo::Sections});
  OP_CLOSE(s, OpDelete, {FileNo::Sections, FileNo::Threads});
  EXPECT_EQ(s.openCount(6), 0);
  EXPECT_FALSE(fs::exists(a.home() + "/F1/IDX006.TPS"));
  EXPECT_FALSE(fs::exists(a.home() + "/F1/IDX007.TPS"));
  EXPECT_TRUE(a.ui.entries.empty());
}

TEST(ArchiveFiles, EmptyingAFileOthersWriteStops) {
  qb::test::TempArchive a;
  Session& s = a.session();
  a.addDatabase(KindForum, "Forum");
  qb::RecordingUI otherUi;
  auto other = a.newSession(otherUi);
  other->selectDatabase(s.Forums().rec);
  OP_CLOSE(*other, OpOpen, {FileNo::Sections});
  try {
    OP_CLOSE(s, OpEmpty, {FileNo::Sections});
    FAIL() << "no stop";
  } catch (const qb::FatalStop& f) {
    // The exclusive open is refused before the file can be emptied.
    EXPECT_EQ(f.title(), " File Open Error - Access denied");
  }
  OP_CLOSE(*other, OpClose, {FileNo::Sections});
}

TEST(ArchiveFiles, ForeignFilesAreCountedAndNeverTouched) {
  qb::test::TempArchive a;
  Session& s = a.session();
  const std::string foreign = a.path("capture.txt");
  { std::FILE* f = std::fopen(foreign.c_str(), "w"); std::fputs("data", f); std::fclose(f); }
  s.FileTmpName = foreign;
  OP_CLOSE(s, OpOpen, {FileNo::Foreign11});
  EXPECT_EQ(s.FileName, foreign);
  EXPECT_EQ(s.openCount(11), 1);
  OP_CLOSE(s, OpDelete, {FileNo::Foreign11});
  OP_CLOSE(s, OpEmpty, {FileNo::Foreign11});
  EXPECT_TRUE(fs::exists(foreign));
  EXPECT_EQ(fs::file_size(foreign), 4u);
  EXPECT_EQ(s.openCount(11), 0);
}

TEST(ArchiveFiles, CreatingADatabaseWritesItsReferenceRecord) {
  qb::test::TempArchive a;
  Session& s = a.session();
  uint32_t first = a.addDatabase(KindForum, "First");
  OP_CLOSE(s, OpOpen, {FileNo::Forums});
  // A mail database with its owner's addresses.
  uint32_t id = createDatabase(s, KindMail, "Owner Name", ErrRelease);
  ASSERT_NE(id, 0u);
  EXPECT_NE(id, first);
  EXPECT_EQ(s.Dirnamn, "F2");
  EXPECT_EQ(s.ForumNumber, id);
  EXPECT_EQ(s.ForumType, KindMail);
  EXPECT_EQ(s.Description, "Owner Name");
  EXPECT_EQ(s.WordListIndexNeedsUpdate, 1);
  auto& f = s.Forums();
  f.rec.MAILADDRESS = "owner@example.org";
  f.rec.PERSONID = 4711;
  f.rec.ALTADDRESS[0] = "alt1@example.org";
  f.rec.ALTADDRESS[2] = "not-listed@example.org";  // after the first blank one
  EXPECT_EQ(UpdREF(s, ErrRelease), 1);
  EXPECT_EQ(UpdREF(s, ErrRelease), 1) << "nothing to change";
  OP_CLOSE(s, OpClose, {FileNo::Forums});

  OP_CLOSE(s, OpOpen, {FileNo::Reference});
  auto& r = s.REF();
  EXPECT_EQ(r.count(), 1);
  r.setFileOrder();
  ASSERT_EQ(r.next(), Err::Ok);
  EXPECT_EQ(r.rec.TYPE, KindMail);
  EXPECT_EQ(r.rec.DESCRIPTION.str(), "Owner Name");
  EXPECT_EQ(r.rec.PERSONID, 4711);
  EXPECT_EQ(r.rec.MAILADDRESS.str(), "owner@example.org");
  EXPECT_EQ(r.rec.ALTADDRESS[0].str(), "alt1@example.org");
  EXPECT_TRUE(r.rec.ALTADDRESS[2].blank());
  OP_CLOSE(s, OpClose, {FileNo::Reference});
  EXPECT_TRUE(a.ui.entries.empty());
}
