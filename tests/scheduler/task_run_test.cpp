// Tasks run unattended end to end on the sample files: the batches as
// import runs, the clean-up steps on the databases that received messages,
// the task log with its items and combined results, failures that do not
// stop the task, a run broken off by the user, and two programs racing for
// one due task.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <map>
#include <string>
#include <vector>

#include "archive/databases.h"
#include "archive/file_table.h"
#include "archive/record_access.h"
#include "import/import_types.h"
#include "scheduler/scheduler.h"
#include "scheduler/task_processor.h"
#include "scheduler/task_records.h"
#include "scheduler/task_store.h"
#include "support/archive_consistency.h"
#include "support/cli_run.h"
#include "support/temp_archive.h"
#include "text/datetime.h"

extern char** environ;

using namespace qb::scheduler;
using qb::test::TempArchive;

namespace {

const std::string kSamples = std::string(QB_SOURCE_DIR) + "/samples/";

uint32_t addBatch(qb::store::Session& s, const std::string& desc, const std::string& format, const std::string& dir,
                  uint32_t mailbox = 0) {
  BatchInfo b;
  b.description = desc;
  b.fileType = qb::import::findImportType(format)->number();
  b.path = kSamples + dir;
  b.selMethod = 1;
  b.mailbox = mailbox;
  std::string problem;
  EXPECT_TRUE(createBatch(s, b, problem)) << problem;
  return b.id;
}

// A task asked to run at once (no repeat days).
uint32_t addTask(qb::store::Session& s, const std::vector<uint32_t>& batches, bool count, bool index) {
  TaskInfo t;
  t.description = "Sample task";
  t.batches = batches;
  t.doCount = count;
  t.doIndex = index;
  t.runNow = now();
  EXPECT_TRUE(saveTask(s, t));
  return t.id;
}

uint8_t run(qb::store::Session& s, uint32_t task, const CleanUpRunners& runners = defaultCleanUpRunners()) {
  TaskProcessor p(s, task, runners);
  EXPECT_TRUE(p.start()) << p.message();
  EXPECT_EQ(s.DoTask, 2);
  int steps = 0;
  while (p.step() && ++steps < 1000000) {
  }
  EXPECT_TRUE(p.finished());
  return p.result();
}

// The log items of the single run as "Kind/detail/result".
std::vector<std::string> itemsOf(const LogRun& r) {
  std::vector<std::string> out;
  for (const auto& i : r.items) out.push_back(std::string(stepKindName(i.type)) + "/" + i.detail + "/" + resultName(i.result));
  return out;
}

}  // namespace

TEST(TaskRun, TwoBatchesThenCountAndIndexOnEveryDatabaseThatReceivedMessages) {
  TempArchive a;
  auto& s = a.session();
  uint32_t b1 = addBatch(s, "Forum captures", "TAPCIS 5.x", "captures/tapcis5");
  uint32_t b2 = addBatch(s, "News spool", "Unix News", "news/unix");
  uint32_t task = addTask(s, {b1, b2}, true, true);
  DueCheck due = checkDueTasks(s, now());
  ASSERT_EQ(due.gate, Gate::Open);
  ASSERT_EQ(due.tasks, std::vector<uint32_t>{task});

  EXPECT_EQ(run(s, task), 1);
  EXPECT_EQ(s.DoTask, 0);

  auto log = readTaskLog(s);
  ASSERT_EQ(log.size(), 1u);
  const LogRun& r = log[0];
  EXPECT_EQ(r.id, 1u);
  EXPECT_EQ(r.taskId, task);
  EXPECT_EQ(r.result, 1);
  EXPECT_NE(r.finished.date, 0);
  std::vector<std::string> items = itemsOf(r);
  ASSERT_GE(items.size(), 4u);
  EXPECT_EQ(items[0], "Import/Forum captures/OK");
  EXPECT_EQ(items[1], "Import/News spool/OK");
  // Every further item is a count or an indexing of one database, one pair per database.
  std::map<std::string, int> cleanUps;
  for (std::size_t i = 2; i < items.size(); ++i) ++cleanUps[items[i]];
  EXPECT_EQ(cleanUps.size(), 2u);
  EXPECT_GE(cleanUps["CleanUp/Counting messages/OK"], 2);
  EXPECT_EQ(cleanUps["CleanUp/Counting messages/OK"], cleanUps["CleanUp/Word indexing/OK"]);

  // The run-now request is gone; the task without repeat days ran at once
  // and has no next date, so it is switched off; it is not due again.
  TaskInfo t;
  ASSERT_TRUE(readTask(s, task, t));
  EXPECT_EQ(t.runNow.time, 0);
  EXPECT_EQ(t.lastRun.date, r.started.date);
  EXPECT_EQ(t.result, 1);
  EXPECT_FALSE(t.active);
  EXPECT_TRUE(checkDueTasks(s, now()).tasks.empty());

  // A second run gets the next log identifier.
  ASSERT_TRUE(requestRunNow(s, task, now()));
  t.active = true;
  t.runNow = now();
  ASSERT_TRUE(saveTask(s, t));
  run(s, task);
  log = readTaskLog(s);
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[1].id, 2u);
}

