#include "import/formats/cabinet/cabinet_scan.h"

#include "import/formats/cabinet/cabinet_record.h"

namespace qb::import::cabinet {

bool CabinetScanner::open(const std::string& path) {
  queue_.clear();
  inRecord_ = false;
  recordStart_ = 0;
  if (!window_.open(path)) return false;
  signature_ = window_.startsWith(kSignature);
  return true;
}

void CabinetScanner::recordEnds(uint64_t end) {
  if (inRecord_ && end - recordStart_ > kMinRecord) queue_.push_back({recordStart_, end});
}

bool CabinetScanner::scan(std::size_t budget) {
  std::size_t done = 0;
  while (!window_.atEnd() && done < budget) {
    std::string_view ahead = window_.ahead();
    std::size_t at = ahead.find(kMarker);
    if (at != std::string_view::npos) {
      uint64_t marker = window_.position() + at;
      recordEnds(marker);
      inRecord_ = true;
      recordStart_ = marker;
      window_.advance(at + kMarker.size());
      done += at + kMarker.size();
      continue;
    }
    // No marker in view: move on, keeping the last bytes in view in case a
    // marker starts among them.
    std::size_t step = ahead.size() >= kMarker.size() ? ahead.size() - (kMarker.size() - 1) : ahead.size();
    if (window_.position() + ahead.size() >= window_.size()) step = ahead.size();  // nothing more to come
    window_.advance(step);
    done += step;
  }
  if (!window_.atEnd()) return false;
  recordEnds(window_.size());
  inRecord_ = false;
  return true;
}

}  // namespace qb::import::cabinet
