#pragma once
// The start-up wizard, shown once on the first start of a new
// installation: where the data lives, and a first mail database.

#include <QWizard>

class QLineEdit;

namespace qb::app {

class MainFrame;

class StartupWizard : public QWizard {
  Q_OBJECT
 public:
  explicit StartupWizard(MainFrame& frame);
  static void run(MainFrame& frame);
  // Creates the mail database of the last page when its fields are filled.
  bool createMailDatabase();
  static int shownCount();  // how often the wizard opened in this process

 private:
  MainFrame& frame_;
  QLineEdit* dataDir_;
  QLineEdit* name_;
  QLineEdit* address_;
};

}  // namespace qb::app
