#pragma once
// Archives built by the import engine (the scripted test converter) for the
// tests of merging persons and of status changes, and the checks every run
// must pass: person counts equal to a recount done here by brute force, no
// carbon copy without its mail, no link without its person, no person
// without a message, no message that names a missing person.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "archive/config.h"
#include "archive/file_table.h"
#include "archive/maildb.h"
#include "archive/persons.h"
#include "archive/session.h"
#include "import/import_run.h"
#include "support/scripted_converter.h"
#include "support/temp_archive.h"

namespace qb::test {

class MergeFixture : public ::testing::Test {
 protected:
  MergeFixture() : s(archive.session()) {
    store::Konfig(s, store::KonfigAction::LoadGeneral);
    store::Konfig(s, store::KonfigAction::LoadDisplay);
    store::SpeedVal(s, store::SpeedAction::Compute);
    inDir = archive.path("in");
    std::filesystem::create_directories(inDir);
  }

  // Imports script lines (see support/scripted_converter.h); the number of
  // messages stored.
  uint64_t import(const std::vector<std::string>& lines) {
    const std::string path = inDir + "/s" + std::to_string(++scripts) + ".scr";
    {
      std::ofstream out(path, std::ios::binary);
      for (const auto& l : lines) out << l << "\n";
    }
    import::ImportRequest r;
    r.typeName = kScriptType;
    r.selectionMethod = 2;
    r.files = {path};
    import::ImportRun run(s, r, makeScriptConverter());
    while (run.step()) {
    }
    EXPECT_FALSE(run.stats().failed) << run.stats().failure;
    return run.stats().imported;
  }

  uint32_t mailDatabase(const std::string& owner, const std::string& address) {
    store::MailDatabaseFields fields{owner, address, {}};
    return store::createMailDatabase(s, fields);
  }

  store::Forums forum(const std::string& name) {
    store::OP_CLOSE(s, store::OpOpen, {store::FileNo::Forums});
    auto& f = s.Forums();
    f.clear();
    f.rec.DESCRIPTION = name;
    store::Forums out;
    if (f.get(store::Forums::AlphaKey) == store::Err::Ok) out = f.rec;
    store::OP_CLOSE(s, store::OpClose, {store::FileNo::Forums});
    return out;
  }

  // Everything of one database, read in file order.
  struct Snapshot {
    std::vector<store::Person> persons;
    std::vector<store::PLINK> links;
    std::vector<store::MsgNmbr> messages;
    std::vector<store::Mail> mails;
    std::vector<store::CCR> copies;
    std::vector<store::Threads> threads;
    std::vector<store::Sections> sections;
    store::Forums db;
    const store::Person* person(uint32_t id) const {
      for (auto& p : persons)
        if (p.PERSONID == id) return &p;
      return nullptr;
    }
    const store::Person* personAt(const std::string& address) const {
      for (auto& p : persons)
        if (p.ADDRESS.str() == address) return &p;
      return nullptr;
    }
  };

  template <class R>
  static std::vector<R> all(store::Table<R>& t) {
    std::vector<R> out;
    t.setFileOrder();
    while (t.next() == store::Err::Ok) out.push_back(t.rec);
    return out;
  }

  Snapshot snapshot(const std::string& name) {
    Snapshot x;
    x.db = forum(name);
    const auto saved = s.currentDatabase();
    s.selectDatabase(x.db);
    const std::vector<store::FileNo> files{store::FileNo::Person,  store::FileNo::PLINK,   store::FileNo::MsgNmbr,
                                           store::FileNo::Mail,    store::FileNo::CCR,     store::FileNo::Threads,
                                           store::FileNo::Sections};
    store::OP_CLOSE(s, store::OpOpen, files);
    x.persons = all(s.Person());
    x.links = all(s.PLINK());
    x.messages = all(s.MsgNmbr());
    x.mails = all(s.Mail());
    x.copies = all(s.CCR());
    x.threads = all(s.Threads());
    x.sections = all(s.Sections());
    store::OP_CLOSE(s, store::OpClose, files);
    s.restoreDatabase(saved);
    return x;
  }

  // The checks after every run. `complete`: the run ended (persons without
  // messages are gone then).
  static void expectConsistent(const Snapshot& x, bool complete = true) {
    std::map<uint32_t, std::pair<uint32_t, uint32_t>> counted;
    std::set<uint32_t> ids;
    for (auto& p : x.persons) ids.insert(p.PERSONID);
    auto prefix = [](const store::Person* p) { return store::FixedString<10>(p->LASTNAME.str()).str(); };
    for (auto& m : x.messages) {
      ++counted[m.FROMID].first;
      ++counted[m.TOID].second;
      const store::Person* from = x.person(m.FROMID);
      const store::Person* to = x.person(m.TOID);
      ASSERT_TRUE(from) << "message " << m.MSGNUMBER << " names missing sender " << m.FROMID;
      ASSERT_TRUE(to) << "message " << m.MSGNUMBER << " names missing receiver " << m.TOID;
      EXPECT_EQ(m.FROMALPHA.str(), prefix(from));
      EXPECT_EQ(m.TOALPHA.str(), prefix(to));
    }
    std::set<uint32_t> mailIds;
    for (auto& m : x.mails) {
      mailIds.insert(m.MAILID);
      ++counted[m.FROMID].first;
      ++counted[m.TOID].second;
      const store::Person* from = x.person(m.FROMID);
      const store::Person* to = x.person(m.TOID);
      const store::Person* pair = x.person(m.PAIRID);
      ASSERT_TRUE(from && to && pair) << "mail " << m.MAILID << " names a missing person";
      EXPECT_EQ(m.FROMALPHA.str(), prefix(from));
      EXPECT_EQ(m.TOALPHA.str(), prefix(to));
      EXPECT_EQ(m.PAIRALPHA.str(), pair->LASTNAME.str());
    }
    for (auto& p : x.persons) {
      auto c = counted[p.PERSONID];
      EXPECT_EQ(p.FROMCOUNT, c.first) << "person " << p.PERSONID;
      EXPECT_EQ(p.TOCOUNT, c.second) << "person " << p.PERSONID;
      if (complete && p.PERSONID != x.db.PERSONID) {
        EXPECT_GT(c.first + c.second, 0u) << "person " << p.PERSONID << " has no message";
      }
    }
    for (auto& c : x.copies) EXPECT_TRUE(mailIds.count(c.MAILID)) << "carbon copy of missing mail " << c.MAILID;
    for (auto& l : x.links) EXPECT_TRUE(ids.count(l.PERSONID)) << "link " << l.PERSONSTRING.str() << " to missing person";
  }

  TempArchive archive;
  store::Session& s;
  std::string inDir;
  int scripts = 0;
};

}  // namespace qb::test
