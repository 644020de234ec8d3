// browse_bench: the mail browse of a large archive, as the desktop program
// shows it (offscreen), against a baseline measured in the same run.
//
//   browse_bench --home DIR [--rounds N] [--unmapped]
//
// DIR is an archive whose first mail database is large, made for instance
// with `mail_import_bench --count 198000 --keep DIR` (gen_mailbox and the
// import of its mailbox); the archive is in DIR/home. The program opens the
// frame on it as the desktop program does, then times on the window's
// thread:
//   - locating a date in the date view (the entry's Return), for N dates
//     spread over the archive's years, each with the list, the text of the
//     highlighted mail and the scroll bar brought up to date;
//   - switching between the eight views (a tab click), N rounds.
// The baseline is the engine reading one page of 50 rows of the date view
// (the least any change of the list costs). Prints the mean and the
// slowest time of each, and their ratio to the baseline. --unmapped reads
// the files without the memory mapping the desktop program uses, to show
// what the mapping gives.
#include <QApplication>
#include <QTableView>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/browse_window.h"
#include "app/main_frame.h"
#include "app/startup.h"
#include "archive/browse/browse_files.h"
#include "archive/browse/browse_view.h"
#include "archive/session.h"
#include "text/datetime.h"

using namespace qb;

namespace {

struct QuietUI : UserInterface {
  void tell(const std::string&, const std::string&, Icon) override {}
  Button ask(const std::string&, const std::string&, unsigned, Button def, Icon) override { return def; }
};

using Clock = std::chrono::steady_clock;
double msSince(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

void settle() {
  for (int i = 0; i < 4; ++i) QCoreApplication::processEvents();
}

struct Figures {
  double sum = 0, worst = 0;
  int n = 0;
  void add(double ms) {
    sum += ms;
    worst = std::max(worst, ms);
    ++n;
  }
  double mean() const { return n ? sum / n : 0; }
};

}  // namespace

int main(int argc, char** argv) {
  std::string home;
  int rounds = 20;
  bool unmapped = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--home" && i + 1 < argc) home = argv[++i];
    else if (a == "--rounds" && i + 1 < argc) rounds = std::max(1, std::atoi(argv[++i]));
    else if (a == "--unmapped") unmapped = true;
    else {
      std::fprintf(stderr, "usage: browse_bench --home DIR [--rounds N] [--unmapped]\n");
      return 2;
    }
  }
  if (home.empty()) {
    std::fprintf(stderr, "browse_bench: give an archive with --home (made by mail_import_bench --keep DIR: DIR/home)\n");
    return 2;
  }
  if (std::filesystem::is_directory(home + "/home")) home += "/home";
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  QuietUI ui;
  store::Session s(ui);
  const int result = app::runStartupChecks(s, home, [](store::Session&) { return false; });
  if (result == app::StartStop) {
    std::fprintf(stderr, "browse_bench: no archive at %s\n", home.c_str());
    return 2;
  }
  if (unmapped) store::KeyedFile::setMappedReads(0);
  app::MainFrame frame(s, result);
  frame.resize(1200, 800);
  frame.show();
  settle();
  auto* browse = qobject_cast<app::BrowseWindow*>(frame.registry().get("BrowseMail"));
  if (!browse) {
    std::fprintf(stderr, "browse_bench: the archive's active database is no mail database\n");
    return 2;
  }
  browse->setView(1);
  settle();
  const uint32_t count = browse->viewCount();
  std::printf("browse_bench: %u mails in \"%s\"\n", count, s.Description.c_str());

  // The newest and the oldest date of the view (newest first).
  browse->navigate(app::NavLast);
  const int32_t oldest = std::get<store::MailRow>(browse->current()->data).DATE;
  browse->navigate(app::NavFirst);
  const int32_t newest = std::get<store::MailRow>(browse->current()->data).DATE;

  // Baseline: one page of the date view read by the engine.
  Figures base;
  {
    store::BrowseState st;
    st.mail = true;
    st.setView(1);
    store::RowOptions o;
    store::openBrowseFiles(s, store::BrowseFiles::Mail);
    for (int r = 0; r < rounds; ++r) {
      store::BrowseQuery q(s, st, o);
      const int32_t day = oldest + static_cast<int32_t>(int64_t(newest - oldest) * r / rounds);
      auto t = Clock::now();
      int64_t at = 0;
      auto rows = q.atDate(day, 50, &at);
      base.add(msSince(t));
      if (rows.empty()) return 2;
    }
    store::closeBrowseFiles(s, store::BrowseFiles::Mail);
  }

  Figures locate, tabs;
  for (int r = 0; r < rounds; ++r) {
    const int32_t day = oldest + static_cast<int32_t>(int64_t(newest - oldest) * (r + 0.5) / rounds);
    int y = 0, m = 0, d = 0;
    text::calendarDate(day, y, m, d);
    const QString entry = QString::asprintf("%04d-%02d-%02d", y, m, d);
    auto t = Clock::now();
    browse->locate(entry);
    settle();
    locate.add(msSince(t));
  }
  for (int r = 0; r < rounds; ++r) {
    for (int v : {2, 3, 4, 5, 1}) {
      auto t = Clock::now();
      browse->setView(v);
      settle();
      tabs.add(msSince(t));
    }
  }
  std::printf("  baseline, engine page of 50 rows at a date: mean %.2f ms\n", base.mean());
  std::printf("  locate a date:   mean %.2f ms, slowest %.2f ms, ratio to the baseline %.1f\n", locate.mean(),
              locate.worst, locate.mean() / std::max(base.mean(), 1e-3));
  std::printf("  switch the view: mean %.2f ms, slowest %.2f ms, ratio to the baseline %.1f\n", tabs.mean(),
              tabs.worst, tabs.mean() / std::max(base.mean(), 1e-3));
  frame.registry().destroyGroup(app::kFindGroup);
  settle();
  frame.registry().destroyGroup(app::kNotToolsGroup);
  settle();
  return 0;
}
