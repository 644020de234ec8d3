#pragma once
// The run's database list: every database of the archive as the import run
// found it in Forums at its start, plus the forums and newsgroups met for
// the first time during the run, and the databases that received messages.
// Database resolution turns a forum, newsgroup or mailbox name into the
// identifier of its target database, following newsgroup redirection.

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "import/converter.h"
#include "import/work_records.h"

namespace qb::store {
class Session;
}

namespace qb::import {

struct RunDatabase {
  uint32_t id = 0;
  std::string name;       // FOR:DESCRIPTION without trailing blanks
  std::string upperName;  // the lookup key
  uint32_t dirNumber = 0;
  bool isNew = false;     // met for the first time in this run: its Forums record is still to be added
  bool accept = true;     // not FOR:NOIMPORT
  uint8_t kind = 0;       // FOR:TYPE
  uint32_t redirectId = 0;     // target of a taken redirection, 0 none
  std::string redirectName;    // the target's name
};

class RunDatabases {
 public:
  // Loads every Forums record (the file must be open). A redirection is
  // taken only when its target exists and is not itself redirected.
  void load(store::Session& s);
  // For tests and for a run that starts without Forums.
  void add(RunDatabase db);

  // Database resolution. Unknown names get a new entry (identifier from
  // `newId`, the next free directory number, kind 3 for a newsgroup and 1
  // otherwise) unless existsOnly is set or kind is 2 (mail databases are
  // made by the user, never by an import); then the result has id 0 and
  // does not accept. A blank name never resolves; a mail database takes
  // only mail (kind 2) and mail goes only into a mail database.
  Resolution resolve(const std::string& name, int kind, NHR& nhr, bool existsOnly,
                     const std::function<uint32_t()>& newId);

  // Notes that a database received a work record (also when the converter
  // filled NHR:INTERNAL without resolving).
  void noteReceived(uint32_t id);

  const RunDatabase* find(uint32_t id) const;
  const RunDatabase* findName(const std::string& name) const;
  // The databases that received messages, in the order they were first met.
  std::vector<const RunDatabase*> received() const;
  uint32_t nextDirNumber() const { return nextDir_; }
  std::size_t size() const { return list_.size(); }

 private:
  RunDatabase* byName(const std::string& upper);
  std::vector<RunDatabase> list_;
  std::map<std::string, std::size_t> index_;  // upper-case name -> position
  std::map<uint32_t, std::size_t> ids_;       // identifier -> position
  std::vector<uint32_t> received_;
  uint32_t nextDir_ = 1;
};

}  // namespace qb::import
