#pragma once
// The thread tree " Thread Tree": the thread of the browse's highlighted
// message as a tree of replies. It follows the browse through the stored
// context (rebuilt only when the thread changes), and a double-click makes
// a line's message the browse's current message.

#include <QTreeWidget>
#include <vector>

#include "app/tool_window.h"
#include "archive/browse/browse_context.h"
#include "archive/browse/browse_thread.h"

namespace qb::app {

class ThreadTreeWindow : public ToolWindow {
  Q_OBJECT
 public:
  static ToolWindow* open(MainFrame& frame);
  explicit ThreadTreeWindow(MainFrame& frame);

  // Reads the browse's context; rebuilds when the thread changed.
  void follow();
  QTreeWidget* tree() const { return tree_; }
  uint32_t threadNumber() const { return thread_; }
  int rebuilds() const { return rebuilds_; }
  const std::vector<store::TreeLine>& lines() const { return lines_; }
  // A double-click on the line of message `id`.
  void activate(uint32_t id);

 protected:
  void notify(int code, int arg) override;
  void closing() override;
  QRect firstPlace(const QRect& area) const override;
  bool eventFilter(QObject* o, QEvent* e) override;

 private:
  void rebuild(uint32_t threadNumber);
  void highlight(uint32_t id);
  QTreeWidget* tree_;
  store::BrowseContext last_;
  bool haveLast_ = false;
  uint32_t thread_ = 0;
  int rebuilds_ = 0;
  int labelForm_ = 1, datePicture_ = 2;
  std::vector<store::TreeLine> lines_;
  std::vector<QTreeWidgetItem*> items_;
};

}  // namespace qb::app
