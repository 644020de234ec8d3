#pragma once
// The records of the archive files: the database list, sections, threads,
// message headers and texts, message identifier strings, topics, the import
// register, persons and their aliases, mail, carbon-copy recipients, the
// control file, the numbered texts, and the database reference record.
//
// Members are named after the record fields without their prefix
// (FOR:DESCRIPTION is Forums::DESCRIPTION); key index constants are named
// after the keys (MSG:IdKey is MsgNmbr::IdKey) in declaration order.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "store/record.h"

namespace qb::store {

// Keep status held in the DUMMY bytes.
enum KeepStatus : uint8_t { StatusNormal = 0, StatusKeep = 1, StatusDelete = 2 };

// Database kinds (FOR:TYPE).
enum ForumKind : uint8_t { KindForum = 1, KindMail = 2, KindNewsgroup = 3 };

// "Forum", "Mail", "Newsgroup"; empty for another value.
const char* kindName(uint8_t type);

// ---- Forums: one record per database (file 2) ------------------------------
struct Forums {
  uint32_t ID = 0;
  FixedString<100> DESCRIPTION;
  uint32_t REDIRNOW = 0;
  uint32_t REDIRBEFORE = 0;
  uint8_t TARGETNG = 0;
  uint32_t DIRNUMBER = 0;
  uint8_t NODIR = 0;
  uint8_t TYPE = 0;
  uint8_t NOIMPORT = 0;
  uint32_t MSGCOUNT = 0;
  uint8_t COUNTFLAG = 0;
  uint8_t DUMMY = 0;
  int32_t CREATED = 0;
  int32_t LOWDATE = 0;
  FixedString<60> MAILADDRESS;
  uint32_t PERSONID = 0;
  std::array<FixedString<60>, 10> ALTADDRESS;
  uint32_t LASTMSGID = 0;
  uint32_t RECSLASTTIME = 0;
  int32_t WORDLISTINDEXNEEDSUPDATE = 0;
  uint8_t INDEXTYPE = 0;

  template <class V>
  void visit(V& v) {
    v("ID", ID);
    v("DESCRIPTION", DESCRIPTION);
    v("REDIRNOW", REDIRNOW);
    v("REDIRBEFORE", REDIRBEFORE);
    v("TARGETNG", TARGETNG);
    v("DIRNUMBER", DIRNUMBER);
    v("NODIR", NODIR);
    v("TYPE", TYPE);
    v("NOIMPORT", NOIMPORT);
    v("MSGCOUNT", MSGCOUNT);
    v("COUNTFLAG", COUNTFLAG);
    v("DUMMY", DUMMY);
    v("CREATED", CREATED);
    v("LOWDATE", LOWDATE);
    v("MAILADDRESS", MAILADDRESS);
    v("PERSONID", PERSONID);
    v("ALTADDRESS", ALTADDRESS);
    v("LASTMSGID", LASTMSGID);
    v("RECSLASTTIME", RECSLASTTIME);
    v("WORDLISTINDEXNEEDSUPDATE", WORDLISTINDEXNEEDSUPDATE);
    v("INDEXTYPE", INDEXTYPE);
  }
  static const Layout& layout();
  static constexpr int ForumKey = 0;
  static constexpr int AlphaKey = 1;
  static constexpr int DirKey = 2;
  static constexpr int TypeKey = 3;
};

// ---- Sections: forum sections and newsgroups of a database (file 6) ---------
struct Sections {
  uint32_t SECTIONNUMBER = 0;
  uint32_t SECSYSID = 0;
  FixedString<100> DESCRIPTION;
  uint32_t MSGCOUNT = 0;
  uint8_t DUMMY = 0;

  template <class V>
  void visit(V& v) {
    v("SECTIONNUMBER", SECTIONNUMBER);
    v("SECSYSID", SECSYSID);
    v("DESCRIPTION", DESCRIPTION);
    v("MSGCOUNT", MSGCOUNT);
    v("DUMMY", DUMMY);
  }
  static const Layout& layout();
  static constexpr int SysIdKey = 0;
  static constexpr int SectionKey = 1;
  static constexpr int DescKey = 2;
};

// ---- Threads: one record per thread (file 7) --------------------------------
// HEADING is the 100-character subject, stored as ALPHA (its first 10
// characters, the sort prefix) followed by BETA (characters 11 to 100). It is
// always written as one value through setHeading().
struct Threads {
  uint32_t THREADNUMBER = 0;
  uint32_t SECSYSID = 0;
  FixedString<10> ALPHA;
  FixedString<90> BETA;
  uint32_t MSGCOUNT = 0;
  uint8_t DUMMY = 0;

  std::string heading() const;           // the subject without trailing blanks
  void setHeading(std::string_view s);   // cut to 100 characters, split into ALPHA and BETA

