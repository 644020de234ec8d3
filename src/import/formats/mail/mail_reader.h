#pragma once
// Mailbox readers: each mail format cuts its file into messages and each
// message into lines. The mail converter (mail_converter.h) pulls from a
// reader: nextMessage() moves to the start of the next message, nextLine()
// gives the message's lines in order, header lines first, until the message
// ends. What a message looks like on disk (separator lines, record marker
// bytes, candidate header blocks, tagged parts) is the reader's business;
// the header reading, the text assembly and the filing are shared.
//
// Readers read strictly forward through a RawWindow, so memory stays at the
// window (and at most one candidate header block) whatever the file size.
// Lines end with LF, CR LF or CR alone; a line is kept up to the size of a
// whole message text. Lines are handed out as they stand in the file: the
// transfer encoding of a body is undone by the body routine, which knows
// the encoding its header declares.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "import/formats/shared/raw_window.h"
#include "import/import_types.h"
#include "text/strings.h"

namespace qb::import::mail {

class MailboxReader {
 public:
  virtual ~MailboxReader() = default;

  // Opens the file and prepares the first message (command 199). False when
  // the file cannot be read; `error` then says why.
  virtual bool open(const std::string& path, std::string& error);
  void close() { in_.close(); }

  // Moves to the start of the next message; false when the file holds no
  // more. Lines of the current message not yet read are passed over.
  virtual bool nextMessage() = 0;
  // The next line of the current message (without its line end); false at
  // the end of the message.
  virtual bool nextLine(std::string& line) = 0;

  // Progress through the file, 0..1000.
  int permille() const { return in_.permille(); }

 protected:
  // What ends a line besides LF: a reader that has message boundaries in
  // the middle of a line (record marker bytes, tags) reports the offset of
  // the first such boundary within the `n` bytes ahead, or npos.
  virtual std::size_t boundaryWithin(std::size_t n) const { return RawWindow::npos; }
  // Readers that override boundaryWithin() say so here; the others have
  // their lines cut at LF alone, which is faster.
  virtual bool hasBoundaries() const { return false; }

  // Cuts the next physical line from the window into `line` (cleared
  // first). The line ends at LF (taken), at a boundary (not taken) or at the
  // end of the file. False when nothing is left to read.
  bool cutLine(std::string& line);
  // True when the window stands at a line that begins a new message; the
  // default never does.
  virtual bool atMessageStart() const { return false; }

  // True when the bytes at the current position equal `s`.
  bool at(std::string_view s) const { return in_.startsWith(s); }
  // Bytes that may be looked at from the current position.
  std::size_t visible() const {
    return in_.available() < RawWindow::kLookahead - 1 ? in_.available() : RawWindow::kLookahead - 1;
  }

  RawWindow in_;
};

// The reader of a mail import type ("Eudora", "Netscape Mail", "IE Mail",
// "Outlook Express 4 Mail", "Pegasus", "Becky Mail", "Agent Mail",
// "Generic Mail Type 1", "AOL"); null for another type.
std::unique_ptr<MailboxReader> makeMailboxReader(ImportTypeId type);

// Readers by format (each in its own unit).
std::unique_ptr<MailboxReader> makeEudoraReader();
std::unique_ptr<MailboxReader> makeFromDashReader();      // "Netscape Mail"
std::unique_ptr<MailboxReader> makeRecordMarkerReader();  // "IE Mail", "Outlook Express 4 Mail"
std::unique_ptr<MailboxReader> makePegasusReader();
std::unique_ptr<MailboxReader> makeCandidateReader();     // "Becky Mail", "Agent Mail", "Generic Mail Type 1"
std::unique_ptr<MailboxReader> makeAolReader();

// Helpers shared by the readers.
using text::startsWith;
// Does the line begin with "From:", "Date:", "To:" or "Subject:" (the first
// header line of a Netscape or Outlook Express 4 message)?
bool isAddressHeaderStart(std::string_view line);
// The header classifier's kind of a line, with a quick answer for the many
// body lines that cannot be header lines (every header name the classifier
// knows ends in a colon within the first 50 characters, except the "From "
// separator lines).
int headerKind(std::string_view line);

}  // namespace qb::import::mail
