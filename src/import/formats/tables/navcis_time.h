#pragma once
// The time of a NavCIS mail (HRE:MSG_TIME): its first ten characters
// without a trailing blank; a second character ":" gets a leading "0"; five
// characters are HH:MM, eight HH:MM:SS; anything else gives no time (0).

#include <cstdint>
#include <string_view>

namespace qb::import::tables {

int32_t navCisTime(std::string_view field);

// A CISCOMM mail time (CMA:MSG_TIME), HH:MM.
int32_t hourMinute(std::string_view field);

}  // namespace qb::import::tables
