// Keyed record store between processes: holds, file locks, exclusive opens,
// transaction waits, and a process killed in the middle of a transaction.
// Children are forked while the parent has no file open.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <random>
#include <set>
#include <thread>

#include "store_test_records.h"

using namespace qb::store;
using qb::store::test::Item;
using qb::store::test::Note;
using qb::store::test::TempDir;

namespace {

using Clock = std::chrono::steady_clock;

// A forked child that reports readiness through a pipe and waits for the
// parent's word to finish.
class Child {
 public:
  explicit Child(const std::function<int(Child&)>& body) {
    if (pipe(up_) != 0 || pipe(down_) != 0) std::abort();
    pid_ = fork();
    if (pid_ == 0) {
      ::close(up_[0]);
      ::close(down_[1]);
      _exit(body(*this));
    }
    ::close(up_[1]);
    ::close(down_[0]);
  }
  ~Child() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    ::close(up_[0]);
    ::close(down_[1]);
  }
  // in the child
  void ready(char c = 'r') { (void)!write(up_[1], &c, 1); }
  void waitForParent() {
    char c;
    (void)!read(down_[0], &c, 1);
  }
  // in the parent
  char waitReady() {
    char c = 0;
    return read(up_[0], &c, 1) == 1 ? c : 0;
  }
  void finish() { (void)!write(down_[1], "x", 1); }
  int exitCode() {
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  void killNow() {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
  int up_[2]{-1, -1}, down_[2]{-1, -1};
};

struct Shared : ::testing::Test {
  TempDir dir;
  std::string path = dir.file("IDX003.TPS");
  void SetUp() override {
    Table<Item> t;
    ASSERT_EQ(t.create(path), Err::Ok);
    ASSERT_EQ(t.open(path), Err::Ok);
    for (uint32_t i = 1; i <= 3; ++i) {
      t.clear();
      t.rec.ID = i;
      t.rec.ALIAS = std::to_string(i);
      ASSERT_EQ(t.add(), Err::Ok);
    }
  }
};

double secondsSince(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

}  // namespace

TEST_F(Shared, HoldOfAnotherProcessMakesHoldFailAfterItsWait) {
  Child child([&](Child& c) {
    Table<Item> t;
    if (t.open(path) != Err::Ok) return 1;
    t.rec.ID = 2;
    t.hold(1);
    if (t.get(Item::IdKey) != Err::Ok) return 2;
    c.ready();
    c.waitForParent();
    t.release();
    c.ready();
    c.waitForParent();
    return 0;
  });
  ASSERT_EQ(child.waitReady(), 'r');

  Table<Item> t;
  ASSERT_EQ(t.open(path), Err::Ok);
  t.rec.ID = 2;
  t.hold(1);
  auto t0 = Clock::now();
  EXPECT_EQ(t.get(Item::IdKey), Err::RecordHeld);
  EXPECT_GE(secondsSince(t0), 0.8);
  // reading without a hold is allowed, changing is not
  ASSERT_EQ(t.get(Item::IdKey), Err::Ok);
  t.rec.FLAG = 1;
  EXPECT_EQ(t.put(), Err::RecordHeld);
  EXPECT_EQ(t.del(), Err::RecordHeld);
  // other records are free
  t.rec.ID = 3;
  t.hold(1);
  EXPECT_EQ(t.get(Item::IdKey), Err::Ok);
  t.release();
  // reading in key order with a hold stops at the held record
  t.set(Item::IdKey);
  ASSERT_EQ(t.next(), Err::Ok);  // 3
  t.hold(0);
  EXPECT_EQ(t.next(), Err::RecordHeld);

  child.finish();
  ASSERT_EQ(child.waitReady(), 'r');  // released
  t.rec.ID = 2;
  t.hold(1);
  ASSERT_EQ(t.get(Item::IdKey), Err::Ok);
  t.rec.FLAG = 1;
  EXPECT_EQ(t.put(), Err::Ok);
  child.finish();
  EXPECT_EQ(child.exitCode(), 0);
}

TEST_F(Shared, FileLockAndExclusiveOpenBetweenProcesses) {
  Child child([&](Child& c) {
    Table<Item> t;
    if (t.open(path) != Err::Ok) return 1;
    if (t.lock(0) != Err::Ok) return 2;
    c.ready();
    c.waitForParent();
    t.close();
    Table<Item> x;
    if (x.open(path, Access::ReadWriteExclusive) != Err::Ok) return 3;
    c.ready();
    c.waitForParent();
    return 0;
  });
  ASSERT_EQ(child.waitReady(), 'r');
  {
    Table<Item> t;
    ASSERT_EQ(t.open(path), Err::Ok);
    auto t0 = Clock::now();
    EXPECT_EQ(t.lock(1), Err::FileLocked);
    EXPECT_GE(secondsSince(t0), 0.8);
    EXPECT_EQ(t.open(path, Access::ReadWriteExclusive), Err::AlreadyOpen);
  }
  child.finish();
  ASSERT_EQ(child.waitReady(), 'r');
  Table<Item> t;
  EXPECT_EQ(t.open(path, Access::ReadOnlyShared), Err::AccessDenied);
  EXPECT_EQ(t.open(path), Err::AccessDenied);
  EXPECT_EQ(KeyedFile::remove(path), Err::AccessDenied);
  child.finish();
  EXPECT_EQ(child.exitCode(), 0);
  EXPECT_EQ(t.open(path, Access::ReadWriteExclusive), Err::Ok);
}

TEST_F(Shared, AccessModesWithinOneProcess) {
  Table<Item> a, b, c;
  ASSERT_EQ(a.open(path, Access::ReadWriteDenyWrite), Err::Ok);
  EXPECT_EQ(b.open(path, Access::ReadOnlyShared), Err::Ok);  // others may read
  EXPECT_EQ(c.open(path, Access::ReadWriteShared), Err::AccessDenied);
  EXPECT_EQ(c.open(path, Access::ReadWriteDenyWrite), Err::AccessDenied);
  EXPECT_EQ(c.open(path, Access::ReadWriteExclusive), Err::AccessDenied);
  b.clear();
  b.rec.ID = 9;
  EXPECT_EQ(b.add(), Err::AccessDenied);  // opened for reading only
  EXPECT_EQ(a.empty(), Err::Ok);
  EXPECT_EQ(b.count(), 0);
  a.close();
  b.close();
  ASSERT_EQ(a.open(path, Access::ReadWriteExclusive), Err::Ok);
  EXPECT_EQ(b.open(path, Access::ReadOnlyShared), Err::AccessDenied);
}

TEST_F(Shared, TransactionBeginWaitsForAnotherProcessAndReportsFileLocked) {
  Child child([&](Child& c) {
    Table<Item> t;
    if (t.open(path) != Err::Ok) return 1;
    Transaction tx;
    if (tx.begin({&t}, 1) != Err::Ok) return 2;
    t.clear();
    t.rec.ID = 50;
    t.rec.ALIAS = "50";
    if (t.add() != Err::Ok) return 3;
    c.ready();
    c.waitForParent();
    return tx.commit() == Err::Ok ? 0 : 4;
  });
  ASSERT_EQ(child.waitReady(), 'r');
  Table<Item> t;
  ASSERT_EQ(t.open(path), Err::Ok);
  Transaction tx;
  auto t0 = Clock::now();
  EXPECT_EQ(tx.begin({&t}, 1), Err::FileLocked);
  EXPECT_GE(secondsSince(t0), 0.8);
  EXPECT_FALSE(tx.active());
  EXPECT_EQ(t.count(), 3);  // the other transaction is not seen before its commit
  child.finish();
  EXPECT_EQ(child.exitCode(), 0);
  ASSERT_EQ(tx.begin({&t}, 1), Err::Ok);
  EXPECT_EQ(t.count(), 4);
  EXPECT_EQ(tx.commit(), Err::Ok);
}

// A child writes batches of records to two files, one transaction per batch,
// and is killed at some moment; both files must then hold exactly the same
// complete batches.
TEST(StoreCrash, KilledInTheMiddleOfMultiFileTransactionsLeavesAllOrNothing) {
  TempDir dir;
  std::string itemPath = dir.file("IDX003.TPS");
  std::string notePath = dir.file("sub/IDX004.TPS");  // files in two directories
  ASSERT_EQ(mkdir(dir.file("sub").c_str(), 0777), 0);
  {
    Table<Item> items;
    Table<Note> notes;
    ASSERT_EQ(items.create(itemPath), Err::Ok);
    ASSERT_EQ(notes.create(notePath), Err::Ok);
  }
  constexpr uint32_t kBatch = 25;
  std::mt19937 rng(12345);
  uint32_t next = 1;
  for (int round = 0; round < 6; ++round) {
    Child child([&](Child& c) {
      Table<Item> items;
      Table<Note> notes;
      if (items.open(itemPath) != Err::Ok || notes.open(notePath) != Err::Ok) return 1;
      for (uint32_t id = next;; id += kBatch) {
        Transaction tx;
        if (tx.begin({&items, &notes}, 5) != Err::Ok) return 2;
        for (uint32_t i = id; i < id + kBatch; ++i) {
          items.clear();
          items.rec.ID = i;
          items.rec.ALIAS = std::to_string(i);
          notes.clear();
          notes.rec.ID = i;
          notes.memo() = std::string(200 + i % 700, 'm');
          if (items.add() != Err::Ok || notes.add() != Err::Ok) return 3;
        }
        if (tx.commit() != Err::Ok) return 4;
        if (id == next) c.ready();
      }
    });
    ASSERT_EQ(child.waitReady(), 'r');
    std::this_thread::sleep_for(std::chrono::microseconds(rng() % 60000));
    child.killNow();

    Table<Item> items;
    Table<Note> notes;
    ASSERT_EQ(items.open(itemPath), Err::Ok) << "round " << round;
    ASSERT_EQ(notes.open(notePath), Err::Ok) << "round " << round;
    std::set<uint32_t> a, b;
    items.set(Item::IdKey);
    while (items.next() == Err::Ok) a.insert(items.rec.ID);
    notes.set(Note::IdKey);
    while (notes.next() == Err::Ok) {
      b.insert(notes.rec.ID);
      EXPECT_EQ(notes.memo().size(), 200 + notes.rec.ID % 700);
    }
    EXPECT_EQ(a, b) << "round " << round;
    EXPECT_EQ(static_cast<int64_t>(a.size()), items.count());
    EXPECT_EQ(a.size() % kBatch, 0u);
    ASSERT_FALSE(a.empty());
    EXPECT_EQ(*a.rbegin(), a.size());  // batches are complete and consecutive
    next = *a.rbegin() + 1;
  }
}

// A reader whose pages are mapped sees what another process writes: the
// file grows far beyond what was mapped, records are deleted, the file is
// compacted to a fraction of its size, and counts, ranks and reads in key
// order stay those of the file on disk.
TEST_F(Shared, MappedReaderFollowsAnotherProcessThatGrowsAndDeletes) {
  Child writer([&](Child& c) {
    c.ready();
    c.waitForParent();
    Table<Item> t;
    if (t.open(path) != Err::Ok) return 1;
    Transaction tx;
    if (tx.begin({&t}, 5) != Err::Ok) return 2;
    for (uint32_t i = 10; i < 4010; ++i) {
      t.clear();
      t.rec.ID = i;
      t.rec.NAME = "n" + std::to_string(i % 97);
      t.rec.DATE = static_cast<int32_t>(i);
      t.rec.ALIAS = std::to_string(i);
      if (t.add() != Err::Ok) return 3;
    }
    // every third of the new records goes again
    for (uint32_t i = 10; i < 4010; i += 3) {
      t.rec.ID = i;
      if (t.get(Item::IdKey) != Err::Ok || t.del() != Err::Ok) return 4;
    }
    if (tx.commit() != Err::Ok) return 5;
    c.ready('w');
    c.waitForParent();
    // then all new records go and the file is compacted: it shrinks under
    // the reader's mapping
    if (tx.begin({&t}, 5) != Err::Ok) return 6;
    t.set(Item::IdKey);
    while (t.next() == Err::Ok && t.rec.ID >= 10)
      if (t.del() != Err::Ok) return 7;
    if (tx.commit() != Err::Ok || t.pack() != Err::Ok) return 8;
    c.ready('p');
    c.waitForParent();
    return 0;
  });
  ASSERT_EQ(writer.waitReady(), 'r');

  KeyedFile::setMappedReads(int64_t{1} << 30);
  {
    Table<Item> reader;
    ASSERT_EQ(reader.open(path), Err::Ok);
    ASSERT_EQ(reader.count(), 3);
    reader.set(Item::IdKey);
    ASSERT_EQ(reader.next(), Err::Ok);
    EXPECT_EQ(reader.rec.ID, 3u);

    writer.finish();
    ASSERT_EQ(writer.waitReady(), 'w');
    const int64_t expected = 3 + 4000 - 1334;
    const auto grown = std::filesystem::file_size(path);
    EXPECT_EQ(reader.count(), expected);
    // in the descending number key: 4008 first (4009 was deleted), record 1 last
    reader.set(Item::IdKey);
    int64_t n = 0, lastPos = 0;
    uint32_t previous = UINT32_MAX;
    while (reader.next() == Err::Ok) {
      EXPECT_LT(reader.rec.ID, previous);
      EXPECT_TRUE(reader.rec.ID < 10 || (reader.rec.ID - 10) % 3 != 0) << reader.rec.ID;
      previous = reader.rec.ID;
      lastPos = reader.position();
      ++n;
    }
    EXPECT_EQ(n, expected);
    EXPECT_EQ(previous, 1u);
    EXPECT_EQ(reader.countBefore(Item::IdKey, lastPos), expected - 1);
    reader.rec.ID = 4008;
    ASSERT_EQ(reader.get(Item::IdKey), Err::Ok);
    EXPECT_EQ(reader.countBefore(Item::IdKey, reader.position()), 0);

    writer.finish();
    ASSERT_EQ(writer.waitReady(), 'p');
    EXPECT_LT(std::filesystem::file_size(path) * 4, grown);
    EXPECT_EQ(reader.count(), 3);
    reader.set(Item::IdKey);
    std::vector<uint32_t> ids;
    while (reader.next() == Err::Ok) ids.push_back(reader.rec.ID);
    EXPECT_EQ(ids, (std::vector<uint32_t>{3, 2, 1}));
  }
  KeyedFile::setMappedReads(0);
  writer.finish();
  EXPECT_EQ(writer.exitCode(), 0);
}
