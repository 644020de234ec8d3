#include "app/tool_window.h"

#include <QCloseEvent>
#include <QMdiArea>
#include <QMdiSubWindow>

#include "app/main_frame.h"
#include "app/notifications.h"
#include "archive/config.h"

namespace qb::app {

ToolWindow::ToolWindow(MainFrame& frame, const QString& name, const QString& group, int placeEntry)
    : frame_(frame), name_(name), placeEntry_(placeEntry) {
  setAttribute(Qt::WA_DeleteOnClose);
  frame_.registry().create(this, group, name);
}

ToolWindow::~ToolWindow() { frame_.registry().destroy(this); }

store::Session& ToolWindow::session() { return frame_.session(); }

QWidget* placeWidget(QWidget* w) {
  auto* sub = qobject_cast<QMdiSubWindow*>(w->parentWidget());
  return sub ? static_cast<QWidget*>(sub) : w;
}

void ToolWindow::restorePlace() {
  store::Place p{};
  if (!placeEntry_ || !store::WindowPos2(session(), 3, placeEntry_, p)) return;
  // The built-in places cascade from the top left; a window that has never
  // saved its own place gets a place that fits the frame instead.
  const int32_t cascade = 20 + 16 * ((placeEntry_ - 1) % 10);
  const bool builtIn = p == store::Place{cascade, cascade, 640, 440};
  QWidget* area = placeWidget(this)->parentWidget();
  if (builtIn && area) {
    QRect r = firstPlace(QRect(QPoint(0, 0), area->size()));
    if (!r.isEmpty()) placeWidget(this)->setGeometry(r);
    return;
  }
  if (p[2] < 100 || p[3] < 60) return;
  placeWidget(this)->setGeometry(p[0], p[1], p[2], p[3]);
}

void ToolWindow::savePlace() {
  QWidget* w = placeWidget(this);
  if (!placeEntry_ || w->isMinimized() || w->isMaximized()) return;
  store::Place p{w->x(), w->y(), w->width(), w->height()};
  store::WindowPos2(session(), 2, placeEntry_, p);
}

bool ToolWindow::event(QEvent* e) {
  if (e->type() == Notification::eventType()) {
    auto* n = static_cast<Notification*>(e);
    if (n->code() == NoteToFront) {
      QWidget* w = placeWidget(this);
      w->showNormal();
      w->raise();
      if (auto* sub = qobject_cast<QMdiSubWindow*>(w)) sub->mdiArea()->setActiveSubWindow(sub);
      setFocus();
    } else {
      notify(n->code(), n->arg());
    }
    return true;
  }
  return QWidget::event(e);
}

void ToolWindow::closeEvent(QCloseEvent* e) {
  if (!closed_) {
    closed_ = true;
    closing();
    savePlace();
    frame_.registry().destroy(this);
  }
  QWidget::closeEvent(e);
  // A window inside the frame goes with its sub-window.
  if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget())) {
    sub->setAttribute(Qt::WA_DeleteOnClose);
    if (sub->isVisible()) sub->close();
  }
}

}  // namespace qb::app
