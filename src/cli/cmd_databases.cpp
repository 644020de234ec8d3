// `quillbox-cli databases`: one line per database of the archive.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_session.h"
#include "cli/command.h"
#include "cli/json_text.h"
#include "text/display_text.h"
#include "archive/file_table.h"

namespace qb::cli {
namespace {

struct Row {
  uint32_t id;
  std::string name, kind, dir;
  uint32_t messages;
  bool counted, importAllowed;
};

// Width of a UTF-8 text in characters.
std::size_t width(const std::string& s) {
  std::size_t n = 0;
  for (unsigned char c : s)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}

int runDatabases(const GlobalOptions& g, std::vector<std::string>& args) {
  bool json = false;
  for (auto& a : args) {
    if (a == "--json") {
      json = true;
    } else {
      std::fprintf(stderr, "quillbox-cli databases: unknown argument \"%s\"\n", a.c_str());
      return 2;
    }
  }
  auto cs = openArchive(g);
  if (!cs) return 1;
  store::Session& s = cs->session;
  std::vector<Row> rows;
  store::OP_CLOSE(s, store::OpOpen, {store::FileNo::Forums});
  auto& f = s.Forums();
  f.set(store::Forums::AlphaKey);
  while (f.next() == store::Err::Ok) {
    const store::Forums& r = f.rec;
    rows.push_back({r.ID, text::displayText(r.DESCRIPTION.str()), store::kindName(r.TYPE),
                    r.NODIR ? std::string("-") : "F" + std::to_string(r.DIRNUMBER), r.MSGCOUNT, r.COUNTFLAG == 0,
                    r.NOIMPORT != 1});
  }
  store::OP_CLOSE(s, store::OpClose, {store::FileNo::Forums});

  if (json) {
    std::printf("[");
    for (std::size_t i = 0; i < rows.size(); ++i) {
      const Row& r = rows[i];
      std::printf("%s\n  {\"id\": %u, \"name\": %s, \"kind\": %s, \"directory\": %s, \"messages\": %u, "
                  "\"counted\": %s, \"import\": %s}",
                  i ? "," : "", r.id, jsonString(r.name).c_str(), jsonString(r.kind).c_str(),
                  jsonString(r.dir).c_str(), r.messages, r.counted ? "true" : "false",
                  r.importAllowed ? "true" : "false");
    }
    std::printf("%s]\n", rows.empty() ? "" : "\n");
    return 0;
  }
  if (rows.empty()) {
    if (!g.quiet) std::printf("No databases.\n");
    return 0;
  }
  std::size_t nameWidth = 4;
  for (auto& r : rows) nameWidth = std::max(nameWidth, width(r.name));
  auto pad = [](const std::string& s, std::size_t w) { return s + std::string(w > width(s) ? w - width(s) : 0, ' '); };
  std::printf("%-10s %s  %-9s  %-9s %9s  %-7s  %s\n", "ID", pad("Name", nameWidth).c_str(), "Kind", "Directory",
              "Messages", "Counted", "Import");
  for (auto& r : rows)
    std::printf("%-10u %s  %-9s  %-9s %9u  %-7s  %s\n", r.id, pad(r.name, nameWidth).c_str(), r.kind.c_str(),
                r.dir.c_str(), r.messages, r.counted ? "Yes" : "No", r.importAllowed ? "Yes" : "No");
  return 0;
}

CommandRegistration reg({"databases", "list the databases of the archive",
                         "quillbox-cli databases [--json]\n"
                         "  One line per database: identifier, name, kind (Forum, Mail, Newsgroup),\n"
                         "  directory (F + number, below the data directory), number of messages,\n"
                         "  whether the counts are up to date, and whether imports are allowed.\n"
                         "  --json   the same as a JSON array of objects",
                         runDatabases});
}  // namespace
}  // namespace qb::cli
