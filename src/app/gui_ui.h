#pragma once
// The engine's user interface in the desktop program: message boxes.

#include <QWidget>

#include "archive/messages.h"

namespace qb::app {

class GuiUI : public qb::UserInterface {
 public:
  void tell(const std::string& text, const std::string& title, qb::Icon icon) override;
  qb::Button ask(const std::string& text, const std::string& title, unsigned buttons, qb::Button def,
                 qb::Icon icon) override;
  void beep() override;
  void setParent(QWidget* w) { parent_ = w; }

 private:
  QWidget* parent_ = nullptr;
};

// An archive text for display (UTF-8 when valid, else Windows-1252).
QString shown(const std::string& archiveText);
// A message text: "\r\n" and "|" line breaks become new lines.
QString messageText(const std::string& text);

}  // namespace qb::app
