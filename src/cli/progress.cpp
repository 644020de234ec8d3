#include "cli/progress.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace qb::cli {

ProgressBar::ProgressBar(bool wanted) : on_(wanted && ::isatty(STDERR_FILENO)) {}

void ProgressBar::show(double fraction, const std::string& label) {
  if (!on_) return;
  auto now = std::chrono::steady_clock::now();
  if (drawn_ && now - last_ < std::chrono::milliseconds(100)) return;
  last_ = now;
  constexpr int kWidth = 30;
  fraction = std::clamp(fraction, 0.0, 1.0);
  int filled = static_cast<int>(fraction * kWidth + 0.5);
  std::string bar(static_cast<std::size_t>(filled), '#');
  bar.append(static_cast<std::size_t>(kWidth - filled), '-');
  // The label is cut so that the line fits an 80-column terminal.
  std::string text = label.size() > 40 ? "..." + label.substr(label.size() - 37) : label;
  std::fprintf(stderr, "\r[%s] %3d%% %s\x1b[K\r", bar.c_str(), static_cast<int>(fraction * 100), text.c_str());
  std::fflush(stderr);
  drawn_ = true;
}

void ProgressBar::done() {
  if (!on_ || !drawn_) return;
  std::fprintf(stderr, "\r\x1b[K");
  std::fflush(stderr);
  drawn_ = false;
}

}  // namespace qb::cli
