// `quillbox-cli scheduler`: the import scheduler without the desktop
// program. `run-due` runs every due task once and exits (for cron or a
// systemd timer); `daemon` checks for due tasks every 15 seconds until it is
// stopped; `tasks` and `batches` list, add, change, delete and run the tasks
// and predefined import procedures; `log` prints the task log; `settings`
// switches the scheduler off and on and sets its quiet period.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "cli/cli_session.h"
#include "cli/command.h"
#include "cli/db_lookup.h"
#include "cli/json_text.h"
#include "cli/progress.h"
#include "import/import_types.h"
#include "scheduler/scheduler.h"
#include "scheduler/task_processor.h"
#include "scheduler/task_store.h"
#include "text/datetime.h"

namespace qb::cli {
namespace {

using scheduler::BatchInfo;
using scheduler::Moment;
using scheduler::TaskInfo;

const char* kHelp =
    "quillbox-cli scheduler SUBCOMMAND ...\n"
    "\n"
    "Runs the import scheduler without the desktop program.\n"
    "\n"
    "  run-due                 run every task that is due now, one after the other, and exit\n"
    "  daemon [--interval S]   check for due tasks every S seconds (default 15) until stopped;\n"
    "                          SIGTERM or Ctrl-C stops the running step and ends the program\n"
    "  tasks                   list the tasks\n"
    "  tasks add OPTIONS       add a task (prints its identifier)\n"
    "  tasks change ID OPTIONS change a task\n"
    "  tasks delete ID         delete a task (its log stays)\n"
    "  tasks run ID            run a task now, unattended\n"
    "  tasks request ID        ask for a run of the task at the next check\n"
    "  batches                 list the predefined import procedures\n"
    "  batches add OPTIONS     add one (prints its identifier)\n"
    "  batches change ID OPTIONS\n"
    "  batches delete ID       delete one and remove it from every task\n"
    "  log [--json] [--task ID]  the task log with the steps of each run\n"
    "  settings [--off|--on] [--quiet HH:MM-HH:MM | --no-quiet]\n"
    "                          show or change the scheduler settings\n"
    "\n"
    "Task options:\n"
    "  --description TEXT      the task's description\n"
    "  --batches ID,ID...      the predefined import procedures it runs (in ascending order)\n"
    "  --next YYYY-MM-DD       the next run date   --at HH:MM  the run time\n"
    "  --weekdays sun,mon,...  repeat on these weekdays\n"
    "  --monthdays 1,15,31     repeat on these days of the month (at most five; a day\n"
    "                          a month does not have means its last day)\n"
    "  --no-repeat             no repeat days (the task runs once)\n"
    "  --merge --purge --count --index   the clean-up procedures (--no-cleanup: none)\n"
    "  --active / --inactive   whether the task takes part in scheduling\n"
    "\n"
    "Batch options:\n"
    "  --description TEXT      the batch's description\n"
    "  --format NAME|NUMBER    the source format (see `quillbox-cli import --list-formats`)\n"
    "  --dir DIR | --tree DIR | --file FILE   what to import\n"
    "  --forum-db NAME|ID      the forum database for files that do not name their forum\n"
    "  --mail-db NAME|ID       the mail database that receives mail\n"
    "  --kinds mail,forum,news the kinds of messages to import (default: all)\n"
    "  --reimport              store messages again that were imported before\n"
    "  --create-only           create the databases, but store no messages\n"
    "\n"
    "Exit codes: 0 done (also when nothing was due), 1 a task run ended with \"Error\",\n"
    "2 a bad command line or an unknown task or batch, 5 another program is\n"
    "processing tasks of this archive (nothing was done).";

constexpr int kExitLocked = 5;

volatile std::sig_atomic_t stopRequested = 0;
extern "C" void onStop(int) { stopRequested = 1; }

int bad(const std::string& text) {
  std::fprintf(stderr, "quillbox-cli scheduler: %s\n", text.c_str());
  return 2;
}

bool parseId(const std::string& s, uint32_t& id) {
  if (s.empty() || s.size() > 10 || s.find_first_not_of("0123456789") != std::string::npos) return false;
  unsigned long long v = std::stoull(s);
  if (v == 0 || v > 0xFFFFFFFFull) return false;
  id = static_cast<uint32_t>(v);
  return true;
}

std::vector<std::string> split(const std::string& s, char sep) {
  std::vector<std::string> out;
  std::size_t start = 0;
  while (start <= s.size()) {
    std::size_t at = s.find(sep, start);
    if (at == std::string::npos) at = s.size();
    out.push_back(s.substr(start, at - start));
    start = at + 1;
  }
  return out;
}

bool parseDate(const std::string& s, int32_t& day) {
  int y, m, d;
  char tail;
  if (std::sscanf(s.c_str(), "%d-%d-%d%c", &y, &m, &d, &tail) != 3) return false;
  day = text::dayNumber(y, m, d);
  return day != 0;
}

bool parseTime(const std::string& s, int32_t& t) {
  int h, m;
  char tail;
  if (std::sscanf(s.c_str(), "%d:%d%c", &h, &m, &tail) != 2) return false;
  t = text::timeValue(h, m);
  return t != 0;
}

const char* kWeekdays[7] = {"sun", "mon", "tue", "wed", "thu", "fri", "sat"};

std::string weekdayList(const TaskInfo& t) {
  std::string out;
  for (int i = 0; i < 7; ++i)
    if (t.days[static_cast<std::size_t>(i)]) out += (out.empty() ? "" : ",") + std::string(kWeekdays[i]);
  return out;
}

std::string monthdayList(const TaskInfo& t) {
  std::string out;
  for (uint8_t d : t.monthDays)
    if (d) out += (out.empty() ? "" : ",") + std::to_string(d);
  return out;
}

std::string idList(const std::vector<uint32_t>& ids) {
  std::string out;
  for (uint32_t i : ids) out += (out.empty() ? "" : ",") + std::to_string(i);
  return out;
}

std::string moment(Moment m) {
  if (m.date == 0) return "-";
  return text::formatDate(m.date) + (m.time ? " " + text::formatTime(m.time) : "");
}

// ---- tasks -------------------------------------------------------------------------

int taskOptions(std::vector<std::string>& args, std::size_t from, TaskInfo& t) {
  for (std::size_t i = from; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& into) { return optionValue(args, i, into); };
    std::string v;
    if (a == "--description") {
      if (!value(t.description)) return bad("--description needs a text");
    } else if (a == "--batches") {
      if (!value(v)) return bad("--batches needs identifiers");
      t.batches.clear();
      for (auto& p : split(v, ',')) {
        uint32_t id;
        if (!parseId(p, id)) return bad("--batches takes batch identifiers separated by commas");
        t.batches.push_back(id);
      }
    } else if (a == "--next") {
      if (!value(v) || !parseDate(v, t.runNext.date)) return bad("--next takes a date YYYY-MM-DD");
    } else if (a == "--at") {
      if (!value(v) || !parseTime(v, t.runNext.time)) return bad("--at takes a time HH:MM");
    } else if (a == "--weekdays") {
      if (!value(v)) return bad("--weekdays needs days");
      t.days = {};
      for (auto& p : split(v, ',')) {
        int found = -1;
        for (int d = 0; d < 7; ++d)
          if (p == kWeekdays[d]) found = d;
        if (found < 0) return bad("--weekdays takes sun, mon, tue, wed, thu, fri, sat separated by commas");
        t.days[static_cast<std::size_t>(found)] = 1;
      }
    } else if (a == "--monthdays") {
      if (!value(v)) return bad("--monthdays needs days");
      auto parts = split(v, ',');
      if (parts.size() > 5) return bad("--monthdays takes at most five days");
      t.monthDays = {};
      std::size_t n = 0;
      for (auto& p : parts) {
        uint32_t d;
        if (!parseId(p, d) || d > 31) return bad("--monthdays takes days 1 to 31 separated by commas");
        t.monthDays[n++] = static_cast<uint8_t>(d);
      }
    } else if (a == "--no-repeat") {
      t.days = {};
      t.monthDays = {};
    } else if (a == "--merge") {
      t.doMerge = true;
    } else if (a == "--purge") {
      t.doPurge = true;
    } else if (a == "--count") {
      t.doCount = true;
    } else if (a == "--index") {
      t.doIndex = true;
    } else if (a == "--no-cleanup") {
      t.doMerge = t.doPurge = t.doCount = t.doIndex = false;
    } else if (a == "--active") {
      t.active = true;
    } else if (a == "--inactive") {
      t.active = false;
    } else {
      return bad("unknown task option \"" + a + "\" (see `quillbox-cli help scheduler`)");
    }
  }
  if (t.runNext.date != 0 && t.runNext.time == 0) t.runNext.time = 1;  // midnight
  return 0;
}

bool batchesExist(store::Session& s, const TaskInfo& t) {
  for (uint32_t b : t.batches) {
    BatchInfo bi;
    if (!scheduler::readBatch(s, b, bi)) {
      bad("there is no batch " + std::to_string(b));
      return false;
    }
  }
  return true;
}

void printTasks(store::Session& s) {
  for (const TaskInfo& t : scheduler::listTasks(s)) {
    std::printf("%u  %s%s\n", t.id, terminalField(t.description).c_str(), t.active ? "" : "  (inactive)");
    std::printf("    next %s, last ran %s, last result %s\n", moment(t.runNext).c_str(), moment(t.lastRun).c_str(),
                scheduler::resultName(t.result));
    std::string rep = weekdayList(t);
    if (rep.empty() && !monthdayList(t).empty()) rep = "days " + monthdayList(t) + " of the month";
    std::printf("    repeat %s; batches %s", rep.empty() ? "never" : rep.c_str(),
                t.batches.empty() ? "none" : idList(t.batches).c_str());
    std::string c;
    if (t.doMerge) c += " merge";
    if (t.doPurge) c += " purge";
    if (t.doCount) c += " count";
    if (t.doIndex) c += " index";
    std::printf("; clean-up%s\n", c.empty() ? " none" : c.c_str());
    if (t.runNow.time) std::printf("    run requested %s\n", moment(t.runNow).c_str());
  }
}

// Runs one task unattended with a progress line; returns its result.
uint8_t runTask(store::Session& s, uint32_t id, bool quiet, bool* started = nullptr) {
  scheduler::TaskProcessor p(s, id);
  if (started) *started = false;
  if (!p.start()) {
    std::fprintf(stderr, "quillbox-cli scheduler: %s\n", terminalField(p.message()).c_str());
    return 2;
  }
  if (started) *started = true;
  ProgressBar bar(!quiet);
  while (p.step()) {
    if (stopRequested) p.interrupt();
    double f = 0;
    if (const import::ImportRun* r = p.importRun()) {
      const import::RunProgress& pr = r->progress();
      f = pr.storing ? (pr.storeTotal ? double(pr.storeDone) / double(pr.storeTotal) : 0) : pr.conversion;
    }
    bar.show(f, terminalField(p.caption()));
  }
  bar.done();
  TaskInfo t;
  scheduler::readTask(s, id, t);
  std::printf("Task %u \"%s\": %s (log %u)\n", id, terminalField(t.description).c_str(),
              scheduler::resultName(p.result()), p.logId());
  for (const std::string& f : p.failures()) std::printf("  %s\n", terminalField(f).c_str());
  return p.result();
}

int tasksCommand(const GlobalOptions& g, std::vector<std::string>& args) {
  auto cs = openArchive(g);
  if (!cs) return 2;
  store::Session& s = cs->session;
  const std::string sub = args.size() > 1 ? args[1] : "list";
  if (sub == "list") {
    printTasks(s);
    return 0;
  }
  if (sub == "add") {
    TaskInfo t;
    if (int r = taskOptions(args, 2, t)) return r;
    if (t.description.empty()) return bad("a task needs --description");
    if (!batchesExist(s, t)) return 2;
    if (!scheduler::saveTask(s, t)) return bad("the task could not be stored");
    std::printf("%u\n", t.id);
    return 0;
  }
  uint32_t id = 0;
  if (args.size() < 3 || !parseId(args[2], id)) return bad("tasks " + sub + " needs a task identifier");
  TaskInfo t;
  if (!scheduler::readTask(s, id, t)) return bad("there is no task " + args[2]);
  if (sub == "change") {
    if (int r = taskOptions(args, 3, t)) return r;
    if (!batchesExist(s, t)) return 2;
    return scheduler::saveTask(s, t) ? 0 : bad("the task could not be stored");
  }
  if (sub == "delete") return scheduler::deleteTask(s, id) ? 0 : bad("the task could not be deleted");
  if (sub == "request") return scheduler::requestRunNow(s, id, scheduler::now()) ? 0 : 2;
  if (sub == "run") {
    scheduler::TaskLock lock;
    if (!lock.tryAcquire(s)) {
      std::fprintf(stderr, "quillbox-cli scheduler: another program is processing tasks of this archive\n");
      return kExitLocked;
    }
    stopRequested = 0;
    std::signal(SIGTERM, onStop);
    std::signal(SIGINT, onStop);
    // A run on demand counts as a run-now request: a repeated task keeps
    // its next run date unless that has passed.
    if (!t.batches.empty()) scheduler::requestRunNow(s, id, scheduler::now());
    bool started = false;
    uint8_t r = runTask(s, id, g.quiet, &started);
    return !started ? 2 : r == 2 ? 1 : 0;
  }
  return bad("unknown tasks subcommand \"" + sub + "\"");
}

// ---- batches -----------------------------------------------------------------------

int batchOptions(store::Session& s, std::vector<std::string>& args, std::size_t from, BatchInfo& b) {
  for (std::size_t i = from; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& into) { return optionValue(args, i, into); };
    std::string v;
    if (a == "--description") {
      if (!value(b.description)) return bad("--description needs a text");
    } else if (a == "--format") {
      if (!value(v)) return bad("--format needs a name or number");
      const import::ImportType* t = import::findImportType(v);
      if (!t) return bad("there is no source format \"" + v + "\" (see `quillbox-cli import --list-formats`)");
      b.fileType = t->number();
    } else if (a == "--dir" || a == "--tree" || a == "--file") {
      if (!value(v)) return bad(a + " needs a path");
      b.selMethod = a == "--tree" ? 0 : a == "--dir" ? 1 : 2;
      b.path = std::filesystem::absolute(v).lexically_normal().string();
      if (b.path.size() > 100) return bad("the path is longer than 100 characters");
    } else if (a == "--forum-db" || a == "--mail-db") {
      if (!value(v)) return bad(a + " needs a database");
      uint32_t& target = a == "--forum-db" ? b.database : b.mailbox;
      if (v == "none") {
        target = 0;
        continue;
      }
      store::Forums f;
      if (!findDatabase(s, v, f)) return 2;
      if ((a == "--mail-db") != (f.TYPE == store::KindMail))
        return bad("\"" + v + "\" is not a " + (a == "--mail-db" ? "mail" : "forum or newsgroup") + " database");
      target = f.ID;
    } else if (a == "--kinds") {
      if (!value(v)) return bad("--kinds needs kinds");
      b.mail = b.forum = b.news = false;
      for (auto& k : split(v, ',')) {
        if (k == "mail") b.mail = true;
        else if (k == "forum") b.forum = true;
        else if (k == "news") b.news = true;
        else return bad("--kinds takes mail, forum and news, separated by commas");
      }
    } else if (a == "--reimport") {
      b.allowReimport = true;
    } else if (a == "--no-reimport") {
      b.allowReimport = false;
    } else if (a == "--create-only") {
      b.createOnly = true;
    } else if (a == "--import-all") {
      b.createOnly = false;
    } else {
      return bad("unknown batch option \"" + a + "\" (see `quillbox-cli help scheduler`)");
    }
  }
  return 0;
}

