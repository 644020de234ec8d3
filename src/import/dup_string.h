#pragma once
// DupString: the text-duplicate test of mail duplicate detection. Two texts
// are duplicates when, trailing blanks removed, the shorter is the start of
// the longer and their lengths differ by less than 20 characters.

#include <cstdint>
#include <string_view>

#include "text/text_duplicates.h"

namespace qb::store {
class Session;
}

namespace qb::import {

using text::textsAreDuplicates;

// Mode 1 compares the stored text of message `first` (MsgText of the current
// database) with the text of the work record in the import work file's
// buffer; mode 2 with the stored text of message `second`. 1 when they are
// duplicates; 0 otherwise, and when a stored text is missing.
uint8_t DupString(store::Session& s, int mode, uint32_t first, uint32_t second = 0);

// Mode 1 with the work record's text given.
uint8_t DupString(store::Session& s, uint32_t first, std::string_view workText);

}  // namespace qb::import
