#include "crash/archive_dump.h"

#include <sqlite3.h>

#include <algorithm>
#include <map>
#include <memory>
#include <sstream>
#include <type_traits>

#include "archive/counts.h"
#include "archive/file_table.h"
#include "archive/messages.h"
#include "archive/records.h"
#include "archive/session.h"

namespace qb::test {
namespace {

using store::Err;

template <class T>
struct IsArray : std::false_type {};
template <class T, std::size_t N>
struct IsArray<std::array<T, N>> : std::true_type {};

// Writes every field of a record as NAME=value, except those in `skip`.
struct FieldWriter {
  std::ostringstream out;
  std::vector<std::string> skip;

  template <class T>
  void operator()(const char* name, const T& v) {
    if (std::find(skip.begin(), skip.end(), name) != skip.end()) return;
    out << name << '=';
    write(v);
    out << '|';
  }
  template <class T>
  void write(const T& v) {
    if constexpr (std::is_integral_v<T>) {
      out << static_cast<long long>(v);
    } else if constexpr (IsArray<T>::value) {
      for (const auto& e : v) {
        write(e);
        out << ',';
      }
    } else {
      out << v.str();
    }
  }
};

template <class R>
std::string fields(R r, std::vector<std::string> skip) {
  FieldWriter w;
  w.skip = std::move(skip);
  r.visit(w);
  return w.out.str();
}

// The session opened on the home's files without the program's opening
// (which would finish an unfinished run).
struct RawArchive {
  RecordingUI ui;
  std::unique_ptr<store::Session> s;
  explicit RawArchive(const std::string& home) : s(std::make_unique<store::Session>(ui)) {
    s->Net = home;
    s->FileDir = home;
    s->TempDir = home + "/TEMP";
    s->MasIdxPath = home;
  }
  // The mail database (there is one in these archives).
  bool selectMail(store::Forums& db) {
    store::OP_CLOSE(*s, store::OpOpen, {2});
    auto& f = s->Forums();
    f.setFileOrder();
    bool found = false;
    while (f.next() == Err::Ok)
      if (f.rec.TYPE == store::KindMail) {
        db = f.rec;
        found = true;
        break;
      }
    store::OP_CLOSE(*s, store::OpClose, {2});
    if (found) s->selectDatabase(db);
    return found;
  }
};

// Every record of a file read by its first key and in file order: the same
// number, or a record is out of its key.
template <class R>
void checkKeyed(store::Table<R>& t, const char* name, std::vector<std::string>& problems, int key = 0) {
  uint64_t byKey = 0, byFile = 0;
  t.set(key);
  while (t.next() == Err::Ok) ++byKey;
  t.setFileOrder();
  while (t.next() == Err::Ok) ++byFile;
  if (byKey != byFile)
    problems.push_back(std::string(name) + ": " + std::to_string(byFile) + " records, " + std::to_string(byKey) +
                       " in the order of key " + std::to_string(key));
}

// Whether the store file notes key indexes deferred by a run, read straight
// from the file (an opening through the archive would build them).
bool deferralNoted(const std::string& path) {
  sqlite3* db = nullptr;
  bool noted = false;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* st = nullptr;
    noted = sqlite3_prepare_v2(db, "SELECT 1 FROM meta WHERE name='deferred'", -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW;
    sqlite3_finalize(st);
  }
  sqlite3_close_v2(db);
  return noted;
}

std::string mailFilePath(store::Session& s) {
  return s.databaseDir() + "/" + store::fileBaseName(store::FileNo::Mail);
}

}  // namespace

ArchiveDump dumpMailArchive(const std::string& home) {
  ArchiveDump d;
  RawArchive a(home);
  store::Session& s = *a.s;
  store::Forums db;
  if (!a.selectMail(db)) {
    d.problems.push_back("no mail database");
    return d;
  }
  d.lines.push_back("database " + fields(db, {"ID"}));
  if (deferralNoted(mailFilePath(s))) d.problems.push_back("Mail: key indexes deferred by a run are left");
  store::OP_CLOSE(s, store::OpOpen, {13, 4, 5, 17, 23, 9});

  std::map<uint32_t, std::string> person;
  auto& per = s.Person();
  per.setFileOrder();
  while (per.next() == Err::Ok) {
    person[per.rec.PERSONID] = per.rec.PERSONSTRING.str();
    d.lines.push_back("person " + fields(per.rec, {"PERSONID"}));
  }
  auto who = [&](uint32_t id) {
    auto it = person.find(id);
    return it == person.end() ? "?" + std::to_string(id) : it->second;
  };

  std::map<uint32_t, std::string> mailKey;
  auto& mail = s.Mail();
  auto& txt = s.MsgText();
  mail.setFileOrder();
  std::vector<store::Mail> mails;
  while (mail.next() == Err::Ok) mails.push_back(mail.rec);
  for (const store::Mail& m : mails) {
    txt.clear();
    txt.rec.MSGNUMBER = m.MAILID;
    std::string text = txt.get(store::MsgText::IdKey) == Err::Ok ? txt.memo() : "<no text>";
    std::string key = std::to_string(m.DATE) + "/" + std::to_string(m.TIME) + "/" + m.SUBJECT.str() + "/" +
                      who(m.FROMID) + "/" + who(m.TOID) + "/" + std::to_string(std::hash<std::string>{}(text));
    mailKey[m.MAILID] = key;
    d.lines.push_back("mail " + fields(m, {"MAILID", "FROMID", "TOID", "PAIRID"}) + "from=" + who(m.FROMID) +
                      "|to=" + who(m.TOID) + "|pair=" + who(m.PAIRID) + "|text=" + text);
  }
  auto mailOf = [&](uint32_t id) {
    auto it = mailKey.find(id);
    return it == mailKey.end() ? "?" + std::to_string(id) : it->second;
  };
  if (txt.count() != mail.count())
    d.problems.push_back(std::to_string(txt.count()) + " texts for " + std::to_string(mail.count()) + " mails");

  auto& ccr = s.CCR();
  ccr.setFileOrder();
  while (ccr.next() == Err::Ok) d.lines.push_back("copy " + mailOf(ccr.rec.MAILID) + "|" + fields(ccr.rec, {"MAILID"}));
  auto& link = s.PLINK();
  link.setFileOrder();
  while (link.next() == Err::Ok)
    d.lines.push_back("alias " + fields(link.rec, {"PERSONID"}) + "person=" + who(link.rec.PERSONID));
  auto& sin = s.SIndex();
  sin.setFileOrder();
  while (sin.next() == Err::Ok)
    d.lines.push_back("topic " + std::to_string(sin.rec.ID) + "|" + mailOf(sin.rec.MSGNUMBER));

  for (int k = 0; k < static_cast<int>(store::Mail::layout().keys.size()); ++k) checkKeyed(mail, "Mail", d.problems, k);
  checkKeyed(txt, "MsgText", d.problems);
  checkKeyed(per, "Person", d.problems);
  checkKeyed(ccr, "CCR", d.problems);
  store::OP_CLOSE(s, store::OpClose, {13, 4, 5, 17, 23, 9});
  if (store::runMarkerFound(s)) d.problems.push_back("the run marker is left");
  std::sort(d.lines.begin(), d.lines.end());
  return d;
}

RunState readRunState(const std::string& home) {
  RunState st;
  RawArchive a(home);
  store::Forums db;
  if (!a.selectMail(db)) return st;
  st.countsDue = db.COUNTFLAG != 0;
  // Read straight from the file, so that keys a killed run deferred are
  // left for the program to build.
  const std::string mailFile = mailFilePath(*a.s);
  st.deferredKeys = deferralNoted(mailFile);
  int64_t n = store::KeyedFile::storedCount(mailFile);
  st.mails = n > 0 ? static_cast<uint64_t>(n) : 0;
  st.marker = store::runMarkerFound(*a.s);
  return st;
}

std::vector<std::string> differences(const ArchiveDump& a, const ArchiveDump& b, std::size_t max) {
  std::vector<std::string> out;
  for (const auto& p : b.problems) out.push_back("problem: " + p);
  std::vector<std::string> onlyA, onlyB;
  std::set_difference(a.lines.begin(), a.lines.end(), b.lines.begin(), b.lines.end(), std::back_inserter(onlyA));
  std::set_difference(b.lines.begin(), b.lines.end(), a.lines.begin(), a.lines.end(), std::back_inserter(onlyB));
  for (const auto& l : onlyA) out.push_back("only in the clean import: " + l.substr(0, 300));
  for (const auto& l : onlyB) out.push_back("only after the kill: " + l.substr(0, 300));
  if (out.size() > max) out.resize(max);
  return out;
}

}  // namespace qb::test