int batchesCommand(const GlobalOptions& g, std::vector<std::string>& args) {
  auto cs = openArchive(g);
  if (!cs) return 2;
  store::Session& s = cs->session;
  const std::string sub = args.size() > 1 ? args[1] : "list";
  if (sub == "list") {
    for (const BatchInfo& b : scheduler::listBatches(s)) {
      const import::ImportType* t = import::importTypeByNumber(b.fileType);
      std::printf("%u  %s\n    %s from %s%s (%s)", b.id, terminalField(b.description).c_str(), t ? t->name : "?",
                  terminalField(b.path).c_str(), b.selMethod == 0 ? " and below" : "",
                  b.createOnly ? "create databases only" : "all messages");
      if (b.database) std::printf("; forum database %u", b.database);
      if (b.mailbox) std::printf("; mail database %u", b.mailbox);
      std::printf("\n");
    }
    return 0;
  }
  if (sub == "add") {
    BatchInfo b;
    if (int r = batchOptions(s, args, 2, b)) return r;
    if (b.description.empty()) return bad("a batch needs --description");
    if (b.fileType == 0) return bad("a batch needs --format");
    if (b.path.empty()) return bad("a batch needs --dir, --tree or --file");
    std::string problem;
    if (!scheduler::createBatch(s, b, problem)) return bad(problem.empty() ? "the batch could not be stored" : problem);
    std::printf("%u\n", b.id);
    return 0;
  }
  uint32_t id = 0;
  if (args.size() < 3 || !parseId(args[2], id)) return bad("batches " + sub + " needs a batch identifier");
  BatchInfo b;
  if (!scheduler::readBatch(s, id, b)) return bad("there is no batch " + args[2]);
  if (sub == "change") {
    if (int r = batchOptions(s, args, 3, b)) return r;
    return scheduler::saveBatch(s, b) ? 0 : bad("the batch could not be stored");
  }
  if (sub == "delete") return scheduler::deleteBatch(s, id) ? 0 : bad("the batch could not be deleted");
  return bad("unknown batches subcommand \"" + sub + "\"");
}

