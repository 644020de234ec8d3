#include "archive/record_access.h"

#include <limits>

#include "archive/file_table.h"

namespace qb::store {

namespace {

const char* kRolledBack = "The last transaction is rolled back.";

void rollbackOpen(Session& s) {
  if (s.transaction().active()) s.transaction().rollback();
}

}  // namespace

std::string fileTitle(const KeyedFile& f) { return f.path().empty() ? f.layout().name : f.path(); }

std::string errorLine(Err e) {
  switch (e) {
    case Err::NoRecord:
    case Err::RecordHeld:
    case Err::AccessDenied:
      return "Record not available!";
    case Err::DuplicateKey:
      return "A record with identical key already exists!";
    default: {
      std::string t = errorText(e);
      return t.size() > 50 ? t.substr(0, 50) : t;
    }
  }
}

uint8_t UppDat(Session& s, KeyedFile& f, UppAction action, ErrMode errMode) {
  Err r;
  const char* first;
  switch (action) {
    case UppAdd: r = f.add(); first = "Record add error!"; break;
    case UppAppend: r = f.append(); first = "Record add error!"; break;
    case UppChange: r = f.put(); first = "Record update error!"; break;
    case UppDelete: r = f.del(); first = "Record delete error!"; break;
    default: throw std::logic_error("UppDat: unknown action " + std::to_string(static_cast<int>(action)));
  }
  if (r == Err::Ok) return 1;
  const std::string text = std::string(first) + "\r\n" + errorLine(r);
  if (errMode == ErrRelease) {
    if (action == UppChange || action == UppDelete) f.release();
    s.tell(text, fileTitle(f));
  } else if (errMode == ErrRollback) {
    rollbackOpen(s);
    s.tell(text + "\r\n" + kRolledBack, fileTitle(f));
  }
  return 0;
}

uint8_t UppDat(Session& s, FileNo fileNo, UppAction action, ErrMode errMode) {
  return UppDat(s, s.file(fileNo), action, errMode);
}

uint8_t HoldRec(Session& s, KeyedFile& f, int key, HoldBy mode, int64_t pos) {
  f.hold(1);
  Err r = mode == HoldBy::Key ? f.get(key) : f.getPosition(pos);
  if (r == Err::Ok) return 1;
  if (r == Err::NoRecord)
    s.tell("The record has been deleted by another user!\r\n                   Update is cancelled!", fileTitle(f));
  else if (r == Err::RecordHeld)
    s.tell("The record is locked by another user!\r\nUpdate is cancelled, try again later!",
           "The record is not accessible!");
  else
    s.tell("               The record cannot be read!\r\nUpdate is cancelled, try again later!",
           "The record is not accessible!");
  return 0;
}

bool beginTransaction(Session& s, const std::vector<KeyedFile*>& files, int waitSeconds) {
  Err r = s.transaction().begin(files, waitSeconds);
  if (r == Err::Ok) return true;
  s.tell(std::string("Transaction Frame Error!\r\n") + errorText(r), "Warning!");
  rollbackOpen(s);
  return false;
}

bool commitTransaction(Session& s) {
  if (!s.transaction().active()) return false;
  if (s.transaction().commit() == Err::Ok) return true;
  rollbackOpen(s);
  return false;
}

uint8_t QError(Session& s, ErrMode errMode, QueueResult result, const std::string& errorText) {
  if (result == QueueResult::Ok || result == QueueResult::NotFound) return 0;
  std::string second = errorText, title = "Warning!";
  if (result == QueueResult::OutOfMemory) {
    second = "Insufficient memory!";
    title = "Fatal error!";
  } else if (result == QueueResult::BadFieldType) {
    second = "Invalid field type descriptor!";
    title = "Fatal error!";
  }
  const std::string text = "Queue access error\r\n" + second;
  if (errMode == ErrRelease) {
    s.tell(text, title);
  } else if (errMode == ErrRollback) {
    rollbackOpen(s);
    s.tell(text + "\r\n" + kRolledBack, "Fatal error");
  }
  return 1;
}

uint32_t NextNr(Session& s) {
  OP_CLOSE(s, OpOpen, {FileNo::Control});
  Table<Control>& c = s.Control();
  auto fail = [&](Err r) -> uint32_t {
    s.tell(std::string(errorText(r)) + "\r\n" + "Next ID cannot be generated!", "Control File Error");
    OP_CLOSE(s, OpClose, {FileNo::Control});
    return 0;
  };
  c.clear();
  c.rec.ID = 1;
  Err r = c.get(Control::IdKey);
  if (r == Err::NoRecord) {
    // An empty Control file: the count starts at 1 (start-up raises it to
    // the first identifier of the archive).
    c.clear();
    c.rec.ID = 1;
    c.rec.NEXTNUMBER = 1;
    if ((r = c.add()) != Err::Ok) return fail(r);
    c.rec.ID = 1;
    if ((r = c.get(Control::IdKey)) != Err::Ok) return fail(r);
  } else if (r != Err::Ok) {
    return fail(r);
  }
  uint32_t id = c.rec.NEXTNUMBER;
  // The counter never wraps round to numbers already handed out.
  if (id == 0 || id == std::numeric_limits<uint32_t>::max()) return fail(Err::IoError);
  c.rec.NEXTNUMBER = id + 1;
  if ((r = c.put()) != Err::Ok) return fail(r);
  OP_CLOSE(s, OpClose, {FileNo::Control});
  return id;
}

}  // namespace qb::store
