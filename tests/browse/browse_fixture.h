#pragma once
// A forum and a mail database for the browse query tests, opened as the
// browse windows open them.
//
// The forum "Pets": section 900 "Animals" (number 3) and 901 "Birds" (4),
//   thread 1 "Cats": 1001 (Smith) <- 1002 (Jones) <- 1004 (Smith)
//   thread 2 "Dogs": 1003 (Jones), 1005 (Smith, a reply to 1003)
//   thread 3 "cats" (another thread whose alpha key differs only in case):
//                    1006 (Jones, in section 901)
// all to 503 (no name); dates rise with the number.
//
// The mail database "Jane's mail" of Jane Smith (601):
//   7001 Lunch     Brown -> Smith  (partner Brown)
//   7002 Budget    Smith -> Green  (partner Green)
//   7003 Re: Lunch Smith -> Brown  (partner Brown), kept

#include <gtest/gtest.h>

#include <memory>
#include <type_traits>
#include <variant>
#include <vector>

#include "archive/browse/browse_files.h"
#include "archive/browse/browse_view.h"
#include "support/database_builder.h"
#include "text/datetime.h"

namespace qb::test {

struct BrowseFixture : ::testing::Test {
  TempArchive a;
  store::Session& s() { return a.session(); }
  bool mailOpen = false, forumOpen = false;

  void TearDown() override {
    if (forumOpen) store::closeBrowseFiles(s(), store::BrowseFiles::Messages);
    if (mailOpen) store::closeBrowseFiles(s(), store::BrowseFiles::Mail);
  }

  void forum() {
    a.addDatabase(store::KindForum, "Pets");
    {
      DatabaseBuilder db(a);
      db.section(900, 3, "Animals");
      db.section(901, 4, "Birds");
      db.thread(1, 900, "Cats", 0, 3);
      db.thread(2, 900, "Dogs", 0, 2);
      db.thread(3, 901, "cats", 0, 1);
      db.person(501, "Smith", "Jane", "jane@example.org", 3, 0);
      db.person(502, "Jones", "Tom", "tom@example.org", 3, 0);
      db.person(503, "", "", "all@example.org", 0, 6);
      const int32_t d = text::dayNumber(1998, 6, 1);
      db.message(1001, 900, 1, 0, 501, 503, d, "About cats.");
      db.message(1002, 900, 1, 1001, 502, 503, d + 1, "Re cats.");
      db.message(1003, 900, 2, 0, 502, 503, d + 2, "About dogs.");
      db.message(1004, 900, 1, 1002, 501, 503, d + 3, "Re re cats.");
      db.message(1005, 900, 2, 1003, 501, 503, d + 4, "Re dogs.");
      db.message(1006, 901, 3, 0, 502, 503, d + 5);
    }
    store::openBrowseFiles(s(), store::BrowseFiles::Messages);
    forumOpen = true;
  }

  void mailbox() {
    a.addDatabase(store::KindMail, "Jane's mail");
    {
      DatabaseBuilder db(a);
      db.person(601, "Smith", "Jane", "jane@example.org", 2, 1);
      db.person(602, "Brown", "Bob", "bob@example.org", 1, 1);
      db.person(603, "Green", "Ann", "ann@example.org", 0, 1);
      const int32_t d = text::dayNumber(2003, 2, 1);
      db.mail(7001, d, text::timeValue(9, 0), "Lunch", 602, 601, 602, "Lunch at noon?");
      db.mail(7002, d + 1, text::timeValue(10, 0), "Budget", 601, 603, 603, "Numbers attached.");
      db.mail(7003, d + 2, text::timeValue(11, 0), "Re: Lunch", 601, 602, 602, "Yes.", store::StatusKeep);
    }
    store::openBrowseFiles(s(), store::BrowseFiles::Mail);
    mailOpen = true;
  }

  static store::BrowseState state(bool mail, int view) {
    store::BrowseState st;
    st.mail = mail;
    st.setView(view);
    return st;
  }

  // The message or mail numbers of rows, in order.
  static std::vector<uint32_t> ids(const std::vector<store::BrowseQuery::Entry>& rows) {
    std::vector<uint32_t> out;
    for (auto& e : rows)
      out.push_back(std::visit(
          [](auto& r) -> uint32_t {
            if constexpr (std::is_same_v<std::decay_t<decltype(r)>, store::MsgRow>) return r.MSGNUMBER;
            else return r.MAILID;
          },
          e.row));
    return out;
  }
  // Every row of a view.
  std::vector<uint32_t> shown(const store::BrowseState& st) {
    store::BrowseQuery q(s(), st, {});
    return ids(q.first(100));
  }
  // The header position of a message or mail.
  int64_t positionOf(bool mail, uint32_t id) { return store::messagePosition(s(), mail, id); }
};

using V = std::vector<uint32_t>;

}  // namespace qb::test
