#pragma once
// The "Outlook Mail" converter: reads the mail folders of an Outlook data
// file (.pst, .ost) and turns every mail item into import work records for
// the mail database the request names.
//
// A run over one data file:
//  1. The file is opened. A file that cannot be read gives "Fatal error.
//     Outlook cannot be initialized.", one that is no Outlook data file or
//     cannot be opened (damaged, an unknown encryption) "Outlook cannot be
//     run"; both name the file and the reason, and stop the run.
//  2. The request's folder selection ("PATH##PATH", empty: every mail
//     folder) is resolved against the file's folder tree. When none of the
//     selected folders exists: "Selected Outlook folders no longer exist."
//     and the run stops.
//  3. The mail database is resolved; when there is none that takes mail (or
//     the run only creates databases) the items of the folders are counted
//     as skipped without being read.
//  4. Folder after folder, at most ten items per step: an item that is not
//     mail is passed over and counted as skipped; a mail gives one work
//     record per "To" recipient (see outlook_mail.h).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "import/converter.h"
#include "import/formats/mail/mail_converter.h"
#include "import/formats/outlook/outlook_source.h"
#include "import/outlook_texts.h"

namespace qb::import::outlook {

class OutlookConverter : public Converter {
 public:
  static constexpr int kItemsPerStep = 10;

  explicit OutlookConverter(OutlookOpener opener);
  bool step(ImportContext& ctx, uint8_t& command) override;

 private:
  // Opens the file and builds the folder queue; false when the file is done
  // (the run stopped, or nothing is to be read).
  bool start(ImportContext& ctx);
  void finish(ImportContext& ctx);

  OutlookOpener opener_;
  std::unique_ptr<OutlookSource> source_;
  mail::MailTarget target_;
  std::vector<std::size_t> queue_;
  std::size_t next_ = 0;      // the next folder of the queue to open
  bool inFolder_ = false;
  uint64_t total_ = 0;        // items of the queued folders
  uint64_t done_ = 0;
  uint64_t unreadable_ = 0;   // unreadable items already counted as skipped
  OutlookItem item_;
};

}  // namespace qb::import::outlook
