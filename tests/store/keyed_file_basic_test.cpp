// Keyed record store: files, buffers, reading in key order, writing.

#include <gtest/gtest.h>

#include <vector>

#include "store_test_records.h"

using namespace qb::store;
using qb::store::test::Item;
using qb::store::test::Note;
using qb::store::test::Plain;
using qb::store::test::TempDir;

namespace {

Err addItem(Table<Item>& t, uint32_t id, const char* name, int32_t date, int16_t delta = 0,
            const char* alias = nullptr) {
  t.clear();
  t.rec.ID = id;
  t.rec.NAME = name;
  t.rec.ALIAS = alias ? std::string(alias) : "#" + std::to_string(id);
  t.rec.DATE = date;
  t.rec.DELTA = delta;
  return t.add();
}

std::vector<uint32_t> idsInOrder(Table<Item>& t, int key, bool backwards = false) {
  std::vector<uint32_t> ids;
  t.set(key);
  while ((backwards ? t.previous() : t.next()) == Err::Ok) ids.push_back(t.rec.ID);
  return ids;
}

struct StoreFile : ::testing::Test {
  TempDir dir;
  std::string path = dir.file("IDX003.TPS");
  Table<Item> t;
  void SetUp() override {
    ASSERT_EQ(t.create(path), Err::Ok);
    ASSERT_EQ(t.open(path), Err::Ok);
    t.setDurable(false);
  }
};

}  // namespace

TEST_F(StoreFile, CreateOpenCloseRemoveAndNamingErrors) {
  Table<Item> other;
  EXPECT_EQ(other.create(path), Err::FileExists);
  EXPECT_EQ(t.open(path), Err::AlreadyOpen);
  EXPECT_EQ(other.open(dir.file("missing.TPS")), Err::FileNotFound);
  EXPECT_EQ(other.open(dir.file("nodir/IDX003.TPS")), Err::PathNotFound);
  EXPECT_EQ(other.open(""), Err::InvalidName);
  EXPECT_EQ(other.open(dir.file("bad\x01name")), Err::InvalidName);
  EXPECT_EQ(other.open(dir.file(std::string(300, 'x'))), Err::InvalidName);
  EXPECT_EQ(KeyedFile::remove(path), Err::AccessDenied);  // still open here
  t.close();
  EXPECT_FALSE(t.isOpen());
  EXPECT_EQ(KeyedFile::remove(path), Err::Ok);
  EXPECT_EQ(KeyedFile::remove(path), Err::FileNotFound);
  EXPECT_EQ(t.open(path), Err::FileNotFound);
}

TEST_F(StoreFile, KeyOrderOfEveryKind) {
  ASSERT_EQ(addItem(t, 5, "beta", 100, -3), Err::Ok);
  ASSERT_EQ(addItem(t, 9, "Alpha", 100, 300), Err::Ok);
  ASSERT_EQ(addItem(t, 1, "alpha2", 300, -300), Err::Ok);
  ASSERT_EQ(addItem(t, 7, "\xC9mile", 50, 0), Err::Ok);  // Émile
  ASSERT_EQ(addItem(t, 3, "zeta", 200, 2), Err::Ok);
  EXPECT_EQ(t.count(), 5);

  // descending unique number
  EXPECT_EQ(idsInOrder(t, Item::IdKey), (std::vector<uint32_t>{9, 7, 5, 3, 1}));
  EXPECT_EQ(idsInOrder(t, Item::IdKey, true), (std::vector<uint32_t>{1, 3, 5, 7, 9}));
  // signed ascending
  EXPECT_EQ(idsInOrder(t, Item::DeltaKey), (std::vector<uint32_t>{1, 5, 7, 3, 9}));
  // case-insensitive name; accented capitals sort by their Windows-1252 code
  EXPECT_EQ(idsInOrder(t, Item::PairKey), (std::vector<uint32_t>{9, 1, 5, 3, 7}));
  // file order is the order of adding
  EXPECT_EQ(idsInOrder(t, -1), (std::vector<uint32_t>{5, 9, 1, 7, 3}));
}

