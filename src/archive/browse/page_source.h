#pragma once
// A list read one page at a time: rows come in key order, and every row
// keeps the position of its record so that the list can go on from either
// end of what it shows. The browse queries are page sources over a keyed
// file; a window's list model reads any page source.

#include <cstdint>
#include <vector>

namespace qb::store {

template <class Row>
class PageSource {
 public:
  struct Entry {
    int64_t pos = 0;
    Row row{};
  };
  virtual ~PageSource() = default;

  // The first `n` rows.
  virtual std::vector<Entry> first(int n) = 0;
  // The last `n` rows, in key order.
  virtual std::vector<Entry> last(int n) = 0;
  // Up to `n` rows that follow the record at `pos`.
  virtual std::vector<Entry> after(int64_t pos, int n) = 0;
  // Up to `n` rows before the record at `pos`, in key order.
  virtual std::vector<Entry> before(int64_t pos, int n) = 0;
  // A page that starts at the record at `pos` (or, when it is gone, at the
  // start); filled from before when the list ends too soon.
  virtual std::vector<Entry> from(int64_t pos, int n) = 0;

  // Where a row stands in the whole list, for a scroll bar over the whole
  // view: the number of rows, the number of rows before the record at `pos`,
  // and a page starting about `rank` rows in. The ranks count key entries,
  // so they are estimates where a source passes records over. -1: the
  // source cannot tell.
  virtual int64_t total() { return -1; }
  virtual int64_t rankOf(int64_t /*pos*/) { return -1; }
  virtual std::vector<Entry> atRank(int64_t rank, int n) { return rank <= 0 ? first(n) : last(n); }
};

}  // namespace qb::store
