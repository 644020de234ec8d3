// HTML and enriched text to plain text.
#include <gtest/gtest.h>

#include <string>

#include "text/enriched.h"
#include "text/html.h"

namespace qb::text {
namespace {

TEST(Html, BoldGivesBlanksAndBreakGivesLineEnd) {
  EXPECT_EQ(htmlToText("<html>a<b>b</b>c</html>"), "a b c");
  EXPECT_EQ(htmlToText("<html>x<br>y</html>"), "x\r\ny");
  EXPECT_EQ(htmlToText("<html>x<BR/>y</html>"), "x\r\ny");
  EXPECT_EQ(htmlToText("<html>x <br>y</html>"), "x\r\ny");  // the blank becomes the line end
  EXPECT_EQ(htmlToText("<html><i>it</i> and <u>under</u></html>"), "it and under ");
}

TEST(Html, TextBeforeTheFirstTagAndAfterTheEndIsDropped) {
  EXPECT_EQ(htmlToText("junk<p>text here"), "text here");
  EXPECT_EQ(htmlToText("no tags at all &amp;\r\n"), "no tags at all &amp;\r\n");
  EXPECT_EQ(htmlToText("<html>in</html>out<p>more"), "in");
  EXPECT_EQ(htmlToText("<html><head><title>Secret</title></head><body>Body</body></html>"), "Body");
}

TEST(Html, ParagraphsAreSeparatedByOneEmptyLine) {
  EXPECT_EQ(htmlToText("<p>First paragraph</p><p>Second one</p>"),
            "First paragraph\r\n\r\nSecond one\r\n\r\n");
  EXPECT_EQ(htmlToText("<p>one</p><p>two</p>"), "one\r\n\r\ntwo\r\n\r\n");
  EXPECT_EQ(htmlToText("<html>line<br><p>next"), "line\r\n\r\nnext");
  EXPECT_EQ(htmlToText("<html>word <p>next"), "word\r\n\r\nnext");
  EXPECT_EQ(htmlToText("<html>line<br> <p>x"), "line\r\n\r\nx");
  EXPECT_EQ(htmlToText("<pre>a\r\n </pre><p>b"), "a\r\n\r\nb");
  EXPECT_EQ(htmlToText("<p><p><p>x<p><p>"), "x\r\n\r\n");
  EXPECT_EQ(htmlToText("<h1>Title text</h1>Next"), "Title text\r\n\r\nNext");
  EXPECT_EQ(htmlToText("<div>line one</div><div>line two</div>"), "line one\r\nline two\r\n");
}

TEST(Html, TablesListsAndDefinitions) {
  EXPECT_EQ(htmlToText("<table><tr><td>cell one</td><td>cell two</td></tr></table>"),
            "cell one\r\n\r\ncell two\r\n\r\n");
  EXPECT_EQ(htmlToText("<ul><li>one item<li>two item</ul>"), "* one item\r\n\r\n* two item");
  EXPECT_EQ(htmlToText("<ol>\r\n<li> first\r\n</ol>"), "* first ");
  EXPECT_EQ(htmlToText("<html><li>not in a list"), "not in a list");
  EXPECT_EQ(htmlToText("<dl><dt>Term<dd>Meaning</dl>"), "Term\r\n   Meaning");
  EXPECT_EQ(htmlToText("<html><dt>Term<dd>Meaning"), "TermMeaning");
}

TEST(Html, BlanksAndLineEndsCollapseOutsidePre) {
  EXPECT_EQ(htmlToText("<p>a  b\r\n  c\td</p>"), "a b cd\r\n\r\n");
  EXPECT_EQ(htmlToText("<pre>a  b\r\n  c</pre>"), "a  b\r\n  c");
  EXPECT_EQ(htmlToText("<html>Hello <font color=red>world</font>"), "Hello world");
}

TEST(Html, LinkAddressFollowsAnchorText) {
  EXPECT_EQ(htmlToText("<html>See <a href=\"HTTP://Example.COM/x y\">the site</a> now</html>"),
            "See the site [http://example.com/xy] now");
  EXPECT_EQ(htmlToText("<html><a name=top>anchor</a> text"), "anchor text");
  EXPECT_EQ(htmlToText("<html><a href=\"x\">unclosed"), "unclosed [x] ");
}

TEST(Html, NamedEntities) {
  EXPECT_EQ(htmlToText("<p>caf&eacute; &Eacute;t&eacute; &amp; &lt;b&gt; &quot;q&QUOT;</p>"),
            "café Été & <b> \"q\"\r\n\r\n");
  EXPECT_EQ(htmlToText("<html>&AElig;&aelig;&szlig;&yuml;&Yuml;&THORN;&copy;&reg;&shy;&Ntilde;"
                       "&oslash;&ccedil;&Ouml;&iuml;&eth;&ETH;&Aring;&ocirc;&ugrave;"),
            "ÆæßÿŸÞ©®\u00ADÑøçÖïðÐÅôù");
  EXPECT_EQ(entityByte("EACUTE"), 0xC9);
  EXPECT_EQ(entityByte("ntilde"), 0xF1);
  EXPECT_EQ(entityByte("etilde"), -1);  // not a member of the family
  EXPECT_EQ(entityByte("oelig"), -1);
}

TEST(Html, NoBreakSpaceNumericAndUnknownEntities) {
  EXPECT_EQ(htmlToText("<html>&nbsp;x &nbsp y"), "\u00A0x \u00A0 y");
  // Any character a reference names; 128-159 are read as Windows-1252.
  EXPECT_EQ(htmlToText("<html>&#233;&#x41;&#8217;&#8364;&#9731;&#x1F600;&#150;&#xD800;"),
            "éA’€☃😀–&#xD800;");
  EXPECT_EQ(htmlToText("<html>&unknown; &foo &bogus;x &"), "&unknown; &foo &bogus;x &");
}

TEST(Html, EqualsSignsAreTextTabsAndOddTags) {
  // Quoted-printable is undone before the HTML is read: "=3D" here is text.
  EXPECT_EQ(htmlToText("<p>a=3Db =E9 =41</p>"), "a=3Db =E9 =41\r\n\r\n");
  EXPECT_EQ(htmlToText("<p>text<b"), "text ");
  EXPECT_EQ(htmlToText("<html><!-- note -->x<style>p {color: red}</style>y"), "xy");
  EXPECT_EQ(htmlToText("<html><script>var a = 1;</script>after"), "after");
  std::string longTag = "<p " + std::string(2000, 'x') + ">tail";
  std::string out = htmlToText(longTag);
  EXPECT_EQ(out.substr(out.size() - 5), ">tail");
}

TEST(Html, OutputIsCappedAtTheMemoSize) {
  std::string html = "<html>";
  for (int i = 0; i < 6000; ++i) html += "<a href=\"http://example.com/a/long/address\">x</a>";
  std::string out = htmlToText(html);
  ASSERT_EQ(out.size(), 64000u);
  EXPECT_EQ(out.substr(63998), "\r\n");
}

TEST(Enriched, CommandsRemovedParamDropped) {
  EXPECT_EQ(enrichedToText("<bold>Hi</bold> there"), "Hi there");
  EXPECT_EQ(enrichedToText("a <<b> c"), "a <b> c");
  EXPECT_EQ(enrichedToText("<color><param>red</param>Red text</color>"), "Red text");
  EXPECT_EQ(enrichedToText("<PARAM>hidden</Param>shown"), "shown");
  EXPECT_EQ(enrichedToText("a < b"), "a < b");
  EXPECT_EQ(enrichedToText(""), "");
}

}  // namespace
}  // namespace qb::text
