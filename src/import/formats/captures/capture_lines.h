#pragma once
// Reads a capture file line by line, strictly forward. A line ends at LF
// (a CR before it is dropped); it is read whole up to 64000 characters (the
// rest of a longer line is passed over) and trailing blanks are stripped.
//
// GoldenCompass files are read as records ended by CR LF, and each record is
// cut into lines at its "@b"/"@l" formatting codes and line feeds
// (cutGoldenCompassRecord).

#include <cstdint>
#include <cstdio>
#include <deque>
#include <string>
#include <vector>

namespace qb::import::captures {

constexpr std::size_t kMaxLineLength = 64000;

// Cuts one GoldenCompass record into lines (appended to `out`).
void cutGoldenCompassRecord(std::string record, std::vector<std::string>& out);

class CaptureLineReader {
 public:
  enum class Mode { Lines, GoldenCompassRecords };

  CaptureLineReader() = default;
  ~CaptureLineReader();
  CaptureLineReader(const CaptureLineReader&) = delete;
  CaptureLineReader& operator=(const CaptureLineReader&) = delete;

  // Opens the file; on failure `error` holds the system's reason.
  bool open(const std::string& path, Mode mode, std::string& error);
  void close();
  bool isOpen() const { return file_ != nullptr; }
  // Back to the first line.
  void rewind();

  // The next line; false at the end of the file.
  bool next(std::string& line);
  // The line that next() will give, without taking it; null at the end.
  const std::string* peek();

  uint64_t size() const { return size_; }
  // Bytes consumed so far (for progress).
  uint64_t consumed() const { return consumed_; }
  // Progress through the file, 0..1000.
  int permille() const;

 private:
  bool readRaw(std::string& line);  // one line or record from the file
  bool fillBuffer();

  std::FILE* file_ = nullptr;
  Mode mode_ = Mode::Lines;
  std::vector<char> buf_;
  std::size_t bufPos_ = 0, bufLen_ = 0;
  bool eof_ = false;
  uint64_t size_ = 0, consumed_ = 0;
  std::deque<std::string> pending_;  // lines cut from a record, or a peeked line
};

}  // namespace qb::import::captures
