#pragma once
// What the Outlook converter reads from an Outlook data file: the folder
// tree and, folder by folder, the items with the fields the import maps.
// The data file is read through libpst (pst_source.h); tests feed the
// converter a scripted source instead.
//
// Every text is UTF-8. A field the file does not hold is empty.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qb::import::outlook {

// Recipient types of an item's recipient list.
enum RecipientType : int { RecipientTo = 1, RecipientCc = 2, RecipientBcc = 3 };

struct OutlookRecipient {
  int type = RecipientTo;
  std::string address;
  std::string name;
};

struct OutlookItem {
  bool mail = true;           // false: a contact, appointment, task, ... (passed over)
  std::string subject;
  std::string to;             // the "To" display text
  std::string senderName;
  std::string body;           // plain text (an HTML or RTF body already turned into text)
  std::string creationTime;   // local date and time as text: "YYYY-MM-DD HH:MM:SS"
  std::string senderAddress;  // the address a reply would go to
  std::string senderReplyName;
  std::vector<OutlookRecipient> recipients;
};

struct OutlookFolder {
  std::string name;
  std::string path;   // the names from the top folder down, joined by "::"
  int depth = 0;      // 0 for a top folder
  uint32_t items = 0; // items in the folder (mail and others)
  bool mail = true;   // a mail folder (not contacts, calendar, tasks, ...)
};

// An opened data file.
class OutlookSource {
 public:
  virtual ~OutlookSource() = default;
  // Every folder, parents before their children, in the file's order.
  virtual const std::vector<OutlookFolder>& folders() const = 0;
  // Starts reading the items of folder `index` (into folders()).
  virtual void openFolder(std::size_t index) = 0;
  // The next item of the open folder; false at its end. An item that cannot
  // be read is passed over (counted in unreadable()).
  virtual bool nextItem(OutlookItem& item) = 0;
  virtual uint64_t unreadable() const { return 0; }
};

// Why a data file could not be opened.
struct OpenError {
  bool unreadable = false;  // true: the file cannot be read at all; false: it is no usable data file
  std::string reason;
};

// Opens a data file; on failure returns null and fills `error`.
using OutlookOpener = std::unique_ptr<OutlookSource> (*)(const std::string& file, OpenError& error);

}  // namespace qb::import::outlook
