#include "import/formats/captures/capture_forum_header.h"

#include "text/month_date.h"
#include "store/record.h"

namespace qb::import::captures {

namespace {
constexpr std::size_t kSectionText = 30;
constexpr std::size_t kSubjectLength = 100;

std::string_view lineAt(std::span<const std::string> lines, std::size_t i) {
  return i < lines.size() ? std::string_view(lines[i]) : std::string_view();
}

unsigned digitsOf(uint32_t n) {
  unsigned d = 1;
  while (n >= 10) {
    n /= 10;
    ++d;
  }
  return d;
}

// Removes a leading "CIS:" (compared in upper case) from a forum name.
std::string withoutCisPrefix(std::string_view name) {
  name = trimSpacesView(name);
  if (name.size() >= 4 && text::upper1252(name.substr(0, 4)) == "CIS:") name.remove_prefix(4);
  return std::string(trimSpacesView(name));
}

std::string cut(std::string_view s, std::size_t n) { return std::string(s.substr(0, n)); }

bool parseCaptureHeader(CaptureFormat f, std::span<const std::string> lines, std::string_view chosenForum,
                        ForumHeader& h);
bool parseNavCISHeader(std::span<const std::string> lines, std::string_view chosenForum, ForumHeader& h);
}  // namespace

// ---- pieces -------------------------------------------------------------------

uint32_t startLineNumber(std::string_view line, std::size_t& sectionStart) {
  const std::size_t from = 3, to = 15;  // columns 4-15
  std::string_view number;
  if (line.size() <= from) {
    sectionStart = line.size();
    return 0;
  }
  std::string_view window = line.substr(from, to - from);
  std::size_t blank = window.find(' ');
  if (blank != std::string_view::npos) {
    number = window.substr(0, blank);
    sectionStart = from + blank + 1;
  } else {
    number = window;
    sectionStart = to;
  }
  if (!isNumber(number)) return 0;
  unsigned long v = numberValue(number);
  return v > 0 && v < kMaxMessageNumber ? static_cast<uint32_t>(v) : 0;
}

std::string startLineForum(std::string_view line, std::size_t sectionStart, std::size_t& open) {
  open = std::string_view::npos;
  if (sectionStart >= line.size()) return {};
  std::size_t closeAfter = std::string_view::npos;  // first ")" at or after a position
  for (std::size_t i = line.size(); i-- > sectionStart;) {
    if (line[i] == ')') closeAfter = i;
    if (line[i] != '(' || closeAfter == std::string_view::npos) continue;
    // A one-letter mark such as "(X)" in front of the section is no forum.
    if (i == sectionStart && closeAfter == i + 2) return {};
    open = i;
    return withoutCisPrefix(line.substr(i + 1, closeAfter - i - 1));
  }
  return {};
}

void parseSection(std::string_view text, uint32_t& number, std::string& name) {
  text = trimSpacesView(text).substr(0, kSectionText);
  if (text.size() >= 3 && text[0] == '(' && text[2] == ')') {
    text.remove_prefix(3);
    if (!text.empty() && text[0] == ' ') text.remove_prefix(1);
  }
  number = 0;
  std::size_t slash = text.find('/');
  if (slash == std::string_view::npos) {
    name = std::string(trimSpacesView(text));
    return;
  }
  if (slash >= 2) number = static_cast<uint32_t>(numberValue(text.substr(1, slash - 1)));
  name = std::string(trimSpacesView(text.substr(slash + 1)));
}

bool referenceOk(std::string_view reference, uint32_t number) {
  if (!isNumber(reference)) return false;
  unsigned long r = numberValue(reference);
  return r != 0 && r <= number && number <= r + kReferenceSpan;
}

void parseSubject(std::string_view sb, uint32_t number, bool dropAtBMark, std::string& subject,
                  uint32_t& reference) {
  std::string_view whole = fromCol(sb, 5);
  std::string_view text = whole;
  reference = 0;
  std::size_t numStart = 0;  // 1-based column of the replied-to number
  if (col(sb, 5) == '#')
    numStart = 6;
  else if (col(sb, 5) >= '0' && col(sb, 5) <= '9')
    numStart = 5;
  if (numStart) {
    // The separator may follow as many digits as the message number has.
    std::size_t last = numStart + digitsOf(number);
    for (std::size_t c = numStart; c <= last && c <= sb.size(); ++c) {
      char ch = col(sb, c);
      if (ch != ' ' && ch != '-') continue;
      if (c > numStart) {
        std::string_view ref = sb.substr(numStart - 1, c - numStart);
        if (referenceOk(ref, number)) {
          reference = static_cast<uint32_t>(numberValue(ref));
          text = trimSpacesView(fromCol(sb, c + 1));
        }
      }
      break;
    }
  }
  if (!text.empty() && text[0] == '#') text.remove_prefix(1);
  if (dropAtBMark) text = dropAtB(text);
  subject = cut(trimSpacesView(text), kSubjectLength);
}

bool ozWinParent(std::string_view line, uint32_t& reference) {
  std::size_t p = line.substr(0, 40).find("Par:");
  if (p == std::string_view::npos) return false;
  std::string_view num = trimSpacesView(line.substr(p + 4, 8));
  reference = isNumber(num) ? static_cast<uint32_t>(numberValue(num)) : 0;
  return true;
}

std::string addressText(std::string_view line, bool dropAtBMark) {
  std::string_view t = trimRightSpacesView(fromCol(line, 5));
  if (dropAtBMark) t = dropAtB(t);
  if (t.size() >= 3 && t[t.size() - 3] == '(' && t[t.size() - 1] == ')') t = trimRightSpacesView(t.substr(0, t.size() - 3));
  return std::string(trimSpacesView(t));
}

// ---- headers ------------------------------------------------------------------

bool parseForumHeader(CaptureFormat f, std::span<const std::string> lines, std::string_view chosenForum,
                      ForumHeader& h) {
  h = ForumHeader{};
  if (f == CaptureFormat::NavCIS) return parseNavCISHeader(lines, chosenForum, h);
  return parseCaptureHeader(f, lines, chosenForum, h);
}

namespace {

bool parseCaptureHeader(CaptureFormat f, std::span<const std::string> lines, std::string_view chosenForum,
                        ForumHeader& h) {
  const bool atB = dropsTrailingAtB(f);
  std::string_view start = lineAt(lines, 0);
  std::size_t sectionStart = 0;
  h.number = startLineNumber(start, sectionStart);
  if (h.number == 0) return false;

  std::size_t open = std::string_view::npos;
  std::string lineForum = startLineForum(start, sectionStart, open);
  h.forum = forumFromStartLine(f) && !lineForum.empty() ? lineForum : std::string(chosenForum);

  std::string_view section = sectionStart < start.size() ? start.substr(sectionStart) : std::string_view();
  if (open != std::string_view::npos) section = section.substr(0, open - sectionStart);
  if (atB) section = dropAtB(section);
  parseSection(section, h.sectionNumber, h.sectionName);

  std::string_view sb = lineAt(lines, 2), fm = lineAt(lines, 3), to = lineAt(lines, 4);
  if (!startsWith(sb, "Sb:") || !startsWith(fm, "Fm:") || !startsWith(to, "To:")) return false;

  bool parentLine = f == CaptureFormat::OzWin2 && ozWinParent(lineAt(lines, 5), h.reference);
  if (parentLine) {
    std::string_view whole = trimSpacesView(fromCol(sb, 5));
    h.subject = cut(whole, kSubjectLength);
  } else {
    parseSubject(sb, h.number, atB, h.subject, h.reference);
  }

  h.date = text::captureDate(lineAt(lines, 1), f == CaptureFormat::Tapcis5);
  h.sender = FindCISAdress(1, addressText(fm, atB));
  h.recipient = FindCISAdress(1, addressText(to, atB));
  h.bodyOffset = 6;
  return true;
}

bool parseNavCISHeader(std::span<const std::string> lines, std::string_view chosenForum, ForumHeader& h) {
  std::string_view subj = lineAt(lines, 0);
  // Subject, with the replied-to number after "#" in column 11.
  std::size_t subjectCol = 11;
  std::string_view ref;
  if (col(subj, 11) == '#') {
    std::size_t c = 12;
    while (c < 12 + 7 && col(subj, c) >= '0' && col(subj, c) <= '9') ++c;
    ref = subj.substr(11, c - 12);
    subjectCol = c + 1;
    if (col(subj, subjectCol) == '#') ++subjectCol;
  }
  std::string_view rest = fromCol(subj, subjectCol);
  std::string_view subject = rest;
  if (rest.size() > 12) {
    std::size_t m = rest.find("Msg Number: ");
    if (m != std::string_view::npos) {
      subject = rest.substr(0, m >= 2 ? m - 2 : 0);
      std::string_view num = trimSpacesView(rest.substr(m + 12));
      if (isNumber(num)) {
        unsigned long v = numberValue(num);
        if (v > 0 && v < kMaxMessageNumber) h.number = static_cast<uint32_t>(v);
      }
    }
  }
  if (h.number == 0) return false;
  if (!ref.empty() && referenceOk(ref, h.number)) {
    h.reference = static_cast<uint32_t>(numberValue(ref));
  } else if (!ref.empty()) {
    // Not a plausible reply: the subject keeps the number it was led by.
    std::string_view whole = fromCol(subj, 11);
    std::size_t m = whole.find("Msg Number: ");
    subject = whole.substr(0, m != std::string_view::npos && m >= 2 ? m - 2 : whole.size());
    if (!subject.empty() && subject[0] == '#') subject.remove_prefix(1);
  }
  h.subject = cut(trimSpacesView(subject), kSubjectLength);

  h.sender = FindCISAdress(1, trimSpacesView(fromCol(lineAt(lines, 1), 11)));
  h.recipient = FindCISAdress(1, trimSpacesView(fromCol(lineAt(lines, 2), 11)));

  std::string_view forum = lineAt(lines, 3);
  if (!startsWith(forum, "  Forum: ")) return false;
  if (forum.size() >= 15) {
    std::size_t sec = forum.find("Sec: ", 9);
    std::size_t len = sec == std::string_view::npos ? forum.npos : (sec > 10 ? sec - 10 : 0);
    std::string name = withoutCisPrefix(forum.substr(10, len));
    if (!name.empty()) {
      h.forum = name;
      if (sec != std::string_view::npos) {
        std::string_view s = forum.substr(sec + 5);
        std::size_t dash = s.find('-');
        h.sectionNumber = static_cast<uint32_t>(numberValue(trimSpacesView(s.substr(0, dash))));
        h.sectionName = std::string(trimSpacesView(dash == std::string_view::npos ? std::string_view() : s.substr(dash + 1)));
      }
    }
  }
  if (h.forum.empty()) h.forum = std::string(chosenForum);

  h.date = text::dateDDMMMYY(text::upper1252(fromCol(lineAt(lines, 4), 11).substr(0, 9)));
  h.bodyOffset = 6;
  return true;
}

}  // namespace
}  // namespace qb::import::captures
