#pragma once
// The record files of the word index and of search: the word list of a
// database (file 28), the stop-word list (file 30, in CFG), the result set
// of the last search (file 32, in the temporary directory) and the
// word-breaking rule sets of a database (file 39). The postings (file 29)
// are kept in a compact form of their own (archive/postings.h).
//
// OP_CLOSE passes over files 28, 29, 30 and 32: their users open and close
// them with openWordFile() below.

#include <cstdint>

#include "archive/session.h"
#include "store/keyed_file.h"
#include "store/record.h"

namespace qb::store {

// ---- WordList: one record per indexed word of a database (file 28) ----------
// THEWORD is the word in its indexed (upper-case) form; WORDCOUNT the number
// of messages that contain it. The count key is not kept current by the
// writes that change counts: it is rebuilt as a whole, and
// FOR:WORDLISTINDEXNEEDSUPDATE = 1 marks it stale.
struct WordList {
  int32_t WORDID = 0;
  FixedString<40> THEWORD;
  int32_t WORDCOUNT = 0;

  template <class V>
  void visit(V& v) {
    v("WORDID", WORDID);
    v("THEWORD", THEWORD);
    v("WORDCOUNT", WORDCOUNT);
  }
  static const Layout& layout();
  static constexpr int by_WordId = 0;
  static constexpr int by_theWord = 1;
  static constexpr int by_WordCount = 2;
};

// ---- StopWords: words never indexed, shared by all databases (file 30) ------
struct StopWords {
  FixedString<40> THEWORD;

  template <class V>
  void visit(V& v) {
    v("THEWORD", THEWORD);
  }
  static const Layout& layout();
  static constexpr int BY_THEWORD = 0;
};

// ---- Search: the result set of the last search (file 32) --------------------
struct Search {
  uint32_t SORT = 0;  // place in the result order, 1, 2, 3, ...
  uint32_t ID = 0;    // the message (MAI:MAILID or MSG:MSGNUMBER)

  template <class V>
  void visit(V& v) {
    v("SORT", SORT);
    v("ID", ID);
  }
  static const Layout& layout();
  static constexpr int SortKey = 0;
  static constexpr int IdKey = 1;
};

// ---- WordChars: word-breaking rule sets of a database (file 39) -------------
// One row per set and character code 0-255.
struct WordChars {
  FixedString<40> SETNAME;
  uint8_t ID = 0;
  uint8_t STARTWORD = 0;
  uint8_t INWORD = 0;
  uint8_t ENDWORD = 0;

  template <class V>
  void visit(V& v) {
    v("SETNAME", SETNAME);
    v("ID", ID);
    v("STARTWORD", STARTWORD);
    v("INWORD", INWORD);
    v("ENDWORD", ENDWORD);
  }
  static const Layout& layout();
  static constexpr int BY_SETNAME = 0;
};

Table<WordList>& wordListFile(Session& s);
Table<StopWords>& stopWordFile(Session& s);
Table<Search>& searchFile(Session& s);
Table<WordChars>& wordCharsFile(Session& s);

// Opens file 28, 30, 32 or 39 of the current database (creating it, and the
// word-index directory, when missing) in the given mode. A file whose layout
// differs is recreated when it holds no records (the result set: always).
// Returns the store's error: AccessDenied while an indexing run holds the
// file, in which case the session's IndexingInProgress becomes 1. A file
// that is already open stays open (Ok).
Err openWordFile(Session& s, int no, Access mode = Access::ReadWriteShared);
void closeWordFile(Session& s, int no);

}  // namespace qb::store
