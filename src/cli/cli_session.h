#pragma once
// The engine's user interface on the command line, and opening the archive
// of the home for a command.
//
// Messages go to stderr as "title: text". Questions are answered without
// waiting: with --yes by the first of Yes, OK, Retry the question offers,
// otherwise by the question's default (the cautious answer). Fatal stops are
// printed by main() when the FatalStop arrives, so CliUI leaves out the
// message shown with Icon::Hand.

#include <memory>
#include <string>

#include "cli/command.h"
#include "archive/messages.h"
#include "archive/session.h"

namespace qb::cli {

class CliUI : public qb::UserInterface {
 public:
  explicit CliUI(bool yes = false, bool quiet = false) : yes_(yes), quiet_(quiet) {}
  void tell(const std::string& text, const std::string& title, qb::Icon icon) override;
  qb::Button ask(const std::string& text, const std::string& title, unsigned buttons, qb::Button def,
                 qb::Icon icon) override;

 private:
  bool yes_, quiet_;
};

// A message text for a terminal: "\r\n" as new lines, leading and trailing
// blanks of the title and of each line removed.
std::string terminalText(const std::string& text);
// A field for a terminal line: every control character (line ends too)
// shown escaped, so that a subject or a name cannot steer the terminal.
std::string terminalField(const std::string& text);

// The UI and the session of one command, with the home opened.
struct CliSession {
  explicit CliSession(const GlobalOptions& g) : ui(g.yes, g.quiet), session(ui) {}
  CliUI ui;
  store::Session session;
};

// Opens the archive of the home for a command: paths, then the settings.
// Prints why and returns nullptr when there is no archive there (run
// `quillbox-cli init`) or its data directory is gone.
std::unique_ptr<CliSession> openArchive(const GlobalOptions& g);

}  // namespace qb::cli
