#pragma once
// Small record types for the store tests, declared the way archive records
// are, and a temporary directory that removes itself.

#include <cstdlib>
#include <filesystem>
#include <string>

#include "store/keyed_file.h"
#include "store/record.h"

namespace qb::store::test {

// A message-like record: a unique descending number, a case-insensitive
// name with a descending date tail (as a partner key), a signed value.
struct Item {
  uint32_t ID = 0;
  FixedString<12> NAME;
  int32_t DATE = 0;
  int16_t DELTA = 0;
  uint8_t FLAG = 0;
  FixedString<8> ALIAS;
  template <class V>
  void visit(V& v) {
    v("ID", ID);
    v("NAME", NAME);
    v("DATE", DATE);
    v("DELTA", DELTA);
    v("FLAG", FLAG);
    v("ALIAS", ALIAS);
  }
  static constexpr int IdKey = 0;    // unique, descending
  static constexpr int PairKey = 1;  // NAME (no case) + DATE descending, duplicates
  static constexpr int DeltaKey = 2; // signed, duplicates
  static constexpr int AliasKey = 3; // unique, case-insensitive
  static const Layout& layout() {
    static const Layout l = declareLayout<Item>(
        "Item", "ITM", 31, false,
        {key("IdKey", {desc("ID")}, Unique | Primary), key("PairKey", {asc("NAME"), desc("DATE")}, Dups | NoCase),
         key("DeltaKey", {asc("DELTA")}, Dups), key("AliasKey", {asc("ALIAS")}, Unique | NoCase)});
    return l;
  }
};

// The same fields with one key less: another layout of the same file.
struct ItemOld {
  uint32_t ID = 0;
  FixedString<12> NAME;
  int32_t DATE = 0;
  int16_t DELTA = 0;
  uint8_t FLAG = 0;
  FixedString<8> ALIAS;
  template <class V>
  void visit(V& v) {
    v("ID", ID);
    v("NAME", NAME);
    v("DATE", DATE);
    v("DELTA", DELTA);
    v("FLAG", FLAG);
    v("ALIAS", ALIAS);
  }
  static const Layout& layout() {
    static const Layout l =
        declareLayout<ItemOld>("Item", "ITM", 31, false, {key("IdKey", {desc("ID")}, Unique | Primary)});
    return l;
  }
};

// A record with a text memo.
struct Note {
  uint32_t ID = 0;
  template <class V>
  void visit(V& v) {
    v("ID", ID);
  }
  static constexpr int IdKey = 0;
  static const Layout& layout() {
    static const Layout l = declareLayout<Note>("Note", "NOT", 4, true, {key("IdKey", {asc("ID")}, Unique)});
    return l;
  }
};

// A record without keys (like a reference file).
struct Plain {
  uint8_t TYPE = 0;
  FixedString<20> TEXT;
  template <class V>
  void visit(V& v) {
    v("TYPE", TYPE);
    v("TEXT", TEXT);
  }
  static const Layout& layout() {
    static const Layout l = declareLayout<Plain>("Plain", "PLN", 21, false, {});
    return l;
  }
};

class TempDir {
 public:
  TempDir() {
    std::string t = (std::filesystem::temp_directory_path() / "qbstoreXXXXXX").string();
    path_ = mkdtemp(t.data());
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

}  // namespace qb::store::test
