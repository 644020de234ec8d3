#pragma once
// The converter of the news formats: a message source of the store joined
// with a filer. Each step files a bounded number of messages.
//
// Serves the import types "Agent News", "Unix News", "VirtualAccess",
// "IE News", "Outlook Express 4 News", "Netscape News",
// "Outlook Express 5 News", "Gravity", "Winvn". The mail formats that read
// their stores with a news source ("Generic Mail Type 2" with the "From "
// line source, "Outlook Express 5 Mail" with the message database source)
// build a NewsConverter of their own.

#include <memory>
#include <string>

#include "import/converter.h"
#include "import/formats/families.h"
#include "import/formats/news/news_filer.h"
#include "import/formats/news/news_source.h"

namespace qb::import::news {

class NewsConverter : public Converter {
 public:
  // Messages filed per step at most.
  static constexpr int kMessagesPerStep = 20;

  NewsConverter(std::unique_ptr<NewsSource> source, std::unique_ptr<NewsFiler> filer)
      : source_(std::move(source)), filer_(std::move(filer)) {}

  bool step(ImportContext& ctx, uint8_t& command) override;

 private:
  std::unique_ptr<NewsSource> source_;
  std::unique_ptr<NewsFiler> filer_;
  SourceMessage message_;
};

// The source for one of the news types (also "Generic Mail Type 2" and
// "Outlook Express 5 Mail"); null for another type. The converter of a news
// type is made by makeNewsConverter (import/formats/families.h).
std::unique_ptr<NewsSource> makeNewsSource(ImportTypeId type);

}  // namespace qb::import::news
