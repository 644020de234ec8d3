#pragma once
// The records of predefined imports: the batch file (file 34, in CFG), one
// record per import procedure that the import wizard saves and the import
// scheduler runs, and the file-selection list (file 27, in CFG) that keeps
// what a batch record has no room for: its file masks, its hand-picked
// files, its Outlook folders and the forum name of a forum not yet in the
// archive.

#include <cstdint>

#include "archive/session.h"
#include "store/keyed_file.h"
#include "store/record.h"

namespace qb::store {

// Kinds of batch record (BAT:TYPE).
enum BatchType : uint32_t { BatchImport = 1 };

// BAT:MSGFILTER.
enum BatchFilter : uint8_t { FilterAllMessages = 0, FilterCreateOnly = 1 };

// ---- Batches: predefined import procedures (file 34) ----------------------
struct Batches {
  uint32_t ID = 0;
  uint32_t TYPE = 0;
  FixedString<50> DESCRIPTION;
  uint32_t DATABASE = 0;    // target forum database, 0 none
  uint8_t FILETYPE = 0;     // import type number
  FixedString<100> IMPPATH; // directory of methods 0 and 1
  uint8_t SELMETHOD = 0;    // 0 directory tree, 1 directory, 2 files
  uint32_t MAILBOX = 0;     // target mail database, 0 none
  uint8_t MAILMSG = 0;
  uint8_t FORUMMSG = 0;
  uint8_t NEWSGROUPMSG = 0;
  uint8_t MSGFILTER = 0;    // BatchFilter
  uint8_t ALLOWREIMP = 0;
  uint32_t MAILTOPIC = 0;   // COD:ID of the mail database's topic, 0 none

  template <class V>
  void visit(V& v) {
    v("ID", ID);
    v("TYPE", TYPE);
    v("DESCRIPTION", DESCRIPTION);
    v("DATABASE", DATABASE);
    v("FILETYPE", FILETYPE);
    v("IMPPATH", IMPPATH);
    v("SELMETHOD", SELMETHOD);
    v("MAILBOX", MAILBOX);
    v("MAILMSG", MAILMSG);
    v("FORUMMSG", FORUMMSG);
    v("NEWSGROUPMSG", NEWSGROUPMSG);
    v("MSGFILTER", MSGFILTER);
    v("ALLOWREIMP", ALLOWREIMP);
    v("MAILTOPIC", MAILTOPIC);
  }
  static const Layout& layout();
  static constexpr int IdKey = 0;
  static constexpr int TypeKey = 1;
};

// What a file-selection line holds (FLI:TYPE).
enum SelectionLine : uint8_t {
  LineFile = 1,       // a hand-picked file (selection method 2)
  LineMasks = 2,      // the file masks of methods 0 and 1, separated by ";"
  LineFolders = 3,    // "Outlook Mail": the chosen folders ("A::B##C")
  LineForumName = 4,  // the forum name for files that do not name their forum
  LineLongPath = 5,   // the directory when it is longer than BAT:IMPPATH
  LineAllCim = 6,     // CIM formats: every file of the directories ("1")
};

// ---- FileSelection: the selection lines of a batch (file 27) --------------
struct FileSelection {
  uint32_t BATCHID = 0;
  uint8_t TYPE = 0;   // SelectionLine
  uint32_t SEQ = 0;   // order of the lines of one type
  FixedString<761> NAME;

  template <class V>
  void visit(V& v) {
    v("BATCHID", BATCHID);
    v("TYPE", TYPE);
    v("SEQ", SEQ);
    v("NAME", NAME);
  }
  static const Layout& layout();
  static constexpr int BatchKey = 0;
};

Table<Batches>& batchFile(Session& s);
Table<FileSelection>& fileSelectionFile(Session& s);

}  // namespace qb::store
