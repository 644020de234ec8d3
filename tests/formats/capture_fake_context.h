#pragma once
// A stand-in for the import run when a capture converter is tested on its
// own: it records the work records the converter appends, resolves database
// names to identifiers in memory, and drives a converter over one file.

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "import/converter.h"
#include "archive/messages.h"
#include "store/record.h"
#include "archive/session.h"

namespace qb::import::testing {

struct Work {
  NHR nhr;
  std::string text;
};

class FakeContext : public ImportContext {
 public:
  ImportRequest req;
  RecordingUI recorder;
  store::Session sess{recorder};
  std::string file;
  std::vector<Work> work;
  std::vector<CCT> ccs;
  int skips = 0;
  int lastProgress = -1;
  std::map<std::string, Resolution> dbs;  // by upper-case name
  std::set<std::pair<uint32_t, uint32_t>> imported;
  uint32_t counter = 250000;
  uint32_t nextDb = 100;
  int stepAppends = 0;  // work records appended during the current step

  const ImportRequest& request() const override { return req; }
  // Mail needs an archive to find the mailbox owner in; messages then go to
  // the archive's recorder.
  store::Session* archiveSession = nullptr;
  store::Session& session() override { return archiveSession ? *archiveSession : sess; }
  UserInterface& ui() override { return recorder; }
  const std::string& fileName() const override { return file; }

  // Declares an existing database of a kind (2: mail) or one closed to imports.
  void addDatabase(const std::string& name, uint8_t kind, bool accept = true) {
    dbs[text::upper1252(name)] = Resolution{nextDb++, accept, kind};
  }
  Resolution resolveDatabase(const std::string& name, int kind, NHR&, bool existsOnly) override {
    std::string key = text::upper1252(name);
    auto it = dbs.find(key);
    if (it != dbs.end()) return it->second;
    if (existsOnly) return Resolution{};
    Resolution r{nextDb++, true, static_cast<uint8_t>(kind == 3 ? 3 : 1)};
    dbs[key] = r;
    return r;
  }
  bool alreadyImported(uint32_t forumId, uint32_t msgNumber) override {
    return imported.count({forumId, msgNumber}) > 0;
  }
  uint32_t nextId() override { return counter++; }
  bool appendWork(NHR& nhr, const std::string& text) override {
    work.push_back({nhr, text.substr(0, 64000)});
    ++stepAppends;
    return true;
  }
  bool appendCC(const CCT& cc) override {
    ccs.push_back(cc);
    return true;
  }
  bool appendTid(const TID&) override { return true; }
  void skipped() override { ++skips; }
  void progress(int permille) override { lastProgress = permille; }

  // Work records of one database name, in file order.
  std::vector<const Work*> of(const std::string& forum) const {
    std::vector<const Work*> r;
    for (auto& w : work)
      if (text::upper1252(w.nhr.FOR_DESCRIPTION.str()) == text::upper1252(forum)) r.push_back(&w);
    return r;
  }
  const Work* number(uint32_t n) const {
    for (auto& w : work)
      if (w.nhr.MSGNUMBER == n) return &w;
    return nullptr;
  }
};

// Runs `typeName`'s converter over `path` until the file is finished.
// Fails the test when it takes more than `maxSteps` steps or when a step
// appends more than `maxPerStep` work records. Returns the steps taken.
inline int convertFile(FakeContext& ctx, const std::string& typeName, const std::string& path,
                       int maxSteps = 200000, int maxPerStep = 16) {
  auto conv = makeConverter(typeName);
  EXPECT_TRUE(conv) << typeName;
  if (!conv) return 0;
  ctx.file = path;
  uint8_t command = 199;
  for (int steps = 1; steps <= maxSteps; ++steps) {
    ctx.stepAppends = 0;
    bool done = conv->step(ctx, command);
    EXPECT_LE(ctx.stepAppends, maxPerStep) << "one step converted too many messages";
    if (done) return steps;
  }
  ADD_FAILURE() << typeName << ": " << path << " not finished after " << maxSteps << " steps";
  return maxSteps;
}

inline void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary);
  f << bytes;
}

}  // namespace qb::import::testing
