#pragma once
// The views of the browses and the rows each one shows. The message browse
// (forum and newsgroup databases) has views 1 to 9, the mail browse views 1
// to 8; each view is a key order of the header file, and some views take a
// filter (a thread, a section, a person) that limits the rows to one key
// range. BrowseQuery reads the rows of one view page by page; a window
// shows them and never reads the files itself.

#include <cstdint>
#include <memory>
#include <variant>

#include "archive/browse/browse_context.h"
#include "archive/browse/browse_rows.h"
#include "archive/browse/page_source.h"

namespace qb::store {

class Session;
template <class Row>
class BrowsePager;

enum class BrowseFilter { None, Thread, Section, Sender, Receiver, Partner };

struct BrowseViewDef {
  int key;              // key of MsgNmbr (message browse) or Mail (mail browse)
  BrowseFilter filter;  // the filter the view takes
  bool available;       // shown enabled (the word, topic and search views: browse_words.h)
};

constexpr int kMessageViews = 9;
constexpr int kMailViews = 8;
// View `view` (1-based) of the mail browse or of the message browse.
const BrowseViewDef& browseView(bool mail, int view);

// What a browse shows: which browse, which view, and the filter values and
// current message of the browse contexts (the thread tree and the export
// read them once stored).
struct BrowseState {
  bool mail = false;
  int view = 1;
  BrowseContext msg;       // the message browse
  MailBrowseContext box;   // the mail browse

  BrowseFilter filter() const { return browseView(mail, view).filter; }
  // True when the view's filter has a value (the rows are one range).
  bool filterSet() const;
  // Changes the view (and the context's sort order).
  void setView(int v);
  void setCount(uint32_t n);     // MAXNUMBER
  void setCurrent(uint32_t id);  // XMSGID or XMAILID
  // Stores the context of the browse for the session (Context mode 2).
  void store(Session& s) const;
};

using BrowseRow = std::variant<MsgRow, MailRow>;

// The rows of one view within its filter's range. The files of the browse
// (browse_files.h) must be open while it lives.
class BrowseQuery : public PageSource<BrowseRow> {
 public:
  BrowseQuery(Session& s, const BrowseState& state, const RowOptions& options);
  ~BrowseQuery() override;

  std::vector<Entry> first(int n) override;
  std::vector<Entry> last(int n) override;
  std::vector<Entry> after(int64_t pos, int n) override;
  std::vector<Entry> before(int64_t pos, int n) override;
  std::vector<Entry> from(int64_t pos, int n) override;

  // A page holding the first row at or after a date (view 1) or a message
  // number (view 6 of the message browse; none in another view); its
  // position goes to `located` (0 when the value lies past the last row:
  // then the last page).
  std::vector<Entry> atDate(int32_t day, int n, int64_t* located);
  std::vector<Entry> atNumber(uint32_t number, int n, int64_t* located);

  // A page holding the first mail whose subject is at or after `subject`
  // (view 2 of the mail browse, in its key order); as atDate.
  std::vector<Entry> atSubject(const std::string& subject, int n, int64_t* located);
  // The place (1-based) of the row at `pos` among the rows of the view; 0
  // when it is not one of them.
  int64_t rowNumber(int64_t pos);

  // True when the rows are limited to the range of a filter value.
  bool filtered() const;
  // The neighbouring thread, section or person of a filtered view (dir > 0:
  // after the range, dir < 0: before it) becomes the filter of `state`;
  // false when there is none.
  bool neighbour(int dir, BrowseState& state);

  // Row options change with a status write of the database.
  void setOptions(const RowOptions& o) { options_ = o; }

 private:
  Session& s_;
  BrowseState state_;
  RowOptions options_;
  std::unique_ptr<BrowsePager<BrowseRow>> pager_;
};

// The filter of the state's view takes its value from the header record at
// `pos` (the highlighted row); false when the view has no filter or the
// record is gone.
bool filterFromPosition(Session& s, int64_t pos, BrowseState& state);

// The position of message (MSG:MSGNUMBER) or mail (MAI:MAILID) `id` in its
// header file; 0 when there is none.
int64_t messagePosition(Session& s, bool mail, uint32_t id);

}  // namespace qb::store