// ---- log -------------------------------------------------------------------------------

int logCommand(const GlobalOptions& g, std::vector<std::string>& args) {
  bool json = false;
  uint32_t task = 0;
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--json") json = true;
    else if (args[i] == "--task" && i + 1 < args.size() && parseId(args[i + 1], task)) ++i;
    else return bad("log takes --json and --task ID");
  }
  auto cs = openArchive(g);
  if (!cs) return 2;
  auto runs = scheduler::readTaskLog(cs->session, task);
  if (json) {
    std::printf("[");
    bool firstRun = true;
    for (const auto& r : runs) {
      std::printf("%s\n  {\"id\": %u, \"task\": %u, \"description\": %s, \"started\": %s, \"finished\": %s, "
                  "\"result\": %s, \"duration\": %s, \"items\": [",
                  firstRun ? "" : ",", r.id, r.taskId, jsonString(r.task).c_str(),
                  jsonString(moment(r.started)).c_str(), jsonString(moment(r.finished)).c_str(),
                  jsonString(scheduler::resultName(r.result)).c_str(),
                  jsonString(scheduler::durationText(r.started, r.finished)).c_str());
      firstRun = false;
      bool firstItem = true;
      for (const auto& it : r.items) {
        std::printf("%s\n    {\"type\": %u, \"kind\": %s, \"detail\": %s, \"batch\": %u, \"started\": %s, "
                    "\"finished\": %s, \"result\": %s, \"duration\": %s}",
                    firstItem ? "" : ",", it.type, jsonString(scheduler::stepKindName(it.type)).c_str(),
                    jsonString(it.detail).c_str(), it.batchId, jsonString(moment(it.started)).c_str(),
                    jsonString(moment(it.finished)).c_str(), jsonString(scheduler::resultName(it.result)).c_str(),
                    jsonString(scheduler::durationText(it.started, it.finished)).c_str());
        firstItem = false;
      }
      std::printf("]}");
    }
    std::printf("%s]\n", runs.empty() ? "" : "\n");
    return 0;
  }
  for (const auto& r : runs) {
    std::printf("%u  %s  %s  %s  %s\n", r.id, moment(r.started).c_str(), scheduler::resultName(r.result),
                scheduler::durationText(r.started, r.finished).c_str(), terminalField(r.task).c_str());
    for (const auto& it : r.items)
      std::printf("      %-7s  %-6s  %-8s  %s\n", scheduler::stepKindName(it.type), scheduler::resultName(it.result),
                  scheduler::durationText(it.started, it.finished).c_str(), terminalField(it.detail).c_str());
  }
  return 0;
}

