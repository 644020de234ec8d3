#include "app/display_settings.h"

#include <QAbstractItemView>
#include <QHeaderView>
#include <QPalette>
#include <QTableView>
#include <QTreeWidget>

#include "app/main_frame.h"
#include "app/tool_window.h"
#include "archive/config.h"
#include "archive/session.h"

namespace qb::app {

QFont settingFont(store::Session& s, int code) {
  int32_t size = 0;
  std::string name;
  if (!store::Konfig(s, store::KonfigAction::GetDisplay, code, size, &name) || name.empty()) return QFont();
  QFont f(QString::fromStdString(name));
  if (size > 0) f.setPointSize(size);
  return f;
}

int32_t colourValue(const QColor& c) { return c.red() + 256 * c.green() + 65536 * c.blue(); }

QColor colourOf(int32_t value) { return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF); }

QColor settingColour(store::Session& s, int code, QColor def) {
  const int32_t v = store::setting(s, code);
  return v <= 0 ? def : colourOf(v);
}

void applyImportListLook(store::Session& s, QAbstractItemView* list) {
  if (!list) return;
  list->setFont(settingFont(s, store::SetImportFont));
  QPalette p = list->palette();
  p.setColor(QPalette::Base, settingColour(s, store::SetListColour, p.color(QPalette::Base)));
  list->setPalette(p);
}

void applyDisplayLook(store::Session& s, QWidget* window) {
  auto* w = qobject_cast<ToolWindow*>(window);
  if (!w) return;
  const QString name = w->windowName();
  if (name == "BrowseMsgNmbr" || name == "BrowseMail") {
    // The list of headers; the message text keeps its fixed pitch.
    for (QTableView* v : w->findChildren<QTableView*>()) v->setFont(settingFont(s, store::SetFont1));
  } else if (name == "ThreadTree") {
    for (QTreeWidget* t : w->findChildren<QTreeWidget*>()) {
      t->setFont(settingFont(s, store::SetTreeFont));
      QPalette p = t->palette();
      p.setColor(QPalette::Text, settingColour(s, store::SetTreeColour, QPalette().color(QPalette::Text)));
      t->setPalette(p);
    }
  } else if (name == "ChangeForum" || name == "BrowseBox" || name == "BrowseTopics" || name == "Classify") {
    for (QAbstractItemView* v : w->findChildren<QAbstractItemView*>()) v->setFont(settingFont(s, store::SetFont2));
  } else if (name == "ImportProcessing" || name == "ImportMeny") {
    for (QAbstractItemView* v : w->findChildren<QAbstractItemView*>()) applyImportListLook(s, v);
  }
}

void applyDisplayLook(MainFrame& frame) {
  for (const QString& n : frame.registry().names()) applyDisplayLook(frame.session(), frame.registry().get(n));
}

}  // namespace qb::app
