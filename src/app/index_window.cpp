#include "app/index_window.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "app/gui_ui.h"
#include "app/main_frame.h"
#include "app/window_registry.h"
#include "archive/session.h"

namespace qb::app {

ToolWindow* IndexWindow::open(MainFrame& frame) {
  auto* w = new IndexWindow(frame);
  frame.addChild(w, QSize(460, 170));
  return w;
}

IndexWindow::IndexWindow(MainFrame& frame) : ToolWindow(frame, "IndexWords", kImportGroup, PlaceIndexWords) {
  const QString t = " Word Indexing: " + shown(session().Description).trimmed();
  setWindowTitle(t);
  auto* lay = new QVBoxLayout(this);
  mode_ = new QComboBox(this);
  mode_->addItems({"Index the messages not indexed yet", "Index every message again", "Recount the indexed words"});
  mode_->setToolTip("A full run is needed after the word-breaking rules changed");
  lay->addWidget(mode_);
  caption_ = new QLabel(this);
  lay->addWidget(caption_);
  bar_ = new QProgressBar(this);
  bar_->setRange(0, 1000);
  lay->addWidget(bar_);
  auto* row = new QHBoxLayout;
  start_ = new QPushButton("&Start", this);
  cancel_ = new QPushButton("Cancel", this);
  cancel_->setEnabled(false);
  connect(start_, &QPushButton::clicked, this, [this] { startRun(mode_->currentIndex()); });
  connect(cancel_, &QPushButton::clicked, this, [this] { cancel(); });
  row->addStretch();
  row->addWidget(start_);
  row->addWidget(cancel_);
  lay->addLayout(row);
}

IndexWindow::~IndexWindow() = default;

bool IndexWindow::startRun(int mode) {
  if (builder_) return false;
  const index::IndexMode m = mode == 1 ? index::IndexMode::Full
                             : mode == 2 ? index::IndexMode::Recount
                                         : index::IndexMode::Partial;
  builder_ = std::make_unique<index::IndexBuilder>(session(), m);
  if (!builder_->start()) {
    session().tell(builder_->message(), "Word Indexing");
    result_ = QString::fromStdString(builder_->message());
    builder_.reset();
    return false;
  }
  start_->setEnabled(false);
  mode_->setEnabled(false);
  cancel_->setEnabled(true);
  QTimer::singleShot(0, this, [this] { tick(); });
  return true;
}

void IndexWindow::tick() {
  if (!builder_) return;
  const bool more = builder_->step(60);
  const int64_t total = builder_->total();
  bar_->setValue(total > 0 ? static_cast<int>(builder_->done() * 1000 / total) : 0);
  caption_->setText(QString::fromStdString(builder_->caption()) + " (" + QString::number(builder_->done()) + " of " +
                    QString::number(total) + ")");
  if (more) {
    QTimer::singleShot(0, this, [this] { tick(); });
    return;
  }
  const auto& st = builder_->stats();
  result_ = builder_->failed() ? QString::fromStdString(builder_->message())
                               : QString("%1 messages indexed, %2 new words, %3 words in the list")
                                     .arg(st.messages)
                                     .arg(st.newWords)
                                     .arg(st.words);
  if (builder_->failed()) session().tell(builder_->message(), "Word Indexing");
  caption_->setText(result_);
  bar_->setValue(1000);
  builder_.reset();
  start_->setEnabled(true);
  mode_->setEnabled(true);
  cancel_->setEnabled(false);
}

void IndexWindow::cancel() {
  if (builder_) builder_->cancel();
}

void IndexWindow::closing() {
  // Closing ends the run as a cancel does: what was committed stays indexed.
  if (builder_) {
    builder_->cancel();
    while (builder_->step(1000)) {
    }
    builder_.reset();
  }
}

}  // namespace qb::app