// ---- settings ------------------------------------------------------------------------

int settingsCommand(const GlobalOptions& g, std::vector<std::string>& args) {
  auto cs = openArchive(g);
  if (!cs) return 2;
  scheduler::SchedulerSettings v = scheduler::readSchedulerSettings(cs->session);
  bool change = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--off") v.off = true;
    else if (a == "--on") v.off = false;
    else if (a == "--no-quiet") v.quietFrom = v.quietTo = 0;
    else if (a == "--quiet" && i + 1 < args.size()) {
      auto parts = split(args[++i], '-');
      if (parts.size() != 2 || !parseTime(parts[0], v.quietFrom) || !parseTime(parts[1], v.quietTo))
        return bad("--quiet takes HH:MM-HH:MM");
    } else {
      return bad("settings takes --off, --on, --quiet HH:MM-HH:MM and --no-quiet");
    }
    change = true;
  }
  if (change && !scheduler::writeSchedulerSettings(cs->session, v)) return bad("the settings could not be written");
  std::printf("Scheduler: %s\n", v.off ? "deactivated" : "active");
  if (v.quietFrom && v.quietTo && v.quietFrom != v.quietTo)
    std::printf("Quiet period: %s to %s\n", text::formatTime(v.quietFrom).c_str(), text::formatTime(v.quietTo).c_str());
  else
    std::printf("Quiet period: none\n");
  return 0;
}

