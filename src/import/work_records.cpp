#include "import/work_records.h"

namespace qb::import {
using namespace store;

const Layout& NHR::layout() {
  static const Layout l = declareLayout<NHR>("NewHR", "NHR", 576, true,
                                             {key("MSGKEY", {asc("INTERNAL"), asc("MSGNUMBER")}, Unique)});
  return l;
}

const Layout& CCT::layout() {
  static const Layout l = declareLayout<CCT>(
      "CCTemp", "CCT", 106, false,
      {key("IDKEY", {asc("MAILID"), asc("R_CISADRESS"), asc("R_NAME")}, Unique)});
  return l;
}

const Layout& TID::layout() {
  static const Layout l =
      declareLayout<TID>("TempID", "TID", 64, false, {key("IDKEY", {asc("MSGNUMBER")}, Unique)});
  return l;
}

}  // namespace qb::import
