#pragma once
// Archives built by the import engine (the scripted converter), statuses set
// on their records, and the purge and count runs driven to their end.

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "archive/records.h"
#include "archive/session.h"
#include "maintenance/purge_run.h"
#include "support/temp_archive.h"

namespace qb::test {

// The archives of these tests live in memory (/dev/shm when it can be
// written): a process killed with SIGKILL leaves the page cache as it was,
// so what the kill tests find holds on a disk too, and no test waits for
// the syncs of its commits.
class MemoryTemp {
 public:
  MemoryTemp();
  ~MemoryTemp();

 private:
  std::string saved_;
  bool had_ = false;
};

class PurgeFixture : private MemoryTemp, public ::testing::Test {
 protected:
  PurgeFixture();

  // Imports script lines (see support/scripted_converter.h); all must be stored.
  void import(const std::vector<std::string>& lines);
  // Makes the database current and returns its record (ID 0 when missing).
  store::Forums use(const std::string& name);

  // Identifiers by what tests know: a message by its text, a thread by its
  // subject, a section by its name, a person by its last name.
  uint32_t messageByText(const std::string& text);
  uint32_t threadBySubject(const std::string& subject);
  uint32_t sectionByName(const std::string& name);
  uint32_t personByLastName(const std::string& last);

  void setMessageStatus(uint32_t id, uint8_t status);
  void setThreadStatus(uint32_t number, uint8_t status);
  void setSectionStatus(uint32_t secsysid, uint8_t status);
  void setPersonStatus(uint32_t id, uint8_t status);
  void setDatabaseStatus(uint8_t status);
  // Mail: time and text changed in place (to make copies the import would
  // have refused).
  void setMail(uint32_t id, int32_t time, const std::string& text, const std::string& subject = {});

  // Runs a purge or count of the current database to its end.
  maintenance::PurgeStats run(maintenance::PurgeOptions options, maintenance::StartResult* started = nullptr);
  maintenance::PurgeStats purge(int ageWeeks = 0);
  maintenance::PurgeStats count();

  // What the current database holds: messages (or mails) by identifier with
  // their status, texts of the messages, threads, sections, persons.
  std::map<uint32_t, uint8_t> messages();
  std::set<std::string> texts();
  std::map<uint32_t, uint32_t> threads();   // number -> count
  std::map<uint32_t, uint32_t> sections();  // secsysid -> count
  std::set<uint32_t> persons();
  // The consistency checker over the current database.
  void expectConsistent();

  TempArchive archive;
  store::Session& s;
  std::string inDir;
  int scripts = 0;
};

// A day in the scripts' form (YYYYMMDD), `days` before today.
std::string daysAgo(int days);

}  // namespace qb::test
