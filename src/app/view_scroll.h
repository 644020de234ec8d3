#pragma once
// The vertical scroll bar of a paged list: it stands for the whole view,
// not for the few pages the list model holds. Its value is the rank of the
// top row shown and its range the number of rows of the view, both taken
// from the model (estimated from the key's counts), so the thumb's place
// and size tell where the list stands in the whole, and dragging it to the
// end shows the end. A move within the rows held scrolls the table; a move
// beyond them reads the page at that rank.

#include <QScrollBar>
#include <QTimer>
#include <functional>

class QTableView;

namespace qb::app {

class PagedListModel;

class ViewScrollBar : public QScrollBar {
  Q_OBJECT
 public:
  // Takes the place of the table's own vertical scroll bar, which is hidden
  // (it still moves the rows held, by wheel and keys).
  ViewScrollBar(QTableView* table, PagedListModel* model, QWidget* parent);

  // Called after a move read another page, with the row shown at the top.
  std::function<void(int topRow)> jumped;

  // Puts the thumb where the table's top row stands.
  void follow();
  // Shows the rows from rank `rank` on (at most the last screenful).
  void showRank(int64_t rank);

 private:
  int visibleRows() const;
  void moved(int value);

  QTableView* table_;
  PagedListModel* model_;
  QTimer pending_;  // a drag beyond the rows held reads its page once it pauses
  int64_t target_ = 0;
  bool following_ = false;
};

}  // namespace qb::app
