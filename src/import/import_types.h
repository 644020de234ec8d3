#pragma once
// The import type table: every source format the import run offers, with the
// number that identifies it in saved import definitions and the default file
// masks used with directory and directory tree selection.

#include <string>
#include <string_view>
#include <vector>

namespace qb::import {

struct ImportType {
  int number;              // 1..40
  const char* name;        // at most 22 characters; the name converters are chosen by
  const char* defaultMask; // masks separated by ";"; empty: files are not selected by mask
  bool offered() const;    // false for the "Reserv" entries
};

// All 40 entries in number order.
const std::vector<ImportType>& importTypes();

// The type taken when none is chosen ("WinCIM").
constexpr int kDefaultImportType = 17;

// By exact name (letter case ignored) or by number given as text ("17", "017").
// Null when there is no such offered type.
const ImportType* findImportType(std::string_view nameOrNumber);
const ImportType* importTypeByNumber(int number);

// The types that read CIM message files ("WinCIM", "DOSCIM", "CSNav"): a run
// of theirs can take every file of the chosen directories and let the
// reader pass over those that are not CIM files (ImportRequest::allCimFiles).
bool isCimType(std::string_view name);

}  // namespace qb::import
