#pragma once
// Clean-up of the sender and recipient addresses and names that the
// CompuServe binary stores and tables keep (CIM message files, the filing
// cabinet, the NavCIS and CISCOMM tables).

#include <string>
#include <string_view>

namespace qb::import {

// An Internet address (one with "@") loses everything up to and including
// "INTERNET:" (or "INTERNET" without the colon) when that word occurs in it,
// in any letter case. Any other address is a CompuServe user identifier:
// enclosing square brackets are removed, a blank after the comma is removed,
// and an identifier without a comma gets one in place of its last "." (and
// loses a blank after it): "[71234.567]" becomes "71234,567". Blanks at the
// ends are removed.
std::string cleanCisAddress(std::string_view address);

// A name in double quotes loses them; a name equal to the first 40
// characters of its (raw) address is no name and becomes empty.
std::string cleanCisName(std::string_view name, std::string_view address);

// The table readers' rule: the clean-up above, then a leading "INTERNET:"
// (in upper case) is removed.
std::string tableAddress(std::string_view address);

}  // namespace qb::import
