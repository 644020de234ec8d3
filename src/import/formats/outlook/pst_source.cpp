#include "import/formats/outlook/pst_source.h"

#include <libpst/libpst.h>
#include <libpst/timeconv.h>
extern "C" {
#include <libpst/lzfu.h>  // declared without C linkage
}

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "import/formats/outlook/outlook_folders.h"
#include "import/formats/outlook/outlook_text.h"

namespace qb::import::outlook {
namespace {

// The low five bits of a node identifier give the node's kind.
constexpr uint64_t kNodeTypeMask = 0x1F;
constexpr uint64_t kNormalFolder = 0x02;
constexpr uint64_t kNormalMessage = 0x04;
// Folders nested deeper than this are not followed, and no folder has more
// children than this: a damaged tree whose lists run in a circle ends.
constexpr int kMaxDepth = 64;
constexpr uint64_t kMaxChildren = 1u << 24;

// Frees a libpst item when it goes out of scope.
struct ItemHolder {
  pst_item* item = nullptr;
  explicit ItemHolder(pst_item* i) : item(i) {}
  ~ItemHolder() {
    if (item) pst_freeItem(item);
  }
  ItemHolder(const ItemHolder&) = delete;
  ItemHolder& operator=(const ItemHolder&) = delete;
};

// A string field of `item` as UTF-8 (libpst converts code-page text with the
// item's character set); empty when the item lacks it.
std::string utf8(pst_item* item, pst_string& s) {
  if (!s.str) return {};
  pst_convert_utf8(item, &s);
  return s.str ? std::string(s.str) : std::string();
}

std::string firstOf(pst_item* item, pst_string& a, pst_string& b) {
  std::string r = utf8(item, a);
  return r.empty() ? utf8(item, b) : r;
}

// Local date and time as text, "YYYY-MM-DD HH:MM:SS"; empty without a time.
std::string localTimeText(const FILETIME* ft) {
  if (!ft) return {};
  std::time_t t = pst_fileTimeToUnixTime(ft);
  std::tm tm{};
  if (!localtime_r(&t, &tm)) return {};
  char buf[40];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                tm.tm_hour, tm.tm_min, tm.tm_sec);
  return buf;
}

bool isMailType(int type) {
  // Notes, meeting messages and delivery reports are mail; contacts,
  // appointments, tasks, journal entries and sticky notes are not. An item
  // without a message class that carries mail fields counts as mail.
  return type == PST_TYPE_NOTE || type == PST_TYPE_SCHEDULE || type == PST_TYPE_REPORT || type == 0;
}

bool isMailFolderType(int type) { return type == PST_TYPE_NOTE || type == 0 || type == PST_TYPE_REPORT; }

class PstSource : public OutlookSource {
 public:
  ~PstSource() override {
    if (open_) pst_close(&pf_);
  }

  bool open(const std::string& file, OpenError& error) {
    std::FILE* f = std::fopen(file.c_str(), "rb");
    if (!f) {
      error.unreadable = true;
      error.reason = std::strerror(errno);
      return false;
    }
    unsigned char head[4] = {};
    std::size_t got = f ? std::fread(head, 1, sizeof head, f) : 0;
    uint64_t actualSize = 0;
    if (f && std::fseek(f, 0, SEEK_END) == 0) actualSize = static_cast<uint64_t>(std::ftell(f));
    if (f) std::fclose(f);
    if (got < sizeof head || std::memcmp(head, "!BDN", 4) != 0) {
      error.reason = "The file is not an Outlook data file.";
      return false;
    }
    std::memset(&pf_, 0, sizeof pf_);
    if (pst_open(&pf_, file.c_str(), "windows-1252") != 0) {
      error.reason = "The file is not an Outlook data file libpst can read (unknown version).";
      return false;
    }
    open_ = true;
    // The header records the file's size and where its two indexes start: a
    // file shorter than that was cut off (a copy that did not finish).
    if (actualSize < pf_.size || pf_.index1 >= actualSize || pf_.index2 >= actualSize) {
      error.reason = "The file is truncated: it holds " + std::to_string(actualSize) + " bytes of " +
                     std::to_string(pf_.size) + ".";
      return false;
    }
    if (pf_.encryption > PST_ENCRYPT) {
      error.reason = "The file is encrypted in a way that cannot be read.";
      return false;
    }
    if (pst_load_index(&pf_) != 0 || !pf_.d_head) {
      error.reason = "The index of the file is damaged.";
      return false;
    }
    pst_load_extended_attributes(&pf_);
    ItemHolder root(pst_parse_item(&pf_, pf_.d_head, nullptr));
    if (!root.item || !root.item->message_store) {
      error.reason = "The file has no readable message store (damaged).";
      return false;
    }
    pst_desc_tree* top = pst_getTopOfFolders(&pf_, root.item);
    if (!top) {
      error.reason = "The top of the folder tree cannot be found (damaged).";
      return false;
    }
    // The top folder is named like the data file's store in Outlook's
    // folder list ("Personal Folders" when the store has no name).
    std::string name = utf8(root.item, root.item->file_as);
    bool mail = true;
    {
      ItemHolder h(pst_parse_item(&pf_, top, nullptr));
      if (h.item && name.empty()) name = utf8(h.item, h.item->file_as);
      if (h.item) mail = isMailFolderType(h.item->type);
    }
    addFolder(top, name.empty() ? "Personal Folders" : name, mail, "", 0);
    return true;
  }

