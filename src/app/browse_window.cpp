#include "app/browse_window.h"

#include <QApplication>
#include <QClipboard>
#include <QDate>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileSystemWatcher>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QTabBar>
#include <QTableView>
#include <QToolButton>
#include <QStatusBar>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>

#include "app/gui_ui.h"
#include "app/icons.h"
#include "app/message_header_view.h"
#include "app/main_frame.h"
#include "app/notifications.h"
#include "app/window_registry.h"
#include "app/export_window.h"
#include "archive/browse/browse_files.h"
#include "archive/browse/browse_header.h"
#include "archive/browse/browse_lookup.h"
#include "archive/browse/browse_status.h"
#include "archive/config.h"
#include "archive/neo.h"
#include "archive/session.h"
#include "export/copy_msg.h"
#include "text/datetime.h"

using qb::text::calendarDate;
using qb::text::clockTime;
using qb::text::dayNumber;

namespace qb::app {

using namespace qb::store;

namespace {

using Filter = BrowseFilter;

// The captions of views 1 to 9 of the message browse and 1 to 8 of the mail
// browse; which key and filter each view has is the engine's (browseView).
struct ViewCaption {
  const char* tab;
  const char* tip;
  const char* prompt;
};
const ViewCaption kMsgCaptions[kMessageViews] = {
    {"&Date", "Sort by message date", " Find Date "},
    {"&Thread", "Sort by message thread", " Filter Thread "},
    {"S&ection", "Sort by message section", " Filter Section "},
    {"&Sender", "Sort by message sender", " Filter Sender "},
    {"&Receiver", "Sort by message receiver", " Filter Receiver "},
    {"Msg&No", "Sort by message number", " Find MsgNo "},
    {"&KeyWord", "Filter by key word", " Filter Key Word "},
    {"T&opic", "Filter by topic", " Filter Topic "},
    {"Sear&ch", "Show search result set - right click to sort", " "},
};
const ViewCaption kMailCaptions[kMailViews] = {
    {"&Date", "Sort by mail date", "Find Date"},
    {"Su&bject", "Sort by mail subject", "Find Subject"},
    {"&Partner", "Sort by mail partner", "Filter Partner"},
    {"&Sender", "Sort by mail sender", "Filter Sender"},
    {"&Receiver", "Sort by mail receiver", "Filter Receiver"},
    {"&KeyWord", "Filter by key word string", "Filter KeyWord"},
    {"&Topic", "Filter by topic", "Filter Topic"},
    {"Sear&ch", "Show search result set - right click to sort", " "},
};

const ViewCaption& viewCaption(bool mail, int view) { return mail ? kMailCaptions[view - 1] : kMsgCaptions[view - 1]; }

// What the filter of a view is called in the line above the list.
const char* filterNoun(BrowseFilter f) {
  switch (f) {
    case BrowseFilter::Thread: return "thread";
    case BrowseFilter::Section: return "section";
    case BrowseFilter::Sender: return "sender";
    case BrowseFilter::Receiver: return "receiver";
    case BrowseFilter::Partner: return "mail partner";
    case BrowseFilter::None: break;
  }
  return "";
}

QString shortDate(int32_t day) {
  if (day <= 0) return {};
  int y, m, d;
  calendarDate(day, y, m, d);
  return QLocale().toString(QDate(y, m, d), QLocale::ShortFormat);
}

QString shortTime(int32_t t) {
  if (t <= 0) return {};
  int h, m, sec;
  clockTime(t, h, m, sec);
  return QLocale().toString(QTime(h, m, sec), QLocale::ShortFormat);
}

QColor colourOf(Session& s, int code, QColor def) {
  int32_t v = setting(s, code);
  if (v <= 0) return def;
  // Stored as red + 256 * green + 65536 * blue.
  return QColor(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF);
}

// A row in a status colour keeps it when highlighted: the colour becomes the
// highlight's background.
class StatusDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    const QVariant fg = index.data(Qt::ForegroundRole);
    if (fg.isValid() && (option->state & QStyle::State_Selected)) {
      option->palette.setColor(QPalette::Highlight, fg.value<QColor>());
      option->palette.setColor(QPalette::HighlightedText, Qt::white);
    }
  }
};

}  // namespace

ToolWindow* BrowseWindow::open(MainFrame& frame) {
  const bool mail = frame.session().ForumType == KindMail;
  auto* w = new BrowseWindow(frame, mail);
  frame.addChild(w, QSize(760, 520));
  w->list_->setFocus();
  if (frame.session().ForumCheck == StatusDelete) post(w, NoteDatabaseChanged);
  if (!mail && setting(frame.session(), SetNoThreadTree) != 1) frame.openOrRaise("ThreadTree");
  return w;
}

BrowseWindow::BrowseWindow(MainFrame& frame, bool mail)
    : ToolWindow(frame, mail ? "BrowseMail" : "BrowseMsgNmbr", kNotToolsGroup,
                 mail ? PlaceBrowseMail : PlaceBrowseMsg),
      mail_(mail) {
  Session& s = session();
  openBrowseFiles(s, mail_ ? BrowseFiles::Mail : BrowseFiles::Messages);
  opts_.nameFormat = setting(s, SetNameFormat);
  opts_.targetNG = s.TargetNG;
  datePicture_ = setting(s, SetDateFormat);
  opts_.forumCheck = refreshDatabaseStatus(s);
  model_.setColours(colourOf(s, SetKeepColour, QColor(0, 0, 128)), colourOf(s, SetDeleteColour, QColor(255, 0, 0)));
  state_.mail = mail_;
  rowTimer_ = new QTimer(this);
  rowTimer_->setSingleShot(true);
  rowTimer_->setInterval(80);
  connect(rowTimer_, &QTimer::timeout, this, [this] { updateRowNumber(); });
  buildUi();
  setView(1);
  watchDatabase();
}

