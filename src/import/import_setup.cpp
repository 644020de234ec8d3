#include "import/import_setup.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "archive/config.h"
#include "archive/file_numbers.h"
#include "archive/file_table.h"
#include "archive/maildb.h"
#include "archive/record_access.h"
#include "import/import_types.h"
#include "import/outlook_texts.h"

namespace qb::import {

namespace {

PreparedImport failed(ImportProblem p, std::string detail) {
  PreparedImport r;
  r.problem = p;
  r.detail = std::move(detail);
  return r;
}

}  // namespace

uint32_t topicId(store::Session& s, const std::string& name) {
  store::OP_CLOSE(s, store::OpOpen, {store::FileNo::Codes, store::FileNo::Control});
  auto& codes = s.Codes();
  codes.clear();
  codes.rec.TYPE = 2;
  codes.rec.INDEX = name;
  uint32_t id = 0;
  if (codes.get(store::Codes::ClassKey) == store::Err::Ok) {
    id = codes.rec.ID;
  } else if (store::beginTransaction(s, {&codes, &s.Control()})) {
    id = store::NextNr(s);
    codes.clear();
    codes.rec.TYPE = 2;
    codes.rec.INDEX = name;
    codes.rec.ID = id;
    if (id == 0 || !store::UppDat(s, codes, store::UppAdd, store::ErrRollback) || !store::commitTransaction(s))
      id = 0;
  }
  store::OP_CLOSE(s, store::OpClose, {store::FileNo::Codes, store::FileNo::Control});
  return id;
}

ImportProblem checkImportOrder(ImportOrder& order, std::string& detail) {
  ImportRequest& req = order.request;
  auto problem = [&detail](ImportProblem p, const std::string& what) {
    detail = what;
    return p;
  };
  const ImportType* type = findImportType(order.format);
  if (!type) return problem(ImportProblem::UnknownFormat, order.format);
  if (!type->available()) return problem(ImportProblem::FormatNotAvailable, type->name);
  req.typeName = type->name;
  const bool outlook = type->id == ImportTypeId::OutlookMail;
  if (!req.outlookFolders.empty() && !outlook) return problem(ImportProblem::FoldersNotForFormat, type->name);
  if (req.selectionMethod == 2 ? req.files.empty() : req.sourcePath.empty())
    return problem(outlook ? ImportProblem::NoDataFile : ImportProblem::NoSelection, {});
  if (outlook && req.selectionMethod == 2) {
    // Outlook mail is read from its data file: a file that cannot be read
    // stops the import before it starts, as Outlook that cannot start did.
    for (const auto& f : req.files) {
      std::FILE* in = std::fopen(f.c_str(), "rb");
      if (!in) return problem(ImportProblem::DataFileUnreadable, f + "\r\n" + std::strerror(errno));
      std::fclose(in);
    }
  }
  if (req.allCimFiles && !isCimType(req.typeName)) return problem(ImportProblem::AllCimFilesNotCim, type->name);
  if (req.allCimFiles && req.selectionMethod == 2) return problem(ImportProblem::AllCimFilesWithoutDirectory, {});
  if (req.selectionMethod != 2) {
    std::error_code ec;
    if (!std::filesystem::is_directory(req.sourcePath, ec)) return problem(ImportProblem::NoDirectory, req.sourcePath);
    req.sourcePath = std::filesystem::absolute(req.sourcePath).lexically_normal().string();
  }
  if (!order.topic.empty() && req.mailDatabase.empty())
    return problem(ImportProblem::TopicWithoutMailDatabase, order.topic);
  if (req.kinds == KindMail) req.messageKind = 2;
  if (req.kinds == KindForum) req.messageKind = 1;
  return problem(ImportProblem::None, {});
}

PreparedImport prepareImport(store::Session& s, ImportOrder order) {
  ImportRequest& req = order.request;
  std::string detail;
  if (ImportProblem p = checkImportOrder(order, detail); p != ImportProblem::None) return failed(p, detail);
  store::Konfig(s, store::KonfigAction::LoadGeneral);
  store::Konfig(s, store::KonfigAction::LoadDisplay);
  store::SpeedVal(s, store::SpeedAction::Compute);
  if (!req.mailDatabase.empty()) {
    store::Forums mdb;
    if (!store::findMailDatabase(s, req.mailDatabase, mdb)) return failed(ImportProblem::NoMailDatabase, req.mailDatabase);
    req.mailDatabase = mdb.DESCRIPTION.str();
    if (!order.topic.empty()) {
      const auto current = s.currentDatabase();
      s.selectDatabase(mdb);
      req.mailTopic = topicId(s, order.topic);
      s.restoreDatabase(current);
      if (req.mailTopic == 0) return failed(ImportProblem::TopicUnusable, order.topic);
    }
  }
  PreparedImport r;
  r.run = std::make_unique<ImportRun>(s, std::move(req));
  return r;
}

std::string importProblemText(ImportProblem problem, const std::string& detail) {
  switch (problem) {
    case ImportProblem::None: return {};
    case ImportProblem::UnknownFormat: return "there is no source format \"" + detail + "\"";
    case ImportProblem::FormatNotAvailable: return "the format " + detail + " is not available";
    case ImportProblem::NoSelection: return "choose a directory or files to import";
    case ImportProblem::NoDirectory: return "there is no directory " + detail;
    case ImportProblem::TopicWithoutMailDatabase: return "a topic needs a mail database";
    case ImportProblem::NoMailDatabase: return "there is no mail database \"" + detail + "\"";
    case ImportProblem::TopicUnusable: return "the topic \"" + detail + "\" cannot be used";
    case ImportProblem::FoldersNotForFormat:
      return std::string("a folder selection is for \"") + importTypeName(ImportTypeId::OutlookMail) + "\" only, not " +
             detail;
    case ImportProblem::NoDataFile: return std::string(outlook::kNotInitialized) + "\r\n" + outlook::kNoDataFile;
    case ImportProblem::DataFileUnreadable: return std::string(outlook::kNotInitialized) + "\r\n" + detail;
    case ImportProblem::AllCimFilesNotCim:
      return "every file of a directory is taken for WinCIM, DOSCIM and CSNav only, not for " + detail;
    case ImportProblem::AllCimFilesWithoutDirectory: return "every file of a directory needs a directory";
  }
  return {};
}

}  // namespace qb::import
