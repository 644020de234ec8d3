#pragma once
// A temporary archive with the settings loaded, a directory for source
// files, and helpers to run an import and look at what it stored.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "import/import_run.h"
#include "support/scripted_converter.h"
#include "archive/config.h"
#include "archive/file_table.h"
#include "archive/record_access.h"
#include "archive/session.h"
#include "support/temp_archive.h"

namespace qb::test {

class RunFixture : public ::testing::Test {
 protected:
  RunFixture() : s(archive.session()) {
    store::Konfig(s, store::KonfigAction::LoadGeneral);
    store::Konfig(s, store::KonfigAction::LoadDisplay);
    store::SpeedVal(s, store::SpeedAction::Compute);
    inDir = archive.path("in");
    std::filesystem::create_directories(inDir);
  }

  // Writes a script file and returns its full name.
  std::string script(const std::string& name, const std::vector<std::string>& lines) {
    std::string path = inDir + "/" + name;
    std::ofstream out(path, std::ios::binary);
    for (const auto& l : lines) out << l << "\n";
    return path;
  }

  import::ImportRequest request(std::vector<std::string> files) {
    import::ImportRequest r;
    r.typeName = kScriptType;
    r.selectionMethod = 2;
    r.files = std::move(files);
    return r;
  }

  // Runs an import to its end.
  import::RunStats run(const import::ImportRequest& r) { return runCancelling(r, import::RunPhase::Done, 0); }

  // Runs an import and cancels it once, at the `skip`+1-th step that
  // begins in `phase`.
  import::RunStats runCancelling(const import::ImportRequest& r, import::RunPhase phase, int skip = 0) {
    import::ImportRun ir(s, r, makeScriptConverter());
    bool cancelled = false;
    do {
      if (!cancelled && ir.phase() == phase && skip-- == 0) {
        ir.cancel();
        cancelled = true;
      }
    } while (ir.step());
    finalMessage = ir.finalMessage();
    return ir.stats();
  }

  // The Forums record of a database name; ID 0 when there is none.
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

  void setForum(const store::Forums& rec) {
    store::OP_CLOSE(s, store::OpOpen, {store::FileNo::Forums});
    auto& f = s.Forums();
    f.clear();
    f.rec.ID = rec.ID;
    ASSERT_EQ(f.get(store::Forums::ForumKey), store::Err::Ok);
    f.rec = rec;
    ASSERT_EQ(f.put(), store::Err::Ok);
    store::OP_CLOSE(s, store::OpClose, {store::FileNo::Forums});
  }

  // Opens the files of a database for reading; closes them at the end.
  struct Db {
    Db(store::Session& s, const store::Forums& f) : s(s) {
      s.selectDatabase(f);
      store::OP_CLOSE(s, store::OpOpen, files);
    }
    ~Db() { store::OP_CLOSE(s, store::OpClose, files); }
    template <class R>
    std::vector<R> all(store::Table<R>& t) {
      std::vector<R> out;
      t.setFileOrder();
      while (t.next() == store::Err::Ok) out.push_back(t.rec);
      return out;
    }
    std::vector<store::MsgNmbr> headers() { return all(s.MsgNmbr()); }
    std::vector<store::Threads> threads() { return all(s.Threads()); }
    std::vector<store::Sections> sections() { return all(s.Sections()); }
    std::vector<store::Person> persons() { return all(s.Person()); }
    std::vector<store::Mail> mails() { return all(s.Mail()); }
    std::vector<store::CCR> ccs() { return all(s.CCR()); }
    std::vector<store::MsgString> ids() { return all(s.MsgString()); }
    std::string text(uint32_t number) {
      auto& t = s.MsgText();
      t.clear();
      t.rec.MSGNUMBER = number;
      return t.get(store::MsgText::IdKey) == store::Err::Ok ? t.memo() : "<none>";
    }
    store::Session& s;
    std::vector<store::FileNo> files{store::FileNo::MsgNmbr,  store::FileNo::MsgText, store::FileNo::Person,
                                     store::FileNo::Sections, store::FileNo::Threads, store::FileNo::SIndex,
                                     store::FileNo::Mail,     store::FileNo::CCR,     store::FileNo::MsgString};
  };

  TempArchive archive;
  store::Session& s;
  std::string inDir;
  std::string finalMessage;
};

}  // namespace qb::test
