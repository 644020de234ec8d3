#include "archive/browse/browse_persons.h"

#include "archive/file_table.h"

namespace qb::store {

std::vector<PersonRow> personRows(Session& s, PersonOrder order) {
  std::vector<PersonRow> rows;
  if (s.ForumNumber == 0) return rows;
  OP_CLOSE(s, OpOpen, {FileNo::Person});
  auto& p = s.Person();
  p.clear();
  if (p.set(order == PersonOrder::ByName ? Person::NameKey : Person::AddressKey) == Err::Ok)
    while (p.next() == Err::Ok) {
      PersonRow r;
      r.id = p.rec.PERSONID;
      r.lastName = p.rec.LASTNAME.str();
      r.firstName = p.rec.FIRSTNAME.str();
      r.address = p.rec.ADDRESS.str();
      r.sent = p.rec.FROMCOUNT;
      r.received = p.rec.TOCOUNT;
      r.status = p.rec.DUMMY;
      r.owner = s.ForumType == KindMail && r.id == s.PersonID;
      rows.push_back(std::move(r));
    }
  OP_CLOSE(s, OpClose, {FileNo::Person});
  return rows;
}

}  // namespace qb::store