// Merge, purge and indexing through the maintenance and index engines: every
// step succeeds and each database is consistent afterwards (the purge
// recounts, so no count step is run).
TEST(TaskRun, MergePurgeAndIndexLeaveEveryDatabaseConsistent) {
  TempArchive a;
  auto& s = a.session();
  uint32_t b1 = addBatch(s, "Forum captures", "TAPCIS 5.x", "captures/tapcis5");
  uint32_t b2 = addBatch(s, "News spool", "Unix News", "news/unix");
  TaskInfo t;
  t.description = "Tidy task";
  t.batches = {b1, b2};
  t.doMerge = t.doPurge = t.doIndex = true;
  t.runNow = now();
  ASSERT_TRUE(saveTask(s, t));
  EXPECT_EQ(run(s, t.id), 1);

  auto log = readTaskLog(s);
  ASSERT_EQ(log.size(), 1u);
  std::map<std::string, int> cleanUps;
  for (const std::string& item : itemsOf(log[0]))
    if (item.rfind("CleanUp/", 0) == 0) ++cleanUps[item];
  EXPECT_GE(cleanUps["CleanUp/Merging Duplicate Persons/OK"], 2);
  EXPECT_EQ(cleanUps["CleanUp/Merging Duplicate Persons/OK"], cleanUps["CleanUp/Purging messages/OK"]);
  EXPECT_EQ(cleanUps["CleanUp/Purging messages/OK"], cleanUps["CleanUp/Word indexing/OK"]);
  EXPECT_EQ(cleanUps.count("CleanUp/Counting messages/OK"), 0u);
  for (const auto& entry : cleanUps) EXPECT_EQ(entry.first.find("/Error"), std::string::npos) << entry.first;

  auto problems = qb::test::checkArchive(a.home());
  EXPECT_TRUE(problems.empty()) << problems.front();
}

