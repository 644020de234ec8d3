#include "import/formats/mail/mail_converter.h"

#include <optional>

#include "import/formats/families.h"
#include "import/formats/mail/mail_eudora.h"
#include "text/body_text.h"
#include "archive/session.h"

namespace qb::import::mail {

void MailTarget::startFile(ImportContext& ctx) {
  const ImportRequest& req = ctx.request();
  owner_ = loadMailOwner(ctx.session(), req.mailDatabase);
  id_ = 0;
  accepts_ = false;
  if (!(req.kinds & KindMail) || req.mailDatabase.empty()) return;
  NHR scratch;
  Resolution res = ctx.resolveDatabase(req.mailDatabase, 2, scratch, true);
  if (res.id == 0 || res.kind != 2 || !res.accept) return;
  id_ = res.id;
  accepts_ = !req.createOnly;
}

bool MailTarget::append(ImportContext& ctx, NHR& nhr, const std::string& text, const std::vector<Recipient>& copies) {
  nhr.FOR_DESCRIPTION = ctx.request().mailDatabase;
  nhr.INTERNAL = id_;
  nhr.MSGNUMBER = nhr.REFNUMBER = ctx.nextId();
  if (nhr.RECIPTYPE.blank()) nhr.RECIPTYPE = "TO";
  if (!ctx.appendWork(nhr, text)) return false;
  for (auto& r : copies) {
    CCT cc;
    cc.MAILID = nhr.REFNUMBER;
    cc.R_NAME = r.name;
    cc.R_CISADRESS = r.address;
    cc.RECIPTYPE = r.type;
    if (!ctx.appendCC(cc)) return false;
  }
  return true;
}

MailConverter::MailConverter(ImportTypeId type)
    : type_(type), header_(type == ImportTypeId::Eudora ? HeaderStyle::Eudora : HeaderStyle::Mail) {}

bool MailConverter::step(ImportContext& ctx, uint8_t& command) {
  if (command == 199) {
    command = 99;
    reader_ = makeMailboxReader(type_);
    std::string error = "The format is not known.";
    if (!reader_ || !reader_->open(ctx.fileName(), error)) {
      ctx.session().tell(ctx.fileName() + " cannot be opened\r\n" + error + "\r\nThis file will be skipped!",
                         "Warning!");
      reader_.reset();
      return true;
    }
    target_.startFile(ctx);
  }
  if (!reader_) return true;
  for (int n = 0; n < kMailsPerStep; ++n) {
    bool stop = false;
    if (!convertOne(ctx, stop)) {
      ctx.progress(1000);
      reader_->close();
      reader_.reset();
      return true;
    }
  }
  ctx.progress(reader_->permille());
  return false;
}

bool MailConverter::convertOne(ImportContext& ctx, bool& stop) {
  if (!reader_->nextMessage()) return false;

  // The header: from its first line to the first empty line (empty lines
  // before it are passed over).
  header_.clear();
  bool any = false;
  while (reader_->nextLine(line_)) {
    if (line_.empty()) {
      if (any) break;
      continue;
    }
    header_.line(line_);
    any = true;
  }
  if (!any) return true;  // an empty record: no mail in it

  NHR nhr;
  if (!target_.accepts() || !header_.finish(nhr, target_.owner())) {
    ctx.skipped();
    return true;
  }

  // The body as it stands in the file, through the MIME body routine when
  // the mail is multipart. Eudora stores bodies decoded and without their
  // MIME structure, and marks their kind with lines of its own.
  const bool eudora = type_ == ImportTypeId::Eudora;
  std::optional<text::MimeBodyFilter> mime;
  if (header_.mime().hasBoundary() && !eudora) mime.emplace(header_.mime().boundary());
  body_.clear();
  while (reader_->nextLine(line_)) {
    if (mime && !mime->keep(line_)) continue;
    if (body_.size() < kMaxBody) {
      body_.append(line_, 0, kMaxBody - body_.size());
      body_.push_back('\n');
    }
  }
  text::TextForm form = header_.form();
  if (mime) {
    form = mime->form();
    if (!mime->taken()) body_ = mime->preamble();  // no text part: the preamble is all there is
  }
  if (eudora) readEudoraMarkers(body_, form);
  std::string text = text::bodyText(body_, form);

  if (!target_.append(ctx, nhr, text, header_.copies())) {
    stop = true;
    return false;
  }
  return true;
}

std::unique_ptr<Converter> makeMailboxConverter(ImportTypeId type) {
  if (!makeMailboxReader(type)) return nullptr;
  return std::make_unique<MailConverter>(type);
}

}  // namespace qb::import::mail
