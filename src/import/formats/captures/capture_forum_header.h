#pragma once
// The forum header of a capture message, read by line offset from its start
// line (offset 0):
//
//   0  "#: " message number, a blank, the section, optionally "(forum)"
//   1  date line
//   2  "Sb: " subject, optionally led by the replied-to message number
//   3  "Fm: " sender name and address
//   4  "To: " recipient name and address
//   5  separator line; in "OzWin II" the thread-link line holding "Par:"
//   6  message text onward
//
// and the block of the NavCIS Save format ("Subject:  ", "   From:  ",
// "     To:  ", "  Forum:  ", "   Date:  ", text from offset 6).

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "import/addresses.h"
#include "import/formats/captures/capture_format.h"

namespace qb::import::captures {

constexpr uint32_t kMaxMessageNumber = 9000000;  // message numbers lie below this
constexpr uint32_t kReferenceSpan = 30000;       // a reply lies at most this far above its parent
constexpr std::size_t kHeaderLines = 6;

struct ForumHeader {
  uint32_t number = 0;
  uint32_t reference = 0;  // 0: no reply
  std::string forum;       // the name the target database is found by
  uint32_t sectionNumber = 0;
  std::string sectionName;
  std::string subject;
  NameAddress sender, recipient;
  int32_t date = 0;
  std::size_t bodyOffset = 6;  // line offset of the message text
};

// Parses the forum header from the first six lines of a message block
// (missing lines empty). `chosenForum` is the forum name of the import, used
// by the formats whose files do not name their forum. False when the block
// is rejected (message number not numeric, 0 or 9000000 and more; "Sb:",
// "Fm:" or "To:" missing at its offset; NavCIS: no "Msg Number: " or no
// forum line).
bool parseForumHeader(CaptureFormat f, std::span<const std::string> lines, std::string_view chosenForum,
                      ForumHeader& h);

// ---- the pieces of the header, for the header parsers and tests ----

// The message number of a "#:" start line: columns 4-15 up to the first blank.
// `sectionStart` receives the 0-based position where the section text begins.
// 0 when the number is not numeric, 0, or 9000000 and more.
uint32_t startLineNumber(std::string_view line, std::size_t& sectionStart);

// The forum name in the last parentheses of a start line ("CIS:" removed);
// `open` receives the position of "(" (npos when there are none). Empty when
// there are no parentheses or they hold nothing.
std::string startLineForum(std::string_view line, std::size_t sectionStart, std::size_t& open);

// Splits a section text such as "S3/Utilities" (at most 30 characters taken;
// a leading one-letter mark "(X) " dropped) into number and name.
void parseSection(std::string_view text, uint32_t& number, std::string& name);

// A replied-to number is kept when it is numeric, not 0, and the message
// number lies between it and it plus 30000.
bool referenceOk(std::string_view reference, uint32_t number);

// The "Sb:" line: subject and replied-to number (0 when none or rejected).
void parseSubject(std::string_view sbLine, uint32_t number, bool dropAtBMark, std::string& subject,
                  uint32_t& reference);

// The "Par:" number of an "OzWin II" thread-link line; false when the line
// holds no "Par:" in its first 40 columns.
bool ozWinParent(std::string_view line, uint32_t& reference);

// The text of a "Fm:"/"To:" line from column 5, without a trailing "@b" (when
// asked) and without a trailing one-letter mark "(X)".
std::string addressText(std::string_view line, bool dropAtBMark);

}  // namespace qb::import::captures
