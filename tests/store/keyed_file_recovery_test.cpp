// Keyed record store: files written with another layout, damaged keys and
// their repair, foreign and truncated files.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>
#include <random>
#include <vector>

#include "store_test_records.h"

using namespace qb::store;
using qb::store::test::Item;
using qb::store::test::ItemOld;
using qb::store::test::TempDir;

namespace {

struct Damage : ::testing::Test {
  TempDir dir;
  std::string path = dir.file("IDX003.TPS");
  void SetUp() override {
    Table<Item> t;
    ASSERT_EQ(t.create(path), Err::Ok);
    ASSERT_EQ(t.open(path), Err::Ok);
    t.setDurable(false);
    for (uint32_t i = 1; i <= 50; ++i) {
      t.clear();
      t.rec.ID = i;
      t.rec.NAME = "name" + std::to_string(i % 7);
      t.rec.ALIAS = std::to_string(i);
      t.rec.DATE = static_cast<int32_t>(i);
      ASSERT_EQ(t.add(), Err::Ok);
    }
  }
  // Changes the file behind the store's back.
  void raw(const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
  }
  void expectRepaired() {
    Table<Item> t;
    ASSERT_EQ(t.open(path), Err::DamagedKeys);
    EXPECT_TRUE(t.isOpen());  // open, so that the keys can be rebuilt
    t.set(Item::IdKey);
    EXPECT_EQ(t.next(), Err::DamagedKeys);
    EXPECT_EQ(t.add(), Err::DamagedKeys);
    ASSERT_EQ(t.buildKeys(), Err::Ok);
    t.close();
    ASSERT_EQ(t.open(path), Err::Ok);
    std::vector<uint32_t> ids;
    t.set(Item::IdKey);
    while (t.next() == Err::Ok) ids.push_back(t.rec.ID);
    ASSERT_EQ(ids.size(), 50u);
    for (uint32_t i = 0; i < 50; ++i) EXPECT_EQ(ids[i], 50 - i);
    t.rec.ID = 17;
    EXPECT_EQ(t.get(Item::IdKey), Err::Ok);
    t.rec.ALIAS = "17";
    EXPECT_EQ(t.get(Item::AliasKey), Err::Ok);
  }
};

}  // namespace

TEST_F(Damage, WrongKeyValueIsReportedAndRepaired) {
  raw("UPDATE records SET k0 = x'00000001' WHERE pos = 17");
  expectRepaired();
}

TEST_F(Damage, MissingIndexIsReportedAndRepaired) {
  raw("DROP INDEX records_k3");
  expectRepaired();
}

TEST_F(Damage, IndexThatLostItsUniquenessIsReportedAndRepaired) {
  raw("DROP INDEX records_k0; CREATE INDEX records_k0 ON records(k0)");
  expectRepaired();
}

