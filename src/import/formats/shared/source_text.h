#pragma once
// The character sets of the binary stores and tables, and the one place
// where their texts are turned into what the archive stores.

#include <string>

namespace qb::import {

enum class SourceCharset {
  Windows,  // the Windows programs' files: Windows-1252
  Dos850,   // DOS code page 850
  Dos437,   // DOS code page 437
};

// Converts a text read from a source file to the archive's character set
// (UTF-8). Called once per text, before the text is cut or compared.
void toStoredText(std::string& s, SourceCharset cs);

}  // namespace qb::import
