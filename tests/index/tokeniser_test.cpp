// The word tokeniser: word-breaking rules, options, what is never indexed,
// and the indexed form of words beyond ASCII.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "index/tokeniser.h"
#include "index/word_form.h"

using namespace qb::index;

namespace {

std::vector<std::string> wordsOf(const std::string& text, const WordRules& r = WordRules::standard(),
                                 TokenOptions o = {}, bool footer = false) {
  std::vector<std::string> out;
  Tokeniser(r, o).words(text, footer, [&out](const Token& t) { out.push_back(t.word); });
  return out;
}

using W = std::vector<std::string>;

WordRules periodRules(bool start, bool inside, bool end) {
  WordRules r = WordRules::standard();
  r.StartWordHash['.'] = start;
  r.InWordHash['.'] = inside;
  r.EndWordHash['.'] = end;
  return r;
}

}  // namespace

TEST(Tokeniser, PeriodRules) {
  const WordRules yes = periodRules(true, true, true), no = periodRules(false, false, false);
  EXPECT_EQ(wordsOf("see .INI files", yes), (W{"SEE", ".INI", "FILES"}));
  EXPECT_EQ(wordsOf("see .INI files", no), (W{"SEE", "INI", "FILES"}));
  EXPECT_EQ(wordsOf("WIN.INI", yes), (W{"WIN.INI"}));
  EXPECT_EQ(wordsOf("WIN.INI", no), (W{"WIN", "INI"}));
  EXPECT_EQ(wordsOf("I like Windows.", yes), (W{"I", "LIKE", "WINDOWS."}));
  EXPECT_EQ(wordsOf("I like Windows.", no), (W{"I", "LIKE", "WINDOWS"}));
}

TEST(Tokeniser, InsideIsTestedBeforeEnd) {
  // A period that may end a word but not stand inside one ends nothing.
  EXPECT_EQ(wordsOf("Windows. WIN.INI", periodRules(false, false, true)), (W{"WINDOWS", "WIN", "INI"}));
}

TEST(Tokeniser, StandardSet) {
  EXPECT_EQ(wordsOf("Edit WIN.INI, then restart Windows."), (W{"EDIT", "WIN.INI", "THEN", "RESTART", "WINDOWS"}));
  EXPECT_EQ(wordsOf("the .INI file"), (W{"THE", "INI", "FILE"}));
  EXPECT_EQ(wordsOf("don't e-mail me"), (W{"DON'T", "E", "MAIL", "ME"}));
  EXPECT_EQ(wordsOf("'quoted'"), (W{"QUOTED"}));
}

TEST(Tokeniser, NumbersOption) {
  TokenOptions off;
  off.numbers = false;
  EXPECT_EQ(wordsOf("Win95 has 3 modes 2nd 0x1F DEADBEEF 1A2B cafe"),
            (W{"WIN95", "HAS", "3", "MODES", "2ND", "0X1F", "DEADBEEF", "1A2B", "CAFE"}));
  EXPECT_EQ(wordsOf("Win95 has 3 modes 2nd 0x1F DEADBEEF 1A2B cafe FF00", WordRules::standard(), off),
            (W{"WIN95", "HAS", "MODES", "DEADBEEF", "CAFE"}));
}

TEST(Tokeniser, LongNumbersDatesAndTimesAreNeverIndexed) {
  EXPECT_EQ(wordsOf("call 12345678 or 1234567"), (W{"CALL", "OR", "1234567"}));
  EXPECT_EQ(wordsOf("on 12.05.2024 at 12:30 or 09:15:42, 2024-05-12, 5/12/24 ok"),
            (W{"ON", "AT", "OR", "OK"}));
  EXPECT_EQ(wordsOf("version 3.1 and 12:3"), (W{"VERSION", "3.1", "AND", "12", "3"}));
}

TEST(Tokeniser, InternetHeadersAreNeverIndexed) {
  std::string mail =
      "Received: from mx.example.com\r\n\tby relay\r\nMessage-ID: <abc@example.com>\r\nSubject: Lunch\r\n"
      "\r\nHello Anna\r\nX-Mailer: Gadget\r\nReferences: <x@y>\r\n  <z@w>\r\nbye now\r\n";
  EXPECT_EQ(wordsOf(mail), (W{"HELLO", "ANNA", "BYE", "NOW"}));
  // A text that merely begins with "Note: ..." is no header.
  EXPECT_EQ(wordsOf("Note: the cat\r\nsat"), (W{"NOTE", "THE", "CAT", "SAT"}));
}

TEST(Tokeniser, FootersOption) {
  std::string msg = "Nice shot\r\n-- \r\nTom Tagline\r\n";
  TokenOptions off;
  off.footers = false;
  EXPECT_EQ(wordsOf(msg), (W{"NICE", "SHOT", "TOM", "TAGLINE"}));
  EXPECT_EQ(wordsOf(msg, WordRules::standard(), off, true), (W{"NICE", "SHOT"}));
  // Mail has no footer rule.
  EXPECT_EQ(wordsOf(msg, WordRules::standard(), off, false), (W{"NICE", "SHOT", "TOM", "TAGLINE"}));
}

TEST(Tokeniser, JunkAndOverlongWordsAreDropped) {
  EXPECT_EQ(wordsOf(std::string("good ba\x01d word")), (W{"GOOD", "WORD"}));
  EXPECT_EQ(wordsOf("x " + std::string(41, 'a') + " y " + std::string(40, 'b')), (W{"X", "Y", std::string(40, 'B')}));
}

TEST(Tokeniser, ByteRangesPointIntoTheText) {
  std::string t = "Grüße, Welt";
  std::vector<Token> toks;
  Tokeniser(WordRules::standard()).words(t, false, [&toks](const Token& k) { toks.push_back(k); });
  ASSERT_EQ(toks.size(), 2u);
  EXPECT_EQ(t.substr(toks[0].begin, toks[0].end - toks[0].begin), "Grüße");
  EXPECT_EQ(t.substr(toks[1].begin, toks[1].end - toks[1].begin), "Welt");
}

TEST(WordForm, CaseFoldingBeyondAscii) {
  EXPECT_EQ(indexForm("Grüße"), "GRÜSSE");
  EXPECT_EQ(indexForm("GRÜSSE"), "GRÜSSE");
  EXPECT_EQ(indexForm("grüsse"), "GRÜSSE");
  EXPECT_EQ(indexForm("Straße"), indexForm("STRASSE"));
  EXPECT_EQ(indexForm("λόγος"), indexForm("ΛΌΓΟΣ"));  // final sigma
  EXPECT_EQ(indexForm("λόγος"), "ΛΌΓΟΣ");
  EXPECT_EQ(indexForm("ﬁle"), "FILE");
  EXPECT_EQ(indexForm("Gru\u0308sse"), indexForm("Grüße"));  // decomposed accent
  EXPECT_NE(indexForm("Müller"), indexForm("Muller"));  // accents are kept
  EXPECT_EQ(wordsOf("Ærø Œuvre naïve"), (W{"ÆRØ", "ŒUVRE", "NAÏVE"}));
  EXPECT_EQ(wordsOf("日本語 Текст«цитата»"), (W{"日本語", "ТЕКСТ", "ЦИТАТА"}));
}

TEST(Tokeniser, DamagedUtf8DoesNotBreakTheScan) {
  std::string t = "ok \xC3 fine \xE2\x82 end \xF0";
  EXPECT_EQ(wordsOf(t), (W{"OK", "FINE", "END"}));
  for (int i = 0; i < 256; ++i) wordsOf(std::string(1, static_cast<char>(i)) + "ab" + std::string(1, static_cast<char>(255 - i)));
}
