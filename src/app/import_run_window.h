#pragma once
// The import processing window: shows an import run's progress (what is
// read, where it is stored, a bar, the run's counts and the databases that
// receive messages) while a timer drives ImportRun::step(), so the frame
// stays responsive. "Cancel" stops the run at its next step; during the
// storing phase the run first asks whether to quit. When the run has ended
// the user is told its result, the window closes and the frame is asked to
// re-evaluate the active database (its browse then shows the new messages).

#include <QTimer>
#include <memory>

#include "app/tool_window.h"
#include "import/import_run.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTreeWidget;

namespace qb::app {

// The saved place of the import processing window.
constexpr int kPlaceImportRun = 23;

class ImportRunWindow : public ToolWindow {
  Q_OBJECT
 public:
  // Opens the window with a prepared run and starts driving it.
  static ImportRunWindow* open(MainFrame& frame, std::unique_ptr<import::ImportRun> run);
  ImportRunWindow(MainFrame& frame, std::unique_ptr<import::ImportRun> run);
  ~ImportRunWindow() override;

  bool running() const { return run_ && !run_->finished(); }
  const import::ImportRun* run() const { return run_.get(); }
  // As the "Cancel" button.
  void cancel();
  // One tick of the timer (tests drive the run with it).
  // budgetMs: how long the run may step in this tick (0: one step).
  void tick(int budgetMs = 40);
  // What the window shows.
  QString importingFrom() const;
  QString importingTo() const;
  QString statusText() const;
  QString countText(int which) const;  // 0 before, 1 work records, 2 imported, 3 duplicates
  int barValue() const;
  int barMaximum() const;

 protected:
  void closing() override;

 private:
  void show();
  void finish();
  std::unique_ptr<import::ImportRun> run_;
  QTimer timer_;
  QLabel* from_ = nullptr;
  QLabel* to_ = nullptr;
  QLabel* status_ = nullptr;
  QLabel* counts_[4] = {};
  QProgressBar* bar_ = nullptr;
  QTreeWidget* databases_ = nullptr;
  QPushButton* cancel_ = nullptr;
  bool finished_ = false;
};

}  // namespace qb::app
