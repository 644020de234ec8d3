#include "import/formats/news/news_dbx.h"

#include <fcntl.h>
#include <unistd.h>

#include <unordered_set>

#include "import/formats/shared/internet_header.h"
#include "import/formats/news/news_source.h"

namespace qb::import::news {
namespace {

constexpr std::size_t kScanChunk = 65536;
constexpr std::size_t kTestSpan = DbxReader::kHeaderSize + 60;  // bytes a block test looks at
constexpr uint64_t kMaxOffset = 0xFFFFFFFFull;                   // offsets are 32-bit

uint32_t le32(const unsigned char* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

}  // namespace

bool DbxReader::open(const std::string& path) {
  close();
  scan_.open(path, std::ios::binary);
  chain_ = ::open(path.c_str(), O_RDONLY);
  if (!scan_.is_open() || chain_ < 0) {
    close();
    return false;
  }
  scan_.seekg(0, std::ios::end);
  auto end = scan_.tellg();
  size_ = end > 0 ? static_cast<uint64_t>(end) : 0;
  scan_.seekg(0);
  return true;
}

void DbxReader::close() {
  scan_.close();
  scan_.clear();
  if (chain_ >= 0) ::close(chain_);
  chain_ = -1;
  size_ = bufBase_ = pos_ = 0;
  buf_.clear();
  taken_.clear();
}

int DbxReader::permille() const {
  if (size_ == 0) return 1000;
  return pos_ >= size_ ? 1000 : static_cast<int>(pos_ * 1000 / size_);
}

// Makes the scan buffer hold the bytes from pos_ on (at least kTestSpan of
// them while the file goes on). False at the end of the file.
bool DbxReader::fillScanBuffer() {
  if (pos_ >= size_ || pos_ > kMaxOffset) return false;
  if (pos_ >= bufBase_ && pos_ + kTestSpan <= bufBase_ + buf_.size()) return true;
  if (pos_ >= bufBase_ && bufBase_ + buf_.size() >= size_) return true;  // the tail is loaded
  buf_.resize(kScanChunk);
  scan_.clear();
  scan_.seekg(static_cast<std::streamoff>(pos_));
  scan_.read(reinterpret_cast<char*>(buf_.data()), static_cast<std::streamsize>(buf_.size()));
  auto got = scan_.gcount();
  buf_.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  bufBase_ = pos_;
  return !buf_.empty();
}

// The block test at buf_[i] (file offset pos_).
bool DbxReader::isFirstBlock(std::size_t i) const {
  if (i + kHeaderSize > buf_.size()) return false;
  const unsigned char* b = buf_.data() + i;
  const uint64_t at = bufBase_ + i;
  if (le32(b) != at || le32(b + 4) != kBlockSize) return false;
  const uint32_t length = le32(b + 8);
  const uint32_t next = le32(b + 12);
  if (length > kBlockSize || (next != 0 && next < at + kBlockSize + kHeaderSize)) return false;
  if (taken_.count(static_cast<uint32_t>(at))) return false;
  // The first line of the data, as far as the test looks.
  std::size_t avail = buf_.size() - i - kHeaderSize;
  std::size_t n = length < avail ? length : avail;
  if (n > 60) n = 60;
  std::string_view data(reinterpret_cast<const char*>(b + kHeaderSize), n);
  std::size_t eol = data.find_first_of("\r\n");
  std::string_view line = data.substr(0, eol);
  return line.substr(0, 6) == "From -" || classifyHeader(line) != HdrNone;
}

bool DbxReader::next(std::vector<text::LinePiece>& pieces) {
  while (fillScanBuffer()) {
    // The positions of the buffer whose block test sees all it needs (at
    // the end of the file: every position with a whole block header).
    const bool tail = bufBase_ + buf_.size() >= size_;
    const std::size_t need = tail ? kHeaderSize : kTestSpan;
    const std::size_t end = buf_.size() >= need ? buf_.size() - need + 1 : 0;
    std::size_t i = static_cast<std::size_t>(pos_ - bufBase_);
    for (; i < end; ++i) {
      if (le32(buf_.data() + i) != bufBase_ + i) continue;  // the quick part of the test
      pos_ = bufBase_ + i;
      // Chained blocks the scan has passed are no longer needed.
      while (!taken_.empty() && *taken_.begin() < pos_) taken_.erase(taken_.begin());
      if (isFirstBlock(i)) {
        uint32_t length = le32(buf_.data() + i + 8);
        readChain(static_cast<uint32_t>(pos_), pieces);
        pos_ += kHeaderSize + length;
        return true;
      }
    }
    pos_ = tail ? size_ : bufBase_ + i;
  }
  return false;
}

void DbxReader::readChain(uint32_t first, std::vector<text::LinePiece>& pieces) {
  LineCutter cut(pieces);
  std::unordered_set<uint32_t> visited;
  unsigned char buffer[kHeaderSize + kBlockSize];
  uint64_t block = first;
  while (block != 0 && block + kHeaderSize <= size_ && visited.insert(static_cast<uint32_t>(block)).second) {
    ssize_t got = ::pread(chain_, buffer, sizeof buffer, static_cast<off_t>(block));
    if (got < static_cast<ssize_t>(kHeaderSize)) break;
    uint32_t length = le32(buffer + 8);
    if (length > kBlockSize) break;
    std::size_t have = static_cast<std::size_t>(got) - kHeaderSize;  // less at the end of the file
    cut.feed(std::string_view(reinterpret_cast<const char*>(buffer + kHeaderSize), length < have ? length : have));
    if (length > have) break;
    if (block != first && block > pos_) taken_.insert(static_cast<uint32_t>(block));
    block = le32(buffer + 12);
  }
  cut.flush();
}

}  // namespace qb::import::news

namespace qb::import::news {
namespace {

class DbxSource : public NewsSource {
 public:
  bool open(const std::string& path) override { return reader_.open(path); }
  bool next(SourceMessage& m) override {
    m.clear();
    return reader_.next(m.pieces);
  }
  int permille() const override { return reader_.permille(); }

 private:
  DbxReader reader_;
};

}  // namespace

std::unique_ptr<NewsSource> makeDbxSource() { return std::make_unique<DbxSource>(); }

}  // namespace qb::import::news
