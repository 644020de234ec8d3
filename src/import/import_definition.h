#pragma once
// Predefined imports: what the import wizard chose, kept as a batch record
// (file 34) with its selection lines (file 27) so that the import scheduler
// can run the same import later, and read back into an ImportOrder that
// goes through the same set-up (import_setup.h) as an import started at
// once.
//
//   uint32_t id = saveImportDefinition(session, order, kSavedFromWizard, problem);
//   ...
//   ImportOrder again;
//   if (loadImportDefinition(session, id, again, problem)) prepareImport(session, again);
//
// The directory goes into BAT:IMPPATH (a longer one into a selection line);
// the masks, the hand-picked files, the Outlook folders, the "every CIM
// file" choice and the name of a forum not yet in the archive go into
// selection lines, so that the saved definition reproduces the same file
// list when it runs. Databases are kept by identifier: a target that no
// longer exists when the definition is loaded is reported.

#include <cstdint>
#include <string>
#include <vector>

#include "import/import_setup.h"

namespace qb::import {

// The description of a definition saved by the import wizard.
inline constexpr const char* kSavedFromWizard = "Saved from ImportWizard";

// Checks the order (checkImportOrder), finds its mail database and forum
// and the topic's COD:ID (the topic is added to the mail database when
// missing), and adds the batch record with its selection lines in one
// transaction. Returns the new BAT:ID, or 0 with `problem` set.
uint32_t saveImportDefinition(store::Session& s, ImportOrder order, const std::string& description,
                              std::string& problem);

// Reads batch `batchId` into `order`: the format by its number, the
// selection, the kinds and options, the mail database and forum by their
// names, the topic by its name. False with `problem` set when the batch is
// missing or a target database (or the topic) no longer exists.
bool loadImportDefinition(store::Session& s, uint32_t batchId, ImportOrder& order, std::string& problem);

// The topics of the mail database `mailDatabase` (any letter case), in
// name order, for the wizard's topic look-up; empty when there is none.
std::vector<std::string> mailDatabaseTopics(store::Session& s, const std::string& mailDatabase);

// One line of the list of saved definitions.
struct DefinitionRow {
  uint32_t id = 0;
  std::string description;
  std::string format;
};
std::vector<DefinitionRow> listImportDefinitions(store::Session& s);

// Removes a batch record and its selection lines; false when it is missing
// or the write failed.
bool deleteImportDefinition(store::Session& s, uint32_t batchId);

}  // namespace qb::import
