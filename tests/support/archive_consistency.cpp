#include "support/archive_consistency.h"

#include <sqlite3.h>

#include <filesystem>
#include <map>
#include <set>

#include "archive/archive_home.h"
#include "archive/config.h"
#include "archive/file_table.h"
#include "archive/postings.h"

namespace qb::test {

using namespace qb::store;

namespace {

struct Problems {
  std::vector<std::string> lines;
  std::size_t max;
  void add(const std::string& s) {
    if (lines.size() < max) lines.push_back(s);
  }
};

}  // namespace

std::vector<std::string> checkDatabase(Session& s, uint32_t forumId, ConsistencyOptions options, std::size_t max) {
  Problems p{{}, max};
  const Session::DatabaseSelection saved = s.currentDatabase();
  OP_CLOSE(s, OpOpen, {FileNo::Forums});
  s.Forums().clear();
  s.Forums().rec.ID = forumId;
  if (s.Forums().get(Forums::ForumKey) != Err::Ok) {
    OP_CLOSE(s, OpClose, {FileNo::Forums});
    return {"database " + std::to_string(forumId) + " not found"};
  }
  const Forums db = s.Forums().rec;
  s.selectDatabase(db);
  const bool mail = db.TYPE == KindMail;
  const std::string where = db.DESCRIPTION.str() + ": ";
  std::vector<FileNo> files = {FileNo::MsgText, FileNo::Person, FileNo::PLINK, FileNo::Codes, FileNo::SIndex};
  if (mail) {
    files.push_back(FileNo::Mail);
    files.push_back(FileNo::CCR);
  } else {
    files.push_back(FileNo::MsgNmbr);
    files.push_back(FileNo::Threads);
    files.push_back(FileNo::Sections);
  }
  OP_CLOSE(s, OpOpen, files);

  std::set<uint32_t> messages;
  std::map<uint32_t, std::pair<uint32_t, uint32_t>> perPerson;  // from, to
  std::map<uint32_t, uint32_t> perThread, perSection;
  if (mail) {
    auto& m = s.Mail();
    m.setFileOrder();
    while (m.next() == Err::Ok) {
      messages.insert(m.rec.MAILID);
      ++perPerson[m.rec.FROMID].first;
      ++perPerson[m.rec.TOID].second;
    }
  } else {
    std::set<uint32_t> threads, sections;
    auto& t = s.Threads();
    t.setFileOrder();
    std::map<uint32_t, uint32_t> threadSection;
    while (t.next() == Err::Ok) threadSection[t.rec.THREADNUMBER] = t.rec.SECSYSID;
    auto& sec = s.Sections();
    sec.setFileOrder();
    while (sec.next() == Err::Ok) sections.insert(sec.rec.SECSYSID);
    auto& m = s.MsgNmbr();
    m.setFileOrder();
    while (m.next() == Err::Ok) {
      messages.insert(m.rec.MSGNUMBER);
      ++perPerson[m.rec.FROMID].first;
      ++perPerson[m.rec.TOID].second;
      ++perThread[m.rec.THREADNUMBER];
      ++perSection[m.rec.SECSYSID];
      if (!threadSection.count(m.rec.THREADNUMBER))
        p.add(where + "message " + std::to_string(m.rec.MSGNUMBER) + " belongs to missing thread " +
              std::to_string(m.rec.THREADNUMBER));
    }
    for (auto& [n, sec] : threadSection)
      if (!sections.count(sec)) p.add(where + "thread " + std::to_string(n) + " belongs to missing section");
    if (options.counts) {
      t.setFileOrder();
      while (t.next() == Err::Ok) {
        uint32_t n = perThread[t.rec.THREADNUMBER];
        if (n == 0) p.add(where + "thread " + std::to_string(t.rec.THREADNUMBER) + " has no messages");
        if (t.rec.MSGCOUNT != n)
          p.add(where + "thread " + std::to_string(t.rec.THREADNUMBER) + " counts " + std::to_string(t.rec.MSGCOUNT) +
                ", holds " + std::to_string(n));
      }
      sec.setFileOrder();
      while (sec.next() == Err::Ok) {
        uint32_t n = perSection[sec.rec.SECSYSID];
        if (n == 0) p.add(where + "section " + std::to_string(sec.rec.SECSYSID) + " has no messages");
        if (sec.rec.MSGCOUNT != n)
          p.add(where + "section " + std::to_string(sec.rec.SECSYSID) + " counts " +
                std::to_string(sec.rec.MSGCOUNT) + ", holds " + std::to_string(n));
      }
    }
  }
  // Texts and messages.
  std::set<uint32_t> texts;
  auto& txt = s.MsgText();
  txt.setFileOrder();
  while (txt.next() == Err::Ok) {
    texts.insert(txt.rec.MSGNUMBER);
    if (!messages.count(txt.rec.MSGNUMBER)) p.add(where + "orphan text " + std::to_string(txt.rec.MSGNUMBER));
  }
  for (uint32_t m : messages)
    if (!texts.count(m)) p.add(where + "message " + std::to_string(m) + " without text");
  // Persons and their links.
  std::set<uint32_t> persons;
  auto& per = s.Person();
  per.setFileOrder();
  while (per.next() == Err::Ok) {
    persons.insert(per.rec.PERSONID);
    if (!options.counts) continue;
    auto c = perPerson[per.rec.PERSONID];
    const std::string who = where + "person " + std::to_string(per.rec.PERSONID) + " ";
    if (c.first == 0 && c.second == 0 && !(mail && per.rec.PERSONID == db.PERSONID))
      p.add(who + "has no messages");
    if (per.rec.FROMCOUNT != c.first || per.rec.TOCOUNT != c.second)
      p.add(who + "counts " + std::to_string(per.rec.FROMCOUNT) + "/" + std::to_string(per.rec.TOCOUNT) +
            ", sent/received " + std::to_string(c.first) + "/" + std::to_string(c.second));
  }
  auto& link = s.PLINK();
  link.setFileOrder();
  while (link.next() == Err::Ok)
    if (!persons.count(link.rec.PERSONID))
      p.add(where + "person link \"" + link.rec.PERSONSTRING.str() + "\" without its person");
  if (mail) {
    auto& cc = s.CCR();
    cc.setFileOrder();
    while (cc.next() == Err::Ok)
      if (!messages.count(cc.rec.MAILID)) p.add(where + "carbon copy of missing mail " + std::to_string(cc.rec.MAILID));
  }
  // Topics.
  std::map<uint32_t, uint32_t> perTopic;
  std::set<uint32_t> topics;
  auto& codes = s.Codes();
  codes.setFileOrder();
  while (codes.next() == Err::Ok) topics.insert(codes.rec.ID);
  auto& sin = s.SIndex();
  sin.setFileOrder();
  while (sin.next() == Err::Ok) {
    ++perTopic[sin.rec.ID];
    if (!messages.count(sin.rec.MSGNUMBER))
      p.add(where + "topic link to missing message " + std::to_string(sin.rec.MSGNUMBER));
    if (!topics.count(sin.rec.ID)) p.add(where + "topic link to missing topic " + std::to_string(sin.rec.ID));
  }
  if (options.counts) {
    codes.setFileOrder();
    while (codes.next() == Err::Ok)
      if (codes.rec.COUNT != perTopic[codes.rec.ID])
        p.add(where + "topic " + std::to_string(codes.rec.ID) + " counts " + std::to_string(codes.rec.COUNT) +
              ", links " + std::to_string(perTopic[codes.rec.ID]));
    if (db.MSGCOUNT != messages.size())
      p.add(where + "database counts " + std::to_string(db.MSGCOUNT) + ", holds " + std::to_string(messages.size()));
    if (db.COUNTFLAG != 0) p.add(where + "counts are due");
  }
  // Postings.
  if (options.postings) {
    std::string dir = (s.MasIdxPath.empty() ? s.FileDir : s.MasIdxPath) + "/" + s.Dirnamn;
    if (std::filesystem::exists(dir + "/" + fileBaseName(FileNo::MasIdx))) {
      Postings post;
      if (post.open(s) == Err::Ok) {
        for (uint32_t id : post.indexedMessages())
          if (!messages.count(id)) p.add(where + "word-index postings of missing message " + std::to_string(id));
        post.close();
      } else {
        p.add(where + "the word index cannot be opened");
      }
    }
  }
  OP_CLOSE(s, OpClose, files);
  OP_CLOSE(s, OpClose, {FileNo::Forums});
  s.restoreDatabase(saved);
  return p.lines;
}

std::vector<std::string> checkArchive(const std::string& home, ConsistencyOptions options) {
  RecordingUI ui;
  Session s(ui);
  if (openHome(s, home) != HomeStatus::Ready) return {"the archive at " + home + " cannot be opened"};
  Konfig(s, KonfigAction::LoadGeneral);
  Konfig(s, KonfigAction::LoadDisplay);
  std::vector<uint32_t> ids;
  OP_CLOSE(s, OpOpen, {FileNo::Forums});
  s.Forums().setFileOrder();
  while (s.Forums().next() == Err::Ok) ids.push_back(s.Forums().rec.ID);
  OP_CLOSE(s, OpClose, {FileNo::Forums});
  std::vector<std::string> all;
  for (uint32_t id : ids)
    for (auto& line : checkDatabase(s, id, options)) all.push_back(line);
  return all;
}

std::vector<std::string> integrityProblems(const std::string& home) {
  std::vector<std::string> out;
  for (auto& e : std::filesystem::recursive_directory_iterator(home)) {
    if (!e.is_regular_file() || e.path().extension() != ".TPS") continue;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(e.path().c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
      out.push_back(e.path().string() + ": cannot be opened");
      sqlite3_close(db);
      continue;
    }
    sqlite3_stmt* st = nullptr;
    std::string answer;
    if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &st, nullptr) == SQLITE_OK) {
      while (sqlite3_step(st) == SQLITE_ROW) {
        if (!answer.empty()) answer += "; ";
        answer += reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
      }
    } else {
      answer = sqlite3_errmsg(db);
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    if (answer != "ok") out.push_back(e.path().string() + ": " + answer);
  }
  return out;
}

}  // namespace qb::test
