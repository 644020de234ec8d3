// Record access: UppDat with its error modes, holds between two copies of
// the program, the two-step save of a listed record, transactions, QError
// and the identifier generator.
#include <gtest/gtest.h>

#include "archive/file_table.h"
#include "archive/record_access.h"
#include "support/temp_archive.h"

using namespace qb::store;

namespace {

// A database with one person, Person open in the session.
struct PersonArchive {
  qb::test::TempArchive a;
  Session& s = a.session();
  PersonArchive() {
    a.addDatabase(KindMail, "Mail");
    OP_CLOSE(s, OpOpen, {FileNo::Person});
    addPerson(1, "ONE A");
    addPerson(2, "TWO B");
    a.ui.entries.clear();
  }
  ~PersonArchive() { OP_CLOSE(s, OpClose, {FileNo::Person}); }
  void addPerson(uint32_t id, const std::string& str) {
    s.Person().clear();
    s.Person().rec.PERSONID = id;
    s.Person().rec.PERSONSTRING = str;
    if (!UppDat(s, s.Person(), UppAdd, ErrRelease)) throw std::runtime_error("add");
  }
  // A second copy of the program on the same archive, same database.
  std::unique_ptr<Session> other(qb::RecordingUI& ui) {
    auto o = a.newSession(ui);
    OP_CLOSE(*o, OpOpen, {FileNo::Forums});
    o->Forums().clear();
    o->Forums().rec.ID = s.ForumNumber;
    if (o->Forums().get(Forums::ForumKey) != Err::Ok) throw std::runtime_error("forum");
    o->selectDatabase(o->Forums().rec);
    OP_CLOSE(*o, OpClose, {FileNo::Forums});
    OP_CLOSE(*o, OpOpen, {FileNo::Person});
    return o;
  }
};

}  // namespace

TEST(ArchiveAccess, UppDatReportsByActionAndErrorMode) {
  PersonArchive p;
  Session& s = p.s;
  auto& f = s.Person();
  f.clear();
  f.rec.PERSONID = 1;  // exists
  f.rec.PERSONSTRING = "NEW";
  EXPECT_EQ(UppDat(s, f, UppAdd, ErrRelease), 0);
  ASSERT_EQ(p.a.ui.entries.size(), 1u);
  EXPECT_EQ(p.a.ui.entries[0].text, "Record add error!\r\nA record with identical key already exists!");
  EXPECT_EQ(p.a.ui.entries[0].title, fileTitle(f));
  EXPECT_EQ(fileTitle(f), p.a.home() + "/F1/IDX005.TPS");

  EXPECT_EQ(UppDat(s, f, UppAdd, ErrQuiet), 0);
  EXPECT_EQ(p.a.ui.entries.size(), 1u) << "other modes are silent";

  // Change and delete of a record that is gone.
  f.clear();
  f.rec.PERSONID = 2;
  ASSERT_EQ(f.get(Person::PersonKey), Err::Ok);
  ASSERT_EQ(UppDat(s, f, UppDelete, ErrRelease), 1);
  EXPECT_EQ(UppDat(s, f, UppChange, ErrRelease), 0);
  EXPECT_EQ(p.a.ui.entries.back().text.rfind("Record update error!\r\n", 0), 0u);
  EXPECT_EQ(f.count(), 1);
}

TEST(ArchiveAccess, ErrorMode8RollsBackSilentlyDuringTaskProcessing) {
  PersonArchive p;
  Session& s = p.s;
  auto& f = s.Person();
  ASSERT_TRUE(beginTransaction(s, {&f}));
  p.addPerson(3, "THREE C");
  s.DoTask = 2;
  f.clear();
  f.rec.PERSONID = 1;
  EXPECT_EQ(UppDat(s, f, UppAdd, ErrRollback), 0);
  EXPECT_TRUE(p.a.ui.entries.empty());
  EXPECT_FALSE(s.transaction().active());
  EXPECT_EQ(f.count(), 2) << "the whole transaction is gone";

  s.DoTask = 0;
  ASSERT_TRUE(beginTransaction(s, {&f}));
  EXPECT_EQ(UppDat(s, f, UppAdd, ErrRollback), 0);
  ASSERT_EQ(p.a.ui.entries.size(), 1u);
  EXPECT_EQ(p.a.ui.entries[0].text,
            "Record add error!\r\nA record with identical key already exists!\r\nThe last transaction is rolled back.");
  EXPECT_FALSE(s.transaction().active());
}

TEST(ArchiveAccess, TransactionCommitsAndFailsToStartWithAMessage) {
  PersonArchive p;
  Session& s = p.s;
  ASSERT_TRUE(beginTransaction(s, {&s.Person()}));
  p.addPerson(3, "THREE C");
  EXPECT_TRUE(commitTransaction(s));
  EXPECT_EQ(s.Person().count(), 3);
  // Both helpers report success as true: with nothing open there is nothing
  // to commit.
  EXPECT_FALSE(commitTransaction(s));
  EXPECT_TRUE(p.a.ui.entries.empty());

  // A file that is not open cannot take part.
  EXPECT_FALSE(beginTransaction(s, {&s.Threads()}, 0));
  ASSERT_EQ(p.a.ui.entries.size(), 1u);
  EXPECT_EQ(p.a.ui.entries[0].text.rfind("Transaction Frame Error!\r\n", 0), 0u);
  EXPECT_EQ(p.a.ui.entries[0].title, "Warning!");
  EXPECT_FALSE(s.transaction().active());
}

