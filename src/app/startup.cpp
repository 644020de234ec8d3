#include "app/startup.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <filesystem>

#include "app/gui_ui.h"
#include "archive/archive_home.h"
#include "archive/config.h"
#include "archive/paths.h"

namespace qb::app {

namespace fs = std::filesystem;
using namespace qb::store;

int runStartupChecks(Session& s, const std::string& home, const NewPathFn& newPath) {
  // The desktop program counts rows of large lists for the scroll bar and
  // "Row n of N" at every move; mapped reads keep those counts well inside
  // a frame's time.
  KeyedFile::setMappedReads(int64_t{1} << 30);
  std::error_code ec;
  const bool homeExists = fs::is_directory(home, ec);
  const bool earlierInstallation = fs::exists(fs::path(home) / "CFG" / "IDX008.TPS", ec);
  s.GlobalRequest = 0;
  s.GlobalResponse = 0;
  if (!homeExists || !fs::exists(fs::path(home) / "CFG", ec)) {
    // A new installation: the home with its directories, paths and lists.
    std::string error;
    if (!initHome(s, home, {}, error)) {
      s.tell(error, "Quillbox", Icon::Hand);
      return 0;
    }
  } else {
    switch (openHome(s, home)) {
      case HomeStatus::Ready: break;
      case HomeStatus::NoHome: return 0;
      case HomeStatus::DataPathMissing:
        // The message names the directory that is gone.
        s.tell("The path to your data files cannot be found!\r\n" + s.FileDir +
                   "\r\nUpdate file path on next screen\r\n",
               "Path not found!");
        if (!newPath(s)) return 0;
        break;
    }
  }
  return StartupSettings(s, earlierInstallation);
}

DataPathDialog::DataPathDialog(Session& s, QWidget* parent) : QDialog(parent), s_(s) {
  setWindowTitle(" Path to database files");
  auto* lay = new QVBoxLayout(this);
  auto* text = new QLabel(
      QString("The previously saved path to your data files is no longer valid:\n%1\n\nPlease enter the top "
              "directory below which your database files reside and press \"Save changes\" (it is enabled "
              "once the directory exists).")
          .arg(shown(s.FileDir)),
      this);
  text->setObjectName("Explanation");
  text->setWordWrap(true);
  text->setTextInteractionFlags(Qt::TextSelectableByMouse);
  lay->addWidget(text);
  lay->addWidget(new QLabel(" Top directory for database files ", this));
  entry_ = new QLineEdit(shown(s.FileDir), this);
  entry_->setToolTip("Directory under which to place database directory tree");
  lay->addWidget(entry_);
  auto* buttons = new QDialogButtonBox(this);
  ok_ = buttons->addButton("Save changes", QDialogButtonBox::AcceptRole);
  auto* exitB = buttons->addButton("Exit Quillbox", QDialogButtonBox::RejectRole);
  ok_->setEnabled(false);
  connect(ok_, &QPushButton::clicked, this, [this] { save(); });
  connect(exitB, &QPushButton::clicked, this, &QDialog::reject);
  connect(entry_, &QLineEdit::editingFinished, this, [this] { check(); });
  // The button follows what is typed, without leaving the field first.
  connect(entry_, &QLineEdit::textChanged, this, [this] {
    ok_->setEnabled(pathIsValid(s_, entry_->text().trimmed().toStdString()));
  });
  lay->addWidget(buttons);
  resize(480, 200);
}

void DataPathDialog::setPath(const QString& p) { entry_->setText(p); }
bool DataPathDialog::saveEnabled() const { return ok_->isEnabled(); }

bool DataPathDialog::check() {
  const bool ok = pathIsValid(s_, entry_->text().trimmed().toStdString());
  ok_->setEnabled(ok);
  if (ok) {
    ok_->setDefault(true);
    ok_->setFocus();
  } else {
    entry_->selectAll();
    entry_->setFocus();
  }
  return ok;
}

void DataPathDialog::save() {
  if (!check()) return;
  if (saveDataPath(s_, entry_->text().trimmed().toStdString())) {
    s_.MasIdxPath = s_.FileDir;
    accept();
  }
}

bool NewPath(Session& s) {
  DataPathDialog dlg(s);
  return dlg.exec() == QDialog::Accepted;
}

}  // namespace qb::app
