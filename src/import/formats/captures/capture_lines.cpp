#include "import/formats/captures/capture_lines.h"
#include "text/strings.h"

#include <cerrno>
#include <cstring>

namespace qb::import::captures {

namespace {
constexpr std::size_t kBufferSize = 1 << 16;

void stripTrailingBlanks(std::string& s) { s.resize(text::trimRightSpacesView(s).size()); }

using text::endsWith;
}  // namespace

// ---- GoldenCompass records ------------------------------------------------

void cutGoldenCompassRecord(std::string r, std::vector<std::string>& out) {
  if (r.empty()) {
    out.emplace_back();
    return;
  }
  if (r.compare(0, 2, "@l") == 0) r.erase(0, 2);
  if (r.size() >= 3) {
    if (endsWith(r, "@b\n"))
      r.resize(r.size() - 3);
    else if (endsWith(r, "@b") || endsWith(r, "@l"))
      r.resize(r.size() - 2);
  }
  std::size_t lineStart = 0, i = 0;
  auto at = [&](std::size_t p, const char* seq) { return r.compare(p, std::strlen(seq), seq) == 0; };
  auto emit = [&](std::size_t end, std::size_t seqLen) {
    std::string line = r.substr(lineStart, end - lineStart);
    stripTrailingBlanks(line);
    out.push_back(std::move(line));
    i = end + seqLen;
    lineStart = i;
  };
  while (i < r.size()) {
    if (at(i, "@b\n@l")) {
      if (i == 0) out.emplace_back();  // at the very start: two empty lines
      emit(i, 5);
    } else if (at(i, "@b\r\n") || at(i, "@l\r\n")) {
      emit(i, 4);
    } else if (at(i, "@b\n") || at(i, "\n@l")) {
      emit(i, 3);
    } else if (r[i] == '\n') {
      emit(i, 1);
    } else {
      ++i;
    }
  }
  std::string last = r.substr(lineStart);
  stripTrailingBlanks(last);
  out.push_back(std::move(last));
}

// ---- the reader -------------------------------------------------------------

CaptureLineReader::~CaptureLineReader() { close(); }

bool CaptureLineReader::open(const std::string& path, Mode mode, std::string& error) {
  close();
  file_ = std::fopen(path.c_str(), "rb");
  if (!file_) {
    error = std::strerror(errno);
    return false;
  }
  if (std::fseek(file_, 0, SEEK_END) == 0) {
    long s = std::ftell(file_);
    size_ = s > 0 ? static_cast<uint64_t>(s) : 0;
  }
  mode_ = mode;
  buf_.resize(kBufferSize);
  rewind();
  return true;
}

void CaptureLineReader::close() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
  pending_.clear();
  bufPos_ = bufLen_ = 0;
}

void CaptureLineReader::rewind() {
  if (!file_) return;
  std::fseek(file_, 0, SEEK_SET);
  std::clearerr(file_);
  bufPos_ = bufLen_ = 0;
  eof_ = false;
  consumed_ = 0;
  pending_.clear();
}

bool CaptureLineReader::fillBuffer() {
  if (eof_ || !file_) return false;
  bufLen_ = std::fread(buf_.data(), 1, buf_.size(), file_);
  bufPos_ = 0;
  if (bufLen_ == 0) eof_ = true;
  return bufLen_ > 0;
}

bool CaptureLineReader::readRaw(std::string& line) {
  line.clear();
  bool any = false;       // something (even an empty line) was read
  bool lastWasCR = false; // the byte before the current one was CR (records)
  bool kept = true;       // the line is still within its length limit
  for (;;) {
    if (bufPos_ >= bufLen_ && !fillBuffer()) break;
    any = true;
    const char* begin = buf_.data() + bufPos_;
    std::size_t avail = bufLen_ - bufPos_;
    const char* lf = static_cast<const char*>(std::memchr(begin, '\n', avail));
    std::size_t take = lf ? static_cast<std::size_t>(lf - begin) : avail;
    if (kept) {
      std::size_t room = kMaxLineLength + 1 - line.size();  // one extra for a CR before LF
      line.append(begin, take < room ? take : room);
      if (take >= room) kept = false;
    }
    if (take > 0) lastWasCR = begin[take - 1] == '\r';
    bufPos_ += take;
    consumed_ += take;
    if (!lf) continue;
    ++bufPos_;
    ++consumed_;
    if (mode_ == Mode::Lines || lastWasCR) {
      if (kept && !line.empty() && line.back() == '\r') line.pop_back();
      break;
    }
    // A line feed inside a GoldenCompass record belongs to the record.
    if (kept && line.size() < kMaxLineLength + 1) line.push_back('\n');
    lastWasCR = false;
  }
  if (!any) return false;
  if (line.size() > kMaxLineLength) line.resize(kMaxLineLength);
  if (eof_ || (bufPos_ >= bufLen_ && std::feof(file_))) {
    // A DOS end-of-file mark closes the last line.
    while (!line.empty() && line.back() == '\x1A') line.pop_back();
  }
  stripTrailingBlanks(line);
  return true;
}

bool CaptureLineReader::next(std::string& line) {
  if (!pending_.empty()) {
    line = std::move(pending_.front());
    pending_.pop_front();
    return true;
  }
  if (mode_ == Mode::Lines) return readRaw(line);
  std::string record;
  if (!readRaw(record)) return false;
  std::vector<std::string> lines;
  cutGoldenCompassRecord(std::move(record), lines);
  for (auto& l : lines) pending_.push_back(std::move(l));
  line = std::move(pending_.front());
  pending_.pop_front();
  return true;
}

const std::string* CaptureLineReader::peek() {
  if (pending_.empty()) {
    std::string line;
    if (!next(line)) return nullptr;
    pending_.push_front(std::move(line));
  }
  return &pending_.front();
}

int CaptureLineReader::permille() const {
  if (size_ == 0) return 1000;
  uint64_t p = consumed_ * 1000 / size_;
  return p > 1000 ? 1000 : static_cast<int>(p);
}

}  // namespace qb::import::captures
