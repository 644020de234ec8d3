#pragma once
// The numbers of the archive's files. Every archive, work and configuration
// file has a number from 1 to 43 (its name on disk is "IDX" + three digits +
// extension, see file_table.h); code names a file by its FileNo, never by
// the bare number. Numbers 14, 15, 16, 36, 37 and 38 are not assigned.

namespace qb::store {

enum class FileNo : int {
  Codes = 1,               // topics, categories and other code lists
  Forums = 2,              // the databases (forums, newsgroups, mail databases)
  MsgNmbr = 3,             // message headers
  MsgText = 4,             // message texts
  Person = 5,              // persons
  Sections = 6,            // sections
  Threads = 7,             // threads
  Control = 8,             // settings and counters
  SIndex = 9,              // section index
  ImportWork = 10,         // import work file: one record per converted message
  Foreign11 = 11,          // a foreign file read by a converter
  Foreign12 = 12,          // a foreign file read by a converter
  Mail = 13,               // mail headers
  CCR = 17,                // carbon-copy recipients
  SaveFile = 18,           // messages already imported
  CarbonCopyWork = 19,     // import work file of carbon-copy recipients
  Foreign20 = 20,          // a foreign file read by a converter
  Foreign21 = 21,          // a foreign file read by a converter
  Reference = 22,          // the database's reference record (REF)
  PLINK = 23,              // person links
  MessageIdWork = 24,      // import work file of message identifiers
  MsgString = 25,          // message identifiers
  Tasks = 26,              // scheduled tasks
  FileSelection = 27,      // file-selection lists
  WordList = 28,           // word index: word list
  MasIdx = 29,             // word index: master index
  StopWords = 30,          // word index: stop words
  Foreign31 = 31,          // a foreign file read by a converter
  Search = 32,             // search results
  WordIndexPurge = 33,     // word index: purge file
  Batches = 34,            // import batches
  TaskBatchLinks = 35,     // links between tasks and batches
  WordCharset = 39,        // word index: character set
  Foreign40 = 40,          // a foreign file read by a converter
  TaskLog = 41,            // task log
  TaskLogItems = 42,       // task log items
  Neo = 43,                // start-up state
};

constexpr int fileNumber(FileNo f) { return static_cast<int>(f); }

}  // namespace qb::store
