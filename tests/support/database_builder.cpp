#include "support/database_builder.h"

#include <stdexcept>

#include "archive/file_table.h"
#include "archive/session.h"
#include "text/datetime.h"

using qb::text::dayNumber;

namespace qb::test {

using namespace qb::store;

DatabaseBuilder::DatabaseBuilder(TempArchive& a) : s(a.session()) {
  OP_CLOSE(s, OpOpen, {3, 4, 5, 6, 7, 13, 25});
}

DatabaseBuilder::~DatabaseBuilder() { OP_CLOSE(s, OpClose, {3, 4, 5, 6, 7, 13, 25}); }

namespace {
template <class T>
void mustAdd(T& f) {
  if (f.add() != Err::Ok) throw std::runtime_error("cannot add a test record");
}
}  // namespace

void DatabaseBuilder::section(uint32_t secsysid, uint32_t number, const std::string& desc, uint8_t status) {
  auto& f = s.Sections();
  f.clear();
  f.rec.SECSYSID = secsysid;
  f.rec.SECTIONNUMBER = number;
  f.rec.DESCRIPTION = desc;
  f.rec.DUMMY = status;
  mustAdd(f);
}

void DatabaseBuilder::thread(uint32_t number, uint32_t secsysid, const std::string& heading, uint8_t status,
                             uint32_t count) {
  auto& f = s.Threads();
  f.clear();
  f.rec.THREADNUMBER = number;
  f.rec.SECSYSID = secsysid;
  f.rec.setHeading(heading);
  f.rec.DUMMY = status;
  f.rec.MSGCOUNT = count;
  mustAdd(f);
}

void DatabaseBuilder::person(uint32_t id, const std::string& last, const std::string& first,
                             const std::string& addr, uint32_t fromCount, uint32_t toCount) {
  auto& f = s.Person();
  f.clear();
  f.rec.PERSONID = id;
  f.rec.LASTNAME = last;
  f.rec.FIRSTNAME = first;
  f.rec.ADDRESS = addr;
  f.rec.PERSONSTRING = first + " " + last + " " + addr + " " + std::to_string(id);
  f.rec.FROMCOUNT = fromCount;
  f.rec.TOCOUNT = toCount;
  mustAdd(f);
}

std::string DatabaseBuilder::alphaOf(uint32_t threadNumber) {
  auto& t = s.Threads();
  t.clear();
  t.rec.THREADNUMBER = threadNumber;
  return t.get(Threads::ThreadKey) == Err::Ok ? t.rec.ALPHA.str() : "";
}

void DatabaseBuilder::message(uint32_t number, uint32_t secsysid, uint32_t threadNumber, uint32_t ref,
                              uint32_t from, uint32_t to, int32_t date, const std::string& text, uint8_t status) {
  const std::string alpha = alphaOf(threadNumber);
  auto lastOf = [&](uint32_t id) {
    auto& p = s.Person();
    p.clear();
    p.rec.PERSONID = id;
    return p.get(Person::PersonKey) == Err::Ok ? p.rec.LASTNAME.str() : "";
  };
  auto& f = s.MsgNmbr();
  f.clear();
  f.rec.MSGNUMBER = number;
  f.rec.SECSYSID = secsysid;
  f.rec.THREADNUMBER = threadNumber;
  f.rec.THREADALPHA = alpha;
  f.rec.REFNUMBER = ref;
  f.rec.FROMID = from;
  f.rec.FROMALPHA = lastOf(from);
  f.rec.TOID = to;
  f.rec.TOALPHA = lastOf(to);
  f.rec.DATE = date;
  f.rec.DUMMY = status;
  mustAdd(f);
  if (!text.empty()) {
    auto& t = s.MsgText();
    t.clear();
    t.rec.MSGNUMBER = number;
    t.rec.DATE = date;
    t.memo() = text;
    mustAdd(t);
  }
}

void DatabaseBuilder::mail(uint32_t id, int32_t date, int32_t time, const std::string& subject, uint32_t from,
                           uint32_t to, uint32_t pair, const std::string& text, uint8_t status) {
  auto lastOf = [&](uint32_t pid) {
    auto& p = s.Person();
    p.clear();
    p.rec.PERSONID = pid;
    return p.get(Person::PersonKey) == Err::Ok ? p.rec.LASTNAME.str() : "";
  };
  auto& f = s.Mail();
  f.clear();
  f.rec.MAILID = id;
  f.rec.DATE = date;
  f.rec.TIME = time;
  f.rec.SUBJECT = subject;
  f.rec.FROMID = from;
  f.rec.FROMALPHA = lastOf(from);
  f.rec.TOID = to;
  f.rec.TOALPHA = lastOf(to);
  f.rec.PAIRID = pair;
  f.rec.PAIRALPHA = lastOf(pair);
  f.rec.DUMMY = status;
  mustAdd(f);
  if (!text.empty()) {
    auto& t = s.MsgText();
    t.clear();
    t.rec.MSGNUMBER = id;
    t.memo() = text;
    mustAdd(t);
  }
}

void DatabaseBuilder::manyMessages(uint32_t count, uint32_t secsysid, uint32_t from, uint32_t to) {
  auto& f = s.MsgNmbr();
  const int32_t first = dayNumber(1990, 1, 1);
  if (f.stream() != Err::Ok) throw std::runtime_error("cannot stream");
  for (uint32_t n = 1; n <= count; ++n) {
    f.clear();
    f.rec.MSGNUMBER = n;
    f.rec.SECSYSID = secsysid;
    f.rec.THREADNUMBER = 1 + (n - 1) / 100;
    f.rec.THREADALPHA = "T" + std::to_string(f.rec.THREADNUMBER);
    f.rec.REFNUMBER = (n - 1) % 100 ? n - 1 : 0;
    f.rec.FROMID = from;
    f.rec.TOID = to;
    f.rec.DATE = first + static_cast<int32_t>(n / 50);
    if (f.append() != Err::Ok) throw std::runtime_error("cannot append");
  }
  if (f.flush() != Err::Ok || f.buildKeys() != Err::Ok) throw std::runtime_error("cannot key");
}

}  // namespace qb::test
