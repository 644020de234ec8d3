#pragma once
// The contract between the import run and the format converters.
//
// For every source file the run calls the converter's step() once per timer
// tick (command 199 on the first call for a file, 99 afterwards) until it
// returns true (the file is finished). Each step converts a bounded amount
// of input: at most a few messages. A converter appends one NHR work record
// per message (with its text), the CCT records of a mail's further
// recipients and the TID records of newsgroup message identifiers through
// the ImportContext, which the run provides.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "import/import_types.h"
#include "import/work_records.h"

namespace qb::store {
class Session;
}
namespace qb {
class UserInterface;
}

namespace qb::import {

// Which kinds of messages a run takes (the request's message filter).
enum KindMask : unsigned { KindForum = 1, KindMail = 2, KindNews = 4, KindAll = 7 };

// The import request (the fields of a batch record).
struct ImportRequest {
  std::string typeName;             // one name of the import type table
  int selectionMethod = 1;          // 0 directory tree, 1 directory, 2 chosen files
  std::string sourcePath;           // directory for methods 0 and 1
  std::vector<std::string> files;   // chosen files for method 2
  std::string pattern;              // masks separated by ";"; empty: the type's default
  bool allCimFiles = false;         // CIM types: every file of the directories, not only the masked ones
  int messageKind = 0;              // formats with forum and mail in one store: 1 forum, 2 mail
  unsigned kinds = KindAll;         // kinds to import
  bool allowReimport = false;
  uint32_t mailTopic = 0;           // COD:ID of the topic mail is filed under, 0 none
  std::string mailDatabase;         // mail formats: name of the target mail database
  std::string forumName;            // formats whose files do not name their forum
  bool createOnly = false;          // convert and create databases, but store nothing
  std::string outlookFolders;       // "Outlook Mail": folder paths ("A::B") separated by "##"; empty: all mail folders
};

// Result of the database resolution.
struct Resolution {
  uint32_t id = 0;      // FOR:ID to store in NHR:INTERNAL (0: not found in "exists" mode)
  bool accept = false;  // false: the database takes no imports; skip the message
  uint8_t kind = 0;     // FOR:TYPE
};

class ImportContext {
 public:
  virtual ~ImportContext() = default;

  virtual const ImportRequest& request() const = 0;
  virtual store::Session& session() = 0;
  virtual UserInterface& ui() = 0;
  // Full name of the foreign file being converted ($FileTmpName).
  virtual const std::string& fileName() const = 0;

  // Finds or creates the run's entry for a forum, newsgroup or mailbox name
  // (kind 3 newsgroup, 2 mail, otherwise forum). Mail databases are never
  // created (unknown: id 0), take only mail, and mail goes only into them
  // (accept false otherwise). For a newsgroup it sets
  // nhr.SECTIONNUMBER and nhr.SEC_DESCRIPTION and follows redirection. With
  // existsOnly nothing is created: id 0 when the name is unknown.
  virtual Resolution resolveDatabase(const std::string& name, int kind, NHR& nhr, bool existsOnly = false) = 0;
  // SaveFile holds (forumId, msgNumber).
  virtual bool alreadyImported(uint32_t forumId, uint32_t msgNumber) = 0;
  // The next number of the run's identifier counter.
  virtual uint32_t nextId() = 0;

  // Appends work records. The text is cut to 64000 bytes. False on a write
  // failure (already reported); the converter then stops the file.
  virtual bool appendWork(NHR& nhr, const std::string& text) = 0;
  virtual bool appendCC(const CCT& cc) = 0;
  virtual bool appendTid(const TID& tid) = 0;
  // A message passed over (not counted as converted).
  virtual void skipped() = 0;
  // Progress within the current file, 0..1000.
  virtual void progress(int permille) = 0;
  // The source cannot be used and the run must not go on (the converter has
  // told why): the run ends as failed after this step and stores nothing.
  virtual void stopRun() {}
  // What the converter is doing, for a converter that reads a file in
  // several passes ("Pre-import first pass"); empty when it is done.
  virtual void status(const std::string& text) {}
};

class Converter {
 public:
  virtual ~Converter() = default;
  // Called once per tick; `command` is 199 on the first call for a file and
  // 99 afterwards (the converter may keep a phase of its own in it). Returns
  // true when the current file is finished.
  virtual bool step(ImportContext& ctx, uint8_t& command) = 0;
};

// The converter of an import type, made by the factory in the type's line of
// the import type table (import_types.cpp). Null when the type has no
// converter, or when the name is not one of the table.
std::unique_ptr<Converter> makeConverter(ImportTypeId type);
std::unique_ptr<Converter> makeConverter(std::string_view typeName);

}  // namespace qb::import
