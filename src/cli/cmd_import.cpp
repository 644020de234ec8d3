// `quillbox-cli import`: an import run from the command line, with a
// progress bar, the run's statistics and its final message.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/cli_session.h"
#include "cli/command.h"
#include "cli/progress.h"
#include "import/import_run.h"
#include "import/import_setup.h"
#include "import/import_types.h"
#include "text/display_text.h"

namespace qb::cli {
namespace {

const char* kHelp =
    "quillbox-cli import --format NAME|NUMBER (--tree DIR | --dir DIR | FILE...) [options]\n"
    "\n"
    "Converts the messages of the chosen files and stores them in the archive.\n"
    "\n"
    "  --format NAME|NUMBER  the source format: its name or number (see --list-formats)\n"
    "  --tree DIR            every matching file in DIR and all directories below it\n"
    "  --dir DIR             every matching file in DIR\n"
    "  FILE...               the files given\n"
    "  --mask \"*.MSG;*.OLD\"  file masks for --tree and --dir (default: the format's)\n"
    "  --all-cim             WinCIM, DOSCIM, CSNav: every CIM message file in the\n"
    "                        directories, whatever its name (files of other kinds\n"
    "                        are passed over)\n"
    "  --forum NAME          forum name for files that do not name their forum\n"
    "  --mail-db NAME        the mail database that receives mail\n"
    "  --kinds mail,forum,news  the kinds of messages to import (default: all)\n"
    "  --reimport            store messages again that were imported before\n"
    "  --create-only         create the databases, but store no messages\n"
    "  --timings             also print the seconds of the conversion and of the storing phase\n"
    "  --topic NAME          file every stored mail under this topic of the mail database\n"
    "                        (created when missing)\n"
    "  --folders \"A::B##C\"   \"Outlook Mail\": the folders of the data file to read, by their\n"
    "                        paths (see `quillbox-cli pst-folders FILE`); default: every\n"
    "                        mail folder\n"
    "  --list-formats        the source formats with their numbers and masks\n"
    "\n"
    "Exit code: 0 when messages were imported, 1 when none were, 2 on a failure\n"
    "(a write that failed, for instance for want of disk space: the open\n"
    "transaction is rolled back and the cause and directory are told) or a bad\n"
    "command line, 4 when the run stopped because too little disk space was free\n"
    "and the question whether to go on was answered no (the default; --yes goes\n"
    "on). Ctrl-C stops the run (while storing, --yes is needed to confirm; a\n"
    "second Ctrl-C ends the program at once). A run that was killed is finished\n"
    "by the next run, by `quillbox-cli count`, or when the archive is next opened:\n"
    "its counts are recomputed, and running the import again stores what is missing.";

// Exit code of a run stopped by a free-space check that was answered no.
constexpr int kExitNoSpace = 4;

volatile std::sig_atomic_t interrupted = 0;
extern "C" void onInterrupt(int) {
  interrupted = 1;
  std::signal(SIGINT, SIG_DFL);
}

int bad(const std::string& text) {
  std::fprintf(stderr, "quillbox-cli import: %s\n", text.c_str());
  return 2;
}

void listFormats() {
  for (const auto& t : import::importTypes())
    if (t.offered())
      std::printf("%3d  %-24s %s%s\n", t.number(), t.name, *t.defaultMask ? t.defaultMask : "(folders)",
                  t.available() ? "" : "  [not available]");
}

bool parseKinds(const std::string& list, unsigned& kinds) {
  kinds = 0;
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t comma = list.find(',', start);
    if (comma == std::string::npos) comma = list.size();
    std::string k = list.substr(start, comma - start);
    if (k == "mail")
      kinds |= import::KindMail;
    else if (k == "forum")
      kinds |= import::KindForum;
    else if (k == "news")
      kinds |= import::KindNews;
    else
      return false;
    start = comma + 1;
  }
  return kinds != 0;
}

void printStats(const import::ImportRun& run) {
  const import::RunStats& st = run.stats();
  std::printf("%s\n", run.caption().c_str());
  std::printf("  Files read:        %u", st.files);
  if (st.missingFiles) std::printf(" (%u skipped: missing or not readable)", st.missingFiles);
  if (st.specialFiles) std::printf("\n  Special files:     %u skipped (no regular files)", st.specialFiles);
  std::printf("\n  Work records:      %llu\n", static_cast<unsigned long long>(st.workRecords));
  std::printf("  Skipped:           %llu\n", static_cast<unsigned long long>(st.skipped));
  for (const auto& db : st.databases) {
    std::printf("  %s \"%s\"%s: %u before, %u work records, %u stored, %u duplicates", store::kindName(db.kind),
                terminalField(text::displayText(db.name)).c_str(), db.created ? " (new)" : "", db.before, db.workRecords,
                db.stored, db.duplicates);
    if (db.after) std::printf(", %u now", db.after);
    std::printf("\n");
  }
  std::printf("  Imported:          %llu\n", static_cast<unsigned long long>(st.imported));
  std::printf("  Duplicates:        %llu\n", static_cast<unsigned long long>(st.duplicates));
  std::printf("  Time:              %u seconds\n", st.elapsedSeconds);
  if (st.cancelled) std::printf("The import was stopped.\n");
  std::printf("%s\n", run.finalMessage().c_str());
}

// The set-up's problem in the words of the command line.
int badOrder(import::ImportProblem p, const std::string& detail) {
  using import::ImportProblem;
  const std::string text = import::importProblemText(p, detail);
  switch (p) {
    case ImportProblem::UnknownFormat: return bad(text + " (see --list-formats)");
    case ImportProblem::NoSelection: return bad("give --tree DIR, --dir DIR or files to import");
    case ImportProblem::TopicWithoutMailDatabase: return bad("--topic needs --mail-db");
    case ImportProblem::AllCimFilesNotCim: return bad("--all-cim goes only with WinCIM, DOSCIM and CSNav");
    case ImportProblem::AllCimFilesWithoutDirectory: return bad("--all-cim needs --dir or --tree");
    case ImportProblem::NoMailDatabase: return bad(text + " (create it with `quillbox-cli maildb create`)");
    case ImportProblem::NoDataFile:
    case ImportProblem::DataFileUnreadable: {
      // The run's own message, with the file and the reason.
      std::string lines = text;
      for (std::size_t at; (at = lines.find("\r\n")) != std::string::npos;) lines.replace(at, 2, "\n");
      std::fprintf(stderr, "%s\n", lines.c_str());
      return 2;
    }
    default: return bad(text);
  }
}

int runImport(const GlobalOptions& g, std::vector<std::string>& args) {
  import::ImportOrder order;
  import::ImportRequest& req = order.request;
  std::string& format = order.format;
  std::string& topic = order.topic;
  bool haveSelection = false;
  bool timings = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& into) { return optionValue(args, i, into); };
    auto selection = [&](int method) {
      if (haveSelection && (req.selectionMethod != method || method != 2)) return false;
      haveSelection = true;
      req.selectionMethod = method;
      return true;
    };
    if (a == "--list-formats") {
      listFormats();
      return 0;
    } else if (a == "--format") {
      if (!value(format)) return bad("--format needs a name or number");
    } else if (a == "--tree" || a == "--dir") {
      if (!selection(a == "--tree" ? 0 : 1) || !value(req.sourcePath))
        return bad("give exactly one of --tree DIR, --dir DIR or files");
    } else if (a == "--mask") {
      if (!value(req.pattern)) return bad("--mask needs masks");
    } else if (a == "--all-cim") {
      req.allCimFiles = true;
    } else if (a == "--forum") {
      if (!value(req.forumName)) return bad("--forum needs a name");
    } else if (a == "--mail-db") {
      if (!value(req.mailDatabase)) return bad("--mail-db needs a name");
    } else if (a == "--kinds") {
      std::string k;
      if (!value(k) || !parseKinds(k, req.kinds)) return bad("--kinds takes mail, forum and news, separated by commas");
    } else if (a == "--reimport") {
      req.allowReimport = true;
    } else if (a == "--create-only") {
      req.createOnly = true;
    } else if (a == "--timings") {
      timings = true;
    } else if (a == "--topic") {
      if (!value(topic)) return bad("--topic needs a name");
    } else if (a == "--folders") {
      if (!value(req.outlookFolders)) return bad("--folders needs folder paths separated by \"##\"");
    } else if (!a.empty() && a[0] == '-') {
      return bad("unknown option \"" + a + "\" (see `quillbox-cli help import`)");
    } else {
      if (!selection(2)) return bad("give exactly one of --tree DIR, --dir DIR or files");
      req.files.push_back(std::filesystem::absolute(a).lexically_normal().string());
    }
  }
  if (format.empty()) return bad("--format is needed (see --list-formats)");
  std::string detail;
  if (import::ImportProblem p = import::checkImportOrder(order, detail); p != import::ImportProblem::None)
    return badOrder(p, detail);

  auto cs = openArchive(g);
  if (!cs) return 2;
  import::PreparedImport prepared = import::prepareImport(cs->session, std::move(order));
  if (!prepared.run) return badOrder(prepared.problem, prepared.detail);
  import::ImportRun& run = *prepared.run;
  ProgressBar bar(!g.quiet);
  interrupted = 0;
  std::signal(SIGINT, onInterrupt);
  const auto started = std::chrono::steady_clock::now();
  auto storingFrom = started;
  bool storingSeen = false;
  while (run.step()) {
    if (interrupted) {
      interrupted = 0;
      bar.done();
      run.cancel();
    }
    const import::RunProgress& p = run.progress();
    if (p.storing && !storingSeen) {
      storingSeen = true;
      storingFrom = std::chrono::steady_clock::now();
    }
    if (p.storing) {
      double f = p.storeTotal ? double(p.storeDone) / double(p.storeTotal) : 0;
      bar.show(f, "to " + terminalField(text::displayText(p.importingTo)));
    } else {
      std::string from = std::filesystem::path(p.importingFrom).filename().string();
      std::string label = terminalField(from) + " (" + std::to_string(p.workRecords) + ")";
      if (!p.status.empty()) label = terminalField(p.status) + ": " + label;
      bar.show(p.conversion, label);
    }
  }
  std::signal(SIGINT, SIG_DFL);
  bar.done();
  printStats(run);
  if (timings) {
    const auto ended = std::chrono::steady_clock::now();
    if (!storingSeen) storingFrom = ended;
    std::printf("  Conversion:        %.3f seconds\n", std::chrono::duration<double>(storingFrom - started).count());
    std::printf("  Storing:           %.3f seconds\n", std::chrono::duration<double>(ended - storingFrom).count());
  }
  // Why a run stopped is told even with --quiet.
  const import::RunStats& st = run.stats();
  if (st.failed) {
    std::fprintf(stderr, "quillbox-cli import: the import failed%s%s\n", st.failure.empty() ? "" : ": ",
                 terminalField(st.failure).c_str());
    return 2;
  }
  if (st.spaceRefused) {
    std::fprintf(stderr, "quillbox-cli import: the import was stopped: too little free disk space (%s; give --yes to import anyway)\n",
                 terminalField(st.failure).c_str());
    return kExitNoSpace;
  }
  return st.imported > 0 ? 0 : 1;
}

CommandRegistration reg({"import", "import messages from the files of another program", kHelp, runImport});

}  // namespace
}  // namespace qb::cli