  template <class V>
  void visit(V& v) {
    v("THREADNUMBER", THREADNUMBER);
    v("SECSYSID", SECSYSID);
    v("ALPHA", ALPHA);
    v("BETA", BETA);
    v("MSGCOUNT", MSGCOUNT);
    v("DUMMY", DUMMY);
  }
  static const Layout& layout();
  static constexpr int ThreadKey = 0;
  static constexpr int SecKey = 1;
  static constexpr int AlphaKey = 2;
  static constexpr int StatusKey = 3;
};

// ---- MsgNmbr: one header per forum or newsgroup message (file 3) ------------
struct MsgNmbr {
  uint32_t MSGNUMBER = 0;
  uint32_t SECSYSID = 0;
  uint32_t REFNUMBER = 0;
  uint32_t THREADNUMBER = 0;
  FixedString<10> THREADALPHA;
  uint32_t FROMID = 0;
  FixedString<10> FROMALPHA;
  uint32_t TOID = 0;
  FixedString<10> TOALPHA;
  int32_t DATE = 0;
  uint8_t DUMMY = 0;
  uint8_t FG = 0;

  template <class V>
  void visit(V& v) {
    v("MSGNUMBER", MSGNUMBER);
    v("SECSYSID", SECSYSID);
    v("REFNUMBER", REFNUMBER);
    v("THREADNUMBER", THREADNUMBER);
    v("THREADALPHA", THREADALPHA);
    v("FROMID", FROMID);
    v("FROMALPHA", FROMALPHA);
    v("TOID", TOID);
    v("TOALPHA", TOALPHA);
    v("DATE", DATE);
    v("DUMMY", DUMMY);
    v("FG", FG);
  }
  static const Layout& layout();
  static constexpr int IdKey = 0;
  static constexpr int Threadkey = 1;
  static constexpr int SECkey = 2;
  static constexpr int FromKey = 3;
  static constexpr int ToKey = 4;
  static constexpr int DateKey = 5;
  static constexpr int StatusKey = 6;
};

// ---- MsgText: the text of each message (file 4); the text is the memo -------
struct MsgText {
  uint32_t MSGNUMBER = 0;
  int32_t DATE = 0;
  int32_t TIME = 0;

  template <class V>
  void visit(V& v) {
    v("MSGNUMBER", MSGNUMBER);
    v("DATE", DATE);
    v("TIME", TIME);
  }
  static const Layout& layout();
  static constexpr int IdKey = 0;
  static constexpr int DateKey = 1;
};

// ---- MsgString: message identifier strings of newsgroup messages (file 25) --
struct MsgString {
  FixedString<60> IDSTRING;
  uint32_t MSGNUMBER = 0;

  template <class V>
  void visit(V& v) {
    v("IDSTRING", IDSTRING);
    v("MSGNUMBER", MSGNUMBER);
  }
  static const Layout& layout();
  static constexpr int IDStringKey = 0;
  static constexpr int IDKey = 1;
};

// ---- Codes: topics and search strings of a database (file 1) ----------------
struct Codes {
  uint8_t TYPE = 0;
  FixedString<40> INDEX;
  uint32_t ID = 0;
  uint32_t COUNT = 0;
  int32_t DATE = 0;
  int32_t TIME = 0;
  uint8_t CHARCASE = 0;
  uint8_t WORDONLY = 0;

  template <class V>
  void visit(V& v) {
    v("TYPE", TYPE);
    v("INDEX", INDEX);
    v("ID", ID);
    v("COUNT", COUNT);
    v("DATE", DATE);
    v("TIME", TIME);
    v("CHARCASE", CHARCASE);
    v("WORDONLY", WORDONLY);
  }
  static const Layout& layout();
  static constexpr int ClassKey = 0;
};

// ---- SIndex: messages filed under a topic (file 9) ---------------------------
struct SIndex {
  uint32_t ID = 0;
  uint32_t MSGNUMBER = 0;

  template <class V>
  void visit(V& v) {
    v("ID", ID);
    v("MSGNUMBER", MSGNUMBER);
  }
  static const Layout& layout();
  static constexpr int IdKey = 0;
  static constexpr int MsgKey = 1;
};

// ---- SaveFile: the import register of forum messages (file 18) --------------
struct SaveFile {
  uint32_t FORUMNUMBER = 0;
  uint32_t MSGNUMBER = 0;

  template <class V>
  void visit(V& v) {
    v("FORUMNUMBER", FORUMNUMBER);
    v("MSGNUMBER", MSGNUMBER);
  }
  static const Layout& layout();
  static constexpr int IDKEY = 0;
};

// ---- Person: one record per person of a database (file 5) -------------------
struct Person {
  uint32_t PERSONID = 0;
  FixedString<100> PERSONSTRING;
  FixedString<25> LASTNAME;
  FixedString<25> FIRSTNAME;
  FixedString<60> ADDRESS;
  uint32_t FROMCOUNT = 0;
  uint32_t TOCOUNT = 0;
  int32_t LASTDATE = 0;
  uint8_t DUMMY = 0;

