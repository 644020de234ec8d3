#pragma once
// Enriched text (text/enriched) to plain text: every "<...>" command is
// removed, "<<" stands for a literal "<", and the text between <param> and
// </param> (any case) is dropped.

#include <string>
#include <string_view>

namespace qb::text {

std::string enrichedToText(std::string_view text);

}  // namespace qb::text