  const std::vector<OutlookFolder>& folders() const override { return folders_; }

  void openFolder(std::size_t index) override {
    cursor_ = index < nodes_.size() ? nodes_[index]->child : nullptr;
    remaining_ = index < nodes_.size() ? folders_[index].items : 0;
  }

  bool nextItem(OutlookItem& out) override {
    // The folder's items as they were counted for the folder tree (a list
    // that runs in a circle ends there too).
    while (cursor_ && remaining_ > 0) {
      pst_desc_tree* d = cursor_;
      cursor_ = cursor_->next;
      if ((d->d_id & kNodeTypeMask) != kNormalMessage) continue;
      --remaining_;
      ItemHolder h(pst_parse_item(&pf_, d, nullptr));
      if (!h.item) {
        ++unreadable_;
        continue;
      }
      fill(h.item, out);
      return true;
    }
    return false;
  }

  uint64_t unreadable() const override { return unreadable_; }

 private:
  // Adds the folder of node `d` and, below it, its subfolders.
  void addFolder(pst_desc_tree* d, const std::string& name, bool mail, const std::string& parentPath, int depth) {
    OutlookFolder f;
    f.name = name;
    f.path = parentPath.empty() ? name : parentPath + kPathSeparator + name;
    f.depth = depth;
    f.mail = mail;
    std::vector<pst_desc_tree*> subfolders;
    uint64_t children = 0;
    for (pst_desc_tree* c = d->child; c && ++children <= kMaxChildren; c = c->next) {
      uint64_t kind = c->d_id & kNodeTypeMask;
      if (kind == kNormalMessage) ++f.items;
      if (kind == kNormalFolder) subfolders.push_back(c);
    }
    const std::string path = f.path;
    folders_.push_back(std::move(f));
    nodes_.push_back(d);
    if (depth >= kMaxDepth) return;
    for (pst_desc_tree* c : subfolders) {
      std::string childName;
      bool childMail = true;
      {
        ItemHolder h(pst_parse_item(&pf_, c, nullptr));
        if (!h.item || !h.item->folder) continue;
        childName = utf8(h.item, h.item->file_as);
        childMail = isMailFolderType(h.item->type);
      }
      addFolder(c, childName, childMail, path, depth + 1);
    }
  }

  void fill(pst_item* it, OutlookItem& out) {
    out = OutlookItem{};
    out.mail = it->email != nullptr && isMailType(it->type);
    out.subject = utf8(it, it->subject);
    if (!out.mail) return;
    pst_item_email& e = *it->email;
    // The time the mail was sent, else received; the creation time only
    // when it has neither (it is the time the item was made in this file:
    // the day of an export or a copy, the start of a draft).
    out.creationTime = localTimeText(e.sent_date ? e.sent_date : e.arrival_date ? e.arrival_date : it->create_date);
    out.to = utf8(it, e.sentto_address);
    out.senderName = firstOf(it, e.outlook_sender_name2, e.outlook_sender_name);
    out.senderAddress = firstOf(it, e.sender_address, e.sender2_address);
    out.senderReplyName = firstOf(it, e.outlook_sender_name, e.outlook_sender_name2);
    out.recipients = recipientsOf(utf8(it, e.header), out.to, utf8(it, e.cc_address));
    out.body = utf8(it, it->body);
    if (trimmedEmpty(out.body)) {
      std::string html = utf8(it, e.htmlbody);
      if (!html.empty()) {
        out.body = htmlBodyText(html);
      } else if (e.rtf_compressed.data && e.rtf_compressed.size > 0) {
        std::size_t n = 0;
        char* rtf = pst_lzfu_decompress(e.rtf_compressed.data, static_cast<uint32_t>(e.rtf_compressed.size), &n);
        if (rtf) {
          out.body = rtfBodyText(std::string_view(rtf, n));
          std::free(rtf);
        }
      }
    }
  }

  pst_file pf_{};
  bool open_ = false;
  std::vector<OutlookFolder> folders_;
  std::vector<pst_desc_tree*> nodes_;
  pst_desc_tree* cursor_ = nullptr;
  uint64_t remaining_ = 0;
  uint64_t unreadable_ = 0;
};

}  // namespace

std::unique_ptr<OutlookSource> openPstFile(const std::string& file, OpenError& error) {
  auto src = std::make_unique<PstSource>();
  if (!src->open(file, error)) return nullptr;
  return src;
}

}  // namespace qb::import::outlook
