#include "import/converter.h"

namespace qb::import {

std::unique_ptr<Converter> makeConverter(ImportTypeId type) {
  const ImportType& t = importType(type);
  return t.factory ? t.factory(type) : nullptr;
}

std::unique_ptr<Converter> makeConverter(std::string_view typeName) {
  const ImportType* t = findImportType(typeName);
  return t ? makeConverter(t->id) : nullptr;
}

}  // namespace qb::import
