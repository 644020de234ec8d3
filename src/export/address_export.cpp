#include "export/address_export.h"

#include <algorithm>
#include <sys/stat.h>
#include <unordered_set>

#include "archive/file_table.h"
#include "text/strings.h"
#include "text/unicode.h"

namespace qb::exporting {

using namespace qb::store;
using text::trim;

const std::vector<FormatChoice>& addressFormatList(uint8_t kind) {
  static const std::vector<FormatChoice> forum = {{"OzWin II", AddressOzWin}, {"TAPCIS", AddressTapcis}};
  static const std::vector<FormatChoice> mail = {{"Eudora", AddressEudora},
                                                 {"OzWin II", AddressOzWin},
                                                 {"TAPCIS", AddressTapcis},
                                                 {"Generic Mail Type 1", AddressGeneric},
                                                 {"Generic Mail Type 2", AddressGeneric}};
  static const std::vector<FormatChoice> news = {{"Unix News", AddressGeneric}};
  return kind == KindMail ? mail : kind == KindNewsgroup ? news : forum;
}

int addressFormatNumber(uint8_t kind, const std::string& name) {
  // the message formats' names, spellings and numbers mean the same here
  const int n = formatNumber(kind, name);
  const std::string message = formatName(kind, n);
  for (const auto& f : addressFormatList(kind))
    if (!message.empty() && message == f.name) return f.number;
  return 0;
}

std::string addressEntry(const Person& p, int format) {
  const std::string L = text::archiveUtf8(trim(p.LASTNAME.str()));
  const std::string F = text::archiveUtf8(trim(p.FIRSTNAME.str()));
  const std::string A = text::archiveUtf8(trim(p.ADDRESS.str()));
  if (A.empty()) return {};
  const std::string N = !F.empty() && !L.empty() ? F + " " + L : F.empty() ? L : F;
  const std::string S = isCompuServeNumber(A) ? A : "INTERNET:" + A;
  std::string line;
  switch (format) {
    case AddressGeneric:
    case AddressEudora: {
      const std::string a = internetAddress(A);
      if (!F.empty() && !L.empty()) line = "\"" + F + " " + L + "\" " + a;
      else line = N.empty() ? a : N + " " + a;
      if (format == AddressEudora) line = "alias " + line;
      return text::fromUtf8(line + "\r\n", "windows-1252");
    }
    case AddressTapcis:
      return text::fromUtf8(N + " " + S + "|\r\n", "ibm437");
    case AddressOzWin: {
      std::string n = text::fromUtf8(N, "windows-1252"), s = text::fromUtf8(S, "windows-1252");
      n.resize(std::min<std::size_t>(n.size(), 255));
      s.resize(std::min<std::size_t>(s.size(), 255));
      std::string e;
      e += static_cast<char>(n.size());
      e += n;
      e += static_cast<char>(s.size());
      e += s;
      e += std::string(2, '\0');
      return e;
    }
    default:
      return {};
  }
}

CopyAddress::CopyAddress(Session& s, AddressRequest r) : s_(s), r_(std::move(r)) {}

CopyAddress::~CopyAddress() {
  if (!finished_) {
    file_.discard();
    if (opened_) OP_CLOSE(s_, OpClose, {5, s_.ForumType == KindMail ? 13 : 3, 9});
  }
}

bool CopyAddress::refuse(const std::string& title, const std::string& text) {
  refusal_ = {title, text};
  error_ = text;
  failed_ = true;
  return false;
}

bool CopyAddress::personExists(uint32_t id) {
  auto& p = s_.Person();
  p.clear();
  p.rec.PERSONID = id;
  return id && p.get(Person::PersonKey) == Err::Ok;
}

Refusal CopyAddress::finalMessage() const {
  if (aborted_) return {" Warning", "Address export aborted."};
  return {" Address export", std::to_string(written_) + " addresses written to file."};
}

bool CopyAddress::start() {
  const uint8_t kind = s_.ForumType;
  if (!s_.ForumNumber || s_.Dirnamn.empty()) return refuse("", "No database is active.");
  bool offered = false;
  for (const auto& f : addressFormatList(kind)) offered = offered || f.number == r_.format;
  if (!offered) return refuse("Format error", "This address book format is not offered for this database.");
  r_.fileName = trim(r_.fileName);
  if (r_.fileName.empty()) r_.fileName = r_.format == AddressOzWin ? "Address.Ab" : "Address.Txt";
  if (!isPlainFileName(r_.fileName)) return refuse("Filename error", "Do not include the path, just the filename!");
  if (r_.topicFilter && !r_.topicId) return refuse("Selection error", "No topic selected!");
  if (r_.dateFilter) {
    if (r_.fromDate <= 0)
      return refuse("Date range filter error", "A valid From-date must be entered to apply a date range filter.");
    if (r_.toDate <= 0)
      return refuse("Date range filter error", "A valid To-date must be entered to apply a date range filter.");
    if (r_.toDate < r_.fromDate) return refuse("Date range filter error", "A negative date range cannot be allowed.");
  }
  if (r_.directory.empty()) r_.directory = s_.TempDir;
  struct stat st {};
  if (::stat(r_.directory.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
    return refuse("Export error", "The directory " + r_.directory + " does not exist.");

  const bool mail = kind == KindMail;
  OP_CLOSE(s_, OpOpen, {5, mail ? 13 : 3, 9});
  opened_ = true;
  std::string dir = r_.directory;
  if (dir.back() != '/') dir += '/';
  if (!file_.open(dir + r_.fileName, false)) return refuse("Export error", file_.error());

  if (!r_.topicFilter && !r_.dateFilter) {
    allPersons_ = true;
    int64_t n = s_.Person().count();
    total_ = n > 0 ? static_cast<uint32_t>(n) : 0;
    return s_.Person().set(Person::PersonKey) == Err::Ok || refuse("Export error", "The persons cannot be read.");
  }
  // the sender and receiver of a message header in the buffer
  auto people = [&](std::vector<uint32_t>& list, std::unordered_set<uint32_t>& seen) {
    uint32_t from = mail ? s_.Mail().rec.FROMID : s_.MsgNmbr().rec.FROMID;
    uint32_t to = mail ? s_.Mail().rec.TOID : s_.MsgNmbr().rec.TOID;
    for (uint32_t id : {from, to})
      if (id && !seen.count(id) && personExists(id)) {
        seen.insert(id);
        list.push_back(id);
      }
  };
  std::vector<uint32_t> topicList, dateList;
  std::unordered_set<uint32_t> topicSeen, dateSeen;
  if (r_.topicFilter) {
    auto& x = s_.SIndex();
    x.clear();
    x.rec.ID = r_.topicId;
    std::vector<uint32_t> messages;
    if (x.setAt(SIndex::IdKey, 1) == Err::Ok)
      while (x.next() == Err::Ok && x.rec.ID == r_.topicId) messages.push_back(x.rec.MSGNUMBER);
    for (uint32_t id : messages) {
      bool found;
      if (mail) {
        s_.Mail().clear();
        s_.Mail().rec.MAILID = id;
        found = s_.Mail().get(Mail::IdKey) == Err::Ok;
      } else {
        s_.MsgNmbr().clear();
        s_.MsgNmbr().rec.MSGNUMBER = id;
        found = s_.MsgNmbr().get(MsgNmbr::IdKey) == Err::Ok;
      }
      if (found) people(topicList, topicSeen);
    }
  }
  if (r_.dateFilter) {
    // the date key runs newest first: from the to-date down to the from-date
    KeyedFile& f = mail ? static_cast<KeyedFile&>(s_.Mail()) : static_cast<KeyedFile&>(s_.MsgNmbr());
    if (mail) {
      s_.Mail().clear();
      s_.Mail().rec.DATE = r_.toDate;
    } else {
      s_.MsgNmbr().clear();
      s_.MsgNmbr().rec.DATE = r_.toDate;
    }
    if (f.setAt(mail ? Mail::DateKey : MsgNmbr::DateKey, 1) == Err::Ok)
      while (f.next() == Err::Ok) {
        int32_t date = mail ? s_.Mail().rec.DATE : s_.MsgNmbr().rec.DATE;
        if (date < r_.fromDate) break;
        people(dateList, dateSeen);
      }
  }
  if (r_.topicFilter && r_.dateFilter) {
    std::vector<uint32_t> both;
    for (uint32_t id : topicList)
      if (dateSeen.count(id)) both.push_back(id);
    persons_ = topicList.empty() || dateList.empty() ? std::vector<uint32_t>{} : both;
  } else {
    persons_ = r_.topicFilter ? topicList : dateList;
  }
  if (persons_.empty()) {
    refusal_ = {" Warning!", "No addresses passed filter."};
    error_ = refusal_.text;
    return false;  // the file stays, empty
  }
  total_ = static_cast<uint32_t>(persons_.size());
  return true;
}

bool CopyAddress::step() {
  if (failed_ || aborted_ || finished_ || !file_.isOpen()) return false;
  auto& p = s_.Person();
  if (allPersons_) {
    if (p.next() != Err::Ok) return false;
  } else {
    if (next_ >= persons_.size()) return false;
    if (!personExists(persons_[next_++])) return true;
  }
  ++done_;
  const std::string e = addressEntry(p.rec, r_.format);
  if (e.empty()) return true;
  if (!file_.write(e)) {
    error_ = file_.error();
    failed_ = true;
    return false;
  }
  ++written_;
  return true;
}

bool CopyAddress::finish() {
  if (finished_) return !failed_;
  finished_ = true;
  bool ok = !failed_;
  if (ok) {
    if (!file_.close()) {
      error_ = file_.error();
      ok = false;
    }
  } else {
    file_.discard();
  }
  if (opened_) OP_CLOSE(s_, OpClose, {5, s_.ForumType == KindMail ? 13 : 3, 9});
  opened_ = false;
  return ok;
}

}  // namespace qb::exporting
