// The import's pure helpers: FindCISAdress, DupString's comparison, masks,
// the import type table, CalcMax and the stopwatch.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "import/addresses.h"
#include "import/converter.h"
#include "import/dup_string.h"
#include "import/file_list.h"
#include "import/import_types.h"
#include "import/run_databases.h"
#include "import/run_timing.h"

namespace qb::import {
namespace {

void expectSplit(int mode, const std::string& text, const std::string& name, const std::string& address) {
  NameAddress r = FindCISAdress(mode, text);
  EXPECT_EQ(r.name, name) << "mode " << mode << ": " << text;
  EXPECT_EQ(r.address, address) << "mode " << mode << ": " << text;
}

TEST(FindCISAdress, NumericAddresses) {
  for (int mode : {1, 2}) {
    expectSplit(mode, "John Smith 12345,678", "John Smith", "12345,678");
    expectSplit(mode, "John Smith 12345.678", "John Smith", "12345,678");
    expectSplit(mode, "John Smith > 12345,678", "John Smith", "12345,678");
    expectSplit(mode, "John Smith 12345, 678", "John Smith", "12345,678");
    expectSplit(mode, "John Smith [12345,678]", "John Smith", "12345,678");
    expectSplit(mode, "12345,678", "", "12345,678");
    expectSplit(mode, "John Smith 12345,678   ", "John Smith", "12345,678");
    expectSplit(mode, "John\xB3Smith\xB3" "12345,678", "John Smith", "12345,678");
  }
}

TEST(FindCISAdress, NamesAndGatewayAddresses) {
  expectSplit(1, "John Smith", "John Smith", "");
  expectSplit(2, "John Smith", "John", "Smith");
  expectSplit(2, "John Smith INTERNET:jsmith", "John Smith", "jsmith");
  expectSplit(1, "John Smith INTERNET:jsmith", "John Smith INTERNET:jsmith", "");
  expectSplit(2, "Jsmith", "", "Jsmith");
  // A full stop that is not part of a number: the last blank splits in mode 2.
  expectSplit(2, "J. Smith jsmith@host.com", "J. Smith", "jsmith@host.com");
  expectSplit(1, "St. John", "St. John", "");
  // CSINET gateway texts.
  expectSplit(2, "John Smith CSINET:jsmith@host.com", "John Smith", "jsmith");
  expectSplit(2, "CSINETjs@x", "", "js@x");
  expectSplit(1, "John Smith CSINET:jsmith@host.com", "John Smith CSINET:jsmith@host.com", "");
  expectSplit(1, "", "", "");
}

TEST(FindCISAdress, CutsToTheGivenLengths) {
  NameAddress r = FindCISAdress(1, "Johnathan Smithson 12345,678", 4, 5);
  EXPECT_EQ(r.name, "John");
  EXPECT_EQ(r.address, "12345");
}

TEST(DupString, ShorterTextIsTheStartOfTheLongerWithin19Characters) {
  std::string a(200, 'a');
  EXPECT_TRUE(textsAreDuplicates(a, a));
  EXPECT_TRUE(textsAreDuplicates(a, a + std::string(19, 'z')));
  EXPECT_FALSE(textsAreDuplicates(a, a + std::string(20, 'z')));
  EXPECT_TRUE(textsAreDuplicates(a + "   ", a));  // trailing blanks do not count
  EXPECT_FALSE(textsAreDuplicates(a + "x", a + "y"));
  EXPECT_TRUE(textsAreDuplicates("", std::string(19, 'q')));
}

TEST(Masks, LetterCaseExtensionsAndLists) {
  EXPECT_TRUE(matchesMask("forum.msg", "*.MSG"));
  EXPECT_TRUE(matchesMask("FORUM.OLD", "*.MSG;*.OLD"));
  EXPECT_FALSE(matchesMask("forum.msg.bak", "*.MSG"));
  EXPECT_TRUE(matchesMask("anything", "*.*"));
  EXPECT_TRUE(matchesMask("a.b", "*.*"));
  EXPECT_TRUE(matchesMask("INBOX", "*."));
  EXPECT_FALSE(matchesMask("inbox.mbx", "*."));
  EXPECT_TRUE(matchesMask("fcabinet.dat", "FCABINET.DAT"));
  EXPECT_FALSE(matchesMask("cabinet.dat", "FCABINET.DAT"));
  EXPECT_TRUE(matchesMask("a1.thd", "?1.THD"));
  EXPECT_FALSE(matchesMask("x.msg", ""));
  EXPECT_TRUE(matchesMask("x.prg", " *.MSG ; *.PRG "));
}

TEST(FileLists, TreeIsWalkedLevelByLevel) {
  namespace fs = std::filesystem;
  fs::path root = fs::temp_directory_path() / ("qb-tree-" + std::to_string(::getpid()));
  fs::create_directories(root / "b" / "deep");
  fs::create_directories(root / "a");
  for (auto p : {root / "x.msg", root / "a" / "y.MSG", root / "b" / "deep" / "z.msg", root / "b" / "n.txt"})
    std::ofstream(p) << "x";
  auto entries = sourceEntries(0, root.string(), {});
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0].path, root.string());
  EXPECT_EQ(entries[1].path, (root / "a").string());
  EXPECT_EQ(entries[2].path, (root / "b").string());
  EXPECT_EQ(entries[3].path, (root / "b" / "deep").string());
  EXPECT_EQ(matchingFiles((root / "b").string(), "*.MSG").size(), 0u);
  EXPECT_EQ(matchingFiles((root / "a").string(), "*.msg").size(), 1u);
  EXPECT_EQ(sourceEntries(1, root.string(), {}).size(), 1u);
  EXPECT_EQ(sourceEntries(2, "", {"f1", "f2"}).size(), 2u);
  fs::remove_all(root);
}

