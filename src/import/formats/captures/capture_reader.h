#pragma once
// The capture reader shared by all capture formats: it reads the file
// forward into a queue of line pieces and hands out message blocks (the lines
// from one message-start line up to the next).
//
// A fill queues lines until the queue holds 2500 pieces or the file ends,
// then goes on reading until a message-start line is met; that line is
// carried over to the next fill (at most 1200 characters), so every block in
// a filled queue is complete. Lines before the first start line belong to no
// message. For formats that take code page 850, every byte of 128 and above
// is translated to Windows-1252 as the line is queued.
//
// Memory is bounded: a line keeps at most 1200 characters (three pieces) and
// a message keeps at most kMaxMessagePieces pieces once the queue is full;
// its further lines are passed over (the text of a message is cut at 64000
// bytes anyway). A fill reads a bounded number of
// lines per call so that a long stretch without start lines takes several
// steps.

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "import/formats/captures/capture_format.h"
#include "import/formats/captures/capture_lines.h"
#include "text/line_piece.h"

namespace qb::import::captures {

constexpr std::size_t kQueuePieces = 2500;
constexpr std::size_t kMaxMessagePieces = 16000;

class CaptureReader {
 public:
  explicit CaptureReader(CaptureFormat f) : format_(f) {}

  // Opens the file (GoldenCompass as cut records, others as lines).
  bool open(const std::string& path, std::string& error);
  void close() { lines_.close(); }
  // The raw lines of the file (the forum/mail decision scans them first).
  CaptureLineReader& lineReader() { return lines_; }

  // Back to the top of the file with an empty queue and nothing carried
  // over; start lines are those of `kind`.
  void start(FileKind kind);

  // Reads at most `budget` lines into the queue. True when the queue is
  // ready: it ends at a carried-over start line or at the end of the file.
  bool fill(std::size_t budget);
  bool ready() const { return ready_; }

  struct Block {
    std::size_t first = 0;  // queue line of the start line
    std::size_t end = 0;    // one past the block's last line
    std::size_t size() const { return end - first; }
  };
  // The next message block of a ready queue; false when the queue is used up
  // (the next fill then begins a new queue).
  bool nextBlock(Block& b);

  // The whole text of queue line i (its pieces joined).
  std::string lineText(std::size_t i) const;
  // The pieces of queue lines [firstLine, endLine).
  std::span<text::LinePiece> pieces(std::size_t firstLine, std::size_t endLine);
  std::size_t queuedLines() const { return lines_q_.size(); }
  std::size_t queuedPieces() const { return pieces_.size(); }

  // The whole file has been handed out.
  bool finished() const { return eof_ && !carried_ && !ready_; }
  int permille() const { return lines_.permille(); }

 private:
  struct QueuedLine {
    std::size_t firstPiece;
    std::size_t pieceCount;
    bool start;
  };
  void push(std::string_view line, bool start);
  void beginFill();

  CaptureFormat format_;
  FileKind kind_ = FileKind::Forum;
  CaptureLineReader lines_;
  std::vector<text::LinePiece> pieces_;
  std::vector<QueuedLine> lines_q_;
  std::size_t cursor_ = 0;      // next queue line to walk
  std::size_t messageStart_ = 0;  // first piece of the message being filled
  std::optional<std::string> carried_;
  bool filling_ = false;
  bool ready_ = false;
  bool eof_ = false;
  std::string line_;  // reused read buffer
};

}  // namespace qb::import::captures
