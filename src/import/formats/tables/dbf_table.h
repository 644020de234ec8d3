#pragma once
// A read-only reader of dBase III, dBase IV and FoxPro tables (.DBF) with
// their memo files (.DBT of dBase III and IV, .FPT of FoxPro), for the table
// formats of the import.
//
// The table header gives the record count, the header and record lengths
// and the code page byte; the field descriptors (32 bytes each, ended by
// 0x0D) give each field's name, type (C, N, F, D, L, M, ...) and length.
// Every record starts with its deleted flag (blank, or "*" for a deleted
// record) followed by the fields in descriptor order.
//
// Memo fields hold a block number (ten digits, or four binary bytes in
// Visual FoxPro tables) into the memo file:
//  - .DBT of dBase III: 512-byte blocks; the memo ends at the first 0x1A;
//  - .DBT of dBase IV: the block size is in the file header (bytes 20-21);
//    a memo block starts with FF FF 08 00 and the length of memo and
//    8-byte block header;
//  - .FPT: the block size is in the file header (bytes 6-7, big-endian); a
//    memo block starts with its type and length (big-endian, 4 bytes each).
// A memo is read up to 65280 bytes.
//
// Damaged tables are read as far as they make sense: the record count is
// bounded by the file's size, a field that lies outside the record is
// refused at open, a memo block outside the memo file is empty.

#include <cstdint>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace qb::import::tables {

struct DbfField {
  std::string name;  // upper case as stored
  char type = 'C';
  std::size_t length = 0;
  std::size_t decimals = 0;
  std::size_t offset = 0;  // in the record, after the deleted flag
};

enum class MemoKind : uint8_t { None, Dbt, Fpt };

enum class RecordState { Ok, Deleted, Unreadable };

class DbfTable {
 public:
  static constexpr std::size_t kMaxMemo = 65280;

  // Opens a table and its memo file (same name, extension .DBT or .FPT in
  // any letter case). False with a reason when the file is no table.
  bool open(const std::string& path, std::string& error);
  void close();

  uint8_t version() const { return version_; }
  uint8_t codePage() const { return codePage_; }
  // The code page byte names a DOS code page (437, 850, 852, ...).
  bool dosCodePage() const;
  uint32_t recordCount() const { return records_; }
  // The header said more records than the file holds.
  bool truncated() const { return truncated_; }
  const std::vector<DbfField>& fields() const { return fields_; }
  // The index of a field by name (any letter case); -1 when there is none.
  int field(std::string_view name) const;
  MemoKind memoKind() const { return memoKind_; }
  bool memoOpen() const { return memo_.is_open(); }

  // Reads record `index` (0-based) into the record buffer.
  RecordState read(uint32_t index);

  // Values of the record last read; a field index of -1 gives an empty value.
  std::string_view raw(int field) const;
  // Character and numeric fields without the blanks at their ends.
  std::string text(int field) const;
  long number(int field) const;
  // A date field (YYYYMMDD) as an archive day number, 0 when empty.
  int32_t date(int field) const;
  // A logical field holds T, t, Y or y.
  bool logical(int field) const;
  // The memo of a memo field, at most kMaxMemo bytes; empty when the field
  // holds no block or the block lies outside the memo file.
  std::string memo(int field);

 private:
  bool openMemo(const std::string& path);

  std::ifstream file_;
  std::ifstream memo_;
  MemoKind memoKind_ = MemoKind::None;
  uint64_t memoSize_ = 0;
  std::size_t memoBlock_ = 512;
  uint8_t version_ = 0;
  uint8_t codePage_ = 0;
  uint32_t records_ = 0;
  bool truncated_ = false;
  std::size_t headerLength_ = 0;
  std::size_t recordLength_ = 0;
  std::vector<DbfField> fields_;
  std::string record_;
};

}  // namespace qb::import::tables
