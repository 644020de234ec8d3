#include "maintenance/database_removal.h"

#include <filesystem>

#include "archive/databases.h"
#include "archive/file_table.h"
#include "archive/record_access.h"
#include "archive/paths.h"

namespace qb::maintenance {

using namespace qb::store;

bool removeDatabase(Session& s, uint32_t forumId) {
  Forums db;
  if (!readDatabase(s, forumId, db)) return false;
  OP_CLOSE(s, OpOpen, {FileNo::Forums});  // for the deletion of the record at the end
  auto& forums = s.Forums();
  // Every file of the database's directory is closed first, whatever its
  // open count.
  const Session::DatabaseSelection saved = s.currentDatabase();
  const bool wasCurrent = saved.ForumNumber == forumId;
  s.selectDatabase(db);
  for (FileNo f : {FileNo::Codes, FileNo::MsgNmbr, FileNo::MsgText, FileNo::Person, FileNo::Sections,
                   FileNo::Threads, FileNo::SIndex, FileNo::Mail, FileNo::CCR, FileNo::Reference, FileNo::PLINK,
                   FileNo::MsgString})
    if (s.openCount(fileNumber(f)) > 0) OP_CLOSE(s, OpCloseNow, {f});
  if (KeyedFile* w = s.existingFile(FileNo::WordList)) w->close();
  std::string dir = s.databaseDir();
  std::string indexDir = trimPath(s.MasIdxPath.empty() ? s.FileDir : s.MasIdxPath) + "/" + s.Dirnamn;
  std::error_code ec;
  bool removed = true;
  if (!db.NODIR && !s.Dirnamn.empty()) {
    std::filesystem::remove_all(dir, ec);
    if (ec) removed = false;
    if (removed && indexDir != dir) std::filesystem::remove_all(indexDir, ec);
    if (ec) removed = false;
  }
  if (wasCurrent)
    s.clearDatabase();
  else
    s.restoreDatabase(saved);
  if (!removed) {
    s.tell("The directory " + dir + " could not be removed completely: " + ec.message(), "File Deletion Error!");
    OP_CLOSE(s, OpClose, {FileNo::Forums});
    return false;
  }
  forums.clear();
  forums.rec.ID = forumId;
  bool ok = forums.get(Forums::ForumKey) == Err::Ok && UppDat(s, forums, UppDelete, ErrRelease) != 0;
  OP_CLOSE(s, OpClose, {FileNo::Forums});
  return ok;
}

}  // namespace qb::maintenance
