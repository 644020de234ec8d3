#pragma once
// Unicode routines: what every converter uses to store text as UTF-8, and
// what keys, searches and exports use to compare text without regard to
// letter case. Charset conversion, charset detection and case folding are
// done by ICU.
//
// Guarantees:
//  - Every function that returns text returns valid UTF-8, whatever bytes it
//    was given (except cutUtf8, which keeps bytes that are not UTF-8 as they
//    are and only promises not to split a UTF-8 sequence).
//  - Text that is not valid UTF-8 is read as Windows-1252 wherever no
//    charset says otherwise (the rule the archive's older texts were written
//    by). Windows-1252 bytes without a character (0x81, 0x8D, 0x8F, 0x90,
//    0x9D) become U+FFFD.
//  - Nothing throws; no function keeps state between calls that changes its
//    result.

#include <cstddef>
#include <string>
#include <string_view>

namespace qb::text {

// True when `bytes` is well-formed UTF-8 (plain ASCII included): no
// overlong forms, no surrogates, nothing past U+10FFFF, no cut-off sequence.
bool isUtf8(std::string_view bytes);

// True when a charset of that name can be converted (any letter case,
// quotes and blanks around it ignored).
bool knownCharset(std::string_view charset);

// The text of `bytes` written in `charset` (a MIME charset name such as
// "koi8-r", "ISO-8859-2", "windows-1251", "UTF-8", "macintosh", "cp850";
// letter case, quotes and blanks are ignored) as UTF-8.
//  - "us-ascii" and "iso-8859-1" are read as Windows-1252, their common
//    superset (mail programs labelled 1252 text so).
//  - "utf-8" text that is not valid UTF-8 keeps its valid sequences; every
//    other byte is read as Windows-1252 (a mislabelled or mixed text).
//  - An empty or unknown charset name is the unlabelled rule:
//    fromUnlabelled(bytes).
// Bytes the charset has no character for become U+FFFD.
std::string toUtf8(std::string_view bytes, std::string_view charset);

// The unlabelled rule for 8-bit text that names no charset: valid UTF-8
// stays as it is; otherwise, when the text has enough bytes above 0x7F for
// ICU's charset detection to recognise a Cyrillic, Greek, Hebrew, Arabic or
// East Asian charset with high confidence, that charset; otherwise
// Windows-1252.
std::string fromUnlabelled(std::string_view bytes);

// Windows-1252 to UTF-8 (bytes without a character become U+FFFD).
std::string fromWindows1252(std::string_view bytes);

// Valid UTF-8 as it is, anything else as Windows-1252: the rule for text
// already in the archive (older archives stored Windows-1252).
std::string archiveUtf8(std::string_view text);

// The case-folded form of a text for keys and searches: full Unicode case
// folding with compatibility normalisation (ICU's NFKC_Casefold), so that
// "Łódź", "ŁÓDŹ" and "łódź" fold alike, "Straße" folds like "STRASSE" and
// composed and decomposed accents match. Input that is not valid UTF-8 is
// read as Windows-1252 first. ASCII folds to lower case.
std::string foldCase(std::string_view text);

// The length of the longest prefix of `text` of at most `maxBytes` bytes
// that does not end inside a UTF-8 sequence. Bytes that do not form UTF-8
// sequences (Windows-1252 text) are cut at `maxBytes` exactly.
std::size_t utf8Prefix(std::string_view text, std::size_t maxBytes);
// That prefix.
inline std::string_view cutUtf8(std::string_view text, std::size_t maxBytes) {
  return text.substr(0, utf8Prefix(text, maxBytes));
}
// As cutUtf8, and when the cut falls inside a word, the text ends at the
// last blank before it instead (provided the part kept is at least half of
// `maxBytes`); trailing blanks are dropped. For names and other short
// fields.
std::string_view cutAtWord(std::string_view text, std::size_t maxBytes);

}  // namespace qb::text
