// Topics and key words: codes, look-up, filing messages, deleting a code,
// applying key words to message texts.
#include <gtest/gtest.h>

#include "archive/file_table.h"
#include "index/topics.h"
#include "index_fixture.h"

using namespace qb;
using qb::test::IndexFixture;

namespace {
int linksOf(store::Session& s, uint32_t id) { return static_cast<int>(index::messagesOfCode(s, id).size()); }
store::Codes code(store::Session& s, uint8_t type, const std::string& name) {
  store::Codes c;
  EXPECT_TRUE(index::findCode(s, type, name, c)) << name;
  return c;
}
}  // namespace

TEST(Topics, AddRefusesADuplicateOfTheSameType) {
  IndexFixture f;
  uint32_t a = index::addCode(f.s(), index::TopicCode, "Security");
  EXPECT_NE(a, 0u);
  EXPECT_EQ(index::addCode(f.s(), index::TopicCode, "SECURITY"), 0u);
  EXPECT_FALSE(f.archive.ui.entries.empty());
  EXPECT_NE(f.archive.ui.entries.back().text.find("identical key"), std::string::npos);
  // The same text as a key word is another code.
  EXPECT_NE(index::addCode(f.s(), index::KeyWordCode, "Security"), 0u);
  EXPECT_EQ(index::listCodes(f.s(), index::TopicCode).size(), 1u);
}

TEST(Topics, LookUpByTheFirstCharacters) {
  IndexFixture f;
  index::addCode(f.s(), index::TopicCode, "Astronomy");
  index::addCode(f.s(), index::TopicCode, "Security");
  index::addCode(f.s(), index::TopicCode, "Travel");
  auto l = index::lookUpCode(f.s(), index::TopicCode, "sec");
  EXPECT_TRUE(l.found);
  EXPECT_TRUE(l.unique);
  EXPECT_EQ(l.code.INDEX.str(), "Security");
  index::addCode(f.s(), index::TopicCode, "Second hand");
  l = index::lookUpCode(f.s(), index::TopicCode, "sec");
  EXPECT_TRUE(l.found);
  EXPECT_FALSE(l.unique);  // the code list opens on the candidate
  // No match: the code before the position is the candidate.
  l = index::lookUpCode(f.s(), index::TopicCode, "Sx");
  EXPECT_TRUE(l.found);
  EXPECT_FALSE(l.unique);
  EXPECT_EQ(l.code.INDEX.str(), "Security");
}

TEST(Topics, ToggleAttachAndDelete) {
  IndexFixture f;
  auto ids = f.addMessages(4);
  uint32_t t = index::addCode(f.s(), index::TopicCode, "Optics");
  uint32_t other = index::addCode(f.s(), index::TopicCode, "Weather");
  EXPECT_TRUE(index::toggleTopic(f.s(), t, ids[0]));
  EXPECT_TRUE(index::toggleTopic(f.s(), t, ids[1]));
  EXPECT_EQ(code(f.s(), index::TopicCode, "Optics").COUNT, 2u);
  EXPECT_FALSE(index::toggleTopic(f.s(), t, ids[1]));
  EXPECT_EQ(code(f.s(), index::TopicCode, "Optics").COUNT, 1u);

  // Attaching twice from the export window gives one link; the count is
  // the count step's business.
  EXPECT_TRUE(index::attachCode(f.s(), t, ids[2]));
  EXPECT_TRUE(index::attachCode(f.s(), t, ids[2]));
  EXPECT_EQ(linksOf(f.s(), t), 2);
  EXPECT_EQ(code(f.s(), index::TopicCode, "Optics").COUNT, 1u);
  EXPECT_TRUE(index::recountCodes(f.s()));
  EXPECT_EQ(code(f.s(), index::TopicCode, "Optics").COUNT, 2u);
  auto states = index::topicsOf(f.s(), ids[2]);
  ASSERT_EQ(states.size(), 2u);
  EXPECT_TRUE(states[0].attached);
  EXPECT_FALSE(states[1].attached);

  index::attachCode(f.s(), other, ids[2]);
  EXPECT_TRUE(index::deleteCode(f.s(), index::TopicCode, t));
  EXPECT_EQ(linksOf(f.s(), t), 0);
  EXPECT_EQ(linksOf(f.s(), other), 1);
  store::Codes gone;
  EXPECT_FALSE(index::findCode(f.s(), index::TopicCode, "Optics", gone));
}

TEST(Keywords, ApplyHonoursCaseAndWholeWord) {
  IndexFixture f;
  f.addMessage(400001, "The WINDOWS machine", 70000);
  f.addMessage(400002, "windows are open", 70000);
  f.addMessage(400003, "a twin window", 70000);
  f.addMessage(400004, "Grüße aus Köln", 70000);
  uint32_t any = index::addCode(f.s(), index::KeyWordCode, "Window");
  uint32_t exact = index::addCode(f.s(), index::KeyWordCode, "WINDOWS", true, false);
  uint32_t word = index::addCode(f.s(), index::KeyWordCode, "twin", false, true);
  uint32_t part = index::addCode(f.s(), index::KeyWordCode, "win", false, true);
  uint32_t umlaut = index::addCode(f.s(), index::KeyWordCode, "GRÜSSE");
  index::KeywordRun run(f.s());
  ASSERT_TRUE(run.start());
  while (run.step()) {
  }
  EXPECT_FALSE(run.failed());
  auto sorted = [&](uint32_t id) {
    auto v = index::messagesOfCode(f.s(), id);
    std::sort(v.begin(), v.end());
    return v;
  };
  EXPECT_EQ(sorted(any), (std::vector<uint32_t>{400001, 400002, 400003}));
  EXPECT_EQ(sorted(exact), (std::vector<uint32_t>{400001}));
  EXPECT_EQ(sorted(word), (std::vector<uint32_t>{400003}));
  EXPECT_TRUE(sorted(part).empty());  // only inside longer words
  EXPECT_EQ(sorted(umlaut), (std::vector<uint32_t>{400004}));
  store::Codes c = code(f.s(), index::KeyWordCode, "Window");
  EXPECT_EQ(c.COUNT, 3u);
  EXPECT_GT(c.DATE, 0);
  EXPECT_GT(c.TIME, 0);
  // A second run adds nothing.
  index::KeywordRun again(f.s());
  ASSERT_TRUE(again.start());
  while (again.step()) {
  }
  EXPECT_EQ(again.linksAdded(), 0);
}
