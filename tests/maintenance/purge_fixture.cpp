#include "purge_fixture.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "archive/config.h"
#include "archive/file_table.h"
#include "archive/record_access.h"
#include "import/import_run.h"
#include "support/archive_consistency.h"
#include "support/scripted_converter.h"
#include "text/datetime.h"

namespace qb::test {

using namespace qb::store;

std::string daysAgo(int days) {
  int y = 0, m = 0, d = 0;
  text::calendarDate(text::today() - days, y, m, d);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d", y, m, d);
  return buf;
}

MemoryTemp::MemoryTemp() {
  const char* old = std::getenv("TMPDIR");
  if (old) saved_ = old;
  had_ = old != nullptr;
  if (::access("/dev/shm", W_OK) == 0) ::setenv("TMPDIR", "/dev/shm", 1);
}

MemoryTemp::~MemoryTemp() {
  if (had_)
    ::setenv("TMPDIR", saved_.c_str(), 1);
  else
    ::unsetenv("TMPDIR");
}

PurgeFixture::PurgeFixture() : s(archive.session()) {
  Konfig(s, KonfigAction::LoadGeneral);
  Konfig(s, KonfigAction::LoadDisplay);
  SpeedVal(s, SpeedAction::Compute);
  inDir = archive.path("in");
  std::filesystem::create_directories(inDir);
}

void PurgeFixture::import(const std::vector<std::string>& lines) {
  std::string path = inDir + "/s" + std::to_string(++scripts) + ".scr";
  {
    std::ofstream out(path, std::ios::binary);
    for (const auto& l : lines) out << l << "\n";
  }
  import::ImportRequest r;
  r.typeName = kScriptType;
  r.selectionMethod = 2;
  r.files = {path};
  import::ImportRun ir(s, r, makeScriptConverter());
  while (ir.step()) {
  }
  ASSERT_FALSE(ir.stats().failed) << ir.stats().failure;
  ASSERT_EQ(ir.stats().imported, lines.size());
}

Forums PurgeFixture::use(const std::string& name) {
  OP_CLOSE(s, OpOpen, {FileNo::Forums});
  auto& f = s.Forums();
  f.clear();
  f.rec.DESCRIPTION = name;
  Forums out;
  if (f.get(Forums::AlphaKey) == Err::Ok) {
    out = f.rec;
    s.selectDatabase(out);
  }
  OP_CLOSE(s, OpClose, {FileNo::Forums});
  return out;
}

uint32_t PurgeFixture::messageByText(const std::string& text) {
  OP_CLOSE(s, OpOpen, {FileNo::MsgText});
  uint32_t id = 0;
  auto& t = s.MsgText();
  t.setFileOrder();
  while (t.next() == Err::Ok)
    if (t.memo() == text) id = t.rec.MSGNUMBER;
  OP_CLOSE(s, OpClose, {FileNo::MsgText});
  EXPECT_NE(id, 0u) << "no message with the text " << text;
  return id;
}

uint32_t PurgeFixture::threadBySubject(const std::string& subject) {
  OP_CLOSE(s, OpOpen, {FileNo::Threads});
  uint32_t id = 0;
  auto& t = s.Threads();
  t.setFileOrder();
  while (t.next() == Err::Ok)
    if (t.rec.heading() == subject) id = t.rec.THREADNUMBER;
  OP_CLOSE(s, OpClose, {FileNo::Threads});
  EXPECT_NE(id, 0u) << "no thread " << subject;
  return id;
}

uint32_t PurgeFixture::sectionByName(const std::string& name) {
  OP_CLOSE(s, OpOpen, {FileNo::Sections});
  uint32_t id = 0;
  auto& t = s.Sections();
  t.setFileOrder();
  while (t.next() == Err::Ok)
    if (t.rec.DESCRIPTION.str() == name) id = t.rec.SECSYSID;
  OP_CLOSE(s, OpClose, {FileNo::Sections});
  EXPECT_NE(id, 0u) << "no section " << name;
  return id;
}

uint32_t PurgeFixture::personByLastName(const std::string& last) {
  OP_CLOSE(s, OpOpen, {FileNo::Person});
  uint32_t id = 0;
  auto& t = s.Person();
  t.setFileOrder();
  while (t.next() == Err::Ok)
    if (t.rec.LASTNAME.str() == last) id = t.rec.PERSONID;
  OP_CLOSE(s, OpClose, {FileNo::Person});
  return id;
}

namespace {
template <class R>
void rewrite(Session& s, FileNo no, int key, const std::function<void(R&)>& set, const std::function<void(R&)>& change) {
  OP_CLOSE(s, OpOpen, {no});
  auto& f = s.table<R>(no);
  f.clear();
  set(f.rec);
  ASSERT_EQ(f.get(key), Err::Ok);
  change(f.rec);
  ASSERT_EQ(f.put(), Err::Ok);
  OP_CLOSE(s, OpClose, {no});
}
}  // namespace

void PurgeFixture::setMessageStatus(uint32_t id, uint8_t status) {
  if (s.ForumType == KindMail)
    rewrite<Mail>(s, FileNo::Mail, Mail::IdKey, [&](Mail& r) { r.MAILID = id; }, [&](Mail& r) { r.DUMMY = status; });
  else
    rewrite<MsgNmbr>(s, FileNo::MsgNmbr, MsgNmbr::IdKey, [&](MsgNmbr& r) { r.MSGNUMBER = id; },
                     [&](MsgNmbr& r) { r.DUMMY = status; });
}

void PurgeFixture::setThreadStatus(uint32_t number, uint8_t status) {
  rewrite<Threads>(s, FileNo::Threads, Threads::ThreadKey, [&](Threads& r) { r.THREADNUMBER = number; },
                   [&](Threads& r) { r.DUMMY = status; });
}

void PurgeFixture::setSectionStatus(uint32_t id, uint8_t status) {
  rewrite<Sections>(s, FileNo::Sections, Sections::SysIdKey, [&](Sections& r) { r.SECSYSID = id; },
                    [&](Sections& r) { r.DUMMY = status; });
}

void PurgeFixture::setPersonStatus(uint32_t id, uint8_t status) {
  rewrite<Person>(s, FileNo::Person, Person::PersonKey, [&](Person& r) { r.PERSONID = id; },
                  [&](Person& r) { r.DUMMY = status; });
}

void PurgeFixture::setDatabaseStatus(uint8_t status) {
  rewrite<Forums>(s, FileNo::Forums, Forums::ForumKey, [&](Forums& r) { r.ID = s.ForumNumber; },
                  [&](Forums& r) { r.DUMMY = status; });
  s.ForumCheck = status;
}

void PurgeFixture::setMail(uint32_t id, int32_t time, const std::string& text, const std::string& subject) {
  rewrite<Mail>(s, FileNo::Mail, Mail::IdKey, [&](Mail& r) { r.MAILID = id; }, [&](Mail& r) {
    r.TIME = time;
    if (!subject.empty()) r.SUBJECT = subject;
  });
  OP_CLOSE(s, OpOpen, {FileNo::MsgText});
  auto& t = s.MsgText();
  t.clear();
  t.rec.MSGNUMBER = id;
  ASSERT_EQ(t.get(MsgText::IdKey), Err::Ok);
  t.memo() = text;
  ASSERT_EQ(t.put(), Err::Ok);
  OP_CLOSE(s, OpClose, {FileNo::MsgText});
}

maintenance::PurgeStats PurgeFixture::run(maintenance::PurgeOptions options, maintenance::StartResult* started) {
  maintenance::PurgeRun r(s, options);
  maintenance::StartResult st = r.start();
  if (started) *started = st;
  if (st == maintenance::StartResult::Started) {
    int ticks = 0;
    while (r.step()) ++ticks;
    EXPECT_GT(ticks, 0);
  }
  return r.stats();
}

maintenance::PurgeStats PurgeFixture::purge(int ageWeeks) {
  maintenance::PurgeOptions o;
  o.ageWeeks = ageWeeks;
  o.sliceSize = 3;  // many ticks, many transactions
  return run(o);
}

maintenance::PurgeStats PurgeFixture::count() {
  maintenance::PurgeOptions o;
  o.mode = maintenance::PurgeMode::Count;
  o.sliceSize = 3;
  return run(o);
}

std::map<uint32_t, uint8_t> PurgeFixture::messages() {
  std::map<uint32_t, uint8_t> out;
  if (s.ForumType == KindMail) {
    OP_CLOSE(s, OpOpen, {FileNo::Mail});
    auto& m = s.Mail();
    m.setFileOrder();
    while (m.next() == Err::Ok) out[m.rec.MAILID] = m.rec.DUMMY;
    OP_CLOSE(s, OpClose, {FileNo::Mail});
  } else {
    OP_CLOSE(s, OpOpen, {FileNo::MsgNmbr});
    auto& m = s.MsgNmbr();
    m.setFileOrder();
    while (m.next() == Err::Ok) out[m.rec.MSGNUMBER] = m.rec.DUMMY;
    OP_CLOSE(s, OpClose, {FileNo::MsgNmbr});
  }
  return out;
}

std::set<std::string> PurgeFixture::texts() {
  std::set<std::string> out;
  OP_CLOSE(s, OpOpen, {FileNo::MsgText});
  auto& t = s.MsgText();
  t.setFileOrder();
  while (t.next() == Err::Ok) out.insert(t.memo());
  OP_CLOSE(s, OpClose, {FileNo::MsgText});
  return out;
}

std::map<uint32_t, uint32_t> PurgeFixture::threads() {
  std::map<uint32_t, uint32_t> out;
  OP_CLOSE(s, OpOpen, {FileNo::Threads});
  auto& t = s.Threads();
  t.setFileOrder();
  while (t.next() == Err::Ok) out[t.rec.THREADNUMBER] = t.rec.MSGCOUNT;
  OP_CLOSE(s, OpClose, {FileNo::Threads});
  return out;
}

std::map<uint32_t, uint32_t> PurgeFixture::sections() {
  std::map<uint32_t, uint32_t> out;
  OP_CLOSE(s, OpOpen, {FileNo::Sections});
  auto& t = s.Sections();
  t.setFileOrder();
  while (t.next() == Err::Ok) out[t.rec.SECSYSID] = t.rec.MSGCOUNT;
  OP_CLOSE(s, OpClose, {FileNo::Sections});
  return out;
}

std::set<uint32_t> PurgeFixture::persons() {
  std::set<uint32_t> out;
  OP_CLOSE(s, OpOpen, {FileNo::Person});
  auto& t = s.Person();
  t.setFileOrder();
  while (t.next() == Err::Ok) out.insert(t.rec.PERSONID);
  OP_CLOSE(s, OpClose, {FileNo::Person});
  return out;
}

void PurgeFixture::expectConsistent() {
  auto problems = checkDatabase(s, s.ForumNumber);
  for (auto& p : problems) ADD_FAILURE() << p;
}

}  // namespace qb::test
