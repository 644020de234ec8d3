#include "index/result_set.h"

#include <algorithm>

#include "archive/file_table.h"
#include "archive/record_access.h"
#include "archive/word_files.h"
#include "text/strings.h"

namespace qb::index {

using store::Err;

std::vector<ResultOrder> resultOrders(bool mail) {
  if (mail) return {ResultOrder::Date, ResultOrder::Partner, ResultOrder::Sender, ResultOrder::Receiver, ResultOrder::Subject};
  return {ResultOrder::Date, ResultOrder::Thread, ResultOrder::Section, ResultOrder::Sender, ResultOrder::Receiver};
}

namespace {
const char* orderName(ResultOrder o) {
  switch (o) {
    case ResultOrder::Date: return "date";
    case ResultOrder::Partner: return "partner";
    case ResultOrder::Sender: return "sender";
    case ResultOrder::Receiver: return "receiver";
    case ResultOrder::Subject: return "subject";
    case ResultOrder::Thread: return "thread";
    case ResultOrder::Section: return "section";
    case ResultOrder::Found: return "found";
  }
  return "";
}
}  // namespace

std::string resultOrderText(ResultOrder o, bool current) {
  return std::string(current ? "+" : "") + "Sort by " + orderName(o);
}

std::string resultOrderMenu(bool mail, ResultOrder current) {
  std::string out;
  for (ResultOrder o : resultOrders(mail)) out += (out.empty() ? "" : "|") + resultOrderText(o, o == current);
  return out;
}

bool resultOrderByName(const std::string& name, ResultOrder& out) {
  for (ResultOrder o : {ResultOrder::Found, ResultOrder::Date, ResultOrder::Partner, ResultOrder::Sender, ResultOrder::Receiver,
                        ResultOrder::Subject, ResultOrder::Thread, ResultOrder::Section})
    if (name == orderName(o)) {
      out = o;
      return true;
    }
  return false;
}

bool storeResultSet(store::Session& s, const std::vector<uint32_t>& ids) {
  if (store::openWordFile(s, 32) != Err::Ok) {
    s.tell("The result file cannot be opened.", "Search");
    return false;
  }
  auto& f = store::searchFile(s);
  // Emptying needs the file to itself: closed and opened exclusively.
  f.close();
  if (store::openWordFile(s, 32, store::Access::ReadWriteExclusive) != Err::Ok || f.empty() != Err::Ok) {
    s.tell("The result file cannot be emptied.", "Search");
    f.close();
    return false;
  }
  if (!store::beginTransaction(s, {&f})) return false;
  uint32_t sort = 0;
  for (uint32_t id : ids) {
    f.clear();
    f.rec.SORT = ++sort;
    f.rec.ID = id;
    if (!store::UppDat(s, f, store::UppAppend, store::ErrRollback)) return false;
  }
  if (!store::commitTransaction(s)) return false;
  if (f.lock(5) != Err::Ok) return false;
  Err r = f.buildKeys();
  f.unlock();
  if (r != Err::Ok && r != Err::DuplicateKey)
    s.fatal(std::string("The result file cannot be rebuilt: ") + store::errorText(r), "Search");
  // Back to shared use, so that the browse windows can read it.
  f.close();
  store::openWordFile(s, 32);
  return true;
}

std::vector<uint32_t> loadResultSet(store::Session& s) {
  std::vector<uint32_t> out;
  if (store::openWordFile(s, 32) != Err::Ok) return out;
  auto& f = store::searchFile(s);
  f.set(store::Search::SortKey);
  while (f.next() == Err::Ok) out.push_back(f.rec.ID);
  return out;
}

namespace {

// Sort keys as byte strings compared bytewise, like the store's keys:
// names without regard to case, numbers big-endian, descending parts
// inverted.
struct KeyText {
  std::string k;
  void name(const std::string& v, std::size_t width) {
    std::string u = text::upper1252(v);
    u.resize(width, ' ');
    k += u;
  }
  void num(int64_t v, bool descending) {
    auto u = static_cast<uint64_t>(v) ^ (uint64_t{1} << 63);
    if (descending) u = ~u;
    for (int i = 7; i >= 0; --i) k += static_cast<char>((u >> (8 * i)) & 0xFF);
  }
};

std::string mailKey(const store::Mail& m, ResultOrder o) {
  KeyText t;
  switch (o) {
    case ResultOrder::Partner: t.name(m.PAIRALPHA.str(), 25); t.num(m.PAIRID, false); break;
    case ResultOrder::Sender: t.name(m.FROMALPHA.str(), 10); t.num(m.FROMID, false); break;
    case ResultOrder::Receiver: t.name(m.TOALPHA.str(), 10); t.num(m.TOID, false); break;
    case ResultOrder::Subject: t.name(m.SUBJECT.str(), 50); break;
    default: break;
  }
  t.num(m.DATE, true);
  t.num(m.TIME, true);
  return t.k;
}

std::string messageKey(const store::MsgNmbr& m, ResultOrder o) {
  KeyText t;
  switch (o) {
    case ResultOrder::Thread: t.name(m.THREADALPHA.str(), 10); t.num(m.THREADNUMBER, false); break;
    case ResultOrder::Section:
      t.num(m.SECSYSID, false);
      t.name(m.THREADALPHA.str(), 10);
      t.num(m.THREADNUMBER, false);
      break;
    case ResultOrder::Sender: t.name(m.FROMALPHA.str(), 10); t.num(m.FROMID, false); break;
    case ResultOrder::Receiver: t.name(m.TOALPHA.str(), 10); t.num(m.TOID, false); break;
    default: break;
  }
  t.num(m.DATE, true);
  t.num(m.MSGNUMBER, false);
  return t.k;
}

}  // namespace

std::vector<uint32_t> resortResults(store::Session& s, const std::vector<uint32_t>& ids, ResultOrder order) {
  if (order == ResultOrder::Found) return ids;
  const bool mail = s.ForumType == store::KindMail;
  std::vector<std::pair<std::string, uint32_t>> keyed;
  keyed.reserve(ids.size());
  if (mail) {
    store::OP_CLOSE(s, store::OpOpen, {13});
    auto& f = s.Mail();
    for (uint32_t id : ids) {
      f.clear();
      f.rec.MAILID = id;
      if (f.get(store::Mail::IdKey) == Err::Ok) keyed.emplace_back(mailKey(f.rec, order), id);
    }
    store::OP_CLOSE(s, store::OpClose, {13});
  } else {
    store::OP_CLOSE(s, store::OpOpen, {3});
    auto& f = s.MsgNmbr();
    for (uint32_t id : ids) {
      f.clear();
      f.rec.MSGNUMBER = id;
      if (f.get(store::MsgNmbr::IdKey) == Err::Ok) keyed.emplace_back(messageKey(f.rec, order), id);
    }
    store::OP_CLOSE(s, store::OpClose, {3});
  }
  std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<uint32_t> out;
  out.reserve(keyed.size());
  for (auto& [k, id] : keyed) out.push_back(id);
  return out;
}

}  // namespace qb::index
