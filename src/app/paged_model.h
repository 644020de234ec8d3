#pragma once
// A list model that shows a window of rows of a browse: it asks the page
// loader for one page at a time, appends pages when the view scrolls past
// the last row and prepends them when it scrolls above the first, and keeps
// at most a few pages in memory, so a file of any size is browsed without
// being read whole.

#include <QAbstractTableModel>
#include <QColor>
#include <QStringList>
#include <deque>
#include <variant>

#include "archive/browse/browse_pager.h"
#include "archive/browse/browse_rows.h"

namespace qb::app {

struct ListRow {
  QStringList cells;
  store::RowColour colour = store::RowColour::None;
  std::variant<store::MsgRow, store::MailRow> data;
  uint32_t id() const;  // MSG:MSGNUMBER or MAI:MAILID
};

using Pager = store::BrowsePager<ListRow>;

class PagedListModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  explicit PagedListModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

  void setHeaders(const QStringList& h);
  void setPager(Pager* p) { pager_ = p; }
  void setColours(QColor keep, QColor del) {
    keep_ = keep;
    delete_ = del;
  }
  int pageSize = 50;   // rows read per page
  int maxRows = 500;   // rows held at most

  // Replaces the rows: the first page, the last page, a page starting at a
  // record, or rows the caller read.
  void showFirst();
  void showLast();
  void showFrom(int64_t pos);
  void showRows(std::vector<Pager::Entry> rows, bool mayHaveBefore);
  void clear();
  // Reads one more page before the first row; the number of rows added.
  int loadBefore();
  // Reads one more page after the last row; the number of rows added.
  int loadAfter();
  bool atStart() const { return atStart_; }
  bool atEnd() const { return atEnd_; }

  const ListRow* row(int r) const;
  int64_t positionOf(int r) const;
  int rowOfPosition(int64_t pos) const;
  int64_t rowsRead() const { return rowsRead_; }  // for tests: total rows read so far

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation o, int role) const override;
  bool canFetchMore(const QModelIndex& parent) const override;
  void fetchMore(const QModelIndex& parent) override;

 private:
  void reset(std::vector<Pager::Entry> rows);
  Pager* pager_ = nullptr;
  std::deque<Pager::Entry> rows_;
  QStringList headers_;
  QColor keep_{0, 0, 128}, delete_{255, 0, 0};
  bool atStart_ = true, atEnd_ = true;
  int64_t rowsRead_ = 0;
};

}  // namespace qb::app
