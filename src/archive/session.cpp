#include "archive/session.h"

#include <map>
#include <mutex>

namespace qb::store {

namespace {

std::mutex& registryMutex() {
  static std::mutex m;
  return m;
}
std::map<int, FileFactory>& registry() {
  static std::map<int, FileFactory> r;
  return r;
}

// Record buffers of the archive's own files.
std::unique_ptr<KeyedFile> makeStoreFile(int no) {
  switch (no) {
    case 1: return std::make_unique<Table<Codes>>();
    case 2: return std::make_unique<Table<Forums>>();
    case 3: return std::make_unique<Table<MsgNmbr>>();
    case 4: return std::make_unique<Table<MsgText>>();
    case 5: return std::make_unique<Table<Person>>();
    case 6: return std::make_unique<Table<Sections>>();
    case 7: return std::make_unique<Table<Threads>>();
    case 8: return std::make_unique<Table<Control>>();
    case 9: return std::make_unique<Table<SIndex>>();
    case 13: return std::make_unique<Table<Mail>>();
    case 17: return std::make_unique<Table<CCR>>();
    case 18: return std::make_unique<Table<SaveFile>>();
    case 22: return std::make_unique<Table<REF>>();
    case 23: return std::make_unique<Table<PLINK>>();
    case 25: return std::make_unique<Table<MsgString>>();
    case 43: return std::make_unique<Table<Neo>>();
    default: return nullptr;
  }
}

}  // namespace

void registerFileFactory(FileNo file, FileFactory factory) {
  const int no = fileNumber(file);
  std::lock_guard<std::mutex> lock(registryMutex());
  registry()[no] = std::move(factory);
}

Session::Session(UserInterface& ui) : ui_(ui), transaction_(std::make_unique<Transaction>()) {}

Session::~Session() {
  if (transaction_ && transaction_->active()) transaction_->rollback();
  transaction_.reset();
  for (auto& f : files_)
    if (f && f->isOpen()) f->close();
}

void Session::selectDatabase(const store::Forums& f) {
  Description = f.DESCRIPTION.str();
  Dirnamn = "F" + std::to_string(f.DIRNUMBER);
  ForumNumber = f.ID;
  ForumCheck = f.DUMMY;
  ForumType = f.TYPE;
  TargetNG = f.TARGETNG;
  PersonID = f.PERSONID;
  WordListIndexNeedsUpdate = f.WORDLISTINDEXNEEDSUPDATE;
}

void Session::clearDatabase() {
  Description.clear();
  Dirnamn.clear();
  ForumNumber = 0;
  ForumCheck = 0;
  ForumType = 0;
  TargetNG = 0;
  PersonID = 0;
  WordListIndexNeedsUpdate = 0;
}

Session::DatabaseSelection Session::currentDatabase() const {
  return {Dirnamn, Description, ForumNumber, PersonID, ForumType, ForumCheck, TargetNG, WordListIndexNeedsUpdate};
}

void Session::restoreDatabase(const DatabaseSelection& d) {
  Dirnamn = d.Dirnamn;
  Description = d.Description;
  ForumNumber = d.ForumNumber;
  PersonID = d.PersonID;
  ForumType = d.ForumType;
  ForumCheck = d.ForumCheck;
  TargetNG = d.TargetNG;
  WordListIndexNeedsUpdate = d.WordListIndexNeedsUpdate;
}

std::string Session::databaseDir() const { return FileDir + "/" + Dirnamn; }
std::string Session::cfgDir() const { return Net + "/CFG"; }

void Session::tell(const std::string& text, const std::string& title, Icon icon) {
  if (!suppressed()) ui_.tell(text, title, icon);
}

Button Session::ask(const std::string& text, const std::string& title, unsigned buttons, Button def,
                    Icon icon) {
  if (suppressed()) return def;
  return ui_.ask(text, title, buttons, def, icon);
}

void Session::beep() {
  if (!suppressed()) ui_.beep();
}

void Session::fatal(const std::string& text, const std::string& title, const std::string& followUp) {
  ui_.tell(text, title, Icon::Hand);
  if (!followUp.empty()) ui_.tell(followUp, title, Icon::Exclamation);
  throw FatalStop(text, title);
}

KeyedFile& Session::file(int no) {
  if (no < 1 || no > kFileCount) throw std::logic_error("file number " + std::to_string(no) + " out of range");
  auto& f = files_[static_cast<std::size_t>(no)];
  if (!f) {
    f = makeStoreFile(no);
    if (!f) {
      FileFactory factory;
      {
        std::lock_guard<std::mutex> lock(registryMutex());
        auto it = registry().find(no);
        if (it != registry().end()) factory = it->second;
      }
      if (factory) f = factory();
    }
    if (!f) throw std::logic_error("no record buffer for file number " + std::to_string(no));
  }
  return *f;
}

int Session::numberOf(const KeyedFile& f) const {
  for (int no = 1; no <= kFileCount; ++no)
    if (files_[static_cast<std::size_t>(no)].get() == &f) return no;
  return 0;
}

int Session::openCount(int no) const {
  if (no < 1 || no > kFileCount) return 0;
  return openCounts_[static_cast<std::size_t>(no)];
}

void Session::setOpenCount(int no, int count) {
  if (no < 1 || no > kFileCount) return;
  openCounts_[static_cast<std::size_t>(no)] = count < 0 ? 0 : count;
}

}  // namespace qb::store
