#include "import/formats/shared/raw_window.h"

#include <cstring>

namespace qb::import {

bool RawWindow::open(const std::string& path) {
  close();
  file_.open(path, std::ios::binary);
  if (!file_.is_open()) return false;
  file_.seekg(0, std::ios::end);
  auto end = file_.tellg();
  size_ = end > 0 ? static_cast<uint64_t>(end) : 0;
  file_.seekg(0, std::ios::beg);
  refill();
  // A file whose first block holds no LF but a CR has its lines ended by CR
  // alone (Mac files); in any other, a CR within a line is a character.
  const std::string_view first(buf_.data(), filled_);
  crLines_ = first.find('\n') == std::string_view::npos && first.find('\r') != std::string_view::npos;
  return true;
}

void RawWindow::close() {
  if (file_.is_open()) file_.close();
  file_.clear();
  pos_ = filled_ = 0;
  base_ = size_ = 0;
  eof_ = false;
}

// Keeps a whole block ahead of the current position: once the position has
// entered the second block, the second block moves to the front and the next
// block of the file is read behind it.
void RawWindow::refill() {
  if (pos_ >= kBlock && filled_ > kBlock) {
    std::memmove(buf_.data(), buf_.data() + kBlock, filled_ - kBlock);
    filled_ -= kBlock;
    pos_ -= kBlock;
    base_ += kBlock;
  } else if (pos_ >= filled_ && filled_ > 0) {  // everything read: start afresh
    base_ += filled_;
    pos_ = filled_ = 0;
  }
  while (!eof_ && filled_ < buf_.size()) {
    file_.read(buf_.data() + filled_, static_cast<std::streamsize>(buf_.size() - filled_));
    auto got = file_.gcount();
    if (got <= 0) {
      eof_ = true;
      break;
    }
    filled_ += static_cast<std::size_t>(got);
  }
}

bool RawWindow::startsWith(std::string_view s) const {
  if (pos_ + s.size() > filled_) return false;
  return std::memcmp(buf_.data() + pos_, s.data(), s.size()) == 0;
}

std::size_t RawWindow::find(char c, std::size_t limit) const {
  std::size_t n = filled_ - pos_;
  if (limit < n) n = limit;
  const void* p = std::memchr(buf_.data() + pos_, c, n);
  return p ? static_cast<std::size_t>(static_cast<const char*>(p) - (buf_.data() + pos_)) : npos;
}

void RawWindow::advance(std::size_t n) {
  while (n > 0 && pos_ < filled_) {
    std::size_t step = filled_ - pos_;
    if (step > n) step = n;
    pos_ += step;
    n -= step;
    if (pos_ >= kBlock || pos_ >= filled_) refill();
  }
}

std::size_t RawWindow::findLineEnd(std::size_t limit) const {
  if (!crLines_) return find('\n', limit);
  std::size_t n = filled_ - pos_;
  if (limit < n) n = limit;
  const char* p = buf_.data() + pos_;
  for (std::size_t i = 0; i < n; ++i)
    if (p[i] == '\n' || p[i] == '\r') return i;
  return npos;
}

// Passes over the line end at the current position: LF, CR LF or CR.
void RawWindow::skipLineEnd() {
  if (atEnd()) return;
  const bool cr = buf_[pos_] == '\r';
  advance(1);
  if (cr && !atEnd() && buf_[pos_] == '\n') advance(1);
}

void RawWindow::skipLine() {
  std::string scratch;
  readLine(scratch, 0);
}

bool RawWindow::readLine(std::string& line, std::size_t keep) {
  line.clear();
  if (atEnd()) return false;
  while (!atEnd()) {
    std::size_t n = filled_ - pos_;
    std::size_t end = findLineEnd(n);
    std::size_t take = end == npos ? n : end;
    if (line.size() < keep) line.append(buf_.data() + pos_, take < keep - line.size() ? take : keep - line.size());
    advance(take);
    if (end != npos) {
      skipLineEnd();
      break;
    }
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

int RawWindow::permille() const {
  if (size_ == 0) return 1000;
  uint64_t p = position();
  return p >= size_ ? 1000 : static_cast<int>(p * 1000 / size_);
}

}  // namespace qb::import
