#pragma once
// Archives for the desktop program's tests: a temporary home with a forum
// or mail database filled record by record (support/database_builder.h),
// and the application object that widget tests need (offscreen).

#include <memory>

#include "support/database_builder.h"

namespace qb::app {
class MainFrame;
}

namespace qb::test {

// The one QApplication of the test program (QT_QPA_PLATFORM offscreen).
void ensureApplication();

// Lets posted events, timers due now and deferred deletions run, as the
// event loop would between two user actions.
void pumpEvents();

// Closes a test's frame as the program ends: the find windows, then the
// other windows, then the frame itself, with events run in between. An
// empty pointer has nothing to close.
void closeFrame(std::unique_ptr<qb::app::MainFrame>& frame);

}  // namespace qb::test
