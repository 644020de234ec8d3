#pragma once
// The indexed form of a word: how a word of a message text and a word of a
// search string are made comparable.
//
// Words are stored in upper case. For letters beyond ASCII the form is the
// upper case of the word's full Unicode case folding (text::foldCase, the
// folding of the archive's keys, with compatibility normalisation), so that
// every spelling that differs only in case, or in composed and decomposed
// accents, meets in one form: "Grüße", "GRÜSSE" and
// "grüsse" all give "GRÜSSE" (ß folds to ss), "Straße" and "STRASSE" give
// "STRASSE", "ΣΟΦΟΣ" and "σοφός" give "ΣΟΦΟΣ" (final sigma folds to σ), the
// ligature "ﬁ" gives "FI". Accents are kept: "Müller" is not "MULLER".

#include <string>
#include <string_view>

namespace qb::index {

// The indexed form of one word given in UTF-8.
std::string indexForm(std::string_view utf8Word);

// Length in characters (code points) of a UTF-8 text.
std::size_t utf8Length(std::string_view s);

}  // namespace qb::index
