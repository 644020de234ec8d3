#include "maintenance/merge_persons.h"

#include <algorithm>
#include <chrono>

#include "archive/config.h"
#include "archive/counts.h"
#include "archive/databases.h"
#include "archive/file_table.h"
#include "archive/paths.h"
#include "archive/persons.h"
#include "archive/record_access.h"
#include "maintenance/key_range.h"
#include "text/aisinb.h"
#include "text/cis_address.h"
#include "text/unicode.h"

namespace qb::maintenance {

using store::Err;
using store::FileNo;

namespace {

constexpr int kDefaultSlice = 200;
constexpr uint64_t kSpaceNeeded = 5000000;
constexpr int kCommitAfter = 400;

int64_t nowSeconds() {
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::string fold(const std::string& s) { return text::foldCase(s); }

// The sort prefix of a person's messages: the first 10 characters of its
// last name.
store::FixedString<10> prefixOf(const std::string& lastName) { return store::FixedString<10>(lastName); }

// An address taken from a person string: a mail address, a gateway
// address ("INTERNET:jsmith") or a numeric forum address ("12345,678").
// The splitter's last resort, the last word of a plain name ("SMITH" of
// "JOHN SMITH"), is none: taking it would merge different people who share
// a last name.
bool looksLikeAddress(const std::string& a) {
  if (a.empty()) return false;
  if (a.find('@') != std::string::npos || a.find(':') != std::string::npos) return true;
  const std::size_t sep = a.find_first_of(",.");
  if (sep == 0 || sep == std::string::npos || sep + 1 >= a.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (i != sep && (a[i] < '0' || a[i] > '9')) return false;
  return true;
}

bool containsBoxBar(const std::string& address) {
  // The DOS box-drawing bar (code 179) as converted to Unicode, or the raw
  // byte in a text of an archive written before texts were UTF-8.
  if (address.find("\xE2\x94\x82") != std::string::npos) return true;
  return !text::isUtf8(address) && address.find('\xB3') != std::string::npos;
}

// The files a merge writes.
std::vector<store::KeyedFile*> mergeFiles(store::Session& s, bool mail) {
  if (mail) return {&s.Person(), &s.PLINK(), &s.Mail()};
  return {&s.Person(), &s.PLINK(), &s.MsgNmbr()};
}

}  // namespace

MergeTexts mergeTexts(uint8_t kind) {
  std::string who = kind == store::KindMail        ? "Mail Partners"
                    : kind == store::KindNewsgroup ? "Newsgroup Participants"
                                                   : "Forum Members";
  return {"Merge Duplicate " + who,   "Existing " + who + " in database:", "Obsolete " + who + " removed:",
          "Duplicate " + who + " merged:", "Remaining " + who + ":",        who};
}

std::string mergeTitle(const std::string& description, bool unattended) {
  return std::string(unattended ? " Scheduled Duplicate Merging [" : " Duplicate Merging [") + description + "]";
}

MergePersons::MergePersons(store::Session& s, uint32_t forumId, bool dryRun)
    : s_(s), forumId_(forumId), dryRun_(dryRun) {
  started_ = nowSeconds();
}

MergePersons::~MergePersons() {
  if (s_.transaction().active()) (void)commit();
  closeFiles();
}

uint32_t MergePersons::elapsedSeconds() const { return static_cast<uint32_t>(nowSeconds() - started_); }

bool MergePersons::step() {
  if (state_ == State::Done) return false;
  if (cancelRequested_ && !cancelled_) {
    cancelled_ = true;
    finalMessage_ = "Process aborted!";
    finish();
    return false;
  }
  switch (state_) {
    case State::Start: start(); break;
    case State::Repair: repairSlice(); break;
    case State::Group: group(); break;
    case State::Count: countSlice(); break;
    case State::Choose: choose(); break;
    case State::Merge: mergeSlice(); break;
    case State::Recount: recount(); break;
    case State::Remove: removeSlice(); break;
    case State::Links: cleanLinks(); break;
    case State::Done: break;
  }
  return state_ != State::Done;
}

void MergePersons::start() {
  store::Forums db;
  if (!store::readDatabase(s_, forumId_, db)) return fail("The database does not exist.");
  if (db.NODIR) return fail("The database has no directory.");
  kind_ = db.TYPE;
  dbName_ = db.DESCRIPTION.str();
  owner_ = kind_ == store::KindMail ? db.PERSONID : 0;
  saved_ = s_.currentDatabase();
  s_.selectDatabase(db);
  selected_ = true;
  if (slice_ <= 0) {
    int32_t n = store::SpeedVal(s_, store::SpeedAction::BatchSize, store::SpeedMerge);
    slice_ = n > 0 ? n : kDefaultSlice;
  }
  const bool mail = kind_ == store::KindMail;
  store::OP_CLOSE(s_, store::OpOpen, {FileNo::Person, FileNo::PLINK, mail ? FileNo::Mail : FileNo::MsgNmbr});
  filesOpen_ = true;
  counters_.before = static_cast<uint32_t>(s_.Person().count());
  progress_.caption = "Correcting non wellformed CIS addresses";
  findRepairs();
  state_ = State::Repair;
}

// Persons whose address can be taken from their identity string: a blank
// address; in mail databases also a gateway string (CSINET) or an address
// holding the DOS box-drawing bar.
void MergePersons::findRepairs() {
  const bool mail = kind_ == store::KindMail;
  auto& p = s_.Person();
  p.setFileOrder();
  while (p.next() == Err::Ok) {
    const std::string address = p.rec.ADDRESS.str();
    bool due = address.empty();
    if (!due && mail)
      due = text::AISINB(true, "CSINET", p.rec.PERSONSTRING.str()) != 0 || containsBoxBar(address);
    if (due) repairIds_.push_back(p.rec.PERSONID);
  }
  progress_.done = 0;
  progress_.total = repairIds_.size();
}

void MergePersons::repairSlice() {
  const bool mail = kind_ == store::KindMail;
  int handled = 0;
  bool inTransaction = false;
  while (next_ < repairIds_.size() && handled < slice_) {
    const uint32_t id = repairIds_[next_++];
    ++handled;
    auto& p = s_.Person();
    p.clear();
    p.rec.PERSONID = id;
    if (p.get(store::Person::PersonKey) != Err::Ok) continue;
    text::NameAddress na = text::FindCISAdress(mail ? 2 : 1, p.rec.PERSONSTRING.str(), 60, 60);
    if (!looksLikeAddress(na.address) || na.address == p.rec.ADDRESS.str()) continue;
    Repair r;
    r.address = na.address;
    r.filedAs = p.rec.LASTNAME.str();
    store::ParseName(na.name, 25, r.lastName, 25, r.firstName);
    ++repaired_;
    if (dryRun_) {
      repairs_[id] = r;
      continue;
    }
    if (!inTransaction) {
      if (!begin()) return;
      inTransaction = true;
    }
    if (!repairPerson(id, r)) return;
  }
  progress_.done = next_;
  if (!endTick(next_ >= repairIds_.size())) return;
  if (next_ >= repairIds_.size()) {
    next_ = 0;
    progress_.caption = "Identifying duplicate " + mergeTexts(kind_).persons;
    state_ = State::Group;
  }
}

// Writes the repaired address and name, and the new sort prefixes into the
// person's messages when its last name changed.
bool MergePersons::repairPerson(uint32_t id, const Repair& r) {
  auto& p = s_.Person();
  p.clear();
  p.rec.PERSONID = id;
  if (!store::HoldRec(s_, p, store::Person::PersonKey, store::HoldBy::Key)) {
    fail("Person " + std::to_string(id) + " could not be held.");
    return false;
  }
  const std::string oldLast = p.rec.LASTNAME.str();
  p.rec.ADDRESS = r.address;
  p.rec.LASTNAME = r.lastName;
  p.rec.FIRSTNAME = r.firstName;
  const std::string newLast = p.rec.LASTNAME.str();
  if (!write(p, store::UppChange)) {
    fail("Person " + std::to_string(id) + " could not be written.");
    return false;
  }
  if (oldLast == newLast) return true;
  const auto oldPrefix = prefixOf(oldLast), newPrefix = prefixOf(newLast);
  if (kind_ == store::KindMail) {
    auto& m = s_.Mail();
    auto rewrite = [&](const std::vector<int64_t>& positions, bool sender) {
      for (int64_t pos : positions) {
        if (m.getPosition(pos) != Err::Ok) continue;
        if (sender) m.rec.FROMALPHA = newPrefix; else m.rec.TOALPHA = newPrefix;
        if (m.rec.PAIRID == id) m.rec.PAIRALPHA = newLast;
        if (!write(m, store::UppChange)) return false;
      }
      return true;
    };
    if (!rewrite(rangeOf(m, store::Mail::FromKey, &store::Mail::FROMALPHA, &store::Mail::FROMID, oldPrefix, id), true) ||
        !rewrite(rangeOf(m, store::Mail::ToKey, &store::Mail::TOALPHA, &store::Mail::TOID, oldPrefix, id), false)) {
      fail("A mail of person " + std::to_string(id) + " could not be written.");
      return false;
    }
    return true;
  }
  auto& m = s_.MsgNmbr();
  auto rewrite = [&](const std::vector<int64_t>& positions, bool sender) {
    for (int64_t pos : positions) {
      if (m.getPosition(pos) != Err::Ok) continue;
      if (sender) m.rec.FROMALPHA = newPrefix; else m.rec.TOALPHA = newPrefix;
      if (!write(m, store::UppChange)) return false;
    }
    return true;
  };
  if (!rewrite(rangeOf(m, store::MsgNmbr::FromKey, &store::MsgNmbr::FROMALPHA, &store::MsgNmbr::FROMID, oldPrefix, id),
               true) ||
      !rewrite(rangeOf(m, store::MsgNmbr::ToKey, &store::MsgNmbr::TOALPHA, &store::MsgNmbr::TOID, oldPrefix, id),
               false)) {
    fail("A message of person " + std::to_string(id) + " could not be written.");
    return false;
  }
  return true;
}

// Reads the persons in address order; consecutive persons whose addresses
// are equal without regard to letter case form a group. A dry run places
// the persons it would repair by their repaired address.
void MergePersons::group() {
  std::map<std::string, std::vector<MergeMember>> moved;  // dry run: repaired persons by folded address
  for (auto& [id, r] : repairs_) {
    if (r.address.empty()) continue;
    auto& p = s_.Person();
    p.clear();
    p.rec.PERSONID = id;
    if (p.get(store::Person::PersonKey) != Err::Ok) continue;
    MergeMember m{id, p.rec.PERSONSTRING.str(), r.lastName, r.firstName, r.address};
    moved[fold(r.address)].push_back(m);
  }
  std::vector<std::pair<std::string, MergeGroup>> found;
  auto flush = [&](const std::string& key, std::vector<MergeMember>& run) {
    auto it = moved.find(key);
    if (it != moved.end()) {
      run.insert(run.end(), it->second.begin(), it->second.end());
      moved.erase(it);
    }
    if (run.size() >= 2) {
      std::sort(run.begin(), run.end(), [](const MergeMember& a, const MergeMember& b) { return a.id < b.id; });
      MergeGroup g;
      g.address = run.front().address;
      g.members = run;
      found.emplace_back(key, std::move(g));
    }
    run.clear();
  };
  auto& p = s_.Person();
  p.clear();
  p.set(store::Person::AddressKey);
  std::string currentKey;
  std::vector<MergeMember> run;
  while (p.next() == Err::Ok) {
    if (repairs_.count(p.rec.PERSONID)) continue;  // placed by its repaired address
    const std::string address = p.rec.ADDRESS.str();
    if (address.empty()) continue;
    std::string key = fold(address);
    if (key != currentKey) {
      if (!run.empty()) flush(currentKey, run);
      currentKey = key;
    }
    run.push_back({p.rec.PERSONID, p.rec.PERSONSTRING.str(), p.rec.LASTNAME.str(), p.rec.FIRSTNAME.str(), address});
  }
  if (!run.empty()) flush(currentKey, run);
  // Repaired persons whose address nobody else in the file has yet.
  auto rest = std::move(moved);
  moved.clear();
  for (auto& [key, members] : rest) flush(key, members);
  std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  for (auto& f : found) groups_.push_back(std::move(f.second));
  next_ = nextMember_ = 0;
  progress_.caption = "Processing Step 1";
  progress_.done = 0;
  progress_.total = groups_.size();
  state_ = State::Count;
}

// The messages each member sent, and the date of the newest.
void MergePersons::countSlice() {
  const bool mail = kind_ == store::KindMail;
  int handled = 0;
  while (next_ < groups_.size() && handled < slice_) {
    for (auto& m : groups_[next_].members) {
      auto repaired = repairs_.find(m.id);
      const auto prefix = prefixOf(repaired == repairs_.end() ? m.lastName : repaired->second.filedAs);
      if (mail) {
        auto& f = s_.Mail();
        for (int64_t pos : rangeOf(f, store::Mail::FromKey, &store::Mail::FROMALPHA, &store::Mail::FROMID, prefix, m.id)) {
          if (f.getPosition(pos) != Err::Ok) continue;
          ++m.sent;
          ++handled;
          if (f.rec.DATE > m.newestDate || (f.rec.DATE == m.newestDate && f.rec.TIME > m.newestTime)) {
            m.newestDate = f.rec.DATE;
            m.newestTime = f.rec.TIME;
          }
        }
      } else {
        auto& f = s_.MsgNmbr();
        for (int64_t pos :
             rangeOf(f, store::MsgNmbr::FromKey, &store::MsgNmbr::FROMALPHA, &store::MsgNmbr::FROMID, prefix, m.id)) {
          if (f.getPosition(pos) != Err::Ok) continue;
          ++m.sent;
          ++handled;
          m.newestDate = std::max(m.newestDate, f.rec.DATE);
        }
      }
    }
    ++handled;
    ++next_;
  }
  progress_.done = next_;
  if (next_ >= groups_.size()) state_ = State::Choose;
}

namespace {

bool newer(const MergeMember& a, const MergeMember& b) {
  return a.newestDate != b.newestDate ? a.newestDate > b.newestDate : a.newestTime > b.newestTime;
}

std::string dayText(int32_t day) {
  std::string t = store::formatDateAs(10, day);
  return t.empty() ? "no date" : t;
}

}  // namespace

// The survivor of each group: among the members that sent messages, the one
// with the newest message, except that a member with a blank last name
// gives way to any later sender; when nobody sent anything, the last member.
// The owner of a mail database always survives: its identifier is the
// database's own person (FOR:PERSONID).
void MergePersons::choose() {
  for (auto& g : groups_) {
    int survivor = -1;
    for (std::size_t i = 0; i < g.members.size(); ++i) {
      const MergeMember& m = g.members[i];
      if (m.sent == 0) continue;
      if (survivor < 0) {
        survivor = static_cast<int>(i);
        continue;
      }
      const MergeMember& cur = g.members[static_cast<std::size_t>(survivor)];
      if (cur.lastName.empty() || (!m.lastName.empty() && newer(m, cur))) survivor = static_cast<int>(i);
    }
    const std::string shared = "shares the address " + g.address;
    if (survivor >= 0) {
      g.survivor = static_cast<std::size_t>(survivor);
      const MergeMember& k = g.kept();
      int senders = 0;
      for (auto& m : g.members) senders += m.sent ? 1 : 0;
      g.reason = senders == 1 ? "the only sender (" + std::to_string(k.sent) + " sent); " + shared
                              : "newest sent message (" + dayText(k.newestDate) + ", " + std::to_string(k.sent) +
                                    " sent); " + shared;
    } else {
      g.survivor = g.members.size() - 1;
      g.reason = "nobody sent messages: the last of the group; " + shared;
    }
    if (owner_) {
      for (std::size_t i = 0; i < g.members.size(); ++i)
        if (g.members[i].id == owner_ && g.survivor != i) {
          g.survivor = i;
          g.reason = "the owner of the mail database; " + shared;
        }
    }
  }
  next_ = 0;
  progress_.caption = "Recoding Message Receiver ID";
  progress_.done = 0;
  progress_.total = groups_.size();
  state_ = State::Merge;
  if (dryRun_) {
    counters_.merged = 0;
    for (auto& g : groups_) counters_.merged += static_cast<uint32_t>(g.members.size() - 1);
    dryRunWithoutMessages();
    progress_.caption = "Updating message counts per person";
    finalMessage_ = "The Duplicate Removal Process has finished!";
    finish();
  }
}

void MergePersons::mergeSlice() {
  int writesBefore = 0;
  if (next_ < groups_.size() && !begin()) return;
  while (next_ < groups_.size() && writesBefore < slice_) {
    const MergeGroup& g = groups_[next_];
    if (!mergeGroup(g)) return;
    writesBefore += static_cast<int>(g.members.size());
    ++next_;
  }
  if (!endTick(next_ >= groups_.size())) return;
  progress_.done = next_;
  if (next_ >= groups_.size()) {
    progress_.caption = "Updating message counts per person";
    state_ = State::Recount;
  }
}

// Moves every message of the group's other members to the survivor, links
// their identity strings (and the links that pointed to them) to it,
// deletes them and recounts the survivor. Inside the open transaction.
bool MergePersons::mergeGroup(const MergeGroup& g) {
  const MergeMember& k = g.kept();
  const auto newPrefix = prefixOf(k.lastName);
  const bool mail = kind_ == store::KindMail;
  for (std::size_t i = 0; i < g.members.size(); ++i) {
    if (i == g.survivor) continue;
    const MergeMember& m = g.members[i];
    auto& p = s_.Person();
    p.clear();
    p.rec.PERSONID = m.id;
    if (p.get(store::Person::PersonKey) != Err::Ok) continue;  // gone meanwhile
    const store::Person old = p.rec;
    const auto oldPrefix = prefixOf(old.LASTNAME.str());
    // Every message that names the old person as partner, sender or
    // receiver names the survivor instead; each record is written once.
    auto moveMessages = [&](auto& f, std::vector<int64_t> positions) {
      std::sort(positions.begin(), positions.end());
      positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
      for (int64_t pos : positions) {
        if (f.getPosition(pos) != Err::Ok) continue;
        auto& r = f.rec;
        if constexpr (requires { r.PAIRID; }) {
          if (r.PAIRID == m.id) {
            r.PAIRID = k.id;
            r.PAIRALPHA = k.lastName;
          }
        }
        if (r.FROMID == m.id) {
          r.FROMID = k.id;
          r.FROMALPHA = newPrefix;
        }
        if (r.TOID == m.id) {
          r.TOID = k.id;
          r.TOALPHA = newPrefix;
        }
        if (!write(f, store::UppChange)) return false;
      }
      return true;
    };
    auto append = [](std::vector<int64_t>& to, const std::vector<int64_t>& more) {
      to.insert(to.end(), more.begin(), more.end());
    };
    bool ok;
    if (mail) {
      auto& f = s_.Mail();
      std::vector<int64_t> positions =
          rangeOf(f, store::Mail::PairKey, &store::Mail::PAIRALPHA, &store::Mail::PAIRID,
                  store::FixedString<25>(old.LASTNAME.str()), m.id);
      append(positions, rangeOf(f, store::Mail::FromKey, &store::Mail::FROMALPHA, &store::Mail::FROMID, oldPrefix, m.id));
      append(positions, rangeOf(f, store::Mail::ToKey, &store::Mail::TOALPHA, &store::Mail::TOID, oldPrefix, m.id));
      ok = moveMessages(f, std::move(positions));
    } else {
      auto& f = s_.MsgNmbr();
      std::vector<int64_t> positions =
          rangeOf(f, store::MsgNmbr::ToKey, &store::MsgNmbr::TOALPHA, &store::MsgNmbr::TOID, oldPrefix, m.id);
      append(positions,
             rangeOf(f, store::MsgNmbr::FromKey, &store::MsgNmbr::FROMALPHA, &store::MsgNmbr::FROMID, oldPrefix, m.id));
      ok = moveMessages(f, std::move(positions));
    }
    if (!ok) {
      fail("A message of person " + std::to_string(m.id) + " could not be moved.");
      return false;
    }
    // Links that stood for the old person now stand for the survivor.
    auto& l = s_.PLINK();
    std::vector<int64_t> links;
    l.clear();
    l.rec.PERSONID = m.id;
    if (l.setAt(store::PLINK::PersonKey) == Err::Ok)
      while (l.next() == Err::Ok && l.rec.PERSONID == m.id) links.push_back(l.position());
    for (int64_t pos : links) {
      if (l.getPosition(pos) != Err::Ok) continue;
      l.rec.PERSONID = k.id;
      if (!write(l, store::UppChange)) {
        fail("A person link could not be written.");
        return false;
      }
    }
    // The old identity string becomes a link to the survivor.
    l.clear();
    l.rec.PERSONSTRING = old.PERSONSTRING;
    if (l.get(store::PLINK::StringKey) == Err::Ok) {
      l.rec.PERSONID = k.id;
      ok = write(l, store::UppChange) != 0;
    } else {
      l.clear();
      l.rec.PERSONSTRING = old.PERSONSTRING;
      l.rec.PERSONID = k.id;
      ok = write(l, store::UppAdd) != 0;
    }
    if (!ok) {
      fail("The link of person " + std::to_string(m.id) + " could not be added.");
      return false;
    }
    p.clear();
    p.rec.PERSONID = m.id;
    if (p.get(store::Person::PersonKey) != Err::Ok || !write(p, store::UppDelete)) {
      fail("Person " + std::to_string(m.id) + " could not be deleted.");
      return false;
    }
    ++counters_.merged;
  }
  // The survivor's counts, so that they are right even when the run stops
  // after this group.
  auto& p = s_.Person();
  p.clear();
  p.rec.PERSONID = k.id;
  if (p.get(store::Person::PersonKey) != Err::Ok) return true;
  uint8_t r = mail ? store::CFromToMail(s_, 1) : store::CFromToMsg(s_);
  if (r == store::RecountNone) {
    p.rec.FROMCOUNT = 0;
    p.rec.TOCOUNT = 0;
    r = store::RecountChanged;
  }
  if (r == store::RecountChanged && !write(p, store::UppChange)) {
    fail("Person " + std::to_string(k.id) + " could not be written.");
    return false;
  }
  return true;
}

// Every count of the database from its messages (archive/counts.h), then
// the persons left without any message.
void MergePersons::recount() {
  if (!store::recountDatabase(s_, forumId_)) return fail("The message counts could not be written.");
  auto& p = s_.Person();
  p.setFileOrder();
  while (p.next() == Err::Ok)
    if (p.rec.FROMCOUNT == 0 && p.rec.TOCOUNT == 0 && p.rec.PERSONID != owner_) removeIds_.push_back(p.rec.PERSONID);
  next_ = 0;
  progress_.done = 0;
  progress_.total = removeIds_.size();
  state_ = State::Remove;
}

void MergePersons::removeSlice() {
  if (next_ < removeIds_.size() && !begin()) return;
  int handled = 0;
  while (next_ < removeIds_.size() && handled < slice_) {
    const uint32_t id = removeIds_[next_++];
    ++handled;
    auto& p = s_.Person();
    p.clear();
    p.rec.PERSONID = id;
    if (p.get(store::Person::PersonKey) != Err::Ok) continue;
    if (p.rec.FROMCOUNT != 0 || p.rec.TOCOUNT != 0) continue;
    if (!write(p, store::UppDelete)) return fail("Person could not be deleted.");
    ++counters_.withoutMessages;
  }
  if (!endTick(next_ >= removeIds_.size())) return;
  progress_.done = next_;
  if (next_ >= removeIds_.size()) state_ = State::Links;
}

// Links whose person no longer exists would make the next import create a
// fresh person anyway; they go.
void MergePersons::cleanLinks() {
  std::vector<int64_t> stale;
  auto& l = s_.PLINK();
  auto& p = s_.Person();
  l.setFileOrder();
  std::vector<std::pair<int64_t, uint32_t>> links;
  while (l.next() == Err::Ok) links.emplace_back(l.position(), l.rec.PERSONID);
  for (auto& [pos, id] : links) {
    p.clear();
    p.rec.PERSONID = id;
    if (p.get(store::Person::PersonKey) != Err::Ok) stale.push_back(pos);
  }
  if (!stale.empty()) {
    if (!begin()) return;
    for (int64_t pos : stale) {
      if (l.getPosition(pos) != Err::Ok) continue;
      if (!write(l, store::UppDelete)) return fail("A person link could not be deleted.");
    }
    if (!commit()) return;
  }
  finalMessage_ = "The Duplicate Removal Process has finished!";
  finish();
}

// Dry run: the persons that a real run would remove for having no message,
// once the groups are merged.
bool MergePersons::dryRunWithoutMessages() {
  const bool mail = kind_ == store::KindMail;
  std::set<uint32_t> mergedAway;
  std::map<uint32_t, std::vector<uint32_t>> intoSurvivor;
  for (auto& g : groups_)
    for (std::size_t i = 0; i < g.members.size(); ++i)
      if (i != g.survivor) {
        mergedAway.insert(g.members[i].id);
        intoSurvivor[g.kept().id].push_back(g.members[i].id);
      }
  auto hasMessages = [&](uint32_t id) {
    auto& p = s_.Person();
    p.clear();
    p.rec.PERSONID = id;
    if (p.get(store::Person::PersonKey) != Err::Ok) return false;
    return (mail ? store::CFromToMail(s_, 0) : store::CFromToMsg(s_)) != store::RecountNone;
  };
  std::vector<uint32_t> ids;
  auto& p = s_.Person();
  p.setFileOrder();
  while (p.next() == Err::Ok) ids.push_back(p.rec.PERSONID);
  counters_.withoutMessages = 0;
  for (uint32_t id : ids) {
    if (mergedAway.count(id) || id == owner_) continue;
    bool any = hasMessages(id);
    auto it = intoSurvivor.find(id);
    if (!any && it != intoSurvivor.end())
      for (uint32_t other : it->second)
        if ((any = hasMessages(other))) break;
    if (!any) ++counters_.withoutMessages;
  }
  return true;
}

bool MergePersons::write(store::KeyedFile& f, store::UppAction action) {
  if (!store::UppDat(s_, f, action, store::ErrRollback)) return false;
  ++writes_;
  return true;
}

// A step ends between groups: the transaction is committed once it holds
// more than 400 writes, and when the stage is done.
bool MergePersons::endTick(bool stageDone) {
  if (!s_.transaction().active() || (!stageDone && writes_ <= kCommitAfter)) return true;
  return commit();
}

bool MergePersons::begin() {
  if (s_.transaction().active()) return true;
  if (!store::beginTransaction(s_, mergeFiles(s_, kind_ == store::KindMail), 5)) {
    fail("The transaction could not be begun.");
    return false;
  }
  return true;
}

bool MergePersons::commit() {
  if (!s_.transaction().active()) return true;
  writes_ = 0;
  if (!store::commitTransaction(s_)) {
    fail("The transaction could not be committed.");
    return false;
  }
  // Between transactions: stop while the database's disk can still take
  // the counts (unless the user goes on).
  if (store::CheckSpace(s_, kSpaceNeeded, s_.databaseDir()) != 0) {
    fail("Too little disk space is free in " + s_.databaseDir() + ".");
    return false;
  }
  return true;
}

void MergePersons::fail(const std::string& why) {
  failed_ = true;
  error_ = why;
  if (s_.transaction().active()) s_.transaction().rollback();
  finalMessage_ = "Process aborted!";
  finish();
}

void MergePersons::closeFiles() {
  if (filesOpen_) {
    store::OP_CLOSE(s_, store::OpClose,
                    {FileNo::Person, FileNo::PLINK, kind_ == store::KindMail ? FileNo::Mail : FileNo::MsgNmbr});
    filesOpen_ = false;
  }
  if (selected_) {
    s_.restoreDatabase(saved_);
    selected_ = false;
  }
}

void MergePersons::finish() {
  if (s_.transaction().active()) (void)commit();
  closeFiles();
  state_ = State::Done;
}

}  // namespace qb::maintenance