// ---- run-due and daemon ----------------------------------------------------------------

// Runs the due tasks once each. Returns the worst result, or -1 when the
// task lock is held elsewhere.
int runDue(store::Session& s, bool quiet, int& ran) {
  ran = 0;
  scheduler::TaskLock lock;
  if (!lock.tryAcquire(s)) return -1;
  int worst = 0;
  std::set<uint32_t> done;
  while (!stopRequested) {
    scheduler::DueCheck due = scheduler::checkDueTasks(s, scheduler::now());
    uint32_t next = 0;
    for (uint32_t id : due.tasks)
      if (!done.count(id)) {
        next = id;
        break;
      }
    if (next == 0) break;
    done.insert(next);
    uint8_t r = runTask(s, next, quiet);
    ++ran;
    if (r > worst) worst = r;
  }
  return worst;
}

int runDueCommand(const GlobalOptions& g, std::vector<std::string>&) {
  auto cs = openArchive(g);
  if (!cs) return 2;
  stopRequested = 0;
  std::signal(SIGTERM, onStop);
  std::signal(SIGINT, onStop);
  int ran = 0;
  int worst = runDue(cs->session, g.quiet, ran);
  if (worst < 0) {
    std::fprintf(stderr, "quillbox-cli scheduler: another program is processing tasks of this archive\n");
    return kExitLocked;
  }
  if (ran == 0 && !g.quiet) std::printf("No task is due.\n");
  return worst == 2 ? 1 : 0;
}

