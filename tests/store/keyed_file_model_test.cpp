// Keyed record store against a model: random positioning, reading in both
// directions and writes through a second handle, compared step by step with
// the order the keys define (worked out here from the field values, not from
// the store's key encoding).

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <random>

#include "store_test_records.h"

using qb::text::upper1252;

using namespace qb::store;
using qb::store::test::Item;
using qb::store::test::TempDir;

namespace {

// One key component as the model compares it.
struct Comp {
  int64_t n = 0;
  std::string s;
  bool operator<(const Comp& o) const { return s != o.s ? s < o.s : n < o.n; }
  bool operator==(const Comp& o) const { return s == o.s && n == o.n; }
};
using KeyValue = std::vector<Comp>;

std::string upperPadded(const std::string& raw) { return upper1252(raw); }

KeyValue keyOf(const Item& r, int key) {
  switch (key) {
    case Item::IdKey: return {{-static_cast<int64_t>(r.ID), ""}};
    case Item::PairKey: return {{0, upperPadded(std::string(r.NAME.raw()))}, {-static_cast<int64_t>(r.DATE), ""}};
    case Item::DeltaKey: return {{r.DELTA, ""}};
    case Item::AliasKey: return {{0, upperPadded(std::string(r.ALIAS.raw()))}};
    default: return {};
  }
}

// -1, 0, 1 comparing the first `parts` components.
int comparePrefix(const KeyValue& a, const KeyValue& b, std::size_t parts) {
  for (std::size_t i = 0; i < parts && i < a.size() && i < b.size(); ++i) {
    if (a[i] < b[i]) return -1;
    if (b[i] < a[i]) return 1;
  }
  return 0;
}

struct Model {
  std::map<int64_t, Item> recs;  // by position
  int order = -1;
  // cursor bounds: next reads the first (key, pos) above lo (or at it when
  // loIncl); previous the last below hi. A partial value bound compares only
  // its parts.
  bool hasLo = false, hasHi = false, loIncl = false;
  KeyValue loK, hiK;
  int64_t loP = 0, hiP = 0;
  std::size_t parts = 0;  // 0: bounds are records (key and position)

  KeyValue k(const Item& r) const { return order < 0 ? KeyValue{} : keyOf(r, order); }
  bool afterLo(int64_t pos, const Item& r) const {
    if (!hasLo) return true;
    if (parts) return comparePrefix(k(r), loK, parts) >= 0;
    KeyValue kr = k(r);
    if (kr != loK) return loK < kr;
    return loIncl ? pos >= loP : pos > loP;
  }
  bool beforeHi(int64_t pos, const Item& r) const {
    if (!hasHi) return true;
    if (parts) return comparePrefix(k(r), hiK, parts) <= 0;
    KeyValue kr = k(r);
    if (kr != hiK) return kr < hiK;
    return pos < hiP;
  }
  bool less(const std::pair<int64_t, Item>& a, const std::pair<int64_t, Item>& b) const {
    KeyValue ka = k(a.second), kb = k(b.second);
    if (ka != kb) return ka < kb;
    return a.first < b.first;
  }
  std::optional<int64_t> step(int dir) {
    std::optional<std::pair<int64_t, Item>> best;
    for (auto& e : recs) {
      if (dir > 0 ? !afterLo(e.first, e.second) : !beforeHi(e.first, e.second)) continue;
      if (!best || (dir > 0 ? less(e, *best) : less(*best, e))) best = e;
    }
    if (!best) return std::nullopt;
    at(best->first);
    return best->first;
  }
  void at(int64_t pos) {
    hasLo = hasHi = true;
    loIncl = false;
    parts = 0;
    loK = hiK = k(recs.at(pos));
    loP = hiP = pos;
  }
  bool duplicates(const Item& r, int64_t except) const {
    for (auto& [p, o] : recs)
      if (p != except && (keyOf(o, Item::IdKey) == keyOf(r, Item::IdKey) ||
                          keyOf(o, Item::AliasKey) == keyOf(r, Item::AliasKey)))
        return true;
    return false;
  }
};

const char* kNames[] = {"smith", "SMITH", "Smith", "\xC9mile", "\xE9mile", "jones", "Zed", "zed ", "a", ""};

Item randomItem(std::mt19937& rng) {
  Item r;
  r.ID = 1 + rng() % 80;
  r.NAME = kNames[rng() % 10];
  r.DATE = static_cast<int32_t>(rng() % 5) - 2;
  r.DELTA = static_cast<int16_t>(static_cast<int>(rng() % 7) - 3);
  r.ALIAS = rng() % 4 ? "#" + std::to_string(r.ID) : std::string(kNames[rng() % 10]);
  return r;
}

}  // namespace

