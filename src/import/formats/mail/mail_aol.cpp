// "AOL" mail files: read raw and scanned for tags.
//
//  - "AOLF" followed by "AOLH" opens a part; the 16 bytes after the tags
//    describe it. Two descriptors introduce parts without text; after any
//    other the part's text follows, lines cut at their line ends, up to the next "AOLF".
//  - "AOLF" followed by "RS" ends the record; it ends a message once the
//    "Headers" line has been met since the last message.
//  - In the text, a line of 23 "-", a blank and "Headers" is followed by the
//    Internet header lines of the mail; the lines before it are its body.
//
// The reader hands a message to the converter as header lines, an empty
// line and the body lines, like every other mailbox.
#include <deque>
#include <vector>

#include "import/formats/shared/internet_header.h"
#include "import/formats/mail/mail_reader.h"

namespace qb::import::mail {

namespace {

constexpr std::string_view kTag = "AOLF";
constexpr std::string_view kPart = "AOLFAOLH";
constexpr std::string_view kRecordEnd = "AOLFRS";
constexpr std::string_view kHeadersLine = "----------------------- Headers";
constexpr std::size_t kDescriptorSize = 16;
constexpr std::string_view kNoTextParts[] = {
    std::string_view("\x4E\x00\x00\x00\x0C\x00\x02\x10\x01\x0D\x00\x07\x36\x00\x00\x00", 16),
    std::string_view("\x5E\x00\x00\x00\x0C\x00\x02\x00\x00\x0D\x00\x07\x46\x00\x00\x00", 16),
};
// What one message may keep: body lines before the "Headers" line and the
// lines after it. The text keeps 64000 bytes of the body anyway.
constexpr std::size_t kMaxBodyBytes = 512 * 1024;
constexpr std::size_t kMaxHeaderLines = 2000;

class AolReader : public MailboxReader {
 public:
  bool nextMessage() override {
    out_.clear();
    if (!collect()) return false;
    arrange();
    return true;
  }

  bool nextLine(std::string& line) override {
    if (out_.empty()) return false;
    line = std::move(out_.front());
    out_.pop_front();
    return true;
  }

 protected:
  bool atMessageStart() const override { return at(kTag); }
  bool hasBoundaries() const override { return true; }
  std::size_t boundaryWithin(std::size_t n) const override {
    for (std::size_t i = 0; i < n; ++i)
      if (in_.at(i) == 'A' && in_.at(i + 1) == 'O' && in_.at(i + 2) == 'L' && in_.at(i + 3) == 'F') return i;
    return RawWindow::npos;
  }

 private:
  // Scans for tags until a message is complete; false when the file ends
  // without one.
  bool collect() {
    body_.clear();
    header_.clear();
    bodyBytes_ = 0;
    headers_ = false;
    while (!in_.atEnd()) {
      if (!at(kTag)) {
        std::size_t n = visible();
        std::size_t a = in_.find('A', n);
        in_.advance(a == RawWindow::npos ? n : (a == 0 ? 1 : a));
        continue;
      }
      if (at(kRecordEnd)) {
        in_.advance(kRecordEnd.size());
        if (headers_) return true;
      } else if (at(kPart)) {
        in_.advance(kPart.size());
        std::string descriptor;
        for (std::size_t i = 0; i < kDescriptorSize && in_.at(i) >= 0; ++i)
          descriptor.push_back(static_cast<char>(in_.at(i)));
        in_.advance(kDescriptorSize);
        bool text = true;
        for (auto d : kNoTextParts)
          if (descriptor == d) text = false;
        if (text) readText();
      } else {
        in_.advance(kTag.size());
      }
    }
    return headers_;
  }

  void readText() {
    std::string line;
    while (!in_.atEnd() && !at(kTag) && cutLine(line)) {
      if (!headers_ && startsWith(line, kHeadersLine)) {
        headers_ = true;
      } else if (headers_) {
        if (header_.size() < kMaxHeaderLines) header_.push_back(line);
      } else if (bodyBytes_ + line.size() <= kMaxBodyBytes) {
        bodyBytes_ += line.size() + 2;
        body_.push_back(line);
      }
    }
  }

  // Header lines from the first one the classifier knows to the first empty
  // line, an empty line, then the body.
  void arrange() {
    std::size_t i = 0;
    while (i < header_.size() && headerKind(header_[i]) == HdrNone) ++i;
    for (; i < header_.size() && !header_[i].empty(); ++i) out_.push_back(std::move(header_[i]));
    out_.emplace_back();
    for (auto& l : body_) out_.push_back(std::move(l));
    body_.clear();
    header_.clear();
  }

  std::vector<std::string> body_, header_;
  std::size_t bodyBytes_ = 0;
  bool headers_ = false;
  std::deque<std::string> out_;
};

}  // namespace

std::unique_ptr<MailboxReader> makeAolReader() { return std::make_unique<AolReader>(); }

}  // namespace qb::import::mail
