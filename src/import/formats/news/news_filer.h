#pragma once
// Filing one message of a news store: the header reader reads its header,
// the kind decides where it goes, the text assembler joins its body, and the
// import work record is appended.
//
//  - a news article (kind 3) is taken when news is selected for the run and
//    its newsgroup resolves to a database that accepts messages;
//  - a mail (kind 2) is taken when mail is selected: it goes into the mail
//    database the request names, numbered from the run's counter;
//  - a forum message (kind 1) is a VirtualAccess matter (news_virtualaccess).
// Anything not taken is counted as skipped. A run set to create databases
// only resolves the target and stores nothing.

#include <string>

#include "import/converter.h"
#include "import/formats/shared/internet_header.h"
#include "import/formats/news/news_source.h"

namespace qb::import::news {

class NewsFiler {
 public:
  explicit NewsFiler(ImportTypeId type);
  virtual ~NewsFiler() = default;

  ImportTypeId type() const { return type_; }

  // At the start of each file.
  virtual void startFile(ImportContext& ctx);
  // Files one message. False when a work record could not be written (the
  // file then stops).
  virtual bool file(ImportContext& ctx, SourceMessage& m);

 protected:
  // The header reader's options for this format and file.
  HeaderOptions options(const SourceMessage& m) const;

  virtual bool fileNews(ImportContext& ctx, NHR& nhr, SourceMessage& m, const HeaderResult& r);
  virtual bool fileMail(ImportContext& ctx, NHR& nhr, SourceMessage& m, const HeaderResult& r);
  // Assembles the body from r.firstBody and appends the work record.
  bool append(ImportContext& ctx, NHR& nhr, const SourceMessage& m, const HeaderResult& r);

  // The owner of the mail database the request names (loaded per file).
  MailboxSide owner_;

 private:
  ImportTypeId type_;
  AddressRule rule_;
};

// An article without a Message-ID (and without one in its index entry) gets
// an identifier made from its sender, date, time and subject, so that it is
// stored like any other and recognised when imported again.
std::string substituteMessageId(const NHR& nhr);

}  // namespace qb::import::news
