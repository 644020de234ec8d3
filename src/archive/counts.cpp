#include "archive/counts.h"

#include <unordered_map>

#include "archive/file_table.h"
#include "archive/record_access.h"

namespace qb::store {
namespace {

struct FromTo {
  uint32_t from = 0, to = 0;
};

// Counts of one database, gathered in one pass over its message file.
struct Tally {
  std::unordered_map<uint32_t, FromTo> persons;
  std::unordered_map<uint32_t, uint32_t> threads;
  std::unordered_map<uint32_t, uint32_t> sections;
};

template <class R>
void tallyMessages(Table<R>& f, Tally& t) {
  f.setFileOrder();
  while (f.next() == Err::Ok) {
    ++t.persons[f.rec.FROMID].from;
    ++t.persons[f.rec.TOID].to;
    if constexpr (std::is_same_v<R, MsgNmbr>) {
      ++t.threads[f.rec.THREADNUMBER];
      ++t.sections[f.rec.SECSYSID];
    }
  }
}

template <class M>
uint32_t countOf(const M& m, uint32_t id) {
  auto it = m.find(id);
  return it == m.end() ? 0 : it->second;
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

bool recountDatabase(Session& s, uint32_t forumId, RecountTotals* totals) {
  RecountTotals result;
  OP_CLOSE(s, OpOpen, {FileNo::Forums});
  auto& forums = s.Forums();
  forums.clear();
  forums.rec.ID = forumId;
  if (forums.get(Forums::ForumKey) != Err::Ok) {
    OP_CLOSE(s, OpClose, {FileNo::Forums});
    return false;
  }
  const Forums db = forums.rec;
  const bool mail = db.TYPE == KindMail;
  const Session::DatabaseSelection saved = s.currentDatabase();
  s.selectDatabase(db);
  const std::vector<FileNo> files = mail ? std::vector<FileNo>{FileNo::Mail, FileNo::Person}
                                         : std::vector<FileNo>{FileNo::MsgNmbr, FileNo::Person, FileNo::Sections,
                                                               FileNo::Threads};
  OP_CLOSE(s, OpOpen, files);

  Tally t;
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
  ok = ok && rewrite(s, s.Person(), result.persons, [&](Person& p) {
         auto it = t.persons.find(p.PERSONID);
         FromTo c = it == t.persons.end() ? FromTo{} : it->second;
         if (p.FROMCOUNT == c.from && p.TOCOUNT == c.to) return false;
         p.FROMCOUNT = c.from;
         p.TOCOUNT = c.to;
         return true;
       });
  if (!mail) {
    ok = ok && rewrite(s, s.Threads(), result.threads, [&](Threads& r) {
           uint32_t n = countOf(t.threads, r.THREADNUMBER);
           if (r.MSGCOUNT == n) return false;
           r.MSGCOUNT = n;
           return true;
         });
    // Newsgroup sections are the newsgroups themselves; an import does not
    // count their messages, so neither does the recount.
    if (db.TYPE == KindForum)
      ok = ok && rewrite(s, s.Sections(), result.sections, [&](Sections& r) {
             uint32_t n = countOf(t.sections, r.SECSYSID);
             if (r.MSGCOUNT == n) return false;
             r.MSGCOUNT = n;
             return true;
           });
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
