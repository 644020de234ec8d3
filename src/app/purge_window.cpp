#include "app/purge_window.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "app/gui_ui.h"
#include "app/main_frame.h"
#include "app/notifications.h"
#include "app/window_registry.h"
#include "archive/session.h"

namespace qb::app {

using maintenance::PurgeMode;
using maintenance::PurgeOptions;
using maintenance::PurgeRun;

ToolWindow* PurgeWindow::open(MainFrame& frame) {
  auto* w = new PurgeWindow(frame);
  frame.addChild(w, QSize(470, 250));
  if (frame.session().suppressed()) QTimer::singleShot(0, w, [w] { w->start(); });
  return w;
}

PurgeWindow::PurgeWindow(MainFrame& frame) : ToolWindow(frame, "PurgeMess", kNotToolsGroup, 0) {
  store::Session& s = session();
  purge_ = s.GlobalRequest == 1;
  PurgeOptions o;
  o.mode = purge_ ? PurgeMode::Purge : PurgeMode::Count;
  run_ = std::make_unique<PurgeRun>(s, o);
  run_->open();
  run_->onRefresh = [this](uint32_t) {
    const QString browse = session().ForumType == store::KindMail ? "BrowseMail" : "BrowseMsgNmbr";
    if (QWidget* w = frame_.registry().get(browse)) post(w, NoteReloadList);
  };
  setWindowTitle(QString::fromStdString(run_->title()));

  auto* lay = new QVBoxLayout(this);
  auto* grid = new QGridLayout;
  const bool mail = s.ForumType == store::KindMail;
  const char* purgeLabels[3] = {"Messages before purging", "Deleted during this session", "Messages after purging"};
  const char* countLabels[3] = {"Number of messages:", mail ? "Number of mailpartners:" : "Number of threads:",
                                mail ? "Number of persons:" : "Number of Forum members:"};
  for (int i = 0; i < 3; ++i) {
    labels_[i] = new QLabel(purge_ ? purgeLabels[i] : countLabels[i], this);
    figures_[i] = new QLabel(this);
    figures_[i]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    grid->addWidget(labels_[i], i, 0);
    grid->addWidget(figures_[i], i, 1);
  }
  lay->addLayout(grid);
  if (purge_) {
    auto* row = new QHBoxLayout;
    age_ = new QCheckBox("Purge threads older than ..", this);
    weeks_ = new QLineEdit(this);
    weeks_->setMaxLength(3);
    weeks_->setValidator(new QIntValidator(0, 999, weeks_));
    weeks_->setFixedWidth(48);
    row->addWidget(age_);
    row->addWidget(weeks_);
    row->addWidget(new QLabel("weeks", this));
    row->addStretch();
    lay->addLayout(row);
    // The age rule works on threads: mail databases have none.
    age_->setEnabled(!mail);
    weeks_->setEnabled(!mail);
  }
  caption_ = new QLabel(this);
  lay->addWidget(caption_);
  bar_ = new QProgressBar(this);
  bar_->setRange(0, 1000);
  bar_->setVisible(false);
  lay->addWidget(bar_);
  auto* buttons = new QHBoxLayout;
  start_ = new QPushButton(purge_ ? "Start the purging process" : "Start the counting process", this);
  end_ = new QPushButton("End this session", this);
  connect(start_, &QPushButton::clicked, this, [this] { start(); });
  connect(end_, &QPushButton::clicked, this, [this] { endSession(); });
  buttons->addStretch();
  buttons->addWidget(start_);
  buttons->addWidget(end_);
  lay->addLayout(buttons);
  showFigures();
}

PurgeWindow::~PurgeWindow() = default;

void PurgeWindow::setAgeLimit(bool on, const QString& weeks) {
  if (!age_) return;
  age_->setChecked(on);
  weeks_->setText(weeks);
}

int PurgeWindow::ageWeeks() const {
  if (!age_ || !age_->isChecked()) return 0;
  const QString w = weeks_->text().trimmed();
  if (w.isEmpty()) return 999;  // the box ticked without a figure
  return w.toInt();
}

QString PurgeWindow::figure(int row) const { return row >= 0 && row < 3 ? figures_[row]->text() : QString(); }
QString PurgeWindow::label(int row) const { return row >= 0 && row < 3 ? labels_[row]->text() : QString(); }

void PurgeWindow::showFigures() {
  const auto& st = run_->stats();
  if (purge_) {
    figures_[0]->setText(QString::number(st.before));
    figures_[1]->setText(QString::number(st.deleted));
    figures_[2]->setText(QString::number(st.after));
    return;
  }
  figures_[0]->setText(QString::number(st.done ? st.after : st.before));
  if (!st.done) {
    figures_[1]->setText(QString());
    figures_[2]->setText(QString());
  } else if (session().ForumType == store::KindMail) {
    figures_[1]->setText(QString::number(st.persons > 0 ? st.persons - 1 : 0));
    figures_[2]->setText(QString::number(st.persons));
  } else {
    figures_[1]->setText(QString::number(st.threads));
    figures_[2]->setText(QString::number(st.persons));
  }
}

bool PurgeWindow::start() {
  if (running()) return false;
  // The run starts with the age limit as entered now; a second run in the
  // same window starts from fresh figures.
  PurgeOptions o;
  o.mode = purge_ ? PurgeMode::Purge : PurgeMode::Count;
  o.ageWeeks = purge_ ? ageWeeks() : 0;
  auto next = std::make_unique<PurgeRun>(session(), o);
  next->onRefresh = run_->onRefresh;
  next->report = report_;
  run_ = std::move(next);
  maintenance::StartResult r = run_->start();
  if (r == maintenance::StartResult::Refused) return false;
  if (r == maintenance::StartResult::DatabaseRemoved) {
    // The database is gone: the frame forgets it and its windows.
    post(&frame_, NoteDeactivate);
    close();
    return false;
  }
  if (r != maintenance::StartResult::Started) {
    caption_->setText("The database cannot be opened.");
    return false;
  }
  setWindowTitle(QString::fromStdString(run_->title()));
  start_->setVisible(false);
  if (age_) {
    age_->setEnabled(false);
    weeks_->setEnabled(false);
  }
  bar_->setVisible(true);
  QTimer::singleShot(0, this, [this] { tick(); });
  return true;
}

void PurgeWindow::tick() {
  if (!run_ || !run_->running()) return;
  const bool more = run_->step();
  const int64_t total = run_->total();
  bar_->setValue(total > 0 ? static_cast<int>(run_->done() * 1000 / total) : 0);
  caption_->setText(shown(run_->caption()));
  showFigures();
  if (more) {
    QTimer::singleShot(0, this, [this] { tick(); });
    return;
  }
  finished();
}

void PurgeWindow::finished() {
  bar_->setVisible(false);
  showFigures();
  setWindowTitle(QString::fromStdString(run_->title()));
  const auto& st = run_->stats();
  if (st.failed) {
    caption_->setText(shown("Stopped: " + st.failure));
  } else {
    caption_->setText(purge_ ? "The purge has finished." : "The count has finished.");
  }
  // A finished run closes the window; after a failure it stays open with
  // the cause (unattended runs close it either way).
  if (!st.failed || session().suppressed()) close();
}

void PurgeWindow::endSession() {
  if (running()) run_->end();
  close();
}

void PurgeWindow::closing() {
  // The end button and the window's close button stop a run at once: the
  // tick's transaction is committed and the files are closed.
  if (running()) run_->end();
  run_.reset();
}

}  // namespace qb::app
