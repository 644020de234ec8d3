#pragma once
// The word tokeniser of the word index: which runs of characters of a
// message text are indexed words, and in which form.
//
// A rule set gives, per character code 0-255, whether the character may
// start a word, stand inside one, or end one, and whether it is junk. A
// character beyond code 255 is looked up by its Windows-1252 code when it
// has one (so "œ" and "€" follow the rows 156 and 128); any other is a
// letter unless it is punctuation or a space (general punctuation, CJK and
// full-width punctuation), and U+FFFD is junk.
//
// A word begins at a character that may start one and runs on while the
// characters may stand inside a word; it ends at its last character that
// may end one (the Inside test comes first, so a character that cannot
// stand inside a word cannot end one). A word with a junk character in it
// is dropped (binary garbage). Words are given in their indexed form
// (index/word_form.h), at most 40 bytes; longer runs (encoded data, long
// links) are not words.
//
// Never indexed, whatever the options: Internet header lines (a header
// block at the start of a text, and lines that begin with a well-known
// header field such as "Received:" or "Message-ID:"), numbers of more than
// seven digits, dates (12.05.2024, 2024-05-12, 5/12/24) and times (12:30,
// 12:30:45). With the number option off, numbers and words that start with
// a decimal digit, and hexadecimal numbers (only the digits 0-9 and A-F,
// with at least one decimal digit), are not indexed. With the footer option
// off, the footer of a forum or newsgroup message (from a "-- " signature
// line to the end) is not indexed.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace qb::index {

struct WordRules {
  std::array<uint8_t, 256> StartWordHash{};
  std::array<uint8_t, 256> InWordHash{};
  std::array<uint8_t, 256> EndWordHash{};
  std::array<uint8_t, 256> IsJunkHash{};

  // The rule set "Standard": letters (with the accented letters of
  // Windows-1252) and digits start, continue and end words; the period, the
  // apostrophes and the underscore may stand inside a word (WIN.INI, don't,
  // file_name) but neither start nor end one (".INI" gives INI, "Windows."
  // gives WINDOWS); control characters other than tab and line ends are
  // junk.
  static WordRules standard();
};

constexpr const char* kStandardRuleSet = "Standard";
constexpr std::size_t kMaxWordBytes = 40;

struct TokenOptions {
  bool numbers = true;  // index numbers and words that start with a digit
  bool footers = true;  // index the footers of forum and newsgroup messages
};

struct Token {
  std::string word;   // indexed form
  std::size_t begin;  // byte range in the text
  std::size_t end;
};

class Tokeniser {
 public:
  explicit Tokeniser(const WordRules& rules, TokenOptions options = {});

  // Calls `f` for each word of a UTF-8 message text, in text order.
  // `hasFooter`: the text is a forum or newsgroup message (footer option).
  void words(std::string_view text, bool hasFooter, const std::function<void(const Token&)>& f) const;
  // The words of a search string: no header or footer rules, but the same
  // word-breaking, number and length rules.
  void queryWords(std::string_view text, const std::function<void(const Token&)>& f) const;

  const WordRules& rules() const { return rules_; }
  const TokenOptions& options() const { return options_; }

 private:
  void scanLine(std::string_view text, std::size_t from, std::size_t to, const std::function<void(const Token&)>& f) const;
  WordRules rules_;
  TokenOptions options_;
};

// The row of the rule tables that a code point follows: its Windows-1252
// code when it has one, else the code point below 256, else -1 (a letter),
// -2 (punctuation or space) or -3 (junk).
int ruleRow(char32_t cp);

// Decodes one UTF-8 character at `at` (advancing it); an invalid byte gives
// U+FFFD and advances by one.
char32_t nextChar(std::string_view s, std::size_t& at);

// Is this line an Internet header line that is never indexed?
bool isKnownHeaderLine(std::string_view line);

}  // namespace qb::index
