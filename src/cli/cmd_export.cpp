// `quillbox-cli export` and `quillbox-cli addresses`: messages of a database
// in another program's format (or as mbox / Maildir for today's mail
// programs), and the persons of a database as an address book.
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/file_table.h"
#include "cli/cli_session.h"
#include "cli/command.h"
#include "cli/db_lookup.h"
#include "cli/progress.h"
#include "export/address_export.h"
#include "export/copy_msg.h"
#include "export/export_formats.h"
#include "export/mailbox_toc.h"
#include "text/datetime.h"
#include "text/strings.h"

namespace qb::cli {
namespace {

const char* kExportHelp =
    "quillbox-cli export DB --format NAME [options]\n"
    "\n"
    "Writes the messages of the database DB (its name or identifier) in the\n"
    "format of another program, or for today's mail programs as mbox or Maildir.\n"
    "\n"
    "  --format NAME     forum: \"OzWin II\", \"TAPCIS\"; mail: \"Eudora\", \"OzWin II\",\n"
    "                    \"TAPCIS\", \"Generic Mail Type 1\", \"Generic Mail Type 2\";\n"
    "                    newsgroup: \"Unix News\"; every kind: \"mbox\", \"Maildir\"\n"
    "  --scope SCOPE     whole (default), thread, section, sender, receiver,\n"
    "                    partner (mail), keyword, topic, search, message\n"
    "  --value V         what fixes the set: a thread's number or subject, a\n"
    "                    section's number or name, a person's identifier, address\n"
    "                    or name, a topic, a key word, a message number\n"
    "  --from DATE --to DATE   only messages of these days (YYYY-MM-DD, both included)\n"
    "  --append          append to existing files instead of writing new ones\n"
    "  --wrap N          break text lines longer than N characters (DOS output mode);\n"
    "  --hard-crs        copy text lines as they are (default: the settings)\n"
    "  --dir DIR         where the files go (default: the temporary directory)\n"
    "  --inbox F         file name of received mail (or of the single file)\n"
    "  --outbox F        file name of sent mail (mail formats with two files)\n"
    "  --no-toc          no table of contents beside Eudora mailboxes\n"
    "\n"
    "File names are plain names in DIR. Defaults: forum \"SaveMsg.Txt\" (OzWin II: the\n"
    "database's first 8 characters + \".SAV\"), mail \"SaveMail.Txt\" (TAPCIS),\n"
    "\"CISMAIL.IN\"/\"CISMAIL.OUT\" (OzWin II), else \"InBox.Mbx\"/\"OutBox.Mbx\";\n"
    "mbox: the database's name + \".mbox\"; Maildir: the name + \".maildir\".\n"
    "The old readers' files are written in Windows-1252 (TAPCIS: DOS code page\n"
    "437) with CR LF line ends; mbox and Maildir in UTF-8 with MIME headers.\n"
    "\n"
    "Exit code: 0 when messages were exported, 1 when the set held none,\n"
    "2 on an error (nothing half-written is left behind) or a bad command line.\n"
    "Ctrl-C ends the export after the current message.";

const char* kAddressHelp =
    "quillbox-cli addresses DB --format NAME [--topic T] [--from DATE --to DATE]\n"
    "                         [--file F] [--dir DIR]\n"
    "\n"
    "Writes the persons of the database DB as an address book: \"TAPCIS\",\n"
    "\"OzWin II\" (forum and mail), \"Eudora\", \"Generic Mail Type 1\"/\"2\" (mail),\n"
    "\"Unix News\" (newsgroups). --topic and --from/--to keep only the senders and\n"
    "receivers of the messages under that topic or of those days. The file\n"
    "(default \"Address.Txt\", OzWin II \"Address.Ab\") goes into DIR (default: the\n"
    "temporary directory).\n"
    "\n"
    "Exit code: 0 when addresses were written, 1 when none passed the filters,\n"
    "2 on an error or a bad command line.";

volatile std::sig_atomic_t interrupted = 0;
extern "C" void onExportInterrupt(int) {
  interrupted = 1;
  std::signal(SIGINT, SIG_DFL);
}

int bad(const char* cmd, const std::string& text) {
  std::fprintf(stderr, "quillbox-cli %s: %s\n", cmd, text.c_str());
  return 2;
}

int32_t parseDate(const std::string& v) {
  int y = 0, m = 0, d = 0;
  char tail = 0;
  if (std::sscanf(v.c_str(), "%d-%d-%d%c", &y, &m, &d, &tail) != 3) return 0;
  return text::dayNumber(y, m, d);
}

std::string absoluteDir(const std::string& d) {
  return d.empty() ? d : std::filesystem::absolute(d).lexically_normal().string();
}

// Writes the tables of contents of the Eudora mailboxes an export wrote.
bool writeTocs(const std::vector<exporting::WrittenBox>& boxes, bool quiet) {
  bool ok = true;
  for (const auto& b : boxes) {
    exporting::CreateTOC toc(b.path, b.boxKind, b.starts, b.appendedFrom);
    if (!toc.start()) {
      if (!toc.error().empty()) std::fprintf(stderr, "%s\n", toc.error().c_str()), ok = false;
      continue;
    }
    ProgressBar bar(!quiet);
    while (toc.step())
      bar.show(toc.size() ? double(toc.offset()) / double(toc.size()) : 0, "table of contents");
    bar.done();
    if (!toc.finish()) {
      std::fprintf(stderr, "%s\n", toc.error().c_str());
      ok = false;
    } else {
      std::printf("  %s (%u entries)\n", toc.tocPath().c_str(), toc.count());
    }
  }
  return ok;
}

int runExport(const GlobalOptions& g, std::vector<std::string>& args) {
  const char* me = "export";
  std::string db, format, scope = "whole", value, from, to, wrap;
  exporting::ExportRequest r;
  bool toc = true, hardCrs = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto take = [&](std::string& into) { return optionValue(args, i, into); };
    if (a == "--format") { if (!take(format)) return bad(me, "--format needs a name"); }
    else if (a == "--scope") { if (!take(scope)) return bad(me, "--scope needs a scope"); }
    else if (a == "--value") { if (!take(value)) return bad(me, "--value needs a value"); }
    else if (a == "--from") { if (!take(from)) return bad(me, "--from needs a date"); }
    else if (a == "--to") { if (!take(to)) return bad(me, "--to needs a date"); }
    else if (a == "--wrap") { if (!take(wrap)) return bad(me, "--wrap needs a column"); }
    else if (a == "--dir") { if (!take(r.directory)) return bad(me, "--dir needs a directory"); }
    else if (a == "--inbox") { if (!take(r.inbox)) return bad(me, "--inbox needs a file name"); }
    else if (a == "--outbox") { if (!take(r.outbox)) return bad(me, "--outbox needs a file name"); }
    else if (a == "--append") r.operation = exporting::OpExportAppend;
    else if (a == "--hard-crs") hardCrs = true;
    else if (a == "--no-toc") toc = false;
    else if (!a.empty() && a[0] == '-') return bad(me, "unknown option \"" + a + "\" (see `quillbox-cli help export`)");
    else if (db.empty()) db = a;
    else return bad(me, "give one database");
  }
  if (db.empty()) return bad(me, "which database? (see `quillbox-cli databases`)");
  if (format.empty()) return bad(me, "--format is needed (see `quillbox-cli help export`)");
  r.scope = exporting::scopeFromName(scope);
  if (r.scope < 0) return bad(me, "there is no scope \"" + scope + "\"");
  if (!wrap.empty()) {
    r.wrapMode = 1;
    r.wrapColumn = std::atoi(wrap.c_str());
    if (r.wrapColumn <= 0) return bad(me, "--wrap needs a column above 0");
  }
  if (hardCrs) r.wrapMode = 0;
  if (!from.empty() || !to.empty()) {
    r.dateFilter = true;
    r.fromDate = parseDate(from);
    r.toDate = parseDate(to);
  }
  r.directory = absoluteDir(r.directory);

