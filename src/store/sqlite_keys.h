#pragma once
// Key values as stored in the key columns of a store file: each key of a
// layout is encoded so that a plain byte comparison of two encodings gives
// the key's order.
//
//   BYTE, ULONG    unsigned, big-endian
//   SHORT, LONG    big-endian with the sign bit flipped
//   STRING(n)      the n blank-padded bytes; when the key ignores letter
//                  case, the value case-folded for all of Unicode
//                  (text::foldCase: a value that is not UTF-8 is read as
//                  Windows-1252), cut to n bytes at a character boundary
//                  and blank-padded
//   descending     every byte of the component inverted
//
// Components have fixed widths and are concatenated, so the encoding of the
// first `parts` components is a prefix of the whole key's encoding.

#include <cstdint>
#include <string>
#include <vector>

#include "store/record.h"

namespace qb::store {

// Bumped whenever the encoding changes: a file keyed with another version
// has damaged keys and is repaired by a rebuild when it is opened.
// 1: Windows-1252 upper case; 2: Unicode case folding.
constexpr int kKeyEncodingVersion = 2;

class KeyEncoder {
 public:
  KeyEncoder(const Layout& layout, int key);

  int parts() const { return static_cast<int>(parts_.size()); }
  std::size_t size() const { return size_; }
  // Encodes the key of the record image into `out` (replacing its content),
  // using its first `parts` components (-1: all).
  void encode(const uint8_t* image, std::string& out, int parts = -1) const;

 private:
  struct Part {
    uint32_t offset;
    uint32_t size;
    FieldType type;
    bool descending;
    bool nocase;
  };
  std::vector<Part> parts_;
  std::size_t size_ = 0;
};

// The smallest byte string greater than every string that starts with
// `prefix`; false when there is none (the prefix is empty or all 0xFF).
bool prefixSuccessor(const std::string& prefix, std::string& out);

}  // namespace qb::store
