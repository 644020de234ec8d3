#include "export/export_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qb::exporting {

namespace {
constexpr std::size_t kBufferSize = 256 * 1024;

std::string reason(int err) {
  switch (err) {
    case ENOENT: return "the directory does not exist";
    case EACCES: case EPERM: return "no access rights";
    case EROFS: return "the file system is read-only";
    case ENOSPC: return "the disk is full";
    case EFBIG: return "the file would grow beyond the size allowed";
    case EDQUOT: return "the disk quota is used up";
    case EISDIR: return "a directory of that name exists";
    case ENOTDIR: return "a part of the path is not a directory";
    default: return std::strerror(err);
  }
}
}  // namespace

bool isPlainFileName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (unsigned char c : name)
    if (c == '/' || c == '\\' || c < 0x20) return false;
  return true;
}

ExportFile::~ExportFile() {
  if (fd_ >= 0) close();
}

bool ExportFile::fail(const std::string& what, int err) {
  failed_ = true;
  error_ = "The file " + path_ + " cannot be " + what + ": " + reason(err) + ".";
  return false;
}

bool ExportFile::open(const std::string& path, bool append) {
  path_ = path;
  failed_ = false;
  error_.clear();
  written_ = start_ = 0;
  buffer_.clear();
  struct stat st {};
  const bool existed = ::stat(path.c_str(), &st) == 0;
  if (existed && S_ISDIR(st.st_mode)) return fail("written", EISDIR);
  appending_ = append;
  if (append) {
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0) return fail(existed ? "opened" : "created", errno);
    created_ = !existed;
    off_t end = ::lseek(fd_, 0, SEEK_END);
    start_ = end > 0 ? static_cast<uint64_t>(end) : 0;
    return true;
  }
  // A new file is written under a work name beside it and takes its name
  // when it is complete, so a failed export leaves an existing file as it
  // was.
  workPath_ = path + ".part";
  fd_ = ::open(workPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd_ < 0) return fail("created", errno);
  created_ = true;
  return true;
}

bool ExportFile::flushBuffer() {
  std::size_t at = 0;
  while (at < buffer_.size()) {
    ssize_t n = ::write(fd_, buffer_.data() + at, buffer_.size() - at);
    if (n < 0) {
      if (errno == EINTR) continue;
      int err = errno;
      buffer_.clear();
      return fail("written", err);
    }
    at += static_cast<std::size_t>(n);
  }
  buffer_.clear();
  return true;
}

bool ExportFile::write(const std::string& bytes) {
  if (fd_ < 0 || failed_) return false;
  buffer_ += bytes;
  written_ += bytes.size();
  if (buffer_.size() >= kBufferSize) return flushBuffer();
  return true;
}

bool ExportFile::close() {
  if (fd_ < 0) return !failed_;
  bool ok = !failed_ && flushBuffer();
  if (ok && ::fsync(fd_) != 0 && errno != EINVAL && errno != EROFS) ok = fail("written", errno);
  if (!ok) {
    discard();
    return false;
  }
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) {
    const int err = errno;
    if (!appending_) ::unlink(workPath_.c_str());
    return fail("written", err);
  }
  if (!appending_ && ::rename(workPath_.c_str(), path_.c_str()) != 0) {
    const int err = errno;
    ::unlink(workPath_.c_str());
    return fail("written", err);
  }
  return true;
}

void ExportFile::discard() {
  if (fd_ < 0) return;
  buffer_.clear();
  if (!appending_) {
    ::close(fd_);
    ::unlink(workPath_.c_str());
  } else if (created_) {
    ::close(fd_);
    ::unlink(path_.c_str());
  } else {
    if (::ftruncate(fd_, static_cast<off_t>(start_)) != 0) { /* nothing more can be done */ }
    ::close(fd_);
  }
  fd_ = -1;
}

}  // namespace qb::exporting