TEST(TaskRun, CleanUpListFollowsTheTasksChoicesThroughTheRunnerTable) {
  TempArchive a;
  auto& s = a.session();
  uint32_t b1 = addBatch(s, "Forum captures", "TAPCIS 5.x", "captures/tapcis5");
  TaskInfo t;
  t.description = "All clean-ups";
  t.batches = {b1};
  t.doMerge = t.doPurge = t.doCount = t.doIndex = true;
  t.runNow = now();
  ASSERT_TRUE(saveTask(s, t));

  // Stand-ins that record what they are asked to do; the purge fails.
  std::vector<std::pair<uint32_t, uint32_t>> calls;
  CleanUpRunners runners;
  for (uint32_t type : {uint32_t(StepMerge), uint32_t(StepPurge), uint32_t(StepCount), uint32_t(StepIndex)})
    runners.byType[type] = [&calls, type](qb::store::Session&, uint32_t db) {
      return oneStepJob([&calls, type, db](std::string& why) {
        calls.emplace_back(type, db);
        why = "stand-in failure";
        return type != StepPurge;
      });
    };
  EXPECT_EQ(run(s, t.id, runners), 2);
  ASSERT_FALSE(calls.empty());
  // Per database: merge, purge, index; no count, since the purge counts.
  ASSERT_EQ(calls.size() % 3, 0u);
  for (std::size_t i = 0; i < calls.size(); i += 3) {
    EXPECT_EQ(calls[i].first, StepMerge);
    EXPECT_EQ(calls[i + 1].first, StepPurge);
    EXPECT_EQ(calls[i + 2].first, StepIndex);
    EXPECT_EQ(calls[i].second, calls[i + 2].second);
  }
  auto log = readTaskLog(s);
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].result, 2);
  EXPECT_EQ(log[0].items[0].result, 1);  // the import itself went well
  TaskInfo after;
  ASSERT_TRUE(readTask(s, t.id, after));
  EXPECT_EQ(after.result, 1);  // the task's result is that of its batches
}

TEST(TaskRun, BatchWhoseTargetDatabaseWasDeletedFailsAndTheTaskGoesOn) {
  TempArchive a;
  auto& s = a.session();
  uint32_t gone = a.addDatabase(qb::store::KindMail, "Old mail");
  uint32_t b1 = addBatch(s, "Mail into a lost database", "Eudora", "mail/eudora", gone);
  uint32_t b2 = addBatch(s, "Forum captures", "TAPCIS 5.x", "captures/tapcis5");
  uint32_t task = addTask(s, {b1, b2}, false, false);
  // The database goes without the batches being told.
  {
    auto& f = s.Forums();
    qb::store::OP_CLOSE(s, qb::store::OpOpen, {qb::store::FileNo::Forums});
    f.clear();
    f.rec.ID = gone;
    ASSERT_EQ(f.get(qb::store::Forums::ForumKey), qb::store::Err::Ok);
    ASSERT_EQ(f.del(), qb::store::Err::Ok);
    qb::store::OP_CLOSE(s, qb::store::OpClose, {qb::store::FileNo::Forums});
  }
  const std::size_t told = a.ui.entries.size();
  EXPECT_EQ(run(s, task), 2);
  EXPECT_EQ(a.ui.entries.size(), told) << "an unattended run shows no message";
  auto log = readTaskLog(s);
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(itemsOf(log[0]), (std::vector<std::string>{"Import/Mail into a lost database/Error",
                                                        "Import/Forum captures/OK"}));
  EXPECT_EQ(log[0].result, 2);
  // Removing the database from the batches leaves a batch that runs into no mail database.
  EXPECT_EQ(removeDatabaseFromBatches(s, gone), 1);
  BatchInfo b;
  ASSERT_TRUE(readBatch(s, b1, b));
  EXPECT_EQ(b.mailbox, 0u);
}

TEST(TaskRun, BatchDeletedFromUnderATaskEndsItsImports) {
  TempArchive a;
  auto& s = a.session();
  uint32_t b1 = addBatch(s, "Forum captures", "TAPCIS 5.x", "captures/tapcis5");
  uint32_t b2 = addBatch(s, "News spool", "Unix News", "news/unix");
  uint32_t task = addTask(s, {b1, b2}, false, false);
  TaskProcessor p(s, task);
  ASSERT_TRUE(p.start());
  // The first batch starts; then the second one is deleted by another window.
  while (p.step() && p.importRun() == nullptr) {
  }
  {
    auto other = a.newSession(a.ui);
    qb::store::OP_CLOSE(*other, qb::store::OpOpen, {qb::store::FileNo::Batches});
    auto& bt = other->table<Batches>(qb::store::FileNo::Batches);
    bt.clear();
    bt.rec.ID = b2;
    ASSERT_EQ(bt.get(Batches::IdKey), qb::store::Err::Ok);
    ASSERT_EQ(bt.del(), qb::store::Err::Ok);
    qb::store::OP_CLOSE(*other, qb::store::OpClose, {qb::store::FileNo::Batches});
  }
  while (p.step()) {
  }
  auto log = readTaskLog(s);
  ASSERT_EQ(log.size(), 1u);
  ASSERT_EQ(log[0].items.size(), 2u);
  EXPECT_EQ(log[0].items[0].result, 1);
  EXPECT_EQ(log[0].items[1].result, 2);
  EXPECT_EQ(log[0].result, 2);
}

