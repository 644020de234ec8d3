#pragma once
// "BrowsePerson": the forum members, mail partners or newsgroup
// participants of the active database, by name or by address, with what
// each sent and received. A right click sets a person's keep status (the
// purge removes a mail partner marked delete with its mails, except those
// marked keep); "Merge duplicates" opens the "Duplicates" window.

#include <vector>

#include "app/tool_window.h"
#include "archive/browse/browse_persons.h"

class QMenu;
class QTabBar;
class QTreeWidget;

namespace qb::app {

class PersonsWindow : public ToolWindow {
  Q_OBJECT
 public:
  static ToolWindow* open(MainFrame& frame);
  explicit PersonsWindow(MainFrame& frame);
  ~PersonsWindow() override;

  // What the window holds (also for tests).
  int rowCount() const;
  QString cell(int row, int column) const;
  uint32_t personAt(int row) const;
  void setOrder(store::PersonOrder order);
  void selectRow(int row);
  // Sets the status of the highlighted person (0 normal, 1 keep, 2 delete);
  // false when the write failed (the row stays as it was).
  bool setStatus(int status);
  QStringList statusChoices() const;
  void reload();

 protected:
  void notify(int code, int arg) override;

 private:
  void fill();
  void popup(const QPoint& at);
  QTabBar* tabs_ = nullptr;
  QTreeWidget* list_ = nullptr;
  std::vector<store::PersonRow> rows_;
  store::PersonOrder order_ = store::PersonOrder::ByName;
};

}  // namespace qb::app
