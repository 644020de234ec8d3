#include "version.h"

namespace qb {
const char* versionString() { return QB_VERSION; }
}  // namespace qb
