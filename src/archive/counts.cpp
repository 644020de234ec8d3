#include "archive/counts.h"

#include <unordered_map>

#include "archive/databases.h"
#include "archive/file_table.h"
#include "archive/record_access.h"

namespace qb::store {
namespace {

template <class R>
void tallyMessages(Table<R>& f, MessageTally& t) {
  f.setFileOrder();
  while (f.next() == Err::Ok) t.add(f.rec);
}

// Writes the new counts of every record of `f` whose counts differ; false on
// a failed write (rolled back and told).
template <class R, class Apply>
bool rewrite(Session& s, Table<R>& f, uint32_t& changed, Apply apply) {
  f.setFileOrder();
  while (f.next() == Err::Ok) {
    if (!apply(f.rec)) continue;
    if (!UppDat(s, f, UppChange, ErrRollback)) return false;
    ++changed;
  }
  return true;
}

std::string lockPath(Session& s) { return s.cfgDir() + "/IMPORT.lck"; }

}  // namespace

void MessageTally::add(const MsgNmbr& m) {
  ++persons[m.FROMID].from;
  ++persons[m.TOID].to;
  ++threads[m.THREADNUMBER];
  ++sections[m.SECSYSID];
  ++messages;
}

void MessageTally::add(const Mail& m) {
  ++persons[m.FROMID].from;
  ++persons[m.TOID].to;
  ++messages;
}

MessageTally::FromTo MessageTally::personCounts(uint32_t personId) const {
  auto it = persons.find(personId);
  return it == persons.end() ? FromTo{} : it->second;
}

uint32_t MessageTally::threadCount(uint32_t threadNumber) const {
  auto it = threads.find(threadNumber);
  return it == threads.end() ? 0 : it->second;
}

uint32_t MessageTally::sectionCount(uint32_t secSysId) const {
  auto it = sections.find(secSysId);
  return it == sections.end() ? 0 : it->second;
}

bool applyCounts(const MessageTally& t, Person& p) {
  MessageTally::FromTo c = t.personCounts(p.PERSONID);
  if (p.FROMCOUNT == c.from && p.TOCOUNT == c.to) return false;
  p.FROMCOUNT = c.from;
  p.TOCOUNT = c.to;
  return true;
}

bool applyCounts(const MessageTally& t, Threads& r) {
  uint32_t n = t.threadCount(r.THREADNUMBER);
  if (r.MSGCOUNT == n) return false;
  r.MSGCOUNT = n;
  return true;
}

bool applyCounts(const MessageTally& t, Sections& r) {
  uint32_t n = t.sectionCount(r.SECSYSID);
  if (r.MSGCOUNT == n) return false;
  r.MSGCOUNT = n;
  return true;
}

bool recountDatabase(Session& s, uint32_t forumId, RecountTotals* totals) {
  RecountTotals result;
  Forums db;
  if (!readDatabase(s, forumId, db)) return false;
  OP_CLOSE(s, OpOpen, {FileNo::Forums});  // written with the counts
  auto& forums = s.Forums();
  const bool mail = db.TYPE == KindMail;
  const Session::DatabaseSelection saved = s.currentDatabase();
  s.selectDatabase(db);
  const std::vector<FileNo> files = mail ? std::vector<FileNo>{FileNo::Mail, FileNo::Person}
                                         : std::vector<FileNo>{FileNo::MsgNmbr, FileNo::Person, FileNo::Sections,
                                                               FileNo::Threads};
  OP_CLOSE(s, OpOpen, files);

  MessageTally t;
  if (mail)
    tallyMessages(s.Mail(), t);
  else
    tallyMessages(s.MsgNmbr(), t);
  result.messages = static_cast<uint32_t>(mail ? s.Mail().count() : s.MsgNmbr().count());

  std::vector<KeyedFile*> written = {&s.Person(), &forums};
  if (!mail) {
    written.push_back(&s.Threads());
    written.push_back(&s.Sections());
  }
  bool ok = beginTransaction(s, written, 5);
  ok = ok && rewrite(s, s.Person(), result.persons, [&](Person& p) { return applyCounts(t, p); });
  if (!mail) {
    ok = ok && rewrite(s, s.Threads(), result.threads, [&](Threads& r) { return applyCounts(t, r); });
    // Newsgroup sections are the newsgroups themselves; an import does not
    // count their messages, so neither does the recount.
    if (db.TYPE == KindForum)
      ok = ok && rewrite(s, s.Sections(), result.sections, [&](Sections& r) { return applyCounts(t, r); });
  }
  if (ok) {
    forums.clear();
    forums.rec.ID = forumId;
    ok = forums.get(Forums::ForumKey) == Err::Ok;
    if (ok && (forums.rec.MSGCOUNT != result.messages || forums.rec.COUNTFLAG != 0)) {
      forums.rec.MSGCOUNT = result.messages;
      forums.rec.COUNTFLAG = 0;
      ok = UppDat(s, forums, UppChange, ErrRollback) != 0;
    }
  }
  if (ok) {
    ok = commitTransaction(s);
    if (!ok) s.tell("The counts of " + db.DESCRIPTION.str() + " could not be written!", "Count Messages");
  } else if (s.transaction().active()) {
    s.transaction().rollback();
  }
  OP_CLOSE(s, OpClose, files);
  OP_CLOSE(s, OpClose, {FileNo::Forums});
  s.restoreDatabase(saved);
  if (ok && totals) *totals = result;
  return ok;
}

std::vector<uint32_t> databasesToCount(Session& s) {
  std::vector<uint32_t> ids;
  OP_CLOSE(s, OpOpen, {FileNo::Forums});
  auto& forums = s.Forums();
  forums.setFileOrder();
  while (forums.next() == Err::Ok)
    if (forums.rec.COUNTFLAG != 0) ids.push_back(forums.rec.ID);
  OP_CLOSE(s, OpClose, {FileNo::Forums});
  return ids;
}

bool RunGuard::acquire(Session& s) {
  if (lock_.isOpen()) return true;
  if (!lock_.open(lockPath(s))) return false;
  if (lock_.tryLock(FileLock::kFileByte, true)) return true;
  lock_.close();
  return false;
}

bool runActive(Session& s) {
  FileLock probe;
  if (!probe.open(lockPath(s))) return false;
  return probe.lockedByOther(FileLock::kFileByte);
}

namespace {

// Reads the marker record into the Control buffer; true when it is there.
bool readMarker(Session& s) {
  auto& ctl = s.Control();
  ctl.clear();
  ctl.rec.ID = kRunMarkerId;
  return ctl.get(Control::IdKey) == Err::Ok;
}

}  // namespace

bool markRunStarted(Session& s) {
  OP_CLOSE(s, OpOpen, {FileNo::Control});
  bool ok = readMarker(s);
  if (!ok) {
    auto& ctl = s.Control();
    ctl.clear();
    ctl.rec.ID = kRunMarkerId;
    ok = UppDat(s, ctl, UppAdd, ErrRelease) != 0;
  }
  OP_CLOSE(s, OpClose, {FileNo::Control});
  return ok;
}

bool markRunEnded(Session& s) {
  OP_CLOSE(s, OpOpen, {FileNo::Control});
  bool ok = !readMarker(s) || UppDat(s, s.Control(), UppDelete, ErrRelease) != 0;
  OP_CLOSE(s, OpClose, {FileNo::Control});
  return ok;
}

bool runMarkerFound(Session& s) {
  OP_CLOSE(s, OpOpen, {FileNo::Control});
  bool found = readMarker(s);
  OP_CLOSE(s, OpClose, {FileNo::Control});
  return found;
}

int finishUnfinishedRun(Session& s, const RunGuard* own) {
  if (!runMarkerFound(s)) return 0;
  if (!(own && own->held()) && runActive(s)) return 0;
  int counted = 0;
  for (uint32_t id : databasesToCount(s)) {
    if (!recountDatabase(s, id)) return -1;
    ++counted;
  }
  return markRunEnded(s) ? counted : -1;
}

}  // namespace qb::store
