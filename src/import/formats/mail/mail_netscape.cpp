// "Netscape Mail" folders: a message starts at a line beginning with
// "From - "; lines up to the first "From:", "Date:", "To:" or "Subject:"
// line (the program's own status lines) are passed over; the body runs to the
// next "From - " line.
#include "import/formats/mail/mail_separated.h"

namespace qb::import::mail {

namespace {

class FromDashReader : public SeparatedReader {
 protected:
  bool atMessageStart() const override { return at("From - "); }
  void enterMessage() override {
    std::string separator;
    cutLine(separator);
  }
  bool separatorIsFirstLine() const override { return false; }
  bool seeksHeader() const override { return true; }
};

}  // namespace

std::unique_ptr<MailboxReader> makeFromDashReader() { return std::make_unique<FromDashReader>(); }

}  // namespace qb::import::mail
