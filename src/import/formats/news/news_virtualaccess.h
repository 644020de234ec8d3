#pragma once
// VirtualAccess messages: each starts with its title lines, then a line of
// ten "-", then an Internet-style header. A message whose first header line
// is "Subject:" is a CompuServe forum message whose forum, section, number,
// date and reference come from the title:
//
//   IBMPRO/S3_Utilities #12345, from Jane Doe, 456 chars, 03-Mar-98 10:15
//   Comment to 12340.
//   ----------
//
// News articles and mail in the same file are filed as by the other news
// readers. A message without the title lines is skipped.

#include "import/formats/news/news_filer.h"

namespace qb::import::news {

struct VirtualAccessTitle {
  std::string forum;        // NHR:FOR_DESCRIPTION
  uint32_t section = 0;     // NHR:SECTIONNUMBER
  std::string sectionName;  // NHR:SEC_DESCRIPTION
  uint32_t number = 0;      // NHR:MSGNUMBER; 0 when missing or not numeric
  int32_t date = 0;
  uint32_t reference = 0;   // from the "Comment to " line, already checked
};

// Reads the title line and the optional "Comment to " line.
VirtualAccessTitle readVirtualAccessTitle(std::string_view title, std::string_view comment);

class VirtualAccessFiler : public NewsFiler {
 public:
  using NewsFiler::NewsFiler;
  bool file(ImportContext& ctx, SourceMessage& m) override;

 private:
  bool fileForum(ImportContext& ctx, NHR& nhr, SourceMessage& m, const HeaderResult& r,
                 const VirtualAccessTitle& title);
};

}  // namespace qb::import::news
