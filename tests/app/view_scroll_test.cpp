// The scroll bar of a paged list stands for the whole view: dragged to the
// end it shows the last rows, dragged to the middle the rows about half way,
// and it follows the table when the table scrolls by itself.

#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QTableView>

#include "app/app_archive.h"
#include "app/paged_model.h"
#include "app/view_scroll.h"
#include "archive/browse/browse_pager.h"
#include "archive/session.h"
#include "text/datetime.h"

using namespace qb::store;
using qb::app::ListRow;
using qb::app::PagedListModel;
using qb::app::ViewScrollBar;

namespace {

void pump() {
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
}

struct ScrollFixture : ::testing::Test {
  static constexpr uint32_t kMessages = 3000;
  qb::test::TempArchive a;
  std::unique_ptr<qb::test::DatabaseBuilder> db;
  std::unique_ptr<BrowsePager<ListRow>> pager;
  PagedListModel model;
  std::unique_ptr<QWidget> box;  // made once the application exists
  QTableView* table = nullptr;
  ViewScrollBar* bar = nullptr;
  int jumps = 0;

  void SetUp() override {
    qb::test::ensureApplication();
    a.addDatabase(KindForum, "Scrolled forum");
    db = std::make_unique<qb::test::DatabaseBuilder>(a);  // holds the files open
    db->manyMessages(kMessages, 900, 501, 502);
    Session& s = a.session();
    pager = std::make_unique<BrowsePager<ListRow>>(s.MsgNmbr(), MsgNmbr::IdKey);  // highest number first
    pager->build = [&s] {
      ListRow r;
      MsgRow m;
      m.MSGNUMBER = s.MsgNmbr().rec.MSGNUMBER;
      r.cells = {QString::number(m.MSGNUMBER)};
      r.data = m;
      return r;
    };
    model.setHeaders({"Number"});
    model.setPager(pager.get());
    box = std::make_unique<QWidget>();
    table = new QTableView(box.get());
    table->setModel(&model);
    table->verticalHeader()->setDefaultSectionSize(20);
    table->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    bar = new ViewScrollBar(table, &model, box.get());
    bar->jumped = [this](int) { ++jumps; };
    table->setGeometry(0, 0, 300, 400);
    bar->setGeometry(300, 0, 16, 400);
    box->resize(316, 400);
    box->show();
    model.showFirst();
    pump();
  }
  void TearDown() override { box.reset(); }
  uint32_t topId() const {
    const ListRow* row = model.row(qMax(table->rowAt(0), 0));
    return row ? row->id() : 0;
  }
  uint32_t bottomId() const {
    const int r = table->rowAt(table->viewport()->height() - 1);
    const ListRow* row = model.row(r >= 0 ? r : model.rowCount() - 1);
    return row ? row->id() : 0;
  }
  // A drag of the thumb to `value`: pressed, moved, released.
  void drag(int value) {
    bar->setSliderDown(true);
    bar->setValue(value);
    bar->setSliderDown(false);
    pump();
  }
};

}  // namespace

TEST_F(ScrollFixture, TheBarSpansTheWholeViewNotTheRowsRead) {
  EXPECT_EQ(model.rowCount(), model.pageSize);
  EXPECT_EQ(bar->value(), 0);
  // The range is the whole view less one screenful.
  EXPECT_GT(bar->maximum(), int(kMessages) - 40);
  EXPECT_LE(bar->maximum(), int(kMessages));
  EXPECT_FALSE(table->verticalScrollBar()->isVisible());
}

TEST_F(ScrollFixture, DraggedToTheEndShowsTheLastRows) {
  drag(bar->maximum());
  EXPECT_TRUE(model.atEnd());
  EXPECT_EQ(bottomId(), 1u);  // the oldest message, last in the view
  EXPECT_EQ(bar->value(), bar->maximum());
  EXPECT_LT(model.rowsRead(), 300);  // two pages, not the file
  EXPECT_GE(jumps, 1);
  // and back to the start
  drag(0);
  EXPECT_EQ(topId(), kMessages);
  EXPECT_EQ(bar->value(), 0);
}

TEST_F(ScrollFixture, DraggedHalfWayShowsTheMiddle) {
  const int half = bar->maximum() / 2;
  drag(half);
  // Message numbers fall by one per row: the top row's rank is its distance
  // from the highest number.
  const int rank = int(kMessages - topId());
  EXPECT_NEAR(rank, half, 2);
  EXPECT_EQ(bar->value(), rank);
  EXPECT_LT(model.rowsRead(), 300);
}

TEST_F(ScrollFixture, FollowsTheTableAndMovesWithinTheRowsHeld) {
  table->verticalScrollBar()->setValue(7);  // the wheel or the keys moved the rows
  pump();
  EXPECT_EQ(bar->value(), 7);
  EXPECT_EQ(topId(), kMessages - 7);
  const int64_t read = model.rowsRead();
  bar->setValue(12);  // a step of the bar within the rows held reads nothing
  pump();
  EXPECT_EQ(topId(), kMessages - 12);
  EXPECT_EQ(model.rowsRead(), read);
  EXPECT_EQ(jumps, 0);
  // A page step far below the rows held reads the page there.
  bar->setValue(1000);
  pump();
  EXPECT_EQ(topId(), kMessages - 1000);
  EXPECT_EQ(jumps, 1);
}