// Another program (the command line's import, a scheduled task) may write
// the database while it is shown: a change of its files is noticed, and the
// list is read again when the number of messages changed.
void BrowseWindow::watchDatabase() {
  changeTimer_ = new QTimer(this);
  changeTimer_->setSingleShot(true);
  changeTimer_->setInterval(500);
  connect(changeTimer_, &QTimer::timeout, this, [this] { refreshIfChanged(); });
  watcher_ = new QFileSystemWatcher(this);
  const QString dir = QString::fromStdString(session().databaseDir());
  auto watchFiles = [this, dir] {
    const QStringList files = QDir(dir).entryList(QDir::Files);
    QStringList paths;
    for (const QString& f : files) paths << dir + "/" + f;
    const QStringList known = watcher_->files();
    for (const QString& p : paths)
      if (!known.contains(p)) watcher_->addPath(p);
  };
  watcher_->addPath(dir);
  watchFiles();
  connect(watcher_, &QFileSystemWatcher::directoryChanged, this, [this, watchFiles] {
    watchFiles();
    changeTimer_->start();
  });
  connect(watcher_, &QFileSystemWatcher::fileChanged, this, [this] { changeTimer_->start(); });
}

bool BrowseWindow::refreshIfChanged() {
  const uint32_t n = store::headerCount(session(), mail_);
  if (n == fileCount_) return false;
  refresh();
  return true;
}

void BrowseWindow::refresh() {
  if (setQuery_) {
    reload(model_.positionOf(currentRow()));
    return;
  }
  makePager();
  updatePrompt();
  reload(model_.positionOf(currentRow()));
}

void BrowseWindow::focusEntry() {
  if (!entry_->isEnabled()) return;
  entry_->setFocus(Qt::ShortcutFocusReason);
  entry_->selectAll();
}

void BrowseWindow::updateRowNumber() {
  const int r = currentRow();
  rowNumber_ = 0;
  if (r >= 0 && query_) rowNumber_ = query_->rowNumber(model_.positionOf(r));
  QString t;
  if (model_.rowCount() == 0) t = "No messages";
  else if (rowNumber_ > 0) t = QString("Row %1 of %2").arg(rowNumber_).arg(count_);
  else t = QString("%1 messages").arg(count_);
  frame_.setRowZone(t);
}

QStringList BrowseWindow::headerLines() const { return header_->lines(); }

bool BrowseWindow::filterSet() const { return state_.filterSet(); }

QString BrowseWindow::scopeText() const { return scope_->text(); }

void BrowseWindow::updateScope() {
  const BrowseFilter f = state_.filter();
  const bool set = state_.filterSet();
  clear_->setVisible(f != BrowseFilter::None);
  clear_->setEnabled(set);
  const uint32_t all = store::headerCount(session(), mail_);
  QString t;
  if (wordView() != WordView::None)
    t.clear();
  else if (f == BrowseFilter::None)
    t = QString("All %1 messages").arg(all);
  else if (!set)
    t = QString("All %1 messages by %2 - choose one with the filter button or the look-up").arg(all).arg(QString::fromLatin1(filterNoun(f)));
  else
    t = QString("Only the messages of %1 %2: %3 of %4 (Esc or Clear shows all)")
            .arg(QString::fromLatin1(filterNoun(f)), shown(filterName(session(), state_, opts_.nameFormat)))
            .arg(count_)
            .arg(all);
  scope_->setText(t);
  scope_->setVisible(!t.isEmpty());
  // A tab whose view keeps a filter says so.
  for (int v = 1; v <= tabs_->count(); ++v) {
    BrowseState other = state_;
    other.setView(v);
    const bool filtered = other.filter() != BrowseFilter::None && other.filterSet();
    tabs_->setTabIcon(v - 1, filtered ? appIcon(Glyph::Filter) : QIcon());
    const ViewCaption& vc = viewCaption(mail_, v);
    tabs_->setTabToolTip(v - 1, filtered ? QString(vc.tip) + " - filtered: " +
                                               shown(filterName(session(), other, opts_.nameFormat))
                                         : QString(vc.tip));
  }
}

void BrowseWindow::clearFilter() {
  if (state_.filter() == BrowseFilter::None) return;
  const int64_t keep = model_.positionOf(currentRow());
  store::clearFilter(state_);
  showFiltered(keep);
}

void BrowseWindow::feedback(const QString& text) {
  entry_->setStyleSheet("QLineEdit { background: #ffe0e0; }");
  entry_->setToolTip(text);
  if (auto* bar = frame_.statusBar()) bar->showMessage(text, 8000);
  session().beep();
}

