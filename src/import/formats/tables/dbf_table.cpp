#include "import/formats/tables/dbf_table.h"

#include <filesystem>

#include "import/formats/shared/byte_cursor.h"
#include "text/datetime.h"
#include "text/strings.h"

namespace qb::import::tables {
namespace {

constexpr std::size_t kFileHeader = 32;
constexpr std::size_t kDescriptor = 32;

uint32_t bigEndian32(std::string_view b) {
  if (b.size() < 4) return 0;
  return (uint32_t(uint8_t(b[0])) << 24) | (uint32_t(uint8_t(b[1])) << 16) | (uint32_t(uint8_t(b[2])) << 8) |
         uint32_t(uint8_t(b[3]));
}

bool readAt(std::ifstream& in, uint64_t offset, std::size_t n, std::string& out) {
  out.resize(n);
  in.clear();
  in.seekg(static_cast<std::streamoff>(offset));
  in.read(out.data(), static_cast<std::streamsize>(n));
  out.resize(static_cast<std::size_t>(in.gcount()));
  return out.size() == n;
}

uint64_t fileSize(std::ifstream& in) {
  in.clear();
  in.seekg(0, std::ios::end);
  auto end = in.tellg();
  in.seekg(0);
  return end > 0 ? static_cast<uint64_t>(end) : 0;
}

// FoxPro and Visual FoxPro keep their memos in .FPT files.
bool foxProVersion(uint8_t v) { return v == 0xF5 || v == 0x30 || v == 0x31 || v == 0x32 || v == 0xFB; }

}  // namespace

bool DbfTable::open(const std::string& path, std::string& error) {
  close();
  file_.open(path, std::ios::binary);
  if (!file_.is_open()) {
    error = "The file cannot be read.";
    return false;
  }
  uint64_t size = fileSize(file_);
  std::string head;
  if (!readAt(file_, 0, kFileHeader, head)) {
    error = "The file is too short for a dBase table.";
    return false;
  }
  ByteCursor c(head);
  version_ = c.byte();
  c.skip(3);  // date of the last update
  uint32_t declared = c.u32();
  headerLength_ = c.u16();
  recordLength_ = c.u16();
  c.seek(29);
  codePage_ = c.byte();
  if (headerLength_ < kFileHeader + 1 || headerLength_ > size || recordLength_ < 1) {
    error = "The table header is damaged.";
    return false;
  }

  std::string descriptors;
  readAt(file_, kFileHeader, headerLength_ - kFileHeader, descriptors);
  for (std::size_t at = 0, offset = 0; at + kDescriptor <= descriptors.size() && descriptors[at] != '\x0D';
       at += kDescriptor) {
    ByteCursor d(std::string_view(descriptors).substr(at, kDescriptor));
    std::string_view name = d.bytes(11);
    DbfField f;
    f.name = text::upperAscii(name.substr(0, name.find('\0')));
    f.type = static_cast<char>(d.byte());
    d.skip(4);
    f.length = d.byte();
    f.decimals = d.byte();
    if (f.type == 'C') f.length += f.decimals * 256;  // long character fields of FoxPro and Clipper
    f.offset = offset;
    offset += f.length;
    if (1 + offset > recordLength_) {
      error = "A field of the table lies outside its records.";
      return false;
    }
    fields_.push_back(std::move(f));
  }
  if (fields_.empty()) {
    error = "The table has no fields.";
    return false;
  }
  uint64_t room = (size - headerLength_) / recordLength_;
  records_ = declared;
  if (room < declared) {
    records_ = static_cast<uint32_t>(room);
    truncated_ = true;
  }
  bool hasMemo = false;
  for (const DbfField& f : fields_) hasMemo = hasMemo || f.type == 'M';
  if (hasMemo) {
    memoKind_ = foxProVersion(version_) ? MemoKind::Fpt : MemoKind::Dbt;
    openMemo(path);
  }
  return true;
}

bool DbfTable::openMemo(const std::string& path) {
  namespace fs = std::filesystem;
  const char* wanted = memoKind_ == MemoKind::Fpt ? "fpt" : "dbt";
  fs::path p(path);
  fs::path found;
  std::error_code ec;
  std::string stem = text::lowerAscii(p.stem().string());
  for (const auto& entry : fs::directory_iterator(p.parent_path().empty() ? fs::path(".") : p.parent_path(), ec)) {
    const fs::path& q = entry.path();
    if (text::lowerAscii(q.stem().string()) == stem && text::lowerAscii(q.extension().string()) == std::string(".") + wanted) {
      found = q;
      break;
    }
  }
  if (found.empty()) return false;
  memo_.open(found, std::ios::binary);
  if (!memo_.is_open()) return false;
  memoSize_ = fileSize(memo_);
  std::string head;
  readAt(memo_, 0, 32, head);
  memoBlock_ = 512;
  if (memoKind_ == MemoKind::Fpt && head.size() >= 8) {
    memoBlock_ = (std::size_t(uint8_t(head[6])) << 8) | uint8_t(head[7]);
  } else if (memoKind_ == MemoKind::Dbt && head.size() >= 22 && version_ != 0x83) {
    std::size_t b = std::size_t(uint8_t(head[20])) | (std::size_t(uint8_t(head[21])) << 8);
    if (b >= 64) memoBlock_ = b;  // dBase IV keeps its block size here
  }
  if (memoBlock_ == 0) memoBlock_ = 512;
  return true;
}

void DbfTable::close() {
  file_.close();
  file_.clear();
  memo_.close();
  memo_.clear();
  memoKind_ = MemoKind::None;
  memoSize_ = 0;
  version_ = codePage_ = 0;
  records_ = 0;
  truncated_ = false;
  fields_.clear();
  record_.clear();
}

bool DbfTable::dosCodePage() const {
  switch (codePage_) {
    case 0x01:  // 437
    case 0x02:  // 850
    case 0x64:  // 852
    case 0x65:  // 865
    case 0x66:  // 866
    case 0x67:  // 861
    case 0x6A:  // 737
    case 0x6B:  // 857
      return true;
    default:
      return false;
  }
}

int DbfTable::field(std::string_view name) const {
  for (std::size_t i = 0; i < fields_.size(); ++i)
    if (text::equalsNoCase(fields_[i].name, name)) return static_cast<int>(i);
  return -1;
}

RecordState DbfTable::read(uint32_t index) {
  record_.clear();
  if (index >= records_) return RecordState::Unreadable;
  std::string r;
  if (!readAt(file_, headerLength_ + uint64_t(index) * recordLength_, recordLength_, r)) return RecordState::Unreadable;
  if (r[0] != ' ' && r[0] != '*') return RecordState::Unreadable;
  record_.swap(r);
  return record_[0] == '*' ? RecordState::Deleted : RecordState::Ok;
}

std::string_view DbfTable::raw(int field) const {
  if (field < 0 || static_cast<std::size_t>(field) >= fields_.size() || record_.empty()) return {};
  const DbfField& f = fields_[static_cast<std::size_t>(field)];
  return std::string_view(record_).substr(1 + f.offset, f.length);
}

std::string DbfTable::text(int field) const {
  std::string_view v = raw(field);
  std::size_t nul = v.find('\0');
  return text::trim(v.substr(0, nul));
}

long DbfTable::number(int field) const {
  std::string t = text(field);
  long v = 0;
  bool negative = false;
  std::size_t i = 0;
  if (i < t.size() && (t[i] == '-' || t[i] == '+')) negative = t[i++] == '-';
  for (; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i) {
    if (v > 100000000000L) break;  // no record number is this long
    v = v * 10 + (t[i] - '0');
  }
  return negative ? -v : v;
}

int32_t DbfTable::date(int field) const {
  std::string t = text(field);
  if (t.size() != 8) return 0;
  for (char ch : t)
    if (ch < '0' || ch > '9') return 0;
  return text::dayNumber(std::stoi(t.substr(0, 4)), std::stoi(t.substr(4, 2)), std::stoi(t.substr(6, 2)));
}

bool DbfTable::logical(int field) const {
  std::string_view v = raw(field);
  return !v.empty() && (v[0] == 'T' || v[0] == 't' || v[0] == 'Y' || v[0] == 'y');
}

std::string DbfTable::memo(int field) {
  std::string_view v = raw(field);
  if (v.empty() || !memo_.is_open()) return {};
  uint64_t block = 0;
  if (v.size() == 4) {  // Visual FoxPro: a binary block number
    ByteCursor c(v);
    block = c.u32();
  } else {
    std::string t = text::trim(v);
    if (t.empty()) return {};
    for (char ch : t) {
      if (ch < '0' || ch > '9') return {};
      block = block * 10 + static_cast<uint64_t>(ch - '0');
      if (block > memoSize_) return {};
    }
  }
  if (block == 0) return {};
  uint64_t at = block * memoBlock_;
  if (at >= memoSize_) return {};
  std::string head;
  if (memoKind_ == MemoKind::Fpt) {
    if (!readAt(memo_, at, 8, head)) return {};
    uint64_t length = bigEndian32(std::string_view(head).substr(4, 4));
    std::string data;
    readAt(memo_, at + 8, static_cast<std::size_t>(std::min<uint64_t>(length, kMaxMemo)), data);
    return data;
  }
  readAt(memo_, at, 8, head);
  if (head.size() == 8 && head.compare(0, 4, "\xFF\xFF\x08\x00", 4) == 0) {  // dBase IV block
    ByteCursor c(std::string_view(head).substr(4));
    uint64_t length = c.u32();
    if (length < 8) return {};
    std::string data;
    readAt(memo_, at + 8, static_cast<std::size_t>(std::min<uint64_t>(length - 8, kMaxMemo)), data);
    return data;
  }
  // dBase III: the memo runs to its end mark.
  std::string data;
  readAt(memo_, at, static_cast<std::size_t>(std::min<uint64_t>(memoSize_ - at, kMaxMemo)), data);
  std::size_t end = data.find('\x1A');
  if (end != std::string::npos) data.resize(end);
  return data;
}

}  // namespace qb::import::tables
