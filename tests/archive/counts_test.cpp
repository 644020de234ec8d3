// Recounting a database from its messages, and the marker an import run
// leaves while it stores.
#include <gtest/gtest.h>

#include "archive/counts.h"
#include "archive/file_table.h"
#include "archive/record_access.h"
#include "support/temp_archive.h"

using namespace qb::store;

namespace {

struct ForumDb {
  qb::test::TempArchive a;
  Session& s = a.session();
  uint32_t id = a.addDatabase(KindForum, "Counted forum");
  ForumDb() { OP_CLOSE(s, OpOpen, {3, 5, 6, 7}); }
  ~ForumDb() { OP_CLOSE(s, OpClose, {3, 5, 6, 7}); }

  void person(uint32_t pid, uint32_t from, uint32_t to) {
    auto& p = s.Person();
    p.clear();
    p.rec.PERSONID = pid;
    p.rec.PERSONSTRING = "P" + std::to_string(pid);
    p.rec.FROMCOUNT = from;
    p.rec.TOCOUNT = to;
    ASSERT_EQ(p.add(), Err::Ok);
  }
  void thread(uint32_t number, uint32_t sec, uint32_t count) {
    auto& t = s.Threads();
    t.clear();
    t.rec.THREADNUMBER = number;
    t.rec.SECSYSID = sec;
    t.rec.setHeading("Thread " + std::to_string(number));
    t.rec.MSGCOUNT = count;
    ASSERT_EQ(t.add(), Err::Ok);
  }
  void section(uint32_t sec, uint32_t count) {
    auto& t = s.Sections();
    t.clear();
    t.rec.SECSYSID = sec;
    t.rec.SECTIONNUMBER = sec;
    t.rec.MSGCOUNT = count;
    ASSERT_EQ(t.add(), Err::Ok);
  }
  void message(uint32_t number, uint32_t sec, uint32_t thread, uint32_t from, uint32_t to) {
    auto& m = s.MsgNmbr();
    m.clear();
    m.rec.MSGNUMBER = number;
    m.rec.SECSYSID = sec;
    m.rec.THREADNUMBER = thread;
    m.rec.FROMID = from;
    m.rec.TOID = to;
    ASSERT_EQ(m.add(), Err::Ok);
  }
  template <class R>
  R read(Table<R>& t, int key, uint32_t R::*field, uint32_t value) {
    t.clear();
    t.rec.*field = value;
    EXPECT_EQ(t.get(key), Err::Ok);
    return t.rec;
  }
  Forums forum() {
    OP_CLOSE(s, OpOpen, {2});
    Forums f = read(s.Forums(), Forums::ForumKey, &Forums::ID, id);
    OP_CLOSE(s, OpClose, {2});
    return f;
  }
  void flag() {
    OP_CLOSE(s, OpOpen, {2});
    read(s.Forums(), Forums::ForumKey, &Forums::ID, id);
    s.Forums().rec.COUNTFLAG = 1;
    EXPECT_EQ(s.Forums().put(), Err::Ok);
    OP_CLOSE(s, OpClose, {2});
  }
};

TEST(Counts, RecountSetsEveryCountFromTheMessages) {
  ForumDb db;
  db.person(1, 9, 9);  // wrong counts
  db.person(2, 0, 0);
  db.person(3, 4, 4);  // no messages: kept with zero counts
  db.section(10, 0);
  db.section(11, 7);
  db.thread(100, 10, 0);
  db.thread(101, 11, 5);
  db.message(1, 10, 100, 1, 2);
  db.message(2, 10, 100, 2, 1);
  db.message(3, 10, 101, 1, 2);  // a thread of another section: counted in the message's section
  db.flag();
  EXPECT_EQ(databasesToCount(db.s), std::vector<uint32_t>{db.id});

  RecountTotals t;
  ASSERT_TRUE(recountDatabase(db.s, db.id, &t));
  EXPECT_EQ(t.messages, 3u);
  EXPECT_EQ(t.persons, 3u);
  EXPECT_EQ(t.threads, 2u);
  EXPECT_EQ(t.sections, 2u);
  auto p1 = db.read(db.s.Person(), Person::PersonKey, &Person::PERSONID, 1);
  EXPECT_EQ(p1.FROMCOUNT, 2u);
  EXPECT_EQ(p1.TOCOUNT, 1u);
  auto p3 = db.read(db.s.Person(), Person::PersonKey, &Person::PERSONID, 3);
  EXPECT_EQ(p3.FROMCOUNT + p3.TOCOUNT, 0u);
  EXPECT_EQ(db.read(db.s.Threads(), Threads::ThreadKey, &Threads::THREADNUMBER, 100).MSGCOUNT, 2u);
  EXPECT_EQ(db.read(db.s.Threads(), Threads::ThreadKey, &Threads::THREADNUMBER, 101).MSGCOUNT, 1u);
  EXPECT_EQ(db.read(db.s.Sections(), Sections::SysIdKey, &Sections::SECSYSID, 10).MSGCOUNT, 3u);
  EXPECT_EQ(db.read(db.s.Sections(), Sections::SysIdKey, &Sections::SECSYSID, 11).MSGCOUNT, 0u);
  Forums f = db.forum();
  EXPECT_EQ(f.MSGCOUNT, 3u);
  EXPECT_EQ(f.COUNTFLAG, 0);
  EXPECT_TRUE(databasesToCount(db.s).empty());

  // Counted once more: nothing changes.
  ASSERT_TRUE(recountDatabase(db.s, db.id, &t));
  EXPECT_EQ(t.persons + t.threads + t.sections, 0u);
  EXPECT_FALSE(recountDatabase(db.s, 424242));
}

TEST(Counts, AMarkerIsFinishedOnlyWhenNoRunHoldsTheArchive) {
  ForumDb db;
  db.person(1, 5, 5);
  db.message(1, 10, 100, 1, 1);
  db.flag();
  ASSERT_TRUE(markRunStarted(db.s));
  EXPECT_TRUE(runMarkerFound(db.s));

  // A run still going on (its lock held by another handle) is left alone.
  RunGuard running;
  ASSERT_TRUE(running.acquire(db.s));
  EXPECT_TRUE(runActive(db.s));
  RunGuard second;
  EXPECT_FALSE(second.acquire(db.s));
  EXPECT_EQ(finishUnfinishedRun(db.s), 0);
  EXPECT_TRUE(runMarkerFound(db.s));
  // The run itself finishes it.
  EXPECT_EQ(finishUnfinishedRun(db.s, &running), 1);
  EXPECT_FALSE(runMarkerFound(db.s));
  running.release();

  // A run that was killed: no lock, the marker and the flag are left.
  db.flag();
  ASSERT_TRUE(markRunStarted(db.s));
  EXPECT_FALSE(runActive(db.s));
  EXPECT_EQ(finishUnfinishedRun(db.s), 1);
  EXPECT_FALSE(runMarkerFound(db.s));
  auto p = db.read(db.s.Person(), Person::PersonKey, &Person::PERSONID, 1);
  EXPECT_EQ(p.FROMCOUNT, 1u);
  EXPECT_EQ(p.TOCOUNT, 1u);
  EXPECT_EQ(db.forum().COUNTFLAG, 0);
}

}  // namespace