void BrowseWindow::buildUi() {
  auto* top = new QVBoxLayout(this);
  top->setContentsMargins(4, 4, 4, 4);
  tabs_ = new QTabBar(this);
  tabs_->setShape(QTabBar::RoundedNorth);
  tabs_->setExpanding(false);
  const int nViews = mail_ ? 8 : 9;
  const Session& s = session();
  for (int v = 1; v <= nViews; ++v) {
    const ViewCaption& vs = viewCaption(mail_, v);
    int i = tabs_->addTab(vs.tab);
    tabs_->setTabToolTip(i, vs.tip);
    tabs_->setTabEnabled(i, browseView(mail_, v).available);
    // Newsgroups have no message numbers to sort by; a single newsgroup
    // has no sections.
    if (!mail_ && s.ForumType == KindNewsgroup && (v == 6 || (v == 3 && s.TargetNG != 1)))
      tabs_->setTabVisible(i, false);
  }
  connect(tabs_, &QTabBar::currentChanged, this, [this](int i) {
    if (!loading_) setView(i + 1);
  });
  top->addWidget(tabs_);

  auto* row = new QHBoxLayout;
  prompt_ = new QLabel(this);
  entry_ = new QLineEdit(this);
  entry_->setToolTip("Limit view to chosen thread");
  lookup_ = new QToolButton(this);
  lookup_->setIcon(appIcon(Glyph::Filter));
  connect(lookup_, &QToolButton::clicked, this, [this] { lookUp(); });
  connect(entry_, &QLineEdit::returnPressed, this, [this] { locate(entry_->text()); });
  // Typing again takes back the mark of a text that was not understood.
  connect(entry_, &QLineEdit::textEdited, this, [this] { entry_->setStyleSheet({}); });
  entry_->installEventFilter(this);
  prompt_->setBuddy(entry_);
  clear_ = new QToolButton(this);
  clear_->setIcon(style()->standardIcon(QStyle::SP_LineEditClearButton));
  clear_->setText("Clear");
  clear_->setToolTip("Clear the filter and show all messages (Esc)");
  connect(clear_, &QToolButton::clicked, this, [this] { clearFilter(); });
  row->addWidget(prompt_);
  row->addWidget(entry_, 1);
  row->addWidget(lookup_);
  row->addWidget(clear_);
  msgLabel_ = new QLabel("Msg:", this);
  msgNo_ = new QLineEdit(this);
  msgNo_->setReadOnly(true);
  msgNo_->setToolTip("Message number");
  msgNo_->setMaximumWidth(90);
  refLabel_ = new QLabel("Ref.Msg:", this);
  refNo_ = new QLineEdit(this);
  refNo_->setReadOnly(true);
  refNo_->setToolTip("Reply to this message number");
  refNo_->setMaximumWidth(90);
  row->addWidget(msgLabel_);
  row->addWidget(msgNo_);
  row->addWidget(refLabel_);
  row->addWidget(refNo_);
  const bool numbers = !mail_ && s.ForumType != KindNewsgroup;
  for (QWidget* w : {static_cast<QWidget*>(msgLabel_), static_cast<QWidget*>(msgNo_),
                     static_cast<QWidget*>(refLabel_), static_cast<QWidget*>(refNo_)})
    w->setVisible(numbers);
  bookmarkButton_ = new QPushButton(appIcon(Glyph::Bookmark), "Set BookMark", this);
  connect(bookmarkButton_, &QPushButton::clicked, this, [this] { toggleBookmark(); });
  row->addWidget(bookmarkButton_);
  top->addLayout(row);
  scope_ = new QLabel(this);
  scope_->setObjectName("Scope");
  top->addWidget(scope_);

  auto* split = new QSplitter(Qt::Vertical, this);
  list_ = new QTableView(split);
  list_->setModel(&model_);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->verticalHeader()->hide();
  list_->verticalHeader()->setDefaultSectionSize(list_->fontMetrics().height() + 4);
  list_->setShowGrid(false);
  list_->setAlternatingRowColors(false);
  list_->setContextMenuPolicy(Qt::CustomContextMenu);
  list_->setWordWrap(false);
  // Tab goes on to the next control instead of from cell to cell.
  list_->setTabKeyNavigation(false);
  list_->horizontalHeader()->setSectionsClickable(true);
  list_->horizontalHeader()->setSortIndicatorShown(true);
  list_->horizontalHeader()->setHighlightSections(false);
  connect(list_->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int c) { headerClicked(c); });
  list_->horizontalHeader()->setStretchLastSection(true);
  list_->installEventFilter(this);
  list_->viewport()->installEventFilter(this);
  list_->setItemDelegate(new StatusDelegate(list_));
  connect(list_, &QWidget::customContextMenuRequested, this, [this](const QPoint& p) { statusMenu(p); });
  connect(list_->verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int v) {
    if (loading_ || v != list_->verticalScrollBar()->minimum() || model_.atStart()) return;
    // Scrolled to the top of what is loaded: the page before comes in.
    const int first = list_->rowAt(0);
    const int64_t pos = model_.positionOf(qMax(first, 0));
    const int64_t cur = model_.positionOf(currentRow());
    loading_ = true;
    model_.loadBefore();
    loading_ = false;
    if (int r = model_.rowOfPosition(cur); r >= 0) list_->selectionModel()->setCurrentIndex(
        model_.index(r, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    if (int r = model_.rowOfPosition(pos); r >= 0) list_->scrollTo(model_.index(r, 0), QAbstractItemView::PositionAtTop);
  });
  connect(list_, &QTableView::doubleClicked, this, [this] { filterFromCurrent(); });

  auto* lower = new QWidget(split);
  auto* lowerLayout = new QVBoxLayout(lower);
  lowerLayout->setContentsMargins(0, 0, 0, 0);
  header_ = new MessageHeaderView(lower);
  lowerLayout->addWidget(header_);
  text_ = new QPlainTextEdit(lower);
  text_->setReadOnly(true);
  text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  text_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  lowerLayout->addWidget(text_);
  auto* pages = new QHBoxLayout;
  prevPage_ = new QPushButton("Previous page", lower);
  nextPage_ = new QPushButton("Next page", lower);
  connect(prevPage_, &QPushButton::clicked, this, [this] { showPage(page_ - 1); });
  connect(nextPage_, &QPushButton::clicked, this, [this] { showPage(page_ + 1); });
  prevHit_ = new QPushButton("Previous hit", lower);
  nextHit_ = new QPushButton("Next hit", lower);
  prevHit_->setToolTip("Locate previous search hit instance");
  nextHit_->setToolTip("Locate next search hit instance");
  connect(prevHit_, &QPushButton::clicked, this, [this] { moveHit(-1); });
  connect(nextHit_, &QPushButton::clicked, this, [this] { moveHit(1); });
  pages->addWidget(prevHit_);
  pages->addWidget(nextHit_);
  pages->addStretch();
  pages->addWidget(prevPage_);
  pages->addWidget(nextPage_);
  lowerLayout->addLayout(pages);
  split->setStretchFactor(0, 3);
  split->setStretchFactor(1, 2);
  top->addWidget(split, 1);

  // The columns of the design, then the column of the order of the MsgNo
  // view (message number) or of the Partner view (mail partner), which is
  // shown in that view only, in front.
  QStringList headers = mail_ ? QStringList{"Date", "Time", "Subject", "Sender", "Receiver", "Partner"}
                              : QStringList{"Date", "Thread", "Sender", "Receiver", "Section", "Msg No"};
  sectionColumn_ = mail_ || !(s.ForumType == KindNewsgroup && s.TargetNG != 1);
  if (!sectionColumn_) headers.removeAt(4);
  model_.setHeaders(headers);
  orderColumn_ = static_cast<int>(headers.size()) - 1;
  QHeaderView* hh = list_->horizontalHeader();
  hh->moveSection(hh->visualIndex(orderColumn_), mail_ ? 2 : 0);
  // Column widths: the saved ones; the built-in widths every list starts
  // with are replaced by widths that fit what the columns hold (dates and
  // times narrow, subjects wide). The last column takes the rest of the
  // width of the list.
  Place a{}, b{};
  const bool saved = ListCol(session(), 3, mail_ ? ColsBrowseMail : ColsBrowseMsg, a) &&
                     a != Place{100, 160, 120, 100};
  ListCol(session(), 3, mail_ ? ColsBrowseMail2 : ColsBrowseMsg2, b);
  const QFontMetrics fm = list_->fontMetrics();
  const int ch = qMax(5, fm.averageCharWidth());
  const int dateW = fm.horizontalAdvance(QLocale().toString(QDate(2000, 12, 28), QLocale::ShortFormat)) + 16;
  const int timeW = fm.horizontalAdvance(QLocale().toString(QTime(22, 59), QLocale::ShortFormat)) + 16;
  const int numberW = fm.horizontalAdvance("00000000") + 16;
  std::vector<int> defaults = mail_ ? std::vector<int>{dateW, timeW, 42 * ch, 24 * ch, 24 * ch, 24 * ch}
                                    : std::vector<int>{dateW, 40 * ch, 22 * ch, 22 * ch, 22 * ch, numberW};
  if (!sectionColumn_) defaults.erase(defaults.begin() + 4);
  for (int c = 0; c < headers.size(); ++c) {
    int w = c < 4 ? a[static_cast<std::size_t>(c)] : b[static_cast<std::size_t>(c - 4)];
    if (!saved || w < 20 || w > 1500) w = defaults[static_cast<std::size_t>(c)];
    if (c == 0 || (mail_ && c == 1)) w = qMax(w, c == 0 ? dateW : timeW);
    list_->setColumnWidth(c, w);
  }
  connect(list_->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] {
    if (!loading_) rowChanged();
  });
}

