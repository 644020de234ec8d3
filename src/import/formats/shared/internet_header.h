#pragma once
// The Internet header reader: reads the header of a news article, or of a
// mail or forum message written in Internet form, from the queued line pieces
// of one message into the import work record. It is shared by the news store
// readers and by the mail formats that are read through it.
//
// What it does, in short:
//  - recognises header names by their upper-cased prefixes ("NEWSGROUPS:",
//    "MESSAGE-ID:", "REFERENCES:", "IN-REPLY-TO:", "CONTENT-TYPE: TEXT/HTML",
//    "CONTENT-TYPE: MULTIPART", "LINES:", "FROM:", "DATE:", "SUBJ:",
//    "SUBJECT:", "REPLY TO:", "TO:", "FM:"); anything else does nothing;
//  - decides the message kind: news (a "Newsgroups:" line, or an index entry
//    of the store), forum (in a store that holds forum messages, the first
//    header line is "Subject:"), else mail;
//  - gives the Message-ID and the last referenced identifier numbers from
//    the run's counter and writes one TID work record for each, so that the
//    storing phase can thread articles by their identifier strings;
//  - chooses the newsgroup (the first listed one that has a newsgroup
//    database, else the first listed one);
//  - unfolds every header field (RFC 5322) before it is read;
//  - reads the date, the subject (encoded words decoded into UTF-8, then
//    one leading "Re:" removed), the sender and the recipient (names
//    decoded);
//  - reads the Content-Type (type, charset, boundary, format=flowed) and
//    the transfer encoding, and for a multipart message marks the body
//    pieces that do not belong to its first text part; HeaderResult::form
//    tells how the text is to be decoded.
//
// A blank line ends the header of a news article, of a message whose sender,
// date and subject have been seen, or of one with a "To:" line; any other
// blank line is passed over. A header that never ends that way ends at its
// first blank line, so that the body of such a message is not lost.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "import/addresses.h"
#include "import/converter.h"
#include "text/line_piece.h"
#include "text/mime.h"
#include "import/work_records.h"

namespace qb::import {

// ---- header classifier ------------------------------------------------------

enum HeaderKind : int {
  HdrNone = 0,
  HdrFrom = 1,
  HdrDate = 2,
  HdrTo = 3,
  HdrSubject = 4,
  HdrNewsgroups = 5,
  HdrMessageId = 6,
  HdrOther = 99,  // another known header name
};

// Classifies a line by its first 50 characters, compared in upper case.
// A mailbox envelope line ("From " with an address, or a sender and an
// asctime date; envelope_line.h) counts as HdrOther, and so does "From "
// with an "@" within the first 50 characters or " - " after the word, so
// that mailbox separator lines are known as header starts too.
int classifyHeader(std::string_view line);

// ---- address rules --------------------------------------------------------

// The news address rule ("Agent News", "IE News", "Outlook Express 4 News",
// "Unix News", "Gravity", "Winvn"): "Name <addr>", "addr (Name)",
// "Name addr" or a bare address. The address is lower-cased; both are cut to
// 60 characters; enclosing quotes and parentheses leave the name.
// Encoded words of the name are decoded into UTF-8 (8-bit text outside them
// is read in `charset`, the message's declared charset, or by the unlabelled
// rule); a name longer than the field ends at a word.
NameAddress newsAddress(std::string_view text, std::string_view charset = {});

// The address rule of the other formats read through the header reader:
// "<" or a blank before the "@" decides; "INTERNET:" addresses; without an
// "@" the CompuServe form "Name 12345,678" (also with a period, or in square
// brackets). The address is lower-cased; both are cut to 60 characters.
NameAddress otherAddress(std::string_view text, std::string_view charset = {});

enum class AddressRule { News, Other };
// The rule an import type uses.
AddressRule addressRuleFor(ImportTypeId type);

// ---- header reader --------------------------------------------------------

enum class MessageKind : uint8_t { Forum = 1, Mail = 2, News = 3 };

// The index entry of a store that keeps one per article (the news cache
// files); its values stand in for header lines the article lacks.
struct NewsIndexEntry {
  std::string messageId;   // at most 60 characters
  std::string subject;     // at most 100
  std::string sender;      // at most 100
  std::string references;  // the last referenced identifier(s)
  std::string newsgroups;  // newsgroup list
};

// The owner of the mail database that mail is filed into: the side of a
// mail that belongs to the archive's user gets these.
struct MailboxSide {
  std::string name = "CSINET";
  std::string address = "CSINET";
};

struct HeaderOptions {
  AddressRule rule = AddressRule::News;
  const NewsIndexEntry* index = nullptr;  // the article's index entry, if the store has one
  bool forums = false;  // the store holds forum messages too (a first "Subject:" line makes one)
  MailboxSide owner;                      // for mail
};

struct HeaderResult {
  MessageKind kind = MessageKind::Mail;
  std::size_t firstBody = 0;  // index of the first body piece (the queue's size when none)
  long lines = 0;             // value of a "Lines:" header, 0 when absent
  bool html = false;          // the text is HTML (header, or the chosen MIME part)
  bool multipart = false;     // a "Content-Type: multipart" header was seen
  std::string boundary;       // its MIME boundary (empty when none was found)
  text::TransferEncoding partEncoding = text::TransferEncoding::Identity;  // of the chosen MIME part
  text::TextForm form;        // how the text (or the chosen MIME part) is written
  bool outgoing = false;      // mail whose sender text begins with "You"
  bool sawTo = false;         // a "To:" line was seen
};

class InternetHeaderReader {
 public:
  explicit InternetHeaderReader(ImportContext& ctx) : ctx_(ctx) {}

  // Reads the header that starts at pieces[first] and fills the subject,
  // sender, recipient, date, time, newsgroup name (NHR:FOR_DESCRIPTION) and
  // identifier fields of `nhr`. The body is the rest of the queue: for a
  // multipart message its pieces outside the first text part are marked for
  // removal. NHR:INTERNAL is not set: the reader of the store resolves the
  // target once it has decided to take the message.
  HeaderResult read(std::vector<text::LinePiece>& pieces, std::size_t first, NHR& nhr,
                    const HeaderOptions& options = {});

  // The newsgroup choice over a "Newsgroups:" list: the first name (split
  // at commas, blanks trimmed) for which a newsgroup database exists, else
  // the first name.
  std::string chooseNewsgroup(std::string_view list, NHR& nhr);

  // Gives the next identifier number to a Message-ID text and writes its
  // TID record (the identifier cut to 60 characters). 0 for an empty text
  // or when the record cannot be written.
  uint32_t identify(std::string_view idText);

 private:
  ImportContext& ctx_;
};

// The last referenced identifier of a "References:" text: the text after
// its last blank (or the whole text), cut to 60 characters. When that last
// word was cut short (a "<" without its ">"), the last whole "<...>" word
// before it is taken instead.
std::string lastReference(std::string_view references);

// The heading of a subject text: leading blanks removed, then one leading
// "RE:" (any case) with the blanks after it.
std::string headingOf(std::string_view subject);

}  // namespace qb::import
