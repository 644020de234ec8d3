#pragma once
// Helpers of the Outlook tests: a scripted data file standing in for a PST,
// a converter context that notes when the run is stopped, and a converter
// driven over one "file" in bounded steps.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "formats/capture_fake_context.h"
#include "formats/mail_test_support.h"
#include "archive/archive_home.h"
#include "import/formats/outlook/outlook_converter.h"
#include "import/formats/outlook/outlook_source.h"

namespace qb::outlooktest {

using import::outlook::OpenError;
using import::outlook::OutlookFolder;
using import::outlook::OutlookItem;
using import::outlook::OutlookRecipient;
using import::outlook::OutlookSource;

// A data file given as folders with their items.
struct Script {
  std::vector<OutlookFolder> folders;
  std::vector<std::vector<OutlookItem>> items;  // per folder
  bool fail = false;
  OpenError error;

  std::size_t add(const std::string& path, std::vector<OutlookItem> list, bool mail = true) {
    OutlookFolder f;
    f.path = path;
    f.name = path.substr(path.rfind(':') == std::string::npos ? 0 : path.rfind(':') + 1);
    f.items = static_cast<uint32_t>(list.size());
    f.mail = mail;
    folders.push_back(f);
    items.push_back(std::move(list));
    return folders.size() - 1;
  }
};

class ScriptedSource : public OutlookSource {
 public:
  explicit ScriptedSource(const Script& s) : s_(s) {}
  const std::vector<OutlookFolder>& folders() const override { return s_.folders; }
  void openFolder(std::size_t index) override {
    folder_ = index;
    pos_ = 0;
    ++opened;
  }
  bool nextItem(OutlookItem& item) override {
    if (folder_ >= s_.items.size() || pos_ >= s_.items[folder_].size()) return false;
    item = s_.items[folder_][pos_++];
    return true;
  }
  int opened = 0;

 private:
  const Script& s_;
  std::size_t folder_ = 0;
  std::size_t pos_ = 0;
};

// The script the next converter opens (the opener is a plain function).
inline const Script*& currentScript() {
  static const Script* s = nullptr;
  return s;
}
inline std::unique_ptr<OutlookSource> openScript(const std::string&, OpenError& error) {
  const Script* s = currentScript();
  if (!s || s->fail) {
    if (s) error = s->error;
    return nullptr;
  }
  return std::make_unique<ScriptedSource>(*s);
}

class Context : public import::testing::FakeContext {
 public:
  bool stopped = false;
  void stopRun() override { stopped = true; }
};

// A converter context over an archive that has the mail database "Robin
// Quayle" (robin@example.com, rq@example.org, robin.quayle@example.net).
class Harness {
 public:
  Harness() {
    ctx.archiveSession = &mail.archive.session();
    ctx.req.kinds = import::KindAll;
    ctx.req.mailDatabase = mailtest::kOwnerDb;
    ctx.addDatabase(mailtest::kOwnerDb, 2);
    ctx.file = "/nowhere/Outlook.pst";
  }
  // Runs the converter over `script`; returns the steps taken.
  int run(const Script& script, int maxSteps = 10000) {
    currentScript() = &script;
    import::outlook::OutlookConverter conv(openScript);
    uint8_t command = 199;
    for (int steps = 1; steps <= maxSteps; ++steps) {
      ctx.stepAppends = 0;
      bool done = conv.step(ctx, command);
      if (done) return steps;
    }
    ADD_FAILURE() << "the converter does not end";
    return maxSteps;
  }
  // A message told to the user that starts with `start`.
  bool told(const std::string& start) const {
    for (auto& e : mail.archive.ui.entries)
      if (e.text.rfind(start, 0) == 0) return true;
    return false;
  }
  mailtest::MailArchive mail;
  Context ctx;
};

inline std::string slurp(const std::filesystem::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

inline OutlookItem mailItem(const std::string& subject, std::vector<OutlookRecipient> recipients,
                            const std::string& senderAddress = "pat@example.net",
                            const std::string& senderName = "Pat Doe") {
  OutlookItem i;
  i.subject = subject;
  i.senderAddress = senderAddress;
  i.senderReplyName = senderName;
  i.senderName = senderName;
  i.creationTime = "2010-03-15 17:12:05";
  i.body = "Hello\r\n";
  i.recipients = std::move(recipients);
  return i;
}

}  // namespace qb::outlooktest
