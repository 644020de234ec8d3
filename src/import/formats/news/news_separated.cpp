// The sources whose messages follow separator lines: "Agent News" and "Unix
// News" (lines of eight "=" or "From " lines, decided per file),
// "VirtualAccess" (lines of ten "=") and "Winvn" / "Generic Mail Type 2"
// ("From " lines).

#include "import/formats/news/news_source.h"
#include "import/formats/shared/envelope_line.h"
#include "import/formats/shared/raw_window.h"

namespace qb::import::news {
namespace {

constexpr std::size_t kDecisionSpan = 300;  // bytes examined to decide the separation
constexpr std::size_t kEnvelopeSpan = 200;  // characters of a "From " line looked at

// "Name: value" with a field name of printable characters.
bool isFieldLine(std::string_view line) {
  std::size_t colon = line.find(':');
  if (colon == 0 || colon == std::string_view::npos || colon + 1 >= line.size() || line[colon + 1] != ' ') return false;
  for (std::size_t i = 0; i < colon; ++i)
    if (line[i] <= ' ' || line[i] > '~') return false;
  return true;
}

class SeparatedSource : public NewsSource {
 public:
  // equals: the number of "=" of a separator line (8 or 10); decide: the
  // separation is found from the start of each file.
  SeparatedSource(Separation separation, int equals, bool decide)
      : defaultSeparation_(separation), equals_(equals), decide_(decide) {}

  bool open(const std::string& path) override {
    started_ = false;
    done_ = false;
    if (!in_.open(path)) return false;
    separation_ = decide_ ? decide() : defaultSeparation_;
    return true;
  }

  bool next(SourceMessage& m) override {
    m.clear();
    if (done_) return false;
    if (!started_) {
      started_ = true;
      if (separation_ == Separation::None) return wholeFile(m);
      while (!in_.atEnd() && !atSeparator()) in_.skipLine();
    }
    if (in_.atEnd()) {
      done_ = true;
      return false;
    }
    in_.skipLine();  // the separator line
    if (equals_ == 10 && atSeparator()) in_.skipLine();  // a second one
    readBody(m);
    return true;
  }

  int permille() const override { return in_.permille(); }

 private:
  // Looks at the first 300 bytes: the first envelope line ("From " with an
  // address, or a sender and a date) or the first eight "=" decides.
  // Neither: the file is one article (a news spool file).
  Separation decide() const {
    for (std::size_t p = 0; p < kDecisionSpan && in_.at(p) >= 0; ++p) {
      if (matches(p, "From ") && isEnvelopeLine(lineAt(p))) return Separation::FromLines;
      if (matches(p, "========")) return Separation::Equals;
    }
    return Separation::None;
  }

  // The line that starts `offset` bytes ahead (at most 200 characters).
  std::string lineAt(std::size_t offset) const {
    std::string line;
    for (std::size_t i = offset; i < offset + kEnvelopeSpan; ++i) {
      int c = in_.at(i);
      if (c < 0 || c == '\n' || c == '\r') break;
      line.push_back(static_cast<char>(c));
    }
    return line;
  }

  bool matches(std::size_t offset, std::string_view s) const {
    for (std::size_t i = 0; i < s.size(); ++i)
      if (in_.at(offset + i) != static_cast<unsigned char>(s[i])) return false;
    return true;
  }

  bool atSeparator() const {
    if (separation_ == Separation::FromLines) return in_.startsWith("From ") && isEnvelopeLine(lineAt(0));
    if (separation_ == Separation::Equals) {
      for (int i = 0; i < equals_; ++i)
        if (in_.at(i) != '=') return false;
      int c = in_.at(equals_);
      return c < 0 || c == '\n' || c == '\r';
    }
    return false;
  }

  // The lines up to the next separator or the end of the file.
  void readBody(SourceMessage& m) {
    LineCutter cut(m.pieces);
    while (!in_.atEnd() && !atSeparator()) {
      in_.readLine(line_, text::kMaxText);
      cut.addLine(line_);
    }
    cut.flush();
  }

  // A file without separators is taken as one article when it begins with
  // a header line.
  bool wholeFile(SourceMessage& m) {
    done_ = true;
    std::string first;
    std::size_t n = in_.findLineEnd(100);
    for (std::size_t i = 0; i < (n == RawWindow::npos ? 100 : n); ++i) {
      int c = in_.at(i);
      if (c < 0) break;
      first.push_back(static_cast<char>(c));
    }
    if (classifyHeader(first) == HdrNone && !isFieldLine(first)) return false;
    readBody(m);
    return true;
  }

  Separation defaultSeparation_;
  int equals_;
  bool decide_;
  Separation separation_ = Separation::None;
  RawWindow in_;
  bool started_ = false;
  bool done_ = false;
  std::string line_;
};

}  // namespace

std::unique_ptr<NewsSource> makeAgentSource() {
  return std::make_unique<SeparatedSource>(Separation::Equals, 8, true);
}
std::unique_ptr<NewsSource> makeVirtualAccessSource() {
  return std::make_unique<SeparatedSource>(Separation::Equals, 10, false);
}
std::unique_ptr<NewsSource> makeFromLineSource() {
  return std::make_unique<SeparatedSource>(Separation::FromLines, 0, false);
}

}  // namespace qb::import::news
