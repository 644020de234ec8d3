#include "archive/browse/browse_lookup.h"

#include "archive/browse/browse_rows.h"
#include "archive/browse/browse_text.h"
#include "archive/session.h"

namespace qb::store {

namespace {
uint32_t personCount(Session& s, uint32_t id, bool from, bool to) {
  if (!lookUpPerson(s, id)) return 0;
  const Person& p = s.Person().rec;
  return (from ? p.FROMCOUNT : 0) + (to ? p.TOCOUNT : 0);
}
}  // namespace

uint32_t viewCount(Session& s, const BrowseState& state) {
  const BrowseFilter f = state.filter();
  if (state.mail) {
    const MailBrowseContext& c = state.box;
    switch (f) {
      case BrowseFilter::Partner: if (c.XPAIRID) return personCount(s, c.XPAIRID, true, true); break;
      case BrowseFilter::Sender: if (c.XSENDID) return personCount(s, c.XSENDID, true, false); break;
      case BrowseFilter::Receiver: if (c.XRECEIVEID) return personCount(s, c.XRECEIVEID, false, true); break;
      default: break;
    }
    return static_cast<uint32_t>(s.Mail().count());
  }
  const BrowseContext& c = state.msg;
  switch (f) {
    case BrowseFilter::Thread:
      if (c.XTHREADNUMBER) return lookUpThread(s, c.XTHREADNUMBER) ? s.Threads().rec.MSGCOUNT : 0;
      break;
    case BrowseFilter::Section:
      if (c.XSECSYSID) return lookUpSection(s, c.XSECSYSID) ? s.Sections().rec.MSGCOUNT : 0;
      break;
    case BrowseFilter::Sender: if (c.XSENDID) return personCount(s, c.XSENDID, true, false); break;
    case BrowseFilter::Receiver: if (c.XRECEIVEID) return personCount(s, c.XRECEIVEID, false, true); break;
    default: break;
  }
  return static_cast<uint32_t>(s.MsgNmbr().count());
}

uint32_t headerCount(Session& s, bool mail) {
  return static_cast<uint32_t>(mail ? s.Mail().count() : s.MsgNmbr().count());
}

std::string filterName(Session& s, const BrowseState& state, int nameFormat) {
  auto person = [&](uint32_t id) {
    return id && lookUpPerson(s, id) ? browseName(s.Person().rec, nameFormat) : std::string();
  };
  const BrowseFilter f = state.filter();
  if (state.mail) {
    const MailBrowseContext& c = state.box;
    switch (f) {
      case BrowseFilter::Partner: return c.XPAIRID ? c.XPAIRALPHA.str() + " - " + person(c.XPAIRID) : "";
      case BrowseFilter::Sender: return person(c.XSENDID);
      case BrowseFilter::Receiver: return person(c.XRECEIVEID);
      default: return {};
    }
  }
  const BrowseContext& c = state.msg;
  switch (f) {
    case BrowseFilter::Thread:
      return c.XTHREADNUMBER && lookUpThread(s, c.XTHREADNUMBER) ? s.Threads().rec.heading() : "";
    case BrowseFilter::Section:
      return c.XSECSYSID && lookUpSection(s, c.XSECSYSID) ? s.Sections().rec.DESCRIPTION.str() : "";
    case BrowseFilter::Sender: return person(c.XSENDID);
    case BrowseFilter::Receiver: return person(c.XRECEIVEID);
    default: return {};
  }
}

std::vector<PickEntry> pickList(Session& s, BrowseFilter filter, const std::string& typed, int max) {
  std::vector<PickEntry> out;
  switch (filter) {
    case BrowseFilter::None: break;
    case BrowseFilter::Thread: {
      auto& t = s.Threads();
      t.clear();
      t.rec.ALPHA = typed;
      if (t.setAt(Threads::AlphaKey, 1) != Err::Ok) break;
      while (static_cast<int>(out.size()) < max && t.next() == Err::Ok)
        out.push_back({t.rec.THREADNUMBER, t.rec.heading()});
      break;
    }
    case BrowseFilter::Section: {
      auto& t = s.Sections();
      t.clear();
      t.rec.DESCRIPTION = typed;
      if (t.setAt(Sections::DescKey, 1) != Err::Ok) break;
      while (static_cast<int>(out.size()) < max && t.next() == Err::Ok)
        out.push_back({t.rec.SECSYSID, t.rec.DESCRIPTION.str()});
      break;
    }
    default: {
      auto& t = s.Person();
      t.clear();
      t.rec.LASTNAME = typed;
      if (t.setAt(Person::NameKey, 1) != Err::Ok) break;
      while (static_cast<int>(out.size()) < max && t.next() == Err::Ok)
        out.push_back({t.rec.PERSONID, browseName(t.rec, 2)});
      break;
    }
  }
  return out;
}

bool pickFilter(Session& s, uint32_t id, BrowseState& state) {
  const BrowseFilter f = state.filter();
  switch (f) {
    case BrowseFilter::None: return false;
    case BrowseFilter::Thread:
      if (state.mail || !lookUpThread(s, id)) return false;
      state.msg.XTHREADNUMBER = id;
      state.msg.XTHREADALPHA = s.Threads().rec.ALPHA;
      return true;
    case BrowseFilter::Section:
      if (state.mail) return false;
      state.msg.XSECSYSID = id;
      return true;
    default: break;
  }
  if (!lookUpPerson(s, id)) return false;
  const std::string alpha = s.Person().rec.LASTNAME.str();
  if (state.mail) {
    MailBrowseContext& c = state.box;
    if (f == BrowseFilter::Partner) { c.XPAIRID = id; c.XPAIRALPHA = alpha; }
    if (f == BrowseFilter::Sender) { c.XSENDID = id; c.XSENDERALPHA = alpha; }
    if (f == BrowseFilter::Receiver) { c.XRECEIVEID = id; c.XRECEIVERALPHA = alpha; }
  } else {
    BrowseContext& c = state.msg;
    if (f == BrowseFilter::Sender) { c.XSENDID = id; c.XSENDERALPHA = alpha; }
    if (f == BrowseFilter::Receiver) { c.XRECEIVEID = id; c.XRECEIVERALPHA = alpha; }
  }
  return true;
}

uint32_t filterValue(const BrowseState& state) {
  switch (state.filter()) {
    case BrowseFilter::Thread: return state.mail ? 0 : state.msg.XTHREADNUMBER;
    case BrowseFilter::Section: return state.mail ? 0 : state.msg.XSECSYSID;
    case BrowseFilter::Sender: return state.mail ? state.box.XSENDID : state.msg.XSENDID;
    case BrowseFilter::Receiver: return state.mail ? state.box.XRECEIVEID : state.msg.XRECEIVEID;
    case BrowseFilter::Partner: return state.mail ? state.box.XPAIRID : 0;
    case BrowseFilter::None: break;
  }
  return 0;
}

std::string filterPickText(Session& s, const BrowseState& state) {
  const uint32_t id = filterValue(state);
  if (!id) return {};
  switch (state.filter()) {
    case BrowseFilter::Thread: return lookUpThread(s, id) ? s.Threads().rec.ALPHA.str() : "";
    case BrowseFilter::Section: return lookUpSection(s, id) ? s.Sections().rec.DESCRIPTION.str() : "";
    case BrowseFilter::None: return {};
    default: return lookUpPerson(s, id) ? s.Person().rec.LASTNAME.str() : "";
  }
}

void clearFilter(BrowseState& state) {
  switch (state.filter()) {
    case BrowseFilter::Thread: state.msg.XTHREADNUMBER = 0; state.msg.XTHREADALPHA = ""; break;
    case BrowseFilter::Section: state.msg.XSECSYSID = 0; break;
    case BrowseFilter::Sender:
      if (state.mail) { state.box.XSENDID = 0; state.box.XSENDERALPHA = ""; }
      else { state.msg.XSENDID = 0; state.msg.XSENDERALPHA = ""; }
      break;
    case BrowseFilter::Receiver:
      if (state.mail) { state.box.XRECEIVEID = 0; state.box.XRECEIVERALPHA = ""; }
      else { state.msg.XRECEIVEID = 0; state.msg.XRECEIVERALPHA = ""; }
      break;
    case BrowseFilter::Partner: state.box.XPAIRID = 0; state.box.XPAIRALPHA = ""; break;
    case BrowseFilter::None: break;
  }
}

std::vector<std::string> messagePages(Session& s, uint32_t id, const std::string* subject) {
  auto& t = s.MsgText();
  t.clear();
  t.rec.MSGNUMBER = id;
  const std::string body = t.get(MsgText::IdKey) == Err::Ok ? t.memo() : std::string();
  return textPages(composeShownText(body, subject));
}

}  // namespace qb::store
