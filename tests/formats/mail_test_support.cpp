#include "formats/mail_test_support.h"

#include <algorithm>
#include <filesystem>

#include "archive/file_table.h"
#include "archive/records.h"

namespace qb::mailtest {

std::string sampleDir(const std::string& dir) { return std::string(QB_SOURCE_DIR) + "/samples/mail/" + dir; }

MailArchive::MailArchive() {
  store::MailDatabaseFields f{kOwnerDb, kOwnerAddress, {"rq@example.org", "robin.quayle@example.net"}};
  dbId = store::createMailDatabase(archive.session(), f);
  EXPECT_NE(dbId, 0u);
}

import::RunStats MailArchive::import(const std::string& typeName, const std::string& path, const std::string& mask) {
  import::ImportRequest req;
  req.typeName = typeName;
  if (std::filesystem::is_directory(path)) {
    req.selectionMethod = 1;
    req.sourcePath = path;
  } else {
    req.selectionMethod = 2;
    req.files = {path};
  }
  req.pattern = mask;
  req.mailDatabase = kOwnerDb;
  import::ImportRun run(archive.session(), req);
  int steps = 0;
  while (run.step())
    if (++steps > 1000000) {
      ADD_FAILURE() << "the import does not end";
      break;
    }
  return run.stats();
}

std::vector<StoredMail> MailArchive::mails() {
  store::Session& s = archive.session();
  std::vector<StoredMail> out;
  store::OP_CLOSE(s, store::OpOpen, {store::FileNo::Forums});
  auto& forums = s.Forums();
  forums.clear();
  forums.rec.ID = dbId;
  bool found = forums.get(store::Forums::ForumKey) == store::Err::Ok;
  store::OP_CLOSE(s, store::OpClose, {store::FileNo::Forums});
  if (!found) {
    ADD_FAILURE() << "the mail database is gone";
    return out;
  }
  s.selectDatabase(forums.rec);
  store::OP_CLOSE(s, store::OpOpen, {store::FileNo::Mail, store::FileNo::MsgText, store::FileNo::Person, store::FileNo::CCR});
  auto& mail = s.Mail();
  auto& text = s.MsgText();
  auto& person = s.Person();
  auto& ccr = s.CCR();
  auto personOf = [&](uint32_t id, std::string& name, std::string& address) {
    person.clear();
    person.rec.PERSONID = id;
    if (person.get(store::Person::PersonKey) != store::Err::Ok) return;
    name = person.rec.FIRSTNAME.str().empty() ? person.rec.LASTNAME.str()
                                               : person.rec.FIRSTNAME.str() + " " + person.rec.LASTNAME.str();
    address = person.rec.ADDRESS.str();
  };
  mail.set(store::Mail::DateKey);
  while (mail.next() == store::Err::Ok) {
    StoredMail m;
    m.mail = mail.rec;
    text.clear();
    text.rec.MSGNUMBER = m.mail.MAILID;
    if (text.get(store::MsgText::IdKey) == store::Err::Ok) m.text = text.memo();
    personOf(m.mail.FROMID, m.from, m.fromAddress);
    personOf(m.mail.TOID, m.to, m.toAddress);
    m.partner = m.mail.PAIRALPHA.str();
    ccr.clear();
    ccr.rec.MAILID = m.mail.MAILID;
    if (ccr.setAt(store::CCR::IdKey, 1) == store::Err::Ok)
      while (ccr.next() == store::Err::Ok && ccr.rec.MAILID == m.mail.MAILID) m.copies.push_back(ccr.rec);
    out.push_back(std::move(m));
  }
  store::OP_CLOSE(s, store::OpClose, {store::FileNo::Mail, store::FileNo::MsgText, store::FileNo::Person, store::FileNo::CCR});
  std::reverse(out.begin(), out.end());
  return out;
}

}  // namespace qb::mailtest
