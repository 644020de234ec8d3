#include "cli/db_lookup.h"

#include <cctype>
#include <cstdio>

#include "archive/file_table.h"

namespace qb::cli {

bool findDatabase(store::Session& s, const std::string& nameOrId, store::Forums& out) {
  store::OP_CLOSE(s, store::OpOpen, {store::FileNo::Forums});
  auto& f = s.Forums();
  f.clear();
  f.rec.DESCRIPTION = nameOrId;
  bool found = f.get(store::Forums::AlphaKey) == store::Err::Ok;
  bool digits = !nameOrId.empty() && nameOrId.size() <= 10;
  for (char c : nameOrId) digits = digits && std::isdigit(static_cast<unsigned char>(c));
  if (!found && digits && std::stoull(nameOrId) <= 0xFFFFFFFFull) {
    f.clear();
    f.rec.ID = static_cast<uint32_t>(std::stoull(nameOrId));
    found = f.get(store::Forums::ForumKey) == store::Err::Ok;
  }
  if (found) out = f.rec;
  store::OP_CLOSE(s, store::OpClose, {store::FileNo::Forums});
  if (!found) {
    std::fprintf(stderr, "quillbox-cli: there is no database \"%s\" (see `quillbox-cli databases`)\n",
                 nameOrId.c_str());
    return false;
  }
  if (out.NODIR) {
    std::fprintf(stderr, "quillbox-cli: the database \"%s\" has no directory\n", nameOrId.c_str());
    return false;
  }
  return true;
}

}  // namespace qb::cli
