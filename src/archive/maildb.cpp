#include "archive/maildb.h"

#include <filesystem>

#include "archive/databases.h"
#include "text/datetime.h"
#include "archive/file_table.h"
#include "archive/persons.h"
#include "archive/record_access.h"
#include "text/strings.h"

using qb::text::today;

namespace qb::store {

namespace {

void setFields(Forums& f, const MailDatabaseFields& fields) {
  f.DESCRIPTION = text::trim(fields.name, " ");
  f.MAILADDRESS = text::trim(fields.address, " ");
  std::size_t n = 0;
  for (auto& a : fields.alternatives) {
    std::string t = text::trim(a, " ");
    if (!t.empty() && n < f.ALTADDRESS.size()) f.ALTADDRESS[n++] = t;
  }
  for (; n < f.ALTADDRESS.size(); ++n) f.ALTADDRESS[n].clear();
}

// The current-database variables of a session, kept across work on
// another database.
struct CurrentDatabase {
  explicit CurrentDatabase(Session& s) : s_(s), saved_(s.currentDatabase()) {}
  ~CurrentDatabase() { s_.restoreDatabase(saved_); }

 private:
  Session& s_;
  Session::DatabaseSelection saved_;
};

}  // namespace

std::string checkMailDatabaseFields(const MailDatabaseFields& fields) {
  std::string name = text::trim(fields.name, " "), address = text::trim(fields.address, " ");
  if (name.empty()) return "The mail database needs a name.";
  if (name.size() > kMailDbNameLength)
    return "The name of a mail database has at most " + std::to_string(kMailDbNameLength) + " characters.";
  if (address.empty()) return "The mail database needs the owner's default mail address.";
  std::size_t alts = 0;
  for (auto& a : fields.alternatives)
    if (!text::trim(a, " ").empty()) ++alts;
  if (alts > kMaxAltAddresses)
    return "A mail database has at most " + std::to_string(kMaxAltAddresses) + " alternative addresses.";
  if (address.size() > kMailAddressLength) return "A mail address has at most 60 characters: " + address;
  for (auto& a : fields.alternatives)
    if (text::trim(a, " ").size() > kMailAddressLength)
      return "A mail address has at most 60 characters: " + text::trim(a, " ");
  return {};
}

uint32_t createMailDatabase(Session& s, const MailDatabaseFields& fields) {
  if (!checkMailDatabaseFields(fields).empty()) return 0;
  CurrentDatabase keep(s);
  OP_CLOSE(s, OpOpen, {FileNo::Forums, FileNo::Control});
  Table<Forums>& forums = s.Forums();

  // The next free directory, made current so that the owner's Person record
  // and the reference record are written there.
  uint32_t dirNumber = highestDirNumber(s) + 1;
  forums.clear();
  forums.rec.DIRNUMBER = dirNumber;
  forums.rec.TYPE = KindMail;
  setFields(forums.rec, fields);
  std::string dirnamn = "F" + std::to_string(dirNumber);
  std::string dir = s.FileDir + "/" + dirnamn;
  std::error_code ec;
  bool existed = std::filesystem::exists(dir, ec);
  if (!std::filesystem::create_directories(dir, ec) && !std::filesystem::is_directory(dir, ec)) {
    s.tell("The directory " + dir + " could not be created.", " Directory Creation Error");
    OP_CLOSE(s, OpClose, {FileNo::Forums, FileNo::Control});
    return 0;
  }
  s.Dirnamn = dirnamn;
  OP_CLOSE(s, OpOpen, {FileNo::Person, FileNo::PLINK, FileNo::Reference});

  uint32_t id = 0;
  if (beginTransaction(s, {&s.Forums(), &s.Control(), &s.Person(), &s.PLINK(), &s.REF()})) {
    bool ok = AddPers(s, text::trim(fields.name, " "), text::trim(fields.address, " ")) == 0;
    uint32_t personId = ok ? s.Person().rec.PERSONID : 0;
    uint32_t newId = ok ? NextNr(s) : 0;
    if (ok && newId == 0) {
      s.transaction().rollback();
      ok = false;
    }
    if (ok) {
      forums.clear();
      forums.rec.ID = newId;
      forums.rec.DIRNUMBER = dirNumber;
      forums.rec.CREATED = today();
      forums.rec.TYPE = KindMail;
      forums.rec.PERSONID = personId;
      forums.rec.WORDLISTINDEXNEEDSUPDATE = 1;
      forums.rec.INDEXTYPE = 1;
      setFields(forums.rec, fields);
      ok = UppDat(s, forums, UppAdd, ErrRollback) && UpdREF(s, ErrRollback) && commitTransaction(s);
    }
    if (ok) id = newId;
  }
  OP_CLOSE(s, OpClose, {FileNo::Person, FileNo::PLINK, FileNo::Reference, FileNo::Forums, FileNo::Control});
  if (id == 0 && !existed) {
    OP_CLOSE(s, OpCloseNow, {FileNo::Person, FileNo::PLINK, FileNo::Reference});
    std::filesystem::remove_all(dir, ec);
  }
  return id;
}

bool updateMailDatabase(Session& s, uint32_t forumId, const MailDatabaseFields& fields) {
  if (!checkMailDatabaseFields(fields).empty()) return false;
  CurrentDatabase keep(s);
  OP_CLOSE(s, OpOpen, {FileNo::Forums});
  Table<Forums>& forums = s.Forums();
  bool ok = false;
  forums.clear();
  forums.rec.ID = forumId;
  if (forums.get(Forums::ForumKey) == Err::Ok && forums.rec.TYPE == KindMail) {
    s.Dirnamn = "F" + std::to_string(forums.rec.DIRNUMBER);
    OP_CLOSE(s, OpOpen, {FileNo::Reference});
    if (beginTransaction(s, {&s.Forums(), &s.REF()})) {
      if (HoldRec(s, forums, Forums::ForumKey, HoldBy::Key)) {
        setFields(forums.rec, fields);
        ok = UppDat(s, forums, UppChange, ErrRollback) && UpdREF(s, ErrRollback) && commitTransaction(s);
      } else {
        s.transaction().rollback();
      }
      forums.release();
    }
    OP_CLOSE(s, OpClose, {FileNo::Reference});
  }
  OP_CLOSE(s, OpClose, {FileNo::Forums});
  return ok;
}

std::vector<Forums> listMailDatabases(Session& s) {
  std::vector<Forums> out;
  OP_CLOSE(s, OpOpen, {FileNo::Forums});
  Table<Forums>& forums = s.Forums();
  if (forums.set(Forums::AlphaKey) == Err::Ok)
    while (forums.next() == Err::Ok)
      if (forums.rec.TYPE == KindMail) out.push_back(forums.rec);
  OP_CLOSE(s, OpClose, {FileNo::Forums});
  return out;
}

bool findMailDatabase(Session& s, const std::string& name, Forums& out) {
  OP_CLOSE(s, OpOpen, {FileNo::Forums});
  Table<Forums>& forums = s.Forums();
  forums.clear();
  forums.rec.DESCRIPTION = text::trim(name, " ");
  bool found = forums.get(Forums::AlphaKey) == Err::Ok && forums.rec.TYPE == KindMail;
  if (found) out = forums.rec;
  OP_CLOSE(s, OpClose, {FileNo::Forums});
  return found;
}

}  // namespace qb::store
