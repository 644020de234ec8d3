#include "archive/persons.h"
#include "text/unicode.h"

#include <array>
#include <vector>

#include "archive/file_table.h"
#include "archive/record_access.h"
#include "archive/records.h"
#include "archive/session.h"
#include "text/strings.h"

using qb::text::upper1252;

namespace qb::store {

namespace {

constexpr FileNo kPersonFile = FileNo::Person, kMailFile = FileNo::Mail, kMsgFile = FileNo::MsgNmbr,
                 kLinkFile = FileNo::PLINK;

using text::trimRightSpacesView;

bool isGenerationSuffix(std::string_view w) {
  static constexpr std::array<std::string_view, 9> suffixes = {"I", "II", "III", "IV", "V",
                                                               "l", "ll", "lll", "lV"};
  for (std::string_view s : suffixes)
    if (w == s) return true;
  return false;
}

// Position (from 0) of the last blank before `end` that is not the first
// character; npos when there is none.
std::size_t lastBlankBefore(std::string_view s, std::size_t end) {
  for (std::size_t i = end; i-- > 1;)
    if (s[i] == ' ') return i;
  return std::string_view::npos;
}

// Opens files by count for the life of the object.
struct FilesOpen {
  Session& s;
  std::vector<FileNo> files;
  FilesOpen(Session& s, std::vector<FileNo> f) : s(s), files(std::move(f)) { OP_CLOSE(s, OpOpen, files); }
  ~FilesOpen() { OP_CLOSE(s, OpClose, files); }
};

// Counts the records of `f` whose alpha and identifier components of `key`
// are (prefix, id): positions at the first and reads forward while both
// still match. The alpha comparison ignores letter case, as the key does.
template <class R>
uint32_t countByKey(Table<R>& f, int key, FixedString<10> R::*alpha, uint32_t R::*idField,
                    const FixedString<10>& prefix, uint32_t id) {
  const std::string wanted = text::foldCase(prefix.str());
  f.clear();
  f.rec.*alpha = prefix;
  f.rec.*idField = id;
  if (f.setAt(key, 2) != Err::Ok) return 0;
  uint32_t n = 0;
  while (f.next() == Err::Ok) {
    if (f.rec.*idField != id || text::foldCase((f.rec.*alpha).str()) != wanted) break;
    ++n;
  }
  return n;
}

// Stores the counts in the Person buffer; 2 when they changed, 0 otherwise.
uint8_t storeCounts(Person& p, uint32_t from, uint32_t to) {
  if (p.FROMCOUNT == from && p.TOCOUNT == to) return RecountUnchanged;
  p.FROMCOUNT = from;
  p.TOCOUNT = to;
  return RecountChanged;
}

}  // namespace

std::string identityString(std::string_view name, std::string_view address) {
  std::string id = upper1252(std::string(trimRightSpacesView(name)) + " " + std::string(address));
  id.resize(text::utf8Prefix(id, 100));
  return id;
}

void ParseName(std::string_view fullName, std::size_t lastLen, std::string& lastName, std::size_t firstLen,
               std::string& firstName) {
  std::string_view name = trimRightSpacesView(fullName);
  std::string_view last = name, first;
  std::size_t blank = lastBlankBefore(name, name.size());
  if (blank != std::string_view::npos) {
    last = name.substr(blank + 1);
    first = name.substr(0, blank);
    if (isGenerationSuffix(last)) {
      // The suffix belongs to the word before it.
      std::size_t before = lastBlankBefore(name, blank);
      if (before != std::string_view::npos) {
        last = name.substr(before + 1);
        first = name.substr(0, before);
      } else {
        last = name;
        first = {};
      }
    }
  }
  lastName = std::string(trimRightSpacesView(text::cutUtf8(last, lastLen)));
  firstName = std::string(trimRightSpacesView(text::cutUtf8(first, firstLen)));
}

bool isGroupName(std::string_view name, std::string_view address) {
  // The mailbox: the address up to "@", after a service prefix such as
  // "INTERNET:".
  std::string_view box = address.substr(0, address.find('@'));
  if (std::size_t colon = box.rfind(':'); colon != std::string_view::npos) box = box.substr(colon + 1);
  const std::string b = text::lowerAscii(box);
  static constexpr std::array<std::string_view, 13> roles = {
      "news", "newsletter", "list", "lists", "announce", "digest", "bulletin", "noreply", "no-reply",
      "listserv", "majordomo", "mailer-daemon", "postmaster"};
  for (std::string_view r : roles)
    if (b == r) return true;
  auto endsWith = [&](std::string_view t) { return b.size() > t.size() && b.compare(b.size() - t.size(), t.size(), t) == 0; };
  if (b.rfind("owner-", 0) == 0 || endsWith("-request") || endsWith("-l") || endsWith("-list") ||
      endsWith("-announce"))
    return true;
  std::string_view n = trimRightSpacesView(name);
  const std::size_t blank = n.rfind(' ');
  if (blank == std::string_view::npos) return false;
  const std::string lastWord = text::lowerAscii(n.substr(blank + 1));
  static constexpr std::array<std::string_view, 5> groups = {"news", "newsletter", "digest", "bulletin",
                                                             "announcements"};
  for (std::string_view g : groups)
    if (lastWord == g) return true;
  // "List" alone is also a family name.
  return lastWord == "list" && text::lowerAscii(n.substr(0, blank)).ends_with("mailing");
}

uint8_t AddPers(Session& s, std::string_view name, std::string_view address) {
  const std::string ident = identityString(name, address);
  FilesOpen open(s, {kPersonFile, kLinkFile});
  Table<Person>& per = s.Person();
  Table<PLINK>& link = s.PLINK();

  per.clear();
  per.rec.PERSONSTRING = ident;
  if (per.get(Person::StringKey) == Err::Ok) return 0;

  // Identity strings of persons merged into another one.
  bool staleLink = false;
  link.clear();
  link.rec.PERSONSTRING = ident;
  if (link.get(PLINK::StringKey) == Err::Ok) {
    per.clear();
    per.rec.PERSONID = link.rec.PERSONID;
    if (per.get(Person::PersonKey) == Err::Ok) return 0;
    staleLink = true;  // the person it pointed to is gone
  }

  uint32_t id = NextNr(s);
  if (id == 0) {
    s.tell("A new person ID could not be generated \r\nThe last transaction is rolled back.", fileTitle(per));
    if (s.transaction().active()) s.transaction().rollback();
    return 1;
  }
  std::string lastName, firstName;
  if (isGroupName(name, address))
    lastName = std::string(trimRightSpacesView(text::cutUtf8(trimRightSpacesView(name), Person{}.LASTNAME.size())));
  else
    ParseName(name, Person{}.LASTNAME.size(), lastName, Person{}.FIRSTNAME.size(), firstName);
  per.clear();
  per.rec.PERSONID = id;
  per.rec.PERSONSTRING = ident;
  per.rec.ADDRESS = address;
  per.rec.LASTNAME = lastName;
  per.rec.FIRSTNAME = firstName;
  if (!UppDat(s, per, UppAdd, ErrRollback)) return 1;
  // The link buffer still holds the stale record read above.
  if (staleLink && !UppDat(s, link, UppDelete, ErrRollback)) return 1;
  return 0;
}

uint8_t CFromToMail(Session& s, int mode) {
  FilesOpen open(s, {kMailFile});
  Person& p = s.Person().rec;
  Table<Mail>& mail = s.Mail();
  FixedString<10> prefix(p.LASTNAME.str());
  uint32_t from = countByKey(mail, Mail::FromKey, &Mail::FROMALPHA, &Mail::FROMID, prefix, p.PERSONID);
  uint32_t to = countByKey(mail, Mail::ToKey, &Mail::TOALPHA, &Mail::TOID, prefix, p.PERSONID);
  if (from == 0 && to == 0) {
    if (mode == 0) return RecountNone;
    if (mode != 1) return RecountUnchanged;
    p.FROMCOUNT = 0;
    p.TOCOUNT = 0;
    return RecountChanged;
  }
  return storeCounts(p, from, to);
}

uint8_t CFromToMsg(Session& s) {
  FilesOpen open(s, {kMsgFile});
  Person& p = s.Person().rec;
  Table<MsgNmbr>& msg = s.MsgNmbr();
  FixedString<10> prefix(p.LASTNAME.str());
  uint32_t from = countByKey(msg, MsgNmbr::FromKey, &MsgNmbr::FROMALPHA, &MsgNmbr::FROMID, prefix, p.PERSONID);
  uint32_t to = countByKey(msg, MsgNmbr::ToKey, &MsgNmbr::TOALPHA, &MsgNmbr::TOID, prefix, p.PERSONID);
  if (from == 0 && to == 0) return RecountNone;
  return storeCounts(p, from, to);
}

}  // namespace qb::store
