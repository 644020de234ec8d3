#include "import/formats/tables/table_converter.h"

#include "archive/session.h"
#include "import/formats/captures/capture_forum_header.h"
#include "import/formats/families.h"
#include "import/formats/shared/source_text.h"
#include "text/strings.h"
#include "text/unicode.h"

namespace qb::import::tables {

std::unique_ptr<Converter> makeTableConverter(ImportTypeId type) {
  switch (type) {
    case ImportTypeId::NavCis16:
    case ImportTypeId::NavCis17:
      return std::make_unique<TableConverter>(makeNavCisFormat());
    case ImportTypeId::Ciscomm:
      return std::make_unique<TableConverter>(makeCiscommFormat());
    case ImportTypeId::Oui:
      return std::make_unique<TableConverter>(makeOuiFormat());
    default:
      return nullptr;
  }
}

void tableText(const DbfTable& table, bool dos, std::string& s) {
  SourceCharset cs = SourceCharset::Windows;
  if (table.codePage() == 0x01)
    cs = SourceCharset::Dos437;
  else if (dos || table.dosCodePage())
    cs = SourceCharset::Dos850;
  toStoredText(s, cs);
}

std::string headerField(std::string s) {
  if (text::startsWith(s, "\r\n") && s.size() == 2) return {};
  if (s.size() >= 2 && s.compare(s.size() - 2, 2, "\r\n") == 0) s.resize(s.size() - 2);
  return std::string(text::cutUtf8(s, 60));
}

bool TableConverter::finish(ImportContext& ctx) {
  table_.close();
  ctx.progress(1000);
  return true;
}

bool TableConverter::step(ImportContext& ctx, uint8_t& command) {
  if (command == 199) {
    command = 99;
    next_ = 0;
    std::string error;
    if (!table_.open(ctx.fileName(), error) || !format_->start(ctx, table_, error)) {
      table_.close();
      ctx.session().tell(ctx.fileName() + " cannot be imported\r\n" + error + "\r\nThis file will be skipped!",
                         "Warning!");
      return true;
    }
  }
  for (int n = 0; n < kRecordsPerStep; ++n) {
    if (next_ >= table_.recordCount()) return finish(ctx);
    RecordState state = table_.read(next_++);
    if (state == RecordState::Unreadable) {
      // One retry at the next position; a second failure ends the table.
      if (next_ >= table_.recordCount()) return finish(ctx);
      state = table_.read(next_++);
      if (state == RecordState::Unreadable) return finish(ctx);
    }
    if (state == RecordState::Deleted) {
      ctx.skipped();
      continue;
    }
    if (!format_->file(ctx, table_)) return finish(ctx);
  }
  ctx.progress(static_cast<int>(uint64_t(next_) * 1000 / std::max<uint32_t>(1, table_.recordCount())));
  return false;
}

bool forumNumbers(ImportContext& ctx, const std::string& forum, long number, long parent, NHR& nhr) {
  const ImportRequest& req = ctx.request();
  const long limit = static_cast<long>(captures::kMaxMessageNumber);
  Resolution res = ctx.resolveDatabase(forum, 1, nhr);
  if (!res.accept || res.id == 0 || req.createOnly || number <= 0 || number >= limit) return false;
  nhr.INTERNAL = res.id;
  nhr.MSGNUMBER = static_cast<uint32_t>(number);
  nhr.REFNUMBER = parent > 0 && parent < limit ? static_cast<uint32_t>(parent) : 0;
  return req.allowReimport || !ctx.alreadyImported(res.id, nhr.MSGNUMBER);
}

}  // namespace qb::import::tables