  auto cs = openArchive(g);
  if (!cs) return 2;
  store::Session& s = cs->session;
  store::Forums f;
  if (!findDatabase(s, db, f)) return 2;
  s.selectDatabase(f);
  r.format = exporting::formatNumber(f.TYPE, format);
  if (!r.format) {
    std::string offered;
    for (const auto& c : exporting::formatList(f.TYPE)) offered += (offered.empty() ? "\"" : ", \"") + std::string(c.name) + "\"";
    return bad(me, "a " + std::string(store::kindName(f.TYPE)) + " database is exported as " + offered);
  }
  if (r.scope != exporting::ScopeDatabase && r.scope != exporting::ScopeSearch) {
    if (value.empty()) return bad(me, "--scope " + scope + " needs --value");
    std::vector<int> files = exporting::exportFiles(f.TYPE);
    files.push_back(1);
    store::OP_CLOSE(s, store::OpOpen, files);
    exporting::SetKey key;
    std::string why;
    const bool ok = exporting::resolveSetKey(s, r.scope, value, key, why);
    store::OP_CLOSE(s, store::OpClose, files);
    if (!ok) return bad(me, why);
    r.key = key;
  }

  std::signal(SIGXFSZ, SIG_IGN);  // a file size limit gives a write error, not the end of the program
  exporting::CopyMsg run(s, r);
  if (!run.start()) {
    const auto& rf = run.refusal();
    std::fprintf(stderr, "%s%s%s\n", rf.title.c_str(), rf.title.empty() ? "" : ": ", run.error().c_str());
    return 2;
  }
  ProgressBar bar(!g.quiet);
  interrupted = 0;
  std::signal(SIGINT, onExportInterrupt);
  while (run.step()) {
    if (interrupted) run.abort();
    const double fr = run.total() ? double(run.read()) / double(run.total()) : 0;
    bar.show(fr, run.progressText() + " " + std::to_string(run.processed()));
  }
  std::signal(SIGINT, SIG_DFL);
  bar.done();
  if (!run.finish()) {
    std::fprintf(stderr, "quillbox-cli export: %s\nNothing was exported.\n", run.error().c_str());
    return 2;
  }
  const auto boxes = run.written();
  std::printf("%u messages of %u exported (%s)\n", run.processed(), run.read(),
              exporting::formatName(f.TYPE, run.request().format).c_str());
  for (const auto& b : boxes) std::printf("  %s\n", b.path.c_str());
  bool ok = true;
  if (toc && run.request().format == exporting::FormatEudora) ok = writeTocs(boxes, g.quiet);
  std::printf("%s\n", run.finalText().c_str());
  if (!ok) return 2;
  return run.processed() > 0 ? 0 : 1;
}

int runAddresses(const GlobalOptions& g, std::vector<std::string>& args) {
  const char* me = "addresses";
  std::string db, format, topic, from, to;
  exporting::AddressRequest r;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto take = [&](std::string& into) { return optionValue(args, i, into); };
    if (a == "--format") { if (!take(format)) return bad(me, "--format needs a name"); }
    else if (a == "--topic") { if (!take(topic)) return bad(me, "--topic needs a topic"); }
    else if (a == "--from") { if (!take(from)) return bad(me, "--from needs a date"); }
    else if (a == "--to") { if (!take(to)) return bad(me, "--to needs a date"); }
    else if (a == "--file") { if (!take(r.fileName)) return bad(me, "--file needs a file name"); }
    else if (a == "--dir") { if (!take(r.directory)) return bad(me, "--dir needs a directory"); }
    else if (!a.empty() && a[0] == '-') return bad(me, "unknown option \"" + a + "\" (see `quillbox-cli help addresses`)");
    else if (db.empty()) db = a;
    else return bad(me, "give one database");
  }
  if (db.empty()) return bad(me, "which database? (see `quillbox-cli databases`)");
  if (format.empty()) return bad(me, "--format is needed (see `quillbox-cli help addresses`)");
  if (!from.empty() || !to.empty()) {
    r.dateFilter = true;
    r.fromDate = parseDate(from);
    r.toDate = parseDate(to);
  }
  r.directory = absoluteDir(r.directory);
  auto cs = openArchive(g);
  if (!cs) return 2;
  store::Session& s = cs->session;
  store::Forums f;
  if (!findDatabase(s, db, f)) return 2;
  s.selectDatabase(f);
  r.format = exporting::addressFormatNumber(f.TYPE, format);
  if (!r.format) return bad(me, "this address book format is not offered for a " + std::string(store::kindName(f.TYPE)) + " database");
  if (!topic.empty()) {
    store::OP_CLOSE(s, store::OpOpen, {1});
    r.topicFilter = true;
    r.topicId = exporting::topicIdOf(s, topic);
    store::OP_CLOSE(s, store::OpClose, {1});
    if (!r.topicId) return bad(me, "there is no topic \"" + topic + "\"");
  }
  std::signal(SIGXFSZ, SIG_IGN);
  exporting::CopyAddress run(s, r);
  if (!run.start()) {
    const auto& rf = run.refusal();
    std::fprintf(stderr, "%s%s%s\n", text::trim(rf.title).c_str(), rf.title.empty() ? "" : ": ", run.error().c_str());
    const bool empty = rf.text == "No addresses passed filter.";
    if (!run.finish() || !empty) return 2;
    return 1;
  }
  ProgressBar bar(!g.quiet);
  interrupted = 0;
  std::signal(SIGINT, onExportInterrupt);
  while (run.step()) {
    if (interrupted) run.abort();
    bar.show(run.total() ? double(run.done()) / double(run.total()) : 0, "Address export");
  }
  std::signal(SIGINT, SIG_DFL);
  bar.done();
  if (!run.finish()) {
    std::fprintf(stderr, "quillbox-cli addresses: %s\n", run.error().c_str());
    return 2;
  }
  std::printf("%s\n  %s\n", run.finalMessage().text.c_str(), run.path().c_str());
  return run.written() > 0 ? 0 : 1;
}

CommandRegistration exportReg({"export", "write messages in another program's format, mbox or Maildir", kExportHelp,
                               runExport});
CommandRegistration addressReg({"addresses", "write the persons of a database as an address book", kAddressHelp,
                                runAddresses});

}  // namespace
}  // namespace qb::cli
