#include "index/index_settings.h"

#include <algorithm>

#include "archive/config.h"
#include "archive/word_files.h"

namespace qb::index {

using store::Err;

IndexOptions loadIndexOptions(store::Session& s) {
  IndexOptions o;
  store::Konfig(s, store::KonfigAction::LoadFurther);
  auto number = [&s](int code, int32_t def) {
    int32_t v = 0;
    return store::Konfig(s, store::KonfigAction::GetFurther, code, v) == 1 && v != 0 ? v : def;
  };
  o.tokens.numbers = number(store::SetIndexNumbers, 1) != 2;
  o.tokens.footers = number(store::SetIndexFooters, 1) != 2;
  o.autoStopWords = number(store::SetAutoStopWords, 1) != 2;
  o.searchPause = std::max<int32_t>(1000, number(store::SetSearchPause, 1000000));
  int32_t unused = 0;
  std::string name;
  if (store::Konfig(s, store::KonfigAction::GetFurther, store::SetWordRuleSet, unused, &name) == 1 && !name.empty()) o.ruleSet = name;
  return o;
}

bool saveIndexOptions(store::Session& s, const IndexOptions& o) {
  if (!store::Konfig(s, store::KonfigAction::LoadFurther)) return false;
  int32_t v = o.tokens.numbers ? 1 : 2;
  bool ok = store::Konfig(s, store::KonfigAction::SetFurther, store::SetIndexNumbers, v) == 1;
  v = o.tokens.footers ? 1 : 2;
  ok = ok && store::Konfig(s, store::KonfigAction::SetFurther, store::SetIndexFooters, v) == 1;
  v = o.autoStopWords ? 1 : 2;
  ok = ok && store::Konfig(s, store::KonfigAction::SetFurther, store::SetAutoStopWords, v) == 1;
  v = o.searchPause;
  ok = ok && store::Konfig(s, store::KonfigAction::SetFurther, store::SetSearchPause, v) == 1;
  std::string name = o.ruleSet;
  v = 0;
  ok = ok && store::Konfig(s, store::KonfigAction::SetFurther, store::SetWordRuleSet, v, &name) == 1;
  return ok && store::Konfig(s, store::KonfigAction::WriteFurther) == 1;
}

WordRules loadRuleSet(store::Session& s, const std::string& name) {
  if (store::openWordFile(s, 39) != Err::Ok) return WordRules::standard();
  auto& f = store::wordCharsFile(s);
  WordRules r;
  int rows = 0;
  f.clear();
  f.rec.SETNAME = name;
  f.rec.ID = 0;
  f.setAt(store::WordChars::BY_SETNAME);
  while (f.next() == Err::Ok && text::equalsNoCase(f.rec.SETNAME.str(), name)) {
    auto c = f.rec.ID;
    r.StartWordHash[c] = f.rec.STARTWORD ? 1 : 0;
    r.InWordHash[c] = f.rec.INWORD ? 1 : 0;
    r.EndWordHash[c] = f.rec.ENDWORD ? 1 : 0;
    ++rows;
  }
  if (rows == 0) {
    r = WordRules::standard();
    saveRuleSet(s, name, r);
    return r;
  }
  // Junk is not part of a stored set: control characters are junk.
  r.IsJunkHash = WordRules::standard().IsJunkHash;
  return r;
}

bool saveRuleSet(store::Session& s, const std::string& name, const WordRules& r) {
  if (store::openWordFile(s, 39) != Err::Ok) return false;
  auto& f = store::wordCharsFile(s);
  // One write for the 256 rows.
  f.stream();
  for (int c = 0; c < 256; ++c) {
    f.clear();
    f.rec.SETNAME = name;
    f.rec.ID = static_cast<uint8_t>(c);
    bool exists = f.get(store::WordChars::BY_SETNAME) == Err::Ok;
    f.rec.SETNAME = name;
    f.rec.ID = static_cast<uint8_t>(c);
    f.rec.STARTWORD = r.StartWordHash[static_cast<std::size_t>(c)];
    f.rec.INWORD = r.InWordHash[static_cast<std::size_t>(c)];
    f.rec.ENDWORD = r.EndWordHash[static_cast<std::size_t>(c)];
    if ((exists ? f.put() : f.add()) != Err::Ok) {
      f.flush();
      return false;
    }
  }
  return f.flush() == Err::Ok;
}

std::vector<std::string> ruleSetNames(store::Session& s) {
  std::vector<std::string> names;
  if (store::openWordFile(s, 39) != Err::Ok) return names;
  auto& f = store::wordCharsFile(s);
  f.set(store::WordChars::BY_SETNAME);
  while (f.next() == Err::Ok) {
    std::string n = f.rec.SETNAME.str();
    if (names.empty() || !text::equalsNoCase(names.back(), n)) names.push_back(n);
  }
  return names;
}

const std::vector<std::string>& initialStopWords() {
  static const std::vector<std::string> w = {
      "A",     "ABOUT", "AFTER", "ALL",   "ALSO",  "AM",    "AN",    "AND",   "ANY",   "ARE",   "AS",
      "AT",    "BE",    "BEEN",  "BUT",   "BY",    "CAN",   "COULD", "DID",   "DO",    "DOES",  "FOR",
      "FROM",  "HAD",   "HAS",   "HAVE",  "HE",    "HER",   "HIM",   "HIS",   "HOW",   "I",     "IF",
      "IN",    "INTO",  "IS",    "IT",    "ITS",   "ME",    "MY",    "NO",    "NOT",   "OF",    "ON",
      "OR",    "OUR",   "SHE",   "SO",    "SOME",  "THAN",  "THAT",  "THE",   "THEIR", "THEM",  "THEN",
      "THERE", "THESE", "THEY",  "THIS",  "TO",    "US",    "WAS",   "WE",    "WERE",  "WHAT",  "WHEN",
      "WHICH", "WHO",   "WILL",  "WITH",  "WOULD", "YOU",   "YOUR"};
  return w;
}

bool StopList::load(store::Session& s) {
  words_.clear();
  if (store::openWordFile(s, 30) != Err::Ok) return false;
  auto& f = store::stopWordFile(s);
  if (f.count() == 0) {
    f.stream();
    for (const std::string& w : initialStopWords()) {
      f.clear();
      f.rec.THEWORD = w;
      f.add();
    }
    f.flush();
  }
  f.set(store::StopWords::BY_THEWORD);
  while (f.next() == Err::Ok) words_.insert(f.rec.THEWORD.str());
  return true;
}

bool StopList::add(store::Session& s, const std::string& w) {
  if (store::openWordFile(s, 30) != Err::Ok) return false;
  auto& f = store::stopWordFile(s);
  f.clear();
  f.rec.THEWORD = w;
  Err r = f.add();
  if (r != Err::Ok && r != Err::DuplicateKey) return false;
  words_.insert(w);
  return true;
}

bool StopList::remove(store::Session& s, const std::string& w) {
  if (store::openWordFile(s, 30) != Err::Ok) return false;
  auto& f = store::stopWordFile(s);
  f.clear();
  f.rec.THEWORD = w;
  if (f.get(store::StopWords::BY_THEWORD) == Err::Ok && f.del() != Err::Ok) return false;
  words_.erase(w);
  return true;
}

}  // namespace qb::index
