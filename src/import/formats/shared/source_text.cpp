#include "import/formats/shared/source_text.h"

#include "text/codepages.h"

namespace qb::import {

void toStoredText(std::string& s, SourceCharset cs) {
  // The archive keeps Windows characters; the DOS table covers the letters
  // code pages 437 and 850 share.
  if (cs != SourceCharset::Windows) text::dosToWindows(s);
}

}  // namespace qb::import
