#include "import/formats/news/news_source.h"

#include <limits>

#include "import/formats/shared/envelope_line.h"
#include "text/body_text.h"

namespace qb::import::news {

void LineCutter::addLine(std::string_view line) {
  if (out_.size() >= kMaxMessagePieces) return;
  text::splitLine(line, out_, std::numeric_limits<std::size_t>::max());
}

void LineCutter::feed(std::string_view bytes) {
  while (!bytes.empty()) {
    if (skipLf_ && bytes.front() == '\n') bytes.remove_prefix(1);  // the LF of a CR LF cut between blocks
    skipLf_ = false;
    if (bytes.empty()) return;
    std::size_t end = bytes.find_first_of("\r\n");
    std::string_view part = bytes.substr(0, end);
    if (partial_.size() < text::kMaxText) partial_.append(part.substr(0, text::kMaxText - partial_.size()));
    if (end == std::string_view::npos) return;
    addLine(partial_);
    partial_.clear();
    const bool cr = bytes[end] == '\r';
    bytes.remove_prefix(end + 1);
    if (cr) {
      if (!bytes.empty() && bytes.front() == '\n')
        bytes.remove_prefix(1);
      else if (bytes.empty())
        skipLf_ = true;
    }
  }
}

void LineCutter::flush() {
  if (!partial_.empty()) {
    addLine(partial_);
    partial_.clear();
  }
  skipLf_ = false;
}

bool isFromSeparator(std::string_view line) { return isEnvelopeLine(line); }

std::string messageText(const std::vector<text::LinePiece>& pieces, std::size_t first, const text::TextForm& form) {
  std::string body;
  for (std::size_t i = first; i < pieces.size(); ++i) {
    if (pieces[i].removed()) continue;
    body += pieces[i].view();
    if (!pieces[i].continued) body.push_back('\n');
  }
  return text::bodyText(body, form);
}

}  // namespace qb::import::news
