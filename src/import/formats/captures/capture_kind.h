#pragma once
// Deciding once per file whether a capture holds forum messages or mail, by
// scanning it from the top:
//
//  - OzCIS and OzWin: blank lines, and lines that begin neither with "#:"
//    nor with "Date:  ", are passed over. At the first "#:" line the file
//    holds forum messages when the second line after it begins with "Sb:";
//    at the first "Date:  " line it holds mail when the next line begins with
//    "MgTo:" or "From:". The scan stops at that first line either way.
//  - TAPCIS, AUTOSIG and GoldenCompass: at the first "#:" line the file holds
//    mail when the chosen target is a mail database, else forum messages.
//  - NavCIS Save format: four consecutive lines beginning with "Subject:  ",
//    "   From:  ", "     To:  " and then "   Date:  " (mail) or
//    "  Forum:  " (forum).
//
// The scanner is fed one line at a time so that a long file can be scanned
// over several steps.

#include <string>
#include <string_view>

#include "import/formats/captures/capture_format.h"

namespace qb::import::captures {

class FileKindScanner {
 public:
  FileKindScanner(CaptureFormat f, bool mailTarget) : format_(f), mailTarget_(mailTarget) {}

  // Takes the next line; true when the scan has come to its decision.
  bool feed(std::string_view line);
  // The decision (Unknown while undecided, or when the file ended first).
  FileKind kind() const { return kind_; }
  bool decided() const { return done_; }

 private:
  bool decide(FileKind k) {
    kind_ = k;
    done_ = true;
    return true;
  }

  CaptureFormat format_;
  bool mailTarget_;
  FileKind kind_ = FileKind::Unknown;
  bool done_ = false;
  // OzCIS/OzWin: lines still to pass after the start line, and what it was.
  int wait_ = -1;
  bool forumStart_ = false;
  // NavCIS: how many lines of the four-line pattern have been matched.
  int matched_ = 0;
};

}  // namespace qb::import::captures
