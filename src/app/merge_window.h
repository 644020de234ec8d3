#pragma once
// "Duplicates": merges the persons of the active database that share an
// address (maintenance/merge_persons.h). The window shows the persons
// before the run, those removed for having no message, the duplicates
// merged and the persons that remain; a timer drives the merge step by
// step, so the frame stays responsive. Stopping a run asks first.

#include <memory>

#include "app/tool_window.h"
#include "maintenance/merge_persons.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace qb::app {

class MergeWindow : public ToolWindow {
  Q_OBJECT
 public:
  static ToolWindow* open(MainFrame& frame);
  explicit MergeWindow(MainFrame& frame);
  ~MergeWindow() override;

  // What the window holds (also for tests).
  bool start();
  bool running() const { return run_ != nullptr; }
  // The four figures: before, without messages, merged, remaining.
  QString figure(int row) const;
  QString figureLabel(int row) const;
  QString caption() const;
  QString header() const;
  // "End this session": during a run asks whether to stop; true when the
  // window closes.
  bool end();

 protected:
  void closeEvent(QCloseEvent* e) override;
  void closing() override;

 private:
  void tick();
  void showFigures();
  void finished();
  bool confirmStop();
  std::unique_ptr<maintenance::MergePersons> run_;
  QLabel* header_ = nullptr;
  QLabel* labels_[4] = {};
  QLabel* figures_[4] = {};
  QLabel* caption_ = nullptr;
  QProgressBar* bar_ = nullptr;
  QPushButton* start_ = nullptr;
  QPushButton* end_ = nullptr;
  bool stopConfirmed_ = false;
};

}  // namespace qb::app