TEST(TaskRun, RunBrokenOffByTheUserDeactivatesTheTask) {
  TempArchive a;
  auto& s = a.session();
  uint32_t b1 = addBatch(s, "Forum captures", "TAPCIS 5.x", "captures/tapcis5");
  uint32_t b2 = addBatch(s, "News spool", "Unix News", "news/unix");
  TaskInfo t;
  t.description = "Weekly";
  t.batches = {b1, b2};
  t.days[1] = 1;
  t.runNow = now();
  t.doCount = true;
  ASSERT_TRUE(saveTask(s, t));
  TaskProcessor p(s, t.id);
  ASSERT_TRUE(p.start());
  while (p.step() && p.importRun() == nullptr) {
  }
  p.cancel();
  while (p.step()) {
  }
  EXPECT_EQ(s.DoTask, 0);
  TaskInfo after;
  ASSERT_TRUE(readTask(s, t.id, after));
  EXPECT_FALSE(after.active);
  EXPECT_EQ(after.runNow.time, 0);
  auto log = readTaskLog(s);
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].result, 2);
  ASSERT_EQ(log[0].items.size(), 1u) << "no step after the broken-off import";
}

TEST(StartWindow, ChoicesForTheDueTask) {
  TempArchive a;
  auto& s = a.session();
  uint32_t b1 = addBatch(s, "Forum captures", "TAPCIS 5.x", "captures/tapcis5");
  const Moment at{qb::text::dayNumber(2026, 3, 9), qb::text::timeValue(14, 0)};  // a Monday
  TaskInfo t;
  t.description = "Mondays and Thursdays";
  t.batches = {b1};
  t.days[1] = t.days[4] = 1;
  t.runNext = {at.date, qb::text::timeValue(3, 0)};
  ASSERT_TRUE(saveTask(s, t));
  ASSERT_EQ(checkDueTasks(s, at).tasks, std::vector<uint32_t>{t.id});

  // Busy: the check finds nothing, and "Run now" is refused.
  raiseBusy(s);
  EXPECT_EQ(checkDueTasks(s, at).gate, Gate::Busy);
  EXPECT_EQ(applyStartChoice(s, StartChoice::RunNow, {t.id}, 0, at), StartOutcome::Refused);
  lowerBusy(s);
  lowerBusy(s);  // never below 0
  EXPECT_FALSE(isBusy(s));

  // Postpone by two hours.
  s.DoTask = 1;
  EXPECT_EQ(applyStartChoice(s, StartChoice::Postpone, {t.id}, 2, at), StartOutcome::NotStarted);
  EXPECT_EQ(s.DoTask, 0);
  EXPECT_EQ(checkDueTasks(s, at).gate, Gate::Postponed);
  EXPECT_EQ(checkDueTasks(s, addHours(at, 2)).tasks, std::vector<uint32_t>{t.id});
  applyStartChoice(s, StartChoice::Abort, {t.id}, 0, at);
  EXPECT_EQ(checkDueTasks(s, at).gate, Gate::Open);

  // Skip: the next run moves on to Thursday without a run.
  applyStartChoice(s, StartChoice::Skip, {t.id}, 0, at);
  TaskInfo after;
  ASSERT_TRUE(readTask(s, t.id, after));
  EXPECT_EQ(after.runNext.date, at.date + 3);
  EXPECT_EQ(after.runNext.time, t.runNext.time);
  EXPECT_TRUE(after.active);
  EXPECT_TRUE(readTaskLog(s).empty());
  EXPECT_TRUE(checkDueTasks(s, at).tasks.empty());

  // Deactivate the scheduler: nothing is due until it is switched on again.
  EXPECT_EQ(checkDueTasks(s, Moment{at.date + 3, qb::text::timeValue(4, 0)}).tasks, std::vector<uint32_t>{t.id});
  applyStartChoice(s, StartChoice::DeactivateScheduler, {t.id}, 0, at);
  EXPECT_EQ(checkDueTasks(s, Moment{at.date + 3, qb::text::timeValue(4, 0)}).gate, Gate::Deactivated);
  auto other = a.newSession(a.ui);
  EXPECT_TRUE(readSchedulerSettings(*other).off) << "the setting is stored";
  SchedulerSettings on = readSchedulerSettings(s);
  on.off = false;
  ASSERT_TRUE(writeSchedulerSettings(s, on));

  // Deactivate the task.
  applyStartChoice(s, StartChoice::DeactivateTask, {t.id}, 0, at);
  EXPECT_TRUE(checkDueTasks(s, Moment{at.date + 3, qb::text::timeValue(4, 0)}).tasks.empty());
}