TEST_F(StoreFile, CompositeKeyWithDescendingTailAndDuplicates) {
  ASSERT_EQ(addItem(t, 1, "Smith", 10), Err::Ok);
  ASSERT_EQ(addItem(t, 2, "SMITH", 30), Err::Ok);
  ASSERT_EQ(addItem(t, 3, "smith", 20), Err::Ok);
  ASSERT_EQ(addItem(t, 4, "jones", 20), Err::Ok);
  ASSERT_EQ(addItem(t, 5, "Smith", 20), Err::Ok);  // equal to 3 under the key
  // names without regard to case, newest date first, equal keys in the order added
  EXPECT_EQ(idsInOrder(t, Item::PairKey), (std::vector<uint32_t>{4, 2, 3, 5, 1}));
  EXPECT_EQ(idsInOrder(t, Item::PairKey, true), (std::vector<uint32_t>{1, 5, 3, 2, 4}));

  // setAt on the name alone: next reads the first of the name, previous the last
  t.clear();
  t.rec.NAME = "SMITH";
  ASSERT_EQ(t.setAt(Item::PairKey, 1), Err::Ok);
  ASSERT_EQ(t.next(), Err::Ok);
  EXPECT_EQ(t.rec.ID, 2u);
  t.clear();
  t.rec.NAME = "smith";
  t.setAt(Item::PairKey, 1);
  ASSERT_EQ(t.previous(), Err::Ok);
  EXPECT_EQ(t.rec.ID, 1u);
  ASSERT_EQ(t.previous(), Err::Ok);
  EXPECT_EQ(t.rec.ID, 5u);

  // setAt on the whole key between values, and reading past both ends
  t.clear();
  t.rec.NAME = "smith";
  t.rec.DATE = 25;
  t.setAt(Item::PairKey);
  ASSERT_EQ(t.next(), Err::Ok);
  EXPECT_EQ(t.rec.ID, 3u);
  t.rec.DATE = 25;  // the buffer now holds the record read
  t.setAt(Item::PairKey);
  ASSERT_EQ(t.previous(), Err::Ok);
  EXPECT_EQ(t.rec.ID, 2u);
  ASSERT_EQ(t.previous(), Err::Ok);
  EXPECT_EQ(t.rec.ID, 4u);
  EXPECT_EQ(t.previous(), Err::EndOfFile);
  t.clear();
  t.rec.NAME = "zzz";
  t.setAt(Item::PairKey);
  EXPECT_EQ(t.next(), Err::EndOfFile);

  // exact get on all components, without regard to case
  t.clear();
  t.rec.NAME = "sMiTh";
  t.rec.DATE = 20;
  ASSERT_EQ(t.get(Item::PairKey), Err::Ok);
  EXPECT_EQ(t.rec.ID, 3u);  // the first of the equal ones
  ASSERT_EQ(t.next(), Err::Ok);
  EXPECT_EQ(t.rec.ID, 5u);  // and reading goes on from there
  t.rec.DATE = 21;
  EXPECT_EQ(t.get(Item::PairKey), Err::NoRecord);
}

TEST_F(StoreFile, DuplicateKeyRefusedAndNothingChanged) {
  ASSERT_EQ(addItem(t, 1, "x", 10, 0, "\xE9mile"), Err::Ok);  // émile
  int64_t before = t.count();
  EXPECT_EQ(addItem(t, 1, "other", 10), Err::DuplicateKey);              // same ID
  EXPECT_EQ(addItem(t, 2, "y", 10, 0, "\xC9MILE"), Err::DuplicateKey);  // ÉMILE = émile without case
  EXPECT_EQ(t.count(), before);
  EXPECT_EQ(idsInOrder(t, Item::PairKey), (std::vector<uint32_t>{1}));
  EXPECT_EQ(idsInOrder(t, Item::DeltaKey), (std::vector<uint32_t>{1}));

  t.clear();
  t.rec.ID = 2;
  t.rec.ALIAS = "\xC9mile";
  EXPECT_TRUE(t.duplicate());
  EXPECT_TRUE(t.duplicate(Item::AliasKey));
  EXPECT_FALSE(t.duplicate(Item::IdKey));
  t.rec.ALIAS = "new";
  EXPECT_FALSE(t.duplicate());

  // a changed record that would collide is refused too, and stays as it was
  ASSERT_EQ(addItem(t, 2, "second", 20), Err::Ok);
  t.rec.ALIAS = "\xC9MILE";
  EXPECT_EQ(t.put(), Err::DuplicateKey);
  t.clear();
  t.rec.ID = 2;
  ASSERT_EQ(t.get(Item::IdKey), Err::Ok);
  EXPECT_EQ(t.rec.NAME.str(), "second");
  EXPECT_EQ(t.rec.ALIAS.str(), "#2");
  // the record last read does not count as its own duplicate
  EXPECT_FALSE(t.duplicate());
}

