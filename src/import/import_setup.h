#pragma once
// Setting up an import run from what the user chose, the same for the
// command line and the desktop program's import window: the source format
// by name or number, the files, the target and the options are checked,
// the settings a run reads are loaded, the mail database and its topic are
// looked up, and a run ready to step comes back.
//
//   ImportOrder order{"Eudora", "", request};
//   std::string detail;
//   if (checkImportOrder(order, detail) != ImportProblem::None) ...  // before the archive is opened
//   PreparedImport prepared = prepareImport(session, order);
//   if (!prepared.run) tell(importProblemText(prepared.problem, prepared.detail));
//   while (prepared.run->step()) ...

#include <memory>
#include <string>

#include "import/converter.h"
#include "import/import_run.h"

namespace qb::import {

struct ImportOrder {
  std::string format;      // the source format: its name or number in the format table
  std::string topic;       // mail: a topic of the mail database every stored mail is filed under
  ImportRequest request;   // the files, the target and the options; the set-up fills in typeName,
                           // messageKind, mailTopic and the full names of the directory and the database
};

enum class ImportProblem {
  None,
  UnknownFormat,             // no format of that name or number
  FormatNotAvailable,        // the format has no converter yet
  NoSelection,               // neither a directory nor files chosen
  NoDirectory,               // the chosen directory is not there
  TopicWithoutMailDatabase,  // a topic needs a mail database
  NoMailDatabase,            // no mail database of that name
  TopicUnusable,             // the topic could not be found or added
  FoldersNotForFormat,       // a folder selection for a format other than "Outlook Mail"
  NoDataFile,                // "Outlook Mail" without a data file
  DataFileUnreadable,        // an Outlook data file that cannot be read (detail: the file and why)
  AllCimFilesNotCim,         // every file of a directory asked of a format that is no CIM format
  AllCimFilesWithoutDirectory,  // every file of a directory asked without a directory
};

// Checks what can be checked before the archive is opened: the format, the
// selection (for "Outlook Mail": a data file that can be read; a folder
// selection only for it), the directory, a topic without a mail database;
// in this order.
// Fills in the type name, the message kind and the directory's full name;
// `detail` gets what a problem names (the format, the directory).
ImportProblem checkImportOrder(ImportOrder& order, std::string& detail);

struct PreparedImport {
  std::unique_ptr<ImportRun> run;  // null when the order cannot run
  ImportProblem problem = ImportProblem::None;
  std::string detail;              // the format, directory, database or topic the problem names
};

// Checks the order (checkImportOrder), loads the settings a run reads
// (general and display settings, the speed values), finds the mail database
// (any letter case; the run gets its name as stored) and the COD:ID of the
// topic (added when missing), and makes the run. The current database of
// the session is the same afterwards.
PreparedImport prepareImport(store::Session& s, ImportOrder order);

// The COD:ID of topic `name` of the current (mail) database; the topic is
// added when missing. 0 on failure (reported).
uint32_t topicId(store::Session& s, const std::string& name);

// The problem as a sentence for the user, naming `detail`.
std::string importProblemText(ImportProblem problem, const std::string& detail);

}  // namespace qb::import
