#include "app/merge_window.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "app/gui_ui.h"
#include "app/main_frame.h"
#include "app/notifications.h"
#include "app/window_registry.h"
#include "archive/config.h"
#include "archive/session.h"

namespace qb::app {

namespace {
// Its entry among the saved window places.
constexpr int kPlaceDuplicates = 18;
}  // namespace

ToolWindow* MergeWindow::open(MainFrame& frame) {
  auto* w = new MergeWindow(frame);
  frame.addChild(w, QSize(520, 300));
  return w;
}

MergeWindow::MergeWindow(MainFrame& frame) : ToolWindow(frame, "Duplicates", kNotToolsGroup, kPlaceDuplicates) {
  store::Session& s = session();
  setWindowTitle(QString::fromStdString(maintenance::mergeTitle(shown(s.Description).trimmed().toStdString(),
                                                                 s.suppressed())));
  const maintenance::MergeTexts t = maintenance::mergeTexts(s.ForumType);
  auto* lay = new QVBoxLayout(this);
  header_ = new QLabel(QString::fromStdString(t.header), this);
  QFont f = header_->font();
  f.setBold(true);
  header_->setFont(f);
  lay->addWidget(header_);
  auto* grid = new QGridLayout;
  const std::string texts[4] = {t.existing, t.obsolete, t.merged, t.remaining};
  const char* tips[4] = {"Number of persons before duplicate elimination", "Number of persons without related messages",
                         "Number of duplicate persons", "Number of remaining persons"};
  for (int i = 0; i < 4; ++i) {
    labels_[i] = new QLabel(QString::fromStdString(texts[i]), this);
    figures_[i] = new QLabel(this);
    figures_[i]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    figures_[i]->setToolTip(tips[i]);
    labels_[i]->setToolTip(tips[i]);
    grid->addWidget(labels_[i], i, 0);
    grid->addWidget(figures_[i], i, 1);
  }
  lay->addLayout(grid);
  caption_ = new QLabel(this);
  lay->addWidget(caption_);
  bar_ = new QProgressBar(this);
  bar_->setRange(0, 1000);
  bar_->hide();
  lay->addWidget(bar_);
  auto* row = new QHBoxLayout;
  start_ = new QPushButton("Start the duplicate elimination process", this);
  end_ = new QPushButton("End this session", this);
  connect(start_, &QPushButton::clicked, this, [this] { start(); });
  connect(end_, &QPushButton::clicked, this, [this] { end(); });
  row->addStretch();
  row->addWidget(start_);
  row->addWidget(end_);
  lay->addLayout(row);
  lay->addStretch();
  showFigures();
  // Unattended runs start at once.
  if (s.suppressed()) QTimer::singleShot(0, this, [this] { start(); });
}

MergeWindow::~MergeWindow() = default;

QString MergeWindow::figure(int row) const { return row >= 0 && row < 4 ? figures_[row]->text() : QString(); }
QString MergeWindow::figureLabel(int row) const { return row >= 0 && row < 4 ? labels_[row]->text() : QString(); }
QString MergeWindow::caption() const { return caption_->text(); }
QString MergeWindow::header() const { return header_->text(); }

void MergeWindow::showFigures() {
  if (!run_) {
    if (figures_[0]->text().isEmpty())
      for (auto* l : figures_) l->setText("0");
    return;
  }
  const auto& c = run_->counters();
  figures_[0]->setText(QString::number(c.before));
  figures_[1]->setText(QString::number(c.withoutMessages));
  figures_[2]->setText(QString::number(c.merged));
  figures_[3]->setText(QString::number(c.remaining()));
}

bool MergeWindow::start() {
  store::Session& s = session();
  if (run_ || s.ForumNumber == 0) return false;
  run_ = std::make_unique<maintenance::MergePersons>(s, s.ForumNumber);
  stopConfirmed_ = false;
  start_->hide();
  bar_->setValue(0);
  bar_->show();
  QTimer::singleShot(0, this, [this] { tick(); });
  return true;
}

void MergeWindow::tick() {
  if (!run_) return;
  const bool more = run_->step();
  const auto& p = run_->progress();
  bar_->setValue(p.total ? static_cast<int>(p.done * 1000 / p.total) : 0);
  caption_->setText(QString::fromStdString(p.caption));
  showFigures();
  if (more) {
    QTimer::singleShot(0, this, [this] { tick(); });
    return;
  }
  finished();
}

void MergeWindow::finished() {
  store::Session& s = session();
  const bool failed = run_->failed();
  if (failed) s.tell(run_->error(), "Duplicate Person elimination");
  caption_->setText(QString::fromStdString(run_->finalMessage()));
  bar_->setValue(1000);
  bar_->hide();
  if (!failed && !run_->cancelled() && !s.suppressed() && store::setting(s, store::SetShowCompletion) == 1) {
    s.beep();
    s.tell("The time for completion was: " + std::to_string(run_->elapsedSeconds()) + " seconds",
           " Duplicate Elimination ", Icon::Information);
  }
  run_.reset();
  start_->show();
  // The browses show the merged persons.
  post(frame_.registry().get(s.ForumType == store::KindMail ? "BrowseMail" : "BrowseMsgNmbr"), NoteReloadKeep);
  post(frame_.registry().get("BrowsePerson"), NoteReloadList);
}

bool MergeWindow::confirmStop() {
  if (!run_ || stopConfirmed_) return true;
  Button b = session().ask(
      "Stopping at this stage will cause message counts \r\nto be incorrect.\r\nIf you do quit, please run the Count "
      "Messages process to correct the numbers! Are you sure you want to quit?",
      "Duplicate Person elimination interrupted", Button::Yes | Button::No, Button::No);
  stopConfirmed_ = b == Button::Yes;
  return stopConfirmed_;
}

bool MergeWindow::end() {
  if (!confirmStop()) return false;
  close();
  return true;
}

void MergeWindow::closeEvent(QCloseEvent* e) {
  if (!confirmStop()) {
    e->ignore();
    return;
  }
  ToolWindow::closeEvent(e);
}

void MergeWindow::closing() {
  // Groups merged so far stay merged; the rest is left as it was.
  if (run_) {
    run_->cancel();
    run_->step();
    run_.reset();
  }
}

}  // namespace qb::app