TEST_F(StoreFile, PositionsSurviveOtherWrites) {
  std::vector<int64_t> pos;
  for (uint32_t i = 1; i <= 6; ++i) {
    ASSERT_EQ(addItem(t, i, ("n" + std::to_string(i)).c_str(), static_cast<int32_t>(i)), Err::Ok);
    pos.push_back(t.position());
  }
  // delete one, change another's keys, add more
  ASSERT_EQ(t.getPosition(pos[1]), Err::Ok);
  ASSERT_EQ(t.del(), Err::Ok);
  ASSERT_EQ(t.getPosition(pos[3]), Err::Ok);
  t.rec.NAME = "renamed";
  t.rec.ID = 40;
  ASSERT_EQ(t.put(), Err::Ok);
  ASSERT_EQ(addItem(t, 7, "n7", 7), Err::Ok);
  EXPECT_EQ(t.pack(), Err::Ok);

  EXPECT_EQ(t.getPosition(pos[1]), Err::NoRecord);
  ASSERT_EQ(t.getPosition(pos[3]), Err::Ok);
  EXPECT_EQ(t.rec.ID, 40u);
  ASSERT_EQ(t.getPosition(pos[5]), Err::Ok);
  EXPECT_EQ(t.rec.ID, 6u);
  // a deleted position is not handed out again, not even the last one
  ASSERT_EQ(addItem(t, 8, "n8", 8), Err::Ok);
  int64_t last = t.position();
  ASSERT_EQ(t.del(), Err::Ok);
  ASSERT_EQ(addItem(t, 8, "n8", 8), Err::Ok);
  EXPECT_GT(t.position(), last);
  ASSERT_EQ(t.del(), Err::Ok);

  // setAtPosition: next reads that record, in the key's order from there
  ASSERT_EQ(t.setAtPosition(Item::IdKey, pos[2]), Err::Ok);
  ASSERT_EQ(t.next(), Err::Ok);
  EXPECT_EQ(t.rec.ID, 3u);
  ASSERT_EQ(t.next(), Err::Ok);
  EXPECT_EQ(t.rec.ID, 1u);
  ASSERT_EQ(t.setAtPosition(Item::IdKey, pos[2]), Err::Ok);
  ASSERT_EQ(t.previous(), Err::Ok);
  EXPECT_EQ(t.rec.ID, 5u);

  // a record deleted under a reader: reading goes on with its neighbour
  t.set(Item::IdKey);
  ASSERT_EQ(t.next(), Err::Ok);  // 40
  Table<Item> other;
  ASSERT_EQ(other.open(path), Err::Ok);
  other.rec.ID = 7;
  ASSERT_EQ(other.get(Item::IdKey), Err::Ok);
  ASSERT_EQ(other.del(), Err::Ok);
  ASSERT_EQ(t.next(), Err::Ok);
  EXPECT_EQ(t.rec.ID, 6u);
  // a stale position is reported, not written
  other.rec.ID = 6;
  ASSERT_EQ(other.get(Item::IdKey), Err::Ok);
  ASSERT_EQ(other.del(), Err::Ok);
  EXPECT_EQ(t.put(), Err::NoRecord);
  EXPECT_EQ(t.del(), Err::NoRecord);
}

TEST_F(StoreFile, EmptyAndCount) {
  for (uint32_t i = 1; i <= 20; ++i) ASSERT_EQ(addItem(t, i, std::to_string(i).c_str(), 1), Err::Ok);
  EXPECT_EQ(t.count(), 20);
  Table<Item> other;
  ASSERT_EQ(other.open(path), Err::Ok);
  EXPECT_EQ(t.empty(), Err::AccessDenied);  // another writer has it open
  other.close();
  EXPECT_EQ(t.empty(), Err::Ok);
  EXPECT_EQ(t.count(), 0);
  t.set(Item::IdKey);
  EXPECT_EQ(t.next(), Err::EndOfFile);
}

