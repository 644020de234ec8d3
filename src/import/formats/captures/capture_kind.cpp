#include "import/formats/captures/capture_kind.h"

namespace qb::import::captures {

namespace {
// NavCIS: the first three lines of a message block.
const std::string_view kNavHead[3] = {"Subject:  ", "   From:  ", "     To:  "};
}  // namespace

bool FileKindScanner::feed(std::string_view line) {
  if (done_) return true;
  switch (format_) {
    case CaptureFormat::OzCIS:
    case CaptureFormat::OzWin1:
    case CaptureFormat::OzWin2:
      if (wait_ > 0) {  // the line after a "#:" start: passed over
        --wait_;
        return false;
      }
      if (wait_ == 0) {
        if (forumStart_) return decide(startsWith(line, "Sb:") ? FileKind::Forum : FileKind::Unknown);
        return decide(startsWith(line, "MgTo:") || startsWith(line, "From:") ? FileKind::Mail
                                                                             : FileKind::Unknown);
      }
      if (startsWith(line, "#:")) {
        forumStart_ = true;
        wait_ = 1;
      } else if (startsWith(line, "Date:  ")) {
        forumStart_ = false;
        wait_ = 0;
      }
      return false;

    case CaptureFormat::Tapcis5:
    case CaptureFormat::Tapcis6:
    case CaptureFormat::Autosig:
    case CaptureFormat::GoldenCompass:
      if (startsWith(line, "#:")) return decide(mailTarget_ ? FileKind::Mail : FileKind::Forum);
      return false;

    case CaptureFormat::NavCIS:
      if (matched_ == 3) {
        if (startsWith(line, "   Date:  ")) return decide(FileKind::Mail);
        if (startsWith(line, "  Forum:  ")) return decide(FileKind::Forum);
        matched_ = 0;
      }
      if (startsWith(line, kNavHead[matched_]))
        ++matched_;
      else
        matched_ = startsWith(line, kNavHead[0]) ? 1 : 0;
      return false;
  }
  return false;
}

}  // namespace qb::import::captures
