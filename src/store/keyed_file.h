#pragma once
// The keyed record store: files of fixed-length records of one declared
// layout, several keys per file, an optional text memo per record, one record
// buffer per open file, positioned reads in key order, holds, file locks,
// streamed writes and transactions over several files.
//
// Every store file is one SQLite database file carrying the archive's own
// file name. Records are stored as their exact byte image; each key is a
// column holding the key value encoded so that a byte comparison gives the
// key's order, with one SQLite index per key. Reads in key order page on
// (key value, position) so no statement stays open between calls.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "store/record.h"

namespace qb::store {

// Error kinds the callers tell apart. Numbers and texts are the store's own
// (errorText()).
enum class Err : int {
  Ok = 0,
  FileNotFound = 2,
  PathNotFound = 3,
  AccessDenied = 5,
  InvalidName = 45,
  DamagedKeys = 46,       // a key index no longer matches the records
  LayoutDiffers = 47,     // the file was written with another record layout
  AlreadyOpen = 52,
  NoRecord = 33,          // not found, or changed/deleted since it was read
  RecordHeld = 35,        // held by another user (hold wait ran out)
  DuplicateKey = 40,
  EndOfFile = 34,         // reading past either end of the current order
  NotOpen = 37,
  FileLocked = 32,        // whole-file lock or transaction lock wait ran out
  NoTransaction = 56,     // commit/rollback without an open transaction
  TooManyFiles = 57,      // a transaction lists more files than one can span
  IoError = 90,           // any other failure of the underlying database
  BadFormat = 48,         // not a store file, or its structure is damaged
  FileExists = 80,        // create() found a file of that name
  TransactionActive = 58, // the file is already part of an open transaction
  DiskFull = 39,          // no space left (or the file size limit reached) while writing
};

const char* errorText(Err e);
// The operating system's text for the cause of the last failed write of this
// thread ("No space left on device", "Input/output error", ...); empty when
// the failure had no system cause.
const std::string& lastSystemError();
inline int errorNumber(Err e) { return static_cast<int>(e); }

enum class Access {
  ReadOnlyShared,       // others may read and write
  ReadWriteShared,      // others may read and write
  ReadWriteExclusive,   // no other opener at all
  ReadWriteDenyWrite,   // others may only read
};

class Transaction;

// One open store file with its record buffer (the raw image and the memo).
// Typed access is through Table<R> below.
class KeyedFile {
 public:
  explicit KeyedFile(const Layout& layout);
  virtual ~KeyedFile();
  KeyedFile(const KeyedFile&) = delete;
  KeyedFile& operator=(const KeyedFile&) = delete;

  const Layout& layout() const { return layout_; }
  const std::string& path() const { return path_; }
  bool isOpen() const;

  // ---- file level ----
  // create() leaves the file closed; FileExists when the name is taken.
  Err create(const std::string& path);  // empty file with layout and keys; replaces none
  // open() reports FileNotFound, PathNotFound, InvalidName, AccessDenied
  // (rights, or another opener's mode), BadFormat (not a store file),
  // LayoutDiffers (file closed again) or AlreadyOpen (this handle is open).
  // DamagedKeys leaves the file open so that buildKeys() can repair it;
  // until then reads in key order and writes other than append() return
  // DamagedKeys. Close it after the repair.
  Err open(const std::string& path, Access mode = Access::ReadWriteShared);
  void close();  // also rolls back a transaction the file is part of
  // remove(): FileNotFound when there is no such file, AccessDenied while
  // anyone has it open.
  static Err remove(const std::string& path);  // deletes the file and its companions
  // empty(): AccessDenied while another handle has the file open for writing.
  Err empty();                                  // remove all records (needs exclusive access)
  Err pack();                                   // compact the file
  // buildKeys(): a record that would duplicate a unique key stays out of
  // that key (the first record written keeps it) and the result is
  // DuplicateKey; the keys are built all the same.
  Err buildKeys();                              // rebuild every key (also keys appended records)
  Err buildKey(int key);
  int64_t count();
  // Number of records before the record at `pos` in the order of `key`,
  // counted from the start of the range that the first `parts` components
  // of the buffer's key value begin (0: from the start of the file); -1 when
  // the record is not in that key or not in that range. Answered from the key's index without
  // reading the records.
  int64_t countBefore(int key, int64_t pos, int parts = 0);

  // Files that need no durability (work files in the temporary directory):
  // writes are not synced to disk and the journal is kept in memory. A crash
  // may lose or damage such a file. Takes effect at once and on later opens.
  void setDurable(bool durable);
  // Files opened after this call read their pages through a memory mapping
  // of up to `bytes` of the file instead of one read call and copy per page
  // (0, the default: no mapping). For a program that browses: counting the
  // records before a record of a large list walks a key's whole index, and
  // mapped it takes a fifth of the time. Writes still go through the
  // journal. A process-wide choice, made once at start.
  static void setMappedReads(int64_t bytes);
  // Number of records in the store file at `path` whatever its layout; -1
  // when it is not a readable store file. Lets a caller decide about a file
  // whose layout differs (a file that holds no records may be recreated).
  static int64_t storedCount(const std::string& path);
  // The underlying database's message for the last error, for diagnostics.
  const std::string& lastDetail() const;
  // After open() gave DamagedKeys: the keys are sound but were encoded by
  // another version of the key encoding, or keys deferred by a handle that
  // is gone (a killed program) are still to be written: a planned rebuild,
  // not damage.
  bool keysFromOtherVersion() const;

