// "IE Mail" and "Outlook Express 4 Mail" mailboxes (*.MBX): a message record
// starts at the marker bytes 0x7F 0x00 0x7F. The record's own binary fields
// and any lines before the first "From:", "Date:", "To:" or "Subject:" line
// are passed over; from there header and body run to the next 0x7F 0x00,
// which may stand in the middle of a line (the padding after a message).
// Quoted-printable soft line breaks are undone.
#include "import/formats/mail/mail_separated.h"

namespace qb::import::mail {

namespace {

constexpr std::string_view kStart("\x7F\x00\x7F", 3);
constexpr std::string_view kEnd("\x7F\x00", 2);

class RecordMarkerReader : public SeparatedReader {
 protected:
  bool atMessageStart() const override { return at(kStart); }
  // While the header is still looked for, the record's binary fields may
  // hold the two end bytes; only a new record ends the message there.
  bool atMessageEnd() const override { return seekingHeader() ? at(kStart) : at(kEnd); }
  void enterMessage() override { in_.advance(kStart.size()); }
  bool separatorIsFirstLine() const override { return false; }
  bool seeksHeader() const override { return true; }

  // The message text follows the record's binary fields without a line
  // break: the header line is looked for after the last control byte.
  bool headerStart(std::string& line) const override {
    std::size_t from = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
      unsigned char c = static_cast<unsigned char>(line[i]);
      if (c < 0x20 && c != '\t') from = i + 1;
    }
    if (!isAddressHeaderStart(std::string_view(line).substr(from))) return false;
    line.erase(0, from);
    return true;
  }

  bool hasBoundaries() const override { return true; }
  std::size_t boundaryWithin(std::size_t n) const override {
    for (std::size_t i = 0; i < n; ++i)
      if (in_.at(i) == 0x7F && in_.at(i + 1) == 0x00 && (!seekingHeader() || in_.at(i + 2) == 0x7F)) return i;
    return RawWindow::npos;
  }
};

}  // namespace

std::unique_ptr<MailboxReader> makeRecordMarkerReader() { return std::make_unique<RecordMarkerReader>(); }

}  // namespace qb::import::mail
