#include "app/window_registry.h"

#include <QMdiSubWindow>

namespace qb::app {

void WindowRegistry::prune() {
  entries_.removeIf([](const Entry& e) { return e.w.isNull(); });
}

void WindowRegistry::create(QWidget* w, const QString& group, const QString& name) {
  destroy(w);
  entries_.append({w, group, name});
}

void WindowRegistry::destroy(QWidget* w) {
  entries_.removeIf([w](const Entry& e) { return e.w == w || e.w.isNull(); });
}

QWidget* WindowRegistry::get(const QString& name) const {
  for (auto& e : entries_)
    if (e.name == name && !e.w.isNull()) return e.w;
  return nullptr;
}

bool WindowRegistry::query(const QString& group) const {
  for (auto& e : entries_)
    if (e.group == group && !e.w.isNull()) return true;
  return false;
}

void WindowRegistry::destroyGroup(const QString& group) {
  prune();
  QList<QPointer<QWidget>> toClose;
  for (auto& e : entries_)
    if (e.group == group) toClose.append(e.w);
  for (auto& w : toClose) {
    if (w.isNull()) continue;
    // A window inside the frame closes with its sub-window.
    if (auto* sub = qobject_cast<QMdiSubWindow*>(w->parentWidget()))
      sub->close();
    else
      w->close();
  }
}

QStringList WindowRegistry::names() const {
  QStringList out;
  for (auto& e : entries_)
    if (!e.w.isNull()) out << e.name;
  return out;
}

}  // namespace qb::app
