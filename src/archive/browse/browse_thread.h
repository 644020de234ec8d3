#pragma once
// The thread tree: the messages of one thread as a tree of replies. Levels
// are found in passes (a message is placed under its parent once the parent
// has a level); when a pass places nothing the nodes still without a level
// (a reply chain that forms a cycle) become roots, so the passes always
// end. The display list is depth first, in ascending message number at every
// level, with a blank first line.

#include <cstdint>
#include <string>
#include <vector>

#include "archive/session.h"

namespace qb::store {

struct ThreadNode {
  uint32_t MSGNMBR = 0;
  uint32_t REPLYNMBR = 0;  // 0 when it equals the message's own number
  std::string SENDERNAME;
  int32_t DATE = 0;
  int32_t LEVEL = 0;  // 1 = a root; 0 = not yet placed
  uint8_t REPLIES = 0;
  bool LOADED = false;
  int RECORDNR = -1;  // its line in the display list
};

struct TreeLine {
  std::string DISPLAY;
  int ICON = 0;   // 1 = a root, 2 = a reply, 0 = none
  int LEVEL = 0;  // indentation: node level - 1
  uint32_t MSGNMBR = 0;
};

// Places every node (fills LEVEL and REPLIES). The nodes need not be sorted.
void placeThreadNodes(std::vector<ThreadNode>& nodes);

// The label of a node in form `labelForm` (setting 16) with the date in
// picture `datePicture` (setting 10). Forms other than 1 to 5 give form 1.
std::string treeLabel(const ThreadNode& n, int labelForm, int datePicture);

// Sorts and places the nodes and builds the display list.
std::vector<TreeLine> buildThreadTree(std::vector<ThreadNode>& nodes, int labelForm, int datePicture);

// Reads the nodes of thread (alpha, number) through MSG:Threadkey of the
// open MsgNmbr file, with the senders' names from the open Person file.
std::vector<ThreadNode> readThreadNodes(Session& s, const std::string& alpha, uint32_t threadNumber);

// The thread (MSG:THREADNUMBER) of message `msgNumber`; 0 when there is no
// such message. MsgNmbr must be open.
uint32_t threadOfMessage(Session& s, uint32_t msgNumber);

// The display list of thread `threadNumber` (none for 0): its messages read
// through its alpha key, placed and labelled. A missing thread record gives
// the messages under its number with an empty alpha key. MsgNmbr, Threads
// and Person must be open.
std::vector<TreeLine> threadTreeLines(Session& s, uint32_t threadNumber, int labelForm, int datePicture);

}  // namespace qb::store