void BrowseWindow::makePager() {
  model_.setPager(nullptr);
  rows_.reset();
  query_.reset();
  setQuery_.reset();
  setQuery_.reset();
  if (wordView() != WordView::None) makeSetPager();
  else query_ = std::make_unique<BrowseQuery>(session(), state_, opts_);
  store::PageSource<BrowseRow>& source = query_ ? static_cast<store::PageSource<BrowseRow>&>(*query_) : *setQuery_;
  rows_ = std::make_unique<QueryRows>(source, [this](BrowseRow&& row) {
    ListRow r;
    std::visit(
        [&](auto& m) {
          r.cells = cellsOf(m);
          r.colour = m.colour;
        },
        row);
    r.data = std::move(row);
    return r;
  });
  model_.setPager(rows_.get());
}

QStringList BrowseWindow::cellsOf(const MsgRow& r) const {
  QStringList c{shortDate(r.DATE), shown(r.HEADER), shown(r.FROMSTRING), shown(r.TOSTRING)};
  if (sectionColumn_) c << shown(r.SECDESC);
  c << QString::number(r.MSGNUMBER);
  return c;
}

QStringList BrowseWindow::cellsOf(const MailRow& r) const {
  return {shortDate(r.DATE), shortTime(r.TIME), shown(r.SUBJECT), shown(r.FROMSTRING), shown(r.TOSTRING),
          shown(r.PAIRSTRING)};
}

int BrowseWindow::sortColumn() const {
  const int v = state_.view;
  if (mail_) {
    switch (v) {
      case 1: return 0;
      case 2: return 2;
      case 3: return orderColumn_;
      case 4: return 3;
      case 5: return 4;
      default: return -1;
    }
  }
  switch (v) {
    case 1: return 0;
    case 2: return 1;
    case 3: return sectionColumn_ ? 4 : -1;
    case 4: return 2;
    case 5: return 3;
    case 6: return orderColumn_;
    default: return -1;
  }
}

