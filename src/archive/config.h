#pragma once
// Settings: numbered values kept in 200-byte blocks of Control records
// (file 8 in CFG), loaded into the session, read and changed in memory and
// written back.
//
//   record 1   general settings, codes 2 to 19          Konfig 1 load, 2 set, 3 read, 4 write
//   record 9   display, speed, scheduler, codes 22-64   Konfig 6 load, 7 set, 8 read, 9 write
//   record 11  export formats, codes 61, 62, 63         Konfig 23 load, 24 set, 25 read, 26 write
//   records 2/3, 7/8, 5/6  default/current window places of the library's
//              windows, of the main program's windows, and list column widths
//              (WindowPos, WindowPos2, ListCol)
//   record 4   temporary and data directory (AutoPath, store/paths.h)
//
// Every value that reads 0 at loading gets its default. Record 1 also holds
// the identifier generator (CTL:NEXTNUMBER), which loading raises to 250000
// and which writing the settings never touches.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "version.h"

namespace qb::store {

class Session;

// ---- setting codes --------------------------------------------------------
enum SettingCode : int {
  SetPresentation = 2,       // 1 off, 2 on (tool tips shown by the desktop program)
  SetLocatorDelay = 3,       // list locator delay in tenths of a second
  SetOption4 = 4,
  SetLastDatabase = 6,       // FOR:ID of the database made current at start-up
  SetOption9 = 9,
  SetDateFormat = 10,        // 2, 6, 10 or 17
  SetVersion = 11,           // settings version; 420 after start-up
  SetImportType = 12,        // default import type number
  SetTimeFormat = 13,        // 1, 3 or 7
  SetImportDir = 14,         // text: default directory of import files
  SetTreeLabel = 16,         // label form of thread tree items
  SetMailTarget = 19,        // FOR:ID of the last mail import target
  SetColour22 = 22,
  SetListColour = 23,        // lists of the import and task windows
  SetKeepColour = 24,
  SetDeleteColour = 25,
  SpeedCountPurge = 26,      // records per tick of counting and purging
  SpeedDuplicates = 27,      // records per tick of mail duplicate elimination
  SpeedKeywords = 28,        // messages per tick of keyword indexing
  SpeedMerge = 29,           // persons per tick of merging duplicate persons
  SpeedImport = 30,          // work records stored per tick of the import run
  SpeedImportText = 31,      // derived from the level of 30 (not stored)
  SetShowCompletion = 32,    // 1 = tell the time of completion of a run
  SetFont1 = 33,             // fonts: name and size
  SetFont2 = 34,
  SetImportFont = 35,        // font of the import window's lists
  SetTreeFont = 36,          // font of the thread tree
  SetTreeColour = 37,        // list colour of the thread tree
  SetNameFormat = 38,        // how person names are shown in the browses
  SetOption39 = 39,
  SetNoThreadTree = 40,      // 1 = do not open the thread tree with a browse
  SetRestoreFrame = 42,      // restore the frame's position and size at start
  SetQuietFrom = 46,         // daily quiet period of the scheduler: start time
  SetQuietTo = 47,           //   end time
  SetSchedulerOff = 48,      // 1 = "Deactivate ImportScheduler"
  SetExitAfterTasks = 57,    // 1 = end the program after task processing
  SetWrapColumn = 58,        // export wrap column
  SetOption59 = 59,
  SetWrapMode = 60,          // 1 = wrap export text lines
  SetExportMail = 61,        // export format of mail databases
  SetExportForum = 62,       // export format of forum databases
  SetExportNews = 63,        // export format of newsgroup databases
  SetNoLogo = 64,            // 1 = no picture on the frame background
};

enum class SettingKind { Number, Text, Font };

struct SettingInfo {
  int code;
  int record;        // CTL:ID of the Control record holding it
  SettingKind kind;
  int offset;        // byte offset in the 200-byte block
  int textLength;    // room of a text (Text) or font name (Font); 0 for numbers
  int32_t defValue;  // default of a number or font size (0: none)
  const char* defText;
  const char* name;  // shown by the settings listing
};

// Every stored setting, in code order.
const std::vector<SettingInfo>& settingTable();
// The entry of a code; nullptr when the code is not a stored setting.
const SettingInfo* settingInfo(int code);

// The version that start-up stores in code 11 is qb::kSettingsVersion
// (version.h).
using qb::kSettingsVersion;
// Identifiers handed out are never below this.
constexpr uint32_t kFirstIdentifier = 250000;

// ---- Konfig ---------------------------------------------------------------
// Loads, sets, reads or writes settings. For a Text setting `text` carries
// the text; for a Font setting `value` is the size and `text` the name (a
// null or empty `text` leaves the name as it is when setting). Returns 1 on
// success, 0 when a load or write failed (a write failure is shown with the
// texts 27 and 28 of the Neo file), when a setting is read before its block
// was loaded, or when a text does not fit its room. A code that does not
// belong to the action's group, or an unknown action, stops the program
// with "Internal Error - invalid xType".
//
// The actions by settings group: general settings (Control record 1),
// display settings (record 9) and further settings.
enum class KonfigAction {
  LoadGeneral = 1,
  SetGeneral = 2,
  GetGeneral = 3,
  WriteGeneral = 4,
  LoadDisplay = 6,
  SetDisplay = 7,
  GetDisplay = 8,
  WriteDisplay = 9,
  LoadFurther = 23,
  SetFurther = 24,
  GetFurther = 25,
  WriteFurther = 26,
};
uint8_t Konfig(Session& s, KonfigAction action, int code, int32_t& value, std::string* text = nullptr);
// The load and write actions.
uint8_t Konfig(Session& s, KonfigAction action);

// Reads a number setting of any group (its block must be loaded); 0 when it
// cannot be read.
int32_t setting(Session& s, int code);

// ---- speed ----------------------------------------------------------------
// Compute works out the batch sizes of codes 26 to 31 from the stored levels
// (record 9 must be loaded) and returns 1; BatchSize returns the batch size
// of `code` (26 to 31).
enum class SpeedAction { Compute = 2, BatchSize = 3 };
int32_t SpeedVal(Session& s, SpeedAction action, int code = 0);

// ---- date and time formats ------------------------------------------------
// The stored date format code (10) with its name ("mm-dd-yyyy", "dd-mm-yyyy",
// "yyyy-mm-dd", "Windows setting") and a strftime format ("%x" for the
// system's short date); empty name and format for another code.
int32_t SetDate(Session& s, std::string& name, std::string& format);
// The stored time format code (13): "hh:mm", "hh:mmXM", "Windows setting".
int32_t SetTime(Session& s, std::string& name, std::string& format);
// A day number / time value shown in the picture of a format code; empty for
// 0 or an unknown code.
std::string formatDateAs(int32_t code, int32_t dayNo);
std::string formatTimeAs(int32_t code, int32_t timeValue);

// ---- window places and list columns ---------------------------------------
// Four values per entry (window: left, top, width, height; list: four column
// widths), entries 1 to 25. Actions: 1 load (both blocks are created from the
// built-in defaults when missing), 2 set an entry (a value of 2000 or more is
// not taken over), 3 read an entry, 4 write the current block, 5 reset the
// current block to the defaults (in memory; write it with 4). Returns 1 on
// success, 0 on failure or for an entry outside 1 to 25.
using Place = std::array<int32_t, 4>;
constexpr int kPlaceEntries = 25;
constexpr int32_t kPlaceLimit = 2000;
uint8_t WindowPos(Session& s, int action, int window, Place& values);
uint8_t WindowPos2(Session& s, int action, int window, Place& values);
uint8_t ListCol(Session& s, int action, int list, Place& values);

// ---- list locator -----------------------------------------------------------
// Typing in a list builds a locator text of at most 10 characters: keys typed
// within the delay of setting 3 are appended, a key after a longer pause
// starts a new text. One Locator per list window.
class Locator {
 public:
  // keyCode: the key code of the press (digits and letters 48-90, with shift
  // 304-346, keypad digits 96-105, blank 32, ...); now: hundredths of a
  // second since midnight. Returns 1 when the key was taken (dest then holds
  // the locator text, cut to `length`), 0 otherwise (nothing changes).
  int IncrementStep(Session& s, int keyCode, int32_t now, std::size_t length, std::string& dest);
  // The same with the delay read through `readDelay` (false: cannot be read).
  int IncrementStep(int keyCode, int32_t now, std::size_t length, std::string& dest,
                    const std::function<bool(int32_t&)>& readDelay);
  const std::string& text() const { return text_; }

 private:
  std::string text_;
  int32_t lastKey_ = -1;  // time of the previous locator key; -1 before the first
  int32_t delay_ = 15;
};

// ---- start-up -------------------------------------------------------------
// Loads every settings block (Konfig 1, 6, 23; SpeedVal 2; WindowPos,
// WindowPos2 and ListCol 1) and fills in the Neo texts. When the settings
// version is below 420 the window places and list columns are reset to their
// defaults; with an earlier installation (the Control file existed before
// this start) the user is told so. The version is then stored as 420.
// Returns 0 when a step failed, 99 on the first start of a new installation,
// 1 otherwise.
int StartupSettings(Session& s, bool earlierInstallation);

// Settings held in memory for one session.
struct ConfigState;

}  // namespace qb::store
