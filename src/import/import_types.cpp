#include "import/import_types.h"

#include <cctype>
#include <string>

#include "import/formats/families.h"
#include "text/strings.h"

namespace qb::import {

namespace {

using enum ImportTypeId;
using captures::makeCaptureConverter;
using mail::makeMailboxConverter;
using mail::makeNewsSourceMailConverter;
using news::makeNewsConverter;
using outlook::makeOutlookConverter;
using cim::makeCimConverter;
using cabinet::makeCabinetConverter;
using tables::makeTableConverter;

// One line per import type: number, name, default masks, converter factory
// (nullptr while the type has no converter; the type is then listed but "not
// available"). A new converter plugs in by naming its factory in its line.
constexpr ImportTypeTable kImportTypes{{
    {Autosig, "AUTOSIG", "*.ATO", makeCaptureConverter},
    {Ciscomm, "CISCOMM", "*.DBF", makeTableConverter},
    {CompuServe3, "CompuServe 3.x", "FCABINET.DAT", makeCabinetConverter},
    {CsNav, "CSNav", "*.THD;*.MSG;*.PLX", makeCimConverter},
    {DosCim, "DOSCIM", "*.THD;*.MSG;*.PLX", makeCimConverter},
    {Eudora, "Eudora", "*.MBX", makeMailboxConverter},
    {GoldenCompass, "GoldenCompass", "*.MSG", makeCaptureConverter},
    {IeMail, "IE Mail", "*.MBX", makeMailboxConverter},
    {IeNews, "IE News", "*.NCH", makeNewsConverter},
    {NavCis16, "NavCIS 1.6x", "RECV.DBF", makeTableConverter},
    {NavCis17, "NavCIS 1.7x", "HRECV.DBF", makeTableConverter},
    {OzCis, "OzCIS", "*.MSG;*.PRG;*.OBS", makeCaptureConverter},
    {OzWin1, "OzWin I", "*.MSG;*.PRG;*.OBS", makeCaptureConverter},
    {OzWin2, "OzWin II", "*.MSG;*.PRG;*.OBS", makeCaptureConverter},
    {Tapcis5, "TAPCIS 5.x", "*.MSG;*.OLD", makeCaptureConverter},
    {VirtualAccess, "VirtualAccess", "*.", makeNewsConverter},
    {WinCim, "WinCIM", "*.THD;*.MSG;*.PLX", makeCimConverter},
    {AgentNews, "Agent News", "*.*", makeNewsConverter},
    {Tapcis6, "TAPCIS 6.x", "*.MSG;*.OLD", makeCaptureConverter},
    {Pegasus, "Pegasus", "*.PMM", makeMailboxConverter},
    {NetscapeNews, "Netscape News", "*.SNM", makeNewsConverter},
    {NetscapeMail, "Netscape Mail", "*.*", makeMailboxConverter},
    {OutlookExpress4Mail, "Outlook Express 4 Mail", "*.MBX", makeMailboxConverter},
    {OutlookExpress4News, "Outlook Express 4 News", "*.NCH", makeNewsConverter},
    {NavCisSave, "NavCIS Save format", "*.SAV", makeCaptureConverter},
    {GenericMail1, "Generic Mail Type 1", "*.*", makeMailboxConverter},
    {BeckyMail, "Becky Mail", "*.MBX", makeMailboxConverter},
    {UnixNews, "Unix News", "*.*", makeNewsConverter},
    {Gravity, "Gravity", "*.*", makeNewsConverter},
    {AgentMail, "Agent Mail", "*.*", makeMailboxConverter},
    {Oui, "OUI", "MESSAGE.DBF", makeTableConverter},
    {OutlookExpress5Mail, "Outlook Express 5 Mail", "*.DBX", makeNewsSourceMailConverter},
    {OutlookMail, "Outlook Mail", "*.PST;*.OST", makeOutlookConverter},
    {OutlookExpress5News, "Outlook Express 5 News", "*.DBX", makeNewsConverter},
    {GenericMail2, "Generic Mail Type 2", "*.*", makeNewsSourceMailConverter},
    {Aol, "AOL", "*.*", makeMailboxConverter},
    {Winvn, "Winvn", "*.*", makeNewsConverter},
    {Reserved38, "Reserv", "", nullptr},
    {Reserved39, "Reserv", "", nullptr},
    {Reserved40, "Reserv", "", nullptr},
}};

static_assert(importTypeTableProblem(kImportTypes).empty(), "the import type table breaks one of its rules");

}  // namespace

const ImportTypeTable& importTypes() { return kImportTypes; }

const ImportType& importType(ImportTypeId id) { return kImportTypes[static_cast<std::size_t>(id) - 1]; }

const char* importTypeName(ImportTypeId id) { return importType(id).name; }

const ImportType* importTypeByNumber(int number) {
  if (number < 1 || number > kImportTypeCount) return nullptr;
  const ImportType& t = kImportTypes[static_cast<std::size_t>(number - 1)];
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
  for (const ImportType& t : kImportTypes)
    if (t.offered() && text::upper1252(t.name) == wanted) return &t;
  return nullptr;
}

bool isCimType(std::string_view name) { return name == "WinCIM" || name == "DOSCIM" || name == "CSNav"; }

}  // namespace qb::import
