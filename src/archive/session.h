#pragma once
// The session: what one running copy of the program knows about the archive.
// It holds the variables of the current database and of the run (the Mem:
// variables and their companions), the record buffer and open count of every
// file number, the open transaction, and the user interface through which
// the engine speaks, with the rule that unattended task processing
// (DoTask 2 or 6) shows no message other than a fatal one.
//
// Two Session objects on one home behave like two copies of the program on
// one archive.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <typeindex>
#include <unordered_map>

#include "store/keyed_file.h"
#include "archive/file_numbers.h"
#include "archive/messages.h"
#include "archive/records.h"

namespace qb::store {

constexpr int kFileCount = 43;  // file numbers run from 1 to 43

// Record buffers of file numbers whose records are declared outside the
// store (import work files, scheduler files, word-index files) are made by
// factories that their owners register once:
//
//   static FileRegistration reg(FileNo::ImportWork, [] { return std::make_unique<Table<NHR>>(); });
using FileFactory = std::function<std::unique_ptr<KeyedFile>()>;
void registerFileFactory(FileNo no, FileFactory factory);
struct FileRegistration {
  FileRegistration(FileNo no, FileFactory factory) { registerFileFactory(no, std::move(factory)); }
};

class Session {
 public:
  explicit Session(UserInterface& ui);
  ~Session();  // rolls back an open transaction and closes every file
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // ---- variables of the current database and of the run -------------------
  std::string Net;          // program directory: the Quillbox home
  std::string FileDir;      // data directory: database directories lie below it
  std::string TempDir;      // temporary directory: work files of a run
  std::string Dirnamn;      // "F" + directory number of the current database; empty when none
  std::string Description;  // name of the current database
  uint32_t ForumNumber = 0;  // FOR:ID of the current database (0 = none)
  uint8_t ForumType = 0;     // FOR:TYPE
  uint8_t ForumCheck = 0;    // FOR:DUMMY
  uint8_t TargetNG = 0;      // FOR:TARGETNG
  uint32_t PersonID = 0;     // FOR:PERSONID (owner of a mail database)
  int32_t WordListIndexNeedsUpdate = 0;
  uint8_t IndexType = 0;  // word-index kind of the current database
  int32_t ScrRes = 0;     // screen-size indicator chosen at start-up
  // Run mode: 0 interactive; 1 task processing due; 2 task processing
  // running; 6 running and the current import was stopped.
  uint8_t DoTask = 0;
  int32_t GlobalRequest = 0;   // request passed to an update window
  int32_t GlobalResponse = 0;  // its answer
  int32_t IndexingInProgress = 0;  // nonzero forbids leaving the program
  std::string MasIdxPath;   // word-index directory; equal to FileDir unless configured
  std::string FileName;     // full name of the file last named for opening
  std::string FileTmpName;  // full name of the foreign file a converter reads

  // Selecting a database: copies the identity of the database from its
  // Forums record into the variables above.
  void selectDatabase(const store::Forums& f);
  // No database is current.
  void clearDatabase();
  // The current-database variables, kept while work is done on another
  // database and put back afterwards.
  struct DatabaseSelection {
    std::string Dirnamn, Description;
    uint32_t ForumNumber = 0, PersonID = 0;
    uint8_t ForumType = 0, ForumCheck = 0, TargetNG = 0;
    int32_t WordListIndexNeedsUpdate = 0;
  };
  DatabaseSelection currentDatabase() const;
  void restoreDatabase(const DatabaseSelection& d);
  // FileDir + "/" + Dirnamn.
  std::string databaseDir() const;
  // Net + "/CFG".
  std::string cfgDir() const;

  // ---- talking to the user --------------------------------------------------
  UserInterface& ui() { return ui_; }
  // True while unattended task processing runs (DoTask 2 or 6): then no
  // message but a fatal one is shown.
  bool suppressed() const { return DoTask == 2 || DoTask == 6; }
  void tell(const std::string& text, const std::string& title, Icon icon = Icon::Exclamation);
  // While suppressed, returns `def` without asking.
  Button ask(const std::string& text, const std::string& title, unsigned buttons, Button def,
             Icon icon = Icon::Question);
  void beep();
  // Shows the message (always; with an optional second message after it)
  // and throws FatalStop.
  [[noreturn]] void fatal(const std::string& text, const std::string& title,
                          const std::string& followUp = {});

