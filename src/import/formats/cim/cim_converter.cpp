#include "import/formats/cim/cim_converter.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include "archive/session.h"
#include "import/formats/families.h"
#include "import/formats/cim/cim_mail.h"
#include "import/formats/cim/cim_text.h"
#include "import/formats/shared/cis_identifier.h"
#include "import/formats/shared/source_text.h"

namespace qb::import::cim {

std::unique_ptr<Converter> makeCimConverter(ImportTypeId type) {
  return std::make_unique<CimConverter>(importTypeName(type));
}

bool readFilePrefix(const std::string& path, std::size_t limit, std::string& bytes, std::string& error) {
  bytes.clear();
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = std::strerror(errno);
    return false;
  }
  bytes.resize(limit);
  in.read(bytes.data(), static_cast<std::streamsize>(limit));
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  return true;
}

CimConverter::CimConverter(std::string typeName) : typeName_(std::move(typeName)), dos_(typeName_ == "DOSCIM") {}

bool CimConverter::step(ImportContext& ctx, uint8_t& command) {
  command = 99;
  std::string bytes, error;
  if (!readFilePrefix(ctx.fileName(), kMaxCimFile, bytes, error)) {
    ctx.session().tell(ctx.fileName() + " cannot be opened\r\n" + error + "\r\nThis file will be skipped!",
                       "Warning!");
    return true;
  }
  CimMessage m;
  if (readCimFile(bytes, m) == CimRead::Ok) {
    const SourceCharset cs = dos_ ? SourceCharset::Dos850 : SourceCharset::Windows;
    for (std::string* s : {&m.subject, &m.senderName, &m.senderAddress, &m.text, &m.sectionName, &m.forumName,
                           &m.recipientName, &m.recipientAddress})
      toStoredText(*s, cs);
    for (mail::Recipient& r : m.recipients) {
      toStoredText(r.name, cs);
      toStoredText(r.address, cs);
    }
    if (m.kind == CimKind::Mail)
      fileMail(ctx, m);
    else
      fileForum(ctx, m);
  }
  ctx.progress(1000);
  return true;
}

void CimConverter::fileMail(ImportContext& ctx, CimMessage& m) {
  const ImportRequest& req = ctx.request();
  if (!(req.kinds & KindMail)) {
    ctx.skipped();
    return;
  }
  target_.startFile(ctx);
  if (!target_.accepts()) {
    ctx.skipped();
    return;
  }
  NHR nhr;
  nhr.DATE = m.date;
  nhr.TIME = m.time;
  nhr.HEADING = mailSubject(m.subject);
  nhr.S_NAME = cleanCisName(m.senderName, m.senderAddress);
  nhr.S_CISADRESS = cleanCisAddress(m.senderAddress);
  mail::applyOwnerRule(nhr, target_.owner());
  std::string text = convertCimText(std::move(m.text), text::StripKind::Mail);
  appendCimMail(ctx, target_, nhr, m.recipients, text);
}

void CimConverter::fileForum(ImportContext& ctx, CimMessage& m) {
  const ImportRequest& req = ctx.request();
  if (!(req.kinds & KindForum) || m.forumName.empty()) {
    ctx.skipped();
    return;
  }
  NHR nhr;
  nhr.FOR_DESCRIPTION = m.forumName;
  Resolution res = ctx.resolveDatabase(m.forumName, 1, nhr);
  if (!res.accept || res.id == 0 || req.createOnly) {
    ctx.skipped();
    return;
  }
  nhr.INTERNAL = res.id;
  nhr.MSGNUMBER = m.msgNumber;
  nhr.REFNUMBER = m.refNumber;
  if (!req.allowReimport && ctx.alreadyImported(res.id, m.msgNumber)) {
    ctx.skipped();
    return;
  }
  nhr.DATE = m.date;
  nhr.SECTIONNUMBER = m.section;
  nhr.SEC_DESCRIPTION = m.sectionName;
  nhr.HEADING = m.subject;
  nhr.S_NAME = cleanCisName(m.senderName, m.senderAddress);
  nhr.S_CISADRESS = cleanCisAddress(m.senderAddress);
  nhr.R_NAME = cleanCisName(m.recipientName, m.recipientAddress);
  nhr.R_CISADRESS = cleanCisAddress(m.recipientAddress);
  ctx.appendWork(nhr, convertCimText(std::move(m.text), text::StripKind::Forum));
}

}  // namespace qb::import::cim
