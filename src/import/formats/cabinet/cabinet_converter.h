#pragma once
// The converter of the "CompuServe 3.x" filing cabinet.
//
// Command 199 opens the file and checks its "FCAB" signature (a file
// without it is skipped with a warning). The converter then keeps the
// command at 171 while its first pass queues the records ("Pre-import first
// pass"), and at 99 while it decodes them, at most ten records per call
// ("Pre-import message conversion").
//
//  - A forum message goes into the forum it names ("CIS:" removed); one
//    already in the archive is skipped unless re-import is allowed.
//  - A mail goes into the mail database the request names: a sender
//    address that is the owner's, or no sender address at all, makes it
//    outgoing; its recipients are filed as for the CIM message files.
//  - Records that are too short, of another kind or not selected for the
//    run are counted as skipped.

#include <fstream>
#include <string>

#include "import/converter.h"
#include "import/formats/cabinet/cabinet_record.h"
#include "import/formats/cabinet/cabinet_scan.h"
#include "import/formats/mail/mail_converter.h"

namespace qb::import::cabinet {

class CabinetConverter : public Converter {
 public:
  static constexpr uint8_t kFirstPass = 171;
  static constexpr int kRecordsPerStep = 10;
  static constexpr std::size_t kScanBytesPerStep = 1 << 20;
  // Bytes of one record read at most; a text keeps 64000 bytes anyway.
  static constexpr std::size_t kMaxRecordBytes = 1 << 18;

  bool step(ImportContext& ctx, uint8_t& command) override;

 private:
  bool open(ImportContext& ctx);
  void finish(ImportContext& ctx);
  bool decode(ImportContext& ctx, const RecordSpan& span);
  bool fileForum(ImportContext& ctx, CabinetMessage& m);
  bool fileMail(ImportContext& ctx, CabinetMessage& m);

  CabinetScanner scanner_;
  std::ifstream file_;
  std::size_t next_ = 0;
  std::string record_;
  mail::MailTarget target_;
};

}  // namespace qb::import::cabinet
