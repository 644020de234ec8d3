#pragma once
// The help pages shipped with the program, opened by topic name.

#include <QTextBrowser>

#include "app/tool_window.h"

namespace qb::app {

class HelpWindow : public ToolWindow {
  Q_OBJECT
 public:
  static ToolWindow* open(MainFrame& frame);
  explicit HelpWindow(MainFrame& frame);
  void showTopic(const QString& topic);

 private:
  QTextBrowser* view_;
};

// The HTML of the help pages (one page with an anchor per topic).
QString helpPages();

}  // namespace qb::app
