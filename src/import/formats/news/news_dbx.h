#pragma once
// The message database reader ("*.DBX" of "Outlook Express 5 News" and
// "Outlook Express 5 Mail").
//
// A message is kept in a chain of data blocks. Each block has a 16-byte
// header of four unsigned 32-bit little-endian values: the block's own file
// offset, the block size, the length of the data in the block and the file
// offset of the next block (0 for the last). The file is scanned forward for
// the first blocks of messages: the own offset equals the position, the size
// is 512, the data length at most 512, the next offset 0 or at least 528
// further on, and the data begins with "From -" or with a header line the
// header classifier knows. The data of the block and of every block of its
// chain is joined and cut into lines (quoted-printable soft line breaks
// undone). The other blocks of the file (its header, its indexes) fail the
// test and are passed over; blocks already taken into a chain are not taken
// as message starts again.
//
// A chain that loops, points past the end of the file or into a block with
// a data length above 512 ends there. Memory stays at one block, the line
// queue of one message and the offsets of chained blocks not yet scanned.

#include <cstdint>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "text/line_piece.h"

namespace qb::import::news {

class DbxReader {
 public:
  static constexpr uint32_t kBlockSize = 512;
  static constexpr uint32_t kHeaderSize = 16;

  DbxReader() = default;
  ~DbxReader() { close(); }
  DbxReader(const DbxReader&) = delete;
  DbxReader& operator=(const DbxReader&) = delete;

  bool open(const std::string& path);
  void close();
  // The lines of the next message, appended to `pieces`; false when the
  // file holds no more messages.
  bool next(std::vector<text::LinePiece>& pieces);
  int permille() const;

 private:
  bool fillScanBuffer();
  bool isFirstBlock(std::size_t i) const;
  void readChain(uint32_t first, std::vector<text::LinePiece>& pieces);

  std::ifstream scan_;   // the forward scan
  int chain_ = -1;       // the blocks of one message (read by position)
  uint64_t size_ = 0;
  std::vector<unsigned char> buf_;  // scan buffer
  uint64_t bufBase_ = 0;            // file offset of buf_[0]
  uint64_t pos_ = 0;                // next position to test
  std::set<uint32_t> taken_;        // chained blocks ahead of the scan
};

}  // namespace qb::import::news
