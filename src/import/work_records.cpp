#include "import/work_records.h"

#include "archive/session.h"

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

namespace qb::import {
namespace {
// The work files of an import run: 10 import work file, 19 carbon-copy work
// file, 24 message-identifier work file.
store::FileRegistration nhrFile(store::FileNo::ImportWork, [] { return std::make_unique<store::Table<NHR>>(); });
store::FileRegistration cctFile(store::FileNo::CarbonCopyWork, [] { return std::make_unique<store::Table<CCT>>(); });
store::FileRegistration tidFile(store::FileNo::MessageIdWork, [] { return std::make_unique<store::Table<TID>>(); });
}  // namespace
}  // namespace qb::import
