#pragma once
// CopyMsg: the export engine. It works through a set of messages of the
// current database (message_set.h) one message per step, and for each
// message writes it to the export files (operations 1 and 2), collects its
// printable text (3), attaches or removes a topic (4, 5) or sets its keep
// status (6 to 8). The export window and quillbox-cli drive it:
//
//   CopyMsg run(s, request);
//   if (run.start()) while (run.step()) { ...progress, abort... }
//   run.finish();
//
// Scope 0 puts one message on the clipboard: start() builds the text
// (clipboardText()) and ends the run.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "archive/session.h"
#include "export/export_sink.h"
#include "export/message_set.h"

namespace qb::exporting {

enum Operation : int {
  OpExportNew = 1,     // "Copy messages to new file"
  OpExportAppend = 2,  // "Append messages to existing file"
  OpPrint = 3,
  OpAttachTopic = 4,
  OpRemoveTopic = 5,
  OpStatusNormal = 6,
  OpStatusKeep = 7,
  OpStatusDelete = 8,
};

struct ExportRequest {
  int operation = OpExportNew;
  int scope = ScopeDatabase;
  uint32_t message = 0;        // scopes 0 and 1: the message number
  std::optional<SetKey> key;   // the set's key; default: the stored browse context
  int format = 0;              // 0: the database kind's setting (61, 62, 63)
  std::string inbox, outbox;   // file names; empty: the format's defaults
  std::string directory;       // empty: the temporary directory (Mem:TempDir)
  bool dateFilter = false;     // process messages in [fromDate, toDate] only
  int32_t fromDate = 0, toDate = 0;
  uint32_t topicId = 0;        // operations 4 and 5
  int wrapMode = -1;           // 1 wrap, 0 hard CRs; -1: setting 60
  int wrapColumn = -1;         // -1: setting 58 (78 when 0)
};

// A message box the caller shows when start() refuses (empty title: none).
struct Refusal {
  std::string title, text;
};

class CopyMsg {
 public:
  CopyMsg(store::Session& s, ExportRequest r);
  ~CopyMsg();
  CopyMsg(const CopyMsg&) = delete;
  CopyMsg& operator=(const CopyMsg&) = delete;

  // Step 1: checks the request, fills in defaults, positions on the set.
  // False when the run cannot start (refusal() / error() say why) or when it
  // is already complete (scope 0).
  bool start();
  // Step 2: the next message. False at the end of the set, after abort(),
  // or on an error (error()).
  bool step();
  // Step 3: completes (or, after an error, puts back) the export files.
  // False when an error ended the run.
  bool finish();
  // The user's abort: the run ends after the current message.
  void abort() { aborted_ = true; }

  const ExportRequest& request() const { return r_; }
  // "Exporting messages ... please wait!" and the like.
  std::string progressText() const;
  // "Messages exported!", ...; "Process aborted!" after abort().
  std::string finalText() const;
  const Refusal& refusal() const { return refusal_; }
  const std::string& error() const { return error_; }
  uint32_t processed() const { return processed_; }  // messages written or changed
  uint32_t read() const { return read_; }            // messages of the set read
  uint32_t total() const { return total_; }          // estimate (0: unknown)
  bool aborted() const { return aborted_; }
  // Files written (for the mailbox table of contents after an "Eudora" export).
  std::vector<WrittenBox> written() const;
  // Scope 0: the clipboard text; operation 3: the text to print.
  const std::string& clipboardText() const { return clip_; }
  const std::string& printText() const { return print_; }

 private:
  bool refuse(const std::string& title, const std::string& text);
  bool processMessage(uint32_t id);
  bool writeChange(uint32_t id);
  bool commitIfDue(bool force);
  void closeFiles();

  store::Session& s_;
  ExportRequest r_;
  std::unique_ptr<MessageSet> set_;
  std::unique_ptr<ExportSink> sink_;
  SinkOptions sinkOptions_;
  std::vector<int> files_;
  bool opened_ = false, running_ = false, aborted_ = false, failed_ = false, finished_ = false;
  bool inTransaction_ = false;
  int writesInTransaction_ = 0;
  uint32_t processed_ = 0, read_ = 0, total_ = 0;
  Refusal refusal_;
  std::string error_, clip_, print_;
};

// The clipboard text of message `id` of the current database (scope 0):
// framed heading, the single-message header, the text (wrapped when wrap
// mode is on), the end line. Opens and closes the files it reads; empty
// when the message is not found.
std::string messageCopyText(store::Session& s, uint32_t id);

}  // namespace qb::exporting
