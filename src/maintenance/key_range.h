#pragma once
// Reading the records of one person (or thread) through a key whose first
// two components are a sort prefix and an identifier (MSG:FromKey,
// MAI:PairKey, MSG:Threadkey, ...).

#include <cstdint>
#include <vector>

#include "store/keyed_file.h"
#include "text/unicode.h"

namespace qb::maintenance {

// The positions of the records of `f` in the range of `key` whose alpha and
// identifier components equal `alpha` and `id` (alpha without regard to
// letter case). The positions are gathered before the caller writes, since
// it may change the very fields the range is built on.
template <class R, class Alpha>
std::vector<int64_t> rangeOf(store::Table<R>& f, int key, Alpha R::*alphaField, uint32_t R::*idField,
                             const Alpha& alpha, uint32_t id) {
  std::vector<int64_t> out;
  const std::string want = text::foldCase(alpha.str());
  f.clear();
  f.rec.*alphaField = alpha;
  f.rec.*idField = id;
  if (f.setAt(key, 2) != store::Err::Ok) return out;
  while (f.next() == store::Err::Ok) {
    if (f.rec.*idField != id || text::foldCase((f.rec.*alphaField).str()) != want) break;
    out.push_back(f.position());
  }
  return out;
}

}  // namespace qb::maintenance
