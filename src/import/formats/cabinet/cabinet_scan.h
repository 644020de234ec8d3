#pragma once
// The first pass over a filing cabinet file: finds the byte range of every
// message record (from its "~CS~FCR~" marker to the byte before the next
// one, or to the end of the file) and queues those longer than 120 bytes.
// The file is read through a two-block window, a bounded number of bytes
// per call, so that a large file does not hold up the run.

#include <cstdint>
#include <string>
#include <vector>

#include "import/formats/shared/raw_window.h"

namespace qb::import::cabinet {

struct RecordSpan {
  uint64_t start = 0;  // offset of the marker
  uint64_t end = 0;    // offset after the record's last byte
};

class CabinetScanner {
 public:
  // Opens the file; false when it cannot be read.
  bool open(const std::string& path);
  // The file begins with "FCAB".
  bool signatureOk() const { return signature_; }
  // Scans at most `budget` further bytes; true once the end of the file has
  // been reached and the last record queued.
  bool scan(std::size_t budget);
  int permille() const { return window_.permille(); }
  uint64_t fileSize() const { return window_.size(); }
  std::vector<RecordSpan>& queue() { return queue_; }
  void close() { window_.close(); }

 private:
  void recordEnds(uint64_t end);

  RawWindow window_;
  bool signature_ = false;
  bool inRecord_ = false;
  uint64_t recordStart_ = 0;
  std::vector<RecordSpan> queue_;
};

}  // namespace qb::import::cabinet
