#include "import/formats/outlook/outlook_converter.h"

#include "archive/session.h"
#include "import/formats/families.h"
#include "import/formats/outlook/outlook_folders.h"
#include "import/formats/outlook/outlook_mail.h"
#include "import/formats/outlook/pst_source.h"

namespace qb::import::outlook {

OutlookConverter::OutlookConverter(OutlookOpener opener) : opener_(opener) {}

bool OutlookConverter::step(ImportContext& ctx, uint8_t& command) {
  if (command == 199) {
    command = 99;
    if (!start(ctx)) {
      finish(ctx);
      return true;
    }
  }
  if (!source_) return true;
  for (int n = 0; n < kItemsPerStep;) {
    if (!inFolder_) {
      if (next_ >= queue_.size()) {
        finish(ctx);
        return true;
      }
      source_->openFolder(queue_[next_++]);
      inFolder_ = true;
    }
    if (!source_->nextItem(item_)) {
      inFolder_ = false;
      continue;
    }
    ++n;
    ++done_;
    if (!item_.mail) {
      ctx.skipped();
      continue;
    }
    std::vector<MailRecord> records = mailRecords(item_, target_.owner());
    if (records.empty()) continue;  // no "To" recipient: no record
    std::string text = bodyText(item_.body);
    for (auto& r : records) {
      if (!target_.append(ctx, r.nhr, text, r.copies)) {
        finish(ctx);
        return true;
      }
    }
  }
  for (uint64_t u = source_->unreadable(); unreadable_ < u; ++unreadable_) ctx.skipped();
  ctx.progress(total_ ? static_cast<int>(std::min<uint64_t>(done_ * 1000 / total_, 999)) : 0);
  return false;
}

bool OutlookConverter::start(ImportContext& ctx) {
  // The converter serves every data file of the run: each starts afresh.
  queue_.clear();
  next_ = 0;
  inFolder_ = false;
  total_ = done_ = unreadable_ = 0;
  const std::string& file = ctx.fileName();
  OpenError error;
  source_ = opener_(file, error);
  if (!source_) {
    ctx.session().tell(std::string(error.unreadable ? kNotInitialized : kCannotRun) + "\r\n" + file + "\r\n" +
                           error.reason,
                       "Outlook Mail");
    ctx.stopRun();
    return false;
  }
  const std::vector<OutlookFolder>& folders = source_->folders();
  queue_ = resolveSelection(folders, ctx.request().outlookFolders);
  if (queue_.empty() && !splitSelection(ctx.request().outlookFolders).empty()) {
    ctx.session().tell(std::string(kFoldersGone) + "\r\n" + file, "Outlook Mail");
    ctx.stopRun();
    source_.reset();
    return false;
  }
  for (std::size_t i : queue_) total_ += folders[i].items;
  target_.startFile(ctx);
  if (!target_.accepts()) {
    // No mail database takes the mail: the folders are not read, their
    // items are counted as skipped.
    for (uint64_t i = 0; i < total_; ++i) ctx.skipped();
    source_.reset();
    return false;
  }
  return true;
}

void OutlookConverter::finish(ImportContext& ctx) {
  if (source_)
    for (uint64_t u = source_->unreadable(); unreadable_ < u; ++unreadable_) ctx.skipped();
  ctx.progress(1000);
  source_.reset();
  queue_.clear();
}

std::unique_ptr<Converter> makeOutlookConverter(ImportTypeId) { return std::make_unique<OutlookConverter>(openPstFile); }

}  // namespace qb::import::outlook
