#include "archive/neo.h"

#include "archive/file_table.h"
#include "archive/session.h"

namespace qb::store {

namespace {
constexpr FileNo kNeoFile = FileNo::Neo;

const char* shippedText(uint32_t n) {
  for (const NeoText& t : shippedNeoTexts())
    if (t.id == n) return t.text;
  return "";
}
}  // namespace

const std::vector<NeoText>& shippedNeoTexts() {
  static const std::vector<NeoText> texts = {
      {23, " Path to database files"},
      {24, " Top directory for database files"},
      {25, "Directory under which to place database directory tree"},
      {26, "The saved path to your data files is no longer valid. Enter the top directory of your databases."},
      {27, "Settings Not Saved"},
      {28, "Your settings could not be written to the control file.\r\nCheck the access rights of CFG."},
      {35, "Export File Names"},
      {36, "The inbox and the outbox must be two different files.\r\nPlease change one of the names."},
      {51, "Database Marked for Deletion"},
      {52, "This database is marked for deletion and will be removed by the next purge."},
      {53, "Press OK to leave it now, or Cancel to remove the deletion mark."},
  };
  return texts;
}

std::string CallNeo(Session& s, uint32_t n) {
  OP_CLOSE(s, OpOpen, {kNeoFile});
  Table<Neo>& f = s.Neo();
  f.clear();
  f.rec.ID = n;
  std::string text = f.get(Neo::IDKey) == Err::Ok ? f.rec.NEOFIELD.str() : std::string();
  OP_CLOSE(s, OpClose, {kNeoFile});
  return text;
}

uint8_t installNeoTexts(Session& s) {
  OP_CLOSE(s, OpOpen, {kNeoFile});
  Table<Neo>& f = s.Neo();
  uint8_t ok = 1;
  for (const NeoText& t : shippedNeoTexts()) {
    FixedString<100> wanted(t.text);
    f.clear();
    f.rec.ID = t.id;
    Err e = f.get(Neo::IDKey);
    if (e == Err::Ok) {
      if (f.rec.NEOFIELD == wanted) continue;
      f.rec.NEOFIELD = wanted;
      e = f.put();
    } else {
      f.clear();
      f.rec.ID = t.id;
      f.rec.NEOFIELD = wanted;
      e = f.add();
      // Another copy of the program started at the same moment and added it.
      if (e == Err::DuplicateKey) e = Err::Ok;
    }
    if (e != Err::Ok) ok = 0;
  }
  OP_CLOSE(s, OpClose, {kNeoFile});
  return ok;
}

void tellSettingNotSaved(Session& s) {
  if (s.suppressed()) return;
  std::string title = CallNeo(s, 27), text = CallNeo(s, 28);
  if (title.empty()) title = shippedText(27);
  if (text.empty()) text = shippedText(28);
  s.tell(text, title);
}

}  // namespace qb::store
