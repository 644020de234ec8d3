#include "archive/browse/browse_thread.h"

#include <algorithm>
#include <map>

#include "archive/browse/browse_rows.h"
#include "archive/config.h"
#include "text/unicode.h"
#include "text/strings.h"


namespace qb::store {

void placeThreadNodes(std::vector<ThreadNode>& nodes) {
  std::sort(nodes.begin(), nodes.end(), [](auto& a, auto& b) { return a.MSGNMBR < b.MSGNMBR; });
  std::map<uint32_t, std::size_t> byNumber;  // the level list: message number -> node
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    nodes[i].LEVEL = 0;
    nodes[i].REPLIES = 0;
    byNumber[nodes[i].MSGNMBR] = i;
  }
  bool placedAny = true;
  while (placedAny) {
    placedAny = false;
    bool unplaced = false;
    for (auto& n : nodes) {
      if (n.LEVEL) continue;
      auto parent = n.REPLYNMBR ? byNumber.find(n.REPLYNMBR) : byNumber.end();
      if (parent == byNumber.end()) {
        n.LEVEL = 1;
      } else if (nodes[parent->second].LEVEL == 0) {
        unplaced = true;
        continue;
      } else {
        n.LEVEL = nodes[parent->second].LEVEL + 1;
        nodes[parent->second].REPLIES = 1;
      }
      placedAny = true;
    }
    // A cycle: nothing could be placed although nodes are left. The first
    // of them becomes a root; its replies follow in the next pass.
    if (!placedAny && unplaced) {
      for (auto& n : nodes)
        if (!n.LEVEL) {
          n.LEVEL = 1;
          break;
        }
      placedAny = true;
    }
  }
}

std::string treeLabel(const ThreadNode& n, int labelForm, int datePicture) {
  std::string name = text::trim(n.SENDERNAME, " ");
  std::string m = std::to_string(n.MSGNMBR);
  std::string d = formatDateAs(datePicture, n.DATE);
  switch (labelForm) {
    case 2: return name + " " + m;
    case 3: return name + " " + d;
    case 4: return name + " " + m + " " + d;
    case 5: return name + " " + d + " " + m;
    default: return name;
  }
}

std::vector<TreeLine> buildThreadTree(std::vector<ThreadNode>& nodes, int labelForm, int datePicture) {
  placeThreadNodes(nodes);
  std::vector<TreeLine> lines{TreeLine{}};
  std::vector<std::size_t> stack;
  for (auto& n : nodes) n.LOADED = false;
  auto firstUnloaded = [&](auto pred) -> std::size_t {
    for (std::size_t i = 0; i < nodes.size(); ++i)
      if (!nodes[i].LOADED && pred(nodes[i])) return i;
    return nodes.size();
  };
  for (;;) {
    if (stack.empty()) {
      std::size_t root = firstUnloaded([](const ThreadNode& n) { return n.LEVEL == 1; });
      if (root == nodes.size()) break;
      stack.push_back(root);
    }
    ThreadNode& n = nodes[stack.back()];
    if (!n.LOADED) {
      TreeLine l;
      l.DISPLAY = treeLabel(n, labelForm, datePicture);
      l.LEVEL = n.LEVEL - 1;
      l.ICON = l.LEVEL == 0 ? 1 : 2;
      l.MSGNMBR = n.MSGNMBR;
      n.LOADED = true;
      n.RECORDNR = static_cast<int>(lines.size());
      lines.push_back(std::move(l));
    }
    std::size_t child = nodes.size();
    if (n.REPLIES) {
      uint32_t me = n.MSGNMBR;
      child = firstUnloaded([me](const ThreadNode& c) { return c.REPLYNMBR == me && c.LEVEL > 1; });
    }
    if (child != nodes.size())
      stack.push_back(child);
    else
      stack.pop_back();
  }
  return lines;
}

std::vector<ThreadNode> readThreadNodes(Session& s, const std::string& alpha, uint32_t threadNumber) {
  std::vector<ThreadNode> nodes;
  auto& f = s.MsgNmbr();
  f.clear();
  f.rec.THREADALPHA = alpha;
  f.rec.THREADNUMBER = threadNumber;
  if (f.setAt(MsgNmbr::Threadkey, 2) != Err::Ok) return nodes;
  const FixedString<10> wantAlpha(alpha);
  while (f.next() == Err::Ok) {
    const MsgNmbr m = f.rec;
    if (text::foldCase(m.THREADALPHA.str()) != text::foldCase(wantAlpha.str()) || m.THREADNUMBER != threadNumber) break;
    ThreadNode n;
    n.MSGNMBR = m.MSGNUMBER;
    n.REPLYNMBR = m.REFNUMBER == m.MSGNUMBER ? 0 : m.REFNUMBER;
    n.DATE = m.DATE;
    if (lookUpPerson(s, m.FROMID)) {
      const auto& p = s.Person().rec;
      n.SENDERNAME = p.FIRSTNAME.str() + " " + p.LASTNAME.str();
      n.SENDERNAME.resize(text::utf8Prefix(n.SENDERNAME, 35));
    }
    nodes.push_back(std::move(n));
  }
  return nodes;
}

uint32_t threadOfMessage(Session& s, uint32_t msgNumber) {
  if (!msgNumber) return 0;
  auto& m = s.MsgNmbr();
  m.clear();
  m.rec.MSGNUMBER = msgNumber;
  return m.get(MsgNmbr::IdKey) == Err::Ok ? m.rec.THREADNUMBER : 0;
}

std::vector<TreeLine> threadTreeLines(Session& s, uint32_t threadNumber, int labelForm, int datePicture) {
  if (!threadNumber) return {};
  const std::string alpha = lookUpThread(s, threadNumber) ? std::string(s.Threads().rec.ALPHA.raw()) : std::string();
  auto nodes = readThreadNodes(s, alpha, threadNumber);
  return buildThreadTree(nodes, labelForm, datePicture);
}

}  // namespace qb::store
