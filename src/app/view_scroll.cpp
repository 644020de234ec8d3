#include "app/view_scroll.h"

#include <QHeaderView>
#include <QTableView>
#include <algorithm>

#include "app/paged_model.h"

namespace qb::app {

ViewScrollBar::ViewScrollBar(QTableView* table, PagedListModel* model, QWidget* parent)
    : QScrollBar(Qt::Vertical, parent), table_(table), model_(model) {
  table_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  pending_.setSingleShot(true);
  connect(&pending_, &QTimer::timeout, this, [this] { showRank(target_); });
  QScrollBar* inner = table_->verticalScrollBar();
  connect(inner, &QScrollBar::valueChanged, this, [this] { follow(); });
  connect(inner, &QScrollBar::rangeChanged, this, [this] { follow(); });
  // The rows change before the table has laid them out: follow afterwards.
  auto later = [this] { QMetaObject::invokeMethod(this, &ViewScrollBar::follow, Qt::QueuedConnection); };
  connect(model_, &QAbstractItemModel::modelReset, this, later);
  connect(model_, &QAbstractItemModel::rowsInserted, this, later);
  connect(model_, &QAbstractItemModel::rowsRemoved, this, later);
  connect(this, &QScrollBar::valueChanged, this, &ViewScrollBar::moved);
  connect(this, &QScrollBar::sliderReleased, this, [this] {
    if (pending_.isActive()) {
      pending_.stop();
      showRank(target_);
    }
  });
}

int ViewScrollBar::visibleRows() const {
  const int h = std::max(1, table_->verticalHeader()->defaultSectionSize());
  return std::max(1, table_->viewport()->height() / h);
}

void ViewScrollBar::follow() {
  if (pending_.isActive()) return;  // a drag is on its way: the thumb stays with the mouse
  QScrollBar* inner = table_->verticalScrollBar();
  following_ = true;
  const int64_t total = model_->total();
  const int top = std::max(table_->rowAt(0), 0);
  const int64_t rank = model_->rankOfRow(top);
  if (total < 0 || rank < 0) {
    // A source without ranks: the bar is the table's own.
    setRange(inner->minimum(), inner->maximum());
    setPageStep(inner->pageStep());
    setValue(inner->value());
  } else {
    const int rows = visibleRows();
    const int64_t last = std::max<int64_t>(total - rows, 0);
    // The range of a scroll bar is an int; larger lists are scaled.
    const int64_t scale = last / INT32_MAX + 1;
    setRange(0, static_cast<int>(last / scale));
    setPageStep(static_cast<int>(std::max<int64_t>(rows / scale, 1)));
    setSingleStep(1);
    int64_t v = rank;
    // The ends of the view are the ends of the bar, whatever the estimate.
    if (model_->atEnd() && inner->value() >= inner->maximum()) v = last;
    if (model_->atStart() && inner->value() <= inner->minimum()) v = 0;
    setValue(static_cast<int>(std::min(v, last) / scale));
  }
  following_ = false;
}

void ViewScrollBar::moved(int value) {
  if (following_) return;
  const int64_t total = model_->total();
  const int64_t first = model_->rankOfRow(0);
  if (total < 0 || first < 0) {
    table_->verticalScrollBar()->setValue(value);
    return;
  }
  const int64_t scale = std::max<int64_t>(total - visibleRows(), 0) / INT32_MAX + 1;
  const int64_t rank = value >= maximum() ? std::max<int64_t>(total - visibleRows(), 0) : int64_t(value) * scale;
  const int64_t local = rank - first;
  const bool held = local >= 0 && local + visibleRows() <= model_->rowCount();
  const bool atHeldEnd = value >= maximum() && model_->atEnd();
  const bool atHeldStart = value <= minimum() && model_->atStart();
  if (held || atHeldEnd || atHeldStart) {
    pending_.stop();
    QScrollBar* inner = table_->verticalScrollBar();
    if (atHeldEnd) inner->setValue(inner->maximum());
    else if (atHeldStart) inner->setValue(inner->minimum());
    else table_->scrollTo(model_->index(static_cast<int>(local), 0), QAbstractItemView::PositionAtTop);
    return;
  }
  target_ = rank;
  // While the thumb is dragged, the page is read once the mouse rests.
  if (isSliderDown()) pending_.start(40);
  else showRank(rank);
}

void ViewScrollBar::showRank(int64_t rank) {
  const int64_t total = model_->total();
  const int rows = visibleRows();
  const bool toEnd = total >= 0 && rank >= total - rows;
  if (toEnd) model_->showLast();
  else if (rank <= 0) model_->showFirst();
  else model_->showAtRank(rank);
  if (model_->rowCount() == 0) return;
  QScrollBar* inner = table_->verticalScrollBar();
  int top = 0;
  if (toEnd) {
    top = std::max(model_->rowCount() - rows, 0);
  } else if (model_->rankOfRow(0) >= 0) {
    top = static_cast<int>(std::clamp<int64_t>(rank - model_->rankOfRow(0), 0, model_->rowCount() - 1));
  }
  table_->scrollTo(model_->index(top, 0), QAbstractItemView::PositionAtTop);
  if (toEnd) inner->setValue(inner->maximum());
  if (jumped) jumped(std::max(table_->rowAt(0), 0));
  follow();
}

}  // namespace qb::app
