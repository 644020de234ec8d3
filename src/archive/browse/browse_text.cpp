#include "archive/browse/browse_text.h"
#include "text/strings.h"

#include "text/unicode.h"

namespace qb::store {

const char* const kMoreMark = " ..........<MORE>>";
const char* const kContinuedMark = "<CONTINUED>> \r\n";

namespace {

// A break in the 1-based range [from, to]: the 0-based index of the first
// blank there (the blank is dropped), or the index after `to` with nothing
// dropped.
struct Break {
  std::size_t end;   // the page ends before this index
  std::size_t next;  // the next page starts here
};
Break findBreak(const std::string& t, std::size_t from, std::size_t to) {
  for (std::size_t i = from - 1; i < to && i < t.size(); ++i)
    if (t[i] == ' ') return {i, i + 1};
  // No blank: the break falls after `to`, or before a character that
  // would be split there.
  std::size_t at = text::utf8Prefix(t, to);
  return {at, at};
}

}  // namespace

std::string composeShownText(const std::string& text, const std::string* subject) {
  // Subject and text are turned into UTF-8 each on its own: an archive
  // written before texts were stored as UTF-8 may hold a Windows-1252
  // subject beside a UTF-8 text.
  const std::string body = text::archiveUtf8(text::trim(text));
  std::string out = subject ? "Subject: " + text::archiveUtf8(text::trim(*subject)) + "\r\n\r\n" + body : body;
  if (out.size() > kMaxShownText) out.resize(text::utf8Prefix(out, kMaxShownText));
  return out;
}

std::vector<PageSpan> pageSpans(const std::string& t) {
  if (t.size() <= kTextBoxSize) return {{0, t.size()}};
  Break b1 = findBreak(t, 23950, 23980);
  if (t.size() <= 2 * kTextBoxSize) return {{0, b1.end}, {b1.next, t.size()}};
  Break b2 = findBreak(t, 47060, 47100);
  return {{0, b1.end}, {b1.next, b2.end}, {b2.next, t.size()}};
}

std::vector<std::string> textPages(const std::string& t) {
  auto spans = pageSpans(t);
  std::vector<std::string> pages;
  for (std::size_t i = 0; i < spans.size(); ++i) {
    std::string p;
    if (i > 0) p = kContinuedMark;
    p += t.substr(spans[i].begin, spans[i].end - spans[i].begin);
    if (i + 1 < spans.size()) p += kMoreMark;
    pages.push_back(std::move(p));
  }
  return pages;
}

}  // namespace qb::store
