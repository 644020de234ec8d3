#include "import/formats/mail/mail_owner.h"

#include "archive/file_table.h"
#include "archive/records.h"
#include "archive/session.h"

namespace qb::import::mail {

std::string lowerAddress(std::string_view address) { return text::lower1252(address); }

bool MailOwner::owns(std::string_view addr) const {
  std::string a = lowerAddress(addr);
  if (a.empty()) return false;
  if (a == lowerAddress(address)) return true;
  for (auto& alt : alternatives)
    if (a == lowerAddress(alt)) return true;
  return false;
}

MailOwner ownerOf(const store::Forums& f) {
  MailOwner o;
  o.name = f.DESCRIPTION.str().substr(0, kOwnerNameLength);
  o.address = f.MAILADDRESS.str();
  for (auto& alt : f.ALTADDRESS) {
    if (alt.blank()) break;
    o.alternatives.push_back(alt.str());
  }
  return o;
}

MailOwner loadMailOwner(store::Session& s, const std::string& database) {
  MailOwner unknown{kUnknownOwner, kUnknownOwner, {}};
  if (database.empty()) return unknown;
  store::OP_CLOSE(s, store::OpOpen, {store::FileNo::Forums});
  auto& forums = s.Forums();
  forums.clear();
  forums.rec.DESCRIPTION = database;
  MailOwner o = unknown;
  if (forums.get(store::Forums::AlphaKey) == store::Err::Ok && forums.rec.TYPE == store::KindMail)
    o = ownerOf(forums.rec);
  store::OP_CLOSE(s, store::OpClose, {store::FileNo::Forums});
  return o;
}

void setDirection(NHR& nhr, const MailOwner& owner, MailDirection direction) {
  if (direction == Outgoing) {
    nhr.S_CISADRESS = owner.address;
    nhr.S_NAME = owner.name;
    nhr.R_CISADRESS = lowerAddress(nhr.R_CISADRESS.str());
  } else {
    nhr.R_CISADRESS = owner.address;
    nhr.R_NAME = owner.name;
    nhr.S_CISADRESS = lowerAddress(nhr.S_CISADRESS.str());
  }
  nhr.MAILTYPE = direction;
}

MailDirection applyOwnerRule(NHR& nhr, const MailOwner& owner) {
  MailDirection d = owner.owns(nhr.S_CISADRESS.str()) ? Outgoing : Incoming;
  setDirection(nhr, owner, d);
  return d;
}

}  // namespace qb::import::mail
