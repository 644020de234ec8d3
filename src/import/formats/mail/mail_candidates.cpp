// "Becky Mail", "Agent Mail" and "Generic Mail Type 1": messages stand one
// after another without separators. A line that the header classifier knows
// opens a candidate header: the lines up to the next empty line. It starts a
// new message only when at least three of the four kinds From, Date, To and
// Subject occur in it; otherwise its lines are body text (a quoted header in
// a reply, for instance). Lines are cut at LF, CR LF or CR.
#include <deque>
#include <vector>

#include "import/formats/shared/internet_header.h"
#include "import/formats/mail/mail_reader.h"

namespace qb::import::mail {

namespace {

// A candidate header longer than this is judged by its first lines.
constexpr std::size_t kMaxCandidateLines = 500;

class CandidateReader : public MailboxReader {
 public:
  bool nextMessage() override {
    inMessage_ = false;
    replay_.clear();
    if (!blockReady_) {
      std::string line;
      while (!blockReady_ && cutLine(line))
        if (headerKind(line) != HdrNone) candidate(line);
      if (!blockReady_) return false;
    }
    replay_.assign(block_.begin(), block_.end());
    block_.clear();
    blockReady_ = false;
    inMessage_ = true;
    return true;
  }

  bool nextLine(std::string& line) override {
    if (!inMessage_) return false;
    if (replay_.empty()) {
      if (!cutLine(line)) {
        inMessage_ = false;
        return false;
      }
      if (headerKind(line) == HdrNone) return true;
      candidate(line);
      if (blockReady_) {
        inMessage_ = false;
        return false;
      }
      // Not a header: its lines are text of this message.
      replay_.assign(block_.begin(), block_.end());
      block_.clear();
    }
    line = std::move(replay_.front());
    replay_.pop_front();
    return true;
  }

 private:
  // Collects the candidate header that begins with `first` into block_ and
  // decides whether it starts a message (blockReady_).
  void candidate(const std::string& first) {
    block_.clear();
    block_.push_back(first);
    std::string line;
    while (block_.size() < kMaxCandidateLines && cutLine(line)) {
      bool end = line.empty();
      block_.push_back(std::move(line));
      if (end) break;
    }
    unsigned kinds = 0;
    for (auto& l : block_) {
      int k = headerKind(l);
      if (k >= HdrFrom && k <= HdrSubject) kinds |= 1u << k;
    }
    int count = 0;
    for (int k = HdrFrom; k <= HdrSubject; ++k) count += (kinds >> k) & 1u;
    blockReady_ = count >= 3;
  }

  bool inMessage_ = false;
  bool blockReady_ = false;          // block_ is the header of the next message
  std::vector<std::string> block_;   // the candidate header last collected
  std::deque<std::string> replay_;   // lines of the current message read ahead
};

}  // namespace

std::unique_ptr<MailboxReader> makeCandidateReader() { return std::make_unique<CandidateReader>(); }

}  // namespace qb::import::mail
