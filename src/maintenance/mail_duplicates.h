#pragma once
// Mail duplicate elimination: the same mail stored more than once (from
// several folders, or imported twice) is found and given delete status, so
// that the deletion steps of the purge remove it.
//
// Times are first brought to the start of their minute (normaliseTime). A
// candidate is a mail that shares its subject (letter case ignored), date
// and minute with another mail. The candidates are sorted by subject, date,
// time, sender, receiver, the first 30 characters of the text and, among
// equals, the higher mail identifier first; walking that list, a mail is a
// copy of the reference before it when those six fields are equal and the
// texts are duplicates (textsAreDuplicates). A copy with keep status is
// never marked; a mail that already has delete status takes no part.
//
// findMailDuplicates only reads: the purge marks what it returns, and
// `quillbox-cli dedup --dry-run` shows it, so both agree by construction.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "archive/session.h"

namespace qb::maintenance {

// A time value (hundredths of a second since midnight plus one) moved to the
// start of its minute; 0 and exact multiples of 6000 stay as they are.
int32_t normaliseTime(int32_t time);

struct DuplicateMail {
  uint32_t mailId = 0;
  uint8_t status = 0;     // MAI:DUMMY as read
  uint32_t textLength = 0;  // without trailing blanks; 0 when the text is missing
  bool textMissing = false;
};

struct DuplicateGroup {
  std::string subject;  // as stored in the survivor
  int32_t date = 0;
  int32_t time = 0;     // normalised
  uint32_t fromId = 0, toId = 0;
  std::string initText;  // first 30 characters of the text
  DuplicateMail survivor;
  std::vector<DuplicateMail> copies;  // in list order
  // The copies that receive delete status (status 0); the others are kept.
  std::size_t marked() const;
};

struct DuplicateScan {
  bool ok = true;
  uint64_t mails = 0;       // mails read
  uint64_t candidates = 0;  // entries of the candidate list
  std::vector<DuplicateGroup> groups;
  // The mails to mark, in list order.
  std::vector<uint32_t> toMark() const;
};

// Reads the current (mail) database: Mail and MsgText must be open. Times
// are taken normalised whether or not they are stored that way yet.
// `progress` is called now and then with the mails read.
DuplicateScan findMailDuplicates(store::Session& s, const std::function<void(uint64_t)>& progress = {});

}  // namespace qb::maintenance
