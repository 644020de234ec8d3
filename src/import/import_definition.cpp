#include "import/import_definition.h"

#include "archive/batch_records.h"
#include "archive/file_table.h"
#include "archive/maildb.h"
#include "archive/record_access.h"
#include "import/import_types.h"
#include "text/strings.h"

namespace qb::import {

namespace {

using store::Batches;
using store::FileNo;
using store::FileSelection;
using store::Forums;

// Opens the files of the definitions by count for the life of the object.
struct DefinitionFiles {
  store::Session& s;
  explicit DefinitionFiles(store::Session& s) : s(s) {
    store::OP_CLOSE(s, store::OpOpen, {FileNo::Batches, FileNo::FileSelection});
  }
  ~DefinitionFiles() { store::OP_CLOSE(s, store::OpClose, {FileNo::Batches, FileNo::FileSelection}); }
};

// The Forums record of `id`; false when there is none.
bool forumById(store::Session& s, uint32_t id, Forums& out) {
  store::OP_CLOSE(s, store::OpOpen, {FileNo::Forums});
  auto& f = s.Forums();
  f.clear();
  f.rec.ID = id;
  const bool found = f.get(Forums::ForumKey) == store::Err::Ok;
  if (found) out = f.rec;
  store::OP_CLOSE(s, store::OpClose, {FileNo::Forums});
  return found;
}

// The forum (not mail) database of that name, any letter case; 0 when none.
uint32_t forumByName(store::Session& s, const std::string& name) {
  store::OP_CLOSE(s, store::OpOpen, {FileNo::Forums});
  auto& f = s.Forums();
  f.clear();
  f.rec.DESCRIPTION = text::trim(name);
  uint32_t id = 0;
  if (f.get(Forums::AlphaKey) == store::Err::Ok && f.rec.TYPE != store::KindMail) id = f.rec.ID;
  store::OP_CLOSE(s, store::OpClose, {FileNo::Forums});
  return id;
}

// The name of topic `id` of mail database `mdb`; empty when it is gone.
std::string topicName(store::Session& s, const Forums& mdb, uint32_t id) {
  const auto current = s.currentDatabase();
  s.selectDatabase(mdb);
  store::OP_CLOSE(s, store::OpOpen, {FileNo::Codes});
  auto& codes = s.Codes();
  std::string name;
  codes.clear();
  codes.rec.TYPE = 2;
  if (codes.setAt(store::Codes::ClassKey, 1) == store::Err::Ok)
    while (codes.next() == store::Err::Ok && codes.rec.TYPE == 2)
      if (codes.rec.ID == id) {
        name = codes.rec.INDEX.str();
        break;
      }
  store::OP_CLOSE(s, store::OpClose, {FileNo::Codes});
  s.restoreDatabase(current);
  return name;
}

// The selection lines of a definition: (type, text).
using Lines = std::vector<std::pair<uint8_t, std::string>>;

Lines selectionLines(const ImportRequest& req, const std::string& forumName, std::size_t pathRoom) {
  Lines lines;
  if (req.selectionMethod != 2 && req.sourcePath.size() > pathRoom) lines.emplace_back(store::LineLongPath, req.sourcePath);
  if (!req.pattern.empty()) lines.emplace_back(store::LineMasks, req.pattern);
  if (req.selectionMethod == 2)
    for (const auto& f : req.files) lines.emplace_back(store::LineFile, f);
  if (!req.outlookFolders.empty()) lines.emplace_back(store::LineFolders, req.outlookFolders);
  if (!forumName.empty()) lines.emplace_back(store::LineForumName, forumName);
  if (req.allCimFiles) lines.emplace_back(store::LineAllCim, "1");
  return lines;
}

}  // namespace

uint32_t saveImportDefinition(store::Session& s, ImportOrder order, const std::string& description,
                              std::string& problem) {
  std::string detail;
  if (ImportProblem p = checkImportOrder(order, detail); p != ImportProblem::None) {
    problem = importProblemText(p, detail);
    return 0;
  }
  const ImportRequest& req = order.request;
  const ImportType* type = findImportType(req.typeName);
  Batches b;
  b.TYPE = store::BatchImport;
  b.DESCRIPTION = description;
  b.FILETYPE = static_cast<uint8_t>(type->number());
  b.SELMETHOD = static_cast<uint8_t>(req.selectionMethod);
  if (req.selectionMethod != 2 && req.sourcePath.size() <= b.IMPPATH.size()) b.IMPPATH = req.sourcePath;
  b.MAILMSG = (req.kinds & KindMail) ? 1 : 0;
  b.FORUMMSG = (req.kinds & KindForum) ? 1 : 0;
  b.NEWSGROUPMSG = (req.kinds & KindNews) ? 1 : 0;
  b.MSGFILTER = req.createOnly ? store::FilterCreateOnly : store::FilterAllMessages;
  b.ALLOWREIMP = req.allowReimport ? 1 : 0;
  if (!req.mailDatabase.empty()) {
    Forums mdb;
    if (!store::findMailDatabase(s, req.mailDatabase, mdb)) {
      problem = importProblemText(ImportProblem::NoMailDatabase, req.mailDatabase);
      return 0;
    }
    b.MAILBOX = mdb.ID;
    if (!order.topic.empty()) {
      const auto current = s.currentDatabase();
      s.selectDatabase(mdb);
      b.MAILTOPIC = topicId(s, order.topic);
      s.restoreDatabase(current);
      if (b.MAILTOPIC == 0) {
        problem = importProblemText(ImportProblem::TopicUnusable, order.topic);
        return 0;
      }
    }
  }
  // A forum already in the archive is kept by identifier; a new one by name.
  std::string newForum;
  if (!req.forumName.empty()) {
    b.DATABASE = forumByName(s, req.forumName);
    if (b.DATABASE == 0) newForum = req.forumName;
  }
  const Lines lines = selectionLines(req, newForum, b.IMPPATH.size());
  for (const auto& [kind, text] : lines)
    if (text.size() > FileSelection{}.NAME.size()) {
      problem = "the name " + text + " is too long to be saved";
      return 0;
    }

  DefinitionFiles open(s);
  store::OP_CLOSE(s, store::OpOpen, {FileNo::Control});
  auto& batches = store::batchFile(s);
  auto& selection = store::fileSelectionFile(s);
  uint32_t id = 0;
  if (store::beginTransaction(s, {&batches, &selection, &s.Control()})) {
    id = store::NextNr(s);
    bool ok = id != 0;
    if (ok) {
      batches.clear();
      batches.rec = b;
      batches.rec.ID = id;
      ok = store::UppDat(s, batches, store::UppAdd, store::ErrRollback);
    }
    uint32_t seq = 0;
    for (std::size_t i = 0; ok && i < lines.size(); ++i) {
      selection.clear();
      selection.rec.BATCHID = id;
      selection.rec.TYPE = lines[i].first;
      selection.rec.SEQ = ++seq;
      selection.rec.NAME = lines[i].second;
      ok = store::UppDat(s, selection, store::UppAdd, store::ErrRollback);
    }
    if (!ok || !store::commitTransaction(s)) id = 0;
  }
  store::OP_CLOSE(s, store::OpClose, {FileNo::Control});
  if (id == 0) problem = "the import definition could not be saved";
  return id;
}

bool loadImportDefinition(store::Session& s, uint32_t batchId, ImportOrder& order, std::string& problem) {
  Batches b;
  Lines lines;
  {
    DefinitionFiles open(s);
    auto& batches = store::batchFile(s);
    batches.clear();
    batches.rec.ID = batchId;
    if (batches.get(Batches::IdKey) != store::Err::Ok) {
      problem = "the import definition " + std::to_string(batchId) + " no longer exists";
      return false;
    }
    b = batches.rec;
    auto& selection = store::fileSelectionFile(s);
    selection.clear();
    selection.rec.BATCHID = batchId;
    if (selection.setAt(FileSelection::BatchKey, 1) == store::Err::Ok)
      while (selection.next() == store::Err::Ok && selection.rec.BATCHID == batchId)
        lines.emplace_back(selection.rec.TYPE, selection.rec.NAME.str());
  }
  order = ImportOrder{};
  ImportRequest& req = order.request;
  const ImportType* type = importTypeByNumber(b.FILETYPE);
  order.format = type ? type->name : std::to_string(b.FILETYPE);
  req.selectionMethod = b.SELMETHOD;
  req.sourcePath = b.IMPPATH.str();
  req.kinds = (b.MAILMSG ? KindMail : 0u) | (b.FORUMMSG ? KindForum : 0u) | (b.NEWSGROUPMSG ? KindNews : 0u);
  req.createOnly = b.MSGFILTER == store::FilterCreateOnly;
  req.allowReimport = b.ALLOWREIMP != 0;
  for (const auto& [kind, text] : lines) {
    switch (kind) {
      case store::LineFile: req.files.push_back(text); break;
      case store::LineMasks: req.pattern = text; break;
      case store::LineFolders: req.outlookFolders = text; break;
      case store::LineForumName: req.forumName = text; break;
      case store::LineLongPath: req.sourcePath = text; break;
      case store::LineAllCim: req.allCimFiles = true; break;
      default: break;
    }
  }
  if (b.DATABASE != 0) {
    Forums f;
    if (!forumById(s, b.DATABASE, f)) {
      problem = "The forum database of the import definition \"" + b.DESCRIPTION.str() + "\" no longer exists!";
      return false;
    }
    req.forumName = f.DESCRIPTION.str();
  }
  if (b.MAILBOX != 0) {
    Forums mdb;
    if (!forumById(s, b.MAILBOX, mdb) || mdb.TYPE != store::KindMail) {
      problem = "The mail database of the import definition \"" + b.DESCRIPTION.str() + "\" no longer exists!";
      return false;
    }
    req.mailDatabase = mdb.DESCRIPTION.str();
    if (b.MAILTOPIC != 0) {
      order.topic = topicName(s, mdb, b.MAILTOPIC);
      if (order.topic.empty()) {
        problem = "The topic of the import definition \"" + b.DESCRIPTION.str() + "\" no longer exists!";
        return false;
      }
    }
  }
  return true;
}

std::vector<std::string> mailDatabaseTopics(store::Session& s, const std::string& mailDatabase) {
  std::vector<std::string> names;
  Forums mdb;
  if (mailDatabase.empty() || !store::findMailDatabase(s, mailDatabase, mdb)) return names;
  const auto current = s.currentDatabase();
  s.selectDatabase(mdb);
  store::OP_CLOSE(s, store::OpOpen, {FileNo::Codes});
  auto& codes = s.Codes();
  codes.clear();
  codes.rec.TYPE = 2;
  if (codes.setAt(store::Codes::ClassKey, 1) == store::Err::Ok)
    while (codes.next() == store::Err::Ok && codes.rec.TYPE == 2) names.push_back(codes.rec.INDEX.str());
  store::OP_CLOSE(s, store::OpClose, {FileNo::Codes});
  s.restoreDatabase(current);
  return names;
}

std::vector<DefinitionRow> listImportDefinitions(store::Session& s) {
  std::vector<DefinitionRow> rows;
  DefinitionFiles open(s);
  auto& batches = store::batchFile(s);
  batches.clear();
  if (batches.set(Batches::IdKey) != store::Err::Ok) return rows;
  while (batches.next() == store::Err::Ok) {
    const ImportType* t = importTypeByNumber(batches.rec.FILETYPE);
    rows.push_back({batches.rec.ID, batches.rec.DESCRIPTION.str(), t ? t->name : ""});
  }
  return rows;
}

bool deleteImportDefinition(store::Session& s, uint32_t batchId) {
  DefinitionFiles open(s);
  auto& batches = store::batchFile(s);
  auto& selection = store::fileSelectionFile(s);
  if (!store::beginTransaction(s, {&batches, &selection})) return false;
  batches.clear();
  batches.rec.ID = batchId;
  bool ok = batches.get(Batches::IdKey) == store::Err::Ok && store::UppDat(s, batches, store::UppDelete, store::ErrRollback);
  while (ok) {
    selection.clear();
    selection.rec.BATCHID = batchId;
    if (selection.setAt(FileSelection::BatchKey, 1) != store::Err::Ok || selection.next() != store::Err::Ok ||
        selection.rec.BATCHID != batchId)
      break;
    ok = store::UppDat(s, selection, store::UppDelete, store::ErrRollback);
  }
  if (!ok) {
    if (s.transaction().active()) s.transaction().rollback();
    return false;
  }
  return store::commitTransaction(s);
}

}  // namespace qb::import
