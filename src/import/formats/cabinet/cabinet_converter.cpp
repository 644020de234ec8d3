#include "import/formats/cabinet/cabinet_converter.h"

#include "archive/session.h"
#include "import/formats/families.h"
#include "import/formats/cim/cim_mail.h"
#include "import/formats/cim/cim_text.h"
#include "import/formats/shared/cis_identifier.h"
#include "import/formats/shared/source_text.h"
#include "text/strings.h"

namespace qb::import::cabinet {

std::unique_ptr<Converter> makeCabinetConverter(ImportTypeId) { return std::make_unique<CabinetConverter>(); }

bool CabinetConverter::open(ImportContext& ctx) {
  if (!scanner_.open(ctx.fileName())) {
    ctx.session().tell(ctx.fileName() + " cannot be opened\r\nThis file will be skipped!", "Warning!");
    return false;
  }
  if (!scanner_.signatureOk()) {
    scanner_.close();
    ctx.session().tell("The file " + ctx.fileName() + " is not a CompuServe 3.x or 4.x file!\r\n" +
                           "This file will be skipped!",
                       "Warning!");
    return false;
  }
  file_.close();
  file_.clear();
  file_.open(ctx.fileName(), std::ios::binary);
  next_ = 0;
  target_.startFile(ctx);
  return file_.is_open();
}

void CabinetConverter::finish(ImportContext& ctx) {
  scanner_.close();
  scanner_.queue().clear();
  file_.close();
  ctx.status("");
  ctx.progress(1000);
}

bool CabinetConverter::step(ImportContext& ctx, uint8_t& command) {
  if (command == 199) {
    if (!open(ctx)) return true;
    command = kFirstPass;
    ctx.status("Pre-import first pass");
  }
  if (command == kFirstPass) {
    bool done = scanner_.scan(kScanBytesPerStep);
    ctx.progress(scanner_.permille() / 10);
    if (!done) return false;
    scanner_.close();
    command = 99;
    ctx.status("Pre-import message conversion");
    return false;
  }
  auto& queue = scanner_.queue();
  for (int n = 0; n < kRecordsPerStep && next_ < queue.size(); ++n) {
    if (!decode(ctx, queue[next_++])) {
      finish(ctx);
      return true;
    }
  }
  if (next_ >= queue.size()) {
    finish(ctx);
    return true;
  }
  ctx.progress(100 + static_cast<int>(next_ * 900 / queue.size()));
  return false;
}

bool CabinetConverter::decode(ImportContext& ctx, const RecordSpan& span) {
  std::size_t length = static_cast<std::size_t>(std::min<uint64_t>(span.end - span.start, kMaxRecordBytes));
  record_.resize(length);
  file_.clear();
  file_.seekg(static_cast<std::streamoff>(span.start));
  file_.read(record_.data(), static_cast<std::streamsize>(length));
  record_.resize(static_cast<std::size_t>(file_.gcount()));

  CabinetMessage m;
  if (decodeCabinetRecord(record_, m) != CabinetRead::Ok) {
    ctx.skipped();
    return true;
  }
  for (std::string* t : {&m.subject, &m.senderName, &m.senderAddress, &m.sectionName, &m.forumName,
                         &m.recipientName, &m.recipientAddress, &m.text})
    toStoredText(*t, SourceCharset::Windows);
  for (mail::Recipient& r : m.recipients) {
    toStoredText(r.name, SourceCharset::Windows);
    toStoredText(r.address, SourceCharset::Windows);
  }
  return m.kind == RecordKind::Mail ? fileMail(ctx, m) : fileForum(ctx, m);
}

bool CabinetConverter::fileForum(ImportContext& ctx, CabinetMessage& m) {
  const ImportRequest& req = ctx.request();
  std::string forum = m.forumName;
  if (text::startsWith(text::upperAscii(forum), "CIS:")) forum.erase(0, 4);
  forum = text::trim(forum);
  if (!(req.kinds & KindForum) || forum.empty()) {
    ctx.skipped();
    return true;
  }
  NHR nhr;
  nhr.FOR_DESCRIPTION = forum;
  Resolution res = ctx.resolveDatabase(forum, 1, nhr);
  if (!res.accept || res.id == 0 || req.createOnly ||
      (!req.allowReimport && ctx.alreadyImported(res.id, m.msgNumber))) {
    ctx.skipped();
    return true;
  }
  nhr.INTERNAL = res.id;
  nhr.MSGNUMBER = m.msgNumber;
  nhr.REFNUMBER = m.refNumber;
  nhr.DATE = m.date;
  nhr.TIME = m.time;
  nhr.HEADING = m.subject;
  nhr.SECTIONNUMBER = m.section;
  nhr.SEC_DESCRIPTION = m.sectionName;
  nhr.S_NAME = cleanCisName(m.senderName, m.senderAddress);
  nhr.S_CISADRESS = cleanCisAddress(m.senderAddress);
  nhr.R_NAME = cleanCisName(m.recipientName, m.recipientAddress);
  nhr.R_CISADRESS = cleanCisAddress(m.recipientAddress);
  return ctx.appendWork(nhr, cim::convertCimText(std::move(m.text), text::StripKind::Forum));
}

bool CabinetConverter::fileMail(ImportContext& ctx, CabinetMessage& m) {
  if (!(ctx.request().kinds & KindMail) || !target_.accepts()) {
    ctx.skipped();
    return true;
  }
  NHR nhr;
  nhr.DATE = m.date;
  nhr.TIME = m.time;
  nhr.HEADING = cim::mailSubject(m.subject);
  nhr.S_NAME = m.senderName;
  std::string sender = text::trim(m.senderAddress);
  if (text::startsWith(text::upperAscii(sender), "INTERNET:")) sender.erase(0, 9);
  const mail::MailOwner& owner = target_.owner();
  if (sender.empty()) {
    mail::setDirection(nhr, owner, mail::Outgoing);
  } else {
    nhr.S_CISADRESS = cleanCisAddress(sender);
    mail::applyOwnerRule(nhr, owner);
  }
  std::string text = cim::convertCimText(std::move(m.text), text::StripKind::Mail);
  return cim::appendCimMail(ctx, target_, nhr, m.recipients, text);
}

}  // namespace qb::import::cabinet
