#pragma once
// The converter of the CIM message files ("WinCIM", "DOSCIM", "CSNav"): one
// call reads one whole file (cim_file.h) and appends its work records.
//
//  - Mail goes into the mail database the request names, by the
//    mailbox-owner rule, with its recipients as cim_mail.h files them.
//  - A forum message goes into the forum its file names; a message already
//    in the archive is skipped unless re-import is allowed.
//  - A kind not selected for the run, a target that cannot be resolved or
//    takes no imports, and a run that only creates databases count the file
//    as skipped. A file that is not a CIM file, or that ends inside its
//    record, yields nothing.
//
// "DOSCIM" files are in the DOS character set and are translated; the
// Windows readers' files are taken as they are.

#include <string>

#include "import/converter.h"
#include "import/formats/cim/cim_file.h"
#include "import/formats/mail/mail_converter.h"

namespace qb::import::cim {

class CimConverter : public Converter {
 public:
  explicit CimConverter(std::string typeName);
  bool step(ImportContext& ctx, uint8_t& command) override;

 private:
  void fileMail(ImportContext& ctx, CimMessage& m);
  void fileForum(ImportContext& ctx, CimMessage& m);

  std::string typeName_;
  bool dos_ = false;
  mail::MailTarget target_;
};

// Reads at most `limit` bytes of a file. False (with a reason) when it
// cannot be read.
bool readFilePrefix(const std::string& path, std::size_t limit, std::string& bytes, std::string& error);

}  // namespace qb::import::cim
