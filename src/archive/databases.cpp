#include "archive/databases.h"

#include "text/datetime.h"
#include "archive/file_table.h"
#include "archive/record_access.h"

using qb::text::today;

namespace qb::store {

bool readDatabase(Session& s, uint32_t forumId, Forums& out) {
  OP_CLOSE(s, OpOpen, {FileNo::Forums});
  Table<Forums>& f = s.Forums();
  f.clear();
  f.rec.ID = forumId;
  const bool found = f.get(Forums::ForumKey) == Err::Ok;
  if (found) out = f.rec;
  OP_CLOSE(s, OpClose, {FileNo::Forums});
  return found;
}

uint32_t highestDirNumber(Session& s) {
  Table<Forums>& f = s.Forums();
  if (f.set(Forums::DirKey) != Err::Ok) return 0;
  return f.previous() == Err::Ok ? f.rec.DIRNUMBER : 0;
}

uint32_t createDatabase(Session& s, uint8_t kind, const std::string& name, ErrMode errMode) {
  OP_CLOSE(s, OpOpen, {FileNo::Forums, FileNo::Control});
  Table<Forums>& f = s.Forums();
  uint32_t dirNumber = highestDirNumber(s) + 1;
  uint32_t id = NextNr(s);
  uint32_t result = 0;
  if (id != 0) {
    f.clear();
    f.rec.ID = id;
    f.rec.DESCRIPTION = name;
    f.rec.TYPE = kind;
    f.rec.DIRNUMBER = dirNumber;
    f.rec.CREATED = today();
    f.rec.WORDLISTINDEXNEEDSUPDATE = 1;
    f.rec.INDEXTYPE = 1;
    if (UppDat(s, f, UppAdd, errMode)) {
      createDatabaseDirectory(s);
      result = id;
    }
  }
  OP_CLOSE(s, OpClose, {FileNo::Forums, FileNo::Control});
  return result;
}

}  // namespace qb::store
