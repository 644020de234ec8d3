#include "archive/browse/browse_files.h"

#include <vector>

#include "archive/file_table.h"
#include "archive/session.h"

namespace qb::store {

namespace {
std::vector<int> filesOf(BrowseFiles which) {
  switch (which) {
    // SIndex (9) for the Topic view.
    case BrowseFiles::Messages: return {3, 4, 5, 6, 7, 9};
    case BrowseFiles::Mail: return {13, 4, 5, 17, 9};
    case BrowseFiles::ThreadTree: return {3, 7, 5};
  }
  return {};
}
}  // namespace

void openBrowseFiles(Session& s, BrowseFiles which) { OP_CLOSE(s, OpOpen, filesOf(which)); }

void closeBrowseFiles(Session& s, BrowseFiles which) { OP_CLOSE(s, OpClose, filesOf(which)); }

uint8_t refreshDatabaseStatus(Session& s) {
  OP_CLOSE(s, OpOpen, {FileNo::Forums});
  s.Forums().clear();
  s.Forums().rec.ID = s.ForumNumber;
  if (s.Forums().get(Forums::ForumKey) == Err::Ok) s.ForumCheck = s.Forums().rec.DUMMY;
  OP_CLOSE(s, OpClose, {FileNo::Forums});
  return s.ForumCheck;
}

void closeArchiveFiles(Session& s) {
  OP_CLOSE(s, OpCloseNow,
           {FileNo::Codes, FileNo::Forums, FileNo::MsgNmbr, FileNo::MsgText, FileNo::Person, FileNo::Sections,
            FileNo::Threads, FileNo::SIndex, FileNo::Mail, FileNo::CCR, FileNo::SaveFile, FileNo::Reference,
            FileNo::PLINK, FileNo::MsgString});
}

}  // namespace qb::store
