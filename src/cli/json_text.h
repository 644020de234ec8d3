#pragma once
// JSON output of the listing commands: strings with their escapes.

#include <string>

namespace qb::cli {

// A JSON string literal of a UTF-8 text.
std::string jsonString(const std::string& s);

}  // namespace qb::cli
