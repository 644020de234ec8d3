#include "archive/browse/browse_rows.h"
#include "text/unicode.h"

#include <cstdio>

namespace qb::store {

RowColour rowColour(uint8_t m, uint8_t t, uint8_t s, uint8_t d) {
  if (m == StatusDelete || (t == StatusDelete && m != StatusKeep) ||
      (s == StatusDelete && t != StatusKeep && m != StatusKeep) ||
      (d == StatusDelete && s != StatusKeep && t != StatusKeep && m != StatusKeep))
    return RowColour::Delete;
  if (m == StatusKeep || t == StatusKeep || s == StatusKeep || d == StatusKeep) return RowColour::Keep;
  return RowColour::None;
}

std::string browseName(const Person& p, int nameFormat) {
  std::string last = p.LASTNAME.str(), first = p.FIRSTNAME.str(), addr = p.ADDRESS.str();
  if (last.empty() && first.empty()) return "<" + addr + ">";
  if (nameFormat == 2) return last + "," + first + " <" + addr + ">";
  return last + "," + first;
}

bool lookUpPerson(Session& s, uint32_t id) {
  auto& f = s.Person();
  f.clear();
  f.rec.PERSONID = id;
  if (id && f.get(Person::PersonKey) == Err::Ok) return true;
  f.clear();
  return false;
}

bool lookUpThread(Session& s, uint32_t number) {
  auto& f = s.Threads();
  f.clear();
  f.rec.THREADNUMBER = number;
  if (f.get(Threads::ThreadKey) == Err::Ok) return true;
  f.clear();
  return false;
}

bool lookUpSection(Session& s, uint32_t secsysid) {
  auto& f = s.Sections();
  f.clear();
  f.rec.SECSYSID = secsysid;
  if (f.get(Sections::SysIdKey) == Err::Ok) return true;
  f.clear();
  return false;
}

namespace {
std::string cut(std::string s, std::size_t n) {
  s.resize(text::utf8Prefix(s, n));
  return s;
}
}  // namespace

MsgRow buildMsgRow(Session& s, const MsgNmbr& m, const RowOptions& o) {
  MsgRow r;
  r.DATE = m.DATE;
  r.FROMID = m.FROMID;
  r.TOID = m.TOID;
  r.SECSYSID = m.SECSYSID;
  r.THREADNUMBER = m.THREADNUMBER;
  r.MSGNUMBER = m.MSGNUMBER;
  r.REFNUMBER = m.REFNUMBER;
  r.MSGCHECK = m.DUMMY;
  if (lookUpThread(s, m.THREADNUMBER)) {
    const auto& t = s.Threads().rec;
    r.HEADER = cut(std::string(t.ALPHA.raw()) + t.BETA.str(), 50);
    while (!r.HEADER.empty() && r.HEADER.back() == ' ') r.HEADER.pop_back();
    r.THREADCHECK = t.DUMMY;
  }
  if (lookUpPerson(s, m.FROMID)) r.FROMSTRING = cut(browseName(s.Person().rec, o.nameFormat), 50);
  if (lookUpPerson(s, m.TOID)) r.TOSTRING = cut(browseName(s.Person().rec, o.nameFormat), 50);
  if (lookUpSection(s, m.SECSYSID)) {
    const auto& sec = s.Sections().rec;
    if (o.targetNG) {
      r.SECDESC = sec.DESCRIPTION.str();
    } else {
      char num[16];
      std::snprintf(num, sizeof num, "%02u ", sec.SECTIONNUMBER % 100u);
      r.SECDESC = num + sec.DESCRIPTION.str();
    }
    r.SECTIONCHECK = sec.DUMMY;
  }
  r.colour = rowColour(r.MSGCHECK, r.THREADCHECK, r.SECTIONCHECK, o.forumCheck);
  return r;
}

MailRow buildMailRow(Session& s, const Mail& m, const RowOptions& o) {
  MailRow r;
  r.DATE = m.DATE;
  r.TIME = m.TIME;
  r.SUBJECT = m.SUBJECT.str();
  r.RECIPTYPE = m.RECIPTYPE.str();
  r.PAIRALPHA = m.PAIRALPHA.str();
  r.MAILID = m.MAILID;
  r.FROMID = m.FROMID;
  r.TOID = m.TOID;
  r.PAIRID = m.PAIRID;
  r.MAILCHECK = m.DUMMY;
  r.CCRCHECK = m.CCR;
  if (lookUpPerson(s, m.FROMID)) r.FROMSTRING = cut(browseName(s.Person().rec, o.nameFormat), 95);
  if (lookUpPerson(s, m.TOID)) r.TOSTRING = cut(browseName(s.Person().rec, o.nameFormat), 95);
  if (lookUpPerson(s, m.PAIRID)) {
    r.PAIRCHECK = s.Person().rec.DUMMY;
    r.PAIRSTRING = cut(browseName(s.Person().rec, o.nameFormat), 95);
  }
  r.colour = rowColour(r.MAILCHECK, r.PAIRCHECK, 0, o.forumCheck);
  return r;
}

}  // namespace qb::store
