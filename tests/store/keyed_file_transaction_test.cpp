// Keyed record store: transactions over several files.

#include <gtest/gtest.h>

#include <memory>

#include "store_test_records.h"

using namespace qb::store;
using qb::store::test::Item;
using qb::store::test::Note;
using qb::store::test::TempDir;

namespace {

struct TwoFiles : ::testing::Test {
  TempDir dir;
  std::string itemPath = dir.file("IDX003.TPS");
  std::string notePath = dir.file("IDX004.TPS");
  Table<Item> items;
  Table<Note> notes;
  void SetUp() override {
    ASSERT_EQ(items.create(itemPath), Err::Ok);
    ASSERT_EQ(notes.create(notePath), Err::Ok);
    ASSERT_EQ(items.open(itemPath), Err::Ok);
    ASSERT_EQ(notes.open(notePath), Err::Ok);
  }
  Err addPair(uint32_t id) {
    items.clear();
    items.rec.ID = id;
    items.rec.ALIAS = std::to_string(id);
    if (Err e = items.add(); e != Err::Ok) return e;
    notes.clear();
    notes.rec.ID = id;
    notes.memo() = "text of " + std::to_string(id);
    return notes.add();
  }
};

}  // namespace

TEST_F(TwoFiles, RollbackLeavesBothUntouchedAndCommitKeepsBoth) {
  ASSERT_EQ(addPair(1), Err::Ok);
  Transaction tx;
  ASSERT_EQ(tx.begin({&items, &notes}, 5), Err::Ok);
  EXPECT_TRUE(tx.active());
  ASSERT_EQ(addPair(2), Err::Ok);
  ASSERT_EQ(addPair(3), Err::Ok);
  items.rec.ID = 1;
  ASSERT_EQ(items.get(Item::IdKey), Err::Ok);
  ASSERT_EQ(items.del(), Err::Ok);
  EXPECT_EQ(items.count(), 2);  // the transaction sees its own writes
  EXPECT_EQ(notes.count(), 3);
  ASSERT_EQ(tx.rollback(), Err::Ok);
  EXPECT_FALSE(tx.active());
  EXPECT_EQ(tx.rollback(), Err::NoTransaction);
  EXPECT_EQ(tx.commit(), Err::NoTransaction);

  EXPECT_EQ(items.count(), 1);
  EXPECT_EQ(notes.count(), 1);
  items.rec.ID = 1;
  EXPECT_EQ(items.get(Item::IdKey), Err::Ok);

  ASSERT_EQ(tx.begin({&items, &notes}, 5), Err::Ok);
  ASSERT_EQ(addPair(2), Err::Ok);
  ASSERT_EQ(tx.commit(), Err::Ok);
  // seen by other handles once committed
  Table<Item> again;
  ASSERT_EQ(again.open(itemPath), Err::Ok);
  EXPECT_EQ(again.count(), 2);
  EXPECT_EQ(notes.count(), 2);
}

TEST_F(TwoFiles, DuplicateInsideTransactionLeavesTheRestOpen) {
  Transaction tx;
  ASSERT_EQ(tx.begin({&items, &notes}, 5), Err::Ok);
  ASSERT_EQ(addPair(1), Err::Ok);
  EXPECT_EQ(addPair(1), Err::DuplicateKey);
  ASSERT_EQ(addPair(2), Err::Ok);
  ASSERT_EQ(tx.commit(), Err::Ok);
  EXPECT_EQ(items.count(), 2);
  EXPECT_EQ(notes.count(), 2);
}

TEST_F(TwoFiles, ListsAndStatesThatCannotBegin) {
  Transaction tx, second;
  Table<Item> closed;
  EXPECT_EQ(tx.begin({&items, &closed}, 1), Err::NotOpen);
  Table<Item> reader;
  ASSERT_EQ(reader.open(itemPath, Access::ReadOnlyShared), Err::Ok);
  EXPECT_EQ(tx.begin({&reader}, 1), Err::AccessDenied);

  // at most eleven distinct files in one transaction
  std::vector<std::unique_ptr<Table<Item>>> many;
  std::vector<KeyedFile*> list;
  for (int i = 0; i < 12; ++i) {
    auto t = std::make_unique<Table<Item>>();
    std::string p = dir.file("IDX1" + std::to_string(10 + i) + ".TPS");
    ASSERT_EQ(t->create(p), Err::Ok);
    ASSERT_EQ(t->open(p), Err::Ok);
    list.push_back(t.get());
    many.push_back(std::move(t));
  }
  EXPECT_EQ(tx.begin(list, 1), Err::TooManyFiles);
  list.pop_back();
  ASSERT_EQ(tx.begin(list, 1), Err::Ok);
  for (KeyedFile* f : list) {
    auto* t = static_cast<Table<Item>*>(f);
    t->clear();
    t->rec.ID = 1;
    ASSERT_EQ(t->add(), Err::Ok);
  }
  EXPECT_EQ(second.begin({list[3]}, 0), Err::TransactionActive);
  EXPECT_EQ(tx.begin(list, 1), Err::TransactionActive);
  ASSERT_EQ(tx.commit(), Err::Ok);
  for (KeyedFile* f : list) EXPECT_EQ(f->count(), 1);
}

TEST_F(TwoFiles, ClosingAListedFileRollsBackAndEndingTheObjectToo) {
  {
    Transaction tx;
    ASSERT_EQ(tx.begin({&items, &notes}, 5), Err::Ok);
    ASSERT_EQ(addPair(1), Err::Ok);
  }  // not committed
  EXPECT_EQ(items.count(), 0);
  EXPECT_EQ(notes.count(), 0);

  Transaction tx;
  ASSERT_EQ(tx.begin({&notes, &items}, 5), Err::Ok);
  ASSERT_EQ(addPair(2), Err::Ok);
  notes.close();
  EXPECT_FALSE(tx.active());
  EXPECT_EQ(items.count(), 0);
  ASSERT_EQ(notes.open(notePath), Err::Ok);
  EXPECT_EQ(notes.count(), 0);
  // the files work on their own again
  ASSERT_EQ(addPair(3), Err::Ok);
  EXPECT_EQ(items.count(), 1);
}

TEST_F(TwoFiles, StreamedAppendsOfAWorkFileAndTheirKeys) {
  items.setDurable(false);
  ASSERT_EQ(items.stream(), Err::Ok);
  for (uint32_t i = 1000; i > 0; --i) {
    items.clear();
    items.rec.ID = i;
    items.rec.ALIAS = std::to_string(i);
    ASSERT_EQ(items.append(), Err::Ok);
  }
  // another handle cannot write while the stream is open
  Table<Item> other;
  ASSERT_EQ(other.open(itemPath), Err::Ok);
  Transaction tx;
  EXPECT_EQ(tx.begin({&other}, 0), Err::FileLocked);
  ASSERT_EQ(items.flush(), Err::Ok);
  ASSERT_EQ(items.buildKeys(), Err::Ok);
  other.set(Item::IdKey);
  ASSERT_EQ(other.previous(), Err::Ok);
  EXPECT_EQ(other.rec.ID, 1u);
  EXPECT_EQ(other.count(), 1000);
}
