#pragma once
// A fresh Quillbox home in a temporary directory, with a session that
// records every message. For tests of any subsystem:
//
//   qb::test::TempArchive a;                     // home with CFG/, TEMP/, Forums, Control
//   uint32_t id = a.addDatabase(qb::store::KindForum, "Some forum");  // created and current
//   qb::store::OP_CLOSE(a.session(), qb::store::OpOpen, {qb::store::FileNo::MsgNmbr, qb::store::FileNo::MsgText});
//   ... a.ui.entries holds what the user was told ...
//
// A second session on the same home behaves like a second copy of the
// program: auto other = a.newSession(otherUi);

#include <memory>
#include <string>

#include "archive/messages.h"
#include "archive/records.h"
#include "archive/session.h"

namespace qb::test {

class TempArchive {
 public:
  TempArchive();   // creates the home and opens it in session()
  ~TempArchive();  // closes the sessions and removes the home
  TempArchive(const TempArchive&) = delete;
  TempArchive& operator=(const TempArchive&) = delete;

  const std::string& home() const { return home_; }
  qb::RecordingUI ui;
  store::Session& session() { return *session_; }

  // Another session on the same home (the caller keeps `ui` alive).
  std::unique_ptr<store::Session> newSession(qb::UserInterface& ui);

  // Creates a database and makes it current in session(); returns FOR:ID.
  uint32_t addDatabase(uint8_t kind, const std::string& name);

  // The full path of a file of the home, e.g. path("CFG/IDX002.TPS").
  std::string path(const std::string& relative) const { return home_ + "/" + relative; }

 private:
  std::string home_;
  std::unique_ptr<store::Session> session_;
};

}  // namespace qb::test