TEST(TaskLockTest, OneHolderPerArchive) {
  TempArchive a;
  auto other = a.newSession(a.ui);
  TaskLock first, second;
  EXPECT_TRUE(first.tryAcquire(a.session()));
  EXPECT_FALSE(second.tryAcquire(*other));
  first.release();
  EXPECT_TRUE(second.tryAcquire(*other));
}

TEST(SchedulerCli, TwoProgramsRacingForOneDueTaskRunItOnce) {
  TempArchive a;
  auto& s = a.session();
  uint32_t b1 = addBatch(s, "Forum captures", "TAPCIS 5.x", "captures/tapcis5");
  uint32_t b2 = addBatch(s, "News spool", "Unix News", "news/unix");
  uint32_t task = addTask(s, {b1, b2}, true, false);
  std::vector<std::string> args = {QB_CLI, "--home", a.home(), "--quiet", "scheduler", "run-due"};
  std::vector<char*> argv;
  for (auto& x : args) argv.push_back(x.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
  pid_t p1, p2;
  ASSERT_EQ(posix_spawn(&p1, QB_CLI, &fa, nullptr, argv.data(), environ), 0);
  ASSERT_EQ(posix_spawn(&p2, QB_CLI, &fa, nullptr, argv.data(), environ), 0);
  posix_spawn_file_actions_destroy(&fa);
  int st1 = 0, st2 = 0;
  waitpid(p1, &st1, 0);
  waitpid(p2, &st2, 0);
  ASSERT_TRUE(WIFEXITED(st1) && WIFEXITED(st2));
  for (int code : {WEXITSTATUS(st1), WEXITSTATUS(st2)}) EXPECT_TRUE(code == 0 || code == 5) << code;
  auto log = readTaskLog(s, task);
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].result, 1);

  // The log as JSON names the run and its steps.
  auto r = qb::test::runCli(QB_CLI, a.home(), {"scheduler", "log", "--json"});
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.out.find("\"result\": \"OK\""), std::string::npos);
  EXPECT_NE(r.out.find("\"detail\": \"News spool\""), std::string::npos);
  EXPECT_NE(r.out.find("\"detail\": \"Counting messages\""), std::string::npos);
  // Nothing is due any more.
  r = qb::test::runCli(QB_CLI, a.home(), {"scheduler", "run-due"});
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.out.find("No task is due."), std::string::npos);
}

