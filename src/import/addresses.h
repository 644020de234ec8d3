#pragma once
// The importers' name for the header address splitter of the text layer
// (text/cis_address.h).

#include "text/cis_address.h"

namespace qb::import {
using text::FindCISAdress;
using text::NameAddress;
}  // namespace qb::import
