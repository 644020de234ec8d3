#pragma once
// The converter factories of the format families. Each serves the import
// types of its family and is named in the lines of the import type table
// (import/import_types.cpp) for those types; a new family adds its factory
// here and in the table, nowhere else.

#include <memory>

#include "import/converter.h"
#include "import/import_types.h"

namespace qb::import {

namespace captures {
// The text captures: OzCIS, OzWin I/II, TAPCIS 5.x/6.x, AUTOSIG,
// GoldenCompass, NavCIS Save format.
std::unique_ptr<Converter> makeCaptureConverter(ImportTypeId type);
}  // namespace captures

namespace mail {
// The mailbox files read by a mailbox reader: Eudora, Netscape Mail, IE Mail,
// Outlook Express 4 Mail, Pegasus, Becky Mail, Agent Mail, Generic Mail Type
// 1, AOL.
std::unique_ptr<Converter> makeMailboxConverter(ImportTypeId type);
// The mail stores read with a news message source: Generic Mail Type 2
// ("From " lines), Outlook Express 5 Mail (message database).
std::unique_ptr<Converter> makeNewsSourceMailConverter(ImportTypeId type);
}  // namespace mail

namespace news {
// The news stores: Agent News, Unix News, VirtualAccess, IE News, Outlook
// Express 4 News, Netscape News, Outlook Express 5 News, Gravity, Winvn.
std::unique_ptr<Converter> makeNewsConverter(ImportTypeId type);
}  // namespace news

namespace outlook {
// Outlook data files (.pst, .ost): Outlook Mail.
std::unique_ptr<Converter> makeOutlookConverter(ImportTypeId type);
}  // namespace outlook
namespace cim {
// The CIM message files: WinCIM, DOSCIM, CSNav.
std::unique_ptr<Converter> makeCimConverter(ImportTypeId type);
}  // namespace cim

namespace cabinet {
// The filing cabinet: CompuServe 3.x.
std::unique_ptr<Converter> makeCabinetConverter(ImportTypeId type);
}  // namespace cabinet

namespace tables {
// The dBase tables: NavCIS 1.6x, NavCIS 1.7x, CISCOMM, OUI.
std::unique_ptr<Converter> makeTableConverter(ImportTypeId type);
}  // namespace tables

}  // namespace qb::import