int daemonCommand(const GlobalOptions& g, std::vector<std::string>& args) {
  int interval = 15;
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--interval" && i + 1 < args.size()) {
      try {
        interval = std::stoi(args[++i]);
      } catch (...) {
        interval = 0;
      }
      if (interval < 1) return bad("--interval takes seconds (1 or more)");
    } else {
      return bad("daemon takes --interval SECONDS");
    }
  }
  auto cs = openArchive(g);
  if (!cs) return 2;
  stopRequested = 0;
  std::signal(SIGTERM, onStop);
  std::signal(SIGINT, onStop);
  int worst = 0;
  while (!stopRequested) {
    int ran = 0;
    int r = runDue(cs->session, true, ran);
    if (r > worst) worst = r;
    std::fflush(stdout);
    for (int waited = 0; waited < interval * 10 && !stopRequested; ++waited)
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return 0;
}

int runScheduler(const GlobalOptions& g, std::vector<std::string>& args) {
  if (args.empty()) return bad("give a subcommand (see `quillbox-cli help scheduler`)");
  const std::string& sub = args[0];
  if (sub == "run-due") return runDueCommand(g, args);
  if (sub == "daemon") return daemonCommand(g, args);
  if (sub == "tasks") return tasksCommand(g, args);
  if (sub == "batches") return batchesCommand(g, args);
  if (sub == "log") return logCommand(g, args);
  if (sub == "settings") return settingsCommand(g, args);
  return bad("unknown subcommand \"" + sub + "\" (see `quillbox-cli help scheduler`)");
}

CommandRegistration reg({"scheduler", "scheduled imports: run due tasks, manage tasks and batches, the task log",
                         kHelp, runScheduler});

}  // namespace
}  // namespace qb::cli
