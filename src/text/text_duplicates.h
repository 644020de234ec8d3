#pragma once
// The text-duplicate test shared by the import (a new message against a
// stored one) and the mail duplicate elimination of the purge: two texts are
// duplicates when, trailing blanks removed, the shorter is the start of the
// longer and their lengths differ by less than 20 characters.

#include <string_view>

namespace qb::text {

bool textsAreDuplicates(std::string_view a, std::string_view b);

}  // namespace qb::text
