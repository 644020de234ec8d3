#include "cli/message_rows.h"

#include "text/datetime.h"
#include "text/display_text.h"

namespace qb::cli {

Row messageRow(const store::MsgNmbr& m, Names& names, bool json) {
  Row r;
  r.numbers = {{"number", m.MSGNUMBER}, {"replyTo", m.REFNUMBER}, {"thread", m.THREADNUMBER}};
  if (json) {
    r.text = {{"date", text::formatDate(m.DATE)},     {"section", names.section(m.SECSYSID)},
              {"sender", names.person(m.FROMID)},      {"receiver", names.person(m.TOID)},
              {"subject", names.thread(m.THREADNUMBER)}};
  } else {
    r.text = {{"", col(std::to_string(m.MSGNUMBER), 9)}, {"", col(text::formatDate(m.DATE), 10)},
              {"", col(names.section(m.SECSYSID), 16)},   {"", col(names.person(m.FROMID), 20)},
              {"", col(names.person(m.TOID), 20)},        {"", names.thread(m.THREADNUMBER)}};
  }
  return r;
}

Row mailRow(const store::Mail& m, Names& names, bool json) {
  std::string direction = m.PAIRID != 0 && m.PAIRID == m.FROMID ? "in" : m.PAIRID != 0 && m.PAIRID == m.TOID ? "out" : "";
  Row r;
  r.numbers = {{"id", m.MAILID}};
  std::string subject = text::displayText(m.SUBJECT.str());
  if (json) {
    r.text = {{"date", text::formatDate(m.DATE)},  {"time", text::formatTime(m.TIME)},
              {"subject", subject},                  {"sender", names.person(m.FROMID)},
              {"receiver", names.person(m.TOID)},    {"direction", direction},
              {"recipientType", m.RECIPTYPE.str()}};
  } else {
    r.text = {{"", col(std::to_string(m.MAILID), 9)},    {"", col(text::formatDate(m.DATE), 10)},
              {"", col(text::formatTime(m.TIME), 5)},    {"", col(direction, 3)},
              {"", col(names.person(m.FROMID), 20)},      {"", col(names.person(m.TOID), 20)},
              {"", subject}};
  }
  return r;
}

}  // namespace qb::cli
