#include "maintenance/mail_duplicates.h"

#include <algorithm>
#include <tuple>

#include "archive/file_table.h"
#include "text/strings.h"
#include "text/text_duplicates.h"

namespace qb::maintenance {
namespace {

using store::Err;

constexpr std::size_t kInitLength = 30;

struct Candidate {
  uint32_t mailId = 0;
  std::string subject;   // upper case, trailing blanks removed
  std::string stored;    // subject as stored
  int32_t date = 0, time = 0;
  uint32_t fromId = 0, toId = 0;
  uint8_t status = 0;
  std::string init;      // first 30 characters, padded with blanks
};

std::string upperSubject(const std::string& s) { return text::upper1252(text::trimRightSpacesView(s)); }

bool sameKey(const Candidate& a, const Candidate& b) {
  return std::tie(a.subject, a.date, a.time, a.fromId, a.toId, a.init) ==
         std::tie(b.subject, b.date, b.time, b.fromId, b.toId, b.init);
}

// The text of a mail; false when its text record is missing.
bool mailText(store::Session& s, uint32_t id, std::string& out) {
  auto& txt = s.MsgText();
  txt.clear();
  txt.rec.MSGNUMBER = id;
  if (txt.get(store::MsgText::IdKey) != Err::Ok) {
    out.clear();
    return false;
  }
  out = txt.memo();
  return true;
}

DuplicateMail describe(store::Session& s, const Candidate& c) {
  DuplicateMail d;
  d.mailId = c.mailId;
  d.status = c.status;
  std::string t;
  d.textMissing = !mailText(s, c.mailId, t);
  d.textLength = static_cast<uint32_t>(text::trimRightSpacesView(t).size());
  return d;
}

}  // namespace

int32_t normaliseTime(int32_t time) {
  int32_t r = time % 6000;
  if (r < 0) r += 6000;
  return r == 0 ? time : time - r + 1;
}

std::size_t DuplicateGroup::marked() const {
  return static_cast<std::size_t>(
      std::count_if(copies.begin(), copies.end(), [](const DuplicateMail& m) { return m.status == 0; }));
}

std::vector<uint32_t> DuplicateScan::toMark() const {
  std::vector<uint32_t> ids;
  for (const auto& g : groups)
    for (const auto& c : g.copies)
      if (c.status == 0) ids.push_back(c.mailId);
  return ids;
}

DuplicateScan findMailDuplicates(store::Session& s, const std::function<void(uint64_t)>& progress) {
  DuplicateScan scan;
  auto& mail = s.Mail();
  std::vector<Candidate> list;
  // 1. Mails in subject order; a mail equal to the one before it in subject,
  // date and minute starts or continues a group of candidates.
  Candidate ref;
  bool haveRef = false, inGroup = false;
  mail.clear();
  mail.set(store::Mail::SubjectKey);
  while (mail.next() == Err::Ok) {
    ++scan.mails;
    if (progress && scan.mails % 1000 == 0) progress(scan.mails);
    Candidate c;
    c.mailId = mail.rec.MAILID;
    c.stored = text::trimRightSpaces(mail.rec.SUBJECT.str());
    c.subject = upperSubject(c.stored);
    c.date = mail.rec.DATE;
    c.time = normaliseTime(mail.rec.TIME);
    c.fromId = mail.rec.FROMID;
    c.toId = mail.rec.TOID;
    c.status = mail.rec.DUMMY;
    if (haveRef && c.subject == ref.subject && c.date == ref.date && c.time == ref.time) {
      if (!inGroup) list.push_back(ref);
      inGroup = true;
      list.push_back(c);
    } else {
      inGroup = false;
    }
    ref = std::move(c);
    haveRef = true;
  }
  scan.candidates = list.size();
  std::string t;
  for (auto& c : list) {
    mailText(s, c.mailId, t);
    c.init = t.substr(0, std::min(t.size(), kInitLength));
    c.init.resize(kInitLength, ' ');
  }
  // Among entries equal in all six fields the higher identifier comes first,
  // the order in which the subject key reads them once times are normalised.
  std::sort(list.begin(), list.end(), [](const Candidate& a, const Candidate& b) {
    return std::tie(a.subject, a.date, a.time, a.fromId, a.toId, a.init, b.mailId) <
           std::tie(b.subject, b.date, b.time, b.fromId, b.toId, b.init, a.mailId);
  });
  // 2. Walk the list: an entry equal to the reference whose text is a
  // duplicate of the reference's is a copy; any other entry becomes the
  // reference.
  const Candidate* reference = nullptr;
  std::string refText, entryText;
  DuplicateGroup* group = nullptr;
  for (const auto& c : list) {
    if (c.status == store::StatusDelete) continue;
    if (reference && sameKey(c, *reference)) {
      mailText(s, c.mailId, entryText);
      if (text::textsAreDuplicates(entryText, refText)) {
        if (!group) {
          scan.groups.emplace_back();
          group = &scan.groups.back();
          group->subject = reference->stored;
          group->date = reference->date;
          group->time = reference->time;
          group->fromId = reference->fromId;
          group->toId = reference->toId;
          group->initText = text::trimRightSpaces(reference->init);
          group->survivor = describe(s, *reference);
        }
        group->copies.push_back(describe(s, c));
        continue;
      }
    }
    reference = &c;
    group = nullptr;
    mailText(s, c.mailId, refText);
  }
  return scan;
}

}  // namespace qb::maintenance
