#include "scheduler/cleanup_runners.h"

#include "archive/counts.h"
#include "index/index_builder.h"
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

}  // namespace

std::unique_ptr<CleanUpJob> oneStepJob(std::function<bool(std::string&)> work) {
  return std::make_unique<OneStepJob>(std::move(work));
}

CleanUpRunners defaultCleanUpRunners() {
  CleanUpRunners r;
  r.byType[StepCount] = [](store::Session& s, uint32_t forumId) {
    return oneStepJob([&s, forumId](std::string& failure) {
      if (store::recountDatabase(s, forumId)) return true;
      failure = "the database could not be counted";
      return false;
    });
  };
  r.byType[StepIndex] = [](store::Session& s, uint32_t forumId) -> std::unique_ptr<CleanUpJob> {
    store::Forums db;
    if (!readForum(s, forumId, db)) return nullptr;
    return std::make_unique<IndexJob>(s, db);
  };
  return r;
}

}  // namespace qb::scheduler
