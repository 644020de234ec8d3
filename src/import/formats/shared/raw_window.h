#pragma once
// A forward-only byte window over a foreign file.
//
// The file is read in blocks of 10000 bytes into a window of two blocks, so
// that from the current position at least one whole block lies ahead (as far
// as the file goes). A separator or header line that crosses a block end is
// therefore still seen whole by a reader that looks at most 10000 bytes
// ahead. Memory stays at two blocks whatever the size of the file.

#include <array>
#include <cstdint>
#include <fstream>
#include <string>
#include <string_view>

namespace qb::import {

class RawWindow {
 public:
  static constexpr std::size_t kBlock = 10000;
  static constexpr std::size_t kLookahead = kBlock;  // bytes always visible ahead

  // Opens the file; false when it cannot be read.
  bool open(const std::string& path);
  void close();
  bool isOpen() const { return file_.is_open(); }

  // The byte at `offset` bytes from the current position, or -1 beyond the
  // end of the file. `offset` must be below kLookahead.
  int at(std::size_t offset) const {
    std::size_t i = pos_ + offset;
    return i < filled_ ? static_cast<unsigned char>(buf_[i]) : -1;
  }
  // True when the bytes from the current position equal `s` (s.size() <= kLookahead).
  bool startsWith(std::string_view s) const;
  // Index (from the current position) of the first `c` within `limit`
  // bytes, or npos.
  std::size_t find(char c, std::size_t limit) const;

  // Moves the current position forward by n bytes (at most to the end).
  void advance(std::size_t n = 1);
  // Lines end with LF or CR LF; in a file whose first block has no LF but a
  // CR, with CR alone (Mac files).
  // Moves forward past the next line end (or to the end).
  void skipLine();
  // Reads the line at the current position up to its line end (taken, not
  // kept). At most `keep` bytes are kept, the rest of a longer line is
  // passed over. False when nothing is left to read.
  bool readLine(std::string& line, std::size_t keep);
  // Index (from the current position) of the first line end (LF; in a
  // file of CR lines, CR or LF) within `limit` bytes, or npos.
  std::size_t findLineEnd(std::size_t limit) const;
  // Passes over the line end at the current position (LF, CR LF or CR).
  void skipLineEnd();
  // The bytes visible from the current position.
  std::string_view ahead() const { return std::string_view(buf_.data() + pos_, filled_ - pos_); }
  // Bytes visible from the current position (at least kLookahead while the
  // file goes on).
  std::size_t available() const { return filled_ - pos_; }

  bool atEnd() const { return pos_ >= filled_; }
  uint64_t position() const { return base_ + pos_; }  // absolute offset in the file
  uint64_t size() const { return size_; }
  int permille() const;  // progress through the file, 0..1000

  static constexpr std::size_t npos = std::string_view::npos;

 private:
  void refill();

  std::ifstream file_;
  std::array<char, 2 * kBlock> buf_{};
  std::size_t pos_ = 0;     // current position in buf_
  std::size_t filled_ = 0;  // bytes of buf_ holding data
  uint64_t base_ = 0;       // file offset of buf_[0]
  uint64_t size_ = 0;
  bool eof_ = false;
  bool crLines_ = false;  // lines end with CR alone
};

}  // namespace qb::import
