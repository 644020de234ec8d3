#pragma once
// Byte-range locks on a store file's companion lock file ("<name>.lck").
//
// The locks are POSIX open-file-description locks: they belong to one open
// of the lock file, so two handles in one process conflict with each other
// exactly as two processes do, and every lock goes away when its handle is
// closed or its process ends (also when it is killed).
//
// Byte layout of the lock file (nothing is ever written to it):
//   0        whole-file lock (KeyedFile::lock)
//   1        open: shared by every opener, exclusive for an exclusive open
//   2        write: shared by every shared writer, exclusive when others may
//            only read
//   3        deferred keys: shared by a handle that adds records without
//            some of their keys (KeyedFile::deferKeys) while it lives
//   16 + n   hold on the record at position n

#include <cstdint>
#include <string>

namespace qb::store {

class FileLock {
 public:
  static constexpr int64_t kFileByte = 0;
  static constexpr int64_t kOpenByte = 1;
  static constexpr int64_t kWriteByte = 2;
  static constexpr int64_t kDeferByte = 3;
  static int64_t recordByte(int64_t pos) { return 16 + pos; }

  FileLock() = default;
  ~FileLock() { close(); }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  // Opens (creating when missing) the lock file; false with errno set when
  // it cannot be opened.
  bool open(const std::string& lockPath);
  void close();
  bool isOpen() const { return fd_ >= 0; }

  // Takes a shared or exclusive lock on one byte without waiting; a lock
  // already held through this handle is converted.
  bool tryLock(int64_t at, bool exclusive);
  // As tryLock, retrying until `seconds` have passed (0: one try).
  bool lockWait(int64_t at, bool exclusive, double seconds);
  void unlock(int64_t at);
  // Whether another handle holds a lock on the byte that would conflict with
  // an exclusive lock.
  bool lockedByOther(int64_t at);

  static std::string pathFor(const std::string& storePath) { return storePath + ".lck"; }

 private:
  int fd_ = -1;
};

}  // namespace qb::store
