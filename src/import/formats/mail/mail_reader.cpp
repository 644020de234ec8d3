#include "import/formats/mail/mail_reader.h"

#include <cctype>

#include "import/formats/shared/internet_header.h"
#include "text/text_assembler.h"
#include "text/strings.h"

namespace qb::import::mail {

namespace {
// A line is kept up to the size of a whole message text; the rest of a
// longer line (a file without line ends) is passed over.
constexpr std::size_t kMaxKeptLine = text::kMaxText;

using text::startsWithNoCase;
}  // namespace

bool MailboxReader::open(const std::string& path, std::string& error) {
  if (!in_.open(path)) {
    error = "The file cannot be read.";
    return false;
  }
  return true;
}

bool MailboxReader::cutLine(std::string& line) {
  line.clear();
  if (in_.atEnd()) return false;
  if (!hasBoundaries()) {
    in_.readLine(line, kMaxKeptLine);
    while (!line.empty() && line.back() == '\0') line.pop_back();
    return true;
  }
  for (;;) {
    std::size_t ahead = visible();
    std::size_t lf = in_.findLineEnd(ahead);
    std::size_t end = lf == RawWindow::npos ? ahead : lf;
    std::size_t boundary = boundaryWithin(end);
    bool stop = boundary != RawWindow::npos;
    if (stop) end = boundary;
    for (std::size_t i = 0; i < end && line.size() < kMaxKeptLine; ++i) line.push_back(static_cast<char>(in_.at(i)));
    if (stop || lf != RawWindow::npos || end == 0) {
      in_.advance(end);
      if (!stop) in_.skipLineEnd();
      break;
    }
    in_.advance(end);  // a line longer than the window: go on to its end
    if (in_.atEnd()) break;
  }
  while (!line.empty() && (line.back() == '\0' || line.back() == '\r')) line.pop_back();
  return true;
}

bool isAddressHeaderStart(std::string_view line) {
  return startsWithNoCase(line, "From:") || startsWithNoCase(line, "Date:") || startsWithNoCase(line, "To:") ||
         startsWithNoCase(line, "Subject:");
}

int headerKind(std::string_view line) {
  std::string_view head = line.substr(0, 50);
  if (head.find(':') == std::string_view::npos && !startsWithNoCase(line, "From ")) return HdrNone;
  return classifyHeader(line);
}

std::unique_ptr<MailboxReader> makeMailboxReader(ImportTypeId type) {
  switch (type) {
    case ImportTypeId::Eudora:
      return makeEudoraReader();
    case ImportTypeId::NetscapeMail:
      return makeFromDashReader();
    case ImportTypeId::IeMail:
    case ImportTypeId::OutlookExpress4Mail:
      return makeRecordMarkerReader();
    case ImportTypeId::Pegasus:
      return makePegasusReader();
    case ImportTypeId::BeckyMail:
    case ImportTypeId::AgentMail:
    case ImportTypeId::GenericMail1:
      return makeCandidateReader();
    case ImportTypeId::Aol:
      return makeAolReader();
    default:
      return nullptr;
  }
}

}  // namespace qb::import::mail
