#pragma once
// The import type table: every source format the import run offers, with the
// number that identifies it in saved import definitions, its name, the
// default file masks used with directory and directory tree selection, and
// the factory of its converter. The table (import_types.cpp) is the only
// place that spells a format's name; code that treats formats differently
// switches on ImportTypeId, so a misspelt format is a compile error.
//
// Adding a converter for a listed type: write the family's factory (one
// function `std::unique_ptr<Converter> make...(ImportTypeId)`, declared in
// import/formats/families.h) and put it in the type's line of the table.

#include <array>
#include <cstddef>
#include <memory>
#include <string_view>

namespace qb::import {

class Converter;

// The numbers of the table; they are stored in saved import definitions.
enum class ImportTypeId : int {
  Autosig = 1,
  Ciscomm = 2,
  CompuServe3 = 3,
  CsNav = 4,
  DosCim = 5,
  Eudora = 6,
  GoldenCompass = 7,
  IeMail = 8,
  IeNews = 9,
  NavCis16 = 10,
  NavCis17 = 11,
  OzCis = 12,
  OzWin1 = 13,
  OzWin2 = 14,
  Tapcis5 = 15,
  VirtualAccess = 16,
  WinCim = 17,
  AgentNews = 18,
  Tapcis6 = 19,
  Pegasus = 20,
  NetscapeNews = 21,
  NetscapeMail = 22,
  OutlookExpress4Mail = 23,
  OutlookExpress4News = 24,
  NavCisSave = 25,
  GenericMail1 = 26,
  BeckyMail = 27,
  UnixNews = 28,
  Gravity = 29,
  AgentMail = 30,
  Oui = 31,
  OutlookExpress5Mail = 32,
  OutlookMail = 33,
  OutlookExpress5News = 34,
  GenericMail2 = 35,
  Aol = 36,
  Winvn = 37,
  Reserved38 = 38,
  Reserved39 = 39,
  Reserved40 = 40,
};

constexpr int kImportTypeCount = 40;

// Makes the converter of one import type; the type is passed so that one
// factory can serve a family of related formats.
using ConverterFactory = std::unique_ptr<Converter> (*)(ImportTypeId);

struct ImportType {
  ImportTypeId id;
  const char* name;         // at most 22 characters; shown to the user and saved in definitions
  const char* defaultMask;  // masks separated by ";"; empty: files are not selected by mask
  ConverterFactory factory; // null: no converter for the type yet

  constexpr int number() const { return static_cast<int>(id); }
  constexpr bool offered() const { return std::string_view(name) != "Reserv"; }  // false for the "Reserv" entries
  bool available() const { return factory != nullptr; }
};

using ImportTypeTable = std::array<ImportType, kImportTypeCount>;

// All 40 entries in number order.
const ImportTypeTable& importTypes();

// The rules the table keeps: entry i has number i+1, names are 1..22
// characters and unique apart from the "Reserv" entries (letter case
// ignored), and a "Reserv" entry has no converter. Returns the first broken
// rule as a message, empty when the table is sound. The table is checked
// with it when the program is compiled.
constexpr std::string_view importTypeTableProblem(const ImportTypeTable& table) {
  auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
  auto sameName = [&](std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
      if (upper(a[i]) != upper(b[i])) return false;
    return true;
  };
  for (std::size_t i = 0; i < table.size(); ++i) {
    const ImportType& t = table[i];
    if (t.number() != static_cast<int>(i) + 1) return "an entry is out of number order";
    if (t.name == nullptr || t.defaultMask == nullptr) return "an entry lacks its name or mask";
    std::string_view name(t.name);
    if (name.empty() || name.size() > 22) return "a name is empty or longer than 22 characters";
    if (!t.offered()) {
      if (t.factory != nullptr) return "a reserved entry has a converter";
      continue;
    }
    for (std::size_t j = 0; j < i; ++j)
      if (sameName(name, table[j].name)) return "two entries have the same name";
  }
  return {};
}

// The type taken when none is chosen ("WinCIM").
constexpr ImportTypeId kDefaultImportType = ImportTypeId::WinCim;

// By exact name (letter case ignored) or by number given as text ("17", "017").
// Null when there is no such offered type.
const ImportType* findImportType(std::string_view nameOrNumber);
const ImportType* importTypeByNumber(int number);
const ImportType& importType(ImportTypeId id);

// The name of a type as the table spells it.
const char* importTypeName(ImportTypeId id);

// The types that read CIM message files ("WinCIM", "DOSCIM", "CSNav"): a run
// of theirs can take every file of the chosen directories and let the
// reader pass over those that are not CIM files (ImportRequest::allCimFiles).
bool isCimType(std::string_view name);

}  // namespace qb::import
