#include "app/app_archive.h"

#include <QApplication>
#include <cstdlib>

#include "app/main_frame.h"
#include "app/window_registry.h"

namespace qb::test {

void ensureApplication() {
  if (QApplication::instance()) return;
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static int argc = 1;
  static char name[] = "test_app";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);
}

void pumpEvents() {
  for (int i = 0; i < 8; ++i) {
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
}

void closeFrame(std::unique_ptr<qb::app::MainFrame>& frame) {
  if (frame) {
    frame->registry().destroyGroup(qb::app::kFindGroup);
    pumpEvents();
    frame->registry().destroyGroup(qb::app::kNotToolsGroup);
    pumpEvents();
    frame.reset();
  }
  pumpEvents();
}

}  // namespace qb::test
