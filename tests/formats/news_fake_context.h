#pragma once
// The stand-in import run of the converter tests, keeping the TID records
// too, and helpers to reach the news samples.

#include <string>
#include <vector>

#include "capture_fake_context.h"

namespace qb::import::testing {

class NewsContext : public FakeContext {
 public:
  std::vector<TID> tids;

  NewsContext() { req.kinds = KindAll; }

  bool appendTid(const TID& t) override {
    tids.push_back(t);
    return true;
  }
  // The identifier string recorded for a number ("" when none).
  std::string idOf(uint32_t number) const {
    for (auto& t : tids)
      if (t.MSGNUMBER == number) return t.IDSTRING.str();
    return "";
  }
  // The work record whose Message-ID is `id`.
  const Work* article(const std::string& id) const {
    for (auto& w : work)
      if (idOf(w.nhr.MSGNUMBER) == id) return &w;
    return nullptr;
  }
};

inline std::string newsSample(const std::string& relative) {
  return std::string(QB_SOURCE_DIR) + "/samples/news/" + relative;
}

}  // namespace qb::import::testing