TEST(ImportTypes, FortyEntriesByNameAndNumber) {
  ASSERT_EQ(importTypes().size(), 40u);
  for (std::size_t i = 0; i < 40; ++i) EXPECT_EQ(importTypes()[i].number(), int(i + 1));
  EXPECT_STREQ(findImportType("17")->name, "WinCIM");
  EXPECT_STREQ(findImportType("017")->name, "WinCIM");
  EXPECT_STREQ(findImportType("outlook express 5 news")->defaultMask, "*.DBX");
  EXPECT_STREQ(findImportType("VirtualAccess")->defaultMask, "*.");
  EXPECT_STREQ(findImportType("CompuServe 3.x")->defaultMask, "FCABINET.DAT");
  EXPECT_EQ(findImportType("NavCIS 1.7x-")->number(), 11);
  EXPECT_EQ(findImportType("Reserv"), nullptr);
  EXPECT_EQ(findImportType("38"), nullptr);
  EXPECT_EQ(findImportType("41"), nullptr);
  EXPECT_EQ(findImportType(""), nullptr);
}

// Every line that names a factory gets a converter from it, by number and by
// name; the reserved lines get none.
TEST(ImportTypes, EveryFactoryInTheTableMakesItsConverter) {
  int available = 0;
  for (const ImportType& t : importTypes()) {
    EXPECT_EQ(makeConverter(t.id) != nullptr, t.available()) << t.name;
    if (!t.offered()) continue;
    EXPECT_EQ(findImportType(t.name), &t) << t.name;
    EXPECT_EQ(makeConverter(t.name) != nullptr, t.available()) << t.name;
    available += t.available();
  }
  EXPECT_GE(available, 28);  // the converters there are today; new ones only add to it
  EXPECT_EQ(makeConverter("Reserv"), nullptr);
  EXPECT_EQ(makeConverter("Eudora Mail"), nullptr);
  EXPECT_STREQ(importTypeName(kDefaultImportType), "WinCIM");
}

std::unique_ptr<Converter> noConverter(ImportTypeId) { return nullptr; }

