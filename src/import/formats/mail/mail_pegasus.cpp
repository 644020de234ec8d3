// "Pegasus" folders (*.PMM): after the folder's own binary header the first
// message begins at its first header line; every later message begins
// directly after a byte 0x1A that follows a line end. Lines are cut at LF or
// CR LF.
#include "import/formats/shared/internet_header.h"
#include "import/formats/mail/mail_separated.h"

namespace qb::import::mail {

namespace {

constexpr char kSeparator = '\x1A';
// How much of a line the header classifier looks at.
constexpr std::size_t kClassified = 50;

class PegasusReader : public SeparatedReader {
 public:
  bool open(const std::string& path, std::string& error) override {
    if (!SeparatedReader::open(path, error)) return false;
    if (findFirstHeaderLine()) startsWithoutSeparator();
    return true;
  }

 protected:
  bool atMessageStart() const override { return in_.at(0) == kSeparator; }
  void enterMessage() override { in_.advance(1); }
  bool separatorIsFirstLine() const override { return false; }

  // A separator after a lone CR stands inside what is cut as one line.
  bool hasBoundaries() const override { return true; }
  std::size_t boundaryWithin(std::size_t n) const override {
    for (std::size_t i = 0; i < n; ++i)
      if (in_.at(i) == kSeparator && (i == 0 || in_.at(i - 1) == '\r')) return i;
    return RawWindow::npos;
  }

 private:
  // Looks for a ":", goes back to the start of its line (after a NUL or LF
  // byte) and takes the line when the header classifier knows it. The
  // window is left at the start of that line.
  bool findFirstHeaderLine() {
    while (!in_.atEnd()) {
      std::size_t n = visible();
      std::size_t colon = in_.find(':', n);
      if (colon == RawWindow::npos) {
        // Keep the tail in view: a line start may lie in it.
        in_.advance(n > kClassified ? n - kClassified : n);
        continue;
      }
      std::size_t lineStart = 0;
      for (std::size_t i = 0; i < colon; ++i)
        if (in_.at(i) == '\0' || in_.at(i) == '\n') lineStart = i + 1;
      in_.advance(lineStart);
      std::string head;
      for (std::size_t i = 0; i < kClassified; ++i) {
        int c = in_.at(i);
        if (c < 0 || c == '\0' || c == '\n' || c == '\r') break;
        head.push_back(static_cast<char>(c));
      }
      if (headerKind(head) != HdrNone) return true;
      in_.advance(colon - lineStart + 1);
    }
    return false;
  }
};

}  // namespace

std::unique_ptr<MailboxReader> makePegasusReader() { return std::make_unique<PegasusReader>(); }

}  // namespace qb::import::mail
