#pragma once
// The result set of a search: the hits in a chosen order, stored in the
// Search file (file 32, in the temporary directory; one result set for the
// whole program), which the browse windows read in SEA:SortKey order.

#include <cstdint>
#include <string>
#include <vector>

#include "archive/session.h"

namespace qb::index {

// The orders a result set can be re-sorted in. Mail browse: Date, Partner,
// Sender, Receiver, Subject; forum and newsgroup browse: Date, Thread,
// Section, Sender, Receiver.
// Found: the order of the evaluator (newest identifier first), which needs
// no record read; it is in no menu.
enum class ResultOrder { Found, Date, Partner, Sender, Receiver, Subject, Thread, Section };

// The orders of the right-click menu of a browse, in menu order.
std::vector<ResultOrder> resultOrders(bool mail);
// "Sort by date", ...; with a leading "+" for the current order.
std::string resultOrderText(ResultOrder o, bool current);
// The popup menu text: "Sort by date|Sort by partner|..." with "+" on the
// current order.
std::string resultOrderMenu(bool mail, ResultOrder current);
// "date", "partner", ... (command line names); false for an unknown name.
bool resultOrderByName(const std::string& name, ResultOrder& out);

// Stores the hits in the Search file: emptied, then SEA:SORT = 1..n and
// SEA:ID = the hits appended in one transaction, committed, keys rebuilt
// under a lock. A failed append rolls back and is reported (the previous
// content stays); a key rebuild that fails other than with a duplicate stops
// the program. True when stored.
bool storeResultSet(store::Session& s, const std::vector<uint32_t>& ids);
// The stored result set in SEA:SortKey order.
std::vector<uint32_t> loadResultSet(store::Session& s);

// Re-sorts hits of the current database by an order (stable: equal keys keep
// their relative order). Hits whose message no longer exists are dropped.
std::vector<uint32_t> resortResults(store::Session& s, const std::vector<uint32_t>& ids, ResultOrder order);

}  // namespace qb::index
