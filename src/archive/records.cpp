#include "archive/records.h"

namespace qb::store {

const char* kindName(uint8_t type) {
  switch (type) {
    case KindForum: return "Forum";
    case KindMail: return "Mail";
    case KindNewsgroup: return "Newsgroup";
    default: return "";
  }
}

std::string Threads::heading() const {
  FixedString<100> h;
  std::memcpy(h.bytes.data(), ALPHA.bytes.data(), 10);
  std::memcpy(h.bytes.data() + 10, BETA.bytes.data(), 90);
  return h.str();
}

void Threads::setHeading(std::string_view s) {
  FixedString<100> h(s);
  std::memcpy(ALPHA.bytes.data(), h.bytes.data(), 10);
  std::memcpy(BETA.bytes.data(), h.bytes.data() + 10, 90);
}

const Layout& Forums::layout() {
  static const Layout l = declareLayout<Forums>(
      "Forums", "FOR", 811, false,
      {key("ForumKey", {asc("ID")}, Unique | Primary),
       key("AlphaKey", {asc("DESCRIPTION")}, Unique | NoCase),
       key("DirKey", {asc("DIRNUMBER")}, Unique),
       key("TypeKey", {asc("TYPE")}, Dups)});
  return l;
}

const Layout& Sections::layout() {
  static const Layout l = declareLayout<Sections>(
      "Sections", "SEC", 113, false,
      {key("SysIdKey", {asc("SECSYSID")}, Unique | Primary),
       key("SectionKey", {asc("SECTIONNUMBER")}, Dups),
       key("DescKey", {asc("DESCRIPTION")}, Dups | NoCase)});
  return l;
}

const Layout& Threads::layout() {
  static const Layout l = declareLayout<Threads>(
      "Threads", "THR", 113, false,
      {key("ThreadKey", {asc("THREADNUMBER")}, Unique | Primary),
       key("SecKey", {asc("SECSYSID"), asc("ALPHA")}, Dups | NoCase),
       key("AlphaKey", {asc("ALPHA")}, Dups | NoCase),
       key("StatusKey", {asc("DUMMY")}, Dups)});
  return l;
}

const Layout& MsgNmbr::layout() {
  static const Layout l = declareLayout<MsgNmbr>(
      "MsgNmbr", "MSG", 60, false,
      {key("IdKey", {desc("MSGNUMBER")}, Unique | Primary),
       key("Threadkey", {asc("THREADALPHA"), asc("THREADNUMBER"), asc("MSGNUMBER")}, Dups | NoCase),
       key("SECkey", {asc("SECSYSID"), asc("THREADALPHA"), asc("THREADNUMBER"), asc("MSGNUMBER")},
           Dups | NoCase),
       key("FromKey", {asc("FROMALPHA"), asc("FROMID"), desc("MSGNUMBER")}, Dups | NoCase),
       key("ToKey", {asc("TOALPHA"), asc("TOID"), desc("MSGNUMBER")}, Dups | NoCase),
       key("DateKey", {desc("DATE"), desc("MSGNUMBER")}, Dups),
       key("StatusKey", {asc("DUMMY")}, Dups)});
  return l;
}

const Layout& MsgText::layout() {
  static const Layout l = declareLayout<MsgText>(
      "MsgText", "TXT", 12, true,
      {key("IdKey", {asc("MSGNUMBER")}, Unique | Primary), key("DateKey", {asc("DATE")}, Dups)});
  return l;
}

const Layout& MsgString::layout() {
  static const Layout l = declareLayout<MsgString>(
      "MsgString", "MST", 64, false,
      {key("IDStringKey", {asc("IDSTRING")}, Unique | NoCase), key("IDKey", {asc("MSGNUMBER")}, Unique)});
  return l;
}

const Layout& Codes::layout() {
  static const Layout l = declareLayout<Codes>(
      "Codes", "COD", 59, false, {key("ClassKey", {asc("TYPE"), asc("INDEX")}, Unique | NoCase)});
  return l;
}

const Layout& SIndex::layout() {
  static const Layout l = declareLayout<SIndex>(
      "SIndex", "SIN", 8, false,
      {key("IdKey", {asc("ID"), desc("MSGNUMBER")}, Unique | Primary),
       key("MsgKey", {asc("MSGNUMBER")}, Dups)});
  return l;
}

const Layout& SaveFile::layout() {
  static const Layout l = declareLayout<SaveFile>(
      "SaveFile", "IMP", 8, false,
      {key("IDKEY", {asc("FORUMNUMBER"), asc("MSGNUMBER")}, Unique | Primary)});
  return l;
}

const Layout& Person::layout() {
  static const Layout l = declareLayout<Person>(
      "Person", "PER", 227, false,
      {key("PersonKey", {asc("PERSONID")}, Unique | Primary),
       key("StringKey", {asc("PERSONSTRING")}, Unique | NoCase),
       key("AddressKey", {asc("ADDRESS")}, Dups | NoCase),
       key("NameKey", {asc("LASTNAME"), asc("FIRSTNAME")}, Dups | NoCase)});
  return l;
}

const Layout& PLINK::layout() {
  static const Layout l = declareLayout<PLINK>(
      "PLINK", "PLI", 104, false,
      {key("StringKey", {asc("PERSONSTRING")}, Unique | Primary | NoCase),
       key("PersonKey", {asc("PERSONID")}, Dups)});
  return l;
}

const Layout& Mail::layout() {
  static const Layout l = declareLayout<Mail>(
      "Mail", "MAI", 124, false,
      {key("IdKey", {desc("MAILID")}, Unique | Primary),
       key("DateKey", {desc("DATE"), desc("TIME"), desc("MAILID")}, Dups | NoCase),
       key("PairKey", {asc("PAIRALPHA"), asc("PAIRID"), desc("DATE"), desc("TIME"), desc("MAILID")},
           Dups | NoCase),
       key("FromKey", {asc("FROMALPHA"), asc("FROMID"), desc("DATE"), desc("TIME"), desc("MAILID")},
           Dups | NoCase),
       key("ToKey", {asc("TOALPHA"), asc("TOID"), desc("DATE"), desc("TIME"), desc("MAILID")},
           Dups | NoCase),
       key("SubjectKey", {asc("SUBJECT"), desc("DATE"), desc("TIME"), desc("MAILID")}, Dups | NoCase),
       key("StatusKey", {asc("DUMMY")}, Dups)});
  return l;
}

const Layout& CCR::layout() {
  static const Layout l = declareLayout<CCR>(
      "CCR", "CCR", 106, false,
      {key("IdKey", {asc("MAILID"), asc("R_CISADRESS"), asc("R_NAME")}, Unique | Primary | NoCase)});
  return l;
}

const Layout& Control::layout() {
  static const Layout l =
      declareLayout<Control>("Control", "CTL", 205, false, {key("IdKey", {asc("ID")}, Unique | Primary)});
  return l;
}

const Layout& Neo::layout() {
  static const Layout l =
      declareLayout<Neo>("Neo", "NEO", 104, false, {key("IDKey", {asc("ID")}, Unique | Primary)});
  return l;
}

const Layout& REF::layout() {
  static const Layout l = declareLayout<REF>("REF", "REF", 766, false, {});
  return l;
}

}  // namespace qb::store
