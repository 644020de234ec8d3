#pragma once
// The start-up wizard, shown once on the first start of a new
// installation: where the data lives, and a first mail database.

#include <QWizard>

class QLabel;
class QLineEdit;

namespace qb::app {

class MainFrame;

class StartupWizard : public QWizard {
  Q_OBJECT
 public:
  explicit StartupWizard(MainFrame& frame);
  static void run(MainFrame& frame);
  // Checks the fields of the mail database page and creates the database
  // when they are filled: false (the wizard stays, the fields as typed, the
  // problem shown on the page) when one is missing or wrong or the database
  // cannot be created; true when both are empty (nothing to create).
  bool createMailDatabase();
  // The problem shown on the mail database page (empty: none).
  QString problem() const;
  QLineEdit* nameField() const { return name_; }
  QLineEdit* addressField() const { return address_; }
  uint32_t created() const { return created_; }
  static int shownCount();  // how often the wizard opened in this process

 private:
  MainFrame& frame_;
  QLineEdit* dataDir_;
  QLineEdit* name_;
  QLineEdit* address_;
  QLabel* problem_;
  uint32_t created_ = 0;
};

}  // namespace qb::app
