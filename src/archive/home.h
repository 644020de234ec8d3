#pragma once
// Where the Quillbox home (the program directory of the archive) lies:
// --home DIR on the command line, else $QUILLBOX_HOME, else
// $XDG_DATA_HOME/quillbox (~/.local/share/quillbox).

#include <string>

namespace qb::store {
std::string resolveHome(const std::string& commandLineHome);
}
