#include "import/import_types.h"

#include <cctype>

#include "store/record.h"

namespace qb::import {

bool ImportType::offered() const { return std::string_view(name) != "Reserv"; }

const std::vector<ImportType>& importTypes() {
  static const std::vector<ImportType> types = {
      {1, "AUTOSIG", "*.ATO"},
      {2, "CISCOMM", "*.DBF"},
      {3, "CompuServe 3.x", "FCABINET.DAT"},
      {4, "CSNav", "*.THD;*.MSG;*.PLX"},
      {5, "DOSCIM", "*.THD;*.MSG;*.PLX"},
      {6, "Eudora", "*.MBX"},
      {7, "GoldenCompass", "*.MSG"},
      {8, "IE Mail", "*.MBX"},
      {9, "IE News", "*.NCH"},
      {10, "NavCIS 1.6x", "RECV.DBF"},
      {11, "NavCIS 1.7x", "HRECV.DBF"},
      {12, "OzCIS", "*.MSG;*.PRG;*.OBS"},
      {13, "OzWin I", "*.MSG;*.PRG;*.OBS"},
      {14, "OzWin II", "*.MSG;*.PRG;*.OBS"},
      {15, "TAPCIS 5.x", "*.MSG;*.OLD"},
      {16, "VirtualAccess", "*."},
      {17, "WinCIM", "*.THD;*.MSG;*.PLX"},
      {18, "Agent News", "*.*"},
      {19, "TAPCIS 6.x", "*.MSG;*.OLD"},
      {20, "Pegasus", "*.PMM"},
      {21, "Netscape News", "*.SNM"},
      {22, "Netscape Mail", "*.*"},
      {23, "Outlook Express 4 Mail", "*.MBX"},
      {24, "Outlook Express 4 News", "*.NCH"},
      {25, "NavCIS Save format", "*.SAV"},
      {26, "Generic Mail Type 1", "*.*"},
      {27, "Becky Mail", "*.MBX"},
      {28, "Unix News", "*.*"},
      {29, "Gravity", "*.*"},
      {30, "Agent Mail", "*.*"},
      {31, "OUI", "MESSAGE.DBF"},
      {32, "Outlook Express 5 Mail", "*.DBX"},
      {33, "Outlook Mail", ""},
      {34, "Outlook Express 5 News", "*.DBX"},
      {35, "Generic Mail Type 2", "*.*"},
      {36, "AOL", "*.*"},
      {37, "Winvn", "*.*"},
      {38, "Reserv", ""},
      {39, "Reserv", ""},
      {40, "Reserv", ""},
  };
  return types;
}

const ImportType* importTypeByNumber(int number) {
  if (number < 1 || number > 40) return nullptr;
  const ImportType& t = importTypes()[static_cast<std::size_t>(number - 1)];
  return t.offered() ? &t : nullptr;
}

const ImportType* findImportType(std::string_view s) {
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  if (s.empty()) return nullptr;
  bool digits = s.size() <= 3;
  for (char c : s) digits = digits && std::isdigit(static_cast<unsigned char>(c));
  if (digits) return importTypeByNumber(std::stoi(std::string(s)));
  // Older saved definitions carry number 11 as "NavCIS 1.7x-".
  if (text::upper1252(s) == "NAVCIS 1.7X-") return importTypeByNumber(11);
  std::string wanted = text::upper1252(s);
  for (const ImportType& t : importTypes())
    if (t.offered() && text::upper1252(t.name) == wanted) return &t;
  return nullptr;
}

bool isCimType(std::string_view name) { return name == "WinCIM" || name == "DOSCIM" || name == "CSNav"; }

}  // namespace qb::import
