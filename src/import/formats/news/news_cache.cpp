// The sources of the news cache files ("IE News", "Outlook Express 4 News")
// and of the news folder files ("Netscape News"). Both files hold article
// texts among binary records and are read raw; an article's header starts
// where "From:", "Date:", or "Newsg", "Subje", "Messa" with a ":" soon after,
// stand after a line end or a binary byte. News cache files also hold an
// index entry for each article: a byte 0xBC with "<" 22 bytes on, then the
// texts message identifier, subject, sender, references, a host token and
// the newsgroup, each ended by a NUL.
//
// Inside an article's body such a line starts a new article only when its
// header block (up to the first empty line) holds a "Newsgroups:" or
// "Message-ID:" line, as every stored news article's header does; a header
// block quoted in a body ("From:", "Date:", "Subject:" of a forwarded mail)
// stays body text.

#include <algorithm>
#include <cctype>

#include "import/formats/news/news_source.h"
#include "import/formats/shared/raw_window.h"

namespace qb::import::news {
namespace {

constexpr std::size_t kTextSpan = 400;  // an index text ends within this many bytes

// Bytes before which an article may start: line ends and binary data.
bool isBreakByte(int c) { return c < 0 || c < 0x20 || c == 0x7F || c >= 0x80; }

class ArticleScanSource : public NewsSource {
 public:
  explicit ArticleScanSource(bool indexEntries) : indexEntries_(indexEntries) {}

  bool open(const std::string& path) override {
    prev_ = -1;
    haveEntry_ = false;
    return in_.open(path);
  }

  bool next(SourceMessage& m) override {
    m.clear();
    while (!in_.atEnd()) {
      if (atIndexEntry()) {
        readIndexEntry();
      } else if (atArticleStart()) {
        readArticle(m);
        return true;
      } else {
        step();
      }
    }
    return false;
  }

  int permille() const override { return in_.permille(); }

 private:
  void step() {
    prev_ = in_.at(0);
    in_.advance(1);
  }

  bool atIndexEntry() const { return indexEntries_ && in_.at(0) == 0xBC && in_.at(22) == '<'; }

  bool atArticleStart() const {
    if (!isBreakByte(prev_)) return false;
    int c = in_.at(0);
    if (c != 'F' && c != 'D' && c != 'N' && c != 'S' && c != 'M') return false;
    if (!startsHeader()) return false;
    return !inBody_ || articleHeaderFollows();
  }

  // "From:", "Date:", or "Newsg", "Subje", "Messa" with a ":" within the
  // next 50 characters of the line.
  bool startsHeader() const {
    if (in_.startsWith("From:") || in_.startsWith("Date:")) return true;
    if (!in_.startsWith("Newsg") && !in_.startsWith("Subje") && !in_.startsWith("Messa")) return false;
    for (std::size_t i = 5; i < 55; ++i) {
      int d = in_.at(i);
      if (d == ':') return true;
      if (d < 0 || d == '\n') return false;
    }
    return false;
  }

  // Does the header block from the current position hold a "Newsgroups:"
  // or "Message-ID:" line (looked for within the window's lookahead)?
  bool articleHeaderFollows() const {
    constexpr std::size_t kSpan = RawWindow::kLookahead - 2;
    std::size_t i = 0;
    for (int lines = 0; lines < 100 && i < kSpan; ++lines) {
      if (startsWithNoCase(i, "newsgroups:") || startsWithNoCase(i, "message-id:")) return true;
      while (i < kSpan && in_.at(i) >= 0 && in_.at(i) != '\n') ++i;
      if (i >= kSpan || in_.at(i) < 0) return false;
      ++i;
      if (in_.at(i) == '\n' || (in_.at(i) == '\r' && in_.at(i + 1) == '\n')) return false;  // the empty line
    }
    return false;
  }

  bool startsWithNoCase(std::size_t offset, std::string_view s) const {
    for (std::size_t k = 0; k < s.size(); ++k) {
      int c = in_.at(offset + k);
      if (c < 0 || std::tolower(c) != s[k]) return false;
    }
    return true;
  }

