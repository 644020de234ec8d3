#include "import/formats/news/news_filer.h"

#include <cstdio>

#include "import/formats/mail/mail_owner.h"
#include "text/text_assembler.h"

namespace qb::import::news {

NewsFiler::NewsFiler(ImportTypeId type) : type_(type), rule_(addressRuleFor(type)) {}

void NewsFiler::startFile(ImportContext& ctx) {
  owner_ = MailboxSide{};
  const ImportRequest& req = ctx.request();
  if ((req.kinds & KindMail) && !req.mailDatabase.empty()) {
    mail::MailOwner o = mail::loadMailOwner(ctx.session(), req.mailDatabase);
    owner_ = MailboxSide{o.name, o.address};
  }
}

HeaderOptions NewsFiler::options(const SourceMessage& m) const {
  HeaderOptions o;
  o.rule = rule_;
  o.index = m.indexed ? &m.index : nullptr;
  o.owner = owner_;
  o.forums = type_ == ImportTypeId::VirtualAccess;
  return o;
}

bool NewsFiler::file(ImportContext& ctx, SourceMessage& m) {
  if (m.first >= m.pieces.size()) return true;
  NHR nhr;
  InternetHeaderReader reader(ctx);
  HeaderResult r = reader.read(m.pieces, m.first, nhr, options(m));
  switch (r.kind) {
    case MessageKind::News:
      return fileNews(ctx, nhr, m, r);
    case MessageKind::Mail:
      return fileMail(ctx, nhr, m, r);
    default:  // forum messages come only from VirtualAccess files
      ctx.skipped();
      return true;
  }
}

bool NewsFiler::fileNews(ImportContext& ctx, NHR& nhr, SourceMessage& m, const HeaderResult& r) {
  const ImportRequest& req = ctx.request();
  if (!(req.kinds & KindNews) || nhr.FOR_DESCRIPTION.blank()) {
    ctx.skipped();
    return true;
  }
  Resolution res = ctx.resolveDatabase(nhr.FOR_DESCRIPTION.str(), 3, nhr);
  if (!res.accept || res.id == 0 || req.createOnly) {
    ctx.skipped();
    return true;
  }
  nhr.INTERNAL = res.id;
  if (nhr.MSGNUMBER == 0) {
    InternetHeaderReader reader(ctx);
    nhr.MSGNUMBER = reader.identify(substituteMessageId(nhr));
    if (nhr.MSGNUMBER == 0) return false;
  }
  return append(ctx, nhr, m, r);
}

bool NewsFiler::fileMail(ImportContext& ctx, NHR& nhr, SourceMessage& m, const HeaderResult& r) {
  const ImportRequest& req = ctx.request();
  if (!(req.kinds & KindMail) || req.mailDatabase.empty()) {
    ctx.skipped();
    return true;
  }
  nhr.FOR_DESCRIPTION = req.mailDatabase;
  Resolution res = ctx.resolveDatabase(req.mailDatabase, 2, nhr, true);
  if (!res.accept || res.id == 0 || res.kind != 2 || req.createOnly) {
    ctx.skipped();
    return true;
  }
  nhr.INTERNAL = res.id;
  nhr.RECIPTYPE = "TO";
  nhr.MSGNUMBER = nhr.REFNUMBER = ctx.nextId();
  return append(ctx, nhr, m, r);
}

bool NewsFiler::append(ImportContext& ctx, NHR& nhr, const SourceMessage& m, const HeaderResult& r) {
  return ctx.appendWork(nhr, messageText(m.pieces, r.firstBody, r.form));
}

std::string substituteMessageId(const NHR& nhr) {
  // FNV-1a over the fields that tell the article apart.
  uint64_t h = 1469598103934665603ULL;
  auto mix = [&h](std::string_view s) {
    for (unsigned char c : s) {
      h ^= c;
      h *= 1099511628211ULL;
    }
    h ^= 0xFF;
    h *= 1099511628211ULL;
  };
  mix(nhr.FOR_DESCRIPTION.str());
  mix(nhr.S_CISADRESS.str());
  mix(nhr.HEADING.str());
  mix(std::to_string(nhr.DATE) + "/" + std::to_string(nhr.TIME));
  char buf[48];
  std::snprintf(buf, sizeof buf, "<%016llx@no-message-id>", static_cast<unsigned long long>(h));
  return buf;
}

}  // namespace qb::import::news
