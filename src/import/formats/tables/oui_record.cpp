// The OUI message table ("MESSAGE.DBF"): each record keeps the Internet
// header lines of its message in the OUI:MSG_EXTRA memo and the body in
// OUI:MSG_BODY. The header reader decides the kind: mail goes into the mail
// database the request names, a news article into its newsgroup; anything
// else is skipped. Filing is shared with the news stores (news_filer.h).
#include "import/formats/news/news_filer.h"
#include "import/formats/news/news_source.h"
#include "import/formats/tables/table_converter.h"
#include "text/codepages.h"

namespace qb::import::tables {
namespace {

class OuiFormat : public TableFormat {
 public:
  OuiFormat() : filer_(ImportTypeId::Oui) {}

  bool start(ImportContext& ctx, DbfTable& t, std::string& error) override {
    extra_ = t.field("MSG_EXTRA");
    body_ = t.field("MSG_BODY");
    if (extra_ < 0 || body_ < 0) {
      error = "The table has no fields MSG_EXTRA and MSG_BODY: it is not an OUI message table.";
      return false;
    }
    filer_.startFile(ctx);
    return true;
  }

  bool file(ImportContext& ctx, DbfTable& t) override {
    message_.clear();
    std::string header = t.memo(extra_);
    std::string body = t.memo(body_);
    // The header reader and the body routine convert by the charset the
    // header declares; only a table of a DOS code page is turned into
    // Windows characters first.
    if (t.dosCodePage()) {
      text::dosToWindows(header);
      text::dosToWindows(body);
    }
    news::LineCutter cutter(message_.pieces);
    cutter.feed(header);
    cutter.flush();
    if (message_.pieces.empty()) {  // no header lines: nothing says where the message belongs
      ctx.skipped();
      return true;
    }
    cutter.addLine("");
    cutter.feed(body);
    cutter.flush();
    if (message_.pieces.size() > news::kMaxMessagePieces) message_.pieces.resize(news::kMaxMessagePieces);
    return filer_.file(ctx, message_);
  }

 private:
  int extra_ = -1;
  int body_ = -1;
  news::NewsFiler filer_;
  news::SourceMessage message_;
};

}  // namespace

std::unique_ptr<TableFormat> makeOuiFormat() { return std::make_unique<OuiFormat>(); }

}  // namespace qb::import::tables
