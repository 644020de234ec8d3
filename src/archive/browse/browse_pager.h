#pragma once
// Page loading of a list: rows are read one page at a time through a keyed
// file in one key order and within one key range, and every row keeps the
// position of its record so that the list can go on from either end of
// what it shows. The whole file is never read.
//
// The range is a key prefix: the caller puts the values that fix the range
// into the file's record buffer (setRange), and `parts` tells how many
// leading key components they fill (0: the whole file). A record belongs to
// the range while `inRange` says so for the record in the buffer.

#include <cstdint>
#include <functional>
#include <vector>

#include "archive/browse/page_source.h"
#include "store/keyed_file.h"

namespace qb::store {

template <class Row>
class BrowsePager : public PageSource<Row> {
 public:
  using Entry = typename PageSource<Row>::Entry;

  BrowsePager(KeyedFile& file, int key) : file_(file), key_(key) {}

  // Fills the buffer with the range's key values; called before every
  // positioning at the range's ends.
  std::function<void()> setRange;
  int parts = 0;
  // Is the record in the buffer inside the range? (Always, when unset.)
  std::function<bool()> inRange;
  // Builds a display row from the record in the buffer.
  std::function<Row()> build;
  // Passes over a record of the range without showing it (a result set
  // entry whose message has been deleted). Called before build().
  std::function<bool()> passOver;

  KeyedFile& file() { return file_; }
  int key() const { return key_; }

  // The first `n` rows of the range.
  std::vector<Entry> first(int n) override {
    startAtBegin();
    return readForward(n, 0);
  }
  // The last `n` rows of the range, in key order.
  std::vector<Entry> last(int n) override {
    startAtEnd();
    return readBackward(n, 0);
  }
  // Up to `n` rows that follow the record at `pos`.
  std::vector<Entry> after(int64_t pos, int n) override {
    if (file_.setAtPosition(key_, pos) != Err::Ok) return {};
    return readForward(n, pos);
  }
  // Up to `n` rows before the record at `pos`, in key order.
  std::vector<Entry> before(int64_t pos, int n) override {
    if (file_.setAtPosition(key_, pos) != Err::Ok) return {};
    return readBackward(n, pos);
  }
  // A page that starts at the record at `pos` (or, when it is gone, at the
  // start of the range); filled from before when the range ends too soon.
  std::vector<Entry> from(int64_t pos, int n) override {
    std::vector<Entry> rows;
    if (file_.setAtPosition(key_, pos) == Err::Ok) {
      if (file_.next() == Err::Ok && file_.position() == pos && accepted() && !skipped()) {
        rows.push_back({pos, build()});
        auto more = readForward(n - 1, pos);
        rows.insert(rows.end(), more.begin(), more.end());
      }
    }
    if (rows.empty()) return first(n);
    return fillUp(std::move(rows), n);
  }
  // A page that holds the first record at or after the key value that
  // `locate` puts into the buffer (its first `locateParts` components); its
  // position goes to `located` (0 when the value lies past the range).
  std::vector<Entry> at(const std::function<void()>& locate, int locateParts, int n, int64_t* located = nullptr) {
    if (located) *located = 0;
    file_.clearBuffer();
    if (setRange) setRange();
    locate();
    if (file_.setAt(key_, locateParts) != Err::Ok) return {};
    if (file_.next() != Err::Ok || !accepted()) return last(n);
    while (skipped())
      if (file_.next() != Err::Ok || !accepted()) return last(n);
    std::vector<Entry> rows{{file_.position(), build()}};
    if (located) *located = rows.front().pos;
    auto more = readForward(n - 1, rows.front().pos);
    rows.insert(rows.end(), more.begin(), more.end());
    return fillUp(std::move(rows), n);
  }
  // Reads the record just outside the range, after its end (dir > 0) or
  // before its start (dir < 0), into the buffer; false when there is none.
  // The neighbouring thread, section or person of a filtered view.
  bool outside(int dir) {
    auto edge = dir > 0 ? last(1) : first(1);
    if (edge.empty()) return false;
    if (file_.setAtPosition(key_, edge.front().pos) != Err::Ok) return false;
    for (;;) {
      if ((dir > 0 ? file_.next() : file_.previous()) != Err::Ok) return false;
      if (file_.position() != edge.front().pos) return !accepted();
    }
  }
  // Number of records of the range before the record at `pos` in key
  // order (records passed over count too); -1 when it is not in the key.
  int64_t countBefore(int64_t pos) {
    file_.clearBuffer();
    if (parts > 0 && setRange) setRange();
    return file_.countBefore(key_, pos, parts);
  }
  // True when the range holds no record.
  bool empty() {
    startAtBegin();
    return file_.next() != Err::Ok || !accepted();
  }

 private:
  bool accepted() { return !inRange || inRange(); }
  bool skipped() { return passOver && passOver(); }

  void startAtBegin() {
    if (parts <= 0) {
      file_.set(key_);
      return;
    }
    file_.clearBuffer();
    if (setRange) setRange();
    file_.setAt(key_, parts);
  }
  void startAtEnd() { startAtBegin(); }

  std::vector<Entry> readForward(int n, int64_t skip) {
    std::vector<Entry> rows;
    while (static_cast<int>(rows.size()) < n) {
      if (file_.next() != Err::Ok) break;
      if (skip && file_.position() == skip) {
        skip = 0;
        continue;
      }
      skip = 0;
      if (!accepted()) break;
      if (skipped()) continue;
      rows.push_back({file_.position(), build()});
    }
    return rows;
  }
  std::vector<Entry> readBackward(int n, int64_t skip) {
    std::vector<Entry> rows;
    while (static_cast<int>(rows.size()) < n) {
      if (file_.previous() != Err::Ok) break;
      if (skip && file_.position() == skip) {
        skip = 0;
        continue;
      }
      skip = 0;
      if (!accepted()) break;
      if (skipped()) continue;
      rows.push_back({file_.position(), build()});
    }
    return {rows.rbegin(), rows.rend()};
  }
  std::vector<Entry> fillUp(std::vector<Entry> rows, int n) {
    if (static_cast<int>(rows.size()) < n && !rows.empty()) {
      auto more = before(rows.front().pos, n - static_cast<int>(rows.size()));
      rows.insert(rows.begin(), more.begin(), more.end());
    }
    return rows;
  }

  KeyedFile& file_;
  int key_;
};

}  // namespace qb::store
