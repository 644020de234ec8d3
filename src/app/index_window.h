#pragma once
// "IndexWords": builds the word index of the active database with a
// progress bar and a Cancel button; the index builder's step() is driven by
// a timer, so the frame stays responsive (and refuses to close meanwhile).

#include <memory>

#include "app/tool_window.h"
#include "index/index_builder.h"

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace qb::app {

class IndexWindow : public ToolWindow {
  Q_OBJECT
 public:
  static ToolWindow* open(MainFrame& frame);
  explicit IndexWindow(MainFrame& frame);
  ~IndexWindow() override;
  // Starts a run: 0 partial, 1 full, 2 recount.
  bool startRun(int mode);
  bool running() const { return builder_ != nullptr; }
  const QString& result() const { return result_; }
  void cancel();

 protected:
  void closing() override;

 private:
  void tick();
  std::unique_ptr<index::IndexBuilder> builder_;
  QComboBox* mode_ = nullptr;
  QProgressBar* bar_ = nullptr;
  QLabel* caption_ = nullptr;
  QPushButton* start_ = nullptr;
  QPushButton* cancel_ = nullptr;
  QString result_;
};

}  // namespace qb::app
