// Keyed record store: transactions over several files.

#include <gtest/gtest.h>

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
