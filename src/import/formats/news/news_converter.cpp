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

std::unique_ptr<NewsSource> makeNewsSource(const std::string& typeName) {
  if (typeName == "Agent News" || typeName == "Unix News") return makeAgentSource();
  if (typeName == "VirtualAccess") return makeVirtualAccessSource();
  if (typeName == "Winvn" || typeName == "Generic Mail Type 2") return makeFromLineSource();
  if (typeName == "IE News" || typeName == "Outlook Express 4 News") return makeNewsCacheSource();
  if (typeName == "Netscape News") return makeNetscapeSource();
  if (typeName == "Gravity") return makeGravitySource();
  if (typeName == "Outlook Express 5 News" || typeName == "Outlook Express 5 Mail") return makeDbxSource();
  return nullptr;
}

std::unique_ptr<Converter> makeNewsConverter(const std::string& typeName) {
  auto source = makeNewsSource(typeName);
  if (!source) return nullptr;
  std::unique_ptr<NewsFiler> filer = typeName == "VirtualAccess" ? std::make_unique<VirtualAccessFiler>(typeName)
                                                                  : std::make_unique<NewsFiler>(typeName);
  return std::make_unique<NewsConverter>(std::move(source), std::move(filer));
}

namespace {
const ConverterRegistration registration(
    {"Agent News", "Unix News", "VirtualAccess", "IE News", "Outlook Express 4 News", "Netscape News",
     "Outlook Express 5 News", "Gravity", "Winvn"},
    [](const std::string& typeName) { return makeNewsConverter(typeName); });
}  // namespace

}  // namespace qb::import::news
