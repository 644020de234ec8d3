#pragma once
// Helpers of the mail format tests: an archive with the mail database of
// the samples' owner, an import run over a directory or a file, and the
// stored mail read back in date order with its persons and carbon copies.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "import/import_run.h"
#include "archive/maildb.h"
#include "support/temp_archive.h"

namespace qb::mailtest {

inline const char* kOwnerDb = "Robin Quayle";
inline const char* kOwnerAddress = "robin@example.com";

// One stored mail with what the browse shows of it.
struct StoredMail {
  store::Mail mail;
  std::string text;
  std::string from, fromAddress;  // sender's person: "First Last" and address
  std::string to, toAddress;
  std::string partner;            // last name of the partner
  std::vector<store::CCR> copies;
};

// An archive with the mail database "Robin Quayle" (robin@example.com,
// rq@example.org, robin.quayle@example.net).
class MailArchive {
 public:
  MailArchive();
  test::TempArchive archive;
  uint32_t dbId = 0;

  // Imports with `typeName` from a directory (selection method 1) or, when
  // `path` names a file, that file; returns the run's statistics.
  import::RunStats import(const std::string& typeName, const std::string& path, const std::string& mask = {});
  // The stored mail of the database, oldest first (same date: by identifier).
  std::vector<StoredMail> mails();
};

// samples/mail/<dir> of the source tree.
std::string sampleDir(const std::string& dir);

}  // namespace qb::mailtest
