#pragma once
// The browse contexts: the current view of the message browse and of the
// mail browse, stored per session so that the thread tree and the export
// read what the browse shows. Context and MailContext: mode 2 stores the
// caller's record, mode 3 copies the stored one to the caller; before the
// first store the stored record is all zero.

#include <cstdint>

#include "store/record.h"

namespace qb::store {

class Session;

struct BrowseContext {
  uint8_t SORTORDER = 0;
  uint32_t MAXNUMBER = 0;
  uint32_t XMSGID = 0;
  FixedString<10> XTHREADALPHA;
  uint32_t XTHREADNUMBER = 0;
  uint32_t XSECSYSID = 0;
  uint32_t XSENDID = 0;
  FixedString<10> XSENDERALPHA;
  uint32_t XRECEIVEID = 0;
  FixedString<10> XRECEIVERALPHA;
  uint32_t XSINDEXID = 0;
  uint32_t XTOPICSID = 0;
  bool operator==(const BrowseContext&) const = default;
};

struct MailBrowseContext {
  uint8_t SORTORDER = 0;
  uint32_t MAXNUMBER = 0;
  uint32_t XMAILID = 0;
  FixedString<25> XPAIRALPHA;
  uint32_t XPAIRID = 0;
  uint32_t XSENDID = 0;
  FixedString<10> XSENDERALPHA;
  uint32_t XRECEIVEID = 0;
  FixedString<10> XRECEIVERALPHA;
  uint32_t XSINDEXID = 0;
  uint32_t XTOPICSID = 0;
  bool operator==(const MailBrowseContext&) const = default;
};

// Returns 1; another mode changes nothing and returns 0.
uint8_t Context(Session& s, int mode, BrowseContext& ctx);
uint8_t MailContext(Session& s, int mode, MailBrowseContext& ctx);

}  // namespace qb::store
