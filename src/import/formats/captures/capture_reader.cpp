#include "import/formats/captures/capture_reader.h"

#include "text/codepages.h"

namespace qb::import::captures {

bool CaptureReader::open(const std::string& path, std::string& error) {
  auto mode = format_ == CaptureFormat::GoldenCompass ? CaptureLineReader::Mode::GoldenCompassRecords
                                                      : CaptureLineReader::Mode::Lines;
  return lines_.open(path, mode, error);
}

void CaptureReader::start(FileKind kind) {
  kind_ = kind;
  lines_.rewind();
  pieces_.clear();
  lines_q_.clear();
  cursor_ = 0;
  messageStart_ = 0;
  carried_.reset();
  filling_ = ready_ = eof_ = false;
}

void CaptureReader::beginFill() {
  pieces_.clear();
  lines_q_.clear();
  cursor_ = 0;
  messageStart_ = 0;
  filling_ = true;
  ready_ = false;
  if (carried_) {
    push(*carried_, true);
    carried_.reset();
  }
}

bool CaptureReader::fill(std::size_t budget) {
  if (ready_) return true;
  if (eof_ && !carried_) return false;
  if (!filling_) beginFill();
  for (; budget > 0; --budget) {
    if (!lines_.next(line_)) {
      eof_ = true;
      filling_ = false;
      ready_ = !lines_q_.empty();
      return ready_;
    }
    std::string_view next;
    if (startNeedsNextLine(format_)) {
      const std::string* p = lines_.peek();
      if (p) next = *p;
    }
    bool start = isStartLine(format_, kind_, line_, next);
    if (pieces_.size() >= kQueuePieces) {
      if (start) {
        carried_ = line_.substr(0, text::kMaxLineLength);
        filling_ = false;
        ready_ = true;
        return true;
      }
      if (pieces_.size() - messageStart_ >= kMaxMessagePieces) continue;  // passed over
    }
    push(line_, start);
  }
  return false;
}

void CaptureReader::push(std::string_view line, bool start) {
  QueuedLine q{pieces_.size(), 0, start};
  if (start) messageStart_ = pieces_.size();
  q.pieceCount = text::splitLine(line, pieces_);
  if (translatesCodePage(format_))
    for (std::size_t i = q.firstPiece; i < pieces_.size(); ++i) text::dosToWindows(pieces_[i]);
  lines_q_.push_back(q);
}

bool CaptureReader::nextBlock(Block& b) {
  if (!ready_) return false;
  const std::size_t n = lines_q_.size();
  while (cursor_ < n && !lines_q_[cursor_].start) ++cursor_;  // belongs to no message
  if (cursor_ >= n) {
    ready_ = false;
    return false;
  }
  b.first = cursor_++;
  while (cursor_ < n && !lines_q_[cursor_].start) ++cursor_;
  b.end = cursor_;
  return true;
}

std::string CaptureReader::lineText(std::size_t i) const {
  std::string s;
  if (i >= lines_q_.size()) return s;
  const QueuedLine& q = lines_q_[i];
  for (std::size_t k = 0; k < q.pieceCount; ++k) s += pieces_[q.firstPiece + k].view();
  return s;
}

std::span<text::LinePiece> CaptureReader::pieces(std::size_t firstLine, std::size_t endLine) {
  if (firstLine >= endLine || firstLine >= lines_q_.size()) return {};
  std::size_t from = lines_q_[firstLine].firstPiece;
  std::size_t to = endLine < lines_q_.size() ? lines_q_[endLine].firstPiece : pieces_.size();
  return std::span<text::LinePiece>(pieces_.data() + from, to - from);
}

}  // namespace qb::import::captures
