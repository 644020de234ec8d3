// Charset conversion, case folding and cutting at character boundaries.
#include <gtest/gtest.h>

#include "text/unicode.h"

namespace qb::text {
namespace {

TEST(ToUtf8, DeclaredCharsetsBecomeUtf8) {
  EXPECT_EQ(toUtf8("\xA3\xF3\xB6\xBC", "ISO-8859-2"), "Łóśź");
  EXPECT_EQ(toUtf8("\xF0\xD2\xC9\xD7\xC5\xD4", "koi8-r"), "Привет");
  EXPECT_EQ(toUtf8("\xCF\xF0\xE8\xE2\xE5\xF2", "windows-1251"), "Привет");
  EXPECT_EQ(toUtf8("\xE1\xE2\xE3", "iso-8859-7"), "αβγ");
  EXPECT_EQ(toUtf8("\x8A\x8E", "macintosh"), "äé");
  EXPECT_EQ(toUtf8("\x82\xA0", "Shift_JIS"), "あ");
  EXPECT_EQ(toUtf8("\x94\x81", "cp850"), "öü");
  // Names are read without regard to case, quotes and blanks.
  EXPECT_EQ(toUtf8("\xA3", " \"Iso-8859-2\" "), "Ł");
}

TEST(ToUtf8, AsciiAndLatin1LabelsAreReadAsWindows1252) {
  EXPECT_EQ(toUtf8("caf\xE9", "iso-8859-1"), "café");
  EXPECT_EQ(toUtf8("\x93quoted\x94 \x80", "ISO-8859-1"), "“quoted” €");
  EXPECT_EQ(toUtf8("na\xEFve", "us-ascii"), "naïve");
  EXPECT_EQ(toUtf8("plain", "utf-8"), "plain");
}

TEST(ToUtf8, MislabelledUtf8KeepsItsValidSequences) {
  EXPECT_EQ(toUtf8("Łódź", "utf-8"), "Łódź");
  EXPECT_EQ(toUtf8("Łódź caf\xE9", "UTF-8"), "Łódź café");
  EXPECT_EQ(toUtf8("\xC3", "utf-8"), "Ã");  // a cut-off sequence
}

TEST(ToUtf8, UnknownOrMissingCharsetFallsBackToTheUnlabelledRule) {
  EXPECT_EQ(toUtf8("caf\xE9", "x-no-such-charset"), "café");
  EXPECT_EQ(toUtf8("caf\xE9", ""), "café");
  EXPECT_EQ(toUtf8("Łódź", "x-unknown"), "Łódź");
  EXPECT_TRUE(isUtf8(toUtf8("\x81\x8D\x8F\x90\x9D", "")));
}

TEST(FromUnlabelled, DetectsCyrillicTextOfSomeLength) {
  // KOI8-R Russian text without any label.
  const std::string koi8 =
      "\xFC\xD4\xCF \xD0\xD2\xCF\xD7\xC5\xD2\xCB\xC1 \xD4\xC5\xCB\xD3\xD4\xC1 \xCE\xC1 \xD2\xD5\xD3\xD3\xCB\xCF\xCD "
      "\xD1\xDA\xD9\xCB\xC5, \xCB\xCF\xD4\xCF\xD2\xD9\xCA \xD0\xD2\xC9\xDB\xC5\xCC \xC9\xDA \xD3\xC5\xD4\xC9.";
  EXPECT_EQ(fromUnlabelled(koi8), "Это проверка текста на русском языке, который пришел из сети.");
  // A few accented letters of a Western text stay Windows-1252.
  EXPECT_EQ(fromUnlabelled("Gr\xFC\xDF" "e aus K\xF6ln"), "Grüße aus Köln");
}

TEST(ToUtf8, ResultIsAlwaysValidUtf8) {
  std::string all;
  for (int c = 0; c < 256; ++c) all.push_back(static_cast<char>(c));
  for (const char* cs : {"", "utf-8", "iso-8859-1", "iso-8859-2", "koi8-r", "shift_jis", "big5", "utf-16", "bogus"})
    EXPECT_TRUE(isUtf8(toUtf8(all, cs))) << cs;
}

TEST(IsUtf8, RejectsMalformedSequences) {
  EXPECT_TRUE(isUtf8("plain"));
  EXPECT_TRUE(isUtf8("Øyvind 日本 😀"));
  EXPECT_FALSE(isUtf8("\xC0\xAF"));          // overlong
  EXPECT_FALSE(isUtf8("\xED\xA0\x80"));      // surrogate
  EXPECT_FALSE(isUtf8("\xF4\x90\x80\x80"));  // past U+10FFFF
  EXPECT_FALSE(isUtf8("ab\xE2\x82"));        // cut off
  EXPECT_FALSE(isUtf8("caf\xE9"));
}

TEST(FoldCase, FoldsAllOfUnicode) {
  EXPECT_EQ(foldCase("ŁÓDŹ"), foldCase("łódź"));
  EXPECT_EQ(foldCase("ØYVIND"), "øyvind");
  EXPECT_EQ(foldCase("Straße"), foldCase("STRASSE"));
  EXPECT_EQ(foldCase("ΣΊΣΥΦΟΣ"), foldCase("σίσυφος"));
  EXPECT_EQ(foldCase("ПРИВЕТ"), "привет");
  EXPECT_EQ(foldCase("Hello World"), "hello world");
  // Composed and decomposed accents fold alike.
  EXPECT_EQ(foldCase("E\xCC\x81"), foldCase("é"));
}

TEST(FoldCase, TextThatIsNotUtf8IsReadAsWindows1252) {
  EXPECT_EQ(foldCase("K\xD6LN"), "köln");
  EXPECT_EQ(foldCase("\x8A\x8C"), foldCase("šœ"));
  EXPECT_TRUE(isUtf8(foldCase("\xFF\xFE\x81")));
}

TEST(CutUtf8, NeverSplitsACharacter) {
  const std::string s = "aŁb日c😀";  // 1 + 2 + 1 + 3 + 1 + 4 bytes
  EXPECT_EQ(cutUtf8(s, 2), "a");
  EXPECT_EQ(cutUtf8(s, 3), "aŁ");
  EXPECT_EQ(cutUtf8(s, 5), "aŁb");
  EXPECT_EQ(cutUtf8(s, 6), "aŁb");
  EXPECT_EQ(cutUtf8(s, 7), "aŁb日");
  EXPECT_EQ(cutUtf8(s, 11), "aŁb日c");
  EXPECT_EQ(cutUtf8(s, 12), s);
  EXPECT_EQ(cutUtf8(s, 100), s);
  EXPECT_EQ(cutUtf8(s, 0), "");
  for (std::size_t n = 0; n <= s.size(); ++n) EXPECT_TRUE(isUtf8(cutUtf8(s, n))) << n;
}

TEST(CutUtf8, Windows1252BytesAreCutWhereAsked) {
  EXPECT_EQ(cutUtf8("a\xA9\xA9\xA9", 2), "a\xA9");
  EXPECT_EQ(cutUtf8("caf\xE9s", 4), "caf\xE9");
}

TEST(CutAtWord, NamesEndAtAWordWhenTheyMustBeCut) {
  EXPECT_EQ(cutAtWord("Johann Sebastian Bach", 18), "Johann Sebastian");
  EXPECT_EQ(cutAtWord("Johann Sebastian Bach", 100), "Johann Sebastian Bach");
  EXPECT_EQ(cutAtWord("Johann Sebastian Bach", 17), "Johann Sebastian");
  // One long word is cut at a character boundary.
  EXPECT_EQ(cutAtWord("Łłłłł", 5), "Łł");
  // A blank too far back is not used.
  EXPECT_EQ(cutAtWord("A Bbbbbbbbbbbbb", 10), "A Bbbbbbbb");
}

}  // namespace
}  // namespace qb::text
