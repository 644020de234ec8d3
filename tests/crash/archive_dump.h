#pragma once
// The content of a mail archive as sorted lines, for comparing two archives
// record by record: identifiers that differ from run to run (mail and person
// identifiers, the import time of a text) are replaced by what they stand
// for (the person's identity string, the mail's date, subject, persons and
// text), every other field is written as it is.

#include <string>
#include <vector>

namespace qb::test {

struct ArchiveDump {
  std::vector<std::string> lines;  // sorted
  std::vector<std::string> problems;  // records out of their key, a marker left behind, ...
};

// Reads the archive of `home` (data directory = home) without opening it the
// way the program does, so that nothing is repaired on the way.
ArchiveDump dumpMailArchive(const std::string& home);

// What a killed run left, read the same way: whether the run marker is there,
// the mails stored, and whether the mail database's counts are due.
struct RunState {
  bool marker = false;
  bool countsDue = false;
  uint64_t mails = 0;
  bool deferredKeys = false;  // Mail key indexes deferred by the run are still to be built
};
RunState readRunState(const std::string& home);

// At most `max` lines describing how two dumps differ; empty when equal.
std::vector<std::string> differences(const ArchiveDump& a, const ArchiveDump& b, std::size_t max = 10);

}  // namespace qb::test