  // ---- record buffer ----
  std::vector<uint8_t>& image() { return image_; }
  std::string& memo() { return memo_; }  // at most kMaxMemo bytes; longer is cut when written
  void clearBuffer();                    // all fields 0 or blank, memo empty

  // ---- positioning and reading ----
  // set(key): before the first record in key order (next reads the first,
  // previous the last). setAt(key, parts): at the key value in the buffer,
  // using its first `parts` components (-1: all); next reads the first record
  // at or after it, previous the last record at or before it.
  Err set(int key);
  Err setAt(int key, int parts = -1);
  Err setFileOrder();                      // physical (position) order
  Err setAtPosition(int key, int64_t pos); // key order, next reads record `pos`
  Err next();                              // EndOfFile past the end
  Err previous();                          // EndOfFile before the start
  Err get(int key);                        // exact match on all components from the buffer
  Err getPosition(int64_t pos);

  // Ranks in key order `key` within the records whose first `parts` key
  // components equal the buffer's (0: all records of the key), for showing
  // where a list stands in the whole. Only the key's index is walked; the
  // cursor is left as it was.
  int64_t countInRange(int key, int parts = 0);
  // (The number of records of the range before a record: countBefore.)
  // The position of the record `rank` records into the range; 0 when the
  // range is shorter.
  int64_t positionAtRank(int key, int64_t rank, int parts = 0);
  // Positions are never handed out twice in a file, and survive other
  // writes and pack().
  int64_t position() const { return position_; }  // saved position of the record last read/written

  // ---- writing ----
  Err add();     // DuplicateKey when a unique key would break; nothing changes then
  Err append();  // add without keys; buildKeys() keys it later
  // put() and del() return NoRecord when the record is gone and RecordHeld
  // while another handle holds it. put() keeps a record that is out of a key
  // (appended, or left out by buildKeys) out of it.
  Err put();     // change the record last read (or held)
  Err del();     // delete the record last read (or held)
  // The record last read (the one put() would change) does not count as a
  // duplicate of itself.
  bool duplicate(int key = -1);  // would add() break unique key `key` (-1: any)?

  // ---- holds and locks (also between processes) ----
  // hold(seconds): the next read (get/next/previous/getPosition) holds the
  // record it reads, waiting at most `seconds` for another holder; the read
  // returns RecordHeld when the wait runs out. A hold lasts until release(),
  // put() or del() of the record, the next hold, or close().
  void hold(int seconds);
  void release();
  // lock(seconds): whole-file lock, waiting at most `seconds`; FileLocked
  // when the wait runs out. It excludes other lock() calls (by any handle or
  // process); reads and writes of others go on.
  Err lock(int seconds);  // whole-file lock
  void unlock();

  // ---- deferred key indexes (bulk adds) ----
  // deferKeys(mask): the indexes of the keys in `mask` (bit k for key k;
  // keys that allow duplicates only) are dropped, and add() and put() go on
  // writing the records' key values without keeping those indexes up;
  // completeKeys() builds them again in one sorted pass, far cheaper than
  // one index entry per add when many records are added. Meanwhile reads in
  // those key orders stay right but are slower (no index). Called outside a
  // transaction: the file notes the deferral, so that a program killed
  // before completeKeys() leaves a file whose next opener (once this handle
  // is gone) gets DamagedKeys and builds the keys with buildKeys(). Other
  // handles open the file as it is while this one lives.
  Err deferKeys(unsigned mask);
  // Builds the deferred indexes and forgets the deferral, in a transaction
  // of its own (or the stream). Does nothing when no key is deferred.
  Err completeKeys();
  unsigned deferredKeys() const;

  // ---- bulk work ----
  // stream() keeps the writes of this handle in one database transaction
  // (others cannot write meanwhile); flush() writes them out and ends it.
  // Inside a Transaction both do nothing.
  Err stream();  // buffer writes until flush()
  Err flush();

 protected:
  // Typed record buffers move their record into image_ before a write and
  // out of it after a read.
  virtual void storeBuffer() {}
  virtual void loadBuffer() {}

 private:
  friend class Transaction;
  struct Impl;
  std::unique_ptr<Impl> d_;
  const Layout& layout_;
  std::string path_;
  std::vector<uint8_t> image_;
  std::string memo_;
  int64_t position_ = 0;
};

// A file with a typed record buffer: `rec` is the record; reads fill it and
// writes take it.
template <class R>
class Table : public KeyedFile {
 public:
  Table() : KeyedFile(R::layout()) {}
  R rec{};
  void clear() {
    rec = R{};
    clearBuffer();
  }

 protected:
  void storeBuffer() override { toImage(rec, image().data()); }
  void loadBuffer() override { fromImage(rec, image().data()); }
};

// A transaction over a listed set of open files, committed or rolled back as
// one: after a crash every file holds all of a committed transaction's writes
// or none of them. While it is open, every read and write of the listed files
// goes through it.
//
// begin() waits at most waitSeconds for the other writers of the files and
// returns FileLocked when the wait runs out; TooManyFiles beyond 11 distinct
// files; TransactionActive when a file is already in a transaction. A failed
// write inside leaves the transaction open (the write itself changed nothing).
class Transaction {
 public:
  Transaction();
  ~Transaction();  // rolls back when still open
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  Err begin(const std::vector<KeyedFile*>& files, int waitSeconds);
  Err commit();
  Err rollback();
  bool active() const;

 private:
  friend class KeyedFile;
  struct Impl;
  std::unique_ptr<Impl> d_;
};

}  // namespace qb::store
