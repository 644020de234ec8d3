#pragma once
// Archives for the desktop program's tests: a temporary home with a forum
// or mail database filled record by record, and the application object
// that widget tests need (offscreen).

#include <cstdint>
#include <string>

#include "archive/records.h"
#include "support/database_builder.h"
#include "support/temp_archive.h"

namespace qb::test {

// The one QApplication of the test program (QT_QPA_PLATFORM offscreen).
void ensureApplication();

}  // namespace qb::test
