#pragma once
// The text box of a browse holds at most 24000 characters: a longer message
// text is shown in pages. A text of up to 24000 characters is one page; up
// to 48000 two; longer three (the text is cut at 64000 characters). The
// first break is the first blank at positions 23950 to 23980, the second the
// first blank at positions 47060 to 47100 (positions count from 1); the
// blank at a break is shown on neither page, and a range without a blank
// breaks after its last position so that no character is lost.

#include <string>
#include <vector>

namespace qb::store {

constexpr std::size_t kTextBoxSize = 24000;
constexpr std::size_t kMaxShownText = 64000;
extern const char* const kMoreMark;       // " ..........<MORE>>"
extern const char* const kContinuedMark;  // "<CONTINUED>> \r\n"

// The text to show, in UTF-8: "Subject: " + subject + "\r\n\r\n" + text
// when a subject is given, else the text; each part turned into UTF-8 on its
// own (Windows-1252 when it is not UTF-8), trimmed, and cut at 64000 bytes
// at a character boundary.
std::string composeShownText(const std::string& text, const std::string* subject);

// The pages of a shown text, with their marks.
std::vector<std::string> textPages(const std::string& text);

// Where each page's own text starts and ends in the whole text
// ([begin, end) offsets), for marking search hits.
struct PageSpan {
  std::size_t begin, end;
};
std::vector<PageSpan> pageSpans(const std::string& text);

}  // namespace qb::store
