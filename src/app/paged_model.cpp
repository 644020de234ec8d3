#include "app/paged_model.h"

#include <algorithm>

namespace qb::app {

uint32_t ListRow::id() const {
  if (auto* m = std::get_if<store::MsgRow>(&data)) return m->MSGNUMBER;
  return std::get<store::MailRow>(data).MAILID;
}

std::vector<ListSource::Entry> QueryRows::convert(std::vector<store::PageSource<store::BrowseRow>::Entry> rows) const {
  std::vector<Entry> out;
  out.reserve(rows.size());
  for (auto& e : rows) out.push_back({e.pos, make_(std::move(e.row))});
  return out;
}

void PagedListModel::setHeaders(const QStringList& h) {
  beginResetModel();
  headers_ = h;
  endResetModel();
}

void PagedListModel::reset(std::vector<ListSource::Entry> rows) {
  beginResetModel();
  rowsRead_ += static_cast<int64_t>(rows.size());
  rows_.assign(std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
  endResetModel();
}

void PagedListModel::clear() {
  reset({});
  atStart_ = atEnd_ = true;
  total_ = firstRank_ = -1;
}

void PagedListModel::placeRows(int64_t knownFirstRank) {
  // The length is counted when the list is read from an end (a new view, a
  // reload); a jump within it keeps the count.
  if (total_ < 0 || knownFirstRank == 0) total_ = pager_ ? pager_->total() : -1;
  firstRank_ = -1;
  if (rows_.empty() || total_ < 0) return;
  firstRank_ = knownFirstRank >= 0 ? knownFirstRank : atStart_ ? 0 : pager_->rankOf(rows_.front().pos);
  // Records passed over make the count larger than the rows; the rows held
  // must fit into it all the same.
  if (firstRank_ >= 0) total_ = std::max<int64_t>(total_, firstRank_ + static_cast<int64_t>(rows_.size()));
}

void PagedListModel::showFirst() {
  if (!pager_) return clear();
  auto rows = pager_->first(pageSize);
  atStart_ = true;
  atEnd_ = static_cast<int>(rows.size()) < pageSize;
  reset(std::move(rows));
  placeRows(0);
}

void PagedListModel::showLast() {
  if (!pager_) return clear();
  auto rows = pager_->last(pageSize);
  atEnd_ = true;
  atStart_ = static_cast<int>(rows.size()) < pageSize;
  reset(std::move(rows));
  total_ = pager_->total();
  firstRank_ = total_ < 0 || rows_.empty() ? -1 : std::max<int64_t>(total_ - static_cast<int64_t>(rows_.size()), 0);
}

void PagedListModel::showAtRank(int64_t rank) {
  if (!pager_) return clear();
  showRows(pager_->atRank(rank, pageSize), true);
}

void PagedListModel::showFrom(int64_t pos) {
  if (!pager_) return clear();
  showRows(pager_->from(pos, pageSize), true);
}

void PagedListModel::showRows(std::vector<ListSource::Entry> rows, bool mayHaveBefore) {
  atStart_ = !mayHaveBefore || rows.empty();
  atEnd_ = static_cast<int>(rows.size()) < pageSize;
  reset(std::move(rows));
  // A short page means the reader reached an end; find out which.
  if (!rows_.empty() && mayHaveBefore && pager_) atStart_ = pager_->before(rows_.front().pos, 1).empty();
  if (!rows_.empty() && pager_) atEnd_ = pager_->after(rows_.back().pos, 1).empty();
  placeRows();
}

int PagedListModel::loadBefore() {
  if (!pager_ || atStart_ || rows_.empty()) return 0;
  auto more = pager_->before(rows_.front().pos, pageSize);
  rowsRead_ += static_cast<int64_t>(more.size());
  if (static_cast<int>(more.size()) < pageSize) atStart_ = true;
  if (more.empty()) return 0;
  if (!atStart_) atStart_ = pager_->before(more.front().pos, 1).empty();
  const int n = static_cast<int>(more.size());
  if (firstRank_ >= 0) firstRank_ = atStart_ ? 0 : std::max<int64_t>(firstRank_ - n, 0);
  beginInsertRows({}, 0, n - 1);
  rows_.insert(rows_.begin(), std::make_move_iterator(more.begin()), std::make_move_iterator(more.end()));
  endInsertRows();
  int excess = static_cast<int>(rows_.size()) - maxRows;
  if (excess > 0) {
    beginRemoveRows({}, static_cast<int>(rows_.size()) - excess, static_cast<int>(rows_.size()) - 1);
    rows_.erase(rows_.end() - excess, rows_.end());
    endRemoveRows();
    atEnd_ = false;
  }
  return n;
}

int PagedListModel::loadAfter() {
  if (!pager_ || atEnd_ || rows_.empty()) return 0;
  auto more = pager_->after(rows_.back().pos, pageSize);
  rowsRead_ += static_cast<int64_t>(more.size());
  if (static_cast<int>(more.size()) < pageSize) atEnd_ = true;
  if (more.empty()) return 0;
  if (!atEnd_) atEnd_ = pager_->after(more.back().pos, 1).empty();
  const int n = static_cast<int>(more.size());
  int excess = static_cast<int>(rows_.size()) + n - maxRows;
  if (excess > 0) {
    beginRemoveRows({}, 0, excess - 1);
    rows_.erase(rows_.begin(), rows_.begin() + excess);
    endRemoveRows();
    atStart_ = false;
    if (firstRank_ >= 0) firstRank_ += excess;
  }
  beginInsertRows({}, static_cast<int>(rows_.size()), static_cast<int>(rows_.size()) + n - 1);
  rows_.insert(rows_.end(), std::make_move_iterator(more.begin()), std::make_move_iterator(more.end()));
  endInsertRows();
  if (firstRank_ >= 0) total_ = std::max<int64_t>(total_, firstRank_ + static_cast<int64_t>(rows_.size()));
  return n;
}

const ListRow* PagedListModel::row(int r) const {
  if (r < 0 || r >= static_cast<int>(rows_.size())) return nullptr;
  return &rows_[static_cast<std::size_t>(r)].row;
}

int64_t PagedListModel::positionOf(int r) const {
  if (r < 0 || r >= static_cast<int>(rows_.size())) return 0;
  return rows_[static_cast<std::size_t>(r)].pos;
}

int PagedListModel::rowOfPosition(int64_t pos) const {
  for (std::size_t i = 0; i < rows_.size(); ++i)
    if (rows_[i].pos == pos) return static_cast<int>(i);
  return -1;
}

int PagedListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int PagedListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : headers_.size(); }

QVariant PagedListModel::data(const QModelIndex& index, int role) const {
  const ListRow* r = row(index.row());
  if (!r) return {};
  if (role == Qt::DisplayRole) return index.column() < r->cells.size() ? r->cells[index.column()] : QString();
  if (role == Qt::ForegroundRole) {
    if (r->colour == store::RowColour::Keep) return keep_;
    if (r->colour == store::RowColour::Delete) return delete_;
  }
  return {};
}

QVariant PagedListModel::headerData(int section, Qt::Orientation o, int role) const {
  if (o == Qt::Horizontal && role == Qt::DisplayRole && section < headers_.size()) return headers_[section];
  return {};
}

bool PagedListModel::canFetchMore(const QModelIndex& parent) const {
  return !parent.isValid() && !atEnd_ && !rows_.empty();
}

void PagedListModel::fetchMore(const QModelIndex& parent) {
  if (!parent.isValid()) loadAfter();
}

}  // namespace qb::app
