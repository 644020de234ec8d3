#pragma once
// CreateTOC: the table of contents that lists an exported "Eudora" mailbox
// in that program. The mailbox is read back, split at its "From ???@???"
// lines, and every message gets an entry with its offset and length, date,
// sender (inbox) or receiver (outbox) and subject. One message per step,
// so a large mailbox does not hold up the window.
//
// Layout: a 104-byte header (version text, mailbox name, box type, window
// places, message counts) and one 218-byte entry per message.

#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace qb::exporting {

constexpr std::size_t kTocHeaderSize = 104;
constexpr std::size_t kTocEntrySize = 218;

// The index file of a mailbox: its name with the last three characters
// replaced by "TOC"; empty when the name does not end in "MBX" (any case).
std::string tocPathOf(const std::string& mailboxPath);

class CreateTOC {
 public:
  // boxKind: 1 inbox (received mail), 2 outbox (sent mail). `starts`
  // (when known) are the offsets where the export began messages, from
  // `appendedFrom` on: a separator line elsewhere in that part is text of a
  // message (quoted), not the start of one.
  CreateTOC(const std::string& mailboxPath, int boxKind, std::vector<uint64_t> starts = {},
            uint64_t appendedFrom = 0);
  ~CreateTOC();
  // Opens the mailbox and writes the header; false (error()) when the
  // mailbox cannot be read or the index cannot be written, or when the name
  // does not end in "MBX" (then error() is empty: no index is wanted).
  bool start();
  // Indexes the next message; false at the end or on an error.
  bool step();
  // Rewrites the header with the count and closes; false on an error.
  bool finish();
  uint32_t count() const { return count_; }
  uint64_t size() const { return size_; }      // of the mailbox
  uint64_t offset() const { return offset_; }  // read so far
  const std::string& error() const { return error_; }
  const std::string& tocPath() const { return tocPath_; }

 private:
  bool readLine(std::string& line);
  bool startsMessage(const std::string& line, uint64_t at) const;
  std::string header() const;
  std::string mailbox_, tocPath_, error_;
  int boxKind_;
  std::vector<uint64_t> starts_;
  uint64_t appendedFrom_ = 0;
  std::ifstream in_;
  std::ofstream out_;
  uint64_t size_ = 0, offset_ = 0;
  uint32_t count_ = 0;
  bool havePending_ = false;  // a separator line was read ahead
  uint64_t pendingOffset_ = 0;
  std::string pending_;
  bool done_ = false;
};

// The seconds since 1970-01-01 00:00 of a date text such as
// "Wed, 05 Mar 1997  9:05:03" or "Wed Mar 05  9:05:03 1997" (seconds are
// not counted); -1 when no date is found.
int64_t tocSeconds(const std::string& dateText, int& day, int& month, int& year, int& hour, int& minute);

}  // namespace qb::exporting