TEST(StoreMemo, UpTo64000BytesAndLongerIsCut) {
  TempDir dir;
  Table<Note> n;
  std::string path = dir.file("IDX004.TPS");
  ASSERT_EQ(n.create(path), Err::Ok);
  ASSERT_EQ(n.open(path), Err::Ok);
  n.setDurable(false);
  std::string exact(kMaxMemo, 'a');
  exact[0] = '\0';  // memos are bytes, not C strings
  exact.back() = '\xE9';
  n.clear();
  n.rec.ID = 1;
  n.memo() = exact;
  ASSERT_EQ(n.add(), Err::Ok);
  n.clear();
  n.rec.ID = 2;
  n.memo() = std::string(kMaxMemo + 500, 'b');
  ASSERT_EQ(n.add(), Err::Ok);
  n.clear();
  n.rec.ID = 3;
  ASSERT_EQ(n.add(), Err::Ok);

  n.clear();
  n.rec.ID = 1;
  ASSERT_EQ(n.get(Note::IdKey), Err::Ok);
  EXPECT_EQ(n.memo(), exact);
  ASSERT_EQ(n.next(), Err::Ok);
  EXPECT_EQ(n.rec.ID, 2u);
  EXPECT_EQ(n.memo(), std::string(kMaxMemo, 'b'));
  ASSERT_EQ(n.next(), Err::Ok);
  EXPECT_TRUE(n.memo().empty());
  // put keeps or replaces the memo
  n.memo() = "short";
  ASSERT_EQ(n.put(), Err::Ok);
  n.clear();
  n.rec.ID = 3;
  ASSERT_EQ(n.get(Note::IdKey), Err::Ok);
  EXPECT_EQ(n.memo(), "short");
}

TEST_F(StoreFile, AppendedRecordsAreKeyedByBuildKeys) {
  ASSERT_EQ(addItem(t, 1, "one", 1), Err::Ok);
  ASSERT_EQ(t.stream(), Err::Ok);
  for (uint32_t i : {4u, 2u, 3u, 2u}) {
    t.clear();
    t.rec.ID = i;
    t.rec.NAME = "n" + std::to_string(i);
    t.rec.ALIAS = t.rec.NAME.str();
    ASSERT_EQ(t.append(), Err::Ok);
  }
  ASSERT_EQ(t.flush(), Err::Ok);
  EXPECT_EQ(t.count(), 5);
  // not in any key order until the keys are built
  EXPECT_EQ(idsInOrder(t, Item::IdKey), (std::vector<uint32_t>{1}));
  EXPECT_EQ(t.buildKeys(), Err::DuplicateKey);
  // the second record with ID 2 stays out of the unique key, but is kept
  EXPECT_EQ(idsInOrder(t, Item::IdKey), (std::vector<uint32_t>{4, 3, 2, 1}));
  EXPECT_EQ(idsInOrder(t, -1), (std::vector<uint32_t>{1, 4, 2, 3, 2}));
  EXPECT_EQ(idsInOrder(t, Item::DeltaKey).size(), 5u);
  EXPECT_EQ(t.count(), 5);
  // a rebuild without duplicates reports success
  t.set(-1);
  t.previous();
  ASSERT_EQ(t.rec.ID, 2u);
  ASSERT_EQ(t.del(), Err::Ok);
  EXPECT_EQ(t.buildKeys(), Err::Ok);
}

TEST(StorePlain, FileWithoutKeysIsReadInFileOrder) {
  TempDir dir;
  std::string path = dir.file("IDX022.DAT");
  Table<Plain> p;
  ASSERT_EQ(p.create(path), Err::Ok);
  ASSERT_EQ(p.open(path), Err::Ok);
  p.set(-1);
  EXPECT_EQ(p.next(), Err::EndOfFile);
  p.clear();
  p.rec.TYPE = 2;
  p.rec.TEXT = "first";
  ASSERT_EQ(p.add(), Err::Ok);
  p.rec.TEXT = "second";
  ASSERT_EQ(p.add(), Err::Ok);
  p.set(-1);
  ASSERT_EQ(p.next(), Err::Ok);
  EXPECT_EQ(p.rec.TEXT.str(), "first");
  p.rec.TEXT = "changed";
  ASSERT_EQ(p.put(), Err::Ok);
  p.close();
  ASSERT_EQ(p.open(path), Err::Ok);
  p.setFileOrder();
  ASSERT_EQ(p.previous(), Err::Ok);
  EXPECT_EQ(p.rec.TEXT.str(), "second");
  ASSERT_EQ(p.previous(), Err::Ok);
  EXPECT_EQ(p.rec.TEXT.str(), "changed");
  EXPECT_EQ(p.rec.TYPE, 2);
  EXPECT_EQ(p.count(), 2);
  EXPECT_EQ(p.buildKeys(), Err::Ok);
}
