#include "app/thread_tree_window.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QVBoxLayout>

#include "app/gui_ui.h"
#include "app/icons.h"
#include "app/main_frame.h"
#include "app/notifications.h"
#include "app/window_registry.h"
#include "archive/browse/browse_files.h"
#include "archive/config.h"
#include "archive/session.h"

namespace qb::app {

using namespace qb::store;

ToolWindow* ThreadTreeWindow::open(MainFrame& frame) {
  if (frame.session().ForumType == KindMail) return nullptr;
  auto* w = new ThreadTreeWindow(frame);
  QWidget* browse = frame.registry().get("BrowseMsgNmbr");
  frame.addChild(w, QSize(300, 420));
  // The browse keeps the focus.
  if (browse) post(browse, NoteToFront);
  return w;
}

ThreadTreeWindow::ThreadTreeWindow(MainFrame& frame)
    : ToolWindow(frame, "ThreadTree", kFindGroup, PlaceThreadTree) {
  Session& s = session();
  openBrowseFiles(s, BrowseFiles::ThreadTree);
  labelForm_ = setting(s, SetTreeLabel);
  datePicture_ = setting(s, SetDateFormat);
  setWindowTitle(" Thread Tree");
  auto* lay = new QVBoxLayout(this);
  lay->setContentsMargins(2, 2, 2, 2);
  tree_ = new QTreeWidget(this);
  tree_->setHeaderHidden(true);
  tree_->setRootIsDecorated(true);
  tree_->setIndentation(16);
  tree_->installEventFilter(this);
  lay->addWidget(tree_);
  setMinimumSize(180, 110);
  connect(tree_, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* it) {
    activate(it->data(0, Qt::UserRole).toUInt());
  });
  follow();
}

void ThreadTreeWindow::follow() {
  Session& s = session();
  BrowseContext c;
  Context(s, 3, c);
  if (haveLast_ && c == last_) return;
  last_ = c;
  haveLast_ = true;
  const uint32_t thread = threadOfMessage(s, c.XMSGID);
  if (thread != thread_ || lines_.empty()) rebuild(thread);
  highlight(c.XMSGID);
}

void ThreadTreeWindow::rebuild(uint32_t threadNumber) {
  thread_ = threadNumber;
  ++rebuilds_;
  tree_->clear();
  items_.clear();
  lines_.clear();
  lines_ = threadTreeLines(session(), threadNumber, labelForm_, datePicture_);
  std::vector<QTreeWidgetItem*> parents;
  for (std::size_t i = 1; i < lines_.size(); ++i) {  // line 0 is the blank first line
    const TreeLine& l = lines_[i];
    QTreeWidgetItem* it;
    parents.resize(static_cast<std::size_t>(l.LEVEL));
    if (l.LEVEL == 0 || parents.empty())
      it = new QTreeWidgetItem(tree_);
    else
      it = new QTreeWidgetItem(parents.back());
    it->setText(0, shown(l.DISPLAY));
    it->setIcon(0, appIcon(l.ICON == 1 ? Glyph::File : Glyph::Folder));
    it->setData(0, Qt::UserRole, l.MSGNMBR);
    parents.push_back(it);
    items_.push_back(it);
  }
  tree_->expandAll();
}

void ThreadTreeWindow::highlight(uint32_t id) {
  for (auto* it : items_)
    if (it->data(0, Qt::UserRole).toUInt() == id) {
      tree_->setCurrentItem(it);
      tree_->scrollToItem(it);
      return;
    }
}

void ThreadTreeWindow::activate(uint32_t id) {
  if (!id) return;
  Session& s = session();
  BrowseContext c;
  Context(s, 3, c);
  c.XMSGID = id;
  QWidget* browse = frame_.registry().get("BrowseMsgNmbr");
  if (c.SORTORDER == 1 || c.SORTORDER == 2 || c.SORTORDER == 3 || c.SORTORDER == 6) {
    Context(s, 2, c);
    post(browse, NoteGoToMessage);
  } else {
    post(browse, NoteThreadView);
    c.SORTORDER = 2;
    Context(s, 2, c);
  }
  post(browse, NoteFocusBack);
}

bool ThreadTreeWindow::eventFilter(QObject* o, QEvent* e) {
  if (o == tree_ && e->type() == QEvent::KeyPress) {
    auto* k = static_cast<QKeyEvent*>(e);
    const bool ctrl = k->modifiers() & Qt::ControlModifier;
    int control = 0;
    switch (k->key()) {
      case Qt::Key_PageUp: control = ctrl ? NavFirst : NavPriorPage; break;
      case Qt::Key_PageDown: control = ctrl ? NavLast : NavNextPage; break;
      case Qt::Key_Up: control = NavPriorRecord; break;
      case Qt::Key_Down: control = NavNextRecord; break;
      case Qt::Key_Return:
      case Qt::Key_Enter:
        if (tree_->currentItem()) activate(tree_->currentItem()->data(0, Qt::UserRole).toUInt());
        return true;
      default: break;
    }
    if (control) {
      frame_.pressNavigation(control);
      return true;
    }
  }
  return ToolWindow::eventFilter(o, e);
}

void ThreadTreeWindow::notify(int code, int arg) {
  if (code == NoteShowThreadTree || code == NoteCurrentChanged) follow();
}

QRect ThreadTreeWindow::firstPlace(const QRect& area) const {
  const int left = area.width() * 68 / 100;
  return QRect(left, 0, area.width() - left, area.height());
}

void ThreadTreeWindow::closing() {
  post(frame_.registry().get("BrowseMsgNmbr"), NoteTreeClosed);
  closeBrowseFiles(session(), BrowseFiles::ThreadTree);
  tree_->clear();
  items_.clear();
  lines_.clear();
}

}  // namespace qb::app
