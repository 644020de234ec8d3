#pragma once
// Work records of an import run, in files of the temporary directory:
// NHR (one per converted message, with its text memo), CCT (further
// recipients of a mail) and TID (the message-identifier string met for each
// number given to a newsgroup message or to a message it replies to).

#include <cstdint>

#include "store/record.h"

namespace qb::import {

using store::FixedString;
using store::Layout;

struct NHR {  // file 10, 576 bytes + memo MSGTEXT
  uint32_t INTERNAL = 0;   // FOR:ID of the target database
  uint32_t MSGNUMBER = 0;  // forum message number, or a number from the run's counter
  uint32_t REFNUMBER = 0;  // number of the message replied to
  FixedString<100> FOR_DESCRIPTION;
  uint32_t SECTIONNUMBER = 0;
  FixedString<100> SEC_DESCRIPTION;
  FixedString<100> HEADING;
  FixedString<60> S_CISADRESS;
  FixedString<60> S_NAME;
  FixedString<60> R_CISADRESS;
  FixedString<60> R_NAME;
  uint8_t DUMMY = 0;
  int32_t DATE = 0;
  int32_t TIME = 0;
  uint8_t MAILTYPE = 0;  // mail: 1 incoming, 2 outgoing
  FixedString<2> RECIPTYPE;
  int32_t IMPDATE = 0;
  int32_t IMPTIME = 0;

  template <class V>
  void visit(V& v) {
    v("INTERNAL", INTERNAL);
    v("MSGNUMBER", MSGNUMBER);
    v("REFNUMBER", REFNUMBER);
    v("FOR_DESCRIPTION", FOR_DESCRIPTION);
    v("SECTIONNUMBER", SECTIONNUMBER);
    v("SEC_DESCRIPTION", SEC_DESCRIPTION);
    v("HEADING", HEADING);
    v("S_CISADRESS", S_CISADRESS);
    v("S_NAME", S_NAME);
    v("R_CISADRESS", R_CISADRESS);
    v("R_NAME", R_NAME);
    v("DUMMY", DUMMY);
    v("DATE", DATE);
    v("TIME", TIME);
    v("MAILTYPE", MAILTYPE);
    v("RECIPTYPE", RECIPTYPE);
    v("IMPDATE", IMPDATE);
    v("IMPTIME", IMPTIME);
  }
  static const Layout& layout();
  static constexpr int MSGKEY = 0;
};

struct CCT {  // file 19
  uint32_t MAILID = 0;
  FixedString<40> R_NAME;
  FixedString<60> R_CISADRESS;
  FixedString<2> RECIPTYPE;
  template <class V>
  void visit(V& v) {
    v("MAILID", MAILID);
    v("R_NAME", R_NAME);
    v("R_CISADRESS", R_CISADRESS);
    v("RECIPTYPE", RECIPTYPE);
  }
  static const Layout& layout();
  static constexpr int IDKEY = 0;
};

struct TID {  // file 24
  FixedString<60> IDSTRING;
  uint32_t MSGNUMBER = 0;
  template <class V>
  void visit(V& v) {
    v("IDSTRING", IDSTRING);
    v("MSGNUMBER", MSGNUMBER);
  }
  static const Layout& layout();
  static constexpr int IDKEY = 0;
};

}  // namespace qb::import
