#pragma once

#include "text/strings.h"
#include "text/unicode.h"
// Record declarations: fixed-length records with typed members, their byte
// image, and the data that describes their fields and keys.
//
// A record type is a plain struct whose members are listed once, in layout
// order, by a visit() member:
//
//   struct SaveFile {
//     uint32_t FORUMNUMBER = 0;
//     uint32_t MSGNUMBER = 0;
//     template <class V> void visit(V& v) {
//       v("FORUMNUMBER", FORUMNUMBER);
//       v("MSGNUMBER", MSGNUMBER);
//     }
//     static const Layout& layout();
//   };
//
// and its layout is declared in a few lines with declareLayout<R>(), which
// walks visit() to find each field's offset and size and resolves the keys.
// toImage()/fromImage() serialize a record to and from its exact byte image
// (little-endian integers, blank-padded strings).

#include <array>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace qb::store {

// STRING(n): exactly n bytes, blank-padded on the right. Values are compared
// and shown without their trailing blanks.
template <std::size_t N>
struct FixedString {
  std::array<char, N> bytes;

  FixedString() { bytes.fill(' '); }
  FixedString(std::string_view s) { set(s); }  // NOLINT: implicit on purpose

  // Sets the value, cutting it to N bytes (never inside a UTF-8 character)
  // and padding with blanks.
  void set(std::string_view s) {
    std::size_t n = text::utf8Prefix(s, N);
    std::memcpy(bytes.data(), s.data(), n);
    std::memset(bytes.data() + n, ' ', N - n);
  }
  FixedString& operator=(std::string_view s) {
    set(s);
    return *this;
  }
  // The value without trailing blanks (and without trailing NULs, which
  // foreign data sometimes carries).
  std::string str() const {
    std::size_t n = N;
    while (n > 0 && (bytes[n - 1] == ' ' || bytes[n - 1] == '\0')) --n;
    return std::string(bytes.data(), n);
  }
  std::string_view raw() const { return std::string_view(bytes.data(), N); }
  bool blank() const { return str().empty(); }
  void clear() { bytes.fill(' '); }
  static constexpr std::size_t size() { return N; }
  bool operator==(const FixedString& o) const { return bytes == o.bytes; }
};

enum class FieldType : uint8_t { Byte, Short, Long, ULong, String };

struct Field {
  std::string name;  // without prefix, e.g. "MSGNUMBER"; array elements "ALTADDRESS[3]"
  FieldType type;
  uint32_t offset;
  uint32_t size;
};

struct KeyPart {
  std::string field;
  bool descending = false;
  int fieldIndex = -1;  // resolved by declareLayout
};

enum KeyFlags : unsigned { Dups = 0, Unique = 1, Primary = 2, NoCase = 4 };

struct Key {
  std::string name;  // e.g. "IdKey"
  std::vector<KeyPart> parts;
  bool unique = false;
  bool primary = false;
  bool nocase = false;  // string components compare without regard to letter case
};

// Builds a key declaration: key("DateKey", {desc("DATE"), desc("MSGNUMBER")}, Dups).
inline KeyPart asc(std::string f) { return KeyPart{std::move(f), false}; }
inline KeyPart desc(std::string f) { return KeyPart{std::move(f), true}; }
inline Key key(std::string name, std::initializer_list<KeyPart> parts, unsigned flags) {
  Key k;
  k.name = std::move(name);
  k.parts = parts;
  k.unique = flags & Unique;
  k.primary = flags & Primary;
  k.nocase = flags & NoCase;
  return k;
}

struct Layout {
  std::string name;    // file name in the design, e.g. "MsgNmbr"
  std::string prefix;  // record prefix, e.g. "MSG"
  uint32_t size = 0;   // record image size in bytes
  bool memo = false;   // carries one text memo per record (at most kMaxMemo bytes)
  std::vector<Field> fields;
  std::vector<Key> keys;

  const Field* field(std::string_view fieldName) const;
  int keyIndex(std::string_view keyName) const;  // -1 when not declared
  // A stable text describing fields, offsets and keys; stored with a file so
  // that a file written with another layout is recognised.
  std::string signature() const;
};

constexpr std::size_t kMaxMemo = 64000;

// ---- serialization -------------------------------------------------------

