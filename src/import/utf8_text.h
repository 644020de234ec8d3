#pragma once
// The archive stores its texts as UTF-8. Every converter converts what it
// reads from its source's charset; the import run makes sure of it before a
// work record is written: a field or text that is not valid UTF-8 is read as
// Windows-1252, the charset of the programs whose stores have no label.

#include <string>

#include "import/work_records.h"

namespace qb::import {

// The names, addresses, subject and section of `nhr` as UTF-8 (the database
// name FOR_DESCRIPTION was resolved as it stands and is left alone).
void utf8Fields(NHR& nhr);
void utf8Fields(CCT& cc);
// The text as UTF-8, at most `maxBytes` bytes (cut at a character boundary).
std::string utf8Text(const std::string& text, std::size_t maxBytes);

}  // namespace qb::import
