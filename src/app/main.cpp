// quillbox: the desktop program.
//
//   quillbox [--home DIR] [--search "WORDS"] [--screenshot FILE]
//
// --home chooses the Quillbox home (else $QUILLBOX_HOME, else
// ~/.local/share/quillbox). --search opens the browse of the active
// database on the result of a search over its word index. --screenshot
// saves a picture of the frame once it has opened its windows, and ends the
// program.

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "app/browse_window.h"
#include "app/gui_ui.h"
#include "app/window_registry.h"
#include "app/main_frame.h"
#include "app/startup.h"
#include "archive/config.h"
#include "archive/home.h"
#include "archive/messages.h"
#include "archive/session.h"

namespace {

// Setting 2 switches the tool tips of the whole program off (1) or on (2).
class NoToolTips : public QObject {
 protected:
  bool eventFilter(QObject* o, QEvent* e) override {
    return e->type() == QEvent::ToolTip ? true : QObject::eventFilter(o, e);
  }
};

// A fatal stop that reaches the event loop ends the program (its message
// has been shown).
class Application : public QApplication {
 public:
  using QApplication::QApplication;
  bool notify(QObject* o, QEvent* e) override {
    try {
      return QApplication::notify(o, e);
    } catch (const qb::FatalStop& stop) {
      std::fprintf(stderr, "quillbox: %s\n", stop.what());
      std::exit(2);
    }
  }
};

}  // namespace

int main(int argc, char** argv) {
  Application app(argc, argv);
  QApplication::setApplicationName("Quillbox");
  std::string homeArg, screenshot;
  QString search;
  const QStringList args = QApplication::arguments();
  for (int i = 1; i < args.size(); ++i) {
    if (args[i] == "--home" && i + 1 < args.size()) homeArg = args[++i].toStdString();
    else if (args[i] == "--screenshot" && i + 1 < args.size()) screenshot = args[++i].toStdString();
    else if (args[i] == "--search" && i + 1 < args.size()) search = args[++i];
    else if (args[i] == "--help" || args[i] == "-h") {
      std::printf("usage: quillbox [--home DIR] [--search \"WORDS\"] [--screenshot FILE]\n");
      return 0;
    }
  }
  qb::app::GuiUI ui;
  qb::store::Session session(ui);
  try {
    const std::string home = qb::store::resolveHome(homeArg);
    const int result = qb::app::runStartupChecks(session, home, qb::app::NewPath);
    if (result == qb::app::StartStop) return 1;
    NoToolTips noTips;
    if (qb::store::setting(session, qb::store::SetPresentation) == 1) app.installEventFilter(&noTips);

    qb::app::MainFrame frame(session, result);
    ui.setParent(&frame);
    QObject::connect(&frame, &qb::app::MainFrame::closedDown, &app, &QApplication::quit);
    if (!screenshot.empty()) frame.resize(1200, 760);
    frame.show();
    if (!search.isEmpty()) {
      QTimer::singleShot(800, &frame, [&frame, search] {
        auto* b = qobject_cast<qb::app::BrowseWindow*>(frame.registry().get("BrowseMail"));
        if (!b) b = qobject_cast<qb::app::BrowseWindow*>(frame.registry().get("BrowseMsgNmbr"));
        if (!b) return;
        b->setView(b->isMail() ? 8 : 9);
        if (b->runSearch(search)) b->setCurrentRow(0);
      });
    }
    if (!screenshot.empty()) {
      QTimer::singleShot(2500, &frame, [&frame, screenshot] {
        frame.grab().save(QString::fromStdString(screenshot));
        QCoreApplication::exit(0);
      });
    }
    return app.exec();
  } catch (const qb::FatalStop& stop) {
    // The message has been shown; the program ends.
    std::fprintf(stderr, "quillbox: %s\n", stop.what());
    return 2;
  }
}
