#pragma once
// One message of the current database as the export formats need it: the
// header fields with the records they point to (thread, section, persons,
// message identifiers, carbon copies) looked up, and the text. Texts are
// UTF-8 (older archive texts that are not UTF-8 are read as Windows-1252).

#include <cstdint>
#include <string>
#include <vector>

#include "archive/records.h"
#include "archive/session.h"

namespace qb::exporting {

// A person's name parts as stored, trimmed, UTF-8.
struct NameParts {
  std::string last, first, address;
  bool empty() const { return last.empty() && first.empty() && address.empty(); }
};

struct ExportMessage {
  uint8_t kind = 0;          // KindForum, KindMail, KindNewsgroup
  uint32_t number = 0;       // MSG:MSGNUMBER or MAI:MAILID
  uint32_t ref = 0;          // MSG:REFNUMBER (0 for mail)
  int32_t date = 0, time = 0;
  uint8_t status = 0;        // MSG:DUMMY / MAI:DUMMY
  std::string subject;       // the thread heading or the mail subject, trimmed
  NameParts from, to;
  bool sentByOwner = false;  // mail: MAI:FROMID is the database's owner
  uint32_t sectionNumber = 0;
  std::string sectionDesc;   // SEC:DESCRIPTION, trimmed
  std::string database;      // Mem:Description, trimmed
  std::string messageId;     // newsgroups: MST:IDSTRING of the message
  std::string refId;         //   and of the message it replies to
  // Identifiers of the ancestors, oldest first (newsgroups: their
  // MST:IDSTRING; forums: made from the database and the number).
  std::vector<std::string> references;
  struct Copy {
    std::string name, address, type;  // CCR: R_NAME, R_CISADRESS, RECIPTYPE
  };
  std::vector<Copy> copies;  // mail: further recipients
  std::string text;          // MsgText memo, trimmed
};

// Files the reader needs open (OP_CLOSE numbers) for the current database's
// kind.
std::vector<int> exportFiles(uint8_t kind);

// Reads message `id` (MSG:MSGNUMBER or MAI:MAILID) of the current database;
// the files of exportFiles() must be open. False when the header is
// missing; missing thread, section, person or text records leave blanks.
// `withReferences` also follows the reply chain (for the Internet formats).
bool readExportMessage(store::Session& s, uint32_t id, ExportMessage& out, bool withReferences = false);

// The same from a header already in hand.
void fillExportMessage(store::Session& s, const store::MsgNmbr& m, ExportMessage& out, bool withReferences);
void fillExportMessage(store::Session& s, const store::Mail& m, ExportMessage& out);

// The identifier an exported forum message carries in the Internet formats:
// "<number.database@forum.quillbox.invalid>".
std::string forumMessageId(uint32_t forumId, uint32_t number);

}  // namespace qb::exporting
