#include "store/file_lock.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

namespace qb::store {

namespace {
struct flock byteLock(short type, int64_t at) {
  struct flock fl {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = at;
  fl.l_len = 1;
  fl.l_pid = 0;  // required 0 for open-file-description locks
  return fl;
}
}  // namespace

bool FileLock::open(const std::string& lockPath) {
  close();
  fd_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd_ < 0) fd_ = ::open(lockPath.c_str(), O_RDONLY | O_CLOEXEC);  // read-only media
  return fd_ >= 0;
}

void FileLock::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool FileLock::tryLock(int64_t at, bool exclusive) {
  if (fd_ < 0) return false;
  struct flock fl = byteLock(exclusive ? F_WRLCK : F_RDLCK, at);
  while (fcntl(fd_, F_OFD_SETLK, &fl) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

bool FileLock::lockWait(int64_t at, bool exclusive, double seconds) {
  using clock = std::chrono::steady_clock;
  auto deadline = clock::now() + std::chrono::duration<double>(seconds);
  for (;;) {
    if (tryLock(at, exclusive)) return true;
    if (errno != EAGAIN && errno != EACCES) return false;
    if (clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

void FileLock::unlock(int64_t at) {
  if (fd_ < 0) return;
  struct flock fl = byteLock(F_UNLCK, at);
  fcntl(fd_, F_OFD_SETLK, &fl);
}

bool FileLock::lockedByOther(int64_t at) {
  if (fd_ < 0) return false;
  struct flock fl = byteLock(F_WRLCK, at);
  if (fcntl(fd_, F_OFD_GETLK, &fl) != 0) return false;
  return fl.l_type != F_UNLCK;
}

}  // namespace qb::store
