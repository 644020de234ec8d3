#include "export/mailbox_toc.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <vector>

#include "text/datetime.h"
#include "text/strings.h"

namespace qb::exporting {

using text::startsWith;
using text::trim;
using text::upperAscii;

namespace {

const char* const kSeparator = "From ???@???";

void put16(std::string& b, std::size_t at, uint16_t v) {
  b[at] = static_cast<char>(v & 0xFF);
  b[at + 1] = static_cast<char>(v >> 8);
}
void put32(std::string& b, std::size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
void putText(std::string& b, std::size_t at, std::size_t width, const std::string& t, char pad) {
  for (std::size_t i = 0; i < width; ++i) b[at + i] = i < t.size() ? t[i] : pad;
}

int monthOf(const std::string& w) {
  static const char* const m[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN", "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
  const std::string u = upperAscii(w.substr(0, 3));
  for (int i = 0; i < 12; ++i)
    if (w.size() >= 3 && u == m[i]) return i + 1;
  return 0;
}

// "Name <address>" gives "Name".
std::string nameOnly(const std::string& s) {
  std::string t = trim(s);
  std::size_t lt = t.rfind('<');
  if (lt != std::string::npos && lt > 0 && t.back() == '>') {
    std::string n = trim(t.substr(0, lt));
    if (n.size() >= 2 && n.front() == '"' && n.back() == '"') n = n.substr(1, n.size() - 2);
    if (!n.empty()) return n;
  }
  return t;
}

}  // namespace

std::string tocPathOf(const std::string& mailboxPath) {
  if (mailboxPath.size() < 3 || upperAscii(mailboxPath.substr(mailboxPath.size() - 3)) != "MBX") return {};
  return mailboxPath.substr(0, mailboxPath.size() - 3) + "TOC";
}

int64_t tocSeconds(const std::string& dateText, int& day, int& month, int& year, int& hour, int& minute) {
  day = month = year = hour = minute = 0;
  std::istringstream words(dateText);
  std::string w;
  std::vector<std::string> all;
  while (words >> w) all.push_back(w);
  for (const auto& t : all) {
    std::string v = t;
    while (!v.empty() && (v.back() == ',' || v.back() == '.')) v.pop_back();
    if (v.empty()) continue;
    if (v.find(':') != std::string::npos) {
      int h = 0, m = 0;
      if (std::sscanf(v.c_str(), "%d:%d", &h, &m) == 2 && !hour && !minute) hour = h, minute = m;
    } else if (int mo = monthOf(v); mo && !month && !std::isdigit(static_cast<unsigned char>(v[0]))) {
      month = mo;
    } else if (std::isdigit(static_cast<unsigned char>(v[0]))) {
      int n = std::atoi(v.c_str());
      if (v.size() == 4 && !year) year = n;
      else if (v.size() <= 2 && !day) day = n;
    }
  }
  const int32_t dayNo = text::dayNumber(year, month, day);
  if (!dayNo) return -1;
  return static_cast<int64_t>(dayNo - text::kDay1970) * 86400 + hour * 3600 + minute * 60;
}

CreateTOC::CreateTOC(const std::string& mailboxPath, int boxKind, std::vector<uint64_t> starts, uint64_t appendedFrom)
    : mailbox_(mailboxPath), boxKind_(boxKind), starts_(std::move(starts)), appendedFrom_(appendedFrom) {}

bool CreateTOC::startsMessage(const std::string& line, uint64_t at) const {
  if (!startsWith(line, kSeparator)) return false;
  if (starts_.empty() || at < appendedFrom_) return true;
  return std::binary_search(starts_.begin(), starts_.end(), at);
}
CreateTOC::~CreateTOC() = default;

std::string CreateTOC::header() const {
  std::string h(kTocHeaderSize, '\0');
  putText(h, 0, 8, "0", '\0');  // STARTSEQ
  std::string name = std::filesystem::path(mailbox_).stem().string();
  putText(h, 8, 32, name.substr(0, 31), '\0');                    // BOXNAME
  put16(h, 40, static_cast<uint16_t>(boxKind_ == 2 ? 1 : 0));     // BOXTYPE: 0 in, 1 out
  put16(h, 42, 0);                                                // POS42
  put16(h, 44, 0);                                                // BOXCLASS
  putText(h, 46, 8, "", '\xFF');                                  // DEFPOS
  putText(h, 54, 16, "", '\xFF');                                 // DEFCOL
  put16(h, 70, 0);                                                // POS70
  put16(h, 72, static_cast<uint16_t>(count_ > 0xFFFF ? 0xFFFF : count_));   // MSGCOUNTER
  put16(h, 102, static_cast<uint16_t>(count_ > 0xFFFF ? 0xFFFF : count_));  // TOTMSG
  return h;
}

bool CreateTOC::start() {
  tocPath_ = tocPathOf(mailbox_);
  if (tocPath_.empty()) return false;
  std::error_code ec;
  size_ = std::filesystem::file_size(mailbox_, ec);
  in_.open(mailbox_, std::ios::binary);
  if (ec || !in_) {
    error_ = "The mailbox " + mailbox_ + " cannot be read.";
    return false;
  }
  std::filesystem::remove(tocPath_, ec);
  out_.open(tocPath_, std::ios::binary | std::ios::trunc);
  out_ << header();
  if (!out_) {
    error_ = "The table of contents " + tocPath_ + " cannot be written.";
    return false;
  }
  return true;
}

bool CreateTOC::readLine(std::string& line) {
  if (!std::getline(in_, line)) return false;
  offset_ += line.size() + (in_.eof() ? 0 : 1);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

bool CreateTOC::step() {
  if (done_ || !in_.is_open()) return false;
  // find the separator that starts the message
  std::string line;
  uint64_t start = 0;
  std::string fromLine;
  if (havePending_) {
    start = pendingOffset_;
    fromLine = pending_;
    havePending_ = false;
  } else {
    for (;;) {
      uint64_t at = offset_;
      if (!readLine(line)) {
        done_ = true;
        return false;
      }
      if (startsMessage(line, at)) {
        start = at;
        fromLine = line;
        break;
      }
    }
  }
  // the header lines up to the first empty line, then the body up to the
  // next separator
  std::string from, to, date, subject;
  bool inHeader = true;
  for (;;) {
    uint64_t at = offset_;
    if (!readLine(line)) break;
    if (startsMessage(line, at)) {
      havePending_ = true;
      pendingOffset_ = at;
      pending_ = line;
      break;
    }
    if (!inHeader) continue;
    if (line.empty()) {
      inHeader = false;
      continue;
    }
    if (startsWith(line, "     ")) continue;  // a continuation line
    const std::string u = upperAscii(line);
    auto value = [&](std::size_t n) { return trim(line.substr(n)); };
    if (startsWith(u, "FROM:") && from.empty()) from = value(5);
    else if (startsWith(u, "TO:") && to.empty()) to = value(3);
    else if (startsWith(u, "DATE:") && date.empty()) date = value(5);
    else if (startsWith(u, "SUBJECT:") && subject.empty()) subject = value(8);
  }
  const uint64_t end = havePending_ ? pendingOffset_ : offset_;
  if (date.empty()) date = fromLine.substr(std::strlen(kSeparator));
  int d, mo, y, h, mi;
  int64_t secs = tocSeconds(date, d, mo, y, h, mi);
  std::string dateText;
  if (secs >= 0) {
    char b[40];
    std::snprintf(b, sizeof b, "%02d:%02d %02d/%02d/%04d +0000", h, mi, mo, d, y);
    dateText = b;
  }
  std::string e(kTocEntrySize, '\0');
  put32(e, 0, static_cast<uint32_t>(start));
  put32(e, 4, static_cast<uint32_t>(end - start));
  put32(e, 8, secs >= 0 ? static_cast<uint32_t>(secs) : 0);
  put16(e, 12, static_cast<uint16_t>(boxKind_ == 2 ? 5 : 1));
  put16(e, 14, 0x8000);
  put16(e, 16, 3);  // normal priority
  putText(e, 18, 32, dateText, ' ');
  putText(e, 50, 64, nameOnly(boxKind_ == 2 ? to : from), ' ');
  putText(e, 114, 64, subject, ' ');
  putText(e, 178, 8, "", '\xFF');
  out_ << e;
  if (!out_) {
    error_ = "The table of contents " + tocPath_ + " cannot be written.";
    done_ = true;
    return false;
  }
  ++count_;
  return true;
}

bool CreateTOC::finish() {
  if (!out_.is_open()) return error_.empty();
  out_.seekp(0);
  out_ << header();
  out_.close();
  in_.close();
  if (!out_) {
    error_ = "The table of contents " + tocPath_ + " cannot be written.";
    return false;
  }
  return error_.empty();
}

}  // namespace qb::exporting
