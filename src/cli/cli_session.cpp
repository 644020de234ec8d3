#include "cli/cli_session.h"

#include <cstdio>
#include <filesystem>

#include "archive/archive_home.h"
#include "text/control_chars.h"

namespace qb::cli {

std::string terminalText(const std::string& text) {
  std::string out, line;
  auto flush = [&] {
    std::size_t a = line.find_first_not_of(' ');
    std::size_t b = line.find_last_not_of(' ');
    if (!out.empty()) out += '\n';
    if (a != std::string::npos) out += line.substr(a, b - a + 1);
    line.clear();
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') continue;
    if (text[i] == '\n') {
      flush();
      continue;
    }
    line += text[i];
  }
  flush();
  while (!out.empty() && out.back() == '\n') out.pop_back();
  return text::visibleControls(out, text::ControlStyle::Escape);
}

std::string terminalField(const std::string& text) {
  return text::visibleControls(text, text::ControlStyle::Escape, true);
}

void CliUI::tell(const std::string& text, const std::string& title, qb::Icon icon) {
  if (icon == qb::Icon::Hand) return;  // a fatal stop: main() prints it
  std::string t = terminalText(title);
  std::fprintf(stderr, "%s%s%s\n", t.c_str(), t.empty() ? "" : ": ", terminalText(text).c_str());
}

qb::Button CliUI::ask(const std::string& text, const std::string& title, unsigned buttons, qb::Button def,
                      qb::Icon) {
  qb::Button answer = def;
  if (yes_) {
    for (qb::Button b : {qb::Button::Yes, qb::Button::Ok, qb::Button::Retry})
      if (buttons & unsigned(b)) {
        answer = b;
        break;
      }
  }
  if (!quiet_) {
    static const char* names[] = {"OK", "Cancel", "Yes", "No", "Retry", "Ignore", "Abort"};
    const char* name = "?";
    for (int i = 0; i < 7; ++i)
      if (unsigned(answer) == (1u << i)) name = names[i];
    std::string t = terminalText(title);
    std::fprintf(stderr, "%s%s%s\n  -> %s\n", t.c_str(), t.empty() ? "" : ": ", terminalText(text).c_str(), name);
  }
  return answer;
}

std::unique_ptr<CliSession> openArchive(const GlobalOptions& g) {
  std::error_code ec;
  if (!std::filesystem::is_directory(g.home + "/CFG", ec)) {
    std::fprintf(stderr, "quillbox-cli: there is no archive at %s (run `quillbox-cli init` first)\n",
                 g.home.c_str());
    return nullptr;
  }
  auto cs = std::make_unique<CliSession>(g);
  switch (store::openHome(cs->session, g.home)) {
    case store::HomeStatus::Ready:
      break;
    case store::HomeStatus::NoHome:
      std::fprintf(stderr, "quillbox-cli: there is no archive at %s (run `quillbox-cli init` first)\n",
                   g.home.c_str());
      return nullptr;
    case store::HomeStatus::DataPathMissing:
      std::fprintf(stderr,
                   "quillbox-cli: the data directory %s no longer exists; give the directory that holds the "
                   "databases with `quillbox-cli init --data-dir DIR`\n",
                   cs->session.FileDir.c_str());
      return nullptr;
  }
  return cs;
}

}  // namespace qb::cli
