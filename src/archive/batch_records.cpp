#include "archive/batch_records.h"

#include <memory>

namespace qb::store {

const Layout& Batches::layout() {
  static const Layout l = declareLayout<Batches>(
      "Batches", "BAT", 177, false,
      {key("IDKEY", {asc("ID")}, Unique | Primary), key("TYPEKEY", {asc("TYPE")}, Dups)});
  return l;
}

const Layout& FileSelection::layout() {
  static const Layout l = declareLayout<FileSelection>(
      "FileSelection", "FLI", 770, false,
      {key("BatchKey", {asc("BATCHID"), asc("TYPE"), asc("SEQ")}, Unique | Primary)});
  return l;
}

namespace {
FileRegistration batchReg(FileNo::Batches, [] { return std::make_unique<Table<Batches>>(); });
FileRegistration selectionReg(FileNo::FileSelection, [] { return std::make_unique<Table<FileSelection>>(); });
}  // namespace

Table<Batches>& batchFile(Session& s) { return s.table<Batches>(FileNo::Batches); }
Table<FileSelection>& fileSelectionFile(Session& s) { return s.table<FileSelection>(FileNo::FileSelection); }

}  // namespace qb::store
