// Plain browse logic: row colours, names, text pages, the thread tree's
// levels and order, and the stored browse context.

#include <gtest/gtest.h>

#include <set>

#include "archive/browse/browse_context.h"
#include "archive/browse/browse_rows.h"
#include "archive/browse/browse_text.h"
#include "archive/browse/browse_thread.h"
#include "text/datetime.h"
#include "support/temp_archive.h"

using qb::text::dayNumber;

using namespace qb::store;

TEST(RowColour, KeepShieldsFromDeleteAndDeleteOnMessageWins) {
  EXPECT_EQ(rowColour(0, 0, 0, 0), RowColour::None);
  EXPECT_EQ(rowColour(2, 1, 1, 1), RowColour::Delete);   // the message's delete wins
  EXPECT_EQ(rowColour(1, 2, 0, 0), RowColour::Keep);     // keep on the message shields
  EXPECT_EQ(rowColour(0, 2, 0, 0), RowColour::Delete);
  EXPECT_EQ(rowColour(0, 1, 2, 0), RowColour::Keep);     // thread keep shields from section delete
  EXPECT_EQ(rowColour(0, 0, 2, 0), RowColour::Delete);
  EXPECT_EQ(rowColour(0, 0, 1, 2), RowColour::Keep);     // section keep shields from database delete
  EXPECT_EQ(rowColour(0, 0, 0, 2), RowColour::Delete);
  EXPECT_EQ(rowColour(0, 0, 0, 1), RowColour::Keep);
}

TEST(BrowseName, NameFormats) {
  Person p;
  p.ADDRESS = "someone@example.org";
  EXPECT_EQ(browseName(p, 1), "<someone@example.org>");
  p.LASTNAME = "Smith";
  p.FIRSTNAME = "Jane";
  EXPECT_EQ(browseName(p, 1), "Smith,Jane");
  EXPECT_EQ(browseName(p, 2), "Smith,Jane <someone@example.org>");
  // a name of one part has no comma, whichever part holds it
  p.FIRSTNAME = "";
  p.LASTNAME = "All";
  EXPECT_EQ(browseName(p, 1), "All");
  p.LASTNAME = "Observatory News";
  EXPECT_EQ(browseName(p, 2), "Observatory News <someone@example.org>");
  p.LASTNAME = "";
  p.FIRSTNAME = "Jane";
  EXPECT_EQ(browseName(p, 1), "Jane");
}

namespace {
std::string textOf(std::size_t n, char fill = 'x') { return std::string(n, fill); }
}  // namespace

TEST(TextPages, UpTo24000IsOnePage) {
  auto pages = textPages(textOf(24000));
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(pages[0].size(), 24000u);
}

TEST(TextPages, BreakAtFirstBlankFrom23950) {
  std::string t = textOf(24001);
  t[23960 - 1] = ' ';  // position 23960
  t[23970 - 1] = ' ';
  auto pages = textPages(t);
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_EQ(pages[0], t.substr(0, 23959) + " ..........<MORE>>");
  EXPECT_EQ(pages[1], "<CONTINUED>> \r\n" + t.substr(23960));
}

TEST(TextPages, NoBlankInRangeLosesNoCharacter) {
  std::string t;
  for (std::size_t i = 0; i < 30000; ++i) t += static_cast<char>('a' + i % 26);
  auto pages = textPages(t);
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_EQ(pages[0], t.substr(0, 23980) + kMoreMark);
  EXPECT_EQ(pages[1], std::string(kContinuedMark) + t.substr(23980));
}

TEST(TextPages, ThreePagesAndCut) {
  std::string t = textOf(70000);
  t[23950 - 1] = ' ';
  t[47100 - 1] = ' ';
  std::string shown = composeShownText(t, nullptr);
  ASSERT_EQ(shown.size(), 64000u);
  auto pages = textPages(shown);
  ASSERT_EQ(pages.size(), 3u);
  EXPECT_EQ(pages[0].size(), 23949u + std::string(kMoreMark).size());
  EXPECT_EQ(pages[1], kContinuedMark + shown.substr(23950, 47099 - 23950) + kMoreMark);
  EXPECT_EQ(pages[2], kContinuedMark + shown.substr(47100));
}

TEST(TextPages, SubjectIsPutBeforeTheText) {
  std::string subject = "  Hello  ";
  EXPECT_EQ(composeShownText("  body\r\n", &subject), "Subject: Hello\r\n\r\nbody");
  EXPECT_EQ(composeShownText("", nullptr), "");
  EXPECT_EQ(textPages("").size(), 1u);
}

