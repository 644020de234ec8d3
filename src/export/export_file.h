#pragma once
// An export file: created (emptied) or opened for appending when the first
// message is written, written through a buffer, and on failure put back as
// it was: a new file is removed, an appended file cut back to its former
// length, so that no half-written file is left looking like a good one.

#include <cstdint>
#include <string>

namespace qb::exporting {

class ExportFile {
 public:
  ExportFile() = default;
  ~ExportFile();  // an open file is closed (as close() does)
  ExportFile(const ExportFile&) = delete;
  ExportFile& operator=(const ExportFile&) = delete;

  // Opens `path`: `append` keeps what is there and writes after it (a
  // missing file is created), otherwise the file is created or emptied.
  // False with error() when it cannot be.
  bool open(const std::string& path, bool append);
  bool isOpen() const { return fd_ >= 0; }
  const std::string& path() const { return path_; }
  // Appends bytes; false with error() once a write failed.
  bool write(const std::string& bytes);
  // Writes out the buffer and closes; false with error() when that failed
  // (the file is then put back as it was).
  bool close();
  // Puts the file back as it was before open() and closes it.
  void discard();
  // Bytes written through this object so far (the offset of the next byte
  // relative to where writing began) and the file's length before.
  uint64_t written() const { return written_; }
  uint64_t startLength() const { return start_; }
  const std::string& error() const { return error_; }

 private:
  bool flushBuffer();
  bool fail(const std::string& what, int err);
  int fd_ = -1;
  std::string path_, workPath_;
  std::string buffer_;
  uint64_t written_ = 0, start_ = 0;
  bool created_ = false, failed_ = false, appending_ = false;
  std::string error_;
};

// True when `name` is a plain file name: not empty, no "/" or "\",
// not "." or "..", no control characters.
bool isPlainFileName(const std::string& name);

}  // namespace qb::exporting
