#pragma once
// A forum or mail database filled record by record, for tests of the
// browse queries and of the windows that show them:
//
//   qb::test::TempArchive a;
//   a.addDatabase(qb::store::KindForum, "Pets");
//   qb::test::DatabaseBuilder db(a);
//   db.section(900, 3, "Animals");
//   db.thread(1, 900, "Cats");
//   db.message(1001, 900, 1, 0, 501, 503, day, "About cats.");

#include <cstdint>
#include <string>

#include "archive/records.h"
#include "support/temp_archive.h"

namespace qb::test {

// Writes records into the current database of `a`; the files stay open
// while the builder lives.
class DatabaseBuilder {
 public:
  explicit DatabaseBuilder(TempArchive& a);
  ~DatabaseBuilder();
  store::Session& s;

  void section(uint32_t secsysid, uint32_t number, const std::string& desc, uint8_t status = 0);
  void thread(uint32_t number, uint32_t secsysid, const std::string& heading, uint8_t status = 0,
              uint32_t count = 0);
  void person(uint32_t id, const std::string& last, const std::string& first, const std::string& addr,
              uint32_t fromCount = 0, uint32_t toCount = 0);
  void message(uint32_t number, uint32_t secsysid, uint32_t threadNumber, uint32_t ref, uint32_t from, uint32_t to,
               int32_t date, const std::string& text = "", uint8_t status = 0);
  void mail(uint32_t id, int32_t date, int32_t time, const std::string& subject, uint32_t from, uint32_t to,
            uint32_t pair, const std::string& text = "", uint8_t status = 0);
  // `count` messages appended in one stream and keyed afterwards: numbers
  // 1..count, one thread per 100 messages, dates spread over the years.
  void manyMessages(uint32_t count, uint32_t secsysid, uint32_t from, uint32_t to);

 private:
  std::string alphaOf(uint32_t threadNumber);
};

}  // namespace qb::test
