#pragma once
// "PurgeMess": purges or counts the active database (the purge mode when
// the window is requested with GlobalRequest 1, the count mode otherwise),
// with the figures of the database, a progress bar with the step's caption,
// the age limit of the purge, and the start and end buttons. The engine's
// run is driven by a timer; unattended task processing starts it at once.

#include <memory>

#include "app/tool_window.h"
#include "maintenance/purge_run.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace qb::app {

class PurgeWindow : public ToolWindow {
  Q_OBJECT
 public:
  static ToolWindow* open(MainFrame& frame);
  explicit PurgeWindow(MainFrame& frame);
  ~PurgeWindow() override;

  bool purging() const { return purge_; }
  bool running() const { return run_ && run_->running(); }
  // The start button: false when the run did not start (the question about
  // a database marked for deletion answered Cancel, or a failure).
  bool start();
  // The end button.
  void endSession();
  // The age-limit entry: the check box and the weeks (empty = 999).
  void setAgeLimit(bool on, const QString& weeks);
  int ageWeeks() const;
  const maintenance::PurgeRun* run() const { return run_.get(); }
  // The task processing's report for unattended runs (not owned); given
  // before the run starts.
  void setTaskReport(maintenance::TaskReport* report) { report_ = report; }
  QString figure(int row) const;
  QString label(int row) const;

 protected:
  void closing() override;

 private:
  void tick();
  void showFigures();
  void finished();

  bool purge_ = true;
  std::unique_ptr<maintenance::PurgeRun> run_;
  maintenance::TaskReport* report_ = nullptr;
  QLabel* labels_[3] = {};
  QLabel* figures_[3] = {};
  QCheckBox* age_ = nullptr;
  QLineEdit* weeks_ = nullptr;
  QLabel* caption_ = nullptr;
  QProgressBar* bar_ = nullptr;
  QPushButton* start_ = nullptr;
  QPushButton* end_ = nullptr;
};

}  // namespace qb::app
