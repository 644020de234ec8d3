#pragma once
// The envelope line that separates the messages of a Unix mailbox ("From "
// lines). Real files carry several shapes:
//
//   From jdoe@example.com Mon Jan  3 12:00:00 2000    (an address)
//   From markov  Mon Jan  3 12:00:00 2000            (a local user)
//   From uunet!host!user Tue Mar 14 10:00:00 1995    (a bang path)
//   From ???@??? Mon Dec 13 18:45:29 2010            (Eudora)
//   From - Mon Dec 13 18:45:29 2010                  (Netscape)
//
// A line is an envelope line when it begins with "From " and either has an
// "@" within its first 100 characters, or a sender word followed by a date
// of the asctime form: weekday, month name, day, time (hh:mm or hh:mm:ss),
// optionally a time zone word or offset, and the year (four digits, or two).
// A body line that merely begins with "From " ("From what I hear ...")
// fits neither.

#include <string_view>

namespace qb::import {

bool isEnvelopeLine(std::string_view line);

// The asctime date alone ("Mon Jan  3 12:00:00 2000", with or without a
// time zone before the year).
bool isAsctimeDate(std::string_view text);

}  // namespace qb::import
