#pragma once
// The converter of the Internet mail formats. Each file is read by the
// format's mailbox reader (mail_reader.h); for each mail the mail header
// reader fills the import work record, the body (only the first text part
// of a multipart mail) goes through the body routine (text/body_text.h:
// transfer encoding, charset to UTF-8, flowed text, HTML), and the record
// is appended for the mail database that the import request names, with a
// carbon-copy record for every further recipient.
//
// Serves the import types "Eudora", "Netscape Mail", "IE Mail",
// "Outlook Express 4 Mail", "Pegasus", "Becky Mail", "Agent Mail",
// "Generic Mail Type 1" and "AOL" here; "Generic Mail Type 2" and
// "Outlook Express 5 Mail" read their files with the news sources ("From "
// lines, message databases) and file them here (mail_news_sources.cpp).
//
// When mail is not selected for the run, the request names no mail
// database or one that does not exist or takes no imports, or the run only
// creates databases, every mail is skipped and counted as skipped.

#include <memory>
#include <string>
#include <vector>

#include "import/converter.h"
#include "import/formats/mail/mail_header.h"
#include "import/formats/mail/mail_owner.h"
#include "import/formats/mail/mail_reader.h"
#include "text/text_assembler.h"

namespace qb::import::mail {

// The mail database a run files into, with its owner.
class MailTarget {
 public:
  // At the start of each file: resolves the request's mail database and
  // loads its owner.
  void startFile(ImportContext& ctx);
  const MailOwner& owner() const { return owner_; }
  // Mails are filed; otherwise each one is skipped.
  bool accepts() const { return accepts_; }
  // Names the target in `nhr`, numbers the mail from the run's counter and
  // appends it with its text and carbon copies. False when a work record
  // could not be written (the file then stops).
  bool append(ImportContext& ctx, NHR& nhr, const std::string& text, const std::vector<Recipient>& copies);

 private:
  MailOwner owner_;
  uint32_t id_ = 0;
  bool accepts_ = false;
};

// At most this much of one mail's body is read (the text keeps 64000 bytes;
// the rest is markup, encoding or attachments).
constexpr std::size_t kMaxBody = 4 * 1024 * 1024;

class MailConverter : public Converter {
 public:
  // Mails converted per step at most.
  static constexpr int kMailsPerStep = 20;

  explicit MailConverter(ImportTypeId type);
  bool step(ImportContext& ctx, uint8_t& command) override;

 private:
  // Converts the next mail; false at the end of the file or when a work
  // record could not be written (`stop`).
  bool convertOne(ImportContext& ctx, bool& stop);

  ImportTypeId type_;
  std::unique_ptr<MailboxReader> reader_;
  MailTarget target_;
  MailHeaderReader header_;
  std::string line_;
  std::string body_;
};

}  // namespace qb::import::mail