  // ---- record buffers, one per file number ---------------------------------
  // The record buffer of a file number; a store file of the archive, a work
  // file or a file of another subsystem. Throws std::logic_error for a
  // number without a record (the foreign files) or without a registered
  // factory.
  KeyedFile& file(FileNo no) { return file(fileNumber(no)); }
  // The record buffer of a file number if it has been made; nullptr if not.
  KeyedFile* existingFile(FileNo no) { return existingFile(fileNumber(no)); }
  template <class R>
  Table<R>& table(FileNo no) {
    return table<R>(fileNumber(no));
  }
  // The same by bare number, for numbers taken from the file table (loops
  // over every file) and for the browse windows until they read through the
  // browse queries.
  KeyedFile& file(int no);
  KeyedFile* existingFile(int no) {
    return no >= 1 && no <= kFileCount ? files_[static_cast<std::size_t>(no)].get() : nullptr;
  }
  template <class R>
  Table<R>& table(int no) {
    auto* t = dynamic_cast<Table<R>*>(&file(no));
    if (!t) throw std::logic_error("file " + std::to_string(no) + " holds another record");
    return *t;
  }
  Table<store::Codes>& Codes() { return table<store::Codes>(FileNo::Codes); }
  Table<store::Forums>& Forums() { return table<store::Forums>(FileNo::Forums); }
  Table<store::MsgNmbr>& MsgNmbr() { return table<store::MsgNmbr>(FileNo::MsgNmbr); }
  Table<store::MsgText>& MsgText() { return table<store::MsgText>(FileNo::MsgText); }
  Table<store::Person>& Person() { return table<store::Person>(FileNo::Person); }
  Table<store::Sections>& Sections() { return table<store::Sections>(FileNo::Sections); }
  Table<store::Threads>& Threads() { return table<store::Threads>(FileNo::Threads); }
  Table<store::Control>& Control() { return table<store::Control>(FileNo::Control); }
  Table<store::SIndex>& SIndex() { return table<store::SIndex>(FileNo::SIndex); }
  Table<store::Mail>& Mail() { return table<store::Mail>(FileNo::Mail); }
  Table<store::CCR>& CCR() { return table<store::CCR>(FileNo::CCR); }
  Table<store::SaveFile>& SaveFile() { return table<store::SaveFile>(FileNo::SaveFile); }
  Table<store::REF>& REF() { return table<store::REF>(FileNo::Reference); }
  Table<store::PLINK>& PLINK() { return table<store::PLINK>(FileNo::PLINK); }
  Table<store::MsgString>& MsgString() { return table<store::MsgString>(FileNo::MsgString); }
  Table<store::Neo>& Neo() { return table<store::Neo>(FileNo::Neo); }

  // The file number of a record buffer of this session; 0 when none.
  int numberOf(const KeyedFile& f) const;

  // Open count of a file number (OP_CLOSE keeps it).
  int openCount(int no) const;
  void setOpenCount(int no, int count);

  // The transaction that batch work begins over the files it writes; error
  // mode 8 of the record-access procedures rolls it back.
  Transaction& transaction() { return *transaction_; }

  // State that another part of the engine keeps per session (settings in
  // memory, the stored paths, ...), made on first use: session.part<T>().
  template <class T>
  T& part() {
    auto& p = parts_[std::type_index(typeid(T))];
    if (!p) p = std::shared_ptr<void>(new T(), [](void* v) { delete static_cast<T*>(v); });
    return *static_cast<T*>(p.get());
  }

 private:
  UserInterface& ui_;
  std::array<std::unique_ptr<KeyedFile>, kFileCount + 1> files_;
  std::array<int, kFileCount + 1> openCounts_{};
  std::unique_ptr<Transaction> transaction_;
  std::unordered_map<std::type_index, std::shared_ptr<void>> parts_;
};

}  // namespace qb::store
