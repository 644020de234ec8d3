#include "archive/browse/browse_status.h"

#include "archive/file_table.h"
#include "archive/record_access.h"

namespace qb::store {

namespace {

template <class R, class SetKey, class Change>
bool holdAndPut(Session& s, Table<R>& f, int key, SetKey setKey, Change change) {
  f.clear();
  setKey(f.rec);
  if (!HoldRec(s, f, key, HoldBy::Key)) return false;
  change(f.rec);
  return UppDat(s, f, UppChange, ErrRelease) == 1;
}

// Runs `work` with Forums open.
template <class Work>
bool withForums(Session& s, Work work) {
  OP_CLOSE(s, OpOpen, {FileNo::Forums});
  bool ok = work(s.Forums());
  OP_CLOSE(s, OpClose, {FileNo::Forums});
  return ok;
}

}  // namespace

bool setStatus(Session& s, StatusTarget target, uint32_t id, uint8_t status) {
  auto set = [status](auto& r) { r.DUMMY = status; };
  switch (target) {
    case StatusTarget::Message:
      return holdAndPut(s, s.MsgNmbr(), MsgNmbr::IdKey, [id](MsgNmbr& r) { r.MSGNUMBER = id; }, set);
    case StatusTarget::Thread:
      return holdAndPut(s, s.Threads(), Threads::ThreadKey, [id](Threads& r) { r.THREADNUMBER = id; }, set);
    case StatusTarget::Section:
      return holdAndPut(s, s.Sections(), Sections::SysIdKey, [id](Sections& r) { r.SECSYSID = id; }, set);
    case StatusTarget::Mail:
      return holdAndPut(s, s.Mail(), Mail::IdKey, [id](Mail& r) { r.MAILID = id; }, set);
    case StatusTarget::Partner:
      return holdAndPut(s, s.Person(), Person::PersonKey, [id](Person& r) { r.PERSONID = id; }, set);
    case StatusTarget::Database: {
      bool ok = withForums(s, [&](Table<Forums>& f) {
        return holdAndPut(s, f, Forums::ForumKey, [id](Forums& r) { r.ID = id; }, set);
      });
      if (ok && id == s.ForumNumber) s.ForumCheck = status;
      return ok;
    }
  }
  return false;
}

bool setImportAllowed(Session& s, uint32_t forumId, bool allowed) {
  return withForums(s, [&](Table<Forums>& f) {
    f.clear();
    f.rec.ID = forumId;
    if (f.get(Forums::ForumKey) != Err::Ok) return false;
    if ((f.rec.NOIMPORT != 0) == !allowed) return true;  // nothing to change
    return holdAndPut(s, f, Forums::ForumKey, [forumId](Forums& r) { r.ID = forumId; },
                      [allowed](Forums& r) { r.NOIMPORT = allowed ? 0 : 1; });
  });
}

bool renameDatabase(Session& s, uint32_t forumId, const std::string& name) {
  bool ok = withForums(s, [&](Table<Forums>& f) {
    return holdAndPut(s, f, Forums::ForumKey, [forumId](Forums& r) { r.ID = forumId; },
                      [&name](Forums& r) { r.DESCRIPTION = name; });
  });
  if (ok && forumId == s.ForumNumber) s.Description = FixedString<100>(name).str();
  return ok;
}

}  // namespace qb::store
