#include "app/gui_ui.h"

#include <QApplication>
#include <QMessageBox>

#include "text/control_chars.h"
#include "text/display_text.h"

namespace qb::app {

QString shown(const std::string& archiveText) {
  // Control characters a foreign file left in a text are shown as symbols.
  return QString::fromStdString(text::visibleControls(text::displayText(archiveText), text::ControlStyle::Placeholder));
}

QString messageText(const std::string& text) {
  QString t = shown(text);
  t.replace("\r\n", "\n");
  return t.trimmed();
}

namespace {
QMessageBox::Icon boxIcon(qb::Icon i) {
  switch (i) {
    case qb::Icon::Information: return QMessageBox::Information;
    case qb::Icon::Question: return QMessageBox::Question;
    case qb::Icon::Exclamation: return QMessageBox::Warning;
    case qb::Icon::Hand: return QMessageBox::Critical;
    default: return QMessageBox::NoIcon;
  }
}
struct ButtonMap {
  qb::Button ours;
  QMessageBox::StandardButton theirs;
};
const ButtonMap kButtons[] = {{qb::Button::Ok, QMessageBox::Ok},         {qb::Button::Cancel, QMessageBox::Cancel},
                              {qb::Button::Yes, QMessageBox::Yes},       {qb::Button::No, QMessageBox::No},
                              {qb::Button::Retry, QMessageBox::Retry},   {qb::Button::Ignore, QMessageBox::Ignore},
                              {qb::Button::Abort, QMessageBox::Abort}};
}  // namespace

void GuiUI::tell(const std::string& text, const std::string& title, qb::Icon icon) {
  QMessageBox box(boxIcon(icon), shown(title).trimmed(), messageText(text), QMessageBox::Ok, parent_);
  box.exec();
}

qb::Button GuiUI::ask(const std::string& text, const std::string& title, unsigned buttons, qb::Button def,
                      qb::Icon icon) {
  QMessageBox box(boxIcon(icon), shown(title).trimmed(), messageText(text), QMessageBox::NoButton, parent_);
  for (auto& b : kButtons)
    if (buttons & unsigned(b.ours)) {
      box.addButton(b.theirs);
      if (b.ours == def) box.setDefaultButton(b.theirs);
    }
  auto* esc = box.button(QMessageBox::Cancel);
  if (esc) box.setEscapeButton(esc);
  int r = box.exec();
  for (auto& b : kButtons)
    if (r == b.theirs) return b.ours;
  return def;
}

void GuiUI::beep() { QApplication::beep(); }

}  // namespace qb::app
