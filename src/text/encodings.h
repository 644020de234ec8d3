#pragma once
// Decoders for quoted-printable text, encoded words in header texts and
// Base64.

#include <string>
#include <string_view>

namespace qb::text {

// The hex-pair decoder: the byte that "=" followed by `a` and `b` stands
// for, or -1 when the pair is not decoded. Decoded pairs are exactly "3D"
// ("="), "20" (blank), "09" (a tab becomes a blank), "2C" (",") and "8"-"F"
// followed by "0"-"9"/"A"-"F" (bytes 0x80-0xFF); upper-case digits only.
// Any other pair stays in the text as it is ("=41" stays "=41").
int hexPair(char a, char b);

// Undoes quoted-printable in one line of a message (the line without its
// line end) and appends the result to `out`: every "=" followed by a
// decodable pair becomes its byte, except an "=" that follows a "?" (so that
// encoded words stay intact). Returns true when the line ends in a soft line
// break ("=" or "=20" at its end, not after a "?"): the caller joins the next
// line to this one ("=20" leaves its blank).
bool undoQuotedPrintable(std::string_view line, std::string& out);

// Decodes every encoded word ("=?" charset ["*" language] "?" B or Q "?"
// text "?=", RFC 2047) of a header text into UTF-8, in any charset the
// charset library knows (an unknown one is read by the unlabelled rule).
// Blanks between two adjacent encoded words are dropped; adjacent words of
// one charset are decoded together, so that a character split across two
// words stays whole. Text outside encoded words is converted from
// `rawCharset` (empty: the unlabelled rule: UTF-8, else Windows-1252). A
// malformed word stays as it is written. The result is valid UTF-8.
std::string decodeHeaderText(std::string_view text, std::string_view rawCharset = {});
// The same with the unlabelled rule for the text outside encoded words.
std::string decodeEncodedWord(std::string_view text);

// Decodes a quoted-printable body (RFC 2045): "=" and two hexadecimal
// digits (either case) become their byte, "=" at a line end (after trailing
// blanks are dropped) joins the next line, any other "=" stays as written.
// Lines end with LF or CR LF in the input and with LF in the result.
std::string decodeQuotedPrintable(std::string_view text);

// Standard Base64 (RFC 2045 alphabet). Characters outside the alphabet (line
// breaks, blanks, garbage) are passed over; "=" padding ends a group and
// yields no bytes; an incomplete final group gives the bytes it holds.
std::string decodeBase64(std::string_view text);
void appendBase64(std::string_view text, std::string& out);

}  // namespace qb::text