  bool atBoundary() const { return atIndexEntry() || atArticleStart(); }

  // A text of the index entry: the bytes up to `end` (NUL, or the given
  // terminator), at most `keep` of them kept. A new index entry or article
  // start ends the entry: false.
  bool readText(std::string& out, std::size_t keep, char end = '\0') {
    out.clear();
    for (std::size_t n = 0; n < kTextSpan && !in_.atEnd(); ++n) {
      if (atBoundary()) return false;
      int c = in_.at(0);
      step();
      if (c == end || c == 0) return true;
      if (out.size() < keep) out.push_back(static_cast<char>(c));
    }
    return !in_.atEnd();
  }

  void readIndexEntry() {
    entry_ = NewsIndexEntry{};
    haveEntry_ = true;
    for (int i = 0; i < 22; ++i) step();
    std::string token;
    if (!readText(entry_.messageId, 60) || !readText(entry_.subject, 100) || !readText(entry_.sender, 100) ||
        !readText(entry_.references, kTextSpan))
      return finishEntry();
    if (!readText(token, kTextSpan, ' ')) return finishEntry();
    readText(entry_.newsgroups, 100, ':');
    finishEntry();
  }

  // The references keep only their part from the last "<".
  void finishEntry() {
    std::size_t lt = entry_.references.rfind('<');
    if (lt != std::string::npos) entry_.references.erase(0, lt);
  }

  // What ends a line besides its LF: nothing, an index entry (in a
  // header), or an index entry or an article start (in a body).
  enum class Bound { None, Entry, Any };

  // One line: up to LF (CR and NUL bytes dropped), or up to a boundary.
  // False when nothing was read (at the end, or at a boundary).
  // NUL bytes after the last line (padding before the next record) give no
  // line of their own.
  bool readLine(std::string& line, Bound bound) {
    line.clear();
    bool any = false;
    while (!in_.atEnd()) {
      if ((bound == Bound::Entry && atIndexEntry()) || (bound == Bound::Any && atBoundary())) return any;
      int c = in_.at(0);
      step();
      if (c == '\n') return true;
      if (c == 0) continue;
      any = true;
      if (c != '\r' && line.size() < text::kMaxText) line.push_back(static_cast<char>(c));
      takePrintableRun(line);
    }
    return any;
  }

  // Takes the printable characters that follow at once: no index entry
  // (0xBC) and no article start (which needs a line end or a binary byte
  // before it) can begin among them.
  void takePrintableRun(std::string& line) {
    std::string_view v = in_.ahead();
    std::size_t k = 0;
    while (k < v.size() && static_cast<unsigned char>(v[k]) >= 0x20 && static_cast<unsigned char>(v[k]) < 0x7F) ++k;
    if (k == 0) return;
    if (line.size() < text::kMaxText) line.append(v.substr(0, std::min(k, text::kMaxText - line.size())));
    prev_ = static_cast<unsigned char>(v[k - 1]);
    in_.advance(k);
  }

  // The header lines up to the first empty line, then the body up to the
  // next index entry or article start.
  void readArticle(SourceMessage& m) {
    if (haveEntry_) {
      m.indexed = true;
      m.index = entry_;
      haveEntry_ = false;  // an entry serves one article
    }
    LineCutter cut(m.pieces);
    inBody_ = false;
    bool first = true;
    while (readLine(line_, first ? Bound::None : Bound::Entry)) {
      first = false;
      cut.addLine(line_);
      if (line_.empty()) break;
    }
    inBody_ = true;
    while (readLine(line_, Bound::Any)) cut.addLine(line_);
    inBody_ = false;
    cut.flush();
  }

  bool indexEntries_;
  RawWindow in_;
  int prev_ = -1;
  bool haveEntry_ = false;
  bool inBody_ = false;  // reading an article's body
  NewsIndexEntry entry_;
  std::string line_;
};

}  // namespace

std::unique_ptr<NewsSource> makeNewsCacheSource() { return std::make_unique<ArticleScanSource>(true); }
std::unique_ptr<NewsSource> makeNetscapeSource() { return std::make_unique<ArticleScanSource>(false); }

}  // namespace qb::import::news
