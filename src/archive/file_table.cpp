#include "archive/file_table.h"

#include <cstdio>

#include "archive/paths.h"
#include "archive/record_access.h"

using qb::text::upper1252;

namespace qb::store {

namespace {

constexpr const char* TPS = ".TPS";
constexpr const char* DAT = ".DAT";

// Every file number in use. Numbers 14, 15, 16, 36, 37 and 38 are not
// assigned.
const FileEntry kFiles[] = {
    {1, "Codes", FileDir::Database, TPS, true, false},
    {2, "Forums", FileDir::Cfg, TPS},
    {3, "MsgNmbr", FileDir::Database, TPS},
    {4, "MsgText", FileDir::Database, TPS},
    {5, "Person", FileDir::Database, TPS},
    {6, "Sections", FileDir::Database, TPS},
    {7, "Threads", FileDir::Database, TPS},
    {8, "Control", FileDir::Cfg, TPS},
    {9, "SIndex", FileDir::Database, TPS, true, false},
    {10, "import work file", FileDir::Temp, TPS},
    {11, "foreign file", FileDir::Foreign, ""},
    {12, "foreign file", FileDir::Foreign, ""},
    {13, "Mail", FileDir::Database, TPS},
    {17, "CCR", FileDir::Database, TPS},
    {18, "SaveFile", FileDir::Cfg, TPS, true, false},
    {19, "carbon-copy work file", FileDir::Temp, TPS},
    {20, "foreign file", FileDir::Foreign, ""},
    {21, "foreign file", FileDir::Foreign, ""},
    {22, "reference file", FileDir::Database, DAT, true, false},
    {23, "PLINK", FileDir::Database, TPS},
    {24, "message-identifier work file", FileDir::Temp, TPS},
    {25, "MsgString", FileDir::Database, TPS},
    {26, "task file", FileDir::Cfg, TPS, true, false},
    {27, "file-selection list", FileDir::Cfg, TPS, true, false},
    {28, "WordList", FileDir::WordIndex, DAT},
    {29, "MasIdx", FileDir::WordIndex, TPS},
    {30, "stop-word file", FileDir::Cfg, TPS},
    {31, "foreign file", FileDir::Foreign, ""},
    {32, "Search", FileDir::Temp, TPS, false, true},
    {33, "word-index purge file", FileDir::WordIndex, DAT, true, false},
    {34, "batch file", FileDir::Cfg, TPS, true, false},
    {35, "task-batch link file", FileDir::Cfg, TPS, true, false},
    {39, "word character-set file", FileDir::WordIndex, TPS},
    {40, "foreign file", FileDir::Foreign, ""},
    {41, "task log", FileDir::Cfg, TPS},
    {42, "task log items", FileDir::Cfg, TPS},
    {43, "Neo", FileDir::Cfg, TPS},
};

const std::string kTerminate = "Quillbox will terminate.";

// Opens file `no` (its name already in FileName) in `mode`, reacting to
// every failure as the archive requires. Returns with the file open, or
// throws FatalStop after the message.
void openWithRecovery(Session& s, int no, Access mode, bool probe) {
  const FileEntry& e = *fileEntry(no);
  KeyedFile& f = s.file(no);
  const std::string name = s.FileName;

  // A database or word-index file while no database is current would land
  // in the top directory: refuse it as a missing path.
  if ((e.dir == FileDir::Database || e.dir == FileDir::WordIndex) && s.Dirnamn.empty())
    s.fatal("The path " + directoryPart(name) + " does not exist.\r\n" + kTerminate, "Path Not Found",
            "Check your directory setup in Preferences and run File/Rebuild.");

  // Work files of an import run are thrown away after the run: no need to
  // sync them to disk.
  if (isWorkFile(no)) f.setDurable(false);

  for (int attempt = 0; attempt < 4; ++attempt) {
    Err r = f.open(name, mode);
    switch (r) {
      case Err::Ok:
      case Err::AlreadyOpen:
        return;
      case Err::FileNotFound: {
        Err c = f.create(name);
        if (c != Err::Ok)
          s.fatal("The file " + name + " is missing!\r\n" +
                      "This file cannot be created by the program\r\nand Quillbox will terminate.",
                  "File Open Error");
        f.close();
        continue;
      }
      case Err::PathNotFound:
        s.fatal("The path " + directoryPart(name) + " does not exist.\r\n" + kTerminate, "Path Not Found",
                "Check your directory setup in Preferences and run File/Rebuild.");
      case Err::AccessDenied:
        s.fatal("The file " + name + " cannot be opened!\r\n" + kTerminate, " File Open Error - Access denied",
                "Check your network access rights or the possible need for SHARE or VSHARE");
      case Err::InvalidName:
        s.fatal("The file " + name + " cannot be opened.\r\nThe filename is not a valid DOS file name \r\n" +
                    kTerminate,
                "Invalid File Name Error");
      case Err::DamagedKeys: {
        // Keys written by an earlier key encoding are rebuilt without a
        // word: nothing is damaged.
        if (!f.keysFromOtherVersion())
          s.tell("The file " + name + " cannot be opened\r\n" + "due to corrupted indices.\r\n" +
                   "Automatic rebuild will take place.",
               "File Open Error - Bad keys");
        Err b = f.isOpen() ? f.buildKeys() : Err::NotOpen;
        f.close();
        // A duplicate met while rebuilding leaves that record out of the
        // unique key; the keys are built all the same.
        if (b != Err::Ok && b != Err::DuplicateKey)
          s.fatal("The file " + name + " cannot be rebuilt.\r\n" + kTerminate, "File Rebuild Error");
        continue;
      }
      case Err::LayoutDiffers: {
        if (probe) s.IndexingInProgress = 1;
        bool recreate = e.recreateAlways;
        if (!recreate && e.recreateWhenEmpty) recreate = KeyedFile::storedCount(name) == 0;
        if (!recreate)
          s.fatal("The file " + name + " cannot be opened\r\n" + "as the file definition is incorrect.\r\n" +
                      kTerminate,
                  " File Open Error - Invalid record declaration");
        s.setOpenCount(no, 0);
        f.close();
        KeyedFile::remove(name);
        continue;
      }
      default:
        s.fatal("The file " + name + " cannot be opened.\r\nError no " + std::to_string(errorNumber(r)) + "\r\n" +
                    errorText(r) + "\r\n" + kTerminate,
                "File Open Error");
    }
  }
  s.fatal("The file " + name + " cannot be opened.\r\n" + kTerminate, "File Open Error");
}

// Names the file and, for word-index files in a separate index tree, makes
// sure their directory exists.
void nameFile(Session& s, int no) {
  s.FileName = buildFileName(s, no);
  const FileEntry& e = *fileEntry(no);
  if (e.dir == FileDir::WordIndex && !s.Dirnamn.empty()) {
    std::string idx = trimPath(s.MasIdxPath.empty() ? s.FileDir : s.MasIdxPath);
    if (upper1252(idx) != upper1252(trimPath(s.FileDir)))
      ExistPath(s, 3, 0, true, idx + "/" + s.Dirnamn, "");
  }
}

void closeFile(Session& s, int no) {
  if (KeyedFile* f = s.existingFile(no); f && f->isOpen()) f->close();
}

void foreignAction(Session& s, int no, OpAction action) {
  switch (action) {
    case OpClose:
      s.setOpenCount(no, s.openCount(no) - 1);
      break;
    case OpOpen:
    case OpExclusive:
      if (s.openCount(no) == 0) s.FileName = s.FileTmpName;
      s.setOpenCount(no, s.openCount(no) + 1);
      break;
    default:  // a foreign file is the user's data: never emptied, packed or deleted here
      s.setOpenCount(no, 0);
      break;
  }
}

void applyAction(Session& s, int no, OpAction action) {
  if (isForeignFile(no)) {
    foreignAction(s, no, action);
    return;
  }
  switch (action) {
    case OpClose: {
      int c = s.openCount(no) - 1;
      s.setOpenCount(no, c);
      if (c <= 0) closeFile(s, no);
      break;
    }
    case OpOpen:
    case OpExclusive:
      if (s.openCount(no) == 0) {
        nameFile(s, no);
        openWithRecovery(s, no, action == OpOpen ? Access::ReadWriteShared : Access::ReadWriteExclusive, false);
      }
      s.setOpenCount(no, s.openCount(no) + 1);
      break;
    case OpEmpty:
    case OpPack:
    case OpProbe: {
      nameFile(s, no);
      openWithRecovery(s, no, Access::ReadWriteDenyWrite, action == OpProbe);
      KeyedFile& f = s.file(no);
      if (action == OpEmpty) {
        Err r = f.empty();
        if (r != Err::Ok) {
          f.close();
          s.setOpenCount(no, 0);
          s.fatal("The file " + s.FileName + " cannot be emptied.\r\n" + "Exclusive access not granted \r\n" +
                      kTerminate,
                  "File Empty Error");
        }
      } else if (action == OpPack) {
        Err r = f.pack();
        if (r != Err::Ok)
          s.tell("The file " + s.FileName + " cannot be compacted.\r\n" + errorText(r), "File Pack Error");
      }
      f.close();
      s.setOpenCount(no, 0);
      break;
    }
    case OpCloseNow:
      closeFile(s, no);
      s.setOpenCount(no, 0);
      break;
    case OpDelete:
      s.setOpenCount(no, 0);
      closeFile(s, no);
      s.FileName = buildFileName(s, no);
      KeyedFile::remove(s.FileName);
      break;
    default:
      throw std::logic_error("OP_CLOSE: unknown action " + std::to_string(static_cast<int>(action)));
  }
}

}  // namespace

const FileEntry* fileEntry(int no) {
  for (const auto& e : kFiles)
    if (e.no == no) return &e;
  return nullptr;
}

bool isForeignFile(int no) {
  const FileEntry* e = fileEntry(no);
  return e && e->dir == FileDir::Foreign;
}

bool isWorkFile(int no) { return no == 10 || no == 19 || no == 24; }

bool passedOver(int no) { return no == 28 || no == 29 || no == 30 || no == 32; }

std::string fileBaseName(int no) {
  const FileEntry* e = fileEntry(no);
  char buf[16];
  std::snprintf(buf, sizeof buf, "IDX%03d", no);
  return std::string(buf) + (e ? e->ext : "");
}

std::string buildFileName(Session& s, int no) {
  const FileEntry* e = fileEntry(no);
  if (!e) return {};
  const std::string base = "/" + fileBaseName(no);
  switch (e->dir) {
    case FileDir::Cfg: return trimPath(s.Net) + "/CFG" + base;
    case FileDir::Temp: return trimPath(s.TempDir) + base;
    case FileDir::Foreign: return trimStoredField(s.FileTmpName);
    case FileDir::WordIndex:
      return trimPath(s.MasIdxPath.empty() ? s.FileDir : s.MasIdxPath) + "/" + trimStoredField(s.Dirnamn) +
             base;
    case FileDir::Database: return trimPath(s.FileDir) + "/" + trimStoredField(s.Dirnamn) + base;
  }
  return {};
}

void OP_CLOSE(Session& s, OpAction action, const std::vector<int>& files) {
  int listed = 0;
  for (int no : files) {
    if (no == 0 || ++listed > 10) break;
    if (!fileEntry(no))
      s.fatal("File no " + std::to_string(no) + " not defined!\r\n" + "Quillbox will terminate!", "Program Failure!");
    if (passedOver(no)) continue;
    applyAction(s, no, action);
  }
}

void OP_CLOSE(Session& s, OpAction action, std::initializer_list<int> files) {
  OP_CLOSE(s, action, std::vector<int>(files));
}

void OP_CLOSE(Session& s, OpAction action, const std::vector<FileNo>& files) {
  std::vector<int> numbers;
  numbers.reserve(files.size());
  for (FileNo f : files) numbers.push_back(fileNumber(f));
  OP_CLOSE(s, action, numbers);
}

void OP_CLOSE(Session& s, OpAction action, std::initializer_list<FileNo> files) {
  OP_CLOSE(s, action, std::vector<FileNo>(files));
}

uint8_t UpdREF(Session& s, ErrMode errMode) {
  const Forums& fo = s.Forums().rec;
  REF ref;
  ref.TYPE = fo.TYPE;
  ref.DESCRIPTION = fo.DESCRIPTION;
  ref.TARGETNG = fo.TARGETNG;
  if (fo.TYPE == KindMail) {
    ref.PERSONID = static_cast<int32_t>(fo.PERSONID);
    ref.MAILADDRESS = fo.MAILADDRESS;
    for (std::size_t i = 0; i < fo.ALTADDRESS.size() && !fo.ALTADDRESS[i].blank(); ++i)
      ref.ALTADDRESS[i] = fo.ALTADDRESS[i];
  }
  OP_CLOSE(s, OpOpen, {FileNo::Reference});
  Table<REF>& f = s.REF();
  uint8_t result = 1;
  f.setFileOrder();
  if (f.next() == Err::Ok) {
    if (toImage(f.rec) != toImage(ref)) {
      f.rec = ref;
      result = UppDat(s, f, UppChange, errMode);
    }
  } else {
    f.clear();
    f.rec = ref;
    result = UppDat(s, f, UppAdd, errMode);
  }
  OP_CLOSE(s, OpClose, {FileNo::Reference});
  return result;
}

void createDatabaseDirectory(Session& s) {
  const Forums& fo = s.Forums().rec;
  const std::string dirnamn = "F" + std::to_string(fo.DIRNUMBER);
  if (!ExistPath(s, 3, 0, true, trimPath(s.FileDir) + "/" + dirnamn, "")) {
    s.Dirnamn = dirnamn;
    UpdREF(s, ErrRelease);
  }
  s.selectDatabase(fo);
}

}  // namespace qb::store
