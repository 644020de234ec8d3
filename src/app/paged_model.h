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
#include <functional>
#include <variant>

#include "archive/browse/browse_rows.h"
#include "archive/browse/browse_view.h"
#include "archive/browse/page_source.h"

namespace qb::app {

struct ListRow {
  QStringList cells;
  store::RowColour colour = store::RowColour::None;
  std::variant<store::MsgRow, store::MailRow> data;
  uint32_t id() const;  // MSG:MSGNUMBER or MAI:MAILID
};

using ListSource = store::PageSource<ListRow>;

// The rows of a browse query as list rows: `make` adds the cells shown.
class QueryRows : public ListSource {
 public:
  using Make = std::function<ListRow(store::BrowseRow&&)>;
  QueryRows(store::PageSource<store::BrowseRow>& rows, Make make) : rows_(rows), make_(std::move(make)) {}
  std::vector<Entry> first(int n) override { return convert(rows_.first(n)); }
  std::vector<Entry> last(int n) override { return convert(rows_.last(n)); }
  std::vector<Entry> after(int64_t pos, int n) override { return convert(rows_.after(pos, n)); }
  std::vector<Entry> before(int64_t pos, int n) override { return convert(rows_.before(pos, n)); }
  std::vector<Entry> from(int64_t pos, int n) override { return convert(rows_.from(pos, n)); }
  int64_t total() override { return rows_.total(); }
  int64_t rankOf(int64_t pos) override { return rows_.rankOf(pos); }
  std::vector<Entry> atRank(int64_t rank, int n) override { return convert(rows_.atRank(rank, n)); }
  std::vector<Entry> convert(std::vector<store::PageSource<store::BrowseRow>::Entry> rows) const;

 private:
  store::PageSource<store::BrowseRow>& rows_;
  Make make_;
};

class PagedListModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  explicit PagedListModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

  void setHeaders(const QStringList& h);
  void setPager(ListSource* p) {
    pager_ = p;
    total_ = firstRank_ = -1;
  }
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
  void showRows(std::vector<ListSource::Entry> rows, bool mayHaveBefore);
  // A page starting about `rank` rows into the whole list.
  void showAtRank(int64_t rank);
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
  // Where the rows held stand in the whole list: its number of rows and the
  // rank of row `r` (-1 when the source cannot tell).
  int64_t total() const { return total_; }
  int64_t rankOfRow(int r) const { return firstRank_ < 0 ? -1 : firstRank_ + r; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation o, int role) const override;
  bool canFetchMore(const QModelIndex& parent) const override;
  void fetchMore(const QModelIndex& parent) override;

 private:
  void reset(std::vector<ListSource::Entry> rows);
  // Takes the list's length and the first row's rank from the source.
  void placeRows(int64_t knownFirstRank = -1);
  ListSource* pager_ = nullptr;
  std::deque<ListSource::Entry> rows_;
  QStringList headers_;
  QColor keep_{0, 0, 128}, delete_{255, 0, 0};
  bool atStart_ = true, atEnd_ = true;
  int64_t rowsRead_ = 0;
  int64_t total_ = -1, firstRank_ = -1;
};

}  // namespace qb::app
