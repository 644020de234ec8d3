#include "archive/word_files.h"

#include <filesystem>
#include <memory>

#include "archive/file_table.h"

namespace qb::store {

const Layout& WordList::layout() {
  static const Layout l = declareLayout<WordList>(
      "WordList", "WOR", 48, false,
      {key("by_WordId", {asc("WORDID")}, Unique | Primary), key("by_theWord", {asc("THEWORD")}, Unique),
       key("by_WordCount", {asc("WORDCOUNT")}, Dups)});
  return l;
}

const Layout& StopWords::layout() {
  static const Layout l =
      declareLayout<StopWords>("StopWords", "STO", 40, false, {key("BY_THEWORD", {asc("THEWORD")}, Unique)});
  return l;
}

const Layout& Search::layout() {
  static const Layout l = declareLayout<Search>(
      "Search", "SEA", 8, false,
      {key("SortKey", {asc("SORT")}, Unique | Primary), key("IdKey", {asc("ID")}, Unique)});
  return l;
}

const Layout& WordChars::layout() {
  static const Layout l = declareLayout<WordChars>(
      "WordChars", "WD", 44, false, {key("BY_SETNAME", {asc("SETNAME"), asc("ID")}, Unique | NoCase)});
  return l;
}

namespace {
FileRegistration wordListReg(FileNo::WordList, [] { return std::make_unique<Table<WordList>>(); });
FileRegistration stopWordReg(FileNo::StopWords, [] { return std::make_unique<Table<StopWords>>(); });
FileRegistration searchReg(FileNo::Search, [] { return std::make_unique<Table<Search>>(); });
FileRegistration wordCharsReg(FileNo::WordCharset, [] { return std::make_unique<Table<WordChars>>(); });
}  // namespace

Table<WordList>& wordListFile(Session& s) { return s.table<WordList>(28); }
Table<StopWords>& stopWordFile(Session& s) { return s.table<StopWords>(30); }
Table<Search>& searchFile(Session& s) { return s.table<Search>(32); }
Table<WordChars>& wordCharsFile(Session& s) { return s.table<WordChars>(39); }

Err openWordFile(Session& s, int no, Access mode) {
  KeyedFile& f = s.file(no);
  if (f.isOpen()) return Err::Ok;
  const std::string name = buildFileName(s, no);
  if (name.empty()) return Err::InvalidName;
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(name).parent_path(), ec);
  for (int attempt = 0; attempt < 3; ++attempt) {
    Err r = f.open(name, mode);
    switch (r) {
      case Err::Ok:
      case Err::AlreadyOpen:
        return Err::Ok;
      case Err::FileNotFound:
        if (Err c = f.create(name); c != Err::Ok && c != Err::FileExists) return c;
        continue;
      case Err::DamagedKeys: {
        Err b = f.buildKeys();
        f.close();
        if (b != Err::Ok && b != Err::DuplicateKey) return b;
        continue;
      }
      case Err::LayoutDiffers:
        if (no != 32 && KeyedFile::storedCount(name) != 0) return r;
        KeyedFile::remove(name);
        continue;
      case Err::AccessDenied:
        s.IndexingInProgress = 1;
        return r;
      default:
        return r;
    }
  }
  return Err::IoError;
}

void closeWordFile(Session& s, int no) {
  if (KeyedFile* f = s.existingFile(no); f && f->isOpen()) f->close();
}

}  // namespace qb::store