TEST_F(Damage, ForeignRandomTruncatedAndEmptyFiles) {
  std::mt19937 rng(7);
  auto write = [&](const std::string& name, const std::string& bytes) {
    std::ofstream(dir.file(name), std::ios::binary) << bytes;
    return dir.file(name);
  };
  std::string random(5000, '\0');
  for (auto& c : random) c = static_cast<char>(rng());
  Table<Item> t;
  EXPECT_EQ(t.open(write("random.TPS", random)), Err::BadFormat);
  EXPECT_EQ(t.open(write("text.TPS", "From someone\nSubject: hello\n")), Err::BadFormat);
  EXPECT_FALSE(t.isOpen());
  EXPECT_EQ(KeyedFile::storedCount(dir.file("random.TPS")), -1);

  // an empty file carries no layout: reported as another layout, holding nothing
  EXPECT_EQ(t.open(write("empty.TPS", "")), Err::LayoutDiffers);
  EXPECT_EQ(KeyedFile::storedCount(dir.file("empty.TPS")), 0);

  // a store file cut short
  std::ifstream in(path, std::ios::binary);
  std::string whole((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  for (std::size_t cut : {std::size_t(50), whole.size() / 2, whole.size() - 100}) {
    std::string p = write("cut.TPS", whole.substr(0, cut));
    Err e = t.open(p);
    if (e == Err::Ok || e == Err::DamagedKeys) {
      // the part that is left may still open; reading it must not crash
      t.set(Item::IdKey);
      int n = 0;
      while (t.next() == Err::Ok && n < 100) ++n;
      t.close();
    } else {
      EXPECT_TRUE(e == Err::BadFormat || e == Err::IoError) << errorNumber(e) << " at " << cut;
    }
  }
}

TEST_F(Damage, FileWrittenWithAnotherLayoutIsReportedAsSuch) {
  Table<ItemOld> old;
  EXPECT_EQ(old.open(path), Err::LayoutDiffers);
  EXPECT_FALSE(old.isOpen());
  EXPECT_EQ(KeyedFile::storedCount(path), 50);
  // and the other way round
  std::string oldPath = dir.file("IDX009.TPS");
  ASSERT_EQ(old.create(oldPath), Err::Ok);
  Table<Item> t;
  EXPECT_EQ(t.open(oldPath), Err::LayoutDiffers);
  EXPECT_EQ(KeyedFile::storedCount(oldPath), 0);
  EXPECT_EQ(KeyedFile::remove(oldPath), Err::Ok);
  EXPECT_EQ(t.create(oldPath), Err::Ok);
  EXPECT_EQ(t.open(oldPath), Err::Ok);
}

TEST(StoreErrors, EveryKindHasItsOwnNumberAndText) {
  std::vector<Err> all = {Err::Ok, Err::FileNotFound, Err::PathNotFound, Err::AccessDenied, Err::InvalidName,
                          Err::DamagedKeys, Err::LayoutDiffers, Err::AlreadyOpen, Err::NoRecord, Err::RecordHeld,
                          Err::DuplicateKey, Err::EndOfFile, Err::NotOpen, Err::FileLocked, Err::NoTransaction,
                          Err::TooManyFiles, Err::IoError, Err::BadFormat, Err::FileExists,
                          Err::TransactionActive};
  std::set<int> numbers;
  std::set<std::string> texts;
  for (Err e : all) {
    numbers.insert(errorNumber(e));
    texts.insert(errorText(e));
    EXPECT_LE(std::string(errorText(e)).size(), 50u);
  }
  EXPECT_EQ(numbers.size(), all.size());
  EXPECT_EQ(texts.size(), all.size());
}

TEST_F(Damage, KeysOfAnEarlierKeyEncodingAreRebuiltAsNoDamage) {
  raw("UPDATE meta SET value = '1' WHERE name = 'keycode'");
  {
    Table<Item> t;
    ASSERT_EQ(t.open(path), Err::DamagedKeys);
    EXPECT_TRUE(t.keysFromOtherVersion());
  }
  expectRepaired();
  Table<Item> t;
  ASSERT_EQ(t.open(path), Err::Ok);
  EXPECT_FALSE(t.keysFromOtherVersion());
}

TEST_F(Damage, CaseInsensitiveKeysFoldAllOfUnicode) {
  {
    Table<Item> t;
    ASSERT_EQ(t.open(path), Err::Ok);
    t.setDurable(false);
    const char* names[] = {"Łódź", "ŁÓDŹ", "Øyvind", "øyvind", "Zürich", "Ärger", "Straße"};
    uint32_t id = 100;
    for (const char* n : names) {
      t.clear();
      t.rec.ID = ++id;
      t.rec.NAME = n;
      t.rec.ALIAS = "u" + std::to_string(id);
      ASSERT_EQ(t.add(), Err::Ok) << n;
    }
    // A unique case-insensitive key refuses a value that differs only in case.
    t.clear();
    t.rec.ID = 200;
    t.rec.ALIAS = "ŻÓŁW";
    ASSERT_EQ(t.add(), Err::Ok);
    t.clear();
    t.rec.ID = 201;
    t.rec.ALIAS = "żółw";
    EXPECT_EQ(t.add(), Err::DuplicateKey);
    // Values that differ only in letter case lie together, in any case found.
    t.clear();
    t.rec.NAME = "łódź";
    ASSERT_EQ(t.setAt(Item::PairKey, 1), Err::Ok);
    int found = 0;
    while (t.next() == Err::Ok) ++found;
    EXPECT_EQ(found, 2);
    t.clear();
    t.rec.ALIAS = "Żółw";
    EXPECT_EQ(t.get(Item::AliasKey), Err::Ok);
    EXPECT_EQ(t.rec.ID, 200u);
  }
  // A name cut to its field is never cut inside a character.
  FixedString<12> cut("ŁŁŁŁŁŁŁ");
  EXPECT_EQ(cut.str(), "ŁŁŁŁŁŁ");
  FixedString<5> odd("abŁŁ");
  EXPECT_EQ(odd.str(), "abŁ");
}

// Deferred key indexes: reads in those orders stay right while the indexes
// are missing; a second handle opens the file as it is while the deferring
// one lives; completeKeys() builds them. A deferral left by a handle that is
// gone (a killed program) is built by the next opener as a planned rebuild.
TEST_F(Damage, DeferredKeyIndexesAreBuiltAfterwardsOrByTheNextOpener) {
  const unsigned pairAndDelta = (1u << Item::PairKey) | (1u << Item::DeltaKey);
  auto addMore = [](Table<Item>& t, uint32_t from, uint32_t to) {
    for (uint32_t i = from; i <= to; ++i) {
      t.clear();
      t.rec.ID = i;
      t.rec.NAME = "name" + std::to_string(i % 7);
      t.rec.ALIAS = std::to_string(i);
      t.rec.DATE = static_cast<int32_t>(i);
      ASSERT_EQ(t.add(), Err::Ok);
    }
  };
  auto countByKey = [](Table<Item>& t, int key) {
    int n = 0;
    t.set(key);
    while (t.next() == Err::Ok) ++n;
    return n;
  };
  {
    Table<Item> t;
    ASSERT_EQ(t.open(path), Err::Ok);
    EXPECT_EQ(t.deferKeys(1u << Item::IdKey), Err::IoError);  // a unique key is never deferred
    ASSERT_EQ(t.deferKeys(pairAndDelta), Err::Ok);
    EXPECT_EQ(t.deferredKeys(), pairAndDelta);
    addMore(t, 51, 80);
    EXPECT_EQ(countByKey(t, Item::PairKey), 80);
    t.clear();
    t.rec.NAME = "NAME3";
    t.rec.DATE = 79;
    ASSERT_EQ(t.setAt(Item::PairKey), Err::Ok);
    ASSERT_EQ(t.next(), Err::Ok);
    EXPECT_EQ(t.rec.ID, 73u);  // the greatest date of "name3" up to 79
    {
      Table<Item> other;
      EXPECT_EQ(other.open(path), Err::Ok);  // the deferral is alive: nothing to repair
    }
    ASSERT_EQ(t.completeKeys(), Err::Ok);
    EXPECT_EQ(t.deferredKeys(), 0u);
    addMore(t, 81, 90);
  }
  {
    Table<Item> t;
    ASSERT_EQ(t.open(path), Err::Ok);
    EXPECT_EQ(countByKey(t, Item::PairKey), 90);
    EXPECT_EQ(countByKey(t, Item::DeltaKey), 90);
    // Closed without completeKeys, as a killed program would leave it.
    ASSERT_EQ(t.deferKeys(pairAndDelta), Err::Ok);
    addMore(t, 91, 95);
  }
  Table<Item> t;
  ASSERT_EQ(t.open(path), Err::DamagedKeys);
  EXPECT_TRUE(t.keysFromOtherVersion());
  ASSERT_EQ(t.buildKeys(), Err::Ok);
  t.close();
  ASSERT_EQ(t.open(path), Err::Ok);
  EXPECT_EQ(countByKey(t, Item::PairKey), 95);
  EXPECT_EQ(countByKey(t, Item::DeltaKey), 95);
}
