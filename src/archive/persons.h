#pragma once
// Persons of a database: finding or creating the person for a name and an
// address (AddPers), splitting a full name into last and first name
// (ParseName), and recounting the messages a person sent and received
// (CFromToMail for mail databases, CFromToMsg for forum and newsgroup
// databases).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qb::store {

class Session;

// The identity string of a person: the name without trailing blanks, one
// blank, the address; upper case; at most 100 characters.
std::string identityString(std::string_view name, std::string_view address);

// Splits a full name into last name (at most lastLen characters) and first
// name (at most firstLen characters). The last word is the last name, except
// that a generation suffix (I, II, III, IV, V, or the same written with a
// lower-case l for each I: l, ll, lll, lV) takes the word before it along:
// "John Smith III" gives "Smith III" and "John". A single word is all last
// name.
void ParseName(std::string_view fullName, std::size_t lastLen, std::string& lastName,
               std::size_t firstLen, std::string& firstName);

// True when a name and address belong to a mailing list, a newsletter or a
// service rather than to a person: the address's mailbox is a list or role
// name ("news", "newsletter", "listserv", "owner-...", "...-request", ...) or
// the name ends in a word such as "News", "Newsletter", "Digest" or
// "Bulletin". Such a name is kept whole as the last name.
bool isGroupName(std::string_view name, std::string_view address);

// Finds or creates the person of `name` and `address` in the current
// database: by identity string in Person, else through a PLINK alias; a new
// person gets the next identifier. The name is split with ParseName unless
// it is a group's name (isGroupName). Returns 0 with the person in the Person
// buffer, 1 on failure (reported; the open transaction is rolled back).
// Person (5) and PLINK (23) are opened and closed here by open count, so the
// caller may hold them open.
uint8_t AddPers(Session& s, std::string_view name, std::string_view address);

// Results of the recounts.
enum RecountResult : uint8_t {
  RecountUnchanged = 0,  // the stored counts were right
  RecountChanged = 2,    // new counts are in the Person buffer; the caller writes the record
  RecountNone = 3,       // the person neither sent nor received anything
};

// Recounts the mail of the person in the Person buffer through MAI:FromKey
// and MAI:ToKey of the open Mail file. With no mail at all, mode 0 returns 3,
// mode 1 clears the counts and returns 2 (the owner of a mail database is
// kept with zero counts), other modes return 0.
uint8_t CFromToMail(Session& s, int mode);

// The same recount over the open MsgNmbr file (MSG:FromKey, MSG:ToKey) for
// forum and newsgroup databases: 3 when the person has no messages.
uint8_t CFromToMsg(Session& s);

}  // namespace qb::store
