#pragma once
// Record access: every write of an archive record goes through these
// procedures so that failures are reported in the same words everywhere.
//
// Error modes (ErrMode): Release = release the held record (change, delete)
// and tell; Rollback = roll back the session's open transaction and tell that
// it was rolled back; Quiet = report nothing. While DoTask is 2 or 6 nothing is
// shown, but releasing and rolling back happen as usual.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "store/keyed_file.h"
#include "archive/session.h"

namespace qb::store {

// Error modes; callers write the short names ErrRelease, ErrRollback, ErrQuiet.
enum class ErrMode {
  Quiet = 0,     // report nothing
  Release = 7,   // release the held record (change, delete) and tell
  Rollback = 8,  // roll back the open transaction and tell
};
inline constexpr ErrMode ErrQuiet = ErrMode::Quiet;
inline constexpr ErrMode ErrRelease = ErrMode::Release;
inline constexpr ErrMode ErrRollback = ErrMode::Rollback;

// UppDat actions; callers write the short names UppAdd, UppChange, ...
enum class UppAction { Add = 1, Change = 2, Delete = 3, Append = 4 };
inline constexpr UppAction UppAdd = UppAction::Add;
inline constexpr UppAction UppChange = UppAction::Change;
inline constexpr UppAction UppDelete = UppAction::Delete;
inline constexpr UppAction UppAppend = UppAction::Append;

// UppDat: performs `action` on the file's record buffer. 1 on success,
// 0 on failure (reported by error mode).
[[nodiscard]] uint8_t UppDat(Session& s, KeyedFile& f, UppAction action, ErrMode errMode);
[[nodiscard]] uint8_t UppDat(Session& s, FileNo fileNo, UppAction action, ErrMode errMode);

// HoldRec: reads and holds a record, waiting at most 1 second for another
// user's hold. HoldBy::Key gets it by the value of `key` in the buffer;
// HoldBy::Position re-reads the record at position `pos`. 1 when held and in
// the buffer.
enum class HoldBy { Position = 0, Key = 1 };
[[nodiscard]] uint8_t HoldRec(Session& s, KeyedFile& f, int key, HoldBy mode, int64_t pos = 0);

// The title of a file's messages: its name on disk.
std::string fileTitle(const KeyedFile& f);

// The second line of a record-access message for a store error: "Record not
// available!", "A record with identical key already exists!", or the
// store's text (at most 50 characters).
std::string errorLine(Err e);

// The transaction helpers; both return true on success.
// beginTransaction begins the session's transaction over `files`, waiting at
// most `waitSeconds` for their locks; false when the begin failed
// ("Transaction Frame Error!" told unless suppressed; an open transaction is
// rolled back).
[[nodiscard]] bool beginTransaction(Session& s, const std::vector<KeyedFile*>& files, int waitSeconds = 5);
// commitTransaction commits the session's transaction; false when none is
// open or the commit failed (the transaction is then rolled back).
[[nodiscard]] bool commitTransaction(Session& s);

// QError: reports the result of an in-memory list operation. 0 when it
// succeeded or only found no entry; 1 when it failed (reported by mode).
enum class QueueResult { Ok, NotFound, OutOfMemory, BadFieldType, Other };
uint8_t QError(Session& s, ErrMode errMode, QueueResult result, const std::string& errorText = {});

// NextNr: the next identifier of the archive from Control record 1, or 0
// when none can be generated ("Next ID cannot be generated!"). An empty
// Control file starts the count at 1. Relies on the caller's transaction or
// lock of the Control file for exclusive use.
uint32_t NextNr(Session& s);

// SaveRec: the two-step save of a record edited in a list, with a check
// against changes by other users in between.
//
//   SaveRec<Person> edit(s, s.Person());
//   edit.begin(EditChange);        // the buffer holds the record as read
//   ... the user edits s.Person().rec ...
//   if (edit.save() == "OK") ...   // else the edit is still in the buffer
enum EditKind { EditInsert = 1, EditChange = 2, EditDelete = 3 };

template <class R>
class SaveRec {
 public:
  SaveRec(Session& s, Table<R>& f) : s_(s), f_(f) {}

  // Called when the window shows the record; `onRefresh` is called when
  // another user's change replaced the record as read.
  std::function<void()> onRefresh;

  // First call: keeps the record as read (entry 1) and a copy for the edit
  // (entry 2). Returns the record's position as text for a change or a
  // deletion, blank for an insertion.
  std::string begin(EditKind kind) {
    kind_ = kind;
    asRead_ = f_.rec;
    asReadMemo_ = f_.memo();
    edit_ = asRead_;
    editMemo_ = asReadMemo_;
    if (kind == EditInsert) {
      pos_ = 0;
      return {};
    }
    pos_ = f_.position();
    return std::to_string(pos_);
  }

  // Second call, after the user confirmed: writes the edit in the buffer
  // unless the record on disk differs from the record as read. "OK" when
  // written, blank otherwise.
  std::string save() {
    edit_ = f_.rec;
    editMemo_ = f_.memo();
    if (kind_ == EditInsert) return UppDat(s_, f_, UppAdd, ErrRelease) ? "OK" : "";
    f_.rec = asRead_;
    f_.memo() = asReadMemo_;
    if (!HoldRec(s_, f_, 0, HoldBy::Position, pos_)) {
      restoreEdit();
      return {};
    }
    if (toImage(f_.rec) != toImage(asRead_) || f_.memo() != asReadMemo_) {
      s_.tell("The record has just been changed by another user!\r\nTry again!", "Warning!");
      asRead_ = f_.rec;
      asReadMemo_ = f_.memo();
      if (onRefresh) onRefresh();
      f_.release();
      restoreEdit();
      return {};
    }
    if (kind_ == EditDelete) return UppDat(s_, f_, UppDelete, ErrRelease) ? "OK" : "";
    restoreEdit();
    return UppDat(s_, f_, UppChange, ErrRelease) ? "OK" : "";
  }

  const R& asRead() const { return asRead_; }

 private:
  void restoreEdit() {
    f_.rec = edit_;
    f_.memo() = editMemo_;
  }
  Session& s_;
  Table<R>& f_;
  EditKind kind_ = EditChange;
  int64_t pos_ = 0;
  R asRead_{}, edit_{};
  std::string asReadMemo_, editMemo_;
};

}  // namespace qb::store