TEST(SchedulerCli, TasksAndBatchesFromTheCommandLine) {
  TempArchive a;
  const std::string home = a.home();
  auto r = qb::test::runCli(QB_CLI, home,
                            {"scheduler", "batches", "add", "--description", "Captures", "--format", "TAPCIS 5.x",
                             "--dir", kSamples + "captures/tapcis5"});
  ASSERT_EQ(r.code, 0) << r.err;
  const std::string batch = r.out.substr(0, r.out.find('\n'));
  r = qb::test::runCli(QB_CLI, home,
                       {"scheduler", "tasks", "add", "--description", "Monthly", "--batches", batch, "--monthdays",
                        "31", "--next", "2026-04-30", "--at", "02:00", "--count"});
  ASSERT_EQ(r.code, 0) << r.err;
  const std::string task = r.out.substr(0, r.out.find('\n'));
  r = qb::test::runCli(QB_CLI, home, {"scheduler", "tasks", "add", "--description", "Bad", "--batches", "99999"});
  EXPECT_EQ(r.code, 2);
  r = qb::test::runCli(QB_CLI, home, {"scheduler", "tasks", "add", "--description", "Bad", "--monthdays", "32"});
  EXPECT_EQ(r.code, 2);
  r = qb::test::runCli(QB_CLI, home, {"scheduler", "tasks", "run", task});
  EXPECT_EQ(r.code, 0) << r.err;
  // The run came after its next date: the next one is computed from today
  // and the repeated task stays active.
  TaskInfo t;
  auto s = a.newSession(a.ui);
  ASSERT_TRUE(readTask(*s, static_cast<uint32_t>(std::stoul(task)), t));
  EXPECT_TRUE(t.active);
  EXPECT_GT(t.runNext.date, qb::text::today());
  r = qb::test::runCli(QB_CLI, home, {"scheduler", "tasks"});
  EXPECT_NE(r.out.find("Monthly"), std::string::npos);
  EXPECT_NE(r.out.find("days 31 of the month"), std::string::npos);
  r = qb::test::runCli(QB_CLI, home, {"scheduler", "batches", "delete", batch});
  EXPECT_EQ(r.code, 0);
  ASSERT_TRUE(readTask(*s, t.id, t));
  EXPECT_TRUE(t.batches.empty());
  r = qb::test::runCli(QB_CLI, home, {"scheduler", "tasks", "delete", task});
  EXPECT_EQ(r.code, 0);
  EXPECT_FALSE(readTask(*s, t.id, t));
}

TEST(SchedulerCli, DaemonRunsDueTasksAndEndsOnSigterm) {
  TempArchive a;
  auto& s = a.session();
  uint32_t b1 = addBatch(s, "Forum captures", "TAPCIS 5.x", "captures/tapcis5");
  uint32_t task = addTask(s, {b1}, false, false);
  std::vector<std::string> args = {QB_CLI, "--home", a.home(), "scheduler", "daemon", "--interval", "1"};
  std::vector<char*> argv;
  for (auto& x : args) argv.push_back(x.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid;
  ASSERT_EQ(posix_spawn(&pid, QB_CLI, &fa, nullptr, argv.data(), environ), 0);
  posix_spawn_file_actions_destroy(&fa);
  // The due task runs at the daemon's first check.
  for (int i = 0; i < 600 && readTaskLog(s, task).empty(); ++i) usleep(50000);
  for (int i = 0; i < 600; ++i) {
    auto log = readTaskLog(s, task);
    if (!log.empty() && log[0].finished.date != 0) break;
    usleep(50000);
  }
  kill(pid, SIGTERM);
  int st = 0;
  ASSERT_EQ(waitpid(pid, &st, 0), pid);
  ASSERT_TRUE(WIFEXITED(st));
  EXPECT_EQ(WEXITSTATUS(st), 0);
  auto log = readTaskLog(s, task);
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].result, 1);
  // The lock went with the daemon.
  TaskLock lock;
  EXPECT_TRUE(lock.tryAcquire(s));
}
