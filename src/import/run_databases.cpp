#include "import/run_databases.h"

#include <algorithm>

#include "archive/records.h"
#include "archive/session.h"

namespace qb::import {
namespace {

// The name as FOR:DESCRIPTION holds it: at most 100 characters, without
// trailing blanks.
std::string storedName(const std::string& name) {
  store::FixedString<100> f(name);
  return f.str();
}

}  // namespace

void RunDatabases::load(store::Session& s) {
  list_.clear();
  index_.clear();
  ids_.clear();
  received_.clear();
  nextDir_ = 1;
  auto& forums = s.Forums();
  std::vector<std::pair<uint32_t, uint32_t>> redirections;  // (position, target id)
  forums.setFileOrder();
  while (forums.next() == store::Err::Ok) {
    const store::Forums& f = forums.rec;
    RunDatabase db;
    db.id = f.ID;
    db.name = f.DESCRIPTION.str();
    db.dirNumber = f.DIRNUMBER;
    db.accept = f.NOIMPORT == 0;
    db.kind = f.TYPE;
    if (f.REDIRNOW != 0) redirections.emplace_back(static_cast<uint32_t>(list_.size()), f.REDIRNOW);
    add(std::move(db));
  }
  // Redirections are taken after the whole list is known: the target must
  // exist and must not itself be redirected.
  std::map<uint32_t, uint32_t> redirectedIds;
  for (auto& [pos, target] : redirections) redirectedIds[list_[pos].id] = target;
  for (auto& [pos, target] : redirections) {
    const RunDatabase* t = find(target);
    if (!t || redirectedIds.count(target) || target == list_[pos].id) continue;
    list_[pos].redirectId = t->id;
    list_[pos].redirectName = t->name;
  }
}

void RunDatabases::add(RunDatabase db) {
  db.name = storedName(db.name);
  db.upperName = text::upper1252(db.name);
  nextDir_ = std::max(nextDir_, db.dirNumber + 1);
  index_[db.upperName] = list_.size();
  ids_[db.id] = list_.size();
  list_.push_back(std::move(db));
}

RunDatabase* RunDatabases::byName(const std::string& upper) {
  auto it = index_.find(upper);
  return it == index_.end() ? nullptr : &list_[it->second];
}

const RunDatabase* RunDatabases::find(uint32_t id) const {
  auto it = ids_.find(id);
  return it == ids_.end() ? nullptr : &list_[it->second];
}

const RunDatabase* RunDatabases::findName(const std::string& name) const {
  auto it = index_.find(text::upper1252(storedName(name)));
  return it == index_.end() ? nullptr : &list_[it->second];
}

Resolution RunDatabases::resolve(const std::string& name, int kind, NHR& nhr, bool existsOnly,
                                 const std::function<uint32_t()>& newId) {
  std::string stored = storedName(name);
  if (stored.empty()) return {};
  RunDatabase* db = byName(text::upper1252(stored));
  if (!db) {
    if (existsOnly || kind == store::KindMail) return {};
    uint32_t id = newId();
    if (id == 0) return {};
    RunDatabase fresh;
    fresh.id = id;
    fresh.name = stored;
    fresh.dirNumber = nextDir_;
    fresh.isNew = true;
    fresh.accept = true;
    fresh.kind = kind == store::KindNewsgroup ? store::KindNewsgroup : store::KindForum;
    add(std::move(fresh));
    db = &list_.back();
  }
  // Mail goes only into mail databases, forum and newsgroup messages never.
  if ((db->kind == store::KindMail) != (kind == store::KindMail)) return Resolution{db->id, false, db->kind};
  const RunDatabase* target = db;
  if (kind == store::KindNewsgroup) {
    nhr.SECTIONNUMBER = db->id;
    nhr.SEC_DESCRIPTION = db->name;
    if (db->redirectId != 0)
      if (const RunDatabase* t = find(db->redirectId)) target = t;
  }
  Resolution r{target->id, target->accept, target->kind};
  if (r.accept && !existsOnly) noteReceived(r.id);
  return r;
}

void RunDatabases::noteReceived(uint32_t id) {
  if (std::find(received_.begin(), received_.end(), id) == received_.end()) received_.push_back(id);
}

std::vector<const RunDatabase*> RunDatabases::received() const {
  std::vector<const RunDatabase*> out;
  for (uint32_t id : received_)
    if (const RunDatabase* db = find(id)) out.push_back(db);
  return out;
}

}  // namespace qb::import
