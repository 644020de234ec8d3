// `quillbox-cli show`: one message with its header fields and its text,
// decoded for the terminal.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_session.h"
#include "cli/command.h"
#include "cli/db_lookup.h"
#include "cli/json_text.h"
#include "text/datetime.h"
#include "text/display_text.h"
#include "archive/file_table.h"

namespace qb::cli {
namespace {

const char* kHelp =
    "quillbox-cli show DB NUMBER [--json]\n"
    "\n"
    "Shows one message of the database DB (its name or identifier): the message\n"
    "number of a forum or newsgroup message, the mail identifier of a mail (see\n"
    "`quillbox-cli list`). Texts are shown as UTF-8.";

int bad(const std::string& text) {
  std::fprintf(stderr, "quillbox-cli show: %s\n", text.c_str());
  return 2;
}

// The text with CR LF line ends as a terminal shows it.
std::string terminalLines(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i)
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out += text[i];
  return out;
}

struct Field {
  std::string label, key, value;
};

std::string personText(store::Session& s, uint32_t id) {
  auto& p = s.Person();
  p.clear();
  p.rec.PERSONID = id;
  if (p.get(store::Person::PersonKey) != store::Err::Ok) return "";
  std::string first = p.rec.FIRSTNAME.str(), last = p.rec.LASTNAME.str(), addr = p.rec.ADDRESS.str();
  std::string n = first.empty() ? last : first + " " + last;
  if (!addr.empty()) n += " <" + addr + ">";
  return text::displayText(n);
}

std::string messageText(store::Session& s, uint32_t number) {
  auto& t = s.MsgText();
  t.clear();
  t.rec.MSGNUMBER = number;
  return t.get(store::MsgText::IdKey) == store::Err::Ok ? text::displayText(terminalLines(t.memo())) : "";
}

const char* status(uint8_t dummy) { return dummy == 1 ? "Keep" : dummy == 2 ? "Delete" : "Normal"; }

void print(const std::vector<Field>& fields, const std::vector<std::string>& copies, const std::string& text,
           bool json) {
  if (json) {
    std::printf("{");
    for (std::size_t i = 0; i < fields.size(); ++i)
      std::printf("%s\"%s\": %s", i ? ", " : "", fields[i].key.c_str(), jsonString(fields[i].value).c_str());
    std::printf(", \"copies\": [");
    for (std::size_t i = 0; i < copies.size(); ++i) std::printf("%s%s", i ? ", " : "", jsonString(copies[i]).c_str());
    std::printf("], \"text\": %s}\n", jsonString(text).c_str());
    return;
  }
  for (const auto& f : fields)
    if (!f.value.empty()) std::printf("%-10s %s\n", (f.label + ":").c_str(), f.value.c_str());
  for (const auto& c : copies) std::printf("%-10s %s\n", "Copy to:", c.c_str());
  std::printf("\n%s", text.c_str());
  if (!text.empty() && text.back() != '\n') std::printf("\n");
}

int showMessage(store::Session& s, uint32_t number, bool json) {
  store::OP_CLOSE(s, store::OpOpen, {store::FileNo::MsgNmbr, store::FileNo::MsgText, store::FileNo::Person, store::FileNo::Sections, store::FileNo::Threads});
  auto& msg = s.MsgNmbr();
  msg.clear();
  msg.rec.MSGNUMBER = number;
  int rc = 0;
  if (msg.get(store::MsgNmbr::IdKey) != store::Err::Ok) {
    rc = bad("there is no message " + std::to_string(number) + " in " + s.Description);
  } else {
    const store::MsgNmbr m = msg.rec;
    auto& sec = s.Sections();
    sec.clear();
    sec.rec.SECSYSID = m.SECSYSID;
    std::string section = sec.get(store::Sections::SysIdKey) == store::Err::Ok ? sec.rec.DESCRIPTION.str() : "";
    auto& thr = s.Threads();
    thr.clear();
    thr.rec.THREADNUMBER = m.THREADNUMBER;
    std::string subject = thr.get(store::Threads::ThreadKey) == store::Err::Ok ? thr.rec.heading() : "";
    std::vector<Field> fields = {
        {"Database", "database", text::displayText(s.Description)},
        {"Number", "number", std::to_string(m.MSGNUMBER)},
        {"Reply to", "replyTo", m.REFNUMBER ? std::to_string(m.REFNUMBER) : ""},
        {"Section", "section", text::displayText(section)},
        {"Subject", "subject", text::displayText(subject)},
        {"From", "from", personText(s, m.FROMID)},
        {"To", "to", personText(s, m.TOID)},
        {"Date", "date", text::formatDate(m.DATE)},
        {"Status", "status", status(m.DUMMY)},
    };
    print(fields, {}, messageText(s, m.MSGNUMBER), json);
  }
  store::OP_CLOSE(s, store::OpClose, {store::FileNo::MsgNmbr, store::FileNo::MsgText, store::FileNo::Person, store::FileNo::Sections, store::FileNo::Threads});
  return rc;
}

int showMail(store::Session& s, uint32_t id, bool json) {
  store::OP_CLOSE(s, store::OpOpen, {store::FileNo::Mail, store::FileNo::MsgText, store::FileNo::Person, store::FileNo::CCR});
  auto& mail = s.Mail();
  mail.clear();
  mail.rec.MAILID = id;
  int rc = 0;
  if (mail.get(store::Mail::IdKey) != store::Err::Ok) {
    rc = bad("there is no mail " + std::to_string(id) + " in " + s.Description);
  } else {
    const store::Mail m = mail.rec;
    std::vector<std::string> copies;
    auto& ccr = s.CCR();
    ccr.clear();
    ccr.rec.MAILID = id;
    if (ccr.setAt(store::CCR::IdKey, 1) == store::Err::Ok)
      while (ccr.next() == store::Err::Ok && ccr.rec.MAILID == id) {
        std::string c = ccr.rec.R_NAME.str();
        if (!ccr.rec.R_CISADRESS.blank()) c += " <" + ccr.rec.R_CISADRESS.str() + ">";
        if (!ccr.rec.RECIPTYPE.blank()) c += " (" + ccr.rec.RECIPTYPE.str() + ")";
        copies.push_back(text::displayText(c));
      }
    std::string direction = m.PAIRID != 0 && m.PAIRID == m.FROMID   ? "incoming"
                            : m.PAIRID != 0 && m.PAIRID == m.TOID ? "outgoing"
                                                                  : "";
    std::vector<Field> fields = {
        {"Database", "database", text::displayText(s.Description)},
        {"Mail", "id", std::to_string(m.MAILID)},
        {"Subject", "subject", text::displayText(m.SUBJECT.str())},
        {"From", "from", personText(s, m.FROMID)},
        {"To", "to", personText(s, m.TOID)},
        {"Received", "recipientType", m.RECIPTYPE.str()},
        {"Date", "date", text::formatDate(m.DATE)},
        {"Time", "time", text::formatTime(m.TIME)},
        {"Direction", "direction", direction},
        {"Status", "status", status(m.DUMMY)},
    };
    print(fields, copies, messageText(s, m.MAILID), json);
  }
  store::OP_CLOSE(s, store::OpClose, {store::FileNo::Mail, store::FileNo::MsgText, store::FileNo::Person, store::FileNo::CCR});
  return rc;
}

int runShow(const GlobalOptions& g, std::vector<std::string>& args) {
  std::vector<std::string> pos;
  bool json = false;
  for (auto& a : args) {
    if (a == "--json")
      json = true;
    else if (!a.empty() && a[0] == '-')
      return bad("unknown option \"" + a + "\"");
    else
      pos.push_back(a);
  }
  if (pos.size() != 2) return bad("give a database and a message number");
  uint32_t number = 0;
  try {
    std::size_t used = 0;
    unsigned long long v = std::stoull(pos[1], &used);
    if (used != pos[1].size() || v > 0xFFFFFFFFull) throw std::invalid_argument("number");
    number = static_cast<uint32_t>(v);
  } catch (const std::exception&) {
    return bad("\"" + pos[1] + "\" is not a message number");
  }
  auto cs = openArchive(g);
  if (!cs) return 2;
  store::Session& s = cs->session;
  store::Forums f;
  if (!findDatabase(s, pos[0], f)) return 2;
  s.selectDatabase(f);
  return f.TYPE == store::KindMail ? showMail(s, number, json) : showMessage(s, number, json);
}

CommandRegistration reg({"show", "show one message with its header and text", kHelp, runShow});

}  // namespace
}  // namespace qb::cli