TEST(ImportTypes, TableRulesAreChecked) {
  EXPECT_EQ(importTypeTableProblem(importTypes()), "");

  ImportTypeTable t = importTypes();
  std::swap(t[3], t[4]);
  EXPECT_EQ(importTypeTableProblem(t), "an entry is out of number order");

  t = importTypes();
  t[19].name = "eudora";  // the name of entry 6 in other letter case
  EXPECT_EQ(importTypeTableProblem(t), "two entries have the same name");

  t = importTypes();
  t[39].factory = noConverter;
  EXPECT_EQ(importTypeTableProblem(t), "a reserved entry has a converter");

  t = importTypes();
  t[0].name = "A name of twenty-three!";
  EXPECT_EQ(importTypeTableProblem(t), "a name is empty or longer than 22 characters");
  t[0].name = "";
  EXPECT_EQ(importTypeTableProblem(t), "a name is empty or longer than 22 characters");
}

TEST(CalcMax, ScalesCountsToTheBarRange) {
  EXPECT_EQ(CalcMax(0).divisor, 1u);
  EXPECT_EQ(CalcMax(32767).divisor, 1u);
  EXPECT_EQ(CalcMax(32767).maximum, 32767u);
  EXPECT_EQ(CalcMax(32768).divisor, 2u);
  EXPECT_EQ(CalcMax(32768).maximum, 16384u);
  EXPECT_EQ(CalcMax(100000).divisor, 4u);
  EXPECT_EQ(CalcMax(100000).maximum, 25000u);
}

TEST(StopWatch, ElapsedAcrossMidnightAndDays) {
  StopWatch w;
  w.noteAt(2, 1000, 23 * 360000 + 1);          // 23:00:00
  EXPECT_EQ(w.elapsedAt(2, 1001, 3600 * 100 + 1), 2u * 3600);  // 01:00 the next day
  EXPECT_EQ(w.elapsedAt(2, 1003, 23 * 360000 + 1), 3u * 86400);
  w.StartStop(0);
  EXPECT_EQ(w.elapsedAt(2, 1003, 1), 0u);
}

TEST(RunDatabases, ResolutionCreatesFindsAndOnlyAsksInExistsMode) {
  RunDatabases dbs;
  dbs.add({250001, "comp.lang", "", 4, false, true, 3, 0, ""});
  dbs.add({250002, "Quiet", "", 9, false, false, 1, 0, ""});
  uint32_t next = 300000;
  auto newId = [&] { return next++; };
  NHR nhr;
  // Exists mode neither creates nor counts as receiving.
  EXPECT_EQ(dbs.resolve("alt.new", 3, nhr, true, newId).id, 0u);
  EXPECT_EQ(dbs.resolve("COMP.LANG", 3, nhr, true, newId).id, 250001u);
  EXPECT_TRUE(dbs.received().empty());
  EXPECT_EQ(next, 300000u);
  // A new newsgroup: the next identifier and directory number.
  Resolution r = dbs.resolve("alt.new", 3, nhr, false, newId);
  EXPECT_EQ(r.id, 300000u);
  EXPECT_TRUE(r.accept);
  EXPECT_EQ(r.kind, 3);
  EXPECT_EQ(nhr.SECTIONNUMBER, 300000u);
  EXPECT_EQ(nhr.SEC_DESCRIPTION.str(), "alt.new");
  EXPECT_EQ(dbs.find(300000)->dirNumber, 10u);
  EXPECT_EQ(dbs.resolve("ALT.NEW", 3, nhr, false, newId).id, 300000u);
  // Imports switched off: found, not accepted, not a receiving database.
  EXPECT_FALSE(dbs.resolve("quiet", 1, nhr, false, newId).accept);
  // Blank names never resolve; mail databases are never created.
  EXPECT_EQ(dbs.resolve("   ", 1, nhr, false, newId).id, 0u);
  EXPECT_EQ(dbs.resolve("Some Owner", 2, nhr, false, newId).id, 0u);
  ASSERT_EQ(dbs.received().size(), 1u);
  EXPECT_EQ(dbs.received()[0]->id, 300000u);
}

}  // namespace
}  // namespace qb::import
