#pragma once
// The mail header reader: reads the header lines of one mail (up to its
// first empty line) into the import work record.
//
//  - "From:", "Date:", "Subject:" and "To:" give sender, date, subject and
//    recipient; the sender and the recipient are split by the news address
//    rule, the date read by the Internet date rule, and one leading "Re:"
//    leaves the subject;
//  - "Content-Type: text/html" makes the body HTML, "text/enriched"
//    enriched; "Content-Type: multipart/..." (other than multipart/digest)
//    makes it multipart, and its boundary is read from that line or the
//    following ones;
//  - "Cc:" lines and further addresses of a "To:" list name further
//    recipients, filed as carbon copies;
//  - the Content-Type's charset and format=flowed and the transfer
//    encoding tell the body routine how to decode a single-part body;
//  - a "Newsgroups:" line (a news article) and a multipart mail without a
//    boundary make the mail be skipped;
//  - the mailbox-owner rule decides the direction and puts the owner on his
//    side of the mail.
//
// Eudora writes its mailboxes in its own way: the separator line is the
// first header line, "Content-Type: multipart/alternative" is kept as HTML,
// bodies are stored decoded whatever the transfer encoding says, and the
// direction comes from the "Date:" line: with one the mail was received,
// without one it was sent and is dated from the separator line.

#include <string>
#include <string_view>
#include <vector>

#include "import/formats/mail/mail_owner.h"
#include "text/mime.h"
#include "text/month_date.h"
#include "text/text_assembler.h"
#include "import/work_records.h"

namespace qb::import::mail {

enum class HeaderStyle { Mail, Eudora };

// A further recipient of a mail (a carbon-copy work record).
struct Recipient {
  std::string name;     // at most 40 characters, encoded words decoded
  std::string address;  // lower case, at most 60 characters
  std::string type;     // "TO" or "CC"
};

class MailHeaderReader {
 public:
  explicit MailHeaderReader(HeaderStyle style = HeaderStyle::Mail) : style_(style) {}

  // Starts a new mail.
  void clear();
  // One header line (without its line end), in order; an empty line ends
  // the header (the last field is read).
  void line(std::string_view line);
  // After the last header line (fields folded over several lines are
  // unfolded first; encoded words are decoded into UTF-8): fills NHR:HEADING, the sender and recipient
  // fields, NHR:DATE, NHR:TIME, NHR:MAILTYPE and NHR:RECIPTYPE of `nhr`.
  // False when the mail must be skipped (a news article, or multipart
  // without a boundary).
  bool finish(NHR& nhr, const MailOwner& owner);
  // The carbon copies and NHR:RECIPTYPE of a mail whose sender, recipient
  // and direction are in `nhr` already (finish() calls it; the formats read
  // by the news header reader call it after their own header reading).
  void fileCopies(NHR& nhr, const MailOwner& owner);

  text::BodyKind bodyKind() const { return kind_; }
  // The multipart description; a boundary when the body is to be walked by
  // the MIME body routine.
  const text::MimeDescription& mime() const { return mime_; }
  // Further recipients, known after finish(): the owner's own addresses and
  // the mail's recipient are not among them.
  const std::vector<Recipient>& copies() const { return copies_; }
  bool sawNewsgroups() const { return news_; }
  // The recipient text: the "To:" text without a trailing mark such as
  // "(X)", or the first address of a list.
  std::string recipientText() const;
  // How a single-part body is written: its type, charset, format=flowed
  // and transfer encoding (Eudora keeps the header but stores the body
  // decoded: no transfer encoding).
  text::TextForm form() const;

 private:
  void flush();  // reads the field collected in field_

  HeaderStyle style_;
  bool first_ = true;
  bool news_ = false;
  bool sawDate_ = false, sawTo_ = false;
  std::string field_;  // the header field being unfolded
  text::ContentType type_;
  text::TransferEncoding encoding_ = text::TransferEncoding::Identity;
  std::string separator_, from_, date_, subject_, to_;
  std::string toList_, ccList_;
  text::BodyKind kind_ = text::BodyKind::Plain;
  text::MimeDescription mime_;
  std::vector<Recipient> copies_;
};

// Splits an address list at the commas that end an address (outside quotes,
// angle brackets and parentheses, and only after an "@", so that "Smith,
// John <js@example.com>" stays one entry). Entries are trimmed; empty ones
// are dropped.
std::vector<std::string> splitAddressList(std::string_view list);

// The date of an Eudora "Date:" text: a leading three-letter weekday with
// its comma and blank is dropped and a one-digit day gets a leading "0"
// before the Internet date rule reads it.
text::DateTime eudoraDate(std::string_view dateText);
// The date of an Eudora separator line ("From ???@??? Mon Dec 13 18:45:29
// 2010"): from column 18 the month name, the day, the time and the year.
text::DateTime eudoraSeparatorDate(std::string_view separator);

}  // namespace qb::import::mail
