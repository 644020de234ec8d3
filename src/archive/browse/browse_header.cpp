#include "archive/browse/browse_header.h"

#include <cstdio>

#include "archive/browse/browse_rows.h"
#include "archive/session.h"

namespace qb::store {

namespace {

HeaderPerson personOf(Session& s, uint32_t id) {
  HeaderPerson p;
  if (!lookUpPerson(s, id)) return p;
  const Person& r = s.Person().rec;
  const std::string first = r.FIRSTNAME.str(), last = r.LASTNAME.str();
  p.name = first.empty() ? last : last.empty() ? first : first + " " + last;
  p.address = r.ADDRESS.str();
  return p;
}

}  // namespace

MessageHeader messageHeader(Session& s, bool mail, uint32_t id) {
  MessageHeader h;
  h.mail = mail;
  if (!id) return h;
  if (mail) {
    auto& f = s.Mail();
    f.clear();
    f.rec.MAILID = id;
    if (f.get(Mail::IdKey) != Err::Ok) return h;
    const Mail m = f.rec;
    h.found = true;
    h.number = m.MAILID;
    h.date = m.DATE;
    h.time = m.TIME;
    h.subject = m.SUBJECT.str();
    h.from = personOf(s, m.FROMID);
    h.to = personOf(s, m.TOID);
    auto& c = s.CCR();
    c.clear();
    c.rec.MAILID = id;
    if (c.setAt(CCR::IdKey, 1) == Err::Ok)
      while (c.next() == Err::Ok && c.rec.MAILID == id)
        h.cc.push_back({c.rec.R_NAME.str(), c.rec.R_CISADRESS.str()});
    return h;
  }
  auto& f = s.MsgNmbr();
  f.clear();
  f.rec.MSGNUMBER = id;
  if (f.get(MsgNmbr::IdKey) != Err::Ok) return h;
  const MsgNmbr m = f.rec;
  h.found = true;
  h.number = m.MSGNUMBER;
  h.replyTo = m.REFNUMBER != m.MSGNUMBER ? m.REFNUMBER : 0;
  h.date = m.DATE;
  h.from = personOf(s, m.FROMID);
  h.to = personOf(s, m.TOID);
  if (lookUpThread(s, m.THREADNUMBER)) h.subject = s.Threads().rec.heading();
  std::string secName;
  uint32_t secNumber = 0;
  if (lookUpSection(s, m.SECSYSID)) {
    secName = s.Sections().rec.DESCRIPTION.str();
    secNumber = s.Sections().rec.SECTIONNUMBER;
  }
  if (s.ForumType == KindNewsgroup) {
    // Several newsgroups in one database keep each one as a section.
    h.newsgroup = !secName.empty() ? secName : s.Description;
  } else {
    h.forum = s.Description;
    if (!secName.empty()) {
      char num[16];
      std::snprintf(num, sizeof num, "%02u ", secNumber % 100u);
      h.section = num + secName;
    }
  }
  while (!h.forum.empty() && h.forum.back() == ' ') h.forum.pop_back();
  while (!h.newsgroup.empty() && h.newsgroup.back() == ' ') h.newsgroup.pop_back();
  return h;
}

}  // namespace qb::store
