#include "import/formats/news/news_converter.h"

#include "import/formats/news/news_virtualaccess.h"
#include "archive/session.h"

namespace qb::import::news {

bool NewsConverter::step(ImportContext& ctx, uint8_t& command) {
  if (command == 199) {
    command = 99;
    if (!source_->open(ctx.fileName())) {
      ctx.session().tell(ctx.fileName() + " cannot be opened\r\nThis file will be skipped!", "Warning!");
      return true;
    }
    filer_->startFile(ctx);
  }
  for (int n = 0; n < kMessagesPerStep; ++n) {
    if (!source_->next(message_)) {
      ctx.progress(1000);
      return true;
    }
    if (!filer_->file(ctx, message_)) return true;
  }
  ctx.progress(source_->permille());
  return false;
}

std::unique_ptr<NewsSource> makeNewsSource(ImportTypeId type) {
  switch (type) {
    case ImportTypeId::AgentNews:
    case ImportTypeId::UnixNews:
      return makeAgentSource();
    case ImportTypeId::VirtualAccess:
      return makeVirtualAccessSource();
    case ImportTypeId::Winvn:
    case ImportTypeId::GenericMail2:
      return makeFromLineSource();
    case ImportTypeId::IeNews:
    case ImportTypeId::OutlookExpress4News:
      return makeNewsCacheSource();
    case ImportTypeId::NetscapeNews:
      return makeNetscapeSource();
    case ImportTypeId::Gravity:
      return makeGravitySource();
    case ImportTypeId::OutlookExpress5News:
    case ImportTypeId::OutlookExpress5Mail:
      return makeDbxSource();
    default:
      return nullptr;
  }
}

std::unique_ptr<Converter> makeNewsConverter(ImportTypeId type) {
  auto source = makeNewsSource(type);
  if (!source) return nullptr;
  std::unique_ptr<NewsFiler> filer = type == ImportTypeId::VirtualAccess ? std::make_unique<VirtualAccessFiler>(type)
                                                                         : std::make_unique<NewsFiler>(type);
  return std::make_unique<NewsConverter>(std::move(source), std::move(filer));
}

}  // namespace qb::import::news
