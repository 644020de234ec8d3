#include "export/copy_msg.h"

#include <sys/stat.h>

#include "archive/config.h"
#include "archive/file_table.h"
#include "archive/neo.h"
#include "archive/record_access.h"
#include "export/export_file.h"
#include "export/export_formats.h"
#include "text/strings.h"

namespace qb::exporting {

using namespace qb::store;

namespace {

const std::string kRule(64, '-');

// The text of one message as the clipboard and the printout show it.
std::string quotedText(const ExportMessage& m, bool wrap, int column) {
  std::vector<std::string> lines{kRule,
                                 m.kind == KindMail
                                     ? "         Mail retrieved by Quillbox Message Converter           "
                                     : "         Message retrieved by Quillbox Message Converter        ",
                                 kRule};
  for (auto& h : singleHeaderLines(m)) lines.push_back(h);
  lines.push_back(kRule);
  for (auto& l : splitLines(m.text)) {
    if (wrap && column > 0) {
      for (auto& w : wrapLine(l, static_cast<std::size_t>(column))) lines.push_back(w);
    } else {
      lines.push_back(l);
    }
  }
  lines.push_back(kRule);
  lines.push_back("                            End Of Quote                        ");
  lines.push_back("");
  std::string out;
  for (auto& l : lines) out += l + "\r\n";
  return out;
}

int wrapColumnSetting(Session& s) {
  int32_t c = setting(s, SetWrapColumn);
  return c > 0 ? c : 78;
}

bool isDirectory(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

CopyMsg::CopyMsg(Session& s, ExportRequest r) : s_(s), r_(std::move(r)) {}

CopyMsg::~CopyMsg() {
  if (!finished_) {
    if (sink_) sink_->discard();
    if (inTransaction_) s_.transaction().rollback();
    closeFiles();
  }
}

void CopyMsg::closeFiles() {
  if (opened_) OP_CLOSE(s_, OpClose, files_);
  opened_ = false;
}

bool CopyMsg::refuse(const std::string& title, const std::string& text) {
  refusal_ = {title, text};
  error_ = text;
  failed_ = true;
  return false;
}

std::string CopyMsg::progressText() const {
  switch (r_.operation) {
    case OpExportNew: case OpExportAppend: return "Exporting messages ... please wait!";
    case OpPrint: return "Printing messages ... please wait!";
    case OpAttachTopic: return "Attaching topics ... please wait!";
    case OpRemoveTopic: return "Removing topics ... please wait!";
    default: return "Recoding message status ... please wait!";
  }
}

std::string CopyMsg::finalText() const {
  if (aborted_) return "Process aborted!";
  switch (r_.operation) {
    case OpExportNew: case OpExportAppend: return "Messages exported!";
    case OpPrint: return "Messages printed!";
    case OpAttachTopic: return "Topics attached!";
    case OpRemoveTopic: return "Topics removed!";
    default: return "Message status recoded!";
  }
}

std::vector<WrittenBox> CopyMsg::written() const { return sink_ ? sink_->written() : std::vector<WrittenBox>{}; }

bool CopyMsg::start() {
  const uint8_t kind = s_.ForumType;
  const bool exporting = r_.operation == OpExportNew || r_.operation == OpExportAppend;
  if (r_.operation < OpExportNew || r_.operation > OpStatusDelete) return refuse("", "Unknown operation.");
  if (!s_.ForumNumber || s_.Dirnamn.empty()) return refuse("", "No database is active.");

  // options: wrap mode and column, the format and the file names
  const bool wrap = r_.wrapMode >= 0 ? r_.wrapMode == 1 : setting(s_, SetWrapMode) == 1;
  const int column = r_.wrapColumn > 0 ? r_.wrapColumn : wrapColumnSetting(s_);
  r_.wrapMode = wrap ? 1 : 0;
  r_.wrapColumn = column;
  if (r_.format == 0) {
    int code = kind == KindMail ? SetExportMail : kind == KindNewsgroup ? SetExportNews : SetExportForum;
    r_.format = setting(s_, code);
    if (formatName(kind, r_.format).empty())
      r_.format = kind == KindNewsgroup ? FormatUnixNews : FormatTapcis;
  }
  if (exporting && r_.scope != ScopeClipboard) {
    if (formatName(kind, r_.format).empty())
      return refuse("Format error", "This format is not offered for " + std::string(kindName(kind)) + " databases.");
    std::string in, out;
    defaultFileNames(kind, r_.format, text::trim(s_.Description), in, out);
    if (text::trim(r_.inbox).empty()) r_.inbox = in;
    if (text::trim(r_.outbox).empty()) r_.outbox = out;
    r_.inbox = text::trim(r_.inbox);
    r_.outbox = text::trim(r_.outbox);
    const bool two = writesTwoFiles(kind, r_.format);
    if (!isPlainFileName(r_.inbox) || (two && !isPlainFileName(r_.outbox)))
      return refuse("Filename error", "Do not include the path, just the filename!");
    if (two && r_.inbox == r_.outbox) {
      // the texts of the Neo file, or the delivered ones when it lacks them
      std::string title = CallNeo(s_, 35), text = CallNeo(s_, 36);
      for (const auto& n : shippedNeoTexts()) {
        if (n.id == 35 && title.empty()) title = n.text;
        if (n.id == 36 && text.empty()) text = n.text;
      }
      return refuse(title, text);
    }
  }
  if ((r_.operation == OpAttachTopic || r_.operation == OpRemoveTopic) && !r_.topicId)
    return refuse("Selection error", "No topic selected!");
  if (r_.dateFilter) {
    if (r_.fromDate <= 0)
      return refuse("Date range filter error", "A valid From-date must be entered to apply a date range filter.");
    if (r_.toDate <= 0)
      return refuse("Date range filter error", "A valid To-date must be entered to apply a date range filter.");
    if (r_.toDate < r_.fromDate)
      return refuse("Date range filter error", "A negative date range cannot be allowed.");
  }
  if (r_.operation == OpStatusDelete && r_.scope == ScopeDatabase) {
    Button b = s_.ask("Do you really want to delete all messages in this database? If you do, the entire database "
                      "directory will be removed.",
                      " Database marked for deletion!", Button::Ok | Button::Cancel, Button::Cancel);
    if (b != Button::Ok) return refuse("", "The status was not changed.");
  }
  if (r_.directory.empty()) r_.directory = s_.TempDir;
  if (exporting && r_.scope != ScopeClipboard && !isDirectory(r_.directory))
    return refuse("Export error", "The directory " + r_.directory + " does not exist.");

  // the set
  files_ = exportFiles(kind);
  files_.push_back(9);
  files_.push_back(1);
  OP_CLOSE(s_, OpOpen, files_);
  opened_ = true;
  set_ = std::make_unique<MessageSet>(s_, r_.scope);
  if (r_.key) {
    set_->setKey(*r_.key);
  } else if (r_.scope <= ScopeSingle) {
    SetKey k;
    k.message = r_.message;
    set_->setKey(k);
  } else if (!set_->fromContext()) {
    return refuse("Export error", set_->why());
  }
  if (!set_->begin()) return refuse("Export error", set_->why());
  const bool internet = r_.format == FormatMbox || r_.format == FormatMaildir;
  set_->keepPosition(r_.operation >= OpAttachTopic || (exporting && internet && kind != KindMail));
  total_ = set_->sizeHint();

  if (r_.scope == ScopeClipboard) {
    uint32_t id = 0;
    ExportMessage m;
    if (set_->next(id) && readExportMessage(s_, id, m)) clip_ = quotedText(m, wrap, column);
    finished_ = true;
    closeFiles();
    if (clip_.empty()) error_ = "The message cannot be read.";
    return false;
  }
  if (exporting) {
    sinkOptions_.kind = kind;
    sinkOptions_.format = r_.format;
    sinkOptions_.append = r_.operation == OpExportAppend;
    sinkOptions_.directory = r_.directory;
    sinkOptions_.inbox = r_.inbox;
    sinkOptions_.outbox = r_.outbox;
    sinkOptions_.wrap = wrap;
    sinkOptions_.column = column;
    sinkOptions_.forumId = s_.ForumNumber;
    sink_ = makeSink(sinkOptions_);
  }
  running_ = true;
  return true;
}

bool CopyMsg::step() {
  if (!running_ || aborted_ || failed_) return false;
  uint32_t id = 0;
  if (!set_->next(id)) {
    running_ = false;
    return false;
  }
  ++read_;
  if (!processMessage(id)) {
    failed_ = true;
    running_ = false;
    return false;
  }
  return true;
}

bool CopyMsg::processMessage(uint32_t id) {
  const bool mail = s_.ForumType == KindMail;
  const int32_t date = mail ? s_.Mail().rec.DATE : s_.MsgNmbr().rec.DATE;
  if (r_.dateFilter && (date < r_.fromDate || date > r_.toDate)) return true;
  switch (r_.operation) {
    case OpExportNew:
    case OpExportAppend: {
      ExportMessage m;
      const bool internet = r_.format == FormatMbox || r_.format == FormatMaildir;
      if (mail) fillExportMessage(s_, Mail(s_.Mail().rec), m);
      else fillExportMessage(s_, MsgNmbr(s_.MsgNmbr().rec), m, internet);
      const bool sent = mail && m.sentByOwner && r_.format != FormatTapcis;
      if (!sink_->write(m, sent)) {
        error_ = sink_->error();
        return false;
      }
      break;
    }
    case OpPrint: {
      ExportMessage m;
      if (mail) fillExportMessage(s_, Mail(s_.Mail().rec), m);
      else fillExportMessage(s_, MsgNmbr(s_.MsgNmbr().rec), m, false);
      print_ += quotedText(m, r_.wrapMode == 1, r_.wrapColumn);
      break;
    }
    default:
      if (!writeChange(id)) return false;
      break;
  }
  ++processed_;
  return true;
}

bool CopyMsg::writeChange(uint32_t id) {
  const bool mail = s_.ForumType == KindMail;
  const bool topic = r_.operation == OpAttachTopic || r_.operation == OpRemoveTopic;
  KeyedFile& f = topic ? static_cast<KeyedFile&>(s_.SIndex())
                       : mail ? static_cast<KeyedFile&>(s_.Mail()) : static_cast<KeyedFile&>(s_.MsgNmbr());
  if (!inTransaction_) {
    if (!beginTransaction(s_, {&f})) {
      error_ = "The messages cannot be changed: the files are in use.";
      return false;
    }
    inTransaction_ = true;
  }
  bool wrote = false;
  if (topic) {
    auto& x = s_.SIndex();
    x.clear();
    x.rec.ID = r_.topicId;
    x.rec.MSGNUMBER = id;
    const bool exists = x.get(SIndex::IdKey) == Err::Ok;
    if (r_.operation == OpAttachTopic && !exists) {
      x.clear();
      x.rec.ID = r_.topicId;
      x.rec.MSGNUMBER = id;
      if (!UppDat(s_, x, UppAdd, ErrRollback)) return inTransaction_ = false, error_ = "A topic cannot be attached.", false;
      wrote = true;
    } else if (r_.operation == OpRemoveTopic && exists) {
      if (!UppDat(s_, x, UppDelete, ErrRollback)) return inTransaction_ = false, error_ = "A topic cannot be removed.", false;
      wrote = true;
    }
  } else {
    const auto status = static_cast<uint8_t>(r_.operation - OpStatusNormal);
    const uint8_t now = mail ? s_.Mail().rec.DUMMY : s_.MsgNmbr().rec.DUMMY;
    if (now != status) {
      if (!HoldRec(s_, f, 0, HoldBy::Position, f.position())) {
        error_ = "The status of a message cannot be changed: it is in use.";
        return false;
      }
      if (mail) s_.Mail().rec.DUMMY = status;
      else s_.MsgNmbr().rec.DUMMY = status;
      if (!UppDat(s_, f, UppChange, ErrRollback)) {
        inTransaction_ = false;
        error_ = "The status of a message cannot be changed.";
        return false;
      }
      wrote = true;
    }
  }
  if (wrote) ++writesInTransaction_;
  return commitIfDue(false);
}

bool CopyMsg::commitIfDue(bool force) {
  if (!inTransaction_) return true;
  if (!force && writesInTransaction_ < 400) return true;
  inTransaction_ = false;
  writesInTransaction_ = 0;
  if (!commitTransaction(s_)) {
    error_ = "The changes cannot be saved.";
    return false;
  }
  return true;
}

bool CopyMsg::finish() {
  if (finished_) return !failed_;
  finished_ = true;
  running_ = false;
  if (failed_) {
    if (inTransaction_) {
      s_.transaction().rollback();
      inTransaction_ = false;
    }
    if (sink_) sink_->discard();
  } else {
    if (!commitIfDue(true)) failed_ = true;
    if (sink_ && !sink_->close()) {
      error_ = sink_->error();
      failed_ = true;
    }
  }
  closeFiles();
  return !failed_;
}

std::string messageCopyText(Session& s, uint32_t id) {
  ExportRequest r;
  r.scope = ScopeClipboard;
  r.message = id;
  CopyMsg run(s, r);
  run.start();
  return run.clipboardText();
}

}  // namespace qb::exporting
