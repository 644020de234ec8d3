#pragma once
// Flowed text (RFC 3676, "format=flowed"): a line that ends in a blank goes
// on in the next line of the same quote depth. Readers show such text
// unwrapped into paragraphs, and so does the archive.

#include <string>
#include <string_view>

namespace qb::text {

// Unwraps flowed text (lines ended by LF or CR LF; the result has LF):
//  - the quote depth of a line is the number of ">" it begins with; one
//    blank after them (or at the start of an unquoted line) is stuffing and
//    is removed;
//  - a line that ends in a blank, other than the signature separator "-- ",
//    is joined with the next line when that has the same quote depth; with
//    `delsp` the blank at the join is dropped;
//  - quoted paragraphs are written with their ">" marks and one blank.
std::string unwrapFlowed(std::string_view text, bool delsp);

}  // namespace qb::text
