#include "import/formats/news/news_source.h"

#include "text/encodings.h"

namespace qb::import::news {

void LineCutter::emit(std::string_view line) {
  if (out_.size() >= kMaxMessagePieces) return;
  text::splitLine(line, out_);
}

void LineCutter::addLine(std::string_view line) {
  if (!soft_) {
    emit(line);
    return;
  }
  if (!joining_) joined_.clear();
  if (line.size() > text::kMaxLineLength) line = line.substr(0, text::kMaxLineLength);
  joining_ = text::undoQuotedPrintable(line, joined_);
  if (joined_.size() > text::kMaxLineLength) joined_.resize(text::kMaxLineLength);
  if (!joining_) emit(joined_);
}

void LineCutter::feed(std::string_view bytes) {
  while (!bytes.empty()) {
    std::size_t lf = bytes.find('\n');
    std::string_view part = bytes.substr(0, lf);
    if (partial_.size() < text::kMaxLineLength + 1)
      partial_.append(part.substr(0, text::kMaxLineLength + 1 - partial_.size()));
    if (lf == std::string_view::npos) return;
    if (!partial_.empty() && partial_.back() == '\r') partial_.pop_back();
    addLine(partial_);
    partial_.clear();
    bytes.remove_prefix(lf + 1);
  }
}

void LineCutter::flush() {
  if (!partial_.empty()) {
    if (partial_.back() == '\r') partial_.pop_back();
    addLine(partial_);
    partial_.clear();
  }
  if (joining_) {
    joining_ = false;
    emit(joined_);
  }
}

bool isFromSeparator(std::string_view line) {
  if (line.substr(0, 5) != "From ") return false;
  return line.substr(0, 100).find('@') != std::string_view::npos;
}

}  // namespace qb::import::news
