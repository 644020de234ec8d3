#pragma once
// Where exported messages go: the files of the old readers' formats (one
// file, or an inbox and an outbox by the mail's direction), an mbox file or
// a Maildir directory. A sink opens its files with the first message, puts
// every file back as it was when something fails, and tells which mailbox
// files it wrote.

#include <memory>
#include <string>
#include <vector>

#include "export/export_message.h"

namespace qb::exporting {

struct SinkOptions {
  uint8_t kind = 0;
  int format = 0;
  bool append = false;
  std::string directory;      // where the files go
  std::string inbox, outbox;  // file names
  bool wrap = false;          // DOS output mode: wrap at `column` ...
  int column = 78;            // ... instead of copying lines as they are
  uint32_t forumId = 0;       // makes forum message identifiers
};

// A mailbox file a sink wrote: 1 inbox (received mail), 2 outbox (sent).
struct WrittenBox {
  std::string path;
  int boxKind = 1;
  // Where the messages of this export begin in the file; what lies before
  // `appendedFrom` was in the file before.
  std::vector<uint64_t> starts;
  uint64_t appendedFrom = 0;
};

class ExportSink {
 public:
  virtual ~ExportSink() = default;
  // Writes one message; `sent` chooses the outbox. False with error().
  virtual bool write(const ExportMessage& m, bool sent) = 0;
  // Completes the files; false with error() (the files are put back).
  virtual bool close() = 0;
  // Puts every file back as it was before the export.
  virtual void discard() = 0;
  virtual std::vector<WrittenBox> written() const = 0;
  const std::string& error() const { return error_; }

 protected:
  std::string error_;
};

// The sink of a format: the old readers' formats (1 to 5), mbox (10) or
// Maildir (11).
std::unique_ptr<ExportSink> makeSink(const SinkOptions& o);

// The lines of a message in an old reader's format, each ended by "\r\n",
// in the format's character set (the writing rules of the classic sink).
std::string classicMessageText(const ExportMessage& m, int format, bool sent, bool wrap, int column);

}  // namespace qb::exporting
