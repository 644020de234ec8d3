// The two mail formats whose files are read by the news sources:
//
//  - "Generic Mail Type 2": mailboxes separated by "From " lines (the
//    "Winvn" source). The news header reader reads each header; a message
//    it takes for mail is filed into the mail database by the mailbox-owner
//    rule, with its carbon copies; a news article is skipped.
//  - "Outlook Express 5 Mail": message databases (the source shared with
//    "Outlook Express 5 News"). Each joined message is read by the mail
//    header reader, like any other mailbox.
#include "import/formats/families.h"
#include "import/formats/mail/mail_converter.h"
#include "import/formats/news/news_converter.h"
#include "import/formats/news/news_filer.h"

namespace qb::import::mail {

namespace {

// Hands the header lines of a queued message, from `first` to the first
// empty line (empty lines before the header passed over), to `header`.
// Returns the index of the line after the empty line (the queue's size when
// there is none), or `first` when the message holds no header line.
std::size_t readHeader(const std::vector<text::LinePiece>& pieces, std::size_t first, MailHeaderReader& header) {
  header.clear();
  bool any = false;
  std::string line;
  for (std::size_t i = first; i < pieces.size();) {
    if (pieces[i].empty()) {
      if (any) {
        header.line("");
        return i + 1;
      }
      ++i;
      continue;
    }
    line.assign(pieces[i].view());
    while (pieces[i].continued && i + 1 < pieces.size()) line += pieces[++i].view();  // a long line's pieces
    ++i;
    header.line(line);
    any = true;
  }
  header.line("");
  return any ? pieces.size() : first;
}

class FromLineMailFiler : public news::NewsFiler {
 public:
  using NewsFiler::NewsFiler;

  void startFile(ImportContext& ctx) override {
    NewsFiler::startFile(ctx);
    target_.startFile(ctx);
    owner_ = MailboxSide{target_.owner().name, target_.owner().address};
  }

 protected:
  bool fileNews(ImportContext& ctx, NHR&, news::SourceMessage&, const HeaderResult&) override {
    ctx.skipped();
    return true;
  }

  bool fileMail(ImportContext& ctx, NHR& nhr, news::SourceMessage& m, const HeaderResult& r) override {
    if (!target_.accepts()) {
      ctx.skipped();
      return true;
    }
    // The news header reader puts the owner on the receiving side unless
    // the sender text begins with "You"; the mailbox-owner rule decides by
    // the owner's addresses, and a sent mail gets its recipient back.
    const MailOwner& owner = target_.owner();
    readHeader(m.pieces, m.first, header_);
    if (r.outgoing || owner.owns(nhr.S_CISADRESS.str())) {
      NameAddress recipient = otherAddress(header_.recipientText());
      nhr.R_NAME = recipient.name;
      nhr.R_CISADRESS = recipient.address;
      setDirection(nhr, owner, Outgoing);
    } else {
      setDirection(nhr, owner, Incoming);
    }
    header_.fileCopies(nhr, owner);
    return target_.append(ctx, nhr, news::messageText(m.pieces, r.firstBody, r.form), header_.copies());
  }

 private:
  MailTarget target_;
  MailHeaderReader header_;
};

class MessageDatabaseMailFiler : public news::NewsFiler {
 public:
  using NewsFiler::NewsFiler;

  void startFile(ImportContext& ctx) override {
    NewsFiler::startFile(ctx);
    target_.startFile(ctx);
  }

  bool file(ImportContext& ctx, news::SourceMessage& m) override {
    std::size_t body = readHeader(m.pieces, m.first, header_);
    if (body == m.first) return true;  // no header: no mail
    NHR nhr;
    if (!target_.accepts() || !header_.finish(nhr, target_.owner())) {
      ctx.skipped();
      return true;
    }
    text::TextForm form = header_.form();
    if (header_.mime().hasBoundary() && body < m.pieces.size()) {
      std::span<text::LinePiece> rest(m.pieces.data() + body, m.pieces.size() - body);
      form = text::markMimePart(rest, header_.mime().boundary());
    }
    return target_.append(ctx, nhr, news::messageText(m.pieces, body, form), header_.copies());
  }

 private:
  MailTarget target_;
  MailHeaderReader header_;
};

}  // namespace

std::unique_ptr<Converter> makeNewsSourceMailConverter(ImportTypeId type) {
  std::unique_ptr<news::NewsFiler> filer;
  if (type == ImportTypeId::GenericMail2)
    filer = std::make_unique<FromLineMailFiler>(type);
  else if (type == ImportTypeId::OutlookExpress5Mail)
    filer = std::make_unique<MessageDatabaseMailFiler>(type);
  auto source = news::makeNewsSource(type);
  if (!source || !filer) return nullptr;
  return std::make_unique<news::NewsConverter>(std::move(source), std::move(filer));
}

}  // namespace qb::import::mail
