#include "import/formats/captures/capture_converter.h"

#include <filesystem>
#include <vector>

#include "import/formats/families.h"
#include "import/formats/captures/capture_forum_header.h"
#include "import/formats/captures/capture_mail_header.h"
#include "text/mime.h"
#include "text/text_assembler.h"
#include "text/unicode.h"
#include "archive/session.h"

namespace qb::import::captures {

namespace {

// The capture's lines were turned from the DOS code page into Windows-1252
// as they were read, and HTML entities of a gateway mail into UTF-8 when
// its text was assembled: UTF-8 sequences stay, every other byte is read as
// Windows-1252.
std::string utf8Text(const std::string& t) { return text::toUtf8(t, "utf-8"); }

template <std::size_t N>
void utf8Field(store::FixedString<N>& f) {
  f = utf8Text(f.str());
}
}  // namespace

std::unique_ptr<Converter> makeCaptureConverter(ImportTypeId type) {
  CaptureFormat f;
  if (!captureFormatOf(type, f)) return nullptr;
  return std::make_unique<CaptureConverter>(f);
}

std::string chosenForumName(const ImportContext& ctx) {
  const std::string& chosen = ctx.request().forumName;
  if (!chosen.empty()) return chosen;
  return std::filesystem::path(ctx.fileName()).stem().string();
}

bool mailTarget(const ImportRequest& r) {
  if (r.messageKind != 0) return r.messageKind == 2;
  return r.forumName.empty() && !r.mailDatabase.empty();
}

bool CaptureConverter::step(ImportContext& ctx, uint8_t& command) {
  if (command == 199) {
    command = 99;
    if (!openFile(ctx)) return true;
  }
  switch (phase_) {
    case Phase::Scan:
      return scanStep(ctx);
    case Phase::Read:
      return readStep(ctx);
    case Phase::Done:
      break;
  }
  return true;
}

bool CaptureConverter::openFile(ImportContext& ctx) {
  phase_ = Phase::Done;
  kind_ = FileKind::Unknown;
  std::string error;
  if (!reader_.open(ctx.fileName(), error)) {
    ctx.session().tell(ctx.fileName() + " cannot be opened\r\n" + error + "\r\n" + "This file will be skipped!",
                       "Warning!");
    return false;
  }
  scanner_.emplace(format_, mailTarget(ctx.request()));
  phase_ = Phase::Scan;
  return true;
}

bool CaptureConverter::scanStep(ImportContext& ctx) {
  CaptureLineReader& lines = reader_.lineReader();
  std::string line;
  bool end = false;
  for (std::size_t n = 0; n < kScanLinesPerStep && !scanner_->decided(); ++n) {
    if (!lines.next(line)) {
      end = true;
      break;
    }
    scanner_->feed(line);
  }
  ctx.progress(lines.permille() / 10);  // the scan is a small part of the work
  if (!scanner_->decided() && !end) return false;
  kind_ = scanner_->kind();
  if (kind_ == FileKind::Unknown) {
    ctx.session().tell(kNotMessageFile, "Warning!");
    return finish();
  }
  if (kind_ == FileKind::Mail) mailTarget_.startFile(ctx);
  reader_.start(kind_);
  phase_ = Phase::Read;
  return false;
}

bool CaptureConverter::readStep(ImportContext& ctx) {
  if (!reader_.ready() && !reader_.fill(kFillLinesPerStep)) {
    if (reader_.finished()) return finish();
    ctx.progress(reader_.permille());
    return false;
  }
  CaptureReader::Block b;
  for (int n = 0; n < kMessagesPerStep; ++n) {
    if (!reader_.nextBlock(b)) break;
    if (!convertBlock(ctx, b)) return finish();
  }
  ctx.progress(reader_.permille());
  if (!reader_.ready() && reader_.finished()) return finish();
  return false;
}

bool CaptureConverter::finish() {
  reader_.close();
  scanner_.reset();
  phase_ = Phase::Done;
  return true;
}

bool CaptureConverter::convertBlock(ImportContext& ctx, const CaptureReader::Block& b) {
  if (kind_ == FileKind::Mail) return convertMail(ctx, b);
  return convertForum(ctx, b);
}

bool CaptureConverter::convertForum(ImportContext& ctx, const CaptureReader::Block& b) {
  const ImportRequest& req = ctx.request();
  if (!(req.kinds & KindForum)) {
    ctx.skipped();
    return true;
  }
  std::vector<std::string> head(kHeaderLines);
  for (std::size_t i = 0; i < kHeaderLines && i < b.size(); ++i) head[i] = reader_.lineText(b.first + i);
  ForumHeader h;
  if (!parseForumHeader(format_, head, chosenForumName(ctx), h)) return true;  // dropped silently
  if (h.forum.empty()) h.forum = chosenForumName(ctx);
  // The capture's lines were turned from the DOS code page into
  // Windows-1252 as they were read; the archive stores UTF-8.
  for (std::string* f : {&h.forum, &h.sectionName, &h.subject, &h.sender.name, &h.sender.address,
                         &h.recipient.name, &h.recipient.address})
    *f = text::fromWindows1252(*f);

  NHR nhr{};
  nhr.FOR_DESCRIPTION = h.forum;
  Resolution r = ctx.resolveDatabase(h.forum, 1, nhr);
  // A forum message never goes into a mail database.
  if (r.id == 0 || !r.accept || r.kind == 2 || req.createOnly) {
    ctx.skipped();
    return true;
  }
  nhr.INTERNAL = r.id;
  if (!req.allowReimport && ctx.alreadyImported(r.id, h.number)) {
    ctx.skipped();
    return true;
  }
  nhr.MSGNUMBER = h.number;
  nhr.REFNUMBER = h.reference;
  nhr.SECTIONNUMBER = h.sectionNumber;
  nhr.SEC_DESCRIPTION = h.sectionName;
  nhr.HEADING = h.subject;
  nhr.S_NAME = h.sender.name;
  nhr.S_CISADRESS = h.sender.address;
  nhr.R_NAME = h.recipient.name;
  nhr.R_CISADRESS = h.recipient.address;
  nhr.DATE = h.date;
  nhr.TIME = 0;
  std::string text;
  if (h.bodyOffset < b.size())
    text = text::assembleText(reader_.pieces(b.first + h.bodyOffset, b.end), text::BodyKind::Plain);
  return ctx.appendWork(nhr, utf8Text(text));
}

bool CaptureConverter::convertMail(ImportContext& ctx, const CaptureReader::Block& b) {
  if (!mailTarget_.accepts()) {  // mail not taken, no such mail database, or databases only
    ctx.skipped();
    return true;
  }
  std::vector<std::string> head(kHeaderLines);
  for (std::size_t i = 0; i < kHeaderLines && i < b.size(); ++i) head[i] = reader_.lineText(b.first + i);
  NHR nhr{};
  std::size_t bodyOffset = 0;
  if (!parseMailHeader(format_, head, mailTarget_.owner(), nhr, bodyOffset)) return true;  // dropped silently
  std::string text;
  if (bodyOffset < b.size()) {
    auto body = reader_.pieces(b.first + bodyOffset, b.end);
    std::size_t lead = 0;  // blank lines before the text
    while (lead < body.size() && body[lead].empty()) ++lead;
    body = body.subspan(lead);
    if (!body.empty()) {
      text::EmbeddedHeader e = text::dropEmbeddedHeader(body);
      text = text::assembleText(body, e.firstBody, body.size() - 1, e.kind);
    }
  }
  utf8Field(nhr.HEADING);
  utf8Field(nhr.S_NAME);
  utf8Field(nhr.S_CISADRESS);
  utf8Field(nhr.R_NAME);
  utf8Field(nhr.R_CISADRESS);
  return mailTarget_.append(ctx, nhr, utf8Text(text), {});
}

}  // namespace qb::import::captures
