#include "archive/browse/browse_files.h"

#include <vector>

#include "archive/file_table.h"
#include "archive/session.h"

namespace qb::store {

namespace {
std::vector<int> filesOf(BrowseFiles which) {
  switch (which) {
    case BrowseFiles::Messages: return {3, 4, 5, 6, 7};
    case BrowseFiles::Mail: return {13, 4, 5, 17};
    case BrowseFiles::ThreadTree: return {3, 7, 5};
  }
  return {};
}
}  // namespace

void openBrowseFiles(Session& s, BrowseFiles which) { OP_CLOSE(s, OpOpen, filesOf(which)); }

void closeBrowseFiles(Session& s, BrowseFiles which) { OP_CLOSE(s, OpClose, filesOf(which)); }

uint8_t refreshDatabaseStatus(Session& s) {
  OP_CLOSE(s, OpOpen, {2});
  s.Forums().clear();
  s.Forums().rec.ID = s.ForumNumber;
  if (s.Forums().get(Forums::ForumKey) == Err::Ok) s.ForumCheck = s.Forums().rec.DUMMY;
  OP_CLOSE(s, OpClose, {2});
  return s.ForumCheck;
}

void closeArchiveFiles(Session& s) {
  OP_CLOSE(s, OpCloseNow, {1, 2, 3, 4, 5, 6, 7, 9, 13, 17, 18, 22, 23, 25});
}

}  // namespace qb::store
