#pragma once
// A one-line progress bar on the terminal for long commands. Nothing is
// drawn when stderr is not a terminal or --quiet was given, so scripts and
// logs get only the results.

#include <chrono>
#include <string>

namespace qb::cli {

class ProgressBar {
 public:
  explicit ProgressBar(bool wanted);
  ~ProgressBar() { done(); }

  // Draws the bar at `fraction` (0..1) with a label; redrawn at most ten
  // times a second.
  void show(double fraction, const std::string& label);
  // Removes the bar from the terminal.
  void done();
  bool active() const { return on_; }

 private:
  bool on_;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point last_{};
};

}  // namespace qb::cli
