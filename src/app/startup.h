#pragma once
// The start-up checks of the desktop program, in order: the program
// directory (the Quillbox home) with CFG/ below it, an earlier installation,
// the path settings, the temporary directory, the data directory (asked for
// again with the data-path window when it is gone), the settings, and the
// settings version with the upgrade message.

#include <QDialog>
#include <functional>
#include <string>

#include "archive/session.h"

class QLineEdit;
class QPushButton;

namespace qb::app {

// Lets the user give a new data directory (NewPath); true when one was
// saved, false when the user chose to leave the program.
using NewPathFn = std::function<bool(store::Session&)>;

// Result 0: stop; 1: normal start; 99: first start of a new installation.
int runStartupChecks(store::Session& s, const std::string& home, const NewPathFn& newPath);

// The data-path window of NewPath mode 1.
class DataPathDialog : public QDialog {
  Q_OBJECT
 public:
  DataPathDialog(store::Session& s, QWidget* parent = nullptr);
  // Tests the entry as leaving it does; enables "Save changes" when valid.
  bool check();
  void setPath(const QString& p);
  bool saveEnabled() const;
  // "Save changes": remembers the path; closes with result 1 on success.
  void save();

 private:
  store::Session& s_;
  QLineEdit* entry_;
  QPushButton* ok_;
};

// NewPath with the window above.
bool NewPath(store::Session& s);

}  // namespace qb::app
