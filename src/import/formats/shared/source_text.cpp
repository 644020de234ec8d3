#include "import/formats/shared/source_text.h"

#include "text/codepages.h"
#include "text/unicode.h"

namespace qb::import {

void toStoredText(std::string& s, SourceCharset cs) {
  // DOS texts go through the DOS table of the capture readers (code pages
  // 437 and 850 share their letters), then every text from Windows-1252 to
  // UTF-8, the archive's character set.
  if (cs != SourceCharset::Windows) text::dosToWindows(s);
  s = text::fromWindows1252(s);
}

}  // namespace qb::import
