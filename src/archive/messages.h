#pragma once
// How the engine talks to the user: tell, ask with buttons and a default, and
// a fatal stop. The desktop program shows message boxes; the command line
// prints to stderr and answers questions by policy; tests record everything.
// Suppression of non-fatal messages during unattended task processing lives
// in Session (archive/session.h), which wraps this interface.

#include <stdexcept>
#include <string>
#include <vector>

namespace qb {

enum class Button { Ok = 1, Cancel = 2, Yes = 4, No = 8, Retry = 16, Ignore = 32, Abort = 64 };
inline unsigned operator|(Button a, Button b) { return unsigned(a) | unsigned(b); }
inline unsigned operator|(unsigned a, Button b) { return a | unsigned(b); }

enum class Icon { None, Information, Question, Exclamation, Hand };

class UserInterface {
 public:
  virtual ~UserInterface() = default;
  // Shows a message with an OK button.
  virtual void tell(const std::string& text, const std::string& title, Icon icon = Icon::Exclamation) = 0;
  // Asks a question; `buttons` is an or-ed set of Button, `def` the default
  // (also the cautious answer for unattended use). Returns the chosen button.
  virtual Button ask(const std::string& text, const std::string& title, unsigned buttons, Button def,
                     Icon icon = Icon::Question) = 0;
  virtual void beep() {}
};

// A fatal stop: the message has been shown; the program's top level ends the
// program (the GUI quits, the CLI exits non-zero, tests catch it).
class FatalStop : public std::runtime_error {
 public:
  FatalStop(std::string text, std::string title)
      : std::runtime_error(text), text_(std::move(text)), title_(std::move(title)) {}
  const std::string& text() const { return text_; }
  const std::string& title() const { return title_; }

 private:
  std::string text_, title_;
};

// Records every message; questions get scripted answers (or their default).
class RecordingUI : public UserInterface {
 public:
  struct Entry {
    std::string kind;  // "tell", "ask", "beep"
    std::string text, title;
    unsigned buttons = 0;
  };
  std::vector<Entry> entries;
  std::vector<Button> answers;  // consumed front to back; default when empty

  void tell(const std::string& text, const std::string& title, Icon) override {
    entries.push_back({"tell", text, title, 0});
  }
  Button ask(const std::string& text, const std::string& title, unsigned buttons, Button def, Icon) override {
    entries.push_back({"ask", text, title, buttons});
    if (answers.empty()) return def;
    Button b = answers.front();
    answers.erase(answers.begin());
    return b;
  }
  void beep() override { entries.push_back({"beep", "", "", 0}); }
  bool saw(const std::string& text) const {
    for (auto& e : entries)
      if (e.text == text) return true;
    return false;
  }
};

}  // namespace qb
