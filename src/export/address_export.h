#pragma once
// CopyAddress: the persons of the current database as an address book of
// one of the readers (TAPCIS, Eudora, the generic formats, OzWin II),
// optionally only those of the mail under a topic and/or in a date range.
// One person per step, driven by the progress window's timer or the
// command line's loop.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "archive/records.h"
#include "archive/session.h"
#include "export/copy_msg.h"
#include "export/export_file.h"
#include "export/export_formats.h"

namespace qb::exporting {

enum AddressFormat : int {
  AddressTapcis = 1,
  AddressEudora = 2,
  AddressGeneric = 3,  // "Generic Mail Type 1", "Generic Mail Type 2", "Unix News"
  AddressOzWin = 4,
};

// The format list of a kind (as the window offers it) and the number of a
// name; 0 when the kind does not offer it.
const std::vector<FormatChoice>& addressFormatList(uint8_t kind);
int addressFormatNumber(uint8_t kind, const std::string& name);

struct AddressRequest {
  int format = AddressGeneric;
  bool topicFilter = false;
  uint32_t topicId = 0;
  bool dateFilter = false;
  int32_t fromDate = 0, toDate = 0;
  std::string fileName;   // empty: "Address.Ab" (OzWin II), else "Address.Txt"
  std::string directory;  // empty: the temporary directory
};

// The entry of a person in a format (in the format's character set); empty
// when the person gets none (no address).
std::string addressEntry(const store::Person& p, int format);

class CopyAddress {
 public:
  CopyAddress(store::Session& s, AddressRequest r);
  ~CopyAddress();
  // Checks, opens the file and selects the persons. False with refusal()
  // (a message box) or error() when nothing is to be written.
  bool start();
  // Writes the next person's entry; false at the end or on an error.
  bool step();
  // Closes the file; false on an error (the file is then put back).
  bool finish();
  void abort() { aborted_ = true; }
  bool aborted() const { return aborted_; }
  uint32_t written() const { return written_; }
  uint32_t done() const { return done_; }
  uint32_t total() const { return total_; }
  const std::string& path() const { return file_.path(); }
  const Refusal& refusal() const { return refusal_; }
  const std::string& error() const { return error_; }
  // " Address export" / "57 addresses written to file."; after an abort
  // " Warning" / "Address export aborted."
  Refusal finalMessage() const;

 private:
  bool refuse(const std::string& title, const std::string& text);
  bool personExists(uint32_t id);
  store::Session& s_;
  AddressRequest r_;
  ExportFile file_;
  std::vector<uint32_t> persons_;  // the selection; empty with allPersons_
  bool allPersons_ = false, opened_ = false, aborted_ = false, failed_ = false, finished_ = false;
  std::size_t next_ = 0;
  uint32_t written_ = 0, done_ = 0, total_ = 0;
  Refusal refusal_;
  std::string error_;
};

}  // namespace qb::exporting
