#include "app/import_run_window.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/display_settings.h"
#include "app/gui_ui.h"
#include "app/main_frame.h"
#include "app/notifications.h"
#include "app/window_registry.h"
#include "archive/session.h"
#include "import/run_timing.h"

namespace qb::app {

ImportRunWindow* ImportRunWindow::open(MainFrame& frame, std::unique_ptr<import::ImportRun> run) {
  auto* w = new ImportRunWindow(frame, std::move(run));
  frame.addChild(w, QSize(520, 360));
  return w;
}

ImportRunWindow::ImportRunWindow(MainFrame& frame, std::unique_ptr<import::ImportRun> run)
    : ToolWindow(frame, "ImportProcessing", kImportGroup, kPlaceImportRun), run_(std::move(run)) {
  setWindowTitle(QString::fromStdString(run_->title()));
  auto* lay = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  from_ = new QLabel(this);
  from_->setWordWrap(true);
  to_ = new QLabel(this);
  form->addRow("Importing from:", from_);
  form->addRow("Importing to:", to_);
  const char* const labels[] = {"Messages in database before import:", "Records in import file:",
                                "Messages imported:", "Duplicates skipped:"};
  for (int i = 0; i < 4; ++i) {
    counts_[i] = new QLabel("0", this);
    form->addRow(labels[i], counts_[i]);
  }
  lay->addLayout(form);
  status_ = new QLabel(this);
  lay->addWidget(status_);
  bar_ = new QProgressBar(this);
  bar_->setRange(0, 1000);
  lay->addWidget(bar_);
  databases_ = new QTreeWidget(this);
  databases_->setHeaderLabels({"Database", "Kind", "Before", "Records", "Stored", "Duplicates"});
  databases_->setRootIsDecorated(false);
  databases_->header()->setStretchLastSection(false);
  databases_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  applyImportListLook(session(), databases_);
  lay->addWidget(databases_, 1);
  auto* row = new QHBoxLayout;
  row->addStretch();
  cancel_ = new QPushButton("Cancel", this);
  cancel_->setToolTip("Stop the import");
  connect(cancel_, &QPushButton::clicked, this, [this] { cancel(); });
  row->addWidget(cancel_);
  lay->addLayout(row);
  timer_.setInterval(0);
  connect(&timer_, &QTimer::timeout, this, [this] { tick(); });
  timer_.start();
}

ImportRunWindow::~ImportRunWindow() = default;

void ImportRunWindow::cancel() {
  if (running()) run_->cancel();
}

void ImportRunWindow::tick(int budgetMs) {
  if (!run_ || finished_) return;
  // A few steps per tick keep the window responsive and the run quick.
  QElapsedTimer t;
  t.start();
  bool more = run_->step();
  while (more && t.elapsed() < budgetMs) more = run_->step();
  show();
  if (!more) finish();
}

void ImportRunWindow::show() {
  const import::RunProgress& p = run_->progress();
  const import::RunStats& st = run_->stats();
  from_->setText(shown(p.importingFrom));
  to_->setText(shown(p.importingTo));
  status_->setText(shown(p.status));
  uint32_t before = 0;
  for (const auto& db : st.databases)
    if (db.name == p.importingTo) before = db.before;
  counts_[0]->setText(QString::number(before));
  counts_[1]->setText(QString::number(std::max<uint64_t>(p.workRecords, st.workRecords)));
  counts_[2]->setText(QString::number(std::max<uint64_t>(p.stored, st.imported)));
  counts_[3]->setText(QString::number(st.duplicates));
  if (p.storing && p.storeTotal > 0) {
    const import::BarScale scale = import::CalcMax(p.storeTotal);
    bar_->setRange(0, static_cast<int>(scale.maximum));
    bar_->setValue(static_cast<int>(std::min<uint64_t>(p.storeDone / scale.divisor, scale.maximum)));
  } else {
    bar_->setRange(0, 1000);
    bar_->setValue(static_cast<int>(p.conversion * 1000));
  }
  if (databases_->topLevelItemCount() != static_cast<int>(st.databases.size())) databases_->clear();
  for (std::size_t i = 0; i < st.databases.size(); ++i) {
    const auto& db = st.databases[i];
    QTreeWidgetItem* item = databases_->topLevelItem(static_cast<int>(i));
    if (!item) item = new QTreeWidgetItem(databases_);
    item->setText(0, shown(db.name) + (db.created ? " (new)" : ""));
    item->setText(1, QString::fromLatin1(store::kindName(db.kind)));
    item->setText(2, QString::number(db.before));
    item->setText(3, QString::number(db.workRecords));
    item->setText(4, QString::number(db.stored));
    item->setText(5, QString::number(db.duplicates));
  }
}

void ImportRunWindow::finish() {
  finished_ = true;
  timer_.stop();
  cancel_->setEnabled(false);
  const import::RunStats& st = run_->stats();
  if (!session().suppressed() && !st.failed) {
    std::string text = run_->finalMessage();
    text += "\r\nMessages imported: " + std::to_string(st.imported) +
            "\r\nDuplicates skipped: " + std::to_string(st.duplicates);
    if (st.cancelled) text = "The import was stopped.\r\n" + text;
    session().tell(text, " Import Processing ", qb::Icon::Information);
  }
  // The frame re-evaluates the active database: the browse shows the new
  // messages, and an archive without one gets the database just filled.
  post(&frame_, NoteReevaluate);
  close();
}

QString ImportRunWindow::importingFrom() const { return from_->text(); }
QString ImportRunWindow::importingTo() const { return to_->text(); }
QString ImportRunWindow::statusText() const { return status_->text(); }
QString ImportRunWindow::countText(int which) const { return which >= 0 && which < 4 ? counts_[which]->text() : QString(); }
int ImportRunWindow::barValue() const { return bar_->value(); }
int ImportRunWindow::barMaximum() const { return bar_->maximum(); }

void ImportRunWindow::closing() {
  // Closing the window (the frame closing its groups) ends the run as a
  // cancel does; the run's end cleans up its work files.
  timer_.stop();
  if (running()) {
    run_->cancel();
    while (run_->step()) {
    }
  }
  if (!finished_) post(&frame_, NoteReevaluate);
  finished_ = true;
}

}  // namespace qb::app
