#include "app/browse_window.h"

#include <QApplication>
#include <QClipboard>
#include <QDate>
#include <QDialog>
#include <QDialogButtonBox>
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
#include <QStyledItemDelegate>
#include <QVBoxLayout>
#include <QWheelEvent>

#include "app/gui_ui.h"
#include "app/icons.h"
#include "app/main_frame.h"
#include "app/notifications.h"
#include "app/window_registry.h"
#include "export/clipboard_text.h"
#include "archive/browse/browse_status.h"
#include "archive/browse/browse_text.h"
#include "archive/config.h"
#include "text/datetime.h"
#include "archive/file_table.h"
#include "archive/neo.h"
#include "archive/session.h"

using qb::text::calendarDate;
using qb::text::clockTime;
using qb::text::dayNumber;
using qb::text::upper1252;

namespace qb::app {

using namespace qb::store;

namespace {

enum class Filter { None, Thread, Section, Sender, Receiver, Partner };

struct ViewEntry {
  const char* tab;
  const char* tip;
  int key;
  Filter filter;
  const char* prompt;
  bool available;
};

// Views 1 to 9 of the message browse and 1 to 8 of the mail browse; the
// word, topic and search views are in browse_word_views.cpp.
const ViewEntry kMsgViews[] = {
    {"&Date", "Sort by message date", MsgNmbr::DateKey, Filter::None, " Find Date ", true},
    {"&Thread", "Sort by message thread", MsgNmbr::Threadkey, Filter::Thread, " Filter Thread ", true},
    {"S&ection", "Sort by message section", MsgNmbr::SECkey, Filter::Section, " Filter Section ", true},
    {"&Sender", "Sort by message sender", MsgNmbr::FromKey, Filter::Sender, " Filter Sender ", true},
    {"&Receiver", "Sort by message receiver", MsgNmbr::ToKey, Filter::Receiver, " Filter Receiver ", true},
    {"Msg&No", "Sort by message number", MsgNmbr::IdKey, Filter::None, " Find MsgNo ", true},
    {"&KeyWord", "Filter by key word", 0, Filter::None, " Filter Key Word ", true},
    {"T&opic", "Filter by topic", 0, Filter::None, " Filter Topic ", true},
    {"Sear&ch", "Show search result set - right click to sort", 0, Filter::None, " ", true},
};
const ViewEntry kMailViews[] = {
    {"&Date", "Sort by mail date", Mail::DateKey, Filter::None, "Find Date", true},
    {"Su&bject", "Sort by mail subject", Mail::SubjectKey, Filter::None, " ", true},
    {"&Partner", "Sort by mail partner", Mail::PairKey, Filter::Partner, "Filter Partner", true},
    {"&Sender", "Sort by mail sender", Mail::FromKey, Filter::Sender, "Filter Sender", true},
    {"&Receiver", "Sort by mail receiver", Mail::ToKey, Filter::Receiver, "Filter Receiver", true},
    {"&KeyWord", "Filter by key word string", 0, Filter::None, "Filter KeyWord", true},
    {"&Topic", "Filter by topic", 0, Filter::None, "Filter Topic", true},
    {"Sear&ch", "Show search result set - right click to sort", 0, Filter::None, " ", true},
};

const ViewEntry& viewEntry(bool mail, int view) { return mail ? kMailViews[view - 1] : kMsgViews[view - 1]; }

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

bool sameAlpha(const FixedString<10>& a, const FixedString<10>& b) {
  return upper1252(a.str()) == upper1252(b.str());
}
bool sameAlpha(const FixedString<25>& a, const FixedString<25>& b) {
  return upper1252(a.str()) == upper1252(b.str());
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
  OP_CLOSE(s, OpOpen, mail_ ? std::vector<int>{13, 4, 5, 17, 9} : std::vector<int>{3, 4, 5, 6, 7, 9});
  opts_.nameFormat = setting(s, SetNameFormat);
  opts_.targetNG = s.TargetNG;
  datePicture_ = setting(s, SetDateFormat);
  // The database's status as stored now.
  OP_CLOSE(s, OpOpen, {2});
  s.Forums().clear();
  s.Forums().rec.ID = s.ForumNumber;
  if (s.Forums().get(Forums::ForumKey) == Err::Ok) s.ForumCheck = s.Forums().rec.DUMMY;
  OP_CLOSE(s, OpClose, {2});
  opts_.forumCheck = s.ForumCheck;
  model_.setColours(colourOf(s, SetKeepColour, QColor(0, 0, 128)), colourOf(s, SetDeleteColour, QColor(255, 0, 0)));
  buildUi();
  ctx_.SORTORDER = 1;
  mctx_.SORTORDER = 1;
  setView(1);
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
    const ViewEntry& vs = viewEntry(mail_, v);
    int i = tabs_->addTab(vs.tab);
    tabs_->setTabToolTip(i, vs.tip);
    tabs_->setTabEnabled(i, vs.available);
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
  row->addWidget(prompt_);
  row->addWidget(entry_, 1);
  row->addWidget(lookup_);
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

  QStringList headers = mail_ ? QStringList{"Date", "Time", "Subject", "Sender", "Receiver"}
                              : QStringList{"Date", "Thread", "Sender", "Receiver", "Section"};
  if (!mail_ && s.ForumType == KindNewsgroup && s.TargetNG != 1) headers.removeLast();
  model_.setHeaders(headers);
  // Column widths: the saved ones, else the widths of the design (dialog
  // units, about 1.75 pixels each).
  Place a{}, b{};
  const bool savedA = ListCol(session(), 3, mail_ ? ColsBrowseMail : ColsBrowseMsg, a);
  ListCol(session(), 3, mail_ ? ColsBrowseMail2 : ColsBrowseMsg2, b);
  const int defaults[] = {mail_ ? 40 : 40, mail_ ? 20 : 120, mail_ ? 115 : 120, mail_ ? 180 : 120, mail_ ? 180 : 100};
  for (int c = 0; c < headers.size(); ++c) {
    int w = c < 4 ? a[c] : b[0];
    if (!savedA || w < 20 || w > 1500) w = static_cast<int>(defaults[c] * 1.75);
    if (c == 0 || (mail_ && c == 1)) w = qMax(w, list_->fontMetrics().horizontalAdvance("00/00/0000") + 12);
    list_->setColumnWidth(c, w);
  }
  connect(list_->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] {
    if (!loading_) rowChanged();
  });
}

bool BrowseWindow::filteredView() const { return viewEntry(mail_, view_).filter != Filter::None; }

void BrowseWindow::makePager() {
  if (wordView() != WordView::None) {
    makeWordPager();
    return;
  }
  Session& s = session();
  const ViewEntry& vs = viewEntry(mail_, view_);
  if (mail_) {
    pager_ = std::make_unique<Pager>(s.Mail(), vs.key);
    auto& f = s.Mail();
    const auto c = mctx_;
    pager_->build = [this, &s, &f] {
      ListRow r;
      MailRow m = buildMailRow(s, f.rec, opts_);
      r.cells = cellsOf(m);
      r.colour = m.colour;
      r.data = std::move(m);
      return r;
    };
    switch (vs.filter) {
      case Filter::Partner:
        if (c.XPAIRID) {
          pager_->parts = 2;
          pager_->setRange = [&f, c] { f.rec.PAIRALPHA = c.XPAIRALPHA; f.rec.PAIRID = c.XPAIRID; };
          pager_->inRange = [&f, c] { return f.rec.PAIRID == c.XPAIRID && sameAlpha(f.rec.PAIRALPHA, c.XPAIRALPHA); };
        }
        break;
      case Filter::Sender:
        if (c.XSENDID) {
          pager_->parts = 2;
          pager_->setRange = [&f, c] { f.rec.FROMALPHA = c.XSENDERALPHA; f.rec.FROMID = c.XSENDID; };
          pager_->inRange = [&f, c] { return f.rec.FROMID == c.XSENDID && sameAlpha(f.rec.FROMALPHA, c.XSENDERALPHA); };
        }
        break;
      case Filter::Receiver:
        if (c.XRECEIVEID) {
          pager_->parts = 2;
          pager_->setRange = [&f, c] { f.rec.TOALPHA = c.XRECEIVERALPHA; f.rec.TOID = c.XRECEIVEID; };
          pager_->inRange = [&f, c] { return f.rec.TOID == c.XRECEIVEID && sameAlpha(f.rec.TOALPHA, c.XRECEIVERALPHA); };
        }
        break;
      default: break;
    }
  } else {
    pager_ = std::make_unique<Pager>(s.MsgNmbr(), vs.key);
    auto& f = s.MsgNmbr();
    const auto c = ctx_;
    pager_->build = [this, &s, &f] {
      ListRow r;
      MsgRow m = buildMsgRow(s, f.rec, opts_);
      r.cells = cellsOf(m);
      r.colour = m.colour;
      r.data = std::move(m);
      return r;
    };
    switch (vs.filter) {
      case Filter::Thread:
        if (c.XTHREADNUMBER) {
          pager_->parts = 2;
          pager_->setRange = [&f, c] { f.rec.THREADALPHA = c.XTHREADALPHA; f.rec.THREADNUMBER = c.XTHREADNUMBER; };
          pager_->inRange = [&f, c] {
            return f.rec.THREADNUMBER == c.XTHREADNUMBER && sameAlpha(f.rec.THREADALPHA, c.XTHREADALPHA);
          };
        }
        break;
      case Filter::Section:
        if (c.XSECSYSID) {
          pager_->parts = 1;
          pager_->setRange = [&f, c] { f.rec.SECSYSID = c.XSECSYSID; };
          pager_->inRange = [&f, c] { return f.rec.SECSYSID == c.XSECSYSID; };
        }
        break;
      case Filter::Sender:
        if (c.XSENDID) {
          pager_->parts = 2;
          pager_->setRange = [&f, c] { f.rec.FROMALPHA = c.XSENDERALPHA; f.rec.FROMID = c.XSENDID; };
          pager_->inRange = [&f, c] { return f.rec.FROMID == c.XSENDID && sameAlpha(f.rec.FROMALPHA, c.XSENDERALPHA); };
        }
        break;
      case Filter::Receiver:
        if (c.XRECEIVEID) {
          pager_->parts = 2;
          pager_->setRange = [&f, c] { f.rec.TOALPHA = c.XRECEIVERALPHA; f.rec.TOID = c.XRECEIVEID; };
          pager_->inRange = [&f, c] { return f.rec.TOID == c.XRECEIVEID && sameAlpha(f.rec.TOALPHA, c.XRECEIVERALPHA); };
        }
        break;
      default: break;
    }
  }
  model_.setPager(pager_.get());
}

QStringList BrowseWindow::cellsOf(const MsgRow& r) const {
  QStringList c{shortDate(r.DATE), shown(r.HEADER), shown(r.FROMSTRING), shown(r.TOSTRING), shown(r.SECDESC)};
  return c;
}

QStringList BrowseWindow::cellsOf(const MailRow& r) const {
  return {shortDate(r.DATE), shortTime(r.TIME), shown(r.SUBJECT), shown(r.FROMSTRING), shown(r.TOSTRING)};
}

void BrowseWindow::setView(int v) {
  view_ = v;
  if (mail_) mctx_.SORTORDER = static_cast<uint8_t>(v);
  else ctx_.SORTORDER = static_cast<uint8_t>(v);
  loading_ = true;
  tabs_->setCurrentIndex(v - 1);
  loading_ = false;
  const int64_t keep = model_.positionOf(currentRow());
  makePager();
  updatePrompt();
  updateFilterButtons();
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
  count_ = computeCount();
  if (mail_) mctx_.MAXNUMBER = count_;
  else ctx_.MAXNUMBER = count_;
  updateTitle();
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
  list_->selectionModel()->setCurrentIndex(model_.index(r, 0),
                                           QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  list_->scrollTo(model_.index(r, 0));
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
  if (o == list_ && e->type() == QEvent::KeyPress) {
    auto* k = static_cast<QKeyEvent*>(e);
    const bool ctrl = k->modifiers() & Qt::ControlModifier;
    switch (k->key()) {
      case Qt::Key_Up: moveBy(-1); return true;
      case Qt::Key_Down: moveBy(1); return true;
      case Qt::Key_PageUp: navigate(ctrl ? NavFirst : NavPriorPage); return true;
      case Qt::Key_PageDown: navigate(ctrl ? NavLast : NavNextPage); return true;
      case Qt::Key_Home: if (ctrl) { navigate(NavFirst); return true; } break;
      case Qt::Key_End: if (ctrl) { navigate(NavLast); return true; } break;
      case Qt::Key_C: if (ctrl) { copyMessage(); return true; } break;
      default: break;
    }
  }
  return ToolWindow::eventFilter(o, e);
}

void BrowseWindow::rowChanged() {
  const ListRow* r = current();
  showText(r);
  if (!r) return;
  if (mail_) {
    mctx_.XMAILID = r->id();
  } else {
    auto& m = std::get<MsgRow>(r->data);
    ctx_.XMSGID = m.MSGNUMBER;
    msgNo_->setText(QString::number(m.MSGNUMBER));
    refNo_->setText(m.REFNUMBER ? QString::number(m.REFNUMBER) : QString());
  }
  storeContext();
  if (!mail_) post(frame_.registry().get("ThreadTree"), NoteShowThreadTree);
}

void BrowseWindow::storeContext() {
  if (mail_) MailContext(session(), 2, mctx_);
  else Context(session(), 2, ctx_);
}

void BrowseWindow::showText(const ListRow* r) {
  pages_.clear();
  page_ = 0;
  if (r) {
    Session& s = session();
    auto& t = s.MsgText();
    t.clear();
    t.rec.MSGNUMBER = r->id();
    std::string body = t.get(MsgText::IdKey) == Err::Ok ? t.memo() : std::string();
    std::string subject;
    if (mail_) subject = std::get<MailRow>(r->data).SUBJECT;
    pages_ = textPages(composeShownText(body, mail_ ? &subject : nullptr));
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

uint32_t BrowseWindow::computeCount() {
  if (wordView() != WordView::None) return wordViewCount();
  Session& s = session();
  const Filter f = viewEntry(mail_, view_).filter;
  if (mail_) {
    uint32_t id = f == Filter::Partner ? mctx_.XPAIRID : f == Filter::Sender ? mctx_.XSENDID
                  : f == Filter::Receiver ? mctx_.XRECEIVEID : 0;
    if (!id) return static_cast<uint32_t>(s.Mail().count());
    if (!lookUpPerson(s, id)) return 0;
    if (f == Filter::Sender) return s.Person().rec.FROMCOUNT;
    if (f == Filter::Receiver) return s.Person().rec.TOCOUNT;
    return s.Person().rec.FROMCOUNT + s.Person().rec.TOCOUNT;
  }
  switch (f) {
    case Filter::Thread:
      if (ctx_.XTHREADNUMBER) return lookUpThread(s, ctx_.XTHREADNUMBER) ? s.Threads().rec.MSGCOUNT : 0;
      break;
    case Filter::Section:
      if (ctx_.XSECSYSID) return lookUpSection(s, ctx_.XSECSYSID) ? s.Sections().rec.MSGCOUNT : 0;
      break;
    case Filter::Sender:
      if (ctx_.XSENDID) return lookUpPerson(s, ctx_.XSENDID) ? s.Person().rec.FROMCOUNT : 0;
      break;
    case Filter::Receiver:
      if (ctx_.XRECEIVEID) return lookUpPerson(s, ctx_.XRECEIVEID) ? s.Person().rec.TOCOUNT : 0;
      break;
    default: break;
  }
  return static_cast<uint32_t>(s.MsgNmbr().count());
}

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

QString BrowseWindow::filterName() const {
  Session& s = const_cast<BrowseWindow*>(this)->session();
  const Filter f = viewEntry(mail_, view_).filter;
  auto person = [&](uint32_t id) {
    return id && lookUpPerson(s, id) ? shown(browseName(s.Person().rec, opts_.nameFormat)) : QString();
  };
  if (mail_) {
    if (f == Filter::Partner) return mctx_.XPAIRID ? shown(mctx_.XPAIRALPHA.str()) + " - " + person(mctx_.XPAIRID) : "";
    if (f == Filter::Sender) return person(mctx_.XSENDID);
    if (f == Filter::Receiver) return person(mctx_.XRECEIVEID);
    return {};
  }
  switch (f) {
    case Filter::Thread:
      return ctx_.XTHREADNUMBER && lookUpThread(s, ctx_.XTHREADNUMBER) ? shown(s.Threads().rec.heading()) : "";
    case Filter::Section:
      return ctx_.XSECSYSID && lookUpSection(s, ctx_.XSECSYSID) ? shown(s.Sections().rec.DESCRIPTION.str()) : "";
    case Filter::Sender: return person(ctx_.XSENDID);
    case Filter::Receiver: return person(ctx_.XRECEIVEID);
    default: return {};
  }
}

void BrowseWindow::updatePrompt() {
  if (wordView() != WordView::None) {
    updateWordPrompt();
    return;
  }
  const ViewEntry& vs = viewEntry(mail_, view_);
  prompt_->setText(view_ == 1 ? (mail_ ? "Search Date:" : " Search Date ") : vs.prompt);
  const Filter f = vs.filter;
  static const char* const tips[] = {"", "Limit view to chosen thread", "Limit view to chosen section",
                                     "Limit view to chosen sender", "Limit view to chosen receiver",
                                     "Limit view to chosen mail partner"};
  static const char* const lookTips[] = {"", "Look up thread", "Look up section", "Look up sender",
                                         "Look up receiver", "Look up mail partner"};
  entry_->setToolTip(f != Filter::None ? tips[int(f)]
                     : view_ == 6 && !mail_ ? "Enter message number to look up"
                                            : "");
  lookup_->setToolTip(lookTips[int(f)]);
  lookup_->setVisible(f != Filter::None);
  entry_->setEnabled(f != Filter::None || view_ == 1 || (!mail_ && view_ == 6));
  entry_->setText(filterName());
}

void BrowseWindow::updateFilterButtons() {
  const Filter f = viewEntry(mail_, view_).filter;
  switch (f) {
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
  const ListRow* r = current();
  const Filter f = viewEntry(mail_, view_).filter;
  if (!r || f == Filter::None) return;
  Session& s = session();
  const int64_t pos = model_.positionOf(currentRow());
  if (mail_) {
    auto& file = s.Mail();
    if (file.getPosition(pos) != Err::Ok) return;
    const Mail m = file.rec;
    if (f == Filter::Partner) { mctx_.XPAIRID = m.PAIRID; mctx_.XPAIRALPHA = m.PAIRALPHA; }
    if (f == Filter::Sender) { mctx_.XSENDID = m.FROMID; mctx_.XSENDERALPHA = m.FROMALPHA; }
    if (f == Filter::Receiver) { mctx_.XRECEIVEID = m.TOID; mctx_.XRECEIVERALPHA = m.TOALPHA; }
  } else {
    auto& file = s.MsgNmbr();
    if (file.getPosition(pos) != Err::Ok) return;
    const MsgNmbr m = file.rec;
    if (f == Filter::Thread) { ctx_.XTHREADNUMBER = m.THREADNUMBER; ctx_.XTHREADALPHA = m.THREADALPHA; }
    if (f == Filter::Section) ctx_.XSECSYSID = m.SECSYSID;
    if (f == Filter::Sender) { ctx_.XSENDID = m.FROMID; ctx_.XSENDERALPHA = m.FROMALPHA; }
    if (f == Filter::Receiver) { ctx_.XRECEIVEID = m.TOID; ctx_.XRECEIVERALPHA = m.TOALPHA; }
  }
  makePager();
  updatePrompt();
  reload(pos);
}

bool BrowseWindow::moveFilter(int dir) {
  const Filter f = viewEntry(mail_, view_).filter;
  if (f == Filter::None || !pager_) return false;
  if (!pager_->parts) {
    // No filter yet: the highlighted row's becomes the filter first.
    filterFromCurrent();
    if (!pager_->parts) return false;
  }
  Session& s = session();
  if (!pager_->outside(dir)) {
    s.beep();
    return false;
  }
  if (mail_) {
    const Mail m = s.Mail().rec;
    if (f == Filter::Partner) { mctx_.XPAIRID = m.PAIRID; mctx_.XPAIRALPHA = m.PAIRALPHA; }
    if (f == Filter::Sender) { mctx_.XSENDID = m.FROMID; mctx_.XSENDERALPHA = m.FROMALPHA; }
    if (f == Filter::Receiver) { mctx_.XRECEIVEID = m.TOID; mctx_.XRECEIVERALPHA = m.TOALPHA; }
  } else {
    const MsgNmbr m = s.MsgNmbr().rec;
    if (f == Filter::Thread) { ctx_.XTHREADNUMBER = m.THREADNUMBER; ctx_.XTHREADALPHA = m.THREADALPHA; }
    if (f == Filter::Section) ctx_.XSECSYSID = m.SECSYSID;
    if (f == Filter::Sender) { ctx_.XSENDID = m.FROMID; ctx_.XSENDERALPHA = m.FROMALPHA; }
    if (f == Filter::Receiver) { ctx_.XRECEIVEID = m.TOID; ctx_.XRECEIVERALPHA = m.TOALPHA; }
  }
  makePager();
  updatePrompt();
  reload(0);
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
  if (view_ == 1) {
    QDate d = QDate::fromString(t, "yyyy-MM-dd");
    if (!d.isValid()) d = QLocale().toDate(t, QLocale::ShortFormat);
    if (!d.isValid()) { session().beep(); return; }
    const int32_t day = dayNumber(d.year(), d.month(), d.day());
    int64_t at = 0;
    loading_ = true;
    if (mail_) model_.showRows(pager_->at([&] { session().Mail().rec.DATE = day; }, 1, model_.pageSize, &at), true);
    else model_.showRows(pager_->at([&] { session().MsgNmbr().rec.DATE = day; }, 1, model_.pageSize, &at), true);
    loading_ = false;
    afterReload();
    setCurrentRow(at ? model_.rowOfPosition(at) : model_.rowCount() - 1);
    return;
  }
  if (!mail_ && view_ == 6) {
    bool ok = false;
    const uint32_t n = t.toUInt(&ok);
    if (!ok) { session().beep(); return; }
    int64_t at = 0;
    loading_ = true;
    model_.showRows(pager_->at([&] { session().MsgNmbr().rec.MSGNUMBER = n; }, 1, model_.pageSize, &at), true);
    loading_ = false;
    afterReload();
    setCurrentRow(at ? model_.rowOfPosition(at) : model_.rowCount() - 1);
    return;
  }
  if (filteredView()) lookUp();
}

bool BrowseWindow::goToMessage(uint32_t id) {
  Session& s = session();
  int64_t pos = 0;
  if (mail_) {
    s.Mail().clear();
    s.Mail().rec.MAILID = id;
    if (s.Mail().get(Mail::IdKey) != Err::Ok) return false;
    pos = s.Mail().position();
  } else {
    s.MsgNmbr().clear();
    s.MsgNmbr().rec.MSGNUMBER = id;
    if (s.MsgNmbr().get(MsgNmbr::IdKey) != Err::Ok) return false;
    pos = s.MsgNmbr().position();
  }
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
  const Filter f = viewEntry(mail_, view_).filter;
  if (f == Filter::None) return;
  Session& s = session();
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
  const std::string typed = entry_->text().trimmed().toStdString();
  const int kMax = 300;
  if (f == Filter::Thread) {
    auto& t = s.Threads();
    t.clear();
    t.rec.ALPHA = typed;
    t.setAt(Threads::AlphaKey, 1);
    for (int i = 0; i < kMax && t.next() == Err::Ok; ++i) {
      auto* it = new QListWidgetItem(shown(t.rec.heading()), listW);
      it->setData(Qt::UserRole, t.rec.THREADNUMBER);
    }
  } else if (f == Filter::Section) {
    auto& t = s.Sections();
    t.clear();
    t.rec.DESCRIPTION = typed;
    t.setAt(Sections::DescKey, 1);
    for (int i = 0; i < kMax && t.next() == Err::Ok; ++i) {
      auto* it = new QListWidgetItem(shown(t.rec.DESCRIPTION.str()), listW);
      it->setData(Qt::UserRole, t.rec.SECSYSID);
    }
  } else {
    auto& t = s.Person();
    t.clear();
    t.rec.LASTNAME = typed;
    t.setAt(Person::NameKey, 1);
    for (int i = 0; i < kMax && t.next() == Err::Ok; ++i) {
      auto* it = new QListWidgetItem(shown(browseName(t.rec, 2)), listW);
      it->setData(Qt::UserRole, t.rec.PERSONID);
    }
  }
  if (listW->count()) listW->setCurrentRow(0);
  dlg.resize(420, 360);
  if (dlg.exec() != QDialog::Accepted || !listW->currentItem()) return;
  const uint32_t id = listW->currentItem()->data(Qt::UserRole).toUInt();
  if (f == Filter::Thread && lookUpThread(s, id)) {
    ctx_.XTHREADNUMBER = id;
    ctx_.XTHREADALPHA = s.Threads().rec.ALPHA;
  } else if (f == Filter::Section) {
    ctx_.XSECSYSID = id;
  } else if (lookUpPerson(s, id)) {
    const std::string alpha = s.Person().rec.LASTNAME.str();
    if (mail_) {
      if (f == Filter::Partner) { mctx_.XPAIRID = id; mctx_.XPAIRALPHA = alpha; }
      if (f == Filter::Sender) { mctx_.XSENDID = id; mctx_.XSENDERALPHA = alpha; }
      if (f == Filter::Receiver) { mctx_.XRECEIVEID = id; mctx_.XRECEIVERALPHA = alpha; }
    } else {
      if (f == Filter::Sender) { ctx_.XSENDID = id; ctx_.XSENDERALPHA = alpha; }
      if (f == Filter::Receiver) { ctx_.XRECEIVEID = id; ctx_.XRECEIVERALPHA = alpha; }
    }
  }
  makePager();
  updatePrompt();
  reload(0);
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
  menu.exec(list_->viewport()->mapToGlobal(at));
}

void BrowseWindow::toggleBookmark() {
  if (!bookmark_.set) {
    bookmark_.set = true;
    bookmark_.view = view_;
    bookmark_.ctx = ctx_;
    bookmark_.mctx = mctx_;
    bookmark_.pos = model_.positionOf(currentRow());
    bookmarkButton_->setText("Reset to BookMark");
    bookmarkButton_->setIcon(appIcon(Glyph::BookmarkSet));
    return;
  }
  bookmark_.set = false;
  bookmarkButton_->setText("Set BookMark");
  bookmarkButton_->setIcon(appIcon(Glyph::Bookmark));
  ctx_ = bookmark_.ctx;
  mctx_ = bookmark_.mctx;
  view_ = bookmark_.view;
  loading_ = true;
  tabs_->setCurrentIndex(view_ - 1);
  loading_ = false;
  makePager();
  updatePrompt();
  updateFilterButtons();
  reload(bookmark_.pos);
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
  reload(model_.positionOf(currentRow()));
}

void BrowseWindow::notify(int code, int arg) {
  switch (code) {
    case NoteShowThreadTree:
      if (!mail_) frame_.openOrRaise("ThreadTree");
      break;
    case NoteAttachTopics: frame_.openOrRaise("Classify"); break;
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
      Session& s = session();
      s.MsgNmbr().clear();
      s.MsgNmbr().rec.MSGNUMBER = c.XMSGID;
      if (s.MsgNmbr().get(MsgNmbr::IdKey) != Err::Ok) break;
      const MsgNmbr m = s.MsgNmbr().rec;
      const int64_t pos = s.MsgNmbr().position();
      ctx_.XTHREADNUMBER = m.THREADNUMBER;
      ctx_.XTHREADALPHA = m.THREADALPHA;
      view_ = 2;
      ctx_.SORTORDER = 2;
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
    default: break;  // topics, export and status windows come with later parts
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
  if (model_.columnCount() > 4) b[0] = list_->columnWidth(4);
  ListCol(session(), 2, mail_ ? ColsBrowseMail : ColsBrowseMsg, a);
  ListCol(session(), 2, mail_ ? ColsBrowseMail2 : ColsBrowseMsg2, b);
  ListCol(session(), 4, 0, a);
  model_.setPager(nullptr);
  pager_.reset();
  words_.reset();
  store::closeWordFile(session(), 32);
  frame_.setNavigationEnabled(false);
  frame_.setFilterTexts({});
  OP_CLOSE(session(), OpClose, mail_ ? std::vector<int>{13, 4, 5, 17, 9} : std::vector<int>{3, 4, 5, 6, 7, 9});
  post(&frame_, NoteIgnored);
}

}  // namespace qb::app
