// The source of "Gravity" article files: articles one after another without
// separators. A line that the header classifier knows opens a candidate
// header, which runs to the next empty line; it starts a new article only
// when it holds all five of "From:", "Date:", "Subject:", "Newsgroups:" and
// "Message-ID:". Otherwise its lines are body text of the current article,
// so a header block quoted in a body does not split the article.

#include "import/formats/news/news_source.h"
#include "import/formats/shared/raw_window.h"

namespace qb::import::news {
namespace {

// A candidate header longer than this is body text.
constexpr std::size_t kMaxCandidateLines = 200;

class GravitySource : public NewsSource {
 public:
  bool open(const std::string& path) override {
    pending_.clear();
    carried_ = false;
    return in_.open(path);
  }

  bool next(SourceMessage& m) override {
    m.clear();
    // The header of this article was read as the candidate that ended the
    // previous one; at the start of the file it has to be found first.
    while (!carried_) {
      if (!in_.readLine(line_, text::kMaxText)) return false;
      if (classifyHeader(line_) != HdrNone) carried_ = readCandidate();
    }
    carried_ = false;
    LineCutter cut(m.pieces);
    for (auto& l : pending_) cut.addLine(l);
    pending_.clear();
    while (in_.readLine(line_, text::kMaxText)) {
      if (classifyHeader(line_) != HdrNone) {
        if (readCandidate()) {
          carried_ = true;
          break;
        }
        for (auto& l : pending_) cut.addLine(l);
        pending_.clear();
      } else {
        cut.addLine(line_);
      }
    }
    cut.flush();
    return true;
  }

  int permille() const override { return in_.permille(); }

 private:
  // Collects the candidate header that starts with line_ into pending_ (up
  // to and with the empty line after it); true when it opens an article.
  bool readCandidate() {
    pending_.clear();
    pending_.push_back(line_);
    unsigned seen = mark(0, line_);
    while (pending_.size() < kMaxCandidateLines && in_.readLine(line_, text::kMaxText)) {
      pending_.push_back(line_);
      if (line_.empty()) break;
      seen = mark(seen, line_);
    }
    constexpr unsigned all = (1u << HdrFrom) | (1u << HdrDate) | (1u << HdrSubject) | (1u << HdrNewsgroups) |
                             (1u << HdrMessageId);
    return (seen & all) == all;
  }

  static unsigned mark(unsigned seen, std::string_view line) {
    int k = classifyHeader(line);
    return k > 0 && k < 32 ? seen | (1u << k) : seen;
  }

  RawWindow in_;
  std::string line_;
  std::vector<std::string> pending_;
  bool carried_ = false;
};

}  // namespace

std::unique_ptr<NewsSource> makeGravitySource() { return std::make_unique<GravitySource>(); }

}  // namespace qb::import::news
