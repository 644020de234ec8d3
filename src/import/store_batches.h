#pragma once
// How the storing phase of an import run batches its work.

#include <cstdint>

namespace qb::import {

// Messages per storing transaction: each commit costs a dozen syncs, so they
// are few; a killed run loses at most the open transaction, which the next
// run stores. The page cache bounds the memory of a transaction whatever its
// size.
constexpr uint64_t kMessagesPerCommit = 10000;

}  // namespace qb::import
