#pragma once
// A database filled with generated messages, and brute-force answers
// computed from the same texts, for the word index tests.

#include <map>
#include <set>
#include <string>
#include <vector>

#include "archive/postings.h"
#include "archive/records.h"
#include "support/temp_archive.h"

namespace qb::test {

class IndexFixture {
 public:
  explicit IndexFixture(uint8_t kind = store::KindForum);
  store::Session& s() { return archive.session(); }

  // Adds messages with generated texts; returns their identifiers.
  std::vector<uint32_t> addMessages(int n);
  void addMessage(uint32_t id, const std::string& text, int32_t date);
  // Deletes messages (header and text) as the purge does.
  void deleteMessages(const std::vector<uint32_t>& ids);

  // The indexed words of every message, brute force (standard rules,
  // default options, the initial stop words).
  std::map<uint32_t, std::set<std::string>> bruteWords() const;
  std::set<uint32_t> bruteAll(const std::vector<std::string>& words) const;
  std::set<uint32_t> bruteAny(const std::vector<std::string>& words) const;
  std::set<uint32_t> brutePrefix(const std::string& prefix) const;

  // Checks the index invariants against the brute-force answer: every
  // word's count equals its postings, no word without postings, no
  // duplicate words or postings, each message's words as brute force says.
  void checkIndex(const std::set<uint32_t>& indexedMessages);

  TempArchive archive;
  std::map<uint32_t, std::string> texts;  // the texts of the messages that exist
  uint32_t nextId = 300000;
  unsigned seed = 12345;
};

}  // namespace qb::test
