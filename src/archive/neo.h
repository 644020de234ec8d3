#pragma once
// The Neo file (number 43 in CFG): numbered texts of some of the program's
// messages. The program fills it with its own texts (installNeoTexts) and
// otherwise only reads it.
//
//   23-26  caption, prompt, tip and instruction of the data-path window
//   27, 28 title and text of the message shown when a setting cannot be saved
//   35, 36 title and text shown when an export's inbox and outbox are one file
//   51-53  caption and two lines of the question about a database marked for
//          deletion

#include <cstdint>
#include <string>
#include <vector>

namespace qb::store {

class Session;

struct NeoText {
  uint32_t id;
  const char* text;  // at most 100 bytes
};

// The texts the program delivers.
const std::vector<NeoText>& shippedNeoTexts();

// Text n of the Neo file, without trailing blanks; empty when there is no
// record n. No message is shown.
std::string CallNeo(Session& s, uint32_t n);

// Adds every delivered text that the Neo file lacks and replaces one that
// differs. Returns 1 on success, 0 when a text could not be written.
uint8_t installNeoTexts(Session& s);

// Tells the user that a stored setting could not be saved (Neo texts 27 and
// 28; the delivered wording when the file lacks them).
void tellSettingNotSaved(Session& s);

}  // namespace qb::store
