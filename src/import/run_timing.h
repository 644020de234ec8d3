#pragma once
// Timing and progress helpers of the long-running windows: StartStop, the
// stopwatch slots, and CalcMax, the scaling of record counts for progress
// bars whose range is at most 32767.

#include <array>
#include <cstdint>

namespace qb::import {

// Twenty stopwatch slots. StartStop(1, slot) notes the date and time of day
// in the slot; StartStop(2, slot) gives the whole seconds elapsed since then
// (across midnight and over several days); StartStop(0) clears every slot.
class StopWatch {
 public:
  uint32_t StartStop(int action, int slot = 1);
  // For tests: notes a given date and time (hundredths + 1) in a slot, and
  // measures against a given date and time.
  void noteAt(int slot, int32_t date, int32_t time);
  uint32_t elapsedAt(int slot, int32_t date, int32_t time) const;

 private:
  struct Mark {
    int32_t date = 0;
    int32_t time = 0;
  };
  std::array<Mark, 20> slots_{};
};

// CalcMax: the bar advances by one every `divisor` records, up to `maximum`.
struct BarScale {
  uint32_t divisor = 1;
  uint32_t maximum = 0;
};
BarScale CalcMax(uint64_t count);

}  // namespace qb::import
