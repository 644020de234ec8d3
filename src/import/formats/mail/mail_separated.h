#pragma once
// The skeleton shared by the mailbox readers whose messages start at a
// separator: a line ("From ???@???", "From - "), record marker bytes
// (0x7F 0x00 0x7F) or a separator byte (0x1A). A reader says where a
// message starts and ends and how the separator is consumed; the skeleton
// moves from message to message and hands out the lines.

#include <string>

#include "import/formats/mail/mail_reader.h"

namespace qb::import::mail {

class SeparatedReader : public MailboxReader {
 public:
  bool nextMessage() override;
  bool nextLine(std::string& line) override;

 protected:
  // A message begins at the current position (checked at line starts and
  // at boundaries).
  bool atMessageStart() const override = 0;
  // The current message ends at the current position; by default where the
  // next one starts.
  virtual bool atMessageEnd() const { return atMessageStart(); }
  // Consumes the separator at a message start. By default nothing is
  // consumed and the separator line is the message's first line.
  virtual void enterMessage() {}
  // The separator line is handed out as the first line (Eudora reads its
  // date from it).
  virtual bool separatorIsFirstLine() const { return true; }
  // Lines before the first "From:", "Date:", "To:" or "Subject:" line are
  // passed over (Netscape Mail, Outlook Express 4 Mail).
  virtual bool seeksHeader() const { return false; }
  // While seeking: is this line the first header line? The reader may cut
  // a leading part off the line (binary record fields before the text).
  virtual bool headerStart(std::string& line) const { return isAddressHeaderStart(line); }
  // The first message starts without a separator where the reader stands
  // after open() (Pegasus).
  void startsWithoutSeparator() { pendingFirst_ = true; }

  // Still looking for the first header line of the current message.
  bool seekingHeader() const { return seeking_; }

 private:
  bool readLine(std::string& line) { return cutLine(line); }
  void skipUnit();

  enum class State { None, Entered, In };
  State state_ = State::None;
  bool seeking_ = false;
  bool pendingFirst_ = false;
  std::string scratch_;
};

}  // namespace qb::import::mail