// The order column is shown in its own view only; the header marks the
// column the rows are sorted by (dates and numbers newest first).
void BrowseWindow::showSortColumn() {
  const int c = sortColumn();
  list_->setColumnHidden(orderColumn_, c != orderColumn_);
  const bool descending = c == 0 || (!mail_ && c == orderColumn_);
  list_->horizontalHeader()->setSortIndicator(c, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
}

// A click on a column header chooses the view sorted by that column.
void BrowseWindow::headerClicked(int column) {
  int view = 0;
  if (mail_) {
    const int views[] = {1, 1, 2, 4, 5, 3};
    if (column >= 0 && column < 6) view = views[column];
  } else if (column == orderColumn_) {
    view = 6;
  } else {
    const int views[] = {1, 2, 4, 5, 3};
    if (column >= 0 && column < 5) view = views[column];
  }
  if (view && view != state_.view && tabs_->isTabVisible(view - 1) && tabs_->isTabEnabled(view - 1)) setView(view);
  else showSortColumn();  // the click must not leave another column marked
}

void BrowseWindow::setView(int v) {
  state_.setView(v);
  loading_ = true;
  tabs_->setCurrentIndex(v - 1);
  loading_ = false;
  const int64_t keep = model_.positionOf(currentRow());
  makePager();
  updatePrompt();
  updateFilterButtons();
  showSortColumn();
  reload(keep);
}

void BrowseWindow::reload(int64_t keepPos) {
  loading_ = true;
  if (keepPos) model_.showFrom(keepPos);
  else model_.showFirst();
  loading_ = false;
  int r = keepPos ? model_.rowOfPosition(keepPos) : -1;
  afterReload();
  setCurrentRow(r >= 0 ? r : 0);
}

void BrowseWindow::afterReload() {
  count_ = setQuery_ ? setQuery_->count() : store::viewCount(session(), state_);
  fileCount_ = store::headerCount(session(), mail_);
  state_.setCount(count_);
  updateTitle();
  updateScope();
  rowTimer_->start();
  const bool empty = model_.rowCount() == 0;
  frame_.setNavigationEnabled(!empty);
  if (empty) {
    text_->clear();
    msgNo_->clear();
    refNo_->clear();
    pages_.clear();
    prevPage_->hide();
    nextPage_->hide();
    post(&frame_, NoteIgnored);
  }
}

int BrowseWindow::currentRow() const { return list_->currentIndex().isValid() ? list_->currentIndex().row() : -1; }

void BrowseWindow::setCurrentRow(int r) {
  if (model_.rowCount() == 0) return;
  r = qBound(0, r, model_.rowCount() - 1);
  const QModelIndex idx = model_.index(r, 0);
  // After the rows were replaced the list lays itself out later; scrolling
  // to the new current row against the old layout would move the scroll bar
  // to the top, read the page before and push the row out of sight. The
  // list is laid out now, and the highlight set and scrolled to as part of
  // the loading.
  const bool was = loading_;
  loading_ = true;
  list_->doItemsLayout();
  list_->selectionModel()->setCurrentIndex(idx, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  list_->scrollTo(idx, QAbstractItemView::EnsureVisible);
  loading_ = was;
  rowChanged();
}

const ListRow* BrowseWindow::current() const { return model_.row(currentRow()); }

void BrowseWindow::moveBy(int delta) {
  int cur = qMax(currentRow(), 0);
  int target = cur + delta;
  loading_ = true;
  while (target < 0 && !model_.atStart()) {
    const int64_t pos = model_.positionOf(cur);
    if (model_.loadBefore() == 0) break;
    const int now = model_.rowOfPosition(pos);
    target += now - cur;
    cur = now;
  }
  while (target >= model_.rowCount() && !model_.atEnd()) {
    const int64_t pos = model_.positionOf(cur);
    if (model_.loadAfter() == 0) break;
    const int now = model_.rowOfPosition(pos);
    target += now - cur;
    cur = now;
  }
  loading_ = false;
  if (target < 0 || target >= model_.rowCount()) session().beep();
  setCurrentRow(target);
}

void BrowseWindow::navigate(int control) {
  const int visible = qMax(1, list_->viewport()->height() / qMax(1, list_->verticalHeader()->defaultSectionSize()) - 1);
  switch (control) {
    case NavFirst:
      loading_ = true;
      model_.showFirst();
      loading_ = false;
      setCurrentRow(0);
      break;
    case NavLast:
      loading_ = true;
      model_.showLast();
      loading_ = false;
      setCurrentRow(model_.rowCount() - 1);
      break;
    case NavPriorRecord: moveBy(-1); break;
    case NavNextRecord: moveBy(1); break;
    case NavPriorPage: moveBy(-visible); break;
    case NavNextPage: moveBy(visible); break;
    case NavFilter: filterFromCurrent(); break;
    case NavPrevFilter: moveFilter(-1); break;
    case NavNextFilter: moveFilter(1); break;
    default: break;
  }
}

bool BrowseWindow::eventFilter(QObject* o, QEvent* e) {
  if (o == list_->viewport() && e->type() == QEvent::Wheel && !model_.atStart() &&
      static_cast<QWheelEvent*>(e)->angleDelta().y() > 0 &&
      list_->verticalScrollBar()->value() == list_->verticalScrollBar()->minimum()) {
    // Scrolling up above the first row read: the page before comes in.
    const int64_t top = model_.positionOf(qMax(list_->rowAt(0), 0));
    const int64_t cur = model_.positionOf(currentRow());
    loading_ = true;
    model_.loadBefore();
    loading_ = false;
    if (int r = model_.rowOfPosition(cur); r >= 0)
      list_->selectionModel()->setCurrentIndex(model_.index(r, 0),
                                               QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    if (int r = model_.rowOfPosition(top); r >= 0) list_->scrollTo(model_.index(r, 0), QAbstractItemView::PositionAtTop);
  }
  if (o == entry_ && e->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape) {
    // Esc in the entry takes back the filter (or what was typed).
    if (state_.filterSet()) clearFilter();
    else entry_->setText(shown(filterName(session(), state_, opts_.nameFormat)));
    entry_->setStyleSheet({});
    return true;
  }
  if (o == list_ && e->type() == QEvent::KeyPress) {
    auto* k = static_cast<QKeyEvent*>(e);
    const bool ctrl = k->modifiers() & Qt::ControlModifier;
    switch (k->key()) {
      case Qt::Key_Up: moveBy(-1); return true;
      case Qt::Key_Down: moveBy(1); return true;
      case Qt::Key_PageUp: navigate(ctrl ? NavFirst : NavPriorPage); return true;
      case Qt::Key_PageDown: navigate(ctrl ? NavLast : NavNextPage); return true;
      case Qt::Key_Home: navigate(NavFirst); return true;
      case Qt::Key_End: navigate(NavLast); return true;
      case Qt::Key_C: if (ctrl) { copyMessage(); return true; } break;
      default: break;
    }
  }
  return ToolWindow::eventFilter(o, e);
}

void BrowseWindow::rowChanged() {
  const ListRow* r = current();
  showText(r);
  if (r) header_->setHeader(messageHeader(session(), mail_, r->id()), !mail_ && session().ForumType != KindNewsgroup);
  else header_->clearHeader();
  // The place of the row is counted once the highlight rests.
  rowTimer_->start();
  if (!r) return;
  state_.setCurrent(r->id());
  if (!mail_) {
    auto& m = std::get<MsgRow>(r->data);
    msgNo_->setText(QString::number(m.MSGNUMBER));
    refNo_->setText(m.REFNUMBER ? QString::number(m.REFNUMBER) : QString());
  }
  state_.store(session());
  if (!mail_) post(frame_.registry().get("ThreadTree"), NoteShowThreadTree);
}

void BrowseWindow::showText(const ListRow* r) {
  pages_.clear();
  page_ = 0;
  if (r) {
    std::string subject;
    if (mail_) subject = std::get<MailRow>(r->data).SUBJECT;
    pages_ = messagePages(session(), r->id(), mail_ ? &subject : nullptr);
  }
  showPage(0);
}

void BrowseWindow::showPage(int p) {
  if (pages_.empty()) {
    text_->clear();
    prevPage_->hide();
    nextPage_->hide();
    hits_.clear();
    prevHit_->hide();
    nextHit_->hide();
    return;
  }
  page_ = qBound(0, p, pageCount() - 1);
  QString t = shown(pages_[static_cast<std::size_t>(page_)]);
  t.replace("\r\n", "\n");
  text_->setPlainText(t);
  findHits();
  const bool paged = pageCount() > 1;
  prevPage_->setVisible(paged);
  nextPage_->setVisible(paged);
  prevPage_->setEnabled(page_ > 0);
  nextPage_->setEnabled(page_ + 1 < pageCount());
}

QString BrowseWindow::textPage() const { return text_->toPlainText(); }

void BrowseWindow::updateTitle() {
  const Session& s = session();
  const QString desc = shown(s.Description).trimmed();
  QString t;
  if (mail_) t = " Mail database: " + desc + " [" + QString::number(count_) + "]";
  else if (s.ForumType == KindNewsgroup) t = " Newsgroup database: " + desc + " Messages [" + QString::number(count_) + "]";
  else t = " Forum database: " + desc + " Messages [" + QString::number(count_) + "]";
  setWindowTitle(t);
  if (parentWidget()) parentWidget()->setWindowTitle(t);
}

void BrowseWindow::updatePrompt() {
  if (wordView() != WordView::None) {
    updateWordPrompt();
    return;
  }
  const int view = state_.view;
  prompt_->setText(view == 1 ? (mail_ ? "Search Date:" : " Search Date ") : viewCaption(mail_, view).prompt);
  const Filter f = state_.filter();
  static const char* const tips[] = {"", "Limit view to chosen thread", "Limit view to chosen section",
                                     "Limit view to chosen sender", "Limit view to chosen receiver",
                                     "Limit view to chosen mail partner"};
  static const char* const lookTips[] = {"", "Look up thread", "Look up section", "Look up sender",
                                         "Look up receiver", "Look up mail partner"};
  entry_->setToolTip(f != Filter::None ? tips[int(f)]
                     : view == 6 && !mail_ ? "Enter message number to look up"
                                            : "");
  lookup_->setToolTip(lookTips[int(f)]);
  lookup_->setVisible(f != Filter::None);
  entry_->setEnabled(f != Filter::None || view == 1 || (!mail_ && view == 6) || (mail_ && view == 2));
  if (mail_ && view == 2) entry_->setToolTip("Type the beginning of a subject and press Enter");
  if (view == 1) entry_->setToolTip("Type a date (year-month-day) and press Enter");
  entry_->setText(shown(filterName(session(), state_, opts_.nameFormat)));
  entry_->setStyleSheet({});
}

void BrowseWindow::updateFilterButtons() {
  switch (state_.filter()) {
    case Filter::Thread: frame_.setFilterTexts({"Previous Thread", "Filter Thread", "Next Thread"}); break;
    case Filter::Section:
      frame_.setFilterTexts({"Previous Thread within Section", "Filter Section", "Next Thread within Section"});
      break;
    case Filter::Sender: frame_.setFilterTexts({"Previous Sender", "Filter Sender", "Next Sender"}); break;
    case Filter::Receiver: frame_.setFilterTexts({"Previous Receiver", "Filter Receiver", "Next Receiver"}); break;
    case Filter::Partner:
      frame_.setFilterTexts({"Previous Mail Partner", "Filter Mail Partner", "Next Mail Partner"});
      break;
    default: frame_.setFilterTexts({}); break;
  }
}

void BrowseWindow::filterFromCurrent() {
  if (!current() || state_.filter() == Filter::None) return;
  const int64_t pos = model_.positionOf(currentRow());
  if (!filterFromPosition(session(), pos, state_)) return;
  showFiltered(pos);
}

// Shows the view with the filter now in the state, at `keepPos` (0: the
// first page).
void BrowseWindow::showFiltered(int64_t keepPos) {
  makePager();
  updatePrompt();
  reload(keepPos);
}

bool BrowseWindow::moveFilter(int dir) {
  if (state_.filter() == Filter::None || !query_) return false;
  if (!query_->filtered()) {
    // No filter yet: the highlighted row's becomes the filter first.
    filterFromCurrent();
    if (!query_->filtered()) return false;
  }
  if (!query_->neighbour(dir, state_)) {
    session().beep();
    return false;
  }
  showFiltered(0);
  return true;
}

void BrowseWindow::locate(const QString& entry) {
  const QString t = entry.trimmed();
  switch (wordView()) {
    case WordView::KeyWord: showKeyWord(t); return;
    case WordView::Topic: showTopic(t); return;
    case WordView::Search: runSearch(t); return;
    case WordView::None: break;
  }
  const int view = state_.view;
  if (view == 1 || (!mail_ && view == 6) || (mail_ && view == 2)) {
    if (t.isEmpty()) return;
    int64_t at = 0;
    std::vector<BrowseQuery::Entry> rows;
    if (view == 1) {
      QDate d = QDate::fromString(t, "yyyy-MM-dd");
      if (!d.isValid()) d = QLocale().toDate(t, QLocale::ShortFormat);
      if (!d.isValid()) {
        feedback(QString("\"%1\" is not a date: type year-month-day, for example %2")
                     .arg(t, QDate::currentDate().toString("yyyy-MM-dd")));
        return;
      }
      rows = query_->atDate(dayNumber(d.year(), d.month(), d.day()), model_.pageSize, &at);
    } else if (mail_) {
      rows = query_->atSubject(t.toStdString(), model_.pageSize, &at);
    } else {
      bool ok = false;
      const uint32_t n = t.toUInt(&ok);
      if (!ok) {
        feedback(QString("\"%1\" is not a message number").arg(t));
        return;
      }
      rows = query_->atNumber(n, model_.pageSize, &at);
    }
    entry_->setStyleSheet({});
    loading_ = true;
    model_.showRows(rows_->convert(std::move(rows)), true);
    loading_ = false;
    afterReload();
    setCurrentRow(at ? model_.rowOfPosition(at) : model_.rowCount() - 1);
    return;
  }
  if (state_.filter() == Filter::None) return;
  // An emptied entry takes the filter away; the filter's own name changes
  // nothing; other text is looked up.
  if (t.isEmpty()) clearFilter();
  else if (t != shown(filterName(session(), state_, opts_.nameFormat)).trimmed()) lookUp();
}

bool BrowseWindow::goToMessage(uint32_t id) {
  const int64_t pos = messagePosition(session(), mail_, id);
  if (!pos) return false;
  if (int r = model_.rowOfPosition(pos); r >= 0) {
    setCurrentRow(r);
    return true;
  }
  reload(pos);
  return model_.rowOfPosition(pos) >= 0;
}

// The pick list of threads, sections or persons, starting at the typed text.
void BrowseWindow::lookUp() {
  if (wordView() != WordView::None) {
    wordLookUp();
    return;
  }
  const Filter f = state_.filter();
  if (f == Filter::None) return;
  QDialog dlg(this);
  dlg.setWindowTitle(lookup_->toolTip());
  auto* lay = new QVBoxLayout(&dlg);
  auto* listW = new QListWidget(&dlg);
  lay->addWidget(listW);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dlg);
  lay->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, &dlg, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
  connect(listW, &QListWidget::itemDoubleClicked, &dlg, &QDialog::accept);
  // The list starts at what was typed, or at the current filter while the
  // entry shows its name, with that entry highlighted.
  const QString typed = entry_->text().trimmed();
  const bool atFilter = typed.isEmpty() || typed == shown(filterName(session(), state_, opts_.nameFormat)).trimmed();
  const std::string start = atFilter ? filterPickText(session(), state_) : typed.toStdString();
  const uint32_t currentId = atFilter ? filterValue(state_) : 0;
  int select = 0;
  for (const PickEntry& e : pickList(session(), f, start)) {
    auto* it = new QListWidgetItem(shown(e.text), listW);
    it->setData(Qt::UserRole, e.id);
    if (currentId && e.id == currentId) select = listW->count() - 1;
  }
  if (listW->count()) listW->setCurrentRow(select);
  listW->setObjectName("PickList");
  dlg.resize(420, 360);
  if (dlg.exec() != QDialog::Accepted || !listW->currentItem()) return;
  pickFilter(session(), listW->currentItem()->data(Qt::UserRole).toUInt(), state_);
  showFiltered(0);
}

bool BrowseWindow::chooseStatus(int item) {
  const ListRow* r = current();
  if (!r || item < 0 || item > 11 || (mail_ && item > 8)) return false;
  Session& s = session();
  const uint8_t status = static_cast<uint8_t>(item % 3);
  bool ok = false;
  if (mail_) {
    auto& m = std::get<MailRow>(r->data);
    const StatusTarget targets[] = {StatusTarget::Mail, StatusTarget::Partner, StatusTarget::Database};
    const uint32_t ids[] = {m.MAILID, m.PAIRID, s.ForumNumber};
    ok = setStatus(s, targets[item / 3], ids[item / 3], status);
  } else {
    auto& m = std::get<MsgRow>(r->data);
    const StatusTarget targets[] = {StatusTarget::Message, StatusTarget::Thread, StatusTarget::Section,
                                    StatusTarget::Database};
    const uint32_t ids[] = {m.MSGNUMBER, m.THREADNUMBER, m.SECSYSID, s.ForumNumber};
    ok = setStatus(s, targets[item / 3], ids[item / 3], status);
  }
  opts_.forumCheck = s.ForumCheck;
  if (query_) query_->setOptions(opts_);
  if (setQuery_) setQuery_->setOptions(opts_);
  // Redraw what is shown with the new colours.
  const int row = currentRow();
  const int top = list_->rowAt(0);
  const int64_t topPos = model_.positionOf(qMax(top, 0));
  const int64_t pos = model_.positionOf(row);
  loading_ = true;
  model_.showFrom(topPos);
  loading_ = false;
  int nr = model_.rowOfPosition(pos);
  setCurrentRow(nr >= 0 ? nr : 0);
  return ok;
}

void BrowseWindow::statusMenu(const QPoint& at) {
  if (wordView() == WordView::Search) {
    sortMenu(at);
    return;
  }
  const QModelIndex idx = list_->indexAt(at);
  if (idx.isValid()) setCurrentRow(idx.row());
  if (!current()) return;
  static const char* const msgItems[] = {"Normal Message", "Keep Message", "Delete Message", "Normal Thread",
                                         "Keep Thread", "Delete Thread", "Normal Section", "Keep Section",
                                         "Delete Section", "Normal Database", "Keep Database", "Delete Database"};
  static const char* const mailItems[] = {"Normal Message", "Keep Message", "Delete Message",
                                          "Normal Partner", "Keep Partner", "Delete Partner",
                                          "Normal MailBox", "Keep MailBox", "Delete MailBox"};
  QMenu menu(this);
  const int n = mail_ ? 9 : 12;
  for (int i = 0; i < n; ++i) {
    if (i && i % 3 == 0) menu.addSeparator();
    menu.addAction(mail_ ? mailItems[i] : msgItems[i], this, [this, i] { chooseStatus(i); });
  }
  menu.addSeparator();
  menu.addAction("&Copy to Clipboard", this, [this] { copyMessage(); });
  menu.addSeparator();
  menu.addAction("&Export Messages...", this, [this] { openExport(ExportWindow::UseExport); });
  menu.addAction("&Print Messages...", this, [this] { openExport(ExportWindow::UsePrint); });
  menu.addAction("Classify Message &Sets...", this, [this] { openExport(ExportWindow::UseClassify); });
  menu.addAction("Message Stat&us...", this, [this] { openExport(ExportWindow::UseStatus); });
  menu.exec(list_->viewport()->mapToGlobal(at));
}

void BrowseWindow::toggleBookmark() {
  if (!bookmark_.set) {
    bookmark_.set = true;
    bookmark_.state = state_;
    bookmark_.pos = model_.positionOf(currentRow());
    bookmarkButton_->setText("Reset to BookMark");
    bookmarkButton_->setIcon(appIcon(Glyph::BookmarkSet));
    return;
  }
  bookmark_.set = false;
  bookmarkButton_->setText("Set BookMark");
  bookmarkButton_->setIcon(appIcon(Glyph::Bookmark));
  state_ = bookmark_.state;
  loading_ = true;
  tabs_->setCurrentIndex(state_.view - 1);
  loading_ = false;
  makePager();
  updatePrompt();
  updateFilterButtons();
  reload(bookmark_.pos);
}

void BrowseWindow::openExport(int use) {
  // the export window reads the set from the stored context: the current
  // row is stored first
  state_.store(session());
  ExportWindow::open(frame_, static_cast<ExportWindow::Use>(use));
}

void BrowseWindow::copyMessage() {
  const ListRow* r = current();
  if (!r) return;
  const std::string text = exporting::messageCopyText(session(), r->id());
  QApplication::clipboard()->setText(shown(text));
}

void BrowseWindow::askDeletion() {
  Session& s = session();
  const std::string caption = CallNeo(s, 51), l1 = CallNeo(s, 52), l2 = CallNeo(s, 53);
  Button b = s.ask(l1 + "\r\n" + l2, caption, Button::Ok | Button::Cancel, Button::Cancel);
  if (b == Button::Ok) {
    post(&frame_, NoteDatabaseChanged);
    close();
    return;
  }
  setStatus(s, StatusTarget::Database, s.ForumNumber, StatusNormal);
  opts_.forumCheck = s.ForumCheck;
  if (query_) query_->setOptions(opts_);
  reload(model_.positionOf(currentRow()));
}

void BrowseWindow::notify(int code, int arg) {
  switch (code) {
    case NoteAttachTopics: frame_.openOrRaise("Classify"); break;
    case NoteShowThreadTree:
      if (!mail_) frame_.openOrRaise("ThreadTree");
      break;
    case NoteGoToMessage: {
      BrowseContext c;
      Context(session(), 3, c);
      goToMessage(c.XMSGID);
      break;
    }
    case NoteThreadView: {
      BrowseContext c;
      Context(session(), 3, c);
      if (!bookmark_.set) toggleBookmark();
      const int64_t pos = messagePosition(session(), false, c.XMSGID);
      if (!pos) break;
      state_.setView(2);
      if (!filterFromPosition(session(), pos, state_)) break;
      loading_ = true;
      tabs_->setCurrentIndex(1);
      loading_ = false;
      makePager();
      updatePrompt();
      updateFilterButtons();
      reload(pos);
      break;
    }
    case NoteFocusBack: list_->setFocus(); break;
    case NoteDatabaseChanged: askDeletion(); break;
    case NoteSchedulerClosed: updatePrompt(); updateTitle(); break;
    case NoteReloadList: reload(0); break;
    case NoteReloadKeep: reload(model_.positionOf(currentRow())); break;
    case NoteCopyMessage: copyMessage(); break;
    case NoteExport: openExport(ExportWindow::UseExport); break;
    case NotePrint: openExport(ExportWindow::UsePrint); break;
    case NoteClassifySets: openExport(ExportWindow::UseClassify); break;
    case NoteSetStatus: openExport(ExportWindow::UseStatus); break;
    default: break;  // the topic windows come with a later part
  }
}

QRect BrowseWindow::firstPlace(const QRect& area) const {
  // The message browse leaves the right part of the frame to the thread tree.
  const int w = mail_ ? area.width() : area.width() * 68 / 100;
  return QRect(0, 0, w, area.height());
}

void BrowseWindow::closing() {
  frame_.registry().destroyGroup(kFindGroup);
  Place a{}, b{};
  for (int c = 0; c < 4 && c < model_.columnCount(); ++c) a[c] = list_->columnWidth(c);
  for (int c = 4; c < 8 && c < model_.columnCount(); ++c) b[static_cast<std::size_t>(c - 4)] = list_->columnWidth(c);
  ListCol(session(), 2, mail_ ? ColsBrowseMail : ColsBrowseMsg, a);
  ListCol(session(), 2, mail_ ? ColsBrowseMail2 : ColsBrowseMsg2, b);
  ListCol(session(), 4, 0, a);
  model_.setPager(nullptr);
  rows_.reset();
  query_.reset();
  frame_.setNavigationEnabled(false);
  frame_.setFilterTexts({});
  closeBrowseFiles(session(), mail_ ? BrowseFiles::Mail : BrowseFiles::Messages);
  post(&frame_, NoteIgnored);
}

}  // namespace qb::app
