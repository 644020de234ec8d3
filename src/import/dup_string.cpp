#include "import/dup_string.h"

#include <string>

#include "import/work_records.h"
#include "archive/file_table.h"
#include "archive/session.h"
#include "text/strings.h"
#include "text/text_duplicates.h"

namespace qb::import {
namespace {

// The stored text of a message of the current database; false when none.
bool storedText(store::Session& s, uint32_t number, std::string& text) {
  store::OP_CLOSE(s, store::OpOpen, {store::FileNo::MsgText});
  auto& txt = s.MsgText();
  txt.clear();
  txt.rec.MSGNUMBER = number;
  bool found = txt.get(store::MsgText::IdKey) == store::Err::Ok;
  if (found) text = txt.memo();
  store::OP_CLOSE(s, store::OpClose, {store::FileNo::MsgText});
  return found;
}

}  // namespace

uint8_t DupString(store::Session& s, uint32_t first, std::string_view workText) {
  std::string stored;
  if (!storedText(s, first, stored)) return 0;
  return textsAreDuplicates(stored, workText) ? 1 : 0;
}

uint8_t DupString(store::Session& s, int mode, uint32_t first, uint32_t second) {
  if (mode == 1) {
    std::string work = s.table<NHR>(store::FileNo::ImportWork).memo();
    return DupString(s, first, work);
  }
  std::string a, b;
  if (!storedText(s, first, a) || !storedText(s, second, b)) return 0;
  return textsAreDuplicates(a, b) ? 1 : 0;
}

}  // namespace qb::import
