#include "export/export_message.h"

#include <algorithm>

#include "archive/browse/browse_rows.h"
#include "text/strings.h"
#include "text/unicode.h"

namespace qb::exporting {

using namespace qb::store;
using text::archiveUtf8;
using text::trim;

namespace {

// How many ancestors a References line names at most.
constexpr int kMaxReferences = 20;

std::string u8(const std::string& archiveText) { return archiveUtf8(trim(archiveText)); }

NameParts personParts(Session& s, uint32_t id) {
  NameParts p;
  if (!id || !lookUpPerson(s, id)) return p;
  const Person& r = s.Person().rec;
  p.last = u8(r.LASTNAME.str());
  p.first = u8(r.FIRSTNAME.str());
  p.address = u8(r.ADDRESS.str());
  return p;
}

std::string idString(Session& s, uint32_t number) {
  if (!number) return {};
  auto& f = s.MsgString();
  f.clear();
  f.rec.MSGNUMBER = number;
  return f.get(MsgString::IDKey) == Err::Ok ? trim(f.rec.IDSTRING.str()) : std::string();
}

std::string textOf(Session& s, uint32_t id) {
  auto& t = s.MsgText();
  t.clear();
  t.rec.MSGNUMBER = id;
  return t.get(MsgText::IdKey) == Err::Ok ? archiveUtf8(trim(t.memo())) : std::string();
}

// The reference numbers above message `ref`, nearest first; stops at a
// loop, a missing message or kMaxReferences.
std::vector<uint32_t> ancestors(Session& s, uint32_t self, uint32_t ref) {
  std::vector<uint32_t> chain;
  auto& f = s.MsgNmbr();
  while (ref && ref != self && static_cast<int>(chain.size()) < kMaxReferences &&
         std::find(chain.begin(), chain.end(), ref) == chain.end()) {
    chain.push_back(ref);
    f.clear();
    f.rec.MSGNUMBER = ref;
    if (f.get(MsgNmbr::IdKey) != Err::Ok) break;
    ref = f.rec.REFNUMBER;
  }
  return chain;
}

}  // namespace

std::vector<int> exportFiles(uint8_t kind) {
  if (kind == KindMail) return {13, 4, 5, 17};
  return {3, 4, 5, 6, 7, 25};
}

std::string forumMessageId(uint32_t forumId, uint32_t number) {
  return "<" + std::to_string(number) + "." + std::to_string(forumId) + "@forum.quillbox.invalid>";
}

void fillExportMessage(Session& s, const MsgNmbr& m, ExportMessage& out, bool withReferences) {
  out = ExportMessage{};
  out.kind = s.ForumType;
  out.number = m.MSGNUMBER;
  out.ref = m.REFNUMBER == m.MSGNUMBER ? 0 : m.REFNUMBER;
  out.date = m.DATE;
  out.status = m.DUMMY;
  out.database = u8(s.Description);
  if (lookUpThread(s, m.THREADNUMBER)) out.subject = archiveUtf8(s.Threads().rec.heading());
  if (lookUpSection(s, m.SECSYSID)) {
    out.sectionNumber = s.Sections().rec.SECTIONNUMBER;
    out.sectionDesc = u8(s.Sections().rec.DESCRIPTION.str());
  }
  out.from = personParts(s, m.FROMID);
  out.to = personParts(s, m.TOID);
  const bool news = s.ForumType == KindNewsgroup;
  if (news) {
    out.messageId = idString(s, m.MSGNUMBER);
    out.refId = idString(s, out.ref);
  }
  if (withReferences && out.ref) {
    const MsgNmbr self = m;  // the chain walk reads other headers into the buffer
    std::vector<uint32_t> chain = ancestors(s, self.MSGNUMBER, out.ref);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
      std::string id = news ? idString(s, *it) : forumMessageId(s.ForumNumber, *it);
      if (!id.empty()) out.references.push_back(id);
    }
  }
  out.text = textOf(s, m.MSGNUMBER);
}

void fillExportMessage(Session& s, const Mail& m, ExportMessage& out) {
  out = ExportMessage{};
  out.kind = KindMail;
  out.number = m.MAILID;
  out.date = m.DATE;
  out.time = m.TIME;
  out.status = m.DUMMY;
  out.database = u8(s.Description);
  out.subject = u8(m.SUBJECT.str());
  out.from = personParts(s, m.FROMID);
  out.to = personParts(s, m.TOID);
  out.sentByOwner = s.PersonID != 0 && m.FROMID == s.PersonID;
  auto& c = s.CCR();
  c.clear();
  c.rec.MAILID = m.MAILID;
  if (c.setAt(CCR::IdKey, 1) == Err::Ok) {
    while (c.next() == Err::Ok && c.rec.MAILID == m.MAILID)
      out.copies.push_back({u8(c.rec.R_NAME.str()), u8(c.rec.R_CISADRESS.str()), trim(c.rec.RECIPTYPE.str())});
  }
  out.text = textOf(s, m.MAILID);
}

bool readExportMessage(Session& s, uint32_t id, ExportMessage& out, bool withReferences) {
  if (s.ForumType == KindMail) {
    auto& f = s.Mail();
    f.clear();
    f.rec.MAILID = id;
    if (f.get(Mail::IdKey) != Err::Ok) return false;
    const Mail m = f.rec;
    fillExportMessage(s, m, out);
    return true;
  }
  auto& f = s.MsgNmbr();
  f.clear();
  f.rec.MSGNUMBER = id;
  if (f.get(MsgNmbr::IdKey) != Err::Ok) return false;
  const MsgNmbr m = f.rec;
  fillExportMessage(s, m, out, withReferences);
  return true;
}

}  // namespace qb::exporting
