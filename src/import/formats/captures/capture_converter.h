#pragma once
// The converter of the CompuServe capture formats ("OzCIS", "OzWin I",
// "OzWin II", "TAPCIS 5.x", "TAPCIS 6.x", "AUTOSIG", "GoldenCompass",
// "NavCIS Save format"). Per file it decides whether the file holds forum
// messages or mail, then reads it through the capture reader and turns each
// message block into an import work record: forum messages for the forum
// their header names (or the one chosen for the import), mail for the mail
// database the import request names. Mail whose body starts with the
// Internet header of a gateway loses that header.
//
// Each step does a bounded amount of work: the forum/mail scan reads at most
// kScanLinesPerStep lines, a queue fill at most kFillLinesPerStep lines, and
// at most kMessagesPerStep message blocks are converted.

#include <cstdint>
#include <optional>
#include <string>

#include "import/converter.h"
#include "import/formats/captures/capture_format.h"
#include "import/formats/captures/capture_kind.h"
#include "import/formats/captures/capture_reader.h"
#include "import/formats/mail/mail_converter.h"

namespace qb::import::captures {

constexpr std::size_t kScanLinesPerStep = 20000;
constexpr std::size_t kFillLinesPerStep = 5000;
constexpr int kMessagesPerStep = 8;

inline constexpr const char* kNotMessageFile =
    "Not a Forum message or mail file!\r\nMessages will not be imported!";

class CaptureConverter : public Converter {
 public:
  explicit CaptureConverter(CaptureFormat f) : format_(f), reader_(f) {}
  bool step(ImportContext& ctx, uint8_t& command) override;

  CaptureFormat format() const { return format_; }
  FileKind fileKind() const { return kind_; }

 private:
  enum class Phase { Scan, Read, Done };

  bool openFile(ImportContext& ctx);
  bool scanStep(ImportContext& ctx);
  bool readStep(ImportContext& ctx);
  // Converts one message block; false on a write failure (the file stops).
  bool convertBlock(ImportContext& ctx, const CaptureReader::Block& b);
  bool convertForum(ImportContext& ctx, const CaptureReader::Block& b);
  bool convertMail(ImportContext& ctx, const CaptureReader::Block& b);
  bool finish();

  CaptureFormat format_;
  CaptureReader reader_;
  std::optional<FileKindScanner> scanner_;
  FileKind kind_ = FileKind::Unknown;
  Phase phase_ = Phase::Done;
  mail::MailTarget mailTarget_;  // the mail database of the run, for mail files
};

// The forum name for messages whose file does not name their forum: the one
// chosen for the import, else the file's name without its extension.
std::string chosenForumName(const ImportContext& ctx);
// The chosen target is a mail database (TAPCIS, AUTOSIG and GoldenCompass
// files look alike for forum messages and mail).
bool mailTarget(const ImportRequest& r);

}  // namespace qb::import::captures
