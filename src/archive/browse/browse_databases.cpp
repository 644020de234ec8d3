#include "archive/browse/browse_databases.h"

#include <filesystem>

#include "archive/config.h"
#include "archive/databases.h"
#include "archive/file_table.h"
#include "archive/record_access.h"

namespace qb::store {

bool activateForum(Session& s, const Forums& f) {
  std::error_code ec;
  std::string dir = s.FileDir + "/F" + std::to_string(f.DIRNUMBER);
  if (!std::filesystem::is_directory(dir, ec)) return false;
  s.selectDatabase(f);
  return true;
}

bool chooseStartupDatabase(Session& s) {
  s.clearDatabase();
  OP_CLOSE(s, OpOpen, {FileNo::Forums});
  auto& f = s.Forums();
  bool found = false;
  if (f.count() > 0) {
    int32_t last = setting(s, SetLastDatabase);
    if (last) {
      f.clear();
      f.rec.ID = static_cast<uint32_t>(last);
      if (f.get(Forums::ForumKey) == Err::Ok) found = activateForum(s, f.rec);
    }
    if (!found) {
      f.setFileOrder();
      while (!found && f.next() == Err::Ok) found = activateForum(s, f.rec);
    }
  }
  OP_CLOSE(s, OpClose, {FileNo::Forums});
  return found;
}

void rememberDatabase(Session& s) {
  int32_t id = static_cast<int32_t>(s.ForumNumber);
  if (Konfig(s, KonfigAction::SetGeneral, SetLastDatabase, id)) Konfig(s, KonfigAction::WriteGeneral);
}

DatabaseRow databaseRow(const Forums& f) {
  DatabaseRow r;
  r.DESCRIPTION = f.DESCRIPTION.str();
  r.DBTYPE = kindName(f.TYPE);
  r.DIRNAMN = "F" + std::to_string(f.DIRNUMBER);
  r.MSGCOUNT = f.MSGCOUNT;
  r.COUNTSTRING = f.COUNTFLAG ? "No" : "Yes";
  r.ALLOWIMPORT = f.NOIMPORT ? "No" : "Yes";
  r.ID = f.ID;
  r.DIRNUMBER = f.DIRNUMBER;
  r.NOIMPORT = f.NOIMPORT;
  r.STATUS = f.DUMMY;
  return r;
}

std::vector<DatabaseRow> databaseRows(Session& s, DatabaseOrder order) {
  std::vector<DatabaseRow> rows;
  OP_CLOSE(s, OpOpen, {FileNo::Forums});
  auto& f = s.Forums();
  f.set(order == DatabaseOrder::ByName ? Forums::AlphaKey : Forums::DirKey);
  while (f.next() == Err::Ok) rows.push_back(databaseRow(f.rec));
  OP_CLOSE(s, OpClose, {FileNo::Forums});
  return rows;
}

bool chooseDatabase(Session& s, uint32_t forumId) {
  OP_CLOSE(s, OpOpen, {FileNo::Forums});
  auto& f = s.Forums();
  f.clear();
  f.rec.ID = forumId;
  bool ok = f.get(Forums::ForumKey) == Err::Ok;
  if (ok) {
    s.selectDatabase(f.rec);
    UpdREF(s, ErrQuiet);
  }
  OP_CLOSE(s, OpClose, {FileNo::Forums});
  return ok;
}

uint32_t addForumDatabase(Session& s, const std::string& name) {
  // Adding a database makes it current; the current one stays current here.
  const uint32_t before = s.ForumNumber;
  const uint32_t added = createDatabase(s, KindForum, name, ErrRelease);
  if (before) chooseDatabase(s, before);
  else s.clearDatabase();
  return added;
}

bool renamable(const DatabaseRow& r) { return r.DESCRIPTION != "Unknown:" + r.DIRNAMN; }

std::vector<MailDatabaseRow> mailDatabaseRows(Session& s) {
  std::vector<MailDatabaseRow> rows;
  for (const Forums& f : listMailDatabases(s)) {
    MailDatabaseRow r;
    r.ID = f.ID;
    r.fields.name = f.DESCRIPTION.str();
    r.fields.address = f.MAILADDRESS.str();
    for (auto& a : f.ALTADDRESS)
      if (!a.blank()) r.fields.alternatives.push_back(a.str());
    rows.push_back(std::move(r));
  }
  return rows;
}

}  // namespace qb::store
