#pragma once
// A bounds-checked reading position over the bytes of a binary record (a CIM
// message file, a filing cabinet record, a table header). Integers are
// little-endian. A read past the end yields zeros or nothing and marks the
// cursor as overrun; the readers check ok() before they use what they read,
// so a damaged length field can never carry a read outside the buffer.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qb::import {

class ByteCursor {
 public:
  ByteCursor() = default;
  explicit ByteCursor(std::string_view data) : data_(data) {}

  bool ok() const { return !overrun_; }
  std::size_t position() const { return pos_; }
  std::size_t size() const { return data_.size(); }
  std::size_t remaining() const { return pos_ < data_.size() ? data_.size() - pos_ : 0; }

  void skip(std::size_t n) {
    if (n > remaining()) {
      pos_ = data_.size();
      overrun_ = true;
    } else {
      pos_ += n;
    }
  }
  // Moves to an absolute position (past the end: overrun).
  void seek(std::size_t pos) {
    if (pos > data_.size()) {
      pos_ = data_.size();
      overrun_ = true;
    } else {
      pos_ = pos;
    }
  }

  uint8_t byte() {
    if (remaining() < 1) {
      overrun_ = true;
      return 0;
    }
    return static_cast<uint8_t>(data_[pos_++]);
  }
  uint16_t u16() {
    uint16_t lo = byte();
    uint16_t hi = byte();
    return static_cast<uint16_t>(lo | (hi << 8));
  }
  uint32_t u32() {
    uint32_t v = u16();
    return v | (static_cast<uint32_t>(u16()) << 16);
  }

  // n bytes from the current position (fewer at the end, which is an overrun).
  std::string_view bytes(std::size_t n) {
    std::size_t take = n <= remaining() ? n : remaining();
    std::string_view v = data_.substr(pos_, take);
    pos_ += take;
    if (take < n) overrun_ = true;
    return v;
  }

  // A counted string: a length byte, then that many characters, of which the
  // first `keep` are returned.
  std::string counted(std::size_t keep) {
    std::size_t n = byte();
    std::string_view s = bytes(n);
    return std::string(s.substr(0, keep));
  }

 private:
  std::string_view data_;
  std::size_t pos_ = 0;
  bool overrun_ = false;
};

}  // namespace qb::import