namespace detail {

struct FieldCollector {
  std::vector<Field> fields;
  uint32_t offset = 0;
  void add(const char* n, FieldType t, uint32_t sz) {
    fields.push_back(Field{n, t, offset, sz});
    offset += sz;
  }
  void operator()(const char* n, uint8_t&) { add(n, FieldType::Byte, 1); }
  void operator()(const char* n, int16_t&) { add(n, FieldType::Short, 2); }
  void operator()(const char* n, int32_t&) { add(n, FieldType::Long, 4); }
  void operator()(const char* n, uint32_t&) { add(n, FieldType::ULong, 4); }
  template <std::size_t N>
  void operator()(const char* n, FixedString<N>&) {
    add(n, FieldType::String, N);
  }
  template <std::size_t N, std::size_t M>
  void operator()(const char* n, std::array<FixedString<N>, M>& a) {
    for (std::size_t i = 0; i < M; ++i)
      add((std::string(n) + "[" + std::to_string(i + 1) + "]").c_str(), FieldType::String, N);
  }
};

template <class T>
inline void putLE(uint8_t* p, T v) {
  using U = std::make_unsigned_t<T>;
  U u = static_cast<U>(v);
  for (std::size_t i = 0; i < sizeof(T); ++i) p[i] = static_cast<uint8_t>(u >> (8 * i));
}
template <class T>
inline T getLE(const uint8_t* p) {
  using U = std::make_unsigned_t<T>;
  U u = 0;
  for (std::size_t i = 0; i < sizeof(T); ++i) u |= static_cast<U>(static_cast<U>(p[i]) << (8 * i));
  return static_cast<T>(u);
}

struct Writer {
  uint8_t* p;
  template <class T>
  void operator()(const char*, T& v) requires std::is_integral_v<T> {
    putLE(p, v);
    p += sizeof(T);
  }
  template <std::size_t N>
  void operator()(const char*, FixedString<N>& s) {
    std::memcpy(p, s.bytes.data(), N);
    p += N;
  }
  template <std::size_t N, std::size_t M>
  void operator()(const char* n, std::array<FixedString<N>, M>& a) {
    for (auto& s : a) (*this)(n, s);
  }
};

struct Reader {
  const uint8_t* p;
  template <class T>
  void operator()(const char*, T& v) requires std::is_integral_v<T> {
    v = getLE<T>(p);
    p += sizeof(T);
  }
  template <std::size_t N>
  void operator()(const char*, FixedString<N>& s) {
    std::memcpy(s.bytes.data(), p, N);
    p += N;
  }
  template <std::size_t N, std::size_t M>
  void operator()(const char* n, std::array<FixedString<N>, M>& a) {
    for (auto& s : a) (*this)(n, s);
  }
};

// Resolves key parts to field indexes; throws std::logic_error on a
// declaration fault (a programming error, found by the layout tests).
void resolveKeys(Layout& l);

}  // namespace detail

// Declares the layout of record type R. expectedSize is the byte size the
// design fixes; a mismatch is a programming error (std::logic_error).
template <class R>
Layout declareLayout(std::string name, std::string prefix, uint32_t expectedSize, bool memo,
                     std::vector<Key> keys) {
  R r{};
  detail::FieldCollector c;
  r.visit(c);
  Layout l;
  l.name = std::move(name);
  l.prefix = std::move(prefix);
  l.size = c.offset;
  l.memo = memo;
  l.fields = std::move(c.fields);
  l.keys = std::move(keys);
  if (l.size != expectedSize)
    throw std::logic_error("record " + l.name + " has " + std::to_string(l.size) +
                           " bytes, declared " + std::to_string(expectedSize));
  detail::resolveKeys(l);
  return l;
}

template <class R>
void toImage(const R& r, uint8_t* out) {
  detail::Writer w{out};
  const_cast<R&>(r).visit(w);
}
template <class R>
std::vector<uint8_t> toImage(const R& r) {
  std::vector<uint8_t> v(R::layout().size);
  toImage(r, v.data());
  return v;
}
template <class R>
void fromImage(R& r, const uint8_t* in) {
  detail::Reader rd{in};
  r.visit(rd);
}

// The Windows-1252 case mapping of case-insensitive key components.
using text::upper1252;
using text::lower1252;

}  // namespace qb::store
