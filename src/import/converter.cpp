#include "import/converter.h"

#include <map>

namespace qb::import {

namespace {
std::map<std::string, ConverterFactory>& registry() {
  static std::map<std::string, ConverterFactory> r;
  return r;
}
}  // namespace

void registerConverter(const std::string& typeName, ConverterFactory factory) {
  registry()[typeName] = std::move(factory);
}

std::unique_ptr<Converter> makeConverter(const std::string& typeName) {
  auto it = registry().find(typeName);
  if (it == registry().end()) return nullptr;
  return it->second(typeName);
}

}  // namespace qb::import
