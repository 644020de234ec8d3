#pragma once
// The converter of the table formats: "NavCIS 1.6x" ("RECV.DBF"),
// "NavCIS 1.7x" ("HRECV.DBF"), "CISCOMM" (its forum and mail tables) and
// "OUI" ("MESSAGE.DBF").
//
// Command 199 opens the table (dbf_table.h) and lets the format check that
// the table has its fields; a file that is no table, or a table of another
// layout, is skipped with a warning. Each further call files up to
// kRecordsPerStep records in physical order. A deleted record is counted as
// skipped. A record that cannot be read is retried once at the next
// position; when that one cannot be read either, the table ends.

#include <memory>
#include <string>

#include "import/converter.h"
#include "import/formats/tables/dbf_table.h"

namespace qb::import::tables {

// The record rules of one table format.
class TableFormat {
 public:
  virtual ~TableFormat() = default;
  // Prepares a file: checks the table's fields and resolves the target.
  // False with a reason when the table is not one of this format.
  virtual bool start(ImportContext& ctx, DbfTable& table, std::string& error) = 0;
  // Files the record last read. False when a work record could not be
  // written (the file then stops).
  virtual bool file(ImportContext& ctx, DbfTable& table) = 0;
};

std::unique_ptr<TableFormat> makeNavCisFormat();
std::unique_ptr<TableFormat> makeCiscommFormat();
std::unique_ptr<TableFormat> makeOuiFormat();

class TableConverter : public Converter {
 public:
  static constexpr int kRecordsPerStep = 50;

  explicit TableConverter(std::unique_ptr<TableFormat> format) : format_(std::move(format)) {}
  bool step(ImportContext& ctx, uint8_t& command) override;

 private:
  bool finish(ImportContext& ctx);

  std::unique_ptr<TableFormat> format_;
  DbfTable table_;
  uint32_t next_ = 0;
};

// Text of a table in the archive's character set: a table whose code page
// byte names a DOS code page, or one of a DOS program (`dos`), is
// translated.
void tableText(const DbfTable& table, bool dos, std::string& s);

// Files a forum record's numbers into `nhr`: the database of `forum`, its number and the parent's (a parent out of
// range becomes 0). False when the record is to be skipped: no database
// takes it, a number out of range, or already imported.
bool forumNumbers(ImportContext& ctx, const std::string& forum, long number, long parent, NHR& nhr);

// A character field of a sender or recipient: a trailing CR LF removed (a
// field of nothing else becomes empty), cut to 60 bytes at a character boundary.
std::string headerField(std::string s);

}  // namespace qb::import::tables