  template <class V>
  void visit(V& v) {
    v("PERSONID", PERSONID);
    v("PERSONSTRING", PERSONSTRING);
    v("LASTNAME", LASTNAME);
    v("FIRSTNAME", FIRSTNAME);
    v("ADDRESS", ADDRESS);
    v("FROMCOUNT", FROMCOUNT);
    v("TOCOUNT", TOCOUNT);
    v("LASTDATE", LASTDATE);
    v("DUMMY", DUMMY);
  }
  static const Layout& layout();
  static constexpr int PersonKey = 0;
  static constexpr int StringKey = 1;
  static constexpr int AddressKey = 2;
  static constexpr int NameKey = 3;
};

// ---- PLINK: further identity strings of a person (file 23) ------------------
struct PLINK {
  FixedString<100> PERSONSTRING;
  uint32_t PERSONID = 0;

  template <class V>
  void visit(V& v) {
    v("PERSONSTRING", PERSONSTRING);
    v("PERSONID", PERSONID);
  }
  static const Layout& layout();
  static constexpr int StringKey = 0;
  static constexpr int PersonKey = 1;
};

// ---- Mail: one record per mail message of a mail database (file 13) ---------
struct Mail {
  int32_t DATE = 0;
  int32_t TIME = 0;
  FixedString<50> SUBJECT;
  uint32_t MAILID = 0;
  uint32_t FROMID = 0;
  FixedString<10> FROMALPHA;
  uint32_t TOID = 0;
  FixedString<10> TOALPHA;
  uint32_t PAIRID = 0;
  FixedString<25> PAIRALPHA;
  FixedString<2> RECIPTYPE;
  uint8_t CCR = 0;
  uint8_t DUMMY = 0;
  uint8_t FG = 0;

  template <class V>
  void visit(V& v) {
    v("DATE", DATE);
    v("TIME", TIME);
    v("SUBJECT", SUBJECT);
    v("MAILID", MAILID);
    v("FROMID", FROMID);
    v("FROMALPHA", FROMALPHA);
    v("TOID", TOID);
    v("TOALPHA", TOALPHA);
    v("PAIRID", PAIRID);
    v("PAIRALPHA", PAIRALPHA);
    v("RECIPTYPE", RECIPTYPE);
    v("CCR", CCR);
    v("DUMMY", DUMMY);
    v("FG", FG);
  }
  static const Layout& layout();
  static constexpr int IdKey = 0;
  static constexpr int DateKey = 1;
  static constexpr int PairKey = 2;
  static constexpr int FromKey = 3;
  static constexpr int ToKey = 4;
  static constexpr int SubjectKey = 5;
  static constexpr int StatusKey = 6;
};

// ---- CCR: further recipients of a mail (file 17) -----------------------------
struct CCR {
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
  static constexpr int IdKey = 0;
};

// ---- Control: identifier generator and stored settings (file 8) -------------
// CTLFIELD (the group CTLGROUP) is a 200-byte block of settings: 32-bit
// values and texts at fixed places. A new record starts with the block all
// zero bytes, so that every value reads 0 and gets its default at loading.
struct Control {
  uint8_t ID = 0;
  uint32_t NEXTNUMBER = 0;
  FixedString<200> CTLFIELD = zeroBlock();

  static FixedString<200> zeroBlock() {
    FixedString<200> f;
    f.bytes.fill('\0');
    return f;
  }

  template <class V>
  void visit(V& v) {
    v("ID", ID);
    v("NEXTNUMBER", NEXTNUMBER);
    v("CTLFIELD", CTLFIELD);
  }
  static const Layout& layout();
  static constexpr int IdKey = 0;
};

// ---- Neo: numbered texts delivered with the program (file 43) ---------------
struct Neo {
  uint32_t ID = 0;
  FixedString<100> NEOFIELD;  // the group NEOGROUP

  template <class V>
  void visit(V& v) {
    v("ID", ID);
    v("NEOFIELD", NEOFIELD);
  }
  static const Layout& layout();
  static constexpr int IDKey = 0;
};

// ---- REF: the reference record of a database directory (file 22) ------------
// One record per database directory, so that the database list can be
// rebuilt from the directories. No keys.
struct REF {
  uint8_t TYPE = 0;
  FixedString<100> DESCRIPTION;
  uint8_t TARGETNG = 0;
  int32_t PERSONID = 0;
  FixedString<60> MAILADDRESS;
  std::array<FixedString<60>, 10> ALTADDRESS;

  template <class V>
  void visit(V& v) {
    v("TYPE", TYPE);
    v("DESCRIPTION", DESCRIPTION);
    v("TARGETNG", TARGETNG);
    v("PERSONID", PERSONID);
    v("MAILADDRESS", MAILADDRESS);
    v("ALTADDRESS", ALTADDRESS);
  }
  static const Layout& layout();
};

}  // namespace qb::store
