#include "import/run_timing.h"

#include "text/datetime.h"

namespace qb::import {

uint32_t StopWatch::StartStop(int action, int slot) {
  if (action == 0) {
    slots_.fill(Mark{});
    return 0;
  }
  if (action == 1) {
    noteAt(slot, text::today(), text::clockNow());
    return 0;
  }
  if (action == 2) return elapsedAt(slot, text::today(), text::clockNow());
  return 0;
}

void StopWatch::noteAt(int slot, int32_t date, int32_t time) {
  if (slot < 1 || slot > 20) return;
  slots_[static_cast<std::size_t>(slot - 1)] = Mark{date, time};
}

uint32_t StopWatch::elapsedAt(int slot, int32_t date, int32_t time) const {
  if (slot < 1 || slot > 20) return 0;
  const Mark& m = slots_[static_cast<std::size_t>(slot - 1)];
  if (m.date == 0) return 0;
  int64_t hundredths = (int64_t(date) - m.date) * 8640000 + (int64_t(time) - m.time);
  return hundredths <= 0 ? 0 : static_cast<uint32_t>(hundredths / 100);
}

BarScale CalcMax(uint64_t count) {
  BarScale s;
  s.divisor = static_cast<uint32_t>(count <= 32767 ? 1 : (count + 32766) / 32767);
  s.maximum = static_cast<uint32_t>(count / s.divisor);
  return s;
}

}  // namespace qb::import
