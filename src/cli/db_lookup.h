#pragma once
// Finding a database named on the command line: by its name (any letter
// case) or by its identifier.

#include <string>

#include "archive/records.h"
#include "archive/session.h"

namespace qb::cli {

// False (and a message on stderr) when there is no such database, or when
// it has no directory.
bool findDatabase(store::Session& s, const std::string& nameOrId, store::Forums& out);

}  // namespace qb::cli
