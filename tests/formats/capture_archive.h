#pragma once
// A temporary archive for end-to-end imports of capture files: runs the
// import for a format and reads back what was stored in a forum database
// (headers, threads, sections, persons, texts) or in the mail database of
// the capture samples' owner.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <functional>
#include <map>
#include "import/import_run.h"
#include "archive/config.h"
#include "archive/file_table.h"
#include "archive/maildb.h"
#include "archive/records.h"
#include "support/temp_archive.h"

namespace qb::capturetest {

// The owner of the capture mail samples.
inline const char* kOwnerDb = "Wilma Thornbury";
inline const char* kOwnerAddress = "74321,1234";
inline const std::vector<std::string> kOwnerAlternatives{"wilma@example.com"};

inline std::string sampleDir(const std::string& dir) {
  return std::string(QB_SOURCE_DIR) + "/samples/captures/" + dir;
}

// What a forum database holds after an import.
struct ForumContents {
  store::Forums forum;
  std::vector<store::MsgNmbr> headers;
  std::vector<store::Threads> threads;
  std::vector<store::Sections> sections;
  std::vector<store::Person> persons;
  std::map<uint32_t, std::string> texts;

  const store::MsgNmbr* header(uint32_t n) const {
    for (auto& h : headers)
      if (h.MSGNUMBER == n) return &h;
    return nullptr;
  }
  const store::Threads* thread(uint32_t n) const {
    for (auto& t : threads)
      if (t.THREADNUMBER == n) return &t;
    return nullptr;
  }
  const store::Sections* section(uint32_t sysId) const {
    for (auto& s : sections)
      if (s.SECSYSID == sysId) return &s;
    return nullptr;
  }
  const store::Person* person(uint32_t id) const {
    for (auto& p : persons)
      if (p.PERSONID == id) return &p;
    return nullptr;
  }
};

class CaptureArchive {
 public:
  // The settings are loaded as at program start (this also sets up the
  // identifier generator the import run takes its numbers from).
  CaptureArchive() {
    store::Konfig(session(), store::KonfigAction::LoadGeneral);
    store::Konfig(session(), store::KonfigAction::LoadDisplay);
  }

  // The mail database of the samples' owner is created on demand.
  uint32_t createMailDatabase() {
    store::MailDatabaseFields f{kOwnerDb, kOwnerAddress, kOwnerAlternatives};
    mailDb = store::createMailDatabase(session(), f);
    EXPECT_NE(mailDb, 0u);
    return mailDb;
  }

  // Imports a directory (or one file) with the format `typeName`.
  import::RunStats import(const std::string& typeName, const std::string& path,
                          std::function<void(import::ImportRequest&)> adjust = {}) {
    import::ImportRequest req;
    req.typeName = typeName;
    if (std::filesystem::is_directory(path)) {
      req.selectionMethod = 1;
      req.sourcePath = path;
    } else {
      req.selectionMethod = 2;
      req.files = {path};
    }
    if (mailDb) req.mailDatabase = kOwnerDb;
    if (adjust) adjust(req);
    import::ImportRun run(session(), req);
    int steps = 0;
    while (run.step())
      if (++steps > 1000000) {
        ADD_FAILURE() << "the import does not end";
        break;
      }
    return run.stats();
  }

  ForumContents forum(const std::string& name) {
    store::Session& s = session();
    ForumContents c;
    c.forum = forumRecord(name);
    if (c.forum.ID == 0) return c;
    s.selectDatabase(c.forum);
    const std::vector<store::FileNo> files{store::FileNo::MsgNmbr, store::FileNo::MsgText, store::FileNo::Person, store::FileNo::Sections, store::FileNo::Threads};
    store::OP_CLOSE(s, store::OpOpen, files);
    c.headers = all(s.MsgNmbr());
    c.threads = all(s.Threads());
    c.sections = all(s.Sections());
    c.persons = all(s.Person());
    auto& text = s.MsgText();
    text.setFileOrder();
    while (text.next() == store::Err::Ok) c.texts[text.rec.MSGNUMBER] = text.memo();
    store::OP_CLOSE(s, store::OpClose, files);
    return c;
  }

  // One stored mail with its sender and recipient persons.
  struct StoredMail {
    store::Mail mail;
    std::string text;
    store::Person from, to;
  };
  // The mail of the owner's database in identifier order (the order of
  // conversion).
  std::vector<StoredMail> mails() {
    store::Session& s = session();
    std::vector<StoredMail> out;
    store::Forums db = forumRecord(kOwnerDb);
    if (db.ID == 0) return out;
    s.selectDatabase(db);
    const std::vector<store::FileNo> files{store::FileNo::Mail, store::FileNo::MsgText, store::FileNo::Person};
    store::OP_CLOSE(s, store::OpOpen, files);
    auto persons = all(s.Person());
    auto personOf = [&](uint32_t id) {
      for (auto& p : persons)
        if (p.PERSONID == id) return p;
      return store::Person{};
    };
    for (auto& m : all(s.Mail())) {
      StoredMail sm{m, {}, personOf(m.FROMID), personOf(m.TOID)};
      auto& text = s.MsgText();
      text.clear();
      text.rec.MSGNUMBER = m.MAILID;
      if (text.get(store::MsgText::IdKey) == store::Err::Ok) sm.text = text.memo();
      out.push_back(std::move(sm));
    }
    store::OP_CLOSE(s, store::OpClose, files);
    std::sort(out.begin(), out.end(), [](auto& a, auto& b) { return a.mail.MAILID < b.mail.MAILID; });
    return out;
  }

  store::Forums forumRecord(const std::string& name) {
    store::Session& s = session();
    store::Forums out;
    store::OP_CLOSE(s, store::OpOpen, {store::FileNo::Forums});
    auto& forums = s.Forums();
    forums.clear();
    forums.rec.DESCRIPTION = name;
    if (forums.get(store::Forums::AlphaKey) == store::Err::Ok) out = forums.rec;
    store::OP_CLOSE(s, store::OpClose, {store::FileNo::Forums});
    return out;
  }

  store::Session& session() { return archive.session(); }
  RecordingUI& ui() { return archive.ui; }

  test::TempArchive archive;
  uint32_t mailDb = 0;

 private:
  template <class R>
  static std::vector<R> all(store::Table<R>& t) {
    std::vector<R> out;
    t.setFileOrder();
    while (t.next() == store::Err::Ok) out.push_back(t.rec);
    return out;
  }
};

}  // namespace qb::capturetest
