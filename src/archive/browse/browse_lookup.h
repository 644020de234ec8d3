#pragma once
// What the browse windows show beside the rows: the number of messages in
// a view, the name of its filter, the pick lists of threads, sections and
// persons a filter is chosen from, and the pages of a message's text. The
// files of the browse (browse_files.h) must be open.

#include <cstdint>
#include <string>
#include <vector>

#include "archive/browse/browse_view.h"

namespace qb::store {

class Session;

// The count a browse shows in its title: the whole header file, or with a
// filter set the count kept in the thread, section or person record
// (sender FROMCOUNT, receiver TOCOUNT, mail partner both); 0 when that
// record is gone.
uint32_t viewCount(Session& s, const BrowseState& state);
// Number of messages (mail) of the current database: the records of its
// header file.
uint32_t headerCount(Session& s, bool mail);

// The text of the entry box for the view's filter: the thread's subject,
// the section's description, the person as the browse names it (setting
// 38: `nameFormat`), for a mail partner the pair alpha and the person.
// Empty when the view has no filter or it has no value.
std::string filterName(Session& s, const BrowseState& state, int nameFormat);

// A line of a pick list: the thread number, SECSYSID or PERSONID and the
// text shown for it.
struct PickEntry {
  uint32_t id = 0;
  std::string text;
};
constexpr int kPickListSize = 300;
// Up to `max` threads (by subject), sections (by description) or persons
// (by last name) starting at the typed text, in key order; empty for a view
// without a filter.
std::vector<PickEntry> pickList(Session& s, BrowseFilter filter, const std::string& typed,
                                int max = kPickListSize);
// The entry `id` chosen from the pick list becomes the filter of the
// state's view; false (nothing changed) when its thread or person record
// is gone.
bool pickFilter(Session& s, uint32_t id, BrowseState& state);

// The filter value of the state's view (thread number, SECSYSID or
// person), 0 when none is set; the text its pick list starts at (the
// thread's alpha key, the section's description, the person's last name).
uint32_t filterValue(const BrowseState& state);
std::string filterPickText(Session& s, const BrowseState& state);
// Removes the filter value of the state's view: the view shows the whole
// file in its key order again.
void clearFilter(BrowseState& state);

// The text box pages of message or mail `id` (MsgText), the mail's subject
// put before the text; one empty page when it has no text.
std::vector<std::string> messagePages(Session& s, uint32_t id, const std::string* subject);

}  // namespace qb::store
