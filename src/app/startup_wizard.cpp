#include "app/startup_wizard.h"

#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/gui_ui.h"
#include "app/main_frame.h"
#include "app/notifications.h"
#include "archive/maildb.h"
#include "archive/paths.h"
#include "archive/session.h"

namespace qb::app {

namespace {
int shown_ = 0;

// The last page checks its fields before the wizard may finish.
class MailPage : public QWizardPage {
 public:
  explicit MailPage(StartupWizard* w) : wizard_(w) {}
  bool validatePage() override { return wizard_->createMailDatabase(); }

 private:
  StartupWizard* wizard_;
};
}

int StartupWizard::shownCount() { return shown_; }

StartupWizard::StartupWizard(MainFrame& frame) : QWizard(&frame), frame_(frame) {
  setWindowTitle("Quillbox Start-up Wizard");
  store::Session& s = frame.session();

  auto* welcome = new QWizardPage;
  welcome->setTitle("Welcome to Quillbox");
  auto* wl = new QVBoxLayout(welcome);
  auto* intro = new QLabel(
      "Quillbox keeps forum captures, newsgroup articles and mail in an archive of databases. "
      "Each database lives in a directory of its own below the data directory.",
      welcome);
  intro->setWordWrap(true);
  wl->addWidget(intro);
  auto* row = new QHBoxLayout;
  dataDir_ = new QLineEdit(shown(s.FileDir), welcome);
  dataDir_->setReadOnly(true);
  auto* change = new QPushButton("&Change...", welcome);
  connect(change, &QPushButton::clicked, this, [this, &s] {
    QString d = QFileDialog::getExistingDirectory(this, " Top directory for database files ", dataDir_->text());
    if (!d.isEmpty() && store::saveDataPath(s, d.toStdString())) {
      s.MasIdxPath = s.FileDir;
      dataDir_->setText(shown(s.FileDir));
    }
  });
  row->addWidget(new QLabel("Data directory:", welcome));
  row->addWidget(dataDir_, 1);
  row->addWidget(change);
  wl->addLayout(row);
  addPage(welcome);

  auto* mail = new MailPage(this);
  mail->setTitle("A first mail database");
  auto* ml = new QVBoxLayout(mail);
  auto* mtext = new QLabel(
      "Mail is archived in a mail database of its owner. Give your name and mail address to create one now, "
      "or leave the fields empty. Forum and newsgroup databases are created when messages are imported "
      "(Import menu).",
      mail);
  mtext->setWordWrap(true);
  ml->addWidget(mtext);
  auto* form = new QFormLayout;
  name_ = new QLineEdit(mail);
  name_->setMaxLength(static_cast<int>(store::kMailDbNameLength));
  address_ = new QLineEdit(mail);
  address_->setMaxLength(static_cast<int>(store::kMailAddressLength));
  form->addRow(" Mail database name ", name_);
  form->addRow(" Default mail address ", address_);
  ml->addLayout(form);
  problem_ = new QLabel(mail);
  problem_->setObjectName("Problem");
  problem_->setWordWrap(true);
  problem_->setStyleSheet("color: #b00000;");
  problem_->hide();
  ml->addWidget(problem_);
  // What the user corrects takes the message away.
  for (QLineEdit* e : {name_, address_})
    connect(e, &QLineEdit::textEdited, problem_, [this] { problem_->hide(); });
  addPage(mail);
}

QString StartupWizard::problem() const { return problem_->isHidden() ? QString() : problem_->text(); }

bool StartupWizard::createMailDatabase() {
  if (created_) return true;
  store::MailDatabaseFields f{name_->text().trimmed().toStdString(), address_->text().trimmed().toStdString(), {}};
  if (f.name.empty() && f.address.empty()) return true;
  auto refuse = [&](const QString& why, QLineEdit* field) {
    problem_->setText(why);
    problem_->show();
    field->setFocus();
    return false;
  };
  if (f.name.empty()) return refuse("Give the mail database a name (your name), or empty both fields to skip.", name_);
  if (f.address.empty())
    return refuse("Give your mail address as well, or empty both fields to skip.", address_);
  store::Session& s = frame_.session();
  const std::string problem = store::checkMailDatabaseFields(f);
  if (!problem.empty()) return refuse(shown(problem).replace("\r\n", " ").trimmed(), address_);
  created_ = store::createMailDatabase(s, f);
  if (!created_) return refuse("The mail database could not be created.", name_);
  problem_->hide();
  return true;
}

void StartupWizard::run(MainFrame& frame) {
  ++shown_;
  auto* w = new StartupWizard(frame);
  w->setAttribute(Qt::WA_DeleteOnClose);
  connect(w, &QWizard::accepted, &frame, [w, &frame] {
    if (w->created()) post(&frame, NoteReevaluate);
  });
  w->open();
}

}  // namespace qb::app