TEST(ArchiveAccess, HoldByOneCopyMakesTheOthersHoldFail) {
  PersonArchive p;
  Session& s = p.s;
  qb::RecordingUI otherUi;
  auto o = p.other(otherUi);
  s.Person().clear();
  s.Person().rec.PERSONID = 1;
  ASSERT_EQ(HoldRec(s, s.Person(), Person::PersonKey, HoldBy::Key), 1);
  int64_t pos = s.Person().position();

  o->Person().clear();
  o->Person().rec.PERSONID = 1;
  EXPECT_EQ(HoldRec(*o, o->Person(), Person::PersonKey, HoldBy::Key), 0);
  ASSERT_EQ(otherUi.entries.size(), 1u);
  EXPECT_EQ(otherUi.entries[0].text, "The record is locked by another user!\r\nUpdate is cancelled, try again later!");
  EXPECT_EQ(otherUi.entries[0].title, "The record is not accessible!");

  s.Person().release();
  EXPECT_EQ(HoldRec(*o, o->Person(), 0, HoldBy::Position, pos), 1) << "by position once released";
  o->Person().release();

  // A record deleted by the first copy.
  ASSERT_EQ(HoldRec(s, s.Person(), 0, HoldBy::Position, pos), 1);
  ASSERT_EQ(UppDat(s, s.Person(), UppDelete, ErrRelease), 1);
  EXPECT_EQ(HoldRec(*o, o->Person(), 0, HoldBy::Position, pos), 0);
  EXPECT_EQ(otherUi.entries.back().text,
            "The record has been deleted by another user!\r\n                   Update is cancelled!");
  OP_CLOSE(*o, OpClose, {FileNo::Person});
}

TEST(ArchiveAccess, SecondEditorOfARecordIsWarnedThenWrites) {
  PersonArchive p;
  Session& s = p.s;
  qb::RecordingUI otherUi;
  auto o = p.other(otherUi);

  // Both copies show person 1 in a list and start editing it.
  s.Person().clear();
  s.Person().rec.PERSONID = 1;
  ASSERT_EQ(s.Person().get(Person::PersonKey), Err::Ok);
  SaveRec<Person> mine(s, s.Person());
  EXPECT_EQ(mine.begin(EditChange), std::to_string(s.Person().position()));
  o->Person().clear();
  o->Person().rec.PERSONID = 1;
  ASSERT_EQ(o->Person().get(Person::PersonKey), Err::Ok);
  SaveRec<Person> theirs(*o, o->Person());
  int refreshed = 0;
  theirs.onRefresh = [&] { ++refreshed; };
  theirs.begin(EditChange);

  s.Person().rec.LASTNAME = "First";
  EXPECT_EQ(mine.save(), "OK");

  o->Person().rec.LASTNAME = "Second";
  EXPECT_EQ(theirs.save(), "");
  ASSERT_EQ(otherUi.entries.size(), 1u);
  EXPECT_EQ(otherUi.entries[0].text, "The record has just been changed by another user!\r\nTry again!");
  EXPECT_EQ(otherUi.entries[0].title, "Warning!");
  EXPECT_EQ(refreshed, 1);
  EXPECT_EQ(o->Person().rec.LASTNAME.str(), "Second") << "the edit stays in the window";
  EXPECT_EQ(theirs.asRead().LASTNAME.str(), "First");

  EXPECT_EQ(theirs.save(), "OK") << "confirming again writes";
  s.Person().clear();
  s.Person().rec.PERSONID = 1;
  ASSERT_EQ(s.Person().get(Person::PersonKey), Err::Ok);
  EXPECT_EQ(s.Person().rec.LASTNAME.str(), "Second");

  // Deleting through the list.
  SaveRec<Person> del(s, s.Person());
  del.begin(EditDelete);
  EXPECT_EQ(del.save(), "OK");
  EXPECT_EQ(s.Person().count(), 1);
  OP_CLOSE(*o, OpClose, {FileNo::Person});
}

TEST(ArchiveAccess, QErrorReportsListFailures) {
  qb::test::TempArchive a;
  Session& s = a.session();
  EXPECT_EQ(QError(s, ErrRelease, QueueResult::Ok), 0);
  EXPECT_EQ(QError(s, ErrRelease, QueueResult::NotFound), 0);
  EXPECT_TRUE(a.ui.entries.empty());
  EXPECT_EQ(QError(s, ErrRelease, QueueResult::OutOfMemory), 1);
  EXPECT_EQ(a.ui.entries.back().text, "Queue access error\r\nInsufficient memory!");
  EXPECT_EQ(a.ui.entries.back().title, "Fatal error!");
  EXPECT_EQ(QError(s, ErrRollback, QueueResult::Other, "Something"), 1);
  EXPECT_EQ(a.ui.entries.back().text, "Queue access error\r\nSomething\r\nThe last transaction is rolled back.");
  EXPECT_EQ(a.ui.entries.back().title, "Fatal error");
}

TEST(ArchiveAccess, NextNrStartsAtOneOnAnEmptyControlFile) {
  qb::test::TempArchive a;
  Session& s = a.session();
  OP_CLOSE(s, OpEmpty, {FileNo::Control});
  EXPECT_EQ(NextNr(s), 1u);
  OP_CLOSE(s, OpOpen, {FileNo::Control});
  s.Control().clear();
  s.Control().rec.ID = 1;
  ASSERT_EQ(s.Control().get(Control::IdKey), Err::Ok);
  EXPECT_EQ(s.Control().rec.NEXTNUMBER, 2u);
  OP_CLOSE(s, OpClose, {FileNo::Control});
  EXPECT_EQ(NextNr(s), 2u);
  EXPECT_EQ(s.openCount(8), 0);

  // Another copy of the program continues the same count.
  qb::RecordingUI ui2;
  auto o = a.newSession(ui2);
  EXPECT_EQ(NextNr(*o), 3u);
  EXPECT_TRUE(a.ui.entries.empty());
}