class StoreModel : public ::testing::TestWithParam<unsigned> {};

TEST_P(StoreModel, RandomReadsAndWritesFollowTheKeyOrder) {
  TempDir dir;
  std::string path = dir.file("IDX007.TPS");
  Table<Item> t, other;
  ASSERT_EQ(t.create(path), Err::Ok);
  ASSERT_EQ(t.open(path), Err::Ok);
  ASSERT_EQ(other.open(path), Err::Ok);
  t.setDurable(false);
  other.setDurable(false);
  Model m;
  std::mt19937 rng(GetParam());
  int reads = 0, writes = 0;

  auto addVia = [&](Table<Item>& h) {
    Item r = randomItem(rng);
    bool dup = m.duplicates(r, 0);
    h.clear();
    h.rec = r;
    Err e = h.add();
    ASSERT_EQ(e, dup ? Err::DuplicateKey : Err::Ok);
    if (e == Err::Ok) m.recs[h.position()] = r;
    ++writes;
  };
  for (int i = 0; i < 40; ++i) addVia(t);

  for (int step = 0; step < 4000; ++step) {
    int op = static_cast<int>(rng() % 100);
    if (op < 25) {
      // position the cursor
      int key = static_cast<int>(rng() % 5) - 1;
      int how = static_cast<int>(rng() % 3);
      m.order = key;
      if (how == 0 || (key < 0 && how == 1)) {
        ASSERT_EQ(t.set(key), Err::Ok);
        m.hasLo = m.hasHi = false;
        m.parts = 0;
      } else if (how == 1) {
        Item v = randomItem(rng);
        int parts = key == Item::PairKey ? 1 + static_cast<int>(rng() % 2) : 1;
        t.clear();
        t.rec = v;
        ASSERT_EQ(t.setAt(key, parts == 2 && rng() % 2 ? -1 : parts), Err::Ok);
        m.hasLo = m.hasHi = true;
        m.parts = static_cast<std::size_t>(parts);
        m.loK = m.hiK = keyOf(v, key);
      } else {
        if (m.recs.empty()) continue;
        auto it = std::next(m.recs.begin(), static_cast<long>(rng() % m.recs.size()));
        ASSERT_EQ(t.setAtPosition(key, it->first), Err::Ok);
        m.at(it->first);
        m.loIncl = true;
      }
    } else if (op < 75) {
      // read on, one way or the other
      int dir = rng() % 3 ? 1 : -1;
      std::optional<int64_t> want = m.step(dir);
      Err e = dir > 0 ? t.next() : t.previous();
      ++reads;
      if (!want) {
        ASSERT_EQ(e, Err::EndOfFile) << "step " << step;
      } else {
        ASSERT_EQ(e, Err::Ok) << "step " << step;
        ASSERT_EQ(t.position(), *want) << "step " << step << " order " << m.order;
        ASSERT_EQ(t.rec.ID, m.recs.at(*want).ID);
      }
    } else if (op < 85) {
      addVia(rng() % 2 ? t : other);
    } else if (!m.recs.empty()) {
      // change or delete a record through the other handle
      auto it = std::next(m.recs.begin(), static_cast<long>(rng() % m.recs.size()));
      ASSERT_EQ(other.getPosition(it->first), Err::Ok);
      if (op < 93) {
        Item r = randomItem(rng);
        bool dup = m.duplicates(r, it->first);
        other.rec = r;
        ASSERT_EQ(other.put(), dup ? Err::DuplicateKey : Err::Ok);
        if (!dup) it->second = r;
      } else {
        ASSERT_EQ(other.del(), Err::Ok);
        m.recs.erase(it);
      }
      ++writes;
    }
  }
  EXPECT_EQ(t.count(), static_cast<int64_t>(m.recs.size()));
  EXPECT_GT(reads, 1000);
  EXPECT_GT(writes, 500);
}

INSTANTIATE_TEST_SUITE_P(Seeds, StoreModel, ::testing::Values(20240601u, 7u, 99u));