TEST(TextPages, ArchiveTextsOfEitherCharsetAreShownAsUtf8) {
  // An archive written before texts were stored as UTF-8: a Windows-1252
  // subject beside a UTF-8 body; each is turned into UTF-8 on its own.
  std::string subject = "Caf\xE9";
  EXPECT_EQ(composeShownText("Привет, Łódź", &subject), "Subject: Café\r\n\r\nПривет, Łódź");
  // A page break without a blank never splits a character.
  std::string t;
  while (t.size() < 30000) t += "Ł";
  auto pages = textPages(composeShownText(t, nullptr));
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_EQ(pages[0].size() % 2, std::string(kMoreMark).size() % 2);
  EXPECT_EQ(pages[1].substr(std::string(kContinuedMark).size(), 2), "Ł");
}

namespace {
ThreadNode node(uint32_t n, uint32_t ref, const std::string& name = "A B") {
  ThreadNode t;
  t.MSGNMBR = n;
  t.REPLYNMBR = ref == n ? 0 : ref;
  t.SENDERNAME = name;
  t.DATE = 70000;
  return t;
}
std::vector<std::pair<uint32_t, int>> shape(const std::vector<TreeLine>& lines) {
  std::vector<std::pair<uint32_t, int>> out;
  for (std::size_t i = 1; i < lines.size(); ++i) out.push_back({lines[i].MSGNMBR, lines[i].LEVEL});
  return out;
}
}  // namespace

TEST(ThreadTree, DepthFirstInAscendingNumberWhateverTheInputOrder) {
  std::vector<ThreadNode> nodes{node(40, 10), node(10, 0), node(30, 20), node(20, 10), node(50, 0)};
  auto lines = buildThreadTree(nodes, 1, 10);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0].MSGNMBR, 0u);  // the blank first line
  EXPECT_EQ(lines[0].DISPLAY, "");
  using V = std::vector<std::pair<uint32_t, int>>;
  EXPECT_EQ(shape(lines), (V{{10, 0}, {20, 1}, {30, 2}, {40, 1}, {50, 0}}));
  EXPECT_EQ(lines[1].ICON, 1);
  EXPECT_EQ(lines[2].ICON, 2);
}

TEST(ThreadTree, OrphansAndSelfReferencesAreRoots) {
  // 5 replies to a message that was never imported; 7 refers to itself.
  std::vector<ThreadNode> nodes{node(5, 3), node(6, 5), node(7, 7), node(8, 99)};
  auto lines = buildThreadTree(nodes, 1, 10);
  using V = std::vector<std::pair<uint32_t, int>>;
  EXPECT_EQ(shape(lines), (V{{5, 0}, {6, 1}, {7, 0}, {8, 0}}));
}

TEST(ThreadTree, ACycleEndsWithEveryMessageShownOnce) {
  // 2 -> 3 -> 4 -> 2 form a cycle; 5 replies to 4; 1 is a plain root.
  std::vector<ThreadNode> nodes{node(1, 0), node(2, 4), node(3, 2), node(4, 3), node(5, 4)};
  auto lines = buildThreadTree(nodes, 1, 10);
  auto s = shape(lines);
  ASSERT_EQ(s.size(), 5u);
  std::set<uint32_t> seen;
  for (auto& [n, l] : s) seen.insert(n);
  EXPECT_EQ(seen.size(), 5u);
  // The cycle's lowest number becomes a root with the rest below it.
  using V = std::vector<std::pair<uint32_t, int>>;
  EXPECT_EQ(s, (V{{1, 0}, {2, 0}, {3, 1}, {4, 2}, {5, 3}}));
}

TEST(ThreadTree, LabelForms) {
  ThreadNode n = node(123, 0, " Jane Smith ");
  n.DATE = dayNumber(1997, 3, 5);
  EXPECT_EQ(treeLabel(n, 1, 10), "Jane Smith");
  EXPECT_EQ(treeLabel(n, 2, 10), "Jane Smith 123");
  EXPECT_EQ(treeLabel(n, 3, 10), "Jane Smith 1997-03-05");
  EXPECT_EQ(treeLabel(n, 4, 6), "Jane Smith 123 05-03-1997");
  EXPECT_EQ(treeLabel(n, 5, 2), "Jane Smith 03-05-1997 123");
  EXPECT_EQ(treeLabel(n, 9, 2), "Jane Smith");
}

TEST(BrowseContext, StoredPerSessionAndZeroBeforeTheFirstStore) {
  qb::test::TempArchive a;
  BrowseContext c;
  c.XMSGID = 77;
  ASSERT_EQ(Context(a.session(), 3, c), 1);
  EXPECT_EQ(c.XMSGID, 0u);
  c.XMSGID = 88;
  c.SORTORDER = 2;
  Context(a.session(), 2, c);
  BrowseContext back;
  Context(a.session(), 3, back);
  EXPECT_EQ(back, c);
  qb::RecordingUI ui2;
  auto other = a.newSession(ui2);
  Context(*other, 3, back);
  EXPECT_EQ(back.XMSGID, 0u);  // another copy of the program has its own
  EXPECT_EQ(Context(a.session(), 5, back), 0);
}
