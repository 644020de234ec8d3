#include "scheduler/cleanup_runners.h"

#include "archive/counts.h"
#include "index/index_builder.h"
#include "maintenance/merge_persons.h"
#include "maintenance/purge_run.h"
#include "scheduler/task_rows.h"

namespace qb::scheduler {

namespace {

class OneStepJob : public CleanUpJob {
 public:
  explicit OneStepJob(std::function<bool(std::string&)> work) : work_(std::move(work)) {}
  bool step() override {
    if (done_) return false;
    ok_ = work_(failure_);
    done_ = true;
    return false;
  }
  void cancel() override {
    if (!done_) {
      done_ = true;
      failure_ = "stopped";
    }
  }
  uint8_t result() const override { return ok_ ? 1 : 2; }
  std::string failure() const override { return failure_; }

 private:
  std::function<bool(std::string&)> work_;
  std::string failure_;
  bool done_ = false;
  bool ok_ = false;
};

// Word indexing of one database: the messages not yet indexed are added.
// The database is made current for the builder and the previous one is put
// back at the end.
class IndexJob : public CleanUpJob {
 public:
  IndexJob(store::Session& s, const store::Forums& db)
      : s_(s), saved_(s.currentDatabase()), savedIndexType_(s.IndexType) {
    s_.selectDatabase(db);
    builder_ = std::make_unique<index::IndexBuilder>(s_, index::IndexMode::Partial);
    if (!builder_->start()) end(false);
  }
  ~IndexJob() override {
    if (!ended_) {
      builder_->cancel();
      while (builder_->step()) {
      }
      end(false);
    }
  }
  bool step() override {
    if (ended_) return false;
    if (builder_->step()) return true;
    end(!builder_->failed() && !builder_->cancelled());
    return false;
  }
  void cancel() override {
    if (!ended_) builder_->cancel();
  }
  uint8_t result() const override { return ok_ ? 1 : 2; }
  std::string failure() const override { return ok_ ? std::string() : builder_->message(); }

 private:
  void end(bool ok) {
    ok_ = ok;
    ended_ = true;
    s_.restoreDatabase(saved_);
    s_.IndexType = savedIndexType_;
  }
  store::Session& s_;
  store::Session::DatabaseSelection saved_;
  uint8_t savedIndexType_;
  std::unique_ptr<index::IndexBuilder> builder_;
  bool ended_ = false;
  bool ok_ = false;
};

// Merging the persons of one database that share an address.
class MergeJob : public CleanUpJob {
 public:
  MergeJob(store::Session& s, uint32_t forumId) : merge_(s, forumId) {}
  bool step() override { return merge_.step(); }
  void cancel() override { merge_.cancel(); }
  uint8_t result() const override { return merge_.finished() && !merge_.failed() && !merge_.cancelled() ? 1 : 2; }
  std::string failure() const override {
    if (merge_.cancelled()) return "stopped";
    return merge_.failed() ? merge_.error() : std::string();
  }

 private:
  maintenance::MergePersons merge_;
};

// Purging or counting one database. The run works on the current database,
// so the database is made current for it and the previous one put back.
// A purge recounts at its end: a task that purges needs no count step.
class PurgeJob : public CleanUpJob {
 public:
  PurgeJob(store::Session& s, const store::Forums& db, maintenance::PurgeMode mode)
      : s_(s), saved_(s.currentDatabase()) {
    s_.selectDatabase(db);
    maintenance::PurgeOptions o;
    o.mode = mode;
    o.completionMessage = false;
    run_ = std::make_unique<maintenance::PurgeRun>(s_, o);
    if (run_->start() != maintenance::StartResult::Started) end();
  }
  ~PurgeJob() override {
    if (!ended_) {
      run_->end();
      end();
    }
  }
  bool step() override {
    if (ended_) return false;
    if (run_->step()) return true;
    end();
    return false;
  }
  void cancel() override {
    if (!ended_) {
      run_->end();
      end();
    }
  }
  uint8_t result() const override { return ok() ? 1 : 2; }
  std::string failure() const override {
    if (ok()) return {};
    const maintenance::PurgeStats& st = run_->stats();
    if (!st.failure.empty()) return st.failure;
    return st.ended ? "stopped" : "the database could not be opened";
  }

 private:
  bool ok() const { return run_->finished() && !run_->stats().failed && !run_->stats().ended; }
  void end() {
    ended_ = true;
    s_.restoreDatabase(saved_);
  }
  store::Session& s_;
  store::Session::DatabaseSelection saved_;
  std::unique_ptr<maintenance::PurgeRun> run_;
  bool ended_ = false;
};

std::unique_ptr<CleanUpJob> purgeJob(store::Session& s, uint32_t forumId, maintenance::PurgeMode mode) {
  store::Forums db;
  if (!readForum(s, forumId, db)) return nullptr;
  return std::make_unique<PurgeJob>(s, db, mode);
}

}  // namespace

std::unique_ptr<CleanUpJob> oneStepJob(std::function<bool(std::string&)> work) {
  return std::make_unique<OneStepJob>(std::move(work));
}

CleanUpRunners defaultCleanUpRunners() {
  CleanUpRunners r;
  r.byType[StepMerge] = [](store::Session& s, uint32_t forumId) -> std::unique_ptr<CleanUpJob> {
    return std::make_unique<MergeJob>(s, forumId);
  };
  r.byType[StepPurge] = [](store::Session& s, uint32_t forumId) {
    return purgeJob(s, forumId, maintenance::PurgeMode::Purge);
  };
  r.byType[StepCount] = [](store::Session& s, uint32_t forumId) {
    return purgeJob(s, forumId, maintenance::PurgeMode::Count);
  };
  r.byType[StepIndex] = [](store::Session& s, uint32_t forumId) -> std::unique_ptr<CleanUpJob> {
    store::Forums db;
    if (!readForum(s, forumId, db)) return nullptr;
    return std::make_unique<IndexJob>(s, db);
  };
  return r;
}

}  // namespace qb::scheduler
