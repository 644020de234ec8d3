#pragma once
// Files by number: every archive, work and configuration file has a number
// from 1 to 43 and a name on disk "IDX" + three digits + extension in one of
// a few directories. OP_CLOSE opens and closes files by number, keeps an
// open count per file, and reacts to every failure of an open (create a
// missing file, rebuild damaged keys, recreate an empty file whose layout
// changed, stop the program otherwise).

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "archive/record_access.h"
#include "archive/session.h"

namespace qb::store {

enum class FileDir {
  Database,   // FileDir/Dirnamn
  Cfg,        // Net/CFG
  Temp,       // TempDir
  Foreign,    // the full name in FileTmpName
  WordIndex,  // MasIdxPath/Dirnamn
};

struct FileEntry {
  int no;
  const char* what;  // the file's name, e.g. "MsgNmbr", "import work file"
  FileDir dir;
  const char* ext;   // ".TPS" or ".DAT"; empty for foreign files
  // A file whose record layout changed is deleted and created anew when it
  // holds no records (recreateWhenEmpty), or always (recreateAlways); any
  // other file with a changed layout stops the program.
  bool recreateWhenEmpty = false;
  bool recreateAlways = false;
};

// The entry of a file number; nullptr for a number outside the table
// (14, 15, 16, 36, 37, 38, and anything outside 1 to 43).
const FileEntry* fileEntry(int no);
// 11, 12, 20, 21, 31, 40: foreign files read by the converters.
bool isForeignFile(int no);
// 10, 19, 24: work files of an import run, in the temporary directory;
// opened without durability (their data is thrown away after the run).
bool isWorkFile(int no);
// 28, 29, 30, 32: opened by the word index and search themselves; OP_CLOSE
// passes them over.
bool passedOver(int no);

// "IDX" + three digits + extension, e.g. "IDX003.TPS".
std::string fileBaseName(int no);
inline std::string fileBaseName(FileNo no) { return fileBaseName(fileNumber(no)); }
// The full name of a file number for the current database, as OP_CLOSE
// builds it (it also stores it in FileName). Empty for a number outside the
// table.
std::string buildFileName(Session& s, int no);

// OP_CLOSE actions; callers write the short names OpOpen, OpClose, ...
enum class OpAction {
  Close = 0,      // lower the open count; close at 0
  Open = 1,       // open shared (foreign files 11, 12: reading only); raise the count
  Exclusive = 2,  // as Open, exclusive
  Empty = 3,      // open exclusively, remove every record, close
  CloseNow = 4,   // close whatever the count; count 0
  Pack = 5,       // open as Empty, compact, close
  Delete = 6,     // count 0, close, delete the file from disk
  Probe = 7,      // open as Empty and close again
};
inline constexpr OpAction OpClose = OpAction::Close;
inline constexpr OpAction OpOpen = OpAction::Open;
inline constexpr OpAction OpExclusive = OpAction::Exclusive;
inline constexpr OpAction OpEmpty = OpAction::Empty;
inline constexpr OpAction OpCloseNow = OpAction::CloseNow;
inline constexpr OpAction OpPack = OpAction::Pack;
inline constexpr OpAction OpDelete = OpAction::Delete;
inline constexpr OpAction OpProbe = OpAction::Probe;

// Applies `action` to each listed file number in order; the list ends at the
// first 0. A number outside the table stops the program with "File no ...
// not defined!". Failures that cannot be repaired stop the program
// (FatalStop) after their message.
//
// Foreign files (11, 12, 20, 21, 31, 40) are not store files: an open names
// the file (FileName = FileTmpName) and counts it, the converter reads it
// with its own reader; a close counts down; actions 3, 5, 6 and 7 never
// touch a foreign file (it is the user's data).
void OP_CLOSE(Session& s, OpAction action, std::initializer_list<FileNo> files);
void OP_CLOSE(Session& s, OpAction action, const std::vector<FileNo>& files);
// The same by bare number: for numbers taken from the file table and for
// the browse windows until they read through the browse queries.
void OP_CLOSE(Session& s, OpAction action, std::initializer_list<int> files);
void OP_CLOSE(Session& s, OpAction action, const std::vector<int>& files);

// Writes the reference record of the current database (Dirnamn) from the
// Forums buffer; replaces a differing record, adds a missing one. Returns 1
// on success (also when nothing had to change), 0 on failure (reported in
// the given error mode, as UppDat does).
[[nodiscard]] uint8_t UpdREF(Session& s, ErrMode errMode);

// Creating a database directory: FileDir + "/F" + FOR:DIRNUMBER of the
// Forums buffer, created quietly; when it was new, Dirnamn is set and the
// reference record written. Then the database is made current.
void createDatabaseDirectory(Session& s);

}  // namespace qb::store
