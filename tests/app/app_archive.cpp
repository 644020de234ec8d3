#include "app/app_archive.h"

#include <QApplication>
#include <cstdlib>

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

}  // namespace qb::test
